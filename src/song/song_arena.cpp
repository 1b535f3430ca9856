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

void InitSongArena(SongArena* arena) {
  arena->at = nullptr;
  arena->end = nullptr;
  arena->blocks = nullptr;
  arena->carvedBytes = 0;
  arena->nextBlockBytes = 0;
}

void* ArenaAllocate(SongArena* arena, size_t size) {
  if (size > SIZE_MAX - kAlignment) return nullptr;
  size = (size + kAlignment - 1) & ~(kAlignment - 1);
  if (!ArenaHasRoom(arena, size)) {
    // Blocks hold whole aligned units, so the room test before a request
    // needs no rounding.
    size_t blockSize = arena->nextBlockBytes & ~(kAlignment - 1);
    if (size > blockSize / 2) {
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
