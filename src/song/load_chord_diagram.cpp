// Reader of a beat's chord diagram in its two layouts: the short old one
// (format 0) and the fixed-size new one (format 1), whose shape differs in
// version 3.
#include <cstring>

#include "song/song_internal.h"

namespace Tolvenar {

// The new layout's name: a length byte and the text in a field of 21
// bytes (23 in version 3), whatever the name's own length; the fields after
// it sit at fixed offsets.
constexpr size_t kNewLayoutNameField = 21;
constexpr size_t kVersion3NameField = 23;
// Version 3 keeps two barres, version 4 five.
constexpr size_t kVersion3Barres = 2;
// Version 3 has no fingering; a version 4 diagram without one holds this
// in every entry.
constexpr uint8_t kNoFingering = 0xFE;

// count int32 values in one read, decoded in place.
static int ReadFrets(SongReader* in, int32_t* frets, size_t count) {
  const uint8_t* bytes;
  if (!TakeBytes(in, count * 4, &bytes)) return 0;
  for (size_t i = 0; i < count; ++i) frets[i] = static_cast<int32_t>(DecodeU32LE(bytes + 4 * i));
  return 1;
}

// A field version 4 stores as a byte and version 3 as an int32, of which
// the record keeps the low byte.
static int ReadNarrowField(SongReader* in, bool wide, uint8_t* value) {
  if (!wide) return ReadU8(in, value);
  const uint8_t* bytes;
  if (!TakeBytes(in, 4, &bytes)) return 0;
  *value = bytes[0];
  return 1;
}

static int ReadOldLayout(ChordDiagram* chord, SongReader* in) {
  if (!ReadIntByteString(in, &chord->name) || !ReadI32LE(in, &chord->baseFret)) return 0;
  // Without a base fret the diagram has no frets at all.
  if (chord->baseFret != 0 && !ReadFrets(in, chord->frets, 6)) return 0;
  return 1;
}

// A name longer than its field has read into the fields after it; they are
// still read from their own offsets, so the whole name is peeked and only
// the field is taken.
static int ReadNewLayoutName(ChordDiagram* chord, SongReader* in, size_t fieldBytes) {
  const uint8_t* field;
  if (!PeekBytes(in, 1, &field)) return 0;
  size_t length = field[0];
  size_t peeked = 1 + length > fieldBytes ? 1 + length : fieldBytes;
  if (!PeekBytes(in, peeked, &field)) return 0;
  chord->name = static_cast<char*>(NewArrayUninitialised(in, length + 1, 1));
  if (!chord->name) return 0;
  memcpy(chord->name, field + 1, length);
  chord->name[length] = '\0';
  in->at += fieldBytes;
  return 1;
}

// Version 4: a count byte and five entries in each of the three arrays.
// Version 3: an int32 count and two int32 entries in each; entries past the
// count hold leftover memory in real files, so only counted ones are kept
// (narrowed to a byte) and the rest stay 0.
static int ReadBarres(ChordDiagram* chord, SongReader* in, bool version3) {
  if (!version3)
    return ReadU8(in, &chord->barreCount) && ReadBytes(in, chord->barreFrets, sizeof chord->barreFrets) &&
           ReadBytes(in, chord->barreStarts, sizeof chord->barreStarts) &&
           ReadBytes(in, chord->barreEnds, sizeof chord->barreEnds);
  const uint8_t* bytes;
  if (!TakeBytes(in, 4 + 3 * kVersion3Barres * 4, &bytes)) return 0;
  chord->barreCount = bytes[0];
  uint8_t* arrays[] = {chord->barreFrets, chord->barreStarts, chord->barreEnds};
  for (size_t a = 0; a < 3; ++a) {
    for (size_t i = 0; i < kVersion3Barres && i < chord->barreCount; ++i)
      arrays[a][i] = bytes[4 + (a * kVersion3Barres + i) * 4];
  }
  return 1;
}

// 107 bytes in version 4; 125 in version 3, whose root, type, extension,
// fifth, ninth and eleventh are int32, with a longer name field, six frets,
// two barres, and neither the two reserved bytes after the name nor the
// fingering.
static int ReadNewLayout(ChordDiagram* chord, SongReader* in) {
  const bool version3 = ReadsVersion3(in);
  if (!ReadU8(in, &chord->sharp) || !ReadBytes(in, chord->reserved1, sizeof chord->reserved1) ||
      !ReadNarrowField(in, version3, &chord->root) || !ReadNarrowField(in, version3, &chord->chordType) ||
      !ReadNarrowField(in, version3, &chord->extension) || !ReadI32LE(in, &chord->bass) ||
      !ReadI32LE(in, &chord->diminishedAugmented) || !ReadU8(in, &chord->add) ||
      !ReadNewLayoutName(chord, in, version3 ? kVersion3NameField : kNewLayoutNameField))
    return 0;
  if (!version3 && !ReadBytes(in, chord->reserved2, sizeof chord->reserved2)) return 0;
  if (!ReadNarrowField(in, version3, &chord->fifth) || !ReadNarrowField(in, version3, &chord->ninth) ||
      !ReadNarrowField(in, version3, &chord->eleventh) || !ReadI32LE(in, &chord->baseFret) ||
      !ReadFrets(in, chord->frets, version3 ? 6 : 7) || !ReadBarres(chord, in, version3) ||
      !ReadBytes(in, chord->omissions, sizeof chord->omissions) || !ReadU8(in, &chord->reserved3))
    return 0;
  if (version3) {
    // What a version 4 diagram without a seventh string or fingering holds.
    chord->frets[6] = -1;
    memset(chord->fingering, kNoFingering, sizeof chord->fingering);
    chord->showFingering = 0;
    return 1;
  }
  return ReadBytes(in, chord->fingering, sizeof chord->fingering) && ReadU8(in, &chord->showFingering);
}

int LoadChordDiagram(ChordDiagram** slot, SongReader* in) {
  ChordDiagram* chord = static_cast<ChordDiagram*>(NewRecord(in, sizeof(ChordDiagram)));
  if (!chord) return 0;
  *slot = chord;
  uint64_t formatOffset = ReaderOffset(in);
  if (!ReadU8(in, &chord->format)) return 0;
  if (chord->format == 0) return ReadOldLayout(chord, in);
  if (chord->format == 1) return ReadNewLayout(chord, in);
  // No other layout exists.
  return FailBadData(in, formatOffset, "chord diagram format", chord->format);
}

}  // namespace Tolvenar
