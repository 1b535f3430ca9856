// A literal tick-by-tick conversion, kept as the yardstick for the
// converter's walk: every tick of every walked measure calls the beat step
// of every track, so its chunks and scratch fields are what ToMidi must
// reproduce byte for byte. Set-up, time signatures, markers and repeats are
// copied from the driver; the beat step and measure close are the library's.
#ifndef ORLIX_TESTS_REFERENCE_WALK_H
#define ORLIX_TESTS_REFERENCE_WALK_H

#include <cstdint>

#include "convert/convert_internal.h"
#include "orlix/tolvenar.h"

namespace orlix_test {

struct ReferenceTimeSignature {
  uint8_t numerator = 0;
  uint8_t denominator = 0;
};

inline uint8_t ReferenceDenominator(const ReferenceTimeSignature& state) {
  return state.denominator != 0 ? state.denominator : 4;
}

inline void ReferenceMeasure(const Tolvenar::ConvertContext& context, uint32_t measure,
                             ReferenceTimeSignature* state, uint32_t* next) {
  using namespace Tolvenar;
  FileStruct* song = context.song;
  MidiTrackChunk* conductor = &context.file->tracks[0];
  MeasureHeader* header = &song->measureHeaders[measure];
  bool hasNumerator = (header->flags & kMeasureNumerator) != 0;
  bool hasDenominator = (header->flags & kMeasureDenominator) != 0;
  bool changed = (hasNumerator && header->keyNumerator != state->numerator) ||
                 (hasDenominator && header->keyDenominator != state->denominator);
  if (hasNumerator) state->numerator = header->keyNumerator;
  if (hasDenominator) state->denominator = header->keyDenominator;
  uint8_t denominator = ReferenceDenominator(*state);
  if (changed) {
    uint8_t power = 0;
    for (uint8_t d = denominator; (d & 1) == 0; d = static_cast<uint8_t>(d >> 1)) ++power;
    AddMetaEventTimeSignature(conductor, state->numerator, power,
                              static_cast<uint8_t>(96 / denominator), 8);
  }
  uint32_t ticks = state->numerator * 64u / denominator * context.ticksPerSixtyFourth;
  if ((header->flags & kMeasureMarker) != 0 && header->marker != nullptr) {
    const char* text = header->marker->text;
    AddMetaEventMarker(conductor, text != nullptr ? text : "");
  }
  for (uint32_t t = 0; t < song->trackCount; ++t) {
    song->tracks[t].nextBeat = 0;
    song->tracks[t].ticksLeft = 0;
  }
  for (uint32_t tick = 0; tick < ticks; ++tick) {
    for (uint32_t t = 0; t < song->trackCount; ++t) {
      const TrackMeasure* cell = MeasureCell(song, measure, t);
      BeatStep(context, t, cell);
      ++context.file->tracks[t + 1].pendingDelta;
      if (tick == ticks - 1) MeasureClose(context, t, cell);
    }
    ++conductor->pendingDelta;
  }
  *next = measure + 1;
  if ((header->flags & kMeasureEndRepeat) == 0 || header->repeatPass >= header->repeatCount) return;
  ++header->repeatPass;
  *next = 0;
  for (uint32_t j = measure + 1; j-- > 0;) {
    if ((song->measureHeaders[j].flags & kMeasureBeginRepeat) != 0) {
      *next = j;
      return;
    }
  }
}

// Same contract as Tolvenar::ToMidi.
inline int ReferenceToMidi(Tolvenar::FileStruct* song, Tolvenar::MidiFileStruct* file,
                           uint32_t resolution) {
  using namespace Tolvenar;
  if (song == nullptr || file == nullptr || file->tracks == nullptr ||
      static_cast<uint64_t>(file->trackCount) < static_cast<uint64_t>(song->trackCount) + 1 ||
      (song->trackCount != 0 && song->tracks == nullptr)) {
    return 0;
  }
  ConvertContext context = {song, file, resolution & 0xFF, nullptr, nullptr};
  MidiTrackChunk* conductor = &file->tracks[0];
  if (song->tempo == 0) {
    AddMetaEventSetTempo(conductor, 500000);
  } else {
    AddTempoChange(context, static_cast<uint32_t>(song->tempo));
  }
  AddMetaEventTrackName(conductor, song->info.title != nullptr ? song->info.title : "");
  for (uint32_t t = 0; t < song->trackCount; ++t) {
    const Track* track = &song->tracks[t];
    MidiTrackChunk* chunk = &file->tracks[t + 1];
    AddMetaEventTrackName(chunk, track->name != nullptr ? track->name : "");
    const MidiChannel* entry = TrackChannelEntry(song, track);
    if (entry == nullptr) continue;
    uint8_t program = static_cast<uint8_t>(entry->instrument & 0xFF);
    if (program < 128) AddChannelPairProgram(chunk, nullptr, track, program);
    AddChannelPairVolume(chunk, nullptr, track, VolumeToController(entry->volume));
  }
  ReferenceTimeSignature state;
  uint32_t measureCount = song->measureHeaders != nullptr ? song->measureCount : 0;
  uint32_t measure = 0;
  while (measure < measureCount) ReferenceMeasure(context, measure, &state, &measure);
  for (uint32_t m = 0; m < measureCount; ++m) song->measureHeaders[m].repeatPass = 0;
  for (uint32_t c = 0; c <= song->trackCount; ++c) AddMetaEventEndOfTrack(&file->tracks[c]);
  return 1;
}

}  // namespace orlix_test

#endif
