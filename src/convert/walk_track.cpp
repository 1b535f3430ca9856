// A measure walked track by track, each from beat boundary to beat
// boundary, and the measure's tempo changes put in order on chunk 0.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "convert/classic_walk.h"

namespace Tolvenar {
namespace {

constexpr NoteOffs kNoNoteOffs = {};

// At a boundary: the ending beat's note-offs, then the starting beat's
// note-ons; the starting beat's note-offs are kept in offs for its end.
// When the events cannot be written (no room, or a delta too long) they
// are lost, and the offs are still kept.
inline void StartBeat(const NotePlan& plan, const Beat* beat, const NoteOffs& ending,
                      NoteOffs* offs, ChunkWriter* writer) {
  NoteEventRun run{};  // set by OpenNoteEventRun; zeroed so no path reads it unset
  bool open = OpenNoteEventRun(writer, 2 * kSlotCount, &run);
  if (open) {
    for (uint32_t i = 0; i < ending.count; ++i) {
      PutNoteEvent(&run, plan.offStatus, ending.keys[i], kNoteOffVelocity);
    }
  }
  uint32_t count = 0;
  VisitBeatNotes(
      plan, beat, [&](uint8_t pitch) { offs->keys[count++] = pitch; },
      [&](uint8_t pitch, uint8_t velocity) {
        if (open) PutNoteEvent(&run, plan.onStatus, pitch, velocity);
      });
  offs->count = count;
  if (open) CloseNoteEventRun(writer, run);
}

void EndBeat(const NotePlan& plan, const NoteOffs& offs, ChunkWriter* writer) {
  if (offs.count == 0) return;
  NoteEventRun run{};  // set by OpenNoteEventRun; zeroed so no path reads it unset
  if (!OpenNoteEventRun(writer, kSlotCount, &run)) return;
  for (uint32_t i = 0; i < offs.count; ++i) {
    PutNoteEvent(&run, plan.offStatus, offs.keys[i], kNoteOffVelocity);
  }
  CloseNoteEventRun(writer, run);
}

void HoldTempoChange(ClassicWalk* walk, uint32_t tick, uint32_t track, uint32_t tempo) {
  if (walk->tempoChangeCount == walk->tempoChangeCapacity) {
    // At most a measure's beats of every track: far fewer than fit in memory.
    uint32_t capacity = walk->tempoChangeCapacity != 0 ? 2 * walk->tempoChangeCapacity : 16;
    uint64_t bytes = uint64_t{capacity} * sizeof(TempoChange);
    void* grown = bytes <= SIZE_MAX ? realloc(walk->tempoChanges, static_cast<size_t>(bytes)) : nullptr;
    if (grown == nullptr) {
      walk->outOfMemory = true;
      return;
    }
    walk->tempoChanges = static_cast<TempoChange*>(grown);
    walk->tempoChangeCapacity = capacity;
  }
  walk->tempoChanges[walk->tempoChangeCount++] = {tick, track, SetTempoValue(tempo)};
}

// A beat with a mix-table change: its events come after the note-offs and
// before the note-ons; its tempo is held for chunk 0. Kept out of line,
// away from the usual boundary.
[[gnu::noinline]] void StartMixingBeat(ClassicWalk* walk, uint32_t track, uint32_t tick,
                                       const NotePlan& plan, const Beat* beat,
                                       const NoteOffs& ending, NoteOffs* offs,
                                       ChunkWriter* writer) {
  EndBeat(plan, ending, writer);
  const MixTableChange* mix = beat->mixTable;
  // Tempo 0 or below (other than -1, no change) has no meaning: no event.
  if (mix->tempo > 0) HoldTempoChange(walk, tick, track, static_cast<uint32_t>(mix->tempo));
  ChannelPair pair = TrackChannelPair(&walk->song->tracks[track]);
  // Any negative instrument byte is 128 or more as a program: only -1 means
  // no change, and the others send nothing either.
  if (mix->instrument >= 0) {
    for (uint32_t i = 0; i < pair.count; ++i) {
      WriteProgramChange(writer, pair.channels[i], static_cast<uint8_t>(mix->instrument));
    }
  }
  if (mix->volume != -1) {
    uint8_t value = VolumeToController(static_cast<uint8_t>(mix->volume));
    for (uint32_t i = 0; i < pair.count; ++i) {
      WriteController(writer, pair.channels[i], kMidiControllerChannelVolume, value);
    }
  }
  StartBeat(plan, beat, kNoNoteOffs, offs, writer);
}

// One track through the measure: a boundary wherever a beat ends, the
// ticks in between passed at once. At a boundary the sounding beat's notes
// end and the next beat starts; once the cell has no beat left, or a beat
// of length 0 has started, the track is idle until the bar line, where the
// last started beat's notes end again (the measure close).
void WalkTrack(ClassicWalk* walk, uint32_t track, const TrackMeasure* cell, uint32_t ticks) {
  const NotePlan& plan = walk->plans[track];
  // A copy, so that the bytes written cannot be taken to change its fields.
  ChunkWriter writer = walk->writers[track + 1];
  const Beat* beats = cell != nullptr ? cell->beats : nullptr;
  uint32_t beatCount = cell != nullptr ? cell->beatCount : 0;
  uint32_t perSixtyFourth = walk->ticksPerSixtyFourth;
  Swing swing = ClassicSwing(walk->song);
  NoteOffs offs[2];
  NoteOffs* sounding = &offs[0];  // the last started beat's
  NoteOffs* starting = &offs[1];
  sounding->count = 0;
  uint32_t lastTick = ticks - 1;
  uint32_t at = 0;  // tick of the boundary
  uint32_t chunkAt = 0;
  uint32_t next = 0;
  uint32_t position = 0;  // plain sixty-fourths before beat next, for the triplet feel
  int32_t left = -1;      // ticks the started beat has left after its first
  for (;;) {
    writer.pendingDelta += at - chunkAt;
    chunkAt = at;
    if (next == beatCount) {
      EndBeat(plan, *sounding, &writer);
      left = -1;
      break;
    }
    const Beat* beat = &beats[next];
    uint32_t plain = PlainLength(beat);
    left = BeatLengthAt(beat, plain, position, perSixtyFourth, swing) - 1;
    position += plain;
    if ((beat->flags & kBeatMixTable) != 0 && beat->mixTable != nullptr) {
      StartMixingBeat(walk, track, at, plan, beat, *sounding, starting, &writer);
    } else {
      StartBeat(plan, beat, *sounding, starting, &writer);
    }
    ++next;
    NoteOffs* ended = sounding;
    sounding = starting;
    starting = ended;
    // A negative count never reaches 0 again in this measure, nor one that
    // reaches it only at or after the last tick.
    if (left < 0 || static_cast<uint32_t>(left) >= lastTick - at) break;
    at += static_cast<uint32_t>(left) + 1;
  }
  // The ticks after the last boundary count down, the last one included.
  walk->cursors[track] = {static_cast<int32_t>(next), left - static_cast<int32_t>(lastTick - at)};
  writer.pendingDelta += ticks - chunkAt;
  EndBeat(plan, *sounding, &writer);
  walk->writers[track + 1] = writer;
}

// The measure's tempo changes on chunk 0, each at its tick.
void WriteTempoChanges(ClassicWalk* walk, uint32_t ticks) {
  ChunkWriter* conductor = &walk->writers[0];
  TempoChange* changes = walk->tempoChanges;
  uint32_t count = walk->tempoChangeCount;
  // Tracks are walked in order, each in tick order, so the changes are out
  // of order only when several tracks have some. No two share both tick and
  // track: a track starts at most one beat a tick.
  std::sort(changes, changes + count, [](const TempoChange& a, const TempoChange& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.track < b.track;
  });
  uint32_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    conductor->pendingDelta += changes[i].tick - at;
    at = changes[i].tick;
    WriteSetTempo(conductor, changes[i].microseconds);
  }
  conductor->pendingDelta += ticks - at;
  walk->tempoChangeCount = 0;
}

}  // namespace

void WalkMeasureTracks(ClassicWalk* walk, uint32_t measure, uint32_t ticks) {
  const FileStruct* song = walk->song;
  // The row looked up once, as MeasureCell finds it: a cell without beats is
  // no cell.
  const TrackMeasure* row =
      song->measures != nullptr && measure < song->measureCount ? song->measures[measure] : nullptr;
  for (uint32_t track = 0; track < song->trackCount; ++track) {
    const TrackMeasure* cell = row != nullptr ? &row[track] : nullptr;
    if (cell != nullptr && cell->beats == nullptr) cell = nullptr;
    WalkTrack(walk, track, cell, ticks);
  }
  WriteTempoChanges(walk, ticks);
}

}  // namespace Tolvenar
