// Pieces of the performance shared by its files: the timed event lists, the
// order of measures, the per-track walk and the chunk writing.
#ifndef ORLIX_PERFORM_INTERNAL_H
#define ORLIX_PERFORM_INTERNAL_H

#include <cstdint>

// The rules shared with the classic walk, used through these names only:
// TempoToMicroseconds, VolumeToController, IsValidOneBased,
// TrackChannelEntry, TrackChannelPair, MeasureCell, PlainLength,
// BeatLengthAt with its Swing, and the note constants (kSlotCount,
// kNotePlayable, kNoteDynamic, kNoteTypeNormal, kNoteOffVelocity).
#include "convert/song_rules.h"
#include "midi/chunk_writer.h"
#include "orlix/tolvenar.h"
#include "perform/perform.h"
#include "song/song_extras.h"

namespace Tolvenar {

// Kinds of timed events, in the order they take at one tick: a released
// pitch goes before it is struck again, a wheel returns to centre before the
// next note's wheel is set, and settings and wheel come before the note-on
// they shape. The conductor's kinds follow the classic order (time
// signature, marker, tempo changes).
enum TimedKind : uint8_t {
  kTimedNone,  // a note-on taken back because its note came to no length
  kTimedNoteOff,
  kTimedWheelReturn,
  kTimedProgram,
  kTimedControl,
  kTimedWheel,
  kTimedNoteOn,
  kTimedTimeSignature = 1,
  kTimedMarker = 2,
  kTimedTempo = 3,
};

// A timed event in 64 bits: the tick in bits 32..63, the kind in 29..31 and
// the kind's data below (ChannelData for channel events; a tempo's
// microseconds; a time signature's numerator x 256 + denominator; a
// marker's measure), so the events sort as plain integers.
constexpr uint32_t kKindShift = 29;
constexpr uint32_t kMaxTimedData = (1u << kKindShift) - 1;
constexpr uint64_t kMaxTick = UINT32_MAX;

inline uint32_t TimedTick(uint64_t event) { return static_cast<uint32_t>(event >> 32); }
inline uint8_t TimedKindOf(uint64_t event) { return static_cast<uint8_t>((event >> kKindShift) & 7); }
inline uint32_t TimedData(uint64_t event) { return static_cast<uint32_t>(event) & kMaxTimedData; }
inline uint64_t WithTimedKind(uint64_t event, uint8_t kind) {
  return (event & ~(uint64_t{7} << kKindShift)) | uint64_t{kind} << kKindShift;
}

// Channel 0..15, two data bytes 0..127.
inline uint32_t ChannelData(uint8_t channel, uint8_t data1, uint8_t data2) {
  return uint32_t{channel} << 14 | uint32_t{data1} << 7 | data2;
}
inline uint8_t DataChannel(uint32_t data) { return static_cast<uint8_t>(data >> 14 & 15); }
inline uint8_t DataByte1(uint32_t data) { return static_cast<uint8_t>(data >> 7 & 127); }
inline uint8_t DataByte2(uint32_t data) { return static_cast<uint8_t>(data & 127); }
inline uint64_t WithChannel(uint64_t event, uint8_t channel) {
  return (event & ~(uint64_t{15} << 14)) | uint64_t{channel} << 14;
}

// Grown geometrically; scratch is the sort's second buffer.
struct TimedList {
  uint64_t* items;
  uint64_t* scratch;
  uint32_t count;
  uint32_t capacity;
  uint32_t dropped;  // taken-back note-ons, which will not be written
  // AddTimed keeps no count of its own below this many events (see
  // SetFastEnd); 0 sends every event through the checks.
  uint32_t fastEnd;
};

void FreeTimedList(TimedList* list);
// Sorts by tick, then kind, keeping the order of adding among equals.
void SortTimedList(TimedList* list);

// Measures (0-based) of the musical directions, kNoMeasure where a sign is
// unused or points outside the song.
constexpr uint32_t kNoMeasure = UINT32_MAX;

struct PerformContext {
  const FileStruct* song;
  const SongExtras* extras;  // null: the records alone, as a version 4 song
  MidiFileStruct* file;
  uint32_t ticksPerQuarter;
  uint32_t ticksPerSixtyFourth;
  uint64_t maxBytes;
  uint64_t fileBytes;  // the file's header, every chunk header, the chunks' bytes so far
  ChunkBudget budget;  // keeps the chunks' spare room within maxBytes
  uint32_t* endingSets;      // per measure
  uint32_t* contentTicks;    // per measure: the longest track's beats
  uint8_t* repeatPasses;     // per measure: scratch of one walk
  uint32_t* lastPasses;      // per measure: its repeat's last pass; null without directions
  uint32_t signs[kDirectionCount];  // directions, in the file's order
  uint64_t mostMeasures;     // measures a walk may play; 0: no limit
  bool version5;             // notes without a dynamic of their own play forte
  uint64_t songEnd;          // end of the last measure played
  // The measures the conductor walk played, in order, for every track to
  // follow instead of walking again. Room for a few times the song's
  // measures keeps it small; when the walk plays more (repeats), or there
  // is no room at all, each track walks for itself.
  struct PlayedMeasure {
    uint32_t measure;
    uint32_t length;  // its ticks
  };
  PlayedMeasure* played;
  uint32_t playedRoom;
  uint32_t playedCount;
  bool playedAll;            // played holds the whole walk
  TimedList events;          // the track being performed
  TimedList conductor;       // chunk 0, gathered from every track
  uint64_t liveLimit;        // more than this many cannot fit in maxBytes
  PerformCounts counts;
  PerformStatus status;      // the first failure, or kPerformDone
};

// How a measure swings: by its own triplet feel in a version 5 song, by the
// song-wide byte (exactly 1: eighths) in the others. Full playback swings a
// pair two thirds and a third, in every format.
inline Swing MeasureSwing(const PerformContext* context, uint32_t measure) {
  const SongExtras* extras = context->extras;
  if (extras != nullptr && extras->measureTripletFeel != nullptr) {
    return TripletFeelSwing(extras->measureTripletFeel[measure]);
  }
  return TripletFeelSwing(context->song->tripletFeel == 1 ? 1 : 0);
}

// The ticks of a beat that starts `*position` plain sixty-fourths into its
// cell (0 for a length below 1), moving the position past it.
inline uint32_t NextBeatTicks(const PerformContext* context, const Beat* beat, uint32_t* position,
                              Swing swing) {
  uint32_t plain = PlainLength(beat);
  int32_t length = BeatLengthAt(beat, plain, *position, context->ticksPerSixtyFourth, swing);
  *position += plain;
  return length > 0 ? static_cast<uint32_t>(length) : 0;
}

// A voice's cell (voice 0: the records' grid, 1: the second voice), or null
// when the song has none or it has no beats array.
inline const TrackMeasure* VoiceCell(const PerformContext* context, uint32_t voice,
                                     uint32_t measure, uint32_t track) {
  if (voice == 0) return MeasureCell(context->song, measure, track);
  const SongExtras* extras = context->extras;
  if (extras == nullptr || extras->secondVoice == nullptr ||
      measure >= context->song->measureCount || track >= context->song->trackCount ||
      extras->secondVoice[measure] == nullptr) {
    return nullptr;
  }
  const TrackMeasure* cell = &extras->secondVoice[measure][track];
  return cell->beats != nullptr ? cell : nullptr;
}

// AddTimed when the list must grow or a limit may be reached.
uint32_t AddTimedSlowly(PerformContext* context, TimedList* list, uint64_t tick, uint8_t kind,
                        uint32_t data);
// Recomputes liveLimit after the file has grown.
void UpdateLiveLimit(PerformContext* context);

// Appends an event at a tick; returns its index, or UINT32_MAX with
// context->status set when it cannot be kept. Below fastEnd the list has
// room and both lists together stay within liveLimit.
inline uint32_t AddTimed(PerformContext* context, TimedList* list, uint64_t tick, uint8_t kind,
                         uint32_t data) {
  if (list->count < list->fastEnd && tick <= kMaxTick) {
    list->items[list->count] = tick << 32 | uint64_t{kind} << kKindShift | data;
    return list->count++;
  }
  return AddTimedSlowly(context, list, tick, kind, data);
}

// Takes back a note-on whose note came to no length.
inline void DropTimed(TimedList* list, uint32_t index) {
  if (index >= list->count || TimedKindOf(list->items[index]) == kTimedNone) return;
  list->items[index] = WithTimedKind(list->items[index], kTimedNone);
  ++list->dropped;
}

// ------------------------------------------------------------ measure order

// One walk through the measures in playing order.
struct MeasureWalk {
  uint32_t measure;   // the measure being played
  uint64_t start;     // its first tick
  uint32_t length;    // its ticks
  bool signatureChanged;
  uint8_t numerator;  // in force while it plays
  uint8_t denominator;
  // Position of the walk.
  uint32_t next;
  uint32_t pass;
  uint64_t tick;
  uint64_t played;    // measures played so far
  // After a da capo or dal segno: repeats play as on their last pass, and
  // the sign's "al coda", "al double coda" or "al fine" waits (a sign index).
  bool jumped;
  uint32_t awaiting;
  uint32_t actedSigns;  // bit per sign that has acted
};

// Fills lastPasses (measureCount entries): the pass on which the repeat
// holding each measure plays for the last time.
void FindLastPasses(const FileStruct* song, uint32_t* lastPasses);
void StartMeasureWalk(PerformContext* context, MeasureWalk* walk);
// Moves to the next measure played; false at the end of the song, or when
// the song runs past kMaxTick (context->status then says so).
bool NextMeasure(PerformContext* context, MeasureWalk* walk);
// floor(numerator x 64 / denominator) sixty-fourths, a denominator of 0 taken
// as 4.
uint32_t SignatureTicks(const PerformContext* context, uint8_t numerator, uint8_t denominator);

// ------------------------------------------------------------ the tracks

// Performs track t through the whole walk into context->events (its notes,
// wheel and mix-table events) and context->conductor (its tempo changes).
void PerformTrack(PerformContext* context, uint32_t track);

// ------------------------------------------------------------ writing

// Chunk `index` is written through one writer that grows its block with
// spare room, from OpenPerformanceChunk to ClosePerformanceChunk, which
// gives the spare room back and stores the chunk whatever the status.
void OpenPerformanceChunk(PerformContext* context, ChunkWriter* writer, uint32_t index);
void ClosePerformanceChunk(ChunkWriter* writer);
// The chunk's opening events at tick 0: name, program, volume, pan and the
// effect sends on the track's channel pair, and the pitch-bend range.
void WriteTrackSetUp(PerformContext* context, ChunkWriter* writer, uint32_t track);
// Chunk 0's opening events: song tempo and title.
void WriteConductorStart(PerformContext* context, ChunkWriter* writer);
// Sorts the list and writes it into the chunk (0: the conductor), then its
// end of track at songEnd.
void WriteTimedEvents(PerformContext* context, TimedList* list, ChunkWriter* writer,
                      bool conductor);

// Controllers the channel table and mix tables set that the public
// MidiController list leaves out.
constexpr uint8_t kTremoloController = 92;
constexpr uint8_t kPhaserController = 95;

// The pitch wheel at rest.
constexpr uint16_t kWheelCentre = 8192;

// Channel-table value (0..255) x 8, at most 127: pan and the effect sends.
inline uint8_t SendLevel(uint8_t value) {
  uint32_t level = uint32_t{value} * 8;
  return static_cast<uint8_t>(level > 127 ? 127 : level);
}

}  // namespace Tolvenar

#endif
