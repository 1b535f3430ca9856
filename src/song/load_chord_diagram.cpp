// Reader of a beat's chord diagram in its two layouts: the short old one
// (format 0) and the fixed 107-byte new one (format 1).
#include <cstring>

#include "song/song_internal.h"

namespace Tolvenar {

// The name field of the new layout, length byte included, whatever the name's
// own length; the fields after it sit at fixed offsets.
constexpr size_t kNewLayoutNameField = 21;

// count int32 values in one read, decoded in place.
static int ReadFrets(SongReader* in, int32_t* frets, size_t count) {
  const uint8_t* bytes;
  if (!TakeBytes(in, count * 4, &bytes)) return 0;
  for (size_t i = 0; i < count; ++i) frets[i] = static_cast<int32_t>(DecodeU32LE(bytes + 4 * i));
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
static int ReadNewLayoutName(ChordDiagram* chord, SongReader* in) {
  const uint8_t* field;
  if (!PeekBytes(in, 1, &field)) return 0;
  size_t length = field[0];
  size_t peeked = 1 + length > kNewLayoutNameField ? 1 + length : kNewLayoutNameField;
  if (!PeekBytes(in, peeked, &field)) return 0;
  chord->name = static_cast<char*>(NewArrayUninitialised(in, length + 1, 1));
  if (!chord->name) return 0;
  memcpy(chord->name, field + 1, length);
  chord->name[length] = '\0';
  in->at += kNewLayoutNameField;
  return 1;
}

static int ReadNewLayout(ChordDiagram* chord, SongReader* in) {
  if (!ReadU8(in, &chord->sharp) || !ReadBytes(in, chord->reserved1, sizeof chord->reserved1) ||
      !ReadU8(in, &chord->root) || !ReadU8(in, &chord->chordType) || !ReadU8(in, &chord->extension) ||
      !ReadI32LE(in, &chord->bass) || !ReadI32LE(in, &chord->diminishedAugmented) ||
      !ReadU8(in, &chord->add) || !ReadNewLayoutName(chord, in))
    return 0;
  if (!ReadBytes(in, chord->reserved2, sizeof chord->reserved2) || !ReadU8(in, &chord->fifth) ||
      !ReadU8(in, &chord->ninth) || !ReadU8(in, &chord->eleventh) || !ReadI32LE(in, &chord->baseFret) ||
      !ReadFrets(in, chord->frets, 7) || !ReadU8(in, &chord->barreCount) ||
      !ReadBytes(in, chord->barreFrets, sizeof chord->barreFrets) ||
      !ReadBytes(in, chord->barreStarts, sizeof chord->barreStarts) ||
      !ReadBytes(in, chord->barreEnds, sizeof chord->barreEnds))
    return 0;
  for (uint8_t& omission : chord->omissions)
    if (!ReadU8(in, &omission)) return 0;
  return ReadU8(in, &chord->reserved3) && ReadBytes(in, chord->fingering, sizeof chord->fingering) &&
         ReadU8(in, &chord->showFingering);
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
