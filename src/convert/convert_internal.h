// Pieces of the song-to-MIDI converter shared by its files: the per-tick
// beat step and measure close, the walk from beat boundary to beat boundary,
// beat lengths, and the tempo, volume and channel rules.
#ifndef ORLIX_CONVERT_INTERNAL_H
#define ORLIX_CONVERT_INTERNAL_H

#include <cstdint>

#include "midi/midi_internal.h"
#include "orlix/tolvenar.h"

namespace Tolvenar {

struct NotePlan;

// What one conversion works on. K is the number of ticks in a sixty-fourth.
// rooms, one per chunk, let note events grow the chunks geometrically; null
// when they could not be allocated, and the chunks then grow exactly. plans,
// one per track, are the tracks' note plans worked out once; null when they
// could not be allocated, and each walk then works out its own.
struct ConvertContext {
  FileStruct* song;
  MidiFileStruct* file;
  uint32_t ticksPerSixtyFourth;
  ChunkRoom* rooms;
  const NotePlan* plans;
};

// The room of chunk `chunk`, or null when the conversion has none.
inline ChunkRoom* RoomOf(const ConvertContext& context, uint32_t chunk) {
  return context.rooms != nullptr ? &context.rooms[chunk] : nullptr;
}

// The largest value a set-tempo event can carry (24 bits).
constexpr uint32_t kMaxSetTempo = 0xFFFFFF;
constexpr uint8_t kNoteOffVelocity = 80;
constexpr uint8_t kDefaultVelocity = 95;

// 60 / tempo x 1,000,000 with both steps rounded to a 64-bit significand,
// truncated; tempo must be at least 1.
uint32_t TempoToMicroseconds(uint32_t tempo);
// Set-tempo on chunk 0 for a tempo of at least 1.
void AddTempoChange(const ConvertContext& context, uint32_t tempo);

// Song volume byte (0..16) to a controller 7 value (0..127).
uint8_t VolumeToController(uint8_t volume);

// 1 when the 1-based number lies in 1..limit.
inline bool IsValidOneBased(int32_t number, int32_t limit) {
  return number >= 1 && number <= limit;
}
// The track's entry of the channel table, or null when its port or main
// channel lies outside the table.
const MidiChannel* TrackChannelEntry(const FileStruct* song, const Track* track);
// Program change / channel volume on the track's main channel and, when it
// differs, its effects channel; a channel outside 1..16 is left out.
void AddChannelPairProgram(MidiTrackChunk* chunk, ChunkRoom* room, const Track* track,
                           uint8_t program);
void AddChannelPairVolume(MidiTrackChunk* chunk, ChunkRoom* room, const Track* track,
                          uint8_t value);

// The cell of one track in one measure, or null when the song lacks it.
const TrackMeasure* MeasureCell(const FileStruct* song, uint32_t measure, uint32_t track);

constexpr int8_t kLongestDuration = -2;  // whole note
constexpr int8_t kShortestDuration = 4;  // sixty-fourth
constexpr int8_t kSwungDuration = 1;

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

// Ticks of beat `index` of the cell: note value, dot, tuplet, triplet feel.
int32_t BeatLength(const TrackMeasure* cell, uint32_t index, uint32_t ticksPerSixtyFourth,
                   uint8_t tripletFeel);
// The same for a beat whose predecessors in the cell have plain lengths
// summing to position (only its value modulo 16 counts, so it may wrap);
// plain is the beat's own PlainLength.
int32_t ShapedBeatLength(const Beat* beat, uint32_t position, uint32_t ticksPerSixtyFourth,
                         uint8_t tripletFeel);
inline int32_t BeatLengthAt(const Beat* beat, uint32_t plain, uint32_t position,
                            uint32_t ticksPerSixtyFourth, uint8_t tripletFeel) {
  // Most beats are neither dotted, tuplets nor swung eighths.
  bool shaped = (beat->flags & (kBeatDotted | kBeatTuplet)) != 0 ||
                (tripletFeel == 1 && beat->duration == kSwungDuration);
  if (shaped) return ShapedBeatLength(beat, position, ticksPerSixtyFourth, tripletFeel);
  // At most 255 x 64 ticks.
  return static_cast<int32_t>(ticksPerSixtyFourth * plain);
}

// Tempo, program and volume of a mix-table change, at the current tick.
void ApplyMixTable(const ConvertContext& context, uint32_t track, const MixTableChange* mix);

// One tick of one track: ends the sounding beat and starts the next.
void BeatStep(const ConvertContext& context, uint32_t track, const TrackMeasure* cell);
// A measure of ticks (at least 1) walked track by track, each from a fresh
// cursor and stepped only at its beat boundaries, measure close included:
// the same events and scratch fields as BeatStep at every tick of every
// track and MeasureClose give, provided only tempoTrack (or none, UINT32_MAX)
// has tempo changes in the measure, so that nothing else reaches chunk 0.
void WalkTracksApart(const ConvertContext& context, uint32_t measure, uint32_t ticks,
                     uint32_t tempoTrack);
// On the bar line: the last started beat's note-offs.
void MeasureClose(const ConvertContext& context, uint32_t track, const TrackMeasure* cell);
// One tick of song time passes for the chunk.
inline void AdvanceTick(MidiTrackChunk* chunk) { ++chunk->pendingDelta; }
// n ticks at once; wraps like n single ticks would.
inline void AdvanceTicks(MidiTrackChunk* chunk, uint32_t n) { chunk->pendingDelta += n; }

}  // namespace Tolvenar

#endif
