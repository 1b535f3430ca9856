// Pitch and loudness of a performed note: capo, dead notes, harmonics, the
// dynamic scale with ghost notes and accents.
#include "perform/sound.h"

namespace Tolvenar {
namespace {

constexpr uint8_t kNaturalHarmonic = 1;

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

int32_t HarmonicPitch(const Track* track, uint32_t slot, uint8_t fret, const NoteEffects* effects,
                      const NoteExtras* extras) {
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

}  // namespace Tolvenar
