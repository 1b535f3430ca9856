/* A C11 program that uses only orlix.h: opens a song from memory through a
   handle, reads it through the records, converts it, and checks the bytes
   against the flat interface's conversion of the same file. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "orlix/orlix.h"

static unsigned char* ReadWholeFile(const char* path, size_t* size) {
  FILE* in = fopen(path, "rb");
  unsigned char* bytes = NULL;
  long length;
  if (!in) return NULL;
  if (fseek(in, 0, SEEK_END) == 0 && (length = ftell(in)) > 0 && fseek(in, 0, SEEK_SET) == 0) {
    bytes = malloc((size_t)length);
    if (bytes && fread(bytes, 1, (size_t)length, in) != (size_t)length) {
      free(bytes);
      bytes = NULL;
    }
    *size = (size_t)length;
  }
  fclose(in);
  return bytes;
}

static int Fail(const char* what) {
  fprintf(stderr, "handle_from_c: %s\n", what);
  return 1;
}

int main(int argc, char** argv) {
  size_t fileSize = 0, midiSize = 0;
  unsigned char* bytes;
  unsigned char* midi = NULL;
  unsigned char* flatMidi = NULL;
  int flatSize = 0, same;
  ORLIX_Error error;
  ORLIX_Song* handle;
  const FileStruct* song;
  const Beat* firstBeat;
  ORLIX_MidiOptions options;

  if (argc != 2) return Fail("usage: handle_from_c SONG");
  bytes = ReadWholeFile(argv[1], &fileSize);
  if (!bytes) return Fail("cannot read the song");
  handle = ORLIX_OpenMemory(bytes, fileSize, &error);
  free(bytes); /* the handle keeps none of the caller's bytes */
  if (!handle) return Fail(error.message);

  song = ORLIX_GetSong(handle);
  if (ORLIX_GetFormat(handle) != 4 || !song || song->trackCount == 0 || song->measureCount == 0)
    return Fail("not the records of a version 4 song");
  firstBeat = song->measures[0][0].beatCount ? &song->measures[0][0].beats[0] : NULL;
  printf("\"%s\", %u measures, first track \"%s\" with %d strings, first beat duration %d\n",
         song->info.title, song->measureCount, song->tracks[0].name, song->tracks[0].stringCount,
         firstBeat ? firstBeat->duration : 0);

  memset(&options, 0, sizeof options);
  options.size = sizeof options;
  options.playback = ORLIX_PLAYBACK_CLASSIC;
  if (!ORLIX_ToMidi(handle, &options, &midi, &midiSize, &error)) return Fail(error.message);
  ORLIX_Close(handle);

  if (!ORLIX_Load(argv[1]) || !ORLIX_CreateMidiBuffer(&flatMidi, &flatSize) || !flatMidi)
    return Fail("the flat interface failed on the same song");
  same = (size_t)flatSize == midiSize && memcmp(midi, flatMidi, midiSize) == 0;
  ORLIX_DestroyMidiBuffer(flatMidi);
  ORLIX_DestroyMidiBuffer(midi);
  ORLIX_Unload();
  if (!same) return Fail("the handle's MIDI differs from the flat interface's");
  printf("%zu bytes of MIDI, the same as the flat interface's\n", midiSize);
  return 0;
}
