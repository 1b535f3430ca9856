/* The C header must stay C: this file is compiled as C11 with warnings as
   errors, and reads the song records through their C names. */
#include <stddef.h>

#include "orlix/orlix.h"

_Static_assert(sizeof(MidiChannel) == 12, "a channel-table entry is 12 bytes");
_Static_assert(offsetof(MidiChannel, volume) == 4, "volume follows the instrument");
_Static_assert(offsetof(MidiChannel, tremolo) == 9, "tremolo is byte 9");
_Static_assert(sizeof(Color) == 4, "a colour is four bytes");

int orlix_flat_header_check(void) {
  const MidiChannel* channel = ORLIX_GetMidiChannel(0, 0);
  Color color = ORLIX_GetTrackColor(0);
  unsigned char* buffer = 0;
  int size = 0;
  const FileStruct* song = theFileStruct;
  int firstFlags = song && song->measureCount ? song->measureHeaders[0].flags : 0;
  const Beat* beat = song && song->measureCount && song->trackCount ? song->measures[0][0].beats : 0;
  return (channel ? channel->volume : 0) + color.bytes[0] + ORLIX_CreateMidiBuffer(&buffer, &size) +
         firstFlags + (beat ? beat->notes[0].fret : 0);
}
