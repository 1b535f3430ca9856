// Exact-read primitives, checked array allocation and the stream-size guard.
#include "song/read_primitives.h"

#include <cstdlib>
#include <cstring>

// The loader holds the stream's lock for the whole load (LoadFileStruct), so
// the reads use the unlocked forms where the C library has them.
#if defined(__GLIBC__)
#define ORLIX_FREAD fread_unlocked
#define ORLIX_GETC getc_unlocked
#else
#define ORLIX_FREAD fread
#define ORLIX_GETC getc
#endif

namespace Tolvenar {

int ReadBytes(FILE* stream, void* destination, size_t size) {
  if (size == 0) return 1;
  return ORLIX_FREAD(destination, 1, size, stream) == size ? 1 : 0;
}

int ReadU8(FILE* stream, uint8_t* value) {
  int c = ORLIX_GETC(stream);
  if (c == EOF) return 0;
  *value = static_cast<uint8_t>(c);
  return 1;
}

int ReadI8(FILE* stream, int8_t* value) {
  uint8_t byte;
  if (!ReadU8(stream, &byte)) return 0;
  *value = static_cast<int8_t>(byte);
  return 1;
}

uint32_t DecodeU32LE(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

int ReadU32LE(FILE* stream, uint32_t* value) {
  uint8_t bytes[4];
  if (!ReadBytes(stream, bytes, 4)) return 0;
  *value = DecodeU32LE(bytes);
  return 1;
}

int ReadI32LE(FILE* stream, int32_t* value) {
  uint32_t raw;
  if (!ReadU32LE(stream, &raw)) return 0;
  *value = static_cast<int32_t>(raw);
  return 1;
}

void* AllocArray(uint64_t count, size_t size) {
  if (count == 0) count = 1;
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return calloc(static_cast<size_t>(count), size);
}

int StreamCanHold(FILE* stream, uint64_t count, uint32_t minRecordSize) {
  // Below this a failed attempt costs nothing worth a size probe.
  const uint64_t kCheapClaim = 64 * 1024;
  if (count <= kCheapClaim / (minRecordSize ? minRecordSize : 1)) return 1;
  long here = ftell(stream);
  if (here < 0) return 1;
  if (fseek(stream, 0, SEEK_END) != 0) return 1;
  long end = ftell(stream);
  if (fseek(stream, here, SEEK_SET) != 0) return 0;
  if (end < here) return 1;
  uint64_t left = static_cast<uint64_t>(end - here);
  return count <= left / (minRecordSize ? minRecordSize : 1) ? 1 : 0;
}

}  // namespace Tolvenar
