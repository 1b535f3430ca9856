// Reader of one note of a beat and of the note's effects (two flags bytes,
// one in version 3).
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

}  // namespace

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
