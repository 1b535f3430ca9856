// Reader of one beat: its header fields, attachments and notes.
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

// Each attachment is read completely before it is attached, so a failure
// leaves only finished attachments for FreeBeat to release.
static int ReadBeatFields(Beat* beat, FILE* stream) {
  if (!ReadU8(stream, &beat->flags)) return 0;
  if ((beat->flags & kBeatStatus) && !ReadU8(stream, &beat->status)) return 0;
  if (!ReadI8(stream, &beat->duration)) return 0;
  if ((beat->flags & kBeatTuplet) && !ReadI32LE(stream, &beat->tuplet)) return 0;
  if (beat->flags & kBeatChord) {
    beat->chord = LoadChordDiagram(stream);
    if (!beat->chord) return 0;
  }
  if (beat->flags & kBeatText) {
    beat->text = ReadIntByteString(stream);
    if (!beat->text) return 0;
  }
  if (beat->flags & kBeatEffects) {
    beat->effects = LoadBeatEffects(stream);
    if (!beat->effects) return 0;
  }
  if (beat->flags & kBeatMixTable) {
    beat->mixTable = LoadMixTableChange(stream);
    if (!beat->mixTable) return 0;
  }
  if (!ReadU8(stream, &beat->strings)) return 0;
  // Mask bit 0x40 is slot 0 (highest string), 0x01 slot 6; 0x80 reads nothing.
  for (int slot = 0; slot < 7; ++slot) {
    if ((beat->strings & (0x40 >> slot)) && !LoadNote(&beat->notes[slot], stream)) return 0;
  }
  return 1;
}

int LoadBeat(Beat* beat, FILE* stream) {
  *beat = Beat{};
  if (!ReadBeatFields(beat, stream)) {
    FreeBeat(beat);
    return 0;
  }
  return 1;
}

}  // namespace Tolvenar
