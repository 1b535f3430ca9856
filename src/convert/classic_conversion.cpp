// The classic conversion of a read-only song into a serialised MIDI file,
// with its own division and size limit.
#include "convert/classic_conversion.h"

#include "convert/classic_walk.h"
#include "midi/midi_internal.h"

namespace Tolvenar {
namespace {

constexpr uint32_t kTicksPerQuarterStep = 16;  // a quarter is 16 sixty-fourths

}  // namespace

ConversionStatus ConvertClassicToBuffer(const FileStruct* song, uint32_t ticksPerQuarter,
                                        uint64_t maxBytes, uint8_t** buffer, size_t* size) {
  if (buffer == nullptr || size == nullptr) return kConversionBadArgument;
  *buffer = nullptr;
  *size = 0;
  if (ticksPerQuarter == 0) ticksPerQuarter = kDefaultTicksPerQuarter;
  if (song == nullptr || !IsValidTicksPerQuarter(ticksPerQuarter) ||
      (song->trackCount != 0 && song->tracks == nullptr)) {
    return kConversionBadArgument;
  }
  if (maxBytes == 0) maxBytes = kDefaultMaxMidiBytes;
  // A chunk's length and a buffer's size are 32-bit; the file header counts
  // its chunks, the conductor included, in 16 bits.
  if (maxBytes > UINT32_MAX) maxBytes = UINT32_MAX;
  uint64_t chunks = uint64_t{song->trackCount} + 1;
  uint64_t headerBytes = kFileHeaderBytes + kChunkHeaderBytes * chunks;
  if (chunks > UINT16_MAX || headerBytes > maxBytes) return kConversionTooLarge;

  MidiFileStruct file;
  if (!InitMidiFileStruct(&file, static_cast<uint32_t>(chunks), ticksPerQuarter)) {
    return kConversionOutOfMemory;
  }
  bool eventsLost = false;
  ConversionStatus status = WalkClassic(song, &file, ticksPerQuarter / kTicksPerQuarterStep,
                                        maxBytes - headerBytes, nullptr, &eventsLost);
  if (status == kConversionDone && eventsLost) status = kConversionOutOfMemory;
  if (status == kConversionDone) {
    Byte* bytes = nullptr;
    uint32_t length = CreateMidiBuffer(&file, &bytes);
    if (bytes == nullptr) {
      status = kConversionOutOfMemory;
    } else {
      *buffer = bytes;
      *size = length;
    }
  }
  FreeMidiFileStruct(&file);
  return status;
}

}  // namespace Tolvenar
