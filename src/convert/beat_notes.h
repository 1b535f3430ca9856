// Which strings of a beat sound, at what pitch and velocity: a track's note
// plan, worked out once per conversion, and the visit of a beat's notes.
// Inline, as the walk visits them for every beat.
#ifndef ORLIX_CONVERT_BEAT_NOTES_H
#define ORLIX_CONVERT_BEAT_NOTES_H

#include <cstdint>

#include "convert/song_rules.h"

namespace Tolvenar {

// What a track's note events need: their status bytes and the open
// strings' pitches.
struct NotePlan {
  uint8_t offStatus;
  uint8_t onStatus;
  uint8_t slotMask;       // bit s: slot s is examined; 0 when the track plays no notes
  const int32_t* tuning;  // the track's open-string pitches, slot by slot
};

void PlanNotes(const Track* track, NotePlan* plan);

// The keys a started beat switches off when it ends.
struct NoteOffs {
  uint32_t count;
  uint8_t keys[kSlotCount];
};

// Calls off(pitch) for each note-off of the beat and, for a playable note,
// on(pitch, velocity) right after it, in slot order; nothing for a beat that
// does not sound or a plan without slots. A string whose pitch comes out
// above 127, which a MIDI data byte cannot carry, sends neither on nor off.
// Every other marked string gets its note-off, also a tied or dead note
// that was never switched on.
template <typename Off, typename On>
inline void VisitBeatNotes(const NotePlan& plan, const Beat* beat, Off off, On on) {
  uint32_t held = MarkedSlots(beat, plan.slotMask);
  if (held == 0 || !IsSounding(beat)) return;
  do {
    uint32_t slot = LowestSlot(held);
    held &= held - 1;
    const Note* note = &beat->notes[slot];
    // Summed in 8 bits: a tuning near INT32_MAX wraps like the full sum would.
    uint8_t pitch = static_cast<uint8_t>(static_cast<uint8_t>(plan.tuning[slot]) + note->fret);
    if (pitch > 127) continue;
    off(pitch);
    if ((note->flags & kNotePlayable) != 0 && note->type == kNoteTypeNormal) {
      on(pitch, VelocityOf(note));
    }
  } while (held != 0);
}

}  // namespace Tolvenar

#endif
