// The record arena: blocks from malloc, carved front to back.
#include "song/song_arena.h"

#include <cstdlib>

namespace Tolvenar {

struct SongArenaBlock {
  SongArenaBlock* next;
  size_t size;  // bytes after the header
};

namespace {

constexpr size_t kAlignment = 8;
constexpr size_t kHeaderBytes = (sizeof(SongArenaBlock) + kAlignment - 1) & ~(kAlignment - 1);
constexpr size_t kMinBlockBytes = 16 * 1024;

uint8_t* BlockBytes(SongArenaBlock* block) { return reinterpret_cast<uint8_t*>(block) + kHeaderBytes; }

SongArenaBlock* NewBlock(SongArena* arena, size_t size) {
  if (size > SIZE_MAX - kHeaderBytes) return nullptr;
  SongArenaBlock* block = static_cast<SongArenaBlock*>(malloc(kHeaderBytes + size));
  if (!block) return nullptr;
  block->size = size;
  block->next = arena->blocks;
  arena->blocks = block;
  return block;
}

}  // namespace

void InitSongArena(SongArena* arena, size_t firstBlockBytes) {
  arena->at = nullptr;
  arena->end = nullptr;
  arena->blocks = nullptr;
  arena->firstBlockBytes = firstBlockBytes < kMinBlockBytes ? kMinBlockBytes : firstBlockBytes;
  arena->carvedBytes = 0;
}

void* ArenaAllocate(SongArena* arena, size_t size) {
  if (size > SIZE_MAX - kAlignment) return nullptr;
  size = (size + kAlignment - 1) & ~(kAlignment - 1);
  if (static_cast<size_t>(arena->end - arena->at) < size) {
    // Each new block is an eighth of what the arena holds so far, so the
    // room left unused at the end stays small beside the song.
    size_t blockSize = arena->blocks ? arena->carvedBytes / 8 : arena->firstBlockBytes;
    if (blockSize < kMinBlockBytes) blockSize = kMinBlockBytes;
    if (size > blockSize / 4) {
      // A large request gets a block of its own; the current block goes on.
      SongArenaBlock* own = NewBlock(arena, size);
      if (!own) return nullptr;
      arena->carvedBytes += size;
      return BlockBytes(own);
    }
    SongArenaBlock* block = NewBlock(arena, blockSize);
    if (!block) return nullptr;
    arena->at = BlockBytes(block);
    arena->end = arena->at + blockSize;
  }
  void* carved = arena->at;
  arena->at += size;
  arena->carvedBytes += size;
  return carved;
}

void FreeSongArena(SongArena* arena) {
  SongArenaBlock* block = arena->blocks;
  while (block) {
    SongArenaBlock* next = block->next;
    free(block);
    block = next;
  }
  arena->blocks = nullptr;
  arena->at = nullptr;
  arena->end = nullptr;
  arena->carvedBytes = 0;
}

}  // namespace Tolvenar
