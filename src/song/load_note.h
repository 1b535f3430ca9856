// The hot part of the note reader, inline so that a beat's note loop reads
// its notes without a call for each: the note's flags and fixed fields.
#ifndef ORLIX_SONG_LOAD_NOTE_H
#define ORLIX_SONG_LOAD_NOTE_H

#include <cstddef>
#include <cstdint>

#include "song/song_internal.h"

namespace Tolvenar {

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
inline constexpr NoteFieldTable kNoteFields;

// The longest note head: flags and every fixed field.
constexpr size_t kNoteHeadMaxBytes = 1 + NoteFieldBytes(0xFF);

// Version 5 has no duration and tuplet bytes: 0x01 announces an 8-byte
// duration percent after the fingerings, and a second flags byte follows
// the fixed fields of every note.
constexpr uint8_t Note5FieldBytes(unsigned flags) {
  return static_cast<uint8_t>(((flags & 0x20) ? 2 : 0) + ((flags & 0x10) ? 1 : 0) + ((flags & 0x80) ? 2 : 0) +
                              ((flags & 0x01) ? 8 : 0) + 1);
}

struct Note5FieldTable {
  uint8_t bytes[256];
  constexpr Note5FieldTable() : bytes() {
    for (unsigned flags = 0; flags < 256; ++flags) bytes[flags] = Note5FieldBytes(flags);
  }
};
inline constexpr Note5FieldTable kNote5Fields;
constexpr size_t kNote5HeadMaxBytes = 1 + Note5FieldBytes(0xFF);

// The rest of a version 5 note once its fixed fields are in the record:
// the flags as a version 4 record holds them, the note's effects, and what
// the note carries beyond its record. fields points at the fixed fields.
int FinishVersion5Note(Note* note, unsigned slot, uint8_t flags, const uint8_t* fields, SongReader* in);


inline void ReadNoteFieldsInOrder(Note* note, uint8_t flags, const uint8_t* field, bool v5) {
  if (flags & 0x20) note->type = *field++;
  if ((flags & 0x01) && !v5) {
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

// The note must be zeroed; on failure its release takes what it owns.
// slot is the note's place in its beat (0: highest string). Built once for
// version 5 and once for the others (the reader's format decides which).
template <bool kVersion5>
inline int ReadNote(Note* note, unsigned slot, SongReader* in) {
  const uint8_t* fieldBytes = kVersion5 ? kNote5Fields.bytes : kNoteFields.bytes;
  uint8_t flags;
  const uint8_t* field;
  if (static_cast<size_t>(in->end - in->at) >= (kVersion5 ? kNote5HeadMaxBytes : kNoteHeadMaxBytes)) {
    // The common case: flags and fields in the window, one bounds test.
    flags = in->at[0];
    field = in->at + 1;
    in->at = field + fieldBytes[flags];
  } else {
    if (!TakeBytes(in, 1, &field)) return 0;
    flags = *field;
    if (!TakeBytes(in, fieldBytes[flags], &field)) {
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
    ReadNoteFieldsInOrder(note, flags, field, kVersion5);
  }
  if constexpr (kVersion5) return FinishVersion5Note(note, slot, flags, field, in);
  if (flags & 0x08) {
    if (!LoadNoteEffects(&note->effects, in)) return 0;
  }
  return 1;
}

}  // namespace Tolvenar

#endif
