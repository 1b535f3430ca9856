// Reader of one note of a beat and of the note's effects.
#include <cstdlib>
#include <cstring>

#include "song/load_note.h"
#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

NoteEffects* LoadNoteEffects(ByteCursor* in) {
  // malloc rather than calloc: the record is set in full right here.
  NoteEffects* effects = static_cast<NoteEffects*>(malloc(sizeof(NoteEffects)));
  if (!effects) return nullptr;
  *effects = NoteEffects{};
  const uint8_t* field;
  if (!TakeBytes(in, 2, &field)) {
    free(effects);
    return nullptr;
  }
  const uint8_t flags1 = field[0];
  const uint8_t flags2 = field[1];
  effects->flags1 = flags1;
  effects->flags2 = flags2;
  if (flags1 & 0x01) {
    ReturnBuffer(in);
    effects->bend = LoadBendCurve(in->stream);
    BorrowBuffer(in);
    if (!effects->bend) {
      free(effects);
      return nullptr;
    }
  }
  // Grace (4 bytes), tremolo picking, slide, harmonic and trill (2 bytes)
  // follow one another: one take for all that the flags announce.
  size_t size = ((flags1 & 0x10) ? 4 : 0) + ((flags2 & 0x04) ? 1 : 0) + ((flags2 & 0x08) ? 1 : 0) +
                ((flags2 & 0x10) ? 1 : 0) + ((flags2 & 0x20) ? 2 : 0);
  if (size == 0) return effects;
  if (!TakeBytes(in, size, &field)) {
    FreeNoteEffects(&effects);
    return nullptr;
  }
  if (flags1 & 0x10) {
    memcpy(effects->grace, field, sizeof effects->grace);
    field += sizeof effects->grace;
  }
  if (flags2 & 0x04) effects->tremoloPicking = *field++;
  if (flags2 & 0x08) effects->slide = *field++;
  if (flags2 & 0x10) effects->harmonic = *field++;
  if (flags2 & 0x20) memcpy(effects->trill, field, sizeof effects->trill);
  return effects;
}

NoteEffects* LoadNoteEffects(FILE* stream) {
  ByteCursor in;
  OpenCursor(&in, stream);
  NoteEffects* effects = LoadNoteEffects(&in);
  ReturnBuffer(&in);
  return effects;
}

int LoadNote(Note* note, FILE* stream) {
  *note = Note{};
  ByteCursor in;
  OpenCursor(&in, stream);
  int loaded = ReadNote(note, &in);
  ReturnBuffer(&in);
  return loaded;
}

}  // namespace Tolvenar
