// Note-ons per track chunk of a Standard MIDI File, read back from the bytes
// a conversion wrote, so a count shown for a track is what its chunk plays.
#include "handle/describe_internal.h"

namespace Tolvenar {

namespace {

struct Cursor {
  const unsigned char* at;
  const unsigned char* end;
};

int ReadVariableLength(Cursor* cursor, uint32_t* value) {
  *value = 0;
  for (int i = 0; i < 4; ++i) {
    if (cursor->at >= cursor->end) return 0;
    unsigned char byte = *cursor->at++;
    *value = (*value << 7) | (byte & 0x7Fu);
    if (!(byte & 0x80)) return 1;
  }
  return 0;
}

int Skip(Cursor* cursor, size_t count) {
  if (static_cast<size_t>(cursor->end - cursor->at) < count) return 0;
  cursor->at += count;
  return 1;
}

uint32_t BigEndian32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

int CountChunk(Cursor chunk, unsigned long long* count) {
  unsigned char status = 0;
  while (chunk.at < chunk.end) {
    uint32_t delta, length;
    if (!ReadVariableLength(&chunk, &delta)) return 0;
    if (chunk.at >= chunk.end) return 0;
    unsigned char byte = *chunk.at;
    if (byte == 0xFF) {  // meta event: type, length, data
      if (!Skip(&chunk, 2) || !ReadVariableLength(&chunk, &length) || !Skip(&chunk, length)) {
        return 0;
      }
      continue;
    }
    if (byte == 0xF0 || byte == 0xF7) {  // system exclusive: length, data
      if (!Skip(&chunk, 1) || !ReadVariableLength(&chunk, &length) || !Skip(&chunk, length)) {
        return 0;
      }
      continue;
    }
    if (byte & 0x80) {
      status = byte;
      ++chunk.at;
    } else if (status == 0) {
      return 0;  // running status with nothing to run on
    }
    unsigned kind = status & 0xF0u;
    size_t dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    if (static_cast<size_t>(chunk.end - chunk.at) < dataBytes) return 0;
    if (kind == 0x90 && chunk.at[1] > 0) ++*count;
    chunk.at += dataBytes;
  }
  return 1;
}

}  // namespace

int CountNoteOns(const unsigned char* midi, size_t size, uint32_t chunkCount,
                 unsigned long long* counts) {
  Cursor file = {midi, midi + size};
  if (size < 8) return 0;
  uint32_t headerLength = BigEndian32(midi + 4);
  if (size - 8 < headerLength) return 0;
  file.at += 8 + static_cast<size_t>(headerLength);
  for (uint32_t c = 0; c < chunkCount; ++c) {
    counts[c] = 0;
    if (file.end - file.at < 8) return 0;
    uint32_t length = BigEndian32(file.at + 4);
    file.at += 8;
    if (static_cast<size_t>(file.end - file.at) < length) return 0;
    Cursor chunk = {file.at, file.at + length};
    if (!CountChunk(chunk, &counts[c])) return 0;
    file.at += length;
  }
  return 1;
}

}  // namespace Tolvenar
