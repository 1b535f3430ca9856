// Reader of one note of a beat and of the note's effects.
#include <cstring>

#include "song/load_note.h"
#include "song/song_internal.h"

namespace Tolvenar {

int LoadNoteEffects(NoteEffects** slot, SongReader* in) {
  // Not zeroed by the allocator but by the assignment, which is cheaper
  // than calloc for a record this small and this frequent.
  NoteEffects* effects = static_cast<NoteEffects*>(NewArrayUninitialised(in, 1, sizeof(NoteEffects)));
  if (!effects) return 0;
  *effects = NoteEffects{};
  // Attached at once: a note whose flag promises effects never stands
  // without them, and a failure below leaves them to the note's release.
  *slot = effects;
  const uint8_t* field;
  if (!TakeBytes(in, 2, &field)) return 0;
  const uint8_t flags1 = field[0];
  const uint8_t flags2 = field[1];
  effects->flags1 = flags1;
  effects->flags2 = flags2;
  if ((flags1 & 0x01) && !LoadBendCurve(&effects->bend, in)) return 0;
  // Grace (4 bytes), tremolo picking, slide, harmonic and trill (2 bytes)
  // follow one another: one take for all that the flags announce.
  size_t size = ((flags1 & 0x10) ? 4 : 0) + ((flags2 & 0x04) ? 1 : 0) + ((flags2 & 0x08) ? 1 : 0) +
                ((flags2 & 0x10) ? 1 : 0) + ((flags2 & 0x20) ? 2 : 0);
  if (size == 0) return 1;
  if (!TakeBytes(in, size, &field)) return 0;
  if (flags1 & 0x10) {
    memcpy(effects->grace, field, sizeof effects->grace);
    field += sizeof effects->grace;
  }
  if (flags2 & 0x04) effects->tremoloPicking = *field++;
  if (flags2 & 0x08) effects->slide = *field++;
  if (flags2 & 0x10) effects->harmonic = *field++;
  if (flags2 & 0x20) memcpy(effects->trill, field, sizeof effects->trill);
  return 1;
}

int LoadNote(Note* note, SongReader* in) {
  *note = Note{};
  return ReadNote(note, in);
}

}  // namespace Tolvenar
