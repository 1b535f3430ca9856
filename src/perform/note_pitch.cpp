// Pitch and loudness of a performed note: capo, dead notes, harmonics, the
// dynamic scale with ghost notes and accents.
#include "perform/sound.h"

namespace Tolvenar {
namespace {

constexpr uint8_t kDeadOpenFret = 255;
constexpr uint8_t kEffectHarmonic = 0x10;  // second flags byte
constexpr uint8_t kNaturalHarmonic = 1;
constexpr int32_t kLoudest = 127;
constexpr int32_t kVelocityStep = 16;

// Semitones a natural harmonic at the fret sounds above the open string; 0
// for a fret with no harmonic of its own (it sounds an octave above the
// fretted note).
int32_t NaturalHarmonicInterval(uint8_t fret) {
  switch (fret) {
    case 12: return 12;
    case 7: case 19: return 19;
    case 5: case 24: return 24;
    case 4: case 9: case 16: return 28;
    case 3: return 31;
    case 2: return 36;
    default: return 0;
  }
}

// Semitones other harmonics sound above the fretted note.
int32_t FrettedHarmonicInterval(uint8_t harmonic) {
  switch (harmonic) {
    case 15: return 19;
    case 17: return 24;
    case 22: case 3: case 4: case 5: return 12;
    default: return 0;
  }
}

// A version 5 tapped harmonic keeps the fret the right hand touches: the
// harmonic of the string from the fretted note at that distance (an octave
// up where the distance has none of its own).
int32_t TappedHarmonicInterval(uint8_t fret, uint8_t tappedFret) {
  int32_t interval = 0;
  if (tappedFret > fret) interval = NaturalHarmonicInterval(static_cast<uint8_t>(tappedFret - fret));
  return interval != 0 ? interval : 12;
}

}  // namespace

int32_t FrettedPitch(const Track* track, uint32_t slot, int64_t fret) {
  int64_t pitch = int64_t{track->tuning[slot]} + track->capoHeight + fret;
  return pitch >= 0 && pitch <= kLoudest ? static_cast<int32_t>(pitch) : -1;
}

int32_t NotePitch(const Track* track, uint32_t slot, const Note* note, const NoteEffects* effects,
                  const NoteExtras* extras) {
  uint8_t fret = note->fret;
  if (note->type == kNoteTypeDead && fret == kDeadOpenFret) fret = 0;
  if (effects == nullptr || (effects->flags2 & kEffectHarmonic) == 0) {
    return FrettedPitch(track, slot, fret);
  }
  // An artificial harmonic's data already chose the record's code (an
  // octave, a twelfth or two octaves up), which the rules below play.
  if (extras != nullptr && extras->harmonicType == kHarmonicTapped) {
    return FrettedPitch(track, slot, fret + TappedHarmonicInterval(fret, extras->harmonicData[0]));
  }
  if (effects->harmonic == kNaturalHarmonic) {
    int32_t interval = NaturalHarmonicInterval(fret);
    return interval != 0 ? FrettedPitch(track, slot, interval) : FrettedPitch(track, slot, fret + 12);
  }
  return FrettedPitch(track, slot, int64_t{fret} + FrettedHarmonicInterval(effects->harmonic));
}

uint8_t DynamicVelocity(int32_t dynamic, int32_t levels) {
  int32_t velocity = (dynamic + levels) * kVelocityStep - 1;
  if (velocity < 1) return 1;
  return static_cast<uint8_t>(velocity > kLoudest ? kLoudest : velocity);
}

}  // namespace Tolvenar
