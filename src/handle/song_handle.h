// What a song handle holds: the song's records and extras, the arena they
// were carved from, and the format they were read in.
#ifndef ORLIX_HANDLE_SONG_HANDLE_H
#define ORLIX_HANDLE_SONG_HANDLE_H

#include <cstddef>

#include "orlix/orlix.h"
#include "song/song_arena.h"
#include "song/song_extras.h"

struct ORLIX_Song {
  Tolvenar::FileStruct song;
  Tolvenar::SongExtras extras;  // what the song keeps beside its records
  Tolvenar::SongArena arena;    // owns every record of the song, and the extras' arrays
  int format;                   // the format's major version
};

namespace orlix_handle {

// Fills *error (when given) with a kind, an input offset (-1: none) and a
// one-line message; returns 0 for the caller's convenience.
int ReportError(ORLIX_Error* error, int kind, long long offset, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
// Marks *error (when given) as no error.
void ReportSuccess(ORLIX_Error* error);

}  // namespace orlix_handle

#endif
