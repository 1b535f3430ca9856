// The flat interface's one loaded song: loading it from a path and releasing it.
#include <cstdio>
#include <cstdlib>

#include "orlix/orlix.h"

Tolvenar::FileStruct* theFileStruct = nullptr;

void ORLIX_Init(void) {
  // Forgetting a loaded song would leak it; release it before emptying.
  ORLIX_Unload();
  theFileStruct = nullptr;
}

int ORLIX_Load(const char* path) {
  if (theFileStruct || !path) return 0;
  FILE* stream = fopen(path, "rb");
  if (!stream) return 0;
  Tolvenar::FileStruct* song = static_cast<Tolvenar::FileStruct*>(malloc(sizeof(Tolvenar::FileStruct)));
  if (!song) {
    fclose(stream);
    return 0;
  }
  // The slot is filled only with a completely read song.
  int loaded = Tolvenar::LoadFileStruct(song, stream);
  fclose(stream);
  if (!loaded) {
    free(song);
    return 0;
  }
  theFileStruct = song;
  return 1;
}

void ORLIX_Unload(void) {
  if (!theFileStruct) return;
  Tolvenar::FreeFileStruct(theFileStruct);
  free(theFileStruct);
  theFileStruct = nullptr;
}

void ORLIX_Free(void) { ORLIX_Unload(); }
