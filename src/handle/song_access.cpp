// What a song handle answers about its song.
#include "handle/song_handle.h"

extern "C" int ORLIX_GetFormat(const ORLIX_Song* song) { return song ? song->format : 0; }

extern "C" const Tolvenar::FileStruct* ORLIX_GetSong(const ORLIX_Song* song) {
  return song ? &song->song : nullptr;
}
