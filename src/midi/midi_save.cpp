// Writing a MIDI file record to a caller's stdio stream, byte for byte the
// same as the memory buffer.
#include <cstdio>

#include "midi/midi_internal.h"

namespace Tolvenar {

namespace {

int WriteExactly(FILE* stream, const void* bytes, size_t size) {
  return fwrite(bytes, 1, size, stream) == size ? 1 : 0;
}

int WriteU32(FILE* stream, uint32_t value) {
  uint8_t bytes[4];
  WriteU32BE(bytes, value);
  return WriteExactly(stream, bytes, 4);
}

// A 16-bit field high byte first, in one two-byte write.
int WriteSwappedShort(FILE* stream, uint16_t value) {
  uint8_t bytes[2];
  WriteU16BE(bytes, value);
  return WriteExactly(stream, bytes, 2);
}

}  // namespace

int SaveMidiTrackChunk(const MidiTrackChunk* chunk, FILE* stream) {
  if (!chunk->data && chunk->length != 0) return 0;  // claims bytes it does not hold
  if (!WriteExactly(stream, chunk->id, 4)) return 0;
  if (!WriteU32(stream, chunk->length)) return 0;
  if (chunk->length && !WriteExactly(stream, chunk->data, chunk->length)) return 0;
  return 1;
}

int SaveMidiFileStruct(const MidiFileStruct* file, FILE* stream) {
  if (!WriteExactly(stream, file->id, 4)) return 0;
  if (!WriteU32(stream, file->headerLength)) return 0;
  if (!WriteSwappedShort(stream, file->format)) return 0;
  if (!WriteSwappedShort(stream, file->trackCount)) return 0;
  if (!WriteSwappedShort(stream, file->division)) return 0;
  if (!file->tracks) return 1;
  for (uint32_t i = 0; i < file->trackCount; ++i) {
    if (!SaveMidiTrackChunk(&file->tracks[i], stream)) return 0;
  }
  return 1;
}

}  // namespace Tolvenar
