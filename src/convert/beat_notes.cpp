// A beat's note events: which strings sound, at what pitch and velocity,
// encoded once per beat as the runs its start and its end append.
#include "convert/convert_internal.h"

namespace Tolvenar {
namespace {

constexpr uint32_t kSlotCount = 7;
constexpr uint8_t kStatusEmpty = 0;
constexpr uint8_t kStatusRest = 2;
constexpr uint8_t kNotePlayable = 0x20;  // type and fret present
constexpr uint8_t kNoteDynamic = 0x10;
constexpr uint8_t kNoteTypeNormal = 1;
constexpr int32_t kChannelCount = 16;
constexpr uint8_t kStatusNoteOff = 0x80;
constexpr uint8_t kStatusNoteOn = 0x90;

bool IsSounding(const Beat* beat) {
  return (beat->flags & kBeatStatus) == 0 ||
         (beat->status != kStatusEmpty && beat->status != kStatusRest);
}

uint8_t VelocityOf(const Note* note) {
  // A dynamic outside 1..8 would give no valid velocity: use the default.
  if ((note->flags & kNoteDynamic) == 0 || note->dynamic < 1 || note->dynamic > 8) {
    return kDefaultVelocity;
  }
  return static_cast<uint8_t>(note->dynamic * 16 - 1);
}

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

constexpr SlotTable kSlotTable = MakeSlotTable();

}  // namespace

// Note events go to the main channel only; a track whose channel lies
// outside 1..16 plays nothing, nor one without strings.
void PlanNotes(const ConvertContext& context, uint32_t track, NotePlan* plan) {
  const Track* t = &context.song->tracks[track];
  plan->chunk = &context.file->tracks[track + 1];
  plan->room = context.rooms != nullptr ? &context.rooms[track + 1] : nullptr;
  bool plays = IsValidOneBased(t->midiChannel, kChannelCount);
  uint8_t channel = plays ? static_cast<uint8_t>(t->midiChannel - 1) : 0;
  plan->offStatus = static_cast<uint8_t>(kStatusNoteOff | channel);
  plan->onStatus = static_cast<uint8_t>(kStatusNoteOn | channel);
  uint32_t strings = static_cast<uint32_t>(t->stringCount);
  uint32_t slots = strings < kSlotCount ? strings : kSlotCount;
  plan->slotMask = plays ? static_cast<uint8_t>((1u << slots) - 1) : 0;
  plan->tuning = t->tuning;
}

// A string whose pitch comes out above 127, which a MIDI data byte cannot
// carry, sends neither on nor off. Every other marked string gets its
// note-off, also a tied or dead note that was never switched on.
void CollectBeatNotes(const NotePlan& plan, const Beat* beat, BeatNotes* notes) {
  notes->offs.count = 0;
  notes->ons.count = 0;
  uint32_t held = kSlotTable.bySlot[beat->strings & 0x7F] & plan.slotMask;
  if (held == 0 || !IsSounding(beat)) return;
  notes->offs.status = plan.offStatus;
  notes->ons.status = plan.onStatus;
  uint8_t* off = notes->offs.body;
  uint8_t* on = notes->ons.body;
  do {
    uint32_t slot = static_cast<uint32_t>(__builtin_ctz(held));
    held &= held - 1;
    const Note* note = &beat->notes[slot];
    // Summed in 8 bits: a tuning near INT32_MAX wraps like the full sum would.
    uint8_t pitch = static_cast<uint8_t>(static_cast<uint8_t>(plan.tuning[slot]) + note->fret);
    if (pitch > 127) continue;
    off[0] = pitch;
    off[1] = kNoteOffVelocity;
    off[2] = 0;
    off += 3;
    if ((note->flags & kNotePlayable) != 0 && note->type == kNoteTypeNormal) {
      on[0] = pitch;
      on[1] = VelocityOf(note);
      on[2] = 0;
      on += 3;
    }
  } while (held != 0);
  notes->offs.count = static_cast<uint8_t>((off - notes->offs.body) / 3);
  notes->ons.count = static_cast<uint8_t>((on - notes->ons.body) / 3);
}

}  // namespace Tolvenar
