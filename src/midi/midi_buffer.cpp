// Serialisation of a MIDI file record into one new memory buffer.
#include <cstdlib>
#include <cstring>

#include "midi/midi_internal.h"

namespace Tolvenar {

namespace {

uint32_t ChunkCount(const MidiFileStruct* file) { return file->tracks ? file->trackCount : 0; }

// A chunk that claims bytes it does not hold (released, say) cannot be
// copied from.
bool ChunkIsWritable(const MidiTrackChunk* chunk) { return chunk->data || chunk->length == 0; }

}  // namespace

uint32_t CreateMidiBuffer(const MidiFileStruct* file, Byte** out) {
  *out = nullptr;
  // Summed in 64 bits: a wrapped 32-bit total would size the buffer short
  // and the copies below would run past it.
  uint64_t size = kFileHeaderBytes;
  for (uint32_t i = 0; i < ChunkCount(file); ++i) {
    if (!ChunkIsWritable(&file->tracks[i])) return 0;
    size += kChunkHeaderBytes + uint64_t{file->tracks[i].length};
  }
  if (size > UINT32_MAX) return 0;

  Byte* buffer = static_cast<Byte*>(malloc(static_cast<size_t>(size)));
  if (!buffer) return 0;
  memcpy(buffer, file->id, 4);
  WriteU32BE(buffer + 4, file->headerLength);
  WriteU16BE(buffer + 8, file->format);
  WriteU16BE(buffer + 10, file->trackCount);
  WriteU16BE(buffer + 12, file->division);
  uint32_t position = kFileHeaderBytes;
  for (uint32_t i = 0; i < ChunkCount(file); ++i) {
    BufferWriteTrackChunk(&file->tracks[i], buffer, &position);
  }
  *out = buffer;
  return position;
}

// The caller has sized the buffer; the room left is not checked here.
int BufferWriteTrackChunk(const MidiTrackChunk* chunk, Byte* buffer, uint32_t* position) {
  if (!ChunkIsWritable(chunk)) return 0;
  Byte* out = buffer + *position;
  memcpy(out, chunk->id, 4);
  WriteU32BE(out + 4, chunk->length);
  if (chunk->length) memcpy(out + kChunkHeaderBytes, chunk->data, chunk->length);
  *position += kChunkHeaderBytes + chunk->length;
  return 1;
}

void DestroyMidiBuffer(Byte* buffer) { free(buffer); }

}  // namespace Tolvenar
