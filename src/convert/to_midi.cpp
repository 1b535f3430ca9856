// The conversion driver: conductor and track set-up, the measure walk with
// time signatures, markers and repeats, the tick loop, and the track ends.
#include <cstdlib>

#include "convert/beat_notes.h"

namespace Tolvenar {
namespace {

constexpr uint8_t kThirtySecondsPerQuarter = 8;
constexpr uint8_t kProgramLimit = 128;
constexpr uint32_t kDefaultTempoMicroseconds = 500000;  // 120 per minute

struct WalkState {
  uint8_t numerator;
  uint8_t denominator;
  uint64_t elapsedTicks;  // every chunk has advanced this far
};

// The last jump back from an end-repeat, to recognise a repeat whose passes
// append nothing (see SkipSilentRepeats).
struct LastJump {
  uint32_t from;  // UINT32_MAX before the first jump
  uint32_t to;
  uint64_t outputBytes;
  uint64_t elapsedTicks;
};

// Null texts go out as empty ones: the event keeps its place in the track.
const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

uint8_t TrailingZeroBits(uint8_t value) {
  uint8_t count = 0;
  while (value != 0 && (value & 1) == 0) {
    value = static_cast<uint8_t>(value >> 1);
    ++count;
  }
  return count;
}

// A denominator of 0 in force (none set yet, or a header storing 0) has no
// meaning: the measure is timed and announced as if it were 4.
uint8_t EffectiveDenominator(const WalkState& state) {
  return state.denominator != 0 ? state.denominator : 4;
}

void StartConductor(const ConvertContext& context) {
  MidiTrackChunk* conductor = &context.file->tracks[0];
  uint32_t tempo = static_cast<uint32_t>(context.song->tempo);
  // Tempo 0 would divide by zero: start at the MIDI default instead.
  if (tempo == 0) {
    AddMetaEventSetTempo(conductor, kDefaultTempoMicroseconds);
  } else {
    AddTempoChange(context, tempo);
  }
  AddMetaEventTrackName(conductor, TextOrEmpty(context.song->info.title));
}

void SetUpTrack(const ConvertContext& context, uint32_t index) {
  const Track* track = &context.song->tracks[index];
  MidiTrackChunk* chunk = &context.file->tracks[index + 1];
  AddMetaEventTrackName(chunk, TextOrEmpty(track->name));
  const MidiChannel* entry = TrackChannelEntry(context.song, track);
  if (entry == nullptr) return;
  uint8_t program = static_cast<uint8_t>(entry->instrument & 0xFF);
  // A program byte of 128 or more is no MIDI program: no program change.
  ChunkRoom* room = RoomOf(context, index + 1);
  if (program < kProgramLimit) AddChannelPairProgram(chunk, room, track, program);
  AddChannelPairVolume(chunk, room, track, VolumeToController(entry->volume));
}

void UpdateTimeSignature(const ConvertContext& context, const MeasureHeader* header,
                         WalkState* state) {
  bool hasNumerator = (header->flags & kMeasureNumerator) != 0;
  bool hasDenominator = (header->flags & kMeasureDenominator) != 0;
  bool changed = (hasNumerator && header->keyNumerator != state->numerator) ||
                 (hasDenominator && header->keyDenominator != state->denominator);
  if (hasNumerator) state->numerator = header->keyNumerator;
  if (hasDenominator) state->denominator = header->keyDenominator;
  if (!changed) return;
  uint8_t denominator = EffectiveDenominator(*state);
  AppendTimeSignature(&context.file->tracks[0], RoomOf(context, 0), state->numerator,
                      TrailingZeroBits(denominator), static_cast<uint8_t>(96 / denominator),
                      kThirtySecondsPerQuarter);
}

uint32_t TicksPerMeasure(const ConvertContext& context, const WalkState& state) {
  // At most 255 x 64 x 255 ticks.
  uint32_t sixtyFourths = state.numerator * 64u / EffectiveDenominator(state);
  return sixtyFourths * context.ticksPerSixtyFourth;
}

// Ticks until the next tick at which a track's beat step has work, counted
// after the step of the current tick: a track acts when its ticksLeft,
// falling by one a tick, reaches 0; a negative one never does again in this
// measure. UINT32_MAX when no track will act.
uint32_t TicksToNextBoundary(const FileStruct* song) {
  uint32_t gap = UINT32_MAX;
  for (uint32_t track = 0; track < song->trackCount; ++track) {
    int32_t left = song->tracks[track].ticksLeft;
    if (left >= 0 && static_cast<uint32_t>(left) < gap) gap = static_cast<uint32_t>(left);
  }
  return gap;
}

// The measure's ticks, but only those where something can happen are
// stepped one by one: the ticks in between, when every beat step would just
// count down, pass for all tracks and chunks at once. The result equals
// stepping every tick, scratch fields included.
void TickLoop(const ConvertContext& context, uint32_t measure, uint32_t ticks) {
  FileStruct* song = context.song;
  MidiFileStruct* file = context.file;
  uint32_t tick = 0;
  while (tick < ticks) {
    bool last = tick == ticks - 1;
    for (uint32_t track = 0; track < song->trackCount; ++track) {
      Track* t = &song->tracks[track];
      // Away from a boundary the beat step only counts down.
      if (t->ticksLeft != 0 && !last) {
        --t->ticksLeft;
      } else {
        const TrackMeasure* cell = MeasureCell(song, measure, track);
        BeatStep(context, track, cell);
        if (last) {
          AdvanceTick(&file->tracks[track + 1]);
          MeasureClose(context, track, cell);
          continue;
        }
      }
      AdvanceTick(&file->tracks[track + 1]);
    }
    AdvanceTick(&file->tracks[0]);
    ++tick;
    if (last) break;
    // Idle ticks up to the next boundary, never past the last tick, whose
    // measure close must be stepped.
    uint32_t idle = ticks - 1 - tick;
    uint32_t gap = TicksToNextBoundary(song);
    if (gap < idle) idle = gap;
    if (idle == 0) continue;
    for (uint32_t track = 0; track < song->trackCount; ++track) {
      // At most one measure of ticks: no int32 overflow.
      song->tracks[track].ticksLeft -= static_cast<int32_t>(idle);
      AdvanceTicks(&file->tracks[track + 1], idle);
    }
    AdvanceTicks(&file->tracks[0], idle);
    tick += idle;
  }
}

constexpr uint32_t kNoTrack = UINT32_MAX;
constexpr uint32_t kSeveralTracks = UINT32_MAX - 1;

// The track whose beats in the measure carry tempo changes, which go to the
// conductor chunk: kNoTrack, or kSeveralTracks when more than one does.
uint32_t TempoTrack(const FileStruct* song, uint32_t measure) {
  uint32_t found = kNoTrack;
  // The row looked up once; a cell without beats has none to look at.
  if (song->measures == nullptr || measure >= song->measureCount) return found;
  const TrackMeasure* row = song->measures[measure];
  if (row == nullptr) return found;
  for (uint32_t track = 0; track < song->trackCount; ++track) {
    const TrackMeasure* cell = &row[track];
    if (cell->beats == nullptr) continue;
    for (uint32_t b = 0; b < cell->beatCount; ++b) {
      const Beat* beat = &cell->beats[b];
      if ((beat->flags & kBeatMixTable) == 0 || beat->mixTable == nullptr ||
          beat->mixTable->tempo <= 0) {
        continue;
      }
      if (found != kNoTrack) return kSeveralTracks;
      found = track;
      break;
    }
  }
  return found;
}

// The measure track by track. When the tempo changes of more than one track
// would interleave on the conductor chunk, the tick loop keeps their order.
void WalkTracks(const ConvertContext& context, uint32_t measure, uint32_t ticks) {
  if (ticks == 0) return;
  uint32_t tempoTrack = TempoTrack(context.song, measure);
  if (tempoTrack == kSeveralTracks) {
    TickLoop(context, measure, ticks);
    return;
  }
  WalkTracksApart(context, measure, ticks, tempoTrack);
}

// Walks one measure; returns the index of the measure to walk next.
uint32_t WalkMeasure(const ConvertContext& context, uint32_t measure, WalkState* state) {
  FileStruct* song = context.song;
  MeasureHeader* header = &song->measureHeaders[measure];
  UpdateTimeSignature(context, header, state);
  uint32_t ticks = TicksPerMeasure(context, *state);
  state->elapsedTicks += ticks;
  if ((header->flags & kMeasureMarker) != 0 && header->marker != nullptr) {
    AppendMarker(&context.file->tracks[0], RoomOf(context, 0), TextOrEmpty(header->marker->text));
  }
  for (uint32_t track = 0; track < song->trackCount; ++track) {
    song->tracks[track].nextBeat = 0;
    song->tracks[track].ticksLeft = 0;
  }
  WalkTracks(context, measure, ticks);
  if ((header->flags & kMeasureEndRepeat) == 0 || header->repeatPass >= header->repeatCount) {
    return measure + 1;
  }
  ++header->repeatPass;
  // Back to the nearest begin-repeat at or before this measure, else to 0.
  for (uint32_t j = measure + 1; j-- > 0;) {
    if ((song->measureHeaders[j].flags & kMeasureBeginRepeat) != 0) return j;
  }
  return 0;
}

uint64_t OutputBytes(const ConvertContext& context) {
  uint64_t total = 0;
  for (uint32_t chunk = 0; chunk <= context.song->trackCount; ++chunk) total += context.file->tracks[chunk].length;
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
uint32_t SkipSilentRepeats(const ConvertContext& context, uint32_t from, uint32_t to, WalkState* state,
                           LastJump* last) {
  MeasureHeader* header = &context.song->measureHeaders[from];
  uint64_t output = OutputBytes(context);
  if (last->from != from || last->to != to || last->outputBytes != output) {
    *last = {from, to, output, state->elapsedTicks};
    return to;
  }
  uint64_t passTicks = state->elapsedTicks - last->elapsedTicks;
  uint64_t passesLeft = uint64_t{header->repeatCount} - header->repeatPass + 1;
  // pendingDelta counts modulo 2^32, as tick-by-tick increments would.
  uint32_t skipped = static_cast<uint32_t>(passTicks * passesLeft);
  for (uint32_t chunk = 0; chunk <= context.song->trackCount; ++chunk) {
    AdvanceTicks(&context.file->tracks[chunk], skipped);
  }
  state->elapsedTicks += passTicks * passesLeft;
  header->repeatPass = header->repeatCount;
  last->from = UINT32_MAX;
  return from + 1;
}

}  // namespace

const TrackMeasure* MeasureCell(const FileStruct* song, uint32_t measure, uint32_t track) {
  if (song->measures == nullptr || measure >= song->measureCount || track >= song->trackCount ||
      song->measures[measure] == nullptr) {
    return nullptr;
  }
  const TrackMeasure* cell = &song->measures[measure][track];
  return cell->beats != nullptr ? cell : nullptr;
}

int ToMidi(FileStruct* song, MidiFileStruct* file, uint32_t resolution) {
  // The record must hold a chunk for the conductor and one per track; when
  // it cannot, nothing is appended and the conversion reports failure.
  if (song == nullptr || file == nullptr || file->tracks == nullptr ||
      static_cast<uint64_t>(file->trackCount) < static_cast<uint64_t>(song->trackCount) + 1 ||
      (song->trackCount != 0 && song->tracks == nullptr)) {
    return 0;
  }
  // Without rooms the chunks grow exactly: slower, same bytes.
  ChunkRoom* rooms = static_cast<ChunkRoom*>(calloc(size_t{song->trackCount} + 1, sizeof(ChunkRoom)));
  ConvertContext context = {song, file, resolution & 0xFF, rooms, nullptr};
  // Without them each measure works out the tracks' plans again.
  NotePlan* plans = song->trackCount != 0
                        ? static_cast<NotePlan*>(calloc(song->trackCount, sizeof(NotePlan)))
                        : nullptr;
  if (plans != nullptr) {
    for (uint32_t track = 0; track < song->trackCount; ++track) PlanNotes(context, track, &plans[track]);
    context.plans = plans;
  }
  StartConductor(context);
  for (uint32_t track = 0; track < song->trackCount; ++track) SetUpTrack(context, track);

  WalkState state = {0, 0, 0};
  LastJump lastJump = {UINT32_MAX, 0, 0, 0};
  // Without headers there is nothing to walk.
  uint32_t measureCount = song->measureHeaders != nullptr ? song->measureCount : 0;
  uint32_t measure = 0;
  while (measure < measureCount) {
    uint32_t next = WalkMeasure(context, measure, &state);
    if (next <= measure) next = SkipSilentRepeats(context, measure, next, &state, &lastJump);
    measure = next;
  }
  for (uint32_t m = 0; m < measureCount; ++m) song->measureHeaders[m].repeatPass = 0;

  // A chunk whose end of track could not be appended (out of memory) is no
  // valid track: report it, so that the caller writes no file from it.
  int closed = 1;
  for (uint32_t chunk = 0; chunk <= song->trackCount; ++chunk) {
    if (!AddMetaEventEndOfTrack(&file->tracks[chunk])) closed = 0;
    // The end of track normally sized the block exactly already.
    if (rooms != nullptr) TrimChunkRoom(&file->tracks[chunk], &rooms[chunk]);
  }
  free(plans);
  free(rooms);
  return closed;
}

}  // namespace Tolvenar
