// A beat's note events, encoded once per beat as the runs its start and its
// end append: which strings sound, at what pitch and velocity. Inline, as
// the walk collects them for every beat.
#ifndef ORLIX_CONVERT_BEAT_NOTES_H
#define ORLIX_CONVERT_BEAT_NOTES_H

#include <cstdint>

#include "convert/convert_internal.h"
#include "midi/midi_internal.h"

namespace Tolvenar {

constexpr uint32_t kSlotCount = 7;
constexpr uint8_t kNotePlayable = 0x20;  // type and fret present
constexpr uint8_t kNoteDynamic = 0x10;
constexpr uint8_t kNoteTypeNormal = 1;

// What a track's note events need, worked out once for a run of beats:
// where they go, their status bytes and the open strings' pitches.
struct NotePlan {
  MidiTrackChunk* chunk;
  ChunkRoom* room;
  uint8_t offStatus;
  uint8_t onStatus;
  uint8_t slotMask;  // bit s: slot s is examined; 0 when the track plays no notes
  const int32_t* tuning;  // the track's open-string pitches, slot by slot
};
// The note events of one beat: its note-ons when it starts and the
// note-offs it needs when it ends.
struct BeatNotes {
  NoteRun offs;
  NoteRun ons;
};
constexpr NoteRun kNoNotes = {};

void PlanNotes(const ConvertContext& context, uint32_t track, NotePlan* plan);

// Bit s set when the strings byte marks slot s (bit 6 - s): the collector
// visits the marked slots in slot order.
struct SlotTable {
  uint8_t bySlot[128];  // the strings byte's low 7 bits, reversed
};

constexpr SlotTable MakeSlotTable() {
  SlotTable table = {};
  for (uint32_t strings = 0; strings < 128; ++strings) {
    uint32_t held = 0;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
      if ((strings & (1u << (6 - slot))) != 0) held |= 1u << slot;
    }
    table.bySlot[strings] = static_cast<uint8_t>(held);
  }
  return table;
}

inline constexpr SlotTable kSlotTable = MakeSlotTable();

// Empty beats (status 0) and rests (status 2) send no notes.
inline bool IsSounding(const Beat* beat) {
  return (beat->flags & kBeatStatus) == 0 || (beat->status != 0 && beat->status != 2);
}

// Note-on velocity by dynamic: d x 16 - 1 for 1..8. A dynamic outside 1..8
// would give no valid velocity: it gets the default.
struct VelocityTable {
  uint8_t byDynamic[256];
};

constexpr VelocityTable MakeVelocityTable() {
  VelocityTable table = {};
  for (uint32_t dynamic = 0; dynamic < 256; ++dynamic) {
    bool valid = dynamic >= 1 && dynamic <= 8;
    table.byDynamic[dynamic] = static_cast<uint8_t>(valid ? dynamic * 16 - 1 : kDefaultVelocity);
  }
  return table;
}

inline constexpr VelocityTable kVelocities = MakeVelocityTable();

inline uint8_t VelocityOf(const Note* note) {
  return (note->flags & kNoteDynamic) != 0 ? kVelocities.byDynamic[note->dynamic]
                                           : kDefaultVelocity;
}

// Calls off(pitch) for each note-off of the beat and, for a playable note,
// on(pitch, velocity) right after it, in slot order; nothing for a beat that
// does not sound or a plan without slots. A string whose pitch comes out
// above 127, which a MIDI data byte cannot carry, sends neither on nor off.
// Every other marked string gets its note-off, also a tied or dead note
// that was never switched on.
template <typename Off, typename On>
inline void VisitBeatNotes(const NotePlan& plan, const Beat* beat, Off off, On on) {
  uint32_t held = kSlotTable.bySlot[beat->strings & 0x7F] & plan.slotMask;
  if (held == 0 || !IsSounding(beat)) return;
  do {
    uint32_t slot = static_cast<uint32_t>(__builtin_ctz(held));
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

// Adds a note-off to a run whose status is already set.
inline void AddNoteOff(NoteRun* run, uint8_t pitch) {
  uint8_t* body = run->body + 3 * run->count;
  body[0] = pitch;
  body[1] = kNoteOffVelocity;
  body[2] = 0;
  ++run->count;
}

// Both runs empty for a beat that does not sound or a plan without slots.
inline void CollectBeatNotes(const NotePlan& plan, const Beat* beat, BeatNotes* notes) {
  notes->offs.status = plan.offStatus;
  notes->offs.count = 0;
  notes->ons.status = plan.onStatus;
  notes->ons.count = 0;
  NoteRun* ons = &notes->ons;
  VisitBeatNotes(
      plan, beat, [&](uint8_t pitch) { AddNoteOff(&notes->offs, pitch); },
      [&](uint8_t pitch, uint8_t velocity) {
        uint8_t* body = ons->body + 3 * ons->count;
        body[0] = pitch;
        body[1] = velocity;
        body[2] = 0;
        ++ons->count;
      });
}

}  // namespace Tolvenar

#endif
