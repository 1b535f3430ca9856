// The classic walk's driver: conductor and track set-up, the measures in
// playing order with time signatures, markers and repeats, and the ends of
// the chunks.
#include <cstdlib>

#include "convert/classic_walk.h"

namespace Tolvenar {
namespace {

struct TimeSignature {
  uint8_t numerator;
  uint8_t denominator;
};

// The last jump back from an end-repeat, to recognise a repeat whose passes
// append nothing (see SkipSilentRepeats).
struct LastJump {
  uint32_t from;  // UINT32_MAX before the first jump
  uint32_t to;
  uint64_t outputBytes;
  uint64_t elapsedTicks;
};

struct SongWalk {
  ClassicWalk walk;
  TimeSignature signature;
  uint64_t elapsedTicks;  // every chunk has advanced this far
  LastJump lastJump;
};

void StartConductor(const ClassicWalk& walk) {
  ChunkWriter* conductor = &walk.writers[0];
  uint32_t tempo = static_cast<uint32_t>(walk.song->tempo);
  // Tempo 0 would divide by zero: start at the MIDI default instead.
  WriteSetTempo(conductor, tempo == 0 ? kDefaultTempoMicroseconds : SetTempoValue(tempo));
  WriteSongText(conductor, kMetaTrackName, walk.song->info.title);
}

void SetUpTrack(const ClassicWalk& walk, uint32_t index) {
  const Track* track = &walk.song->tracks[index];
  ChunkWriter* writer = &walk.writers[index + 1];
  WriteSongText(writer, kMetaTrackName, track->name);
  const MidiChannel* entry = TrackChannelEntry(walk.song, track);
  if (entry == nullptr) return;
  ChannelPair pair = TrackChannelPair(track);
  uint8_t program = static_cast<uint8_t>(entry->instrument & 0xFF);
  if (program < kProgramLimit) {
    for (uint32_t i = 0; i < pair.count; ++i) WriteProgramChange(writer, pair.channels[i], program);
  }
  uint8_t volume = VolumeToController(entry->volume);
  for (uint32_t i = 0; i < pair.count; ++i) {
    WriteController(writer, pair.channels[i], kMidiControllerChannelVolume, volume);
  }
}

void UpdateTimeSignature(const ClassicWalk& walk, const MeasureHeader* header,
                         TimeSignature* signature) {
  bool hasNumerator = (header->flags & kMeasureNumerator) != 0;
  bool hasDenominator = (header->flags & kMeasureDenominator) != 0;
  bool changed = (hasNumerator && header->keyNumerator != signature->numerator) ||
                 (hasDenominator && header->keyDenominator != signature->denominator);
  if (hasNumerator) signature->numerator = header->keyNumerator;
  if (hasDenominator) signature->denominator = header->keyDenominator;
  if (!changed) return;
  uint8_t denominator = EffectiveDenominator(signature->denominator);
  WriteTimeSignature(&walk.writers[0], signature->numerator, DenominatorPower(denominator),
                     ClocksPerClick(denominator), kThirtySecondsPerQuarter);
}

// Walks one measure; returns the index of the measure to walk next.
uint32_t WalkMeasure(SongWalk* state, uint32_t measure) {
  ClassicWalk* walk = &state->walk;
  const FileStruct* song = walk->song;
  const MeasureHeader* header = &song->measureHeaders[measure];
  UpdateTimeSignature(*walk, header, &state->signature);
  uint32_t ticks = MeasureSixtyFourths(state->signature.numerator, state->signature.denominator) *
                   walk->ticksPerSixtyFourth;
  state->elapsedTicks += ticks;
  if ((header->flags & kMeasureMarker) != 0 && header->marker != nullptr) {
    WriteSongText(&walk->writers[0], kMetaMarker, header->marker->text);
  }
  if (ticks != 0) {
    WalkMeasureTracks(walk, measure, ticks);
  } else {
    for (uint32_t track = 0; track < song->trackCount; ++track) walk->cursors[track] = {0, 0};
  }
  if ((header->flags & kMeasureEndRepeat) == 0 || walk->repeatPasses[measure] >= header->repeatCount) {
    return measure + 1;
  }
  ++walk->repeatPasses[measure];
  return RepeatStart(song, measure);
}

uint64_t ChunkBytes(const ClassicWalk& walk) {
  uint64_t total = 0;
  for (uint32_t chunk = 0; chunk <= walk.song->trackCount; ++chunk) total += walk.writers[chunk].length;
  return total;
}

// Called after every jump back from the end-repeat at measure `from`. When
// the pass since the previous jump from there walked the same measures and
// appended nothing, every pass still to come is the same silence: nothing
// in it changes the time signature, the repeats inside are used up, and the
// track cursors restart at each measure. Those passes are then counted in
// one step instead of walked, so a small song of many repeats of empty
// measures cannot keep the walk busy for minutes. Returns the measure to
// walk next.
uint32_t SkipSilentRepeats(SongWalk* state, uint32_t from, uint32_t to) {
  ClassicWalk* walk = &state->walk;
  LastJump* last = &state->lastJump;
  uint64_t output = ChunkBytes(*walk);
  if (last->from != from || last->to != to || last->outputBytes != output) {
    *last = {from, to, output, state->elapsedTicks};
    return to;
  }
  uint64_t passTicks = state->elapsedTicks - last->elapsedTicks;
  uint8_t repeatCount = walk->song->measureHeaders[from].repeatCount;
  uint64_t passesLeft = uint64_t{repeatCount} - walk->repeatPasses[from] + 1;
  // pendingDelta counts modulo 2^32, as tick-by-tick increments would.
  uint32_t skipped = static_cast<uint32_t>(passTicks * passesLeft);
  for (uint32_t chunk = 0; chunk <= walk->song->trackCount; ++chunk) {
    walk->writers[chunk].pendingDelta += skipped;
  }
  state->elapsedTicks += passTicks * passesLeft;
  walk->repeatPasses[from] = repeatCount;
  last->from = UINT32_MAX;
  return from + 1;
}

// The scratch of one conversion in one block: a writer per chunk, a note
// plan and a cursor per track, a repeat counter per measure. Null when its
// size does not fit in memory or it cannot be allocated.
void* AllocateScratch(const FileStruct* song, uint32_t measureCount, ClassicWalk* walk) {
  uint64_t tracks = song->trackCount;
  uint64_t writerBytes = (tracks + 1) * sizeof(ChunkWriter);
  uint64_t planBytes = tracks * sizeof(NotePlan);
  uint64_t cursorBytes = tracks * sizeof(TrackCursor);
  uint64_t total = writerBytes + planBytes + cursorBytes + measureCount;
  static_assert(sizeof(ChunkWriter) % alignof(NotePlan) == 0 && sizeof(NotePlan) % alignof(TrackCursor) == 0,
                "each part of the scratch starts aligned");
  if (total > SIZE_MAX) return nullptr;
  uint8_t* block = static_cast<uint8_t*>(malloc(static_cast<size_t>(total)));
  if (block == nullptr) return nullptr;
  walk->writers = reinterpret_cast<ChunkWriter*>(block);
  NotePlan* plans = reinterpret_cast<NotePlan*>(block + writerBytes);
  walk->plans = plans;
  walk->cursors = reinterpret_cast<TrackCursor*>(block + writerBytes + planBytes);
  walk->repeatPasses = block + writerBytes + planBytes + cursorBytes;
  for (uint32_t t = 0; t < song->trackCount; ++t) {
    PlanNotes(&song->tracks[t], &plans[t]);
    walk->cursors[t] = {song->tracks[t].nextBeat, song->tracks[t].ticksLeft};
  }
  // The counters start where the song's stand: 0 outside a conversion.
  for (uint32_t m = 0; m < measureCount; ++m) walk->repeatPasses[m] = song->measureHeaders[m].repeatPass;
  return block;
}

bool AnyEventLost(const ClassicWalk& walk) {
  for (uint32_t chunk = 0; chunk <= walk.song->trackCount; ++chunk) {
    if (walk.writers[chunk].outOfMemory) return true;
  }
  return false;
}

}  // namespace

ConversionStatus WalkClassic(const FileStruct* song, MidiFileStruct* file,
                             uint32_t ticksPerSixtyFourth, uint64_t chunkByteLimit,
                             Track* cursorsInto, bool* eventsLost) {
  *eventsLost = false;
  // Without headers there is nothing to walk.
  uint32_t measureCount = song->measureHeaders != nullptr ? song->measureCount : 0;
  SongWalk state = {};
  ClassicWalk* walk = &state.walk;
  walk->song = song;
  walk->ticksPerSixtyFourth = ticksPerSixtyFourth;
  void* scratch = AllocateScratch(song, measureCount, walk);
  if (scratch == nullptr) return kConversionOutOfMemory;
  bool limited = chunkByteLimit != UINT64_MAX;
  ChunkBudget budget = {chunkByteLimit, 0, false};
  for (uint32_t chunk = 0; chunk <= song->trackCount; ++chunk) {
    OpenChunkWriter(&walk->writers[chunk], &file->tracks[chunk], true, limited ? &budget : nullptr);
  }

  StartConductor(*walk);
  for (uint32_t track = 0; track < song->trackCount; ++track) SetUpTrack(*walk, track);
  state.lastJump.from = UINT32_MAX;
  bool tooLarge = false;
  uint32_t measure = 0;
  while (measure < measureCount && !walk->outOfMemory) {
    uint32_t next = WalkMeasure(&state, measure);
    if (next <= measure) next = SkipSilentRepeats(&state, measure, next);
    measure = next;
    // Stop as soon as the chunks hold more than they may.
    if (limited && (budget.exceeded || ChunkBytes(*walk) > chunkByteLimit)) {
      tooLarge = true;
      break;
    }
  }

  // A chunk whose end of track could not be written (out of memory) is no
  // valid track: no file may be made from it.
  bool closed = true;
  for (uint32_t chunk = 0; chunk <= song->trackCount; ++chunk) {
    ChunkWriter* writer = &walk->writers[chunk];
    if (!tooLarge && !WriteEndOfTrack(writer)) closed = false;
    TrimChunkWriter(writer);
    CloseChunkWriter(writer);
  }
  if (limited && (budget.exceeded || ChunkBytes(*walk) > chunkByteLimit)) tooLarge = true;
  *eventsLost = AnyEventLost(*walk);
  if (cursorsInto != nullptr) {
    for (uint32_t t = 0; t < song->trackCount; ++t) {
      cursorsInto[t].nextBeat = walk->cursors[t].nextBeat;
      cursorsInto[t].ticksLeft = walk->cursors[t].ticksLeft;
    }
  }
  bool scratchFailed = walk->outOfMemory;
  free(walk->tempoChanges);
  free(scratch);
  if (tooLarge) return kConversionTooLarge;
  if (scratchFailed || !closed) return kConversionOutOfMemory;
  return kConversionDone;
}

}  // namespace Tolvenar
