// Reader of a beat's chord diagram in its two layouts: the short old one
// (format 0) and the fixed 107-byte new one (format 1).
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

// The name field of the new layout, length byte included, whatever the name's
// own length; the fields after it sit at fixed offsets.
constexpr long kNewLayoutNameField = 21;

// count int32 values in one read, decoded in place.
static int ReadFrets(FILE* stream, int32_t* frets, size_t count) {
  uint8_t bytes[7 * 4];
  if (!ReadBytes(stream, bytes, count * 4)) return 0;
  for (size_t i = 0; i < count; ++i) frets[i] = static_cast<int32_t>(DecodeU32LE(bytes + 4 * i));
  return 1;
}

static int ReadOldLayout(ChordDiagram* chord, FILE* stream) {
  chord->name = ReadIntByteString(stream);
  if (!chord->name || !ReadI32LE(stream, &chord->baseFret)) return 0;
  // Without a base fret the diagram has no frets at all.
  if (chord->baseFret != 0 && !ReadFrets(stream, chord->frets, 6)) return 0;
  return 1;
}

static int ReadNewLayout(ChordDiagram* chord, FILE* stream) {
  if (!ReadU8(stream, &chord->sharp) ||
      !ReadBytes(stream, chord->reserved1, sizeof chord->reserved1) ||
      !ReadU8(stream, &chord->root) || !ReadU8(stream, &chord->chordType) ||
      !ReadU8(stream, &chord->extension) || !ReadI32LE(stream, &chord->bass) ||
      !ReadI32LE(stream, &chord->diminishedAugmented) || !ReadU8(stream, &chord->add))
    return 0;
  long nameField = ftell(stream);
  if (nameField < 0) return 0;
  chord->name = ReadByteString(stream);
  // A name longer than the field has read into the fields after it; they are
  // read again from their own offsets.
  if (!chord->name || fseek(stream, nameField + kNewLayoutNameField, SEEK_SET) != 0) return 0;
  if (!ReadBytes(stream, chord->reserved2, sizeof chord->reserved2) ||
      !ReadU8(stream, &chord->fifth) || !ReadU8(stream, &chord->ninth) ||
      !ReadU8(stream, &chord->eleventh) || !ReadI32LE(stream, &chord->baseFret) ||
      !ReadFrets(stream, chord->frets, 7) || !ReadU8(stream, &chord->barreCount) ||
      !ReadBytes(stream, chord->barreFrets, sizeof chord->barreFrets) ||
      !ReadBytes(stream, chord->barreStarts, sizeof chord->barreStarts) ||
      !ReadBytes(stream, chord->barreEnds, sizeof chord->barreEnds))
    return 0;
  for (uint8_t& omission : chord->omissions)
    if (!ReadU8(stream, &omission)) return 0;
  return ReadU8(stream, &chord->reserved3) &&
         ReadBytes(stream, chord->fingering, sizeof chord->fingering) &&
         ReadU8(stream, &chord->showFingering);
}

ChordDiagram* LoadChordDiagram(FILE* stream) {
  ChordDiagram* chord = static_cast<ChordDiagram*>(calloc(1, sizeof(ChordDiagram)));
  if (!chord) return nullptr;
  int ok = ReadU8(stream, &chord->format);
  if (ok && chord->format == 0) {
    ok = ReadOldLayout(chord, stream);
  } else if (ok && chord->format == 1) {
    ok = ReadNewLayout(chord, stream);
  } else {
    ok = 0;  // no other layout exists
  }
  if (!ok) {
    FreeChordDiagram(&chord);
    return nullptr;
  }
  return chord;
}

}  // namespace Tolvenar
