// Reader of one note of a beat and of the note's effects.
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

static int ReadNoteEffectsFields(NoteEffects* effects, FILE* stream) {
  uint8_t flags[2];
  if (!ReadBytes(stream, flags, sizeof flags)) return 0;
  effects->flags1 = flags[0];
  effects->flags2 = flags[1];
  if (effects->flags1 & 0x01) {
    effects->bend = LoadBendCurve(stream);
    if (!effects->bend) return 0;
  }
  if ((effects->flags1 & 0x10) && !ReadBytes(stream, effects->grace, sizeof effects->grace))
    return 0;
  if ((effects->flags2 & 0x04) && !ReadU8(stream, &effects->tremoloPicking)) return 0;
  if ((effects->flags2 & 0x08) && !ReadU8(stream, &effects->slide)) return 0;
  if ((effects->flags2 & 0x10) && !ReadU8(stream, &effects->harmonic)) return 0;
  if ((effects->flags2 & 0x20) && !ReadBytes(stream, effects->trill, sizeof effects->trill))
    return 0;
  return 1;
}

NoteEffects* LoadNoteEffects(FILE* stream) {
  NoteEffects* effects = static_cast<NoteEffects*>(calloc(1, sizeof(NoteEffects)));
  if (!effects) return nullptr;
  if (!ReadNoteEffectsFields(effects, stream)) {
    FreeNoteEffects(&effects);
    return nullptr;
  }
  return effects;
}

static int ReadNoteFields(Note* note, FILE* stream) {
  // The fixed fields that the flags announce come in one read: the type
  // (0x20) first of all, the duration and tuplet (0x01), the dynamic
  // (0x10), the fret (0x20 again) and the two fingerings (0x80).
  uint8_t fields[7];
  size_t size = ((note->flags & 0x20) ? 2 : 0) + ((note->flags & 0x01) ? 2 : 0) +
                ((note->flags & 0x10) ? 1 : 0) + ((note->flags & 0x80) ? 2 : 0);
  if (!ReadBytes(stream, fields, size)) return 0;
  const uint8_t* field = fields;
  if (note->flags & 0x20) note->type = *field++;
  if (note->flags & 0x01) {
    note->duration = *field++;
    note->tuplet = *field++;
  }
  if (note->flags & 0x10) note->dynamic = *field++;
  if (note->flags & 0x20) note->fret = *field++;
  if (note->flags & 0x80) {
    note->leftFinger = *field++;
    note->rightFinger = *field;
  }
  if (note->flags & 0x08) {
    // A note whose flag promises effects never stands without them.
    note->effects = LoadNoteEffects(stream);
    if (!note->effects) return 0;
  }
  return 1;
}

int LoadNote(Note* note, FILE* stream) {
  *note = Note{};
  if (!ReadU8(stream, &note->flags)) return 0;
  if (!ReadNoteFields(note, stream)) {
    FreeNote(note);
    return 0;
  }
  return 1;
}

}  // namespace Tolvenar
