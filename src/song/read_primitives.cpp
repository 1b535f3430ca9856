// Exact-read primitives, checked array allocation and the stream-size guard.
#include "song/read_primitives.h"

#include <cstdlib>
#include <cstring>

namespace Tolvenar {

void* AllocArray(uint64_t count, size_t size) {
  if (count == 0) count = 1;
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return calloc(static_cast<size_t>(count), size);
}

void* AllocArrayUninitialised(uint64_t count, size_t size) {
  if (count == 0) count = 1;
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return malloc(static_cast<size_t>(count) * size);
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
