// An arena for records that one owner releases all at once: allocations are
// carved from a few large blocks, and the release frees only the blocks.
#ifndef ORLIX_SONG_SONG_ARENA_H
#define ORLIX_SONG_SONG_ARENA_H

#include <cstddef>
#include <cstdint>

namespace Tolvenar {

struct SongArenaBlock;

struct SongArena {
  uint8_t* at;   // next free byte of the current block
  uint8_t* end;  // end of the current block
  SongArenaBlock* blocks;
  size_t carvedBytes;      // handed out so far
  size_t nextBlockBytes;   // size of the block opened when the current one is full
};

void InitSongArena(SongArena* arena);
// Whether size bytes still fit in the current block.
inline bool ArenaHasRoom(const SongArena* arena, size_t size) {
  return static_cast<size_t>(arena->end - arena->at) >= size;
}
// size bytes aligned for any record, uninitialised; null when no block can
// be had. Without room in the current block, a new one of nextBlockBytes
// is opened, or one of its own for a request larger than that.
void* ArenaAllocate(SongArena* arena, size_t size);
// Frees every block; the arena is empty again.
void FreeSongArena(SongArena* arena);

}  // namespace Tolvenar

#endif
