// Set-up and release of a MIDI file record and its array of track chunks.
#include <cstdlib>
#include <cstring>

#include "midi/midi_internal.h"

namespace Tolvenar {

int InitMidiFileStruct(MidiFileStruct* file, uint32_t trackCount, uint32_t division) {
  memcpy(file->id, "MThd", 4);
  file->headerLength = 6;
  file->format = 1;
  file->trackCount = static_cast<uint16_t>(trackCount);
  file->division = static_cast<uint16_t>(division);
  file->tracks = nullptr;
  // The header counts chunks in 16 bits; a larger count would be written
  // wrapped, so it is refused.
  if (trackCount > UINT16_MAX) return 0;
  // No chunks: nothing to allocate, and tracks stays null.
  if (trackCount == 0) return 1;
  if (trackCount > SIZE_MAX / sizeof(MidiTrackChunk)) return 0;
  file->tracks = static_cast<MidiTrackChunk*>(malloc(trackCount * sizeof(MidiTrackChunk)));
  if (!file->tracks) {
    FreeMidiFileStruct(file);
    return 0;
  }
  for (uint32_t i = 0; i < trackCount; ++i) InitMidiTrackChunk(&file->tracks[i]);
  return 1;
}

void FreeMidiFileStruct(MidiFileStruct* file) {
  if (file->tracks) {
    for (uint32_t i = 0; i < file->trackCount; ++i) FreeMidiTrackChunk(&file->tracks[i]);
  }
  free(file->tracks);
  file->tracks = nullptr;
}

}  // namespace Tolvenar
