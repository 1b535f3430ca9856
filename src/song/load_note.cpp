// Reader of one note of a beat and of the note's effects (two flags bytes,
// one in version 3; version 5 shapes the grace, slide and harmonic fields
// its own way), and the end of a version 5 note.
#include <cstring>

#include "song/load_note.h"
#include "song/song_internal.h"

namespace Tolvenar {

namespace {

constexpr uint8_t kVersion3Slide = 0x04;  // the one flags byte of version 3
constexpr uint8_t kSlideCode = 0x08;      // flags2
constexpr uint8_t kShiftSlide = 1;

// Version 3 has one flags byte: bend (0x01), hammer-on (0x02), slide
// (0x04, no code byte), let ring (0x08) and grace note (0x10) as in
// version 4's first byte. Its slide is held as version 4 holds a shift
// slide, the kind most of its slides are saved as in version 4.
void SplitVersion3Flags(uint8_t flags, uint8_t* flags2, uint8_t* slide) {
  *flags2 = (flags & kVersion3Slide) ? kSlideCode : 0;
  *slide = (flags & kVersion3Slide) ? kShiftSlide : 0;
}

// The version 4 slide code of a version 5 slide mask: that of the lowest
// bit set, so a slide out wins over a slide in.
uint8_t SlideOfMask(uint8_t mask) {
  static const uint8_t kSlideCodes[6] = {1, 2, 3, 4, 0xFF, 0xFE};
  for (unsigned bit = 0; bit < 6; ++bit)
    if (mask & (1u << bit)) return kSlideCodes[bit];
  return 0;
}

// The version 4 code of an artificial harmonic: 17 two octaves up, 15 when
// the harmonic sounds a fifth above the played pitch (the 7th fret's), 22
// (an octave) otherwise.
uint8_t ArtificialHarmonic(const uint8_t data[3], int playedPitch) {
  if (data[2] == 2) return 17;
  int interval = (data[0] + static_cast<int8_t>(data[1]) - playedPitch) % 12;
  if (interval < 0) interval += 12;
  return interval == 7 ? 15 : 22;
}

// Version 5 differs in three fields: a fifth grace byte (dead, on the
// beat), the slide as a mask, and the harmonic as a type with its data.
// What the records cannot hold goes to the note's extras.
int ReadVersion5EffectFields(NoteEffects* effects, SongReader* in) {
  NoteExtras& extras = in->place.note;
  const uint8_t* field;
  if (effects->flags1 & 0x10) {
    if (!TakeBytes(in, 5, &field)) return 0;
    memcpy(effects->grace, field, sizeof effects->grace);
    extras.graceDead = field[4] & 0x01;
    extras.graceOnBeat = (field[4] >> 1) & 0x01;
    if (field[4] & 0x03) in->place.noteHasExtras = true;
  }
  if ((effects->flags2 & 0x04) && !ReadU8(in, &effects->tremoloPicking)) return 0;
  if (effects->flags2 & 0x08) {
    if (!ReadU8(in, &extras.slideMask)) return 0;
    effects->slide = SlideOfMask(extras.slideMask);
    in->place.noteHasExtras = true;
  }
  if (effects->flags2 & 0x10) {
    if (!ReadU8(in, &extras.harmonicType)) return 0;
    size_t dataBytes = extras.harmonicType == kHarmonicArtificial ? 3 : extras.harmonicType == kHarmonicTapped ? 1 : 0;
    if (!ReadBytes(in, extras.harmonicData, dataBytes)) return 0;
    effects->harmonic = extras.harmonicType == kHarmonicArtificial
                            ? ArtificialHarmonic(extras.harmonicData, in->place.playedPitch)
                            : extras.harmonicType;
    in->place.noteHasExtras = true;
  }
  if ((effects->flags2 & 0x20) && !ReadBytes(in, effects->trill, sizeof effects->trill)) return 0;
  return 1;
}

double DecodeF64LE(const uint8_t* bytes) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | bytes[i];
  double value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

int FinishVersion5Note(Note* note, unsigned slot, uint8_t flags, const uint8_t* fields, SongReader* in) {
  ExtrasPlace& place = in->place;
  place.note = NoteExtras{};
  place.note.durationPercent = 1.0;
  place.noteHasExtras = false;
  if (flags & 0x01) {
    // After the type, dynamic, fret and fingerings.
    place.note.durationPercent = DecodeF64LE(fields + Note5FieldBytes(flags & 0xB0) - 1);
    place.noteHasExtras = true;
  }
  if (flags & 0x02) {
    place.note.heavyAccent = 1;
    place.noteHasExtras = true;
  }
  // A version 4 save holds a heavy accent as an accent, and has no
  // duration percent.
  note->flags = static_cast<uint8_t>((flags & ~0x03u) | ((flags & 0x02) ? 0x40 : 0));
  place.playedPitch = (place.tuning && slot < 7 ? place.tuning[slot] : 0) + note->fret;
  if ((flags & 0x08) && !LoadNoteEffects(&note->effects, in)) return 0;
  if (place.noteHasExtras && in->extras) return KeepNoteExtras(in, slot);
  return 1;
}

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
  uint8_t flags1;
  uint8_t flags2 = 0;  // as the file holds it: version 3 has no second byte
  if (ReadsVersion3(in)) {
    if (!TakeBytes(in, 1, &field)) return 0;
    flags1 = field[0];
    SplitVersion3Flags(flags1, &effects->flags2, &effects->slide);
  } else {
    if (!TakeBytes(in, 2, &field)) return 0;
    flags1 = field[0];
    flags2 = field[1];
    effects->flags2 = flags2;
  }
  effects->flags1 = flags1;
  if ((flags1 & 0x01) && !LoadBendCurve(&effects->bend, in)) return 0;
  if (ReadsVersion5(in)) return ReadVersion5EffectFields(effects, in);
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
  return ReadsVersion5(in) ? ReadNote<true>(note, 0, in) : ReadNote<false>(note, 0, in);
}

}  // namespace Tolvenar
