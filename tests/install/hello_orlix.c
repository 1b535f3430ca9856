/* Built against an installed liborlix with pkg-config: loads a song, prints
   its title and converts it. */
#include <stdio.h>

#include <orlix/orlix.h>

int main(int argc, char** argv) {
  unsigned char* midi = NULL;
  int size = 0;
  if (argc != 2 || !ORLIX_Load(argv[1])) return 1;
  printf("%s: %d tracks\n", ORLIX_GetTitle(), ORLIX_GetTrackCount());
  if (!ORLIX_CreateMidiBuffer(&midi, &size) || !midi) return 1;
  printf("%d bytes of MIDI\n", size);
  ORLIX_DestroyMidiBuffer(midi);
  ORLIX_Unload();
  return 0;
}
