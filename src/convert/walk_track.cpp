// The measure walked track by track, each from beat boundary to beat
// boundary: the walk the driver uses whenever the tracks' tempo changes
// cannot interleave.
#include "convert/beat_notes.h"

namespace Tolvenar {
namespace {

// What stays the same for every track of the measure.
struct MeasureWalk {
  const ConvertContext* context;
  uint32_t ticks;
  uint32_t perSixtyFourth;
  uint8_t tripletFeel;
  MidiTrackChunk* conductor;
  uint32_t conductorAt;  // the tick chunk 0's delta stands at
};

// The usual boundary, with room for it: the ending beat's note-offs and the
// starting beat's note-ons go straight into the room, as AppendNoteRuns
// would put them, and the starting beat's note-offs are kept for its end.
void StartBeatInRoom(const NotePlan& plan, const Beat* beat, const NoteRun& ending, NoteRun* offs,
                     NoteRunWriter* writer) {
  uint8_t* start = writer->data + writer->length;
  uint8_t* events = start + PutVariableLength(start, writer->pendingDelta);
  uint8_t status = writer->runningStatus;
  uint8_t* out = PutNoteRun(events, ending, &status, false);
  bool follows = out != events;
  uint8_t onStatus = plan.onStatus;
  offs->status = plan.offStatus;
  // Kept in locals: the bytes written through out could be the count.
  uint8_t* off = offs->body;
  uint32_t offCount = 0;
  VisitBeatNotes(
      plan, beat,
      [&](uint8_t pitch) {
        off[0] = pitch;
        off[1] = kNoteOffVelocity;
        off[2] = 0;
        off += 3;
        ++offCount;
      },
      [&](uint8_t pitch, uint8_t velocity) {
        if (follows) *out++ = 0;
        follows = true;
        if (status != onStatus) *out++ = onStatus;
        status = onStatus;
        out[0] = pitch;
        out[1] = velocity;
        out += 2;
      });
  offs->count = static_cast<uint8_t>(offCount);
  // Nothing to send: not even the delta counts.
  if (out == events) return;
  writer->length += static_cast<uint32_t>(out - start);
  writer->pendingDelta = 0;
  writer->runningStatus = status;
}

// Any other boundary: a beat with a mix-table change, a room that must grow
// or a delta too long to write. Kept out of line, away from the usual one.
[[gnu::noinline]] void StartBeatSlowly(const ConvertContext& context, uint32_t track,
                                       const NotePlan& plan, const Beat* beat,
                                       const NoteRun& ending, BeatNotes* starting,
                                       NoteRunWriter* writer) {
  CollectBeatNotes(plan, beat, starting);
  if ((beat->flags & kBeatMixTable) != 0 && beat->mixTable != nullptr) {
    // Its events come after the note-offs and before the note-ons.
    AppendNoteRuns(writer, ending, kNoNotes);
    CloseNoteRuns(writer);
    ApplyMixTable(context, track, beat->mixTable);
    OpenNoteRuns(writer, plan.chunk, plan.room);
    AppendNoteRuns(writer, kNoNotes, starting->ons);
  } else {
    AppendNoteRuns(writer, ending, starting->ons);
  }
}

// One track through the measure: BeatStep at its boundary ticks (ticksLeft
// 0) and a plain count down in between, with what BeatStep looks up at every
// boundary worked out once: the note plan, the beat's plain position for the
// triplet feel, and the note-offs of the sounding beat, kept from its start.
// When feedsConductor, chunk 0's delta is brought to each boundary's tick,
// for the track's tempo changes.
void WalkTrack(MeasureWalk* walk, uint32_t track, const NotePlan& plan, const TrackMeasure* cell,
               bool feedsConductor) {
  Track* t = &walk->context->song->tracks[track];
  const Beat* beats = cell != nullptr ? cell->beats : nullptr;
  uint32_t beatCount = cell != nullptr ? cell->beatCount : 0;
  uint32_t perSixtyFourth = walk->perSixtyFourth;
  uint8_t tripletFeel = walk->tripletFeel;
  NoteRunWriter writer;
  OpenNoteRuns(&writer, plan.chunk, plan.room);
  BeatNotes notes[2];
  BeatNotes* sounding = &notes[0];  // the last started beat's
  BeatNotes* starting = &notes[1];
  sounding->offs.count = 0;
  uint32_t lastTick = walk->ticks - 1;
  uint32_t at = 0;  // tick of the boundary
  uint32_t chunkAt = 0;
  uint32_t next = 0;
  uint32_t position = 0;
  int32_t left = -1;  // ticksLeft after the boundary's step
  for (;;) {
    writer.pendingDelta += at - chunkAt;
    chunkAt = at;
    if (feedsConductor) {
      AdvanceTicks(walk->conductor, at - walk->conductorAt);
      walk->conductorAt = at;
    }
    if (next == beatCount) {
      // Nothing left to start: the last beat ends, the track falls idle.
      AppendNoteRuns(&writer, sounding->offs, kNoNotes);
      left = -1;
      break;
    }
    const Beat* beat = &beats[next];
    uint32_t plain = PlainLength(beat);
    left = BeatLengthAt(beat, plain, position, perSixtyFourth, tripletFeel) - 1;
    position += plain;
    bool mixes = (beat->flags & kBeatMixTable) != 0 && beat->mixTable != nullptr;
    if (!mixes && HasBoundaryRoom(writer)) {
      StartBeatInRoom(plan, beat, sounding->offs, &starting->offs, &writer);
    } else {
      StartBeatSlowly(*walk->context, track, plan, beat, sounding->offs, starting, &writer);
    }
    ++next;
    BeatNotes* ended = sounding;
    sounding = starting;
    starting = ended;
    // A negative count never reaches 0 again in this measure, nor one that
    // reaches it only at or after the last tick.
    if (left < 0 || static_cast<uint32_t>(left) >= lastTick - at) break;
    at += static_cast<uint32_t>(left) + 1;
  }
  // The ticks after the last step count down, the last one included.
  t->nextBeat = static_cast<int32_t>(next);
  t->ticksLeft = left - static_cast<int32_t>(lastTick - at);
  writer.pendingDelta += walk->ticks - chunkAt;
  // The measure close: the last started beat's notes end on the bar line.
  AppendNoteRuns(&writer, sounding->offs, kNoNotes);
  CloseNoteRuns(&writer);
}

}  // namespace

void WalkTracksApart(const ConvertContext& context, uint32_t measure, uint32_t ticks,
                     uint32_t tempoTrack) {
  const FileStruct* song = context.song;
  MeasureWalk walk = {&context, ticks, context.ticksPerSixtyFourth, song->tripletFeel,
                      &context.file->tracks[0], 0};
  // The row as MeasureCell finds it: a cell without beats is no cell.
  const TrackMeasure* row =
      song->measures != nullptr && measure < song->measureCount ? song->measures[measure] : nullptr;
  for (uint32_t track = 0; track < song->trackCount; ++track) {
    const TrackMeasure* cell = row != nullptr ? &row[track] : nullptr;
    if (cell != nullptr && cell->beats == nullptr) cell = nullptr;
    NotePlan own;
    const NotePlan* plan = &own;
    if (context.plans != nullptr) {
      plan = &context.plans[track];
    } else {
      PlanNotes(context, track, &own);
    }
    WalkTrack(&walk, track, *plan, cell, track == tempoTrack);
  }
  AdvanceTicks(walk.conductor, ticks - walk.conductorAt);
}

}  // namespace Tolvenar
