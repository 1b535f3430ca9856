// Where the readers' records come from: the reader's arena when it has
// one (a handle's song), else one malloc per record, which the release
// functions free one by one.
#include <cstdlib>
#include <cstring>

#include "song/song_arena.h"
#include "song/song_reader.h"

namespace Tolvenar {

namespace {

// count * size, or 0 with *fits false when the product leaves size_t.
size_t ArrayBytes(uint64_t count, size_t size, bool* fits) {
  if (count == 0) count = 1;  // an empty array is still an allocation
  *fits = size == 0 || count <= SIZE_MAX / size;
  return *fits ? static_cast<size_t>(count) * size : 0;
}

void* Allocate(SongReader* in, size_t bytes, bool zeroed) {
  void* block;
  if (in->arena) {
    block = ArenaAllocate(in->arena, bytes);
    if (block && zeroed) memset(block, 0, bytes);
  } else {
    block = zeroed ? calloc(1, bytes) : malloc(bytes);
  }
  if (!block) FailOutOfMemory(in, bytes);
  return block;
}

void* AllocateArray(SongReader* in, uint64_t count, size_t size, bool zeroed) {
  bool fits;
  size_t bytes = ArrayBytes(count, size, &fits);
  if (!fits) {
    FailOutOfMemory(in, count > UINT64_MAX / size ? UINT64_MAX : count * size);
    return nullptr;
  }
  if (!in->arena && zeroed) {
    // calloc as one call of count elements, as the one-per-record contract
    // has always allocated arrays.
    void* block = calloc(count ? static_cast<size_t>(count) : 1, size);
    if (!block) FailOutOfMemory(in, bytes);
    return block;
  }
  return Allocate(in, bytes, zeroed);
}

}  // namespace

void* NewRecord(SongReader* in, size_t size) { return Allocate(in, size, true); }

void* NewArray(SongReader* in, uint64_t count, size_t size) { return AllocateArray(in, count, size, true); }

void* NewArrayUninitialised(SongReader* in, uint64_t count, size_t size) {
  return AllocateArray(in, count, size, false);
}

void DropRecord(SongReader* in, void* block) {
  if (!in->arena) free(block);
}

}  // namespace Tolvenar
