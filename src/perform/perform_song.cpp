// The performance of a whole song: conductor walk, then each track walked,
// sorted and written, then chunk 0 with the tempo changes the tracks made.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "perform/perform_internal.h"

namespace Tolvenar {
namespace {

constexpr uint32_t kMostChunks = 0xFFFF;

// The ticks a cell's beats take, at most kMaxTick.
uint32_t CellTicks(const PerformContext* context, const TrackMeasure* cell, Swing swing) {
  uint64_t ticks = 0;
  uint32_t position = 0;
  for (uint32_t b = 0; b < cell->beatCount; ++b) {
    ticks += NextBeatTicks(context, &cell->beats[b], &position, swing);
  }
  return ticks > kMaxTick ? static_cast<uint32_t>(kMaxTick) : static_cast<uint32_t>(ticks);
}

// The ticks the beats of each measure take on the track and voice that take
// longest. The rows of both voices are looked up once a measure.
void ComputeContentTicks(PerformContext* context) {
  const FileStruct* song = context->song;
  const SongExtras* extras = context->extras;
  for (uint32_t m = 0; m < song->measureCount; ++m) {
    const TrackMeasure* rows[2] = {
        song->measures != nullptr ? song->measures[m] : nullptr,
        extras != nullptr && extras->secondVoice != nullptr ? extras->secondVoice[m] : nullptr};
    Swing swing = MeasureSwing(context, m);
    uint32_t longest = 0;
    for (const TrackMeasure* row : rows) {
      if (row == nullptr) continue;
      for (uint32_t t = 0; t < song->trackCount; ++t) {
        if (row[t].beats == nullptr) continue;
        uint32_t ticks = CellTicks(context, &row[t], swing);
        if (ticks > longest) longest = ticks;
      }
    }
    context->contentTicks[m] = longest;
  }
}

// The directions as measures, and the limit of a walk that follows them.
// A sign outside the song does nothing.
bool SetUpDirections(PerformContext* context) {
  const FileStruct* song = context->song;
  const SongExtras* extras = context->extras;
  bool any = false;
  for (uint32_t sign = 0; sign < kDirectionCount; ++sign) {
    int32_t measure = extras != nullptr ? extras->directions[sign] : 0;
    bool inside = measure >= 1 && static_cast<uint32_t>(measure) <= song->measureCount;
    context->signs[sign] = inside ? static_cast<uint32_t>(measure) - 1 : kNoMeasure;
    any = any || inside;
  }
  // Version 5 songs (the only ones with directions) never play more than
  // 16 times their measures, whatever their repeats and directions say;
  // versions 3 and 4 keep their walk.
  if (context->version5) context->mostMeasures = uint64_t{16} * song->measureCount;
  if (!any) return true;
  context->lastPasses = static_cast<uint32_t*>(calloc(size_t{song->measureCount} + 1,
                                                      sizeof(uint32_t)));
  if (context->lastPasses == nullptr) return false;
  FindLastPasses(song, context->lastPasses);
  return true;
}

// Time signatures and markers at the times of the walk; sets songEnd and
// keeps the measures played for the tracks.
void WalkConductor(PerformContext* context) {
  const FileStruct* song = context->song;
  MeasureWalk at;
  StartMeasureWalk(context, &at);
  while (context->status == kPerformDone && NextMeasure(context, &at)) {
    if (context->playedCount < context->playedRoom) {
      context->played[context->playedCount++] = {at.measure, at.length};
    }
    const MeasureHeader* header = &song->measureHeaders[at.measure];
    if (at.signatureChanged) {
      AddTimed(context, &context->conductor, at.start, kTimedTimeSignature,
               uint32_t{at.numerator} << 8 | at.denominator);
    }
    if ((header->flags & kMeasureMarker) != 0 && header->marker != nullptr) {
      if (at.measure > kMaxTimedData) {
        context->status = kPerformTooLarge;
        break;
      }
      AddTimed(context, &context->conductor, at.start, kTimedMarker, at.measure);
    }
  }
  context->songEnd = at.tick;
  context->playedAll = context->playedRoom != 0 && at.played == context->playedCount;
}

// Room to keep the walk's measures: four times the song's measures hold
// most songs' repeats. Without it the tracks walk for themselves.
void ReservePlayedMeasures(PerformContext* context) {
  uint64_t room = uint64_t{context->song->measureCount} * 4 + 16;
  if (room > UINT32_MAX || room > SIZE_MAX / sizeof(PerformContext::PlayedMeasure)) return;
  context->played = static_cast<PerformContext::PlayedMeasure*>(
      malloc(static_cast<size_t>(room) * sizeof(PerformContext::PlayedMeasure)));
  if (context->played != nullptr) context->playedRoom = static_cast<uint32_t>(room);
}

bool ValidArguments(const FileStruct* song, const MidiFileStruct* file, uint32_t ticksPerQuarter) {
  if (song == nullptr || file == nullptr || file->tracks == nullptr) return false;
  if (!IsValidTicksPerQuarter(ticksPerQuarter)) return false;
  if (song->trackCount >= kMostChunks || file->trackCount != song->trackCount + 1) return false;
  if (song->measureCount > 0 && song->measureHeaders == nullptr) return false;
  return song->trackCount == 0 || song->tracks != nullptr;
}

void Perform(PerformContext* context) {
  const FileStruct* song = context->song;
  size_t measures = size_t{song->measureCount} + 1;
  context->endingSets = static_cast<uint32_t*>(calloc(measures, sizeof(uint32_t)));
  context->contentTicks = static_cast<uint32_t*>(calloc(measures, sizeof(uint32_t)));
  context->repeatPasses = static_cast<uint8_t*>(calloc(measures, 1));
  if (context->endingSets == nullptr || context->contentTicks == nullptr ||
      context->repeatPasses == nullptr) {
    context->status = kPerformOutOfMemory;
    return;
  }
  if (!SetUpDirections(context)) {
    context->status = kPerformOutOfMemory;
    return;
  }
  const SongExtras* extras = context->extras;
  if (extras != nullptr && extras->measureEndings != nullptr) {
    // The exact sets a version 5 song stores (the numbers' sets otherwise).
    memcpy(context->endingSets, extras->measureEndings, size_t{song->measureCount} * sizeof(uint32_t));
  } else {
    EndingSetsFromNumbers(song, context->endingSets);
  }
  ComputeContentTicks(context);
  ReservePlayedMeasures(context);
  ChunkWriter conductor;
  OpenPerformanceChunk(context, &conductor, 0);
  WriteConductorStart(context, &conductor);
  WalkConductor(context);
  for (uint32_t t = 0; t < song->trackCount && context->status == kPerformDone; ++t) {
    ChunkWriter writer;
    OpenPerformanceChunk(context, &writer, t + 1);
    WriteTrackSetUp(context, &writer, t);
    PerformTrack(context, t);
    WriteTimedEvents(context, &context->events, &writer, false);
    ClosePerformanceChunk(&writer);
  }
  WriteTimedEvents(context, &context->conductor, &conductor, true);
  ClosePerformanceChunk(&conductor);
}

}  // namespace

PerformStatus PerformSongCounted(const FileStruct* song, const SongExtras* extras,
                                 MidiFileStruct* file, uint32_t ticksPerQuarter, uint64_t maxBytes,
                                 PerformCounts* counts) {
  if (counts != nullptr) memset(counts, 0, sizeof *counts);
  if (!ValidArguments(song, file, ticksPerQuarter)) return kPerformBadArgument;
  PerformContext context;
  memset(&context, 0, sizeof context);
  context.song = song;
  context.extras = extras;
  // Only a version 5 song has a second voice.
  context.version5 = extras != nullptr && extras->secondVoice != nullptr;
  context.file = file;
  context.ticksPerQuarter = ticksPerQuarter;
  context.ticksPerSixtyFourth = ticksPerQuarter / 16;
  context.maxBytes = maxBytes;
  context.status = kPerformDone;
  uint64_t headerBytes = uint64_t{kFileHeaderBytes} + uint64_t{kChunkHeaderBytes} * file->trackCount;
  context.fileBytes = headerBytes;
  for (uint32_t i = 0; i < file->trackCount; ++i) context.fileBytes += file->tracks[i].length;
  UpdateLiveLimit(&context);
  // The chunks' blocks together, as the writers count them.
  context.budget.limit = maxBytes > headerBytes ? maxBytes - headerBytes : 0;
  if (context.fileBytes > maxBytes) {
    context.status = kPerformTooLarge;
  } else {
    Perform(&context);
  }
  free(context.endingSets);
  free(context.contentTicks);
  free(context.repeatPasses);
  free(context.lastPasses);
  free(context.played);
  FreeTimedList(&context.events);
  FreeTimedList(&context.conductor);
  if (counts != nullptr) *counts = context.counts;
  return context.status;
}

PerformStatus PerformSong(const FileStruct* song, const SongExtras* extras, MidiFileStruct* file,
                          uint32_t ticksPerQuarter, uint64_t maxBytes) {
  return PerformSongCounted(song, extras, file, ticksPerQuarter, maxBytes, nullptr);
}

PerformStatus PerformSongToBuffer(const FileStruct* song, const SongExtras* extras,
                                  uint32_t ticksPerQuarter, uint64_t maxBytes, uint8_t** buffer,
                                  size_t* size) {
  if (buffer == nullptr || size == nullptr) return kPerformBadArgument;
  *buffer = nullptr;
  *size = 0;
  if (song == nullptr || song->trackCount >= kMostChunks) return kPerformBadArgument;
  MidiFileStruct file;
  if (!InitMidiFileStruct(&file, song->trackCount + 1, ticksPerQuarter)) {
    return kPerformOutOfMemory;
  }
  PerformStatus status = PerformSong(song, extras, &file, ticksPerQuarter, maxBytes);
  if (status == kPerformDone) {
    Byte* bytes = nullptr;
    uint32_t length = CreateMidiBuffer(&file, &bytes);
    if (length == 0) {
      status = kPerformOutOfMemory;
    } else {
      *buffer = bytes;
      *size = length;
    }
  }
  FreeMidiFileStruct(&file);
  return status;
}

}  // namespace Tolvenar
