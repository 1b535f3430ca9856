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

// Arena blocks are sized from how far the reader has come: the records
// carved so far, scaled to the input still to read, give what is left to
// carve. Three quarters of that is asked for, so that the blocks close in
// on the song's size without a large one left mostly unused at the end.
constexpr size_t kMinArenaBlockBytes = 512;
constexpr size_t kMaxArenaBlockBytes = 64 * 1024 * 1024;

size_t NextArenaBlockBytes(const SongReader* in) {
  const SongArena* arena = in->arena;
  uint64_t offset = ReaderOffset(in);
  uint64_t estimate;
  if (arena->carvedBytes == 0 || offset == 0 || in->inputSize == kInputSizeUnknown || offset >= in->inputSize) {
    // Nothing to go by yet, or no size to scale to: grow with the song.
    estimate = arena->carvedBytes / 2;
  } else {
    double perInputByte = static_cast<double>(arena->carvedBytes) / static_cast<double>(offset);
    estimate = static_cast<uint64_t>(perInputByte * static_cast<double>(in->inputSize - offset) * 0.75);
  }
  if (estimate < kMinArenaBlockBytes) return kMinArenaBlockBytes;
  if (estimate > kMaxArenaBlockBytes) return kMaxArenaBlockBytes;
  return static_cast<size_t>(estimate);
}

void* Allocate(SongReader* in, size_t bytes, bool zeroed) {
  void* block;
  if (in->arena) {
    if (!ArenaHasRoom(in->arena, bytes)) in->arena->nextBlockBytes = NextArenaBlockBytes(in);
    block = ArenaAllocate(in->arena, bytes);
    if (block && zeroed) memset(block, 0, bytes);
  } else {
    block = zeroed ? calloc(1, bytes) : malloc(bytes);
  }
  if (!block) FailOutOfMemory(in, bytes);
  return block;
}

}  // namespace

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

void* NewRecord(SongReader* in, size_t size) { return Allocate(in, size, true); }

void* NewArray(SongReader* in, uint64_t count, size_t size) { return AllocateArray(in, count, size, true); }

void DropRecord(SongReader* in, void* block) {
  if (!in->arena) free(block);
}

}  // namespace Tolvenar
