// The per-tick beat step of a track, the measure close on the bar line, and
// the mix-table events of a beat.
#include "convert/beat_notes.h"

namespace Tolvenar {
namespace {

// The last started beat of the cell, or null before the first one.
const Beat* LastStartedBeat(const Track* t, const TrackMeasure* cell) {
  if (cell == nullptr || t->nextBeat <= 0) return nullptr;
  uint32_t index = static_cast<uint32_t>(t->nextBeat) - 1;
  return index < cell->beatCount ? &cell->beats[index] : nullptr;
}

void AppendNoteRunsOnce(const NotePlan& plan, const NoteRun& first, const NoteRun& second) {
  NoteRunWriter writer;
  OpenNoteRuns(&writer, plan.chunk, plan.room);
  AppendNoteRuns(&writer, first, second);
  CloseNoteRuns(&writer);
}

}  // namespace

void ApplyMixTable(const ConvertContext& context, uint32_t track, const MixTableChange* mix) {
  // Tempo 0 or below (other than -1, no change) has no meaning: no event.
  if (mix->tempo > 0) AddTempoChange(context, static_cast<uint32_t>(mix->tempo));
  MidiTrackChunk* chunk = &context.file->tracks[track + 1];
  const Track* t = &context.song->tracks[track];
  // Any negative instrument byte is 128 or more as a program: only -1 means
  // no change, and the others send nothing either.
  ChunkRoom* room = RoomOf(context, track + 1);
  if (mix->instrument >= 0) {
    AddChannelPairProgram(chunk, room, t, static_cast<uint8_t>(mix->instrument));
  }
  if (mix->volume != -1) {
    AddChannelPairVolume(chunk, room, t, VolumeToController(static_cast<uint8_t>(mix->volume)));
  }
}

void BeatStep(const ConvertContext& context, uint32_t track, const TrackMeasure* cell) {
  Track* t = &context.song->tracks[track];
  if (t->ticksLeft == 0) {
    NotePlan plan;
    PlanNotes(context, track, &plan);
    BeatNotes ending = {};
    BeatNotes starting = {};
    const Beat* last = LastStartedBeat(t, cell);
    if (last != nullptr) CollectBeatNotes(plan, last, &ending);
    uint32_t next = static_cast<uint32_t>(t->nextBeat);
    if (cell != nullptr && t->nextBeat >= 0 && next < cell->beatCount) {
      const Beat* beat = &cell->beats[next];
      t->ticksLeft =
          BeatLength(cell, next, context.ticksPerSixtyFourth, context.song->tripletFeel);
      CollectBeatNotes(plan, beat, &starting);
      if ((beat->flags & kBeatMixTable) != 0 && beat->mixTable != nullptr) {
        // Its events come after the note-offs and before the note-ons.
        AppendNoteRunsOnce(plan, ending.offs, kNoNotes);
        ending.offs.count = 0;
        ApplyMixTable(context, track, beat->mixTable);
      }
      ++t->nextBeat;
    }
    AppendNoteRunsOnce(plan, ending.offs, starting.ons);
  }
  --t->ticksLeft;
}

void MeasureClose(const ConvertContext& context, uint32_t track, const TrackMeasure* cell) {
  const Beat* last = LastStartedBeat(&context.song->tracks[track], cell);
  if (last == nullptr) return;
  NotePlan plan;
  PlanNotes(context, track, &plan);
  BeatNotes notes;
  CollectBeatNotes(plan, last, &notes);
  AppendNoteRunsOnce(plan, notes.offs, kNoNotes);
}

}  // namespace Tolvenar
