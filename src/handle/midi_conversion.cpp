// Converting a song handle into a Standard MIDI File: the options checked
// and defaulted, then the conversion of the chosen playback.
#include <cstddef>

#include "convert/classic_conversion.h"
#include "convert/song_rules.h"
#include "handle/song_handle.h"
#include "perform/perform.h"

using orlix_handle::ReportError;
using orlix_handle::ReportSuccess;

namespace {

// The options with every 0 replaced by its default; 0 when they are invalid.
int ChooseOptions(const ORLIX_MidiOptions* given, ORLIX_MidiOptions* chosen, ORLIX_Error* error) {
  *chosen = ORLIX_MidiOptions{sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_FULL, 0, 0};
  if (given) {
    if (given->size < sizeof(ORLIX_MidiOptions))
      return ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "options size %u is smaller than %zu", given->size,
                         sizeof(ORLIX_MidiOptions));
    *chosen = *given;
  }
  if (chosen->playback != ORLIX_PLAYBACK_CLASSIC && chosen->playback != ORLIX_PLAYBACK_FULL)
    return ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "unknown playback %u", chosen->playback);
  unsigned ticks = chosen->ticksPerQuarter;
  if (ticks != 0 && !Tolvenar::IsValidTicksPerQuarter(ticks))
    return ReportError(error, ORLIX_ERROR_ARGUMENT, -1,
                       "%u ticks per quarter is not a multiple of 16 from 16 to 4080", ticks);
  if (ticks == 0) chosen->ticksPerQuarter = Tolvenar::kDefaultTicksPerQuarter;
  if (chosen->maxBytes == 0) chosen->maxBytes = static_cast<size_t>(Tolvenar::kDefaultMaxMidiBytes);
  return 1;
}

// The chosen playback's conversion; both end in the same four ways.
Tolvenar::ConversionStatus Convert(const ORLIX_Song* handle, const ORLIX_MidiOptions& chosen,
                                   unsigned char** buffer, size_t* size) {
  const Tolvenar::FileStruct* song = &handle->song;
  if (chosen.playback == ORLIX_PLAYBACK_CLASSIC)
    return Tolvenar::ConvertClassicToBuffer(song, chosen.ticksPerQuarter, chosen.maxBytes, buffer, size);
  switch (Tolvenar::PerformSongToBuffer(song, &handle->extras, chosen.ticksPerQuarter, chosen.maxBytes,
                                        buffer, size)) {
    case Tolvenar::kPerformDone:
      return Tolvenar::kConversionDone;
    case Tolvenar::kPerformOutOfMemory:
      return Tolvenar::kConversionOutOfMemory;
    case Tolvenar::kPerformTooLarge:
      return Tolvenar::kConversionTooLarge;
    case Tolvenar::kPerformBadArgument:
      break;
  }
  return Tolvenar::kConversionBadArgument;
}

}  // namespace

extern "C" int ORLIX_ToMidi(const ORLIX_Song* song, const ORLIX_MidiOptions* options, unsigned char** buffer,
                            size_t* size, ORLIX_Error* error) {
  if (buffer) *buffer = nullptr;
  if (size) *size = 0;
  if (!song || !buffer || !size)
    return ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "no %s given", !song ? "song" : "buffer or size");
  ORLIX_MidiOptions chosen;
  if (!ChooseOptions(options, &chosen, error)) return 0;
  switch (Convert(song, chosen, buffer, size)) {
    case Tolvenar::kConversionDone:
      ReportSuccess(error);
      return 1;
    case Tolvenar::kConversionOutOfMemory:
      return ReportError(error, ORLIX_ERROR_OUT_OF_MEMORY, -1, "out of memory while converting");
    case Tolvenar::kConversionTooLarge:
      return ReportError(error, ORLIX_ERROR_TOO_LARGE, -1, "the MIDI would exceed %zu bytes",
                         chosen.maxBytes);
    case Tolvenar::kConversionBadArgument:
      break;
  }
  return ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "the song cannot be converted (%u tracks)",
                     song->song.trackCount);
}
