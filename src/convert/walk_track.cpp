// One track through one measure, from beat boundary to beat boundary: the
// walk the driver uses whenever the tracks' tempo changes cannot interleave.
#include "convert/beat_notes.h"

namespace Tolvenar {

// Works like BeatStep at the boundary ticks (ticksLeft 0) and a plain count
// down in between, with what BeatStep looks up at every boundary worked out
// once: the note plan, the beat's plain position for the triplet feel, and
// the note-offs of the sounding beat, kept from its start.
void WalkTrack(const ConvertContext& context, uint32_t measure, uint32_t track, uint32_t ticks,
               bool feedsConductor, uint32_t* conductorAt) {
  Track* t = &context.song->tracks[track];
  MidiTrackChunk* conductor = &context.file->tracks[0];
  const TrackMeasure* cell = MeasureCell(context.song, measure, track);
  const Beat* beats = cell != nullptr ? cell->beats : nullptr;
  uint32_t beatCount = cell != nullptr ? cell->beatCount : 0;
  uint32_t perSixtyFourth = context.ticksPerSixtyFourth;
  uint8_t tripletFeel = context.song->tripletFeel;
  NotePlan plan;
  PlanNotes(context, track, &plan);
  NoteRunWriter writer;
  OpenNoteRuns(&writer, plan.chunk, plan.room);
  BeatNotes notes[2];
  BeatNotes* sounding = &notes[0];  // the last started beat's
  BeatNotes* starting = &notes[1];
  sounding->offs.count = 0;
  uint32_t lastTick = ticks - 1;
  uint32_t at = 0;  // tick of the boundary
  uint32_t chunkAt = 0;
  uint32_t next = 0;
  uint32_t position = 0;
  int32_t left = -1;  // ticksLeft after the boundary's step
  for (;;) {
    writer.pendingDelta += at - chunkAt;
    chunkAt = at;
    if (feedsConductor) {
      AdvanceTicks(conductor, at - *conductorAt);
      *conductorAt = at;
    }
    if (next == beatCount) {
      // Nothing left to start: the last beat ends, the track falls idle.
      AppendNoteRuns(&writer, sounding->offs, kNoNotes);
      left = -1;
      break;
    }
    const Beat* beat = &beats[next];
    left = BeatLengthAt(beat, position, perSixtyFourth, tripletFeel) - 1;
    position += PlainLength(beat);
    CollectBeatNotes(plan, beat, starting);
    if ((beat->flags & kBeatMixTable) != 0 && beat->mixTable != nullptr) {
      // Its events come after the note-offs and before the note-ons.
      AppendNoteRuns(&writer, sounding->offs, kNoNotes);
      CloseNoteRuns(&writer);
      ApplyMixTable(context, track, beat->mixTable);
      OpenNoteRuns(&writer, plan.chunk, plan.room);
      AppendNoteRuns(&writer, kNoNotes, starting->ons);
    } else {
      AppendNoteRuns(&writer, sounding->offs, starting->ons);
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
  writer.pendingDelta += ticks - chunkAt;
  // The measure close: the last started beat's notes end on the bar line.
  AppendNoteRuns(&writer, sounding->offs, kNoNotes);
  CloseNoteRuns(&writer);
}

}  // namespace Tolvenar
