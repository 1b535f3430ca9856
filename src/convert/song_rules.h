// The rules by which a song's records become MIDI values, shared by every
// walk over a song: beat lengths, the tempo and volume rules, the channel
// pair and the cell lookup. Free functions over the song records; no walk
// state.
#ifndef ORLIX_CONVERT_SONG_RULES_H
#define ORLIX_CONVERT_SONG_RULES_H

#include <cstdint>

#include "orlix/tolvenar.h"

namespace Tolvenar {

// ---------------------------------------------------------------- beat lengths

constexpr int8_t kLongestDuration = -2;  // whole note
constexpr int8_t kShortestDuration = 4;  // sixty-fourth
constexpr int8_t kSwungDuration = 1;     // the eighth that triplet feel swings

// How a measure swings: the note value whose pairs swing and how a pair
// divides its time.
enum Swing : uint8_t {
  kSwingNone,
  kSwingEighthsClassic,  // the classic conversion: three quarters and a quarter
  kSwingEighths,         // triplet feel as played: two thirds and a third
  kSwingSixteenths,      // the same for pairs of sixteenths
};

// The classic conversion swings eighths when the song-wide byte of the
// records is exactly 1.
inline Swing ClassicSwing(const FileStruct* song) {
  return song->tripletFeel == 1 ? kSwingEighthsClassic : kSwingNone;
}

// Full playback's swing for a triplet-feel value: 1 eighths, 2 sixteenths.
inline Swing TripletFeelSwing(uint8_t tripletFeel) {
  if (tripletFeel == 1) return kSwingEighths;
  return tripletFeel == 2 ? kSwingSixteenths : kSwingNone;
}

// The note value the swing shapes, or a duration no beat has.
inline int SwungDuration(Swing swing) {
  if (swing == kSwingEighthsClassic || swing == kSwingEighths) return kSwungDuration;
  return swing == kSwingSixteenths ? kSwungDuration + 1 : INT32_MIN;
}

// A duration outside -2..4 has no note value: it is clamped into the range
// for both lengths, so a beat never gets a negative or huge shift.
constexpr int ClampDuration(int duration) {
  if (duration < kLongestDuration) return kLongestDuration;
  if (duration > kShortestDuration) return kShortestDuration;
  return duration;
}

// PlainLength by the duration's byte, looked up for every beat of a walk.
struct PlainLengthTable {
  uint8_t byDuration[256];
};

constexpr PlainLengthTable MakePlainLengthTable() {
  PlainLengthTable table = {};
  for (int value = 0; value < 256; ++value) {
    int duration = value < 128 ? value : value - 256;  // the byte as int8_t
    table.byDuration[value] = static_cast<uint8_t>(1u << (4 - ClampDuration(duration)));
  }
  return table;
}

inline constexpr PlainLengthTable kPlainLengths = MakePlainLengthTable();

// 2^(4 - duration) sixty-fourths, ignoring dot, tuplet and triplet feel.
inline uint32_t PlainLength(const Beat* beat) {
  return kPlainLengths.byDuration[static_cast<uint8_t>(beat->duration)];
}

// Ticks of beat `index` of the cell: note value, dot, tuplet, swing.
int32_t BeatLength(const TrackMeasure* cell, uint32_t index, uint32_t ticksPerSixtyFourth,
                   Swing swing);
// The same for a beat whose predecessors in the cell have plain lengths
// summing to position (only its value modulo 16 counts, so it may wrap).
int32_t ShapedBeatLength(const Beat* beat, uint32_t position, uint32_t ticksPerSixtyFourth,
                         Swing swing);
// BeatLength for a walk that carries the position along; plain is the
// beat's own PlainLength.
inline int32_t BeatLengthAt(const Beat* beat, uint32_t plain, uint32_t position,
                            uint32_t ticksPerSixtyFourth, Swing swing) {
  // Most beats are neither dotted, tuplets nor swung eighths.
  bool shaped = (beat->flags & (kBeatDotted | kBeatTuplet)) != 0 ||
                beat->duration == SwungDuration(swing);
  if (shaped) return ShapedBeatLength(beat, position, ticksPerSixtyFourth, swing);
  // At most 255 x 64 ticks.
  return static_cast<int32_t>(ticksPerSixtyFourth * plain);
}

// ---------------------------------------------------------------- measures

// The cell of one track in one measure, or null when the song lacks it or
// it has no beats array.
inline const TrackMeasure* MeasureCell(const FileStruct* song, uint32_t measure, uint32_t track) {
  if (song->measures == nullptr || measure >= song->measureCount || track >= song->trackCount ||
      song->measures[measure] == nullptr) {
    return nullptr;
  }
  const TrackMeasure* cell = &song->measures[measure][track];
  return cell->beats != nullptr ? cell : nullptr;
}

// A denominator of 0 (none set yet, or a header storing 0) has no meaning:
// the measure is timed and announced as if it were 4.
inline uint8_t EffectiveDenominator(uint8_t denominator) { return denominator != 0 ? denominator : 4; }

// Sixty-fourths in a measure of the time signature; at most 255 x 64.
inline uint32_t MeasureSixtyFourths(uint8_t numerator, uint8_t denominator) {
  return numerator * 64u / EffectiveDenominator(denominator);
}

// The time-signature event's denominator: the power of two, as the trailing
// zero bits of the denominator (0 for an odd one).
inline uint8_t DenominatorPower(uint8_t denominator) {
  uint8_t power = 0;
  while (denominator != 0 && (denominator & 1) == 0) {
    denominator = static_cast<uint8_t>(denominator >> 1);
    ++power;
  }
  return power;
}

// The time-signature event's thirty-second notes per quarter.
constexpr uint8_t kThirtySecondsPerQuarter = 8;

// MIDI clocks per metronome click: one click per denominator note.
inline uint8_t ClocksPerClick(uint8_t denominator) {
  return static_cast<uint8_t>(96 / EffectiveDenominator(denominator));
}

// Where an end-repeat at `measure` jumps back to: the nearest begin-repeat
// at or before it, else the first measure.
inline uint32_t RepeatStart(const FileStruct* song, uint32_t measure) {
  for (uint32_t m = measure + 1; m-- > 0;) {
    if ((song->measureHeaders[m].flags & kMeasureBeginRepeat) != 0) return m;
  }
  return 0;
}

// A division the conversions accept: whole sixty-fourths (a multiple of 16)
// up to 255 ticks a sixty-fourth.
inline bool IsValidTicksPerQuarter(uint32_t ticks) { return ticks >= 16 && ticks <= 4080 && ticks % 16 == 0; }

// ---------------------------------------------------------------- tempo

// The largest value a set-tempo event can carry (24 bits).
constexpr uint32_t kMaxSetTempo = 0xFFFFFF;
// What a song without a tempo (0) starts at: 120 per minute.
constexpr uint32_t kDefaultTempoMicroseconds = 500000;

// 60 / tempo x 1,000,000 with both steps rounded to a 64-bit significand,
// truncated; 0 for tempo 0.
uint32_t TempoToMicroseconds(uint32_t tempo);

// The set-tempo value for a tempo of at least 1: tempos 1..3 exceed the
// event's 24 bits and get the slowest tempo it holds rather than a wrapped,
// much faster one.
inline uint32_t SetTempoValue(uint32_t tempo) {
  uint32_t microseconds = TempoToMicroseconds(tempo);
  return microseconds > kMaxSetTempo ? kMaxSetTempo : microseconds;
}

// ---------------------------------------------------------------- channels

constexpr int32_t kPortCount = 4;
constexpr int32_t kChannelCount = 16;

// A program byte of 128 or more is no MIDI program: no program change.
constexpr uint8_t kProgramLimit = 128;

// Song volume byte (0..16) to a controller 7 value (0..127).
uint8_t VolumeToController(uint8_t volume);

// 1 when the 1-based number lies in 1..limit.
inline bool IsValidOneBased(int32_t number, int32_t limit) { return number >= 1 && number <= limit; }

// The track's entry of the channel table, or null when its port or main
// channel lies outside the table.
const MidiChannel* TrackChannelEntry(const FileStruct* song, const Track* track);

// The 0-based channels a track's program and volume events go to: its main
// channel and, when it differs, its effects channel. A channel outside 1..16
// is left out, so no status byte is ever corrupted.
struct ChannelPair {
  uint8_t channels[2];
  uint32_t count;
};
ChannelPair TrackChannelPair(const Track* track);

// ---------------------------------------------------------------- notes

constexpr uint32_t kSlotCount = 7;
constexpr uint8_t kNotePlayable = 0x20;  // type and fret present
constexpr uint8_t kNoteDynamic = 0x10;
constexpr uint8_t kNoteTypeNormal = 1;
constexpr uint8_t kNoteTypeTie = 2;
constexpr uint8_t kNoteTypeDead = 3;
constexpr uint8_t kNoteOffVelocity = 80;
constexpr uint8_t kDefaultVelocity = 95;

// Bit s set when the strings byte marks slot s (bit 6 - s), so that a walk
// visits the marked slots alone, in slot order.
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

// The beat's marked slots among those of slotMask, as bits.
inline uint32_t MarkedSlots(const Beat* beat, uint32_t slotMask) {
  return kSlotTable.bySlot[beat->strings & 0x7F] & slotMask;
}

// The first slot of a nonzero set of slot bits.
inline uint32_t LowestSlot(uint32_t slots) { return static_cast<uint32_t>(__builtin_ctz(slots)); }

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
  return (note->flags & kNoteDynamic) != 0 ? kVelocities.byDynamic[note->dynamic] : kDefaultVelocity;
}

}  // namespace Tolvenar

#endif
