// The per-tick beat step of a track, the measure close on the bar line, and
// the note and mix-table events of a beat.
#include "convert/convert_internal.h"
#include "midi/midi_internal.h"

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

struct NoteTarget {
  MidiTrackChunk* chunk;
  ChunkRoom* room;
  const Track* track;
  uint8_t channel;
  uint32_t slotCount;
};

// Note events go to the main channel only; a track whose channel lies
// outside 1..16 plays nothing. Returns false when there is nothing to play.
bool NoteTargetOf(const ConvertContext& context, uint32_t track, NoteTarget* target) {
  const Track* t = &context.song->tracks[track];
  if (!IsValidOneBased(t->midiChannel, kChannelCount)) return false;
  uint32_t strings = static_cast<uint32_t>(t->stringCount);
  target->chunk = &context.file->tracks[track + 1];
  target->room = context.rooms != nullptr ? &context.rooms[track + 1] : nullptr;
  target->track = t;
  target->channel = static_cast<uint8_t>(t->midiChannel - 1);
  target->slotCount = strings < kSlotCount ? strings : kSlotCount;
  return target->slotCount != 0;
}

// Open string plus fret, in 8 bits; false for a pitch above 127, which a
// MIDI data byte cannot carry, so that string sends neither on nor off.
bool PitchOf(const NoteTarget& target, const Beat* beat, uint32_t slot, uint8_t* pitch) {
  // Summed unsigned: a tuning near INT32_MAX must wrap, not overflow.
  uint8_t value = static_cast<uint8_t>(static_cast<uint32_t>(target.track->tuning[slot]) +
                                       beat->notes[slot].fret);
  *pitch = value;
  return value <= 127;
}

uint8_t VelocityOf(const Note* note) {
  // A dynamic outside 1..8 would give no valid velocity: use the default.
  if ((note->flags & kNoteDynamic) == 0 || note->dynamic < 1 || note->dynamic > 8) {
    return kDefaultVelocity;
  }
  return static_cast<uint8_t>(note->dynamic * 16 - 1);
}

// A beat's note events are gathered per tick and appended in one go; this
// holds the note-offs of one beat and the note-ons of the next.
struct NoteEvents {
  NoteEvent events[2 * kSlotCount];
  uint32_t count;
};

void Flush(const NoteTarget& target, NoteEvents* pending) {
  AppendNoteEvents(target.chunk, pending->events, pending->count, target.room);
  pending->count = 0;
}

void Push(const NoteTarget& target, NoteEvents* pending, uint8_t kind, uint8_t pitch,
          uint8_t velocity) {
  pending->events[pending->count++] = {static_cast<uint8_t>(kind | target.channel), pitch, velocity};
}

// Bit s of the result set when slot s lies below slotCount and holds a note:
// the collectors visit only those slots, in slot order.
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

uint32_t HeldSlots(const NoteTarget& target, const Beat* beat) {
  return kSlotTable.bySlot[beat->strings & 0x7F] & ((1u << target.slotCount) - 1);
}

uint32_t NextSlot(uint32_t* held) {
  uint32_t slot = static_cast<uint32_t>(__builtin_ctz(*held));
  *held &= *held - 1;
  return slot;
}

void CollectNoteOffs(const NoteTarget& target, const Beat* beat, NoteEvents* pending) {
  if (!IsSounding(beat)) return;
  for (uint32_t held = HeldSlots(target, beat); held != 0;) {
    uint32_t slot = NextSlot(&held);
    uint8_t pitch = 0;
    if (!PitchOf(target, beat, slot, &pitch)) continue;
    Push(target, pending, kStatusNoteOff, pitch, kNoteOffVelocity);
  }
}

void CollectNoteOns(const NoteTarget& target, const Beat* beat, NoteEvents* pending) {
  if (!IsSounding(beat)) return;
  for (uint32_t held = HeldSlots(target, beat); held != 0;) {
    uint32_t slot = NextSlot(&held);
    const Note* note = &beat->notes[slot];
    uint8_t pitch = 0;
    if ((note->flags & kNotePlayable) == 0 ||
        note->type != kNoteTypeNormal || !PitchOf(target, beat, slot, &pitch)) {
      continue;
    }
    Push(target, pending, kStatusNoteOn, pitch, VelocityOf(note));
  }
}

void ApplyMixTable(const ConvertContext& context, uint32_t track, const MixTableChange* mix) {
  // Tempo 0 or below (other than -1, no change) has no meaning: no event.
  if (mix->tempo > 0) AddTempoChange(context, static_cast<uint32_t>(mix->tempo));
  MidiTrackChunk* chunk = &context.file->tracks[track + 1];
  const Track* t = &context.song->tracks[track];
  // Any negative instrument byte is 128 or more as a program: only -1 means
  // no change, and the others send nothing either.
  if (mix->instrument >= 0) AddChannelPairProgram(chunk, t, static_cast<uint8_t>(mix->instrument));
  if (mix->volume != -1) {
    AddChannelPairVolume(chunk, t, VolumeToController(static_cast<uint8_t>(mix->volume)));
  }
}

// The last started beat of the cell, or null before the first one.
const Beat* LastStartedBeat(const Track* t, const TrackMeasure* cell) {
  if (cell == nullptr || t->nextBeat <= 0) return nullptr;
  uint32_t index = static_cast<uint32_t>(t->nextBeat) - 1;
  return index < cell->beatCount ? &cell->beats[index] : nullptr;
}

}  // namespace

void BeatStep(const ConvertContext& context, uint32_t track, const TrackMeasure* cell) {
  Track* t = &context.song->tracks[track];
  if (t->ticksLeft == 0) {
    NoteTarget target = {};
    bool plays = NoteTargetOf(context, track, &target);
    NoteEvents pending;
    pending.count = 0;
    const Beat* ending = LastStartedBeat(t, cell);
    if (ending != nullptr && plays) CollectNoteOffs(target, ending, &pending);
    uint32_t next = static_cast<uint32_t>(t->nextBeat);
    if (cell != nullptr && t->nextBeat >= 0 && next < cell->beatCount) {
      const Beat* beat = &cell->beats[next];
      t->ticksLeft =
          BeatLength(cell, next, context.ticksPerSixtyFourth, context.song->tripletFeel);
      if ((beat->flags & kBeatMixTable) != 0 && beat->mixTable != nullptr) {
        // Its events come after the note-offs and before the note-ons.
        if (plays) Flush(target, &pending);
        ApplyMixTable(context, track, beat->mixTable);
      }
      if (plays) CollectNoteOns(target, beat, &pending);
      ++t->nextBeat;
    }
    if (plays) Flush(target, &pending);
  }
  --t->ticksLeft;
}

void MeasureClose(const ConvertContext& context, uint32_t track, const TrackMeasure* cell) {
  const Beat* last = LastStartedBeat(&context.song->tracks[track], cell);
  NoteTarget target = {};
  if (last == nullptr || !NoteTargetOf(context, track, &target)) return;
  NoteEvents pending;
  pending.count = 0;
  CollectNoteOffs(target, last, &pending);
  Flush(target, &pending);
}

}  // namespace Tolvenar
