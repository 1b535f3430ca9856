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
  // Flag 0x20 brings the type first of all and the fret after the dynamic.
  if ((note->flags & 0x20) && !ReadU8(stream, &note->type)) return 0;
  if (note->flags & 0x01) {
    uint8_t pair[2];
    if (!ReadBytes(stream, pair, sizeof pair)) return 0;
    note->duration = pair[0];
    note->tuplet = pair[1];
  }
  if ((note->flags & 0x10) && !ReadU8(stream, &note->dynamic)) return 0;
  if ((note->flags & 0x20) && !ReadU8(stream, &note->fret)) return 0;
  if (note->flags & 0x80) {
    uint8_t pair[2];
    if (!ReadBytes(stream, pair, sizeof pair)) return 0;
    note->leftFinger = pair[0];
    note->rightFinger = pair[1];
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
