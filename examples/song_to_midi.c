/* Converts a song file into a MIDI file with the flat interface:
   song_to_midi SONG.gp4 OUT.mid */
#include <stdio.h>

#include <orlix/orlix.h>

int main(int argc, char** argv) {
  unsigned char* midi = NULL;
  int size = 0, ok = 0;
  if (argc != 3 || !ORLIX_Load(argv[1])) return 1;
  printf("%s: \"%s\", %d tracks\n", argv[1], ORLIX_GetTitle(), ORLIX_GetTrackCount());
  if (ORLIX_CreateMidiBuffer(&midi, &size) && midi) {
    FILE* out = fopen(argv[2], "wb");
    ok = out && fwrite(midi, 1, (size_t)size, out) == (size_t)size;
    if (out && fclose(out) != 0) ok = 0;
    ORLIX_DestroyMidiBuffer(midi);
  }
  ORLIX_Unload();
  return ok ? 0 : 1;
}
