// Reader of one note of a beat and of the note's effects.
#include <cstdlib>
#include <cstring>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

namespace {

// Bytes of a note's fixed fields for each flags byte: type and fret (0x20),
// duration and tuplet (0x01), dynamic (0x10), the two fingerings (0x80).
constexpr uint8_t NoteFieldBytes(unsigned flags) {
  return static_cast<uint8_t>(((flags & 0x20) ? 2 : 0) + ((flags & 0x01) ? 2 : 0) +
                              ((flags & 0x10) ? 1 : 0) + ((flags & 0x80) ? 2 : 0));
}

struct NoteFieldTable {
  uint8_t bytes[256];
  constexpr NoteFieldTable() : bytes() {
    for (unsigned flags = 0; flags < 256; ++flags) bytes[flags] = NoteFieldBytes(flags);
  }
};
constexpr NoteFieldTable kNoteFields;

// The longest note head: flags and every fixed field.
constexpr size_t kNoteHeadMaxBytes = 1 + NoteFieldBytes(0xFF);

NoteEffects* ReadNoteEffects(ByteCursor* in) {
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

void ReadNoteFieldsInOrder(Note* note, uint8_t flags, const uint8_t* field) {
  if (flags & 0x20) note->type = *field++;
  if (flags & 0x01) {
    note->duration = field[0];
    note->tuplet = field[1];
    field += 2;
  }
  if (flags & 0x10) note->dynamic = *field++;
  if (flags & 0x20) note->fret = *field++;
  if (flags & 0x80) {
    note->leftFinger = field[0];
    note->rightFinger = field[1];
  }
}

// The note must be zeroed; on failure it owns nothing.
inline int ReadNote(Note* note, ByteCursor* in) {
  uint8_t flags;
  const uint8_t* field;
  if (static_cast<size_t>(in->end - in->at) >= kNoteHeadMaxBytes) {
    // The common case: flags and fields in the buffer, one bounds test.
    flags = in->at[0];
    field = in->at + 1;
    in->at = field + kNoteFields.bytes[flags];
  } else {
    if (!TakeBytes(in, 1, &field)) return 0;
    flags = *field;
    if (!TakeBytes(in, kNoteFields.bytes[flags], &field)) {
      note->flags = flags;
      return 0;
    }
  }
  note->flags = flags;
  // The type (0x20) comes first of all, the fret (0x20 again) after the
  // duration, tuplet and dynamic, the fingerings last. Most notes carry
  // the type and fret alone.
  if ((flags & 0xB1) == 0x20) {
    note->type = field[0];
    note->fret = field[1];
  } else {
    ReadNoteFieldsInOrder(note, flags, field);
  }
  if (flags & 0x08) {
    // A note whose flag promises effects never stands without them.
    note->effects = ReadNoteEffects(in);
    if (!note->effects) return 0;
  }
  return 1;
}

}  // namespace

int LoadBeatNotes(Beat* beat, ByteCursor* in) {
  // Mask bit 0x40 is slot 0 (highest string), 0x01 slot 6; 0x80 reads
  // nothing. Only the set bits are visited, highest first.
  unsigned mask = beat->strings & 0x7Fu;
  while (mask != 0) {
    int bit = 31 - __builtin_clz(mask);
    mask &= ~(1u << bit);
    if (!ReadNote(&beat->notes[6 - bit], in)) return 0;
  }
  return 1;
}

NoteEffects* LoadNoteEffects(FILE* stream) {
  ByteCursor in;
  in.stream = stream;
  BorrowBuffer(&in);
  NoteEffects* effects = ReadNoteEffects(&in);
  ReturnBuffer(&in);
  return effects;
}

int LoadNote(Note* note, FILE* stream) {
  *note = Note{};
  ByteCursor in;
  in.stream = stream;
  BorrowBuffer(&in);
  int loaded = ReadNote(note, &in);
  ReturnBuffer(&in);
  return loaded;
}

}  // namespace Tolvenar
