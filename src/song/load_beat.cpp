// Reader of one beat: its header fields, attachments and notes.
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

// Each attachment is read completely before it is attached, so a failure
// leaves only finished attachments for FreeBeat to release.
static int ReadBeatFields(Beat* beat, FILE* stream) {
  if (!ReadU8(stream, &beat->flags)) return 0;
  // Status (when flagged), duration and tuplet (when flagged) in one read.
  uint8_t fields[6];
  size_t size = ((beat->flags & kBeatStatus) ? 1 : 0) + 1 + ((beat->flags & kBeatTuplet) ? 4 : 0);
  if (!ReadBytes(stream, fields, size)) return 0;
  const uint8_t* field = fields;
  if (beat->flags & kBeatStatus) beat->status = *field++;
  beat->duration = static_cast<int8_t>(*field++);
  if (beat->flags & kBeatTuplet) beat->tuplet = static_cast<int32_t>(DecodeU32LE(field));
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
