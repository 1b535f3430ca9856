// A sounding note of the performance while the walk may still lengthen it,
// and the pitch-wheel shape of the part of it that one beat plays.
#ifndef ORLIX_PERFORM_SOUND_H
#define ORLIX_PERFORM_SOUND_H

#include <cstdint>

#include "perform/perform_internal.h"

namespace Tolvenar {

// Cents (hundredths of a semitone) above the struck pitch, changing in a
// straight line from `from` at tick `start` to `to` at tick `end`, held
// before and after.
struct WheelRamp {
  int32_t from;
  int32_t to;
  uint64_t start;
  uint64_t end;
};

// The wheel over ticks [from, to) of a sound: a ramp holding earlier glides
// (a grace note's slide, legato slides before), the note's bend over its own
// length, the tremolo bar over its beat, vibrato, and a slide waiting for
// the next note of the string.
struct WheelSegment {
  uint64_t from;
  uint64_t to;
  WheelRamp base;
  const BendCurve* bend;
  uint64_t bendStart;
  uint64_t bendLength;
  const BendCurve* bar;
  uint64_t barStart;
  uint64_t barLength;
  int32_t vibrato;  // cents either side
  uint8_t slide;    // the note's slide code
};

struct Sound {
  bool open;
  bool continuable;  // a tie may continue it (not a dead note)
  bool letRing;
  bool wheel;        // on the effects channel, shaped by the wheel
  bool hasSegment;
  uint8_t pitch;     // as struck
  uint8_t velocity;
  uint8_t channel;
  uint64_t start;
  uint64_t end;
  uint32_t noteOn;   // index of its note-on in the track's list
  int32_t offset;    // cents the wheel holds it at after legato slides
  uint16_t lastWheel;
  WheelSegment segment;
  // The other voice's sound struck with it (one note-on for both), and the
  // end a partner that finished first left to it.
  Sound* partner;
  uint64_t heldUntil;
};

constexpr int32_t kOctaveCents = 1200;

constexpr int32_t kLoudest = 127;
constexpr int32_t kVelocityStep = 16;
constexpr uint8_t kDeadOpenFret = 255;
constexpr uint8_t kEffectHarmonic = 0x10;  // second flags byte of note effects

// tuning + capo + fret of the slot, or -1 outside 0..127.
inline int32_t FrettedPitch(const Track* track, uint32_t slot, int64_t fret) {
  int64_t pitch = int64_t{track->tuning[slot]} + track->capoHeight + fret;
  return pitch >= 0 && pitch <= kLoudest ? static_cast<int32_t>(pitch) : -1;
}

// The sounding pitch of a harmonic at `fret` (a tapped one by its version 5
// data when `extras` has it), or -1 outside 0..127.
int32_t HarmonicPitch(const Track* track, uint32_t slot, uint8_t fret, const NoteEffects* effects,
                      const NoteExtras* extras);

// Pitch of a note of the track on slot `slot`: tuning + capo + fret, a
// dead note stored with fret 255 on the open string, harmonics at their
// sounding pitch; -1 when that lies outside 0..127.
inline int32_t NotePitch(const Track* track, uint32_t slot, const Note* note,
                         const NoteEffects* effects, const NoteExtras* extras) {
  uint8_t fret = note->fret;
  if (note->type == kNoteTypeDead && fret == kDeadOpenFret) fret = 0;
  if (effects == nullptr || (effects->flags2 & kEffectHarmonic) == 0) {
    return FrettedPitch(track, slot, fret);
  }
  return HarmonicPitch(track, slot, fret, effects, extras);
}

// Velocity of dynamic 1..8 moved by `levels` steps of the scale, kept in
// 1..127.
constexpr uint8_t DynamicVelocity(int32_t dynamic, int32_t levels) {
  int32_t velocity = (dynamic + levels) * kVelocityStep - 1;
  if (velocity < 1) return 1;
  return static_cast<uint8_t>(velocity > kLoudest ? kLoudest : velocity);
}

// Writes the wheel of the sound's pending segment up to segment.to, ending
// a shift or legato slide on nextPitch (-1: no next note); with `last` the
// wheel then returns to centre at the sound's end.
void WriteSegmentWheel(PerformContext* context, Sound* sound, int32_t nextPitch, bool last);

}  // namespace Tolvenar

#endif
