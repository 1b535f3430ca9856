// Exact-read primitives for the song file: every field of the format goes
// through these, so short reads and little-endian decoding live in one place.
#ifndef ORLIX_SONG_READ_PRIMITIVES_H
#define ORLIX_SONG_READ_PRIMITIVES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace Tolvenar {

// Each returns 1 when all bytes of the field arrived, else 0.
int ReadBytes(FILE* stream, void* destination, size_t size);
int ReadU8(FILE* stream, uint8_t* value);
int ReadI8(FILE* stream, int8_t* value);
int ReadU32LE(FILE* stream, uint32_t* value);
int ReadI32LE(FILE* stream, int32_t* value);

uint32_t DecodeU32LE(const uint8_t* bytes);

// calloc for count elements of size bytes; null when the product does not
// fit in size_t. A count of 0 still yields a (one-byte) allocation, so an
// empty array is told apart from a failed one.
void* AllocArray(uint64_t count, size_t size);

// 0 when the rest of the stream is known to be too short for count records
// of at least minRecordSize bytes each. Small claims and streams whose size
// cannot be learned pass, and the reads that follow decide.
int StreamCanHold(FILE* stream, uint64_t count, uint32_t minRecordSize);

}  // namespace Tolvenar

#endif
