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
  size_t firstBlockBytes;
  size_t carvedBytes;  // handed out so far
};

// An empty arena whose first block will hold about firstBlockBytes.
void InitSongArena(SongArena* arena, size_t firstBlockBytes);
// size bytes aligned for any record, uninitialised; null when no block can
// be had.
void* ArenaAllocate(SongArena* arena, size_t size);
// Frees every block; the arena is empty again.
void FreeSongArena(SongArena* arena);

}  // namespace Tolvenar

#endif
