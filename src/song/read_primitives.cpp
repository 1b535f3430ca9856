// Exact-read primitives, the stream path of the buffer cursor, checked array
// allocation and the stream-size guard.
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

int TakeBytesThroughStream(ByteCursor* cursor, size_t size, const uint8_t** bytes) {
  ReturnBuffer(cursor);
  int read = ReadBytes(cursor->stream, cursor->spill, size);
  BorrowBuffer(cursor);
  *bytes = cursor->spill;
  return read;
}

int StreamCanHold(FILE* stream, uint64_t count, uint32_t minRecordSize) {
  if (IsCheapClaim(count, minRecordSize)) return 1;
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
