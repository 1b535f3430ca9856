// A literal tick-by-tick conversion, written from the conversion rules and
// kept as the yardstick for the converter's walk: every tick of every walked
// measure takes the beat step of every track, and every event goes through
// the exported appenders. It uses nothing else of the library, so its
// chunks and scratch fields are what ToMidi must reproduce byte for byte.
// The choices the rules leave open are the library's: tempo 0 starts at
// 500,000; tempos too slow for 24 bits get 0xFFFFFF; a denominator of 0
// counts as 4; channels outside 1..16, programs of 128 or more and pitches
// above 127 send nothing; a dynamic outside 1..8 gets velocity 95; a
// duration outside -2..4 is clamped into it.
#ifndef ORLIX_TESTS_REFERENCE_WALK_H
#define ORLIX_TESTS_REFERENCE_WALK_H

#include <cfloat>
#include <cstdint>
#include <cstring>

#include "orlix/tolvenar.h"

namespace orlix_test {
namespace reference {

using namespace Tolvenar;

// 60 / t x 1,000,000 in extended precision, truncated; the exact quotient
// where long double is no 64-bit significand (it agrees up to tempo 1874).
inline uint32_t TempoRule(uint32_t tempo) {
#if LDBL_MANT_DIG == 64
  volatile long double quotient = 60.0L / static_cast<long double>(tempo);
  volatile long double product = quotient * 1000000.0L;
  return static_cast<uint32_t>(static_cast<int64_t>(product));
#else
  return 60000000u / tempo;
#endif
}

inline uint32_t SetTempo(uint32_t tempo) {
  uint32_t microseconds = TempoRule(tempo);
  return microseconds > 0xFFFFFF ? 0xFFFFFF : microseconds;
}

inline uint8_t VolumeRule(uint8_t volume) {
  uint8_t value = static_cast<uint8_t>(volume * 8);
  return value >= 128 ? 127 : value;
}

inline bool ValidChannel(int32_t channel) { return channel >= 1 && channel <= 16; }

inline void ProgramOnPair(MidiTrackChunk* chunk, const Track* track, uint8_t program) {
  if (ValidChannel(track->midiChannel)) {
    AddEventProgramChange(chunk, static_cast<uint8_t>(track->midiChannel - 1), program);
  }
  if (track->effectsMidiChannel != track->midiChannel && ValidChannel(track->effectsMidiChannel)) {
    AddEventProgramChange(chunk, static_cast<uint8_t>(track->effectsMidiChannel - 1), program);
  }
}

inline void VolumeOnPair(MidiTrackChunk* chunk, const Track* track, uint8_t value) {
  if (ValidChannel(track->midiChannel)) {
    AddEventController(chunk, static_cast<uint8_t>(track->midiChannel - 1),
                       kMidiControllerChannelVolume, value);
  }
  if (track->effectsMidiChannel != track->midiChannel && ValidChannel(track->effectsMidiChannel)) {
    AddEventController(chunk, static_cast<uint8_t>(track->effectsMidiChannel - 1),
                       kMidiControllerChannelVolume, value);
  }
}

inline int Duration(const Beat& beat) {
  return beat.duration < -2 ? -2 : beat.duration > 4 ? 4 : beat.duration;
}

inline int64_t PlainSixtyFourths(const Beat& beat) { return int64_t{1} << (4 - Duration(beat)); }

inline int32_t BeatLength(const TrackMeasure* cell, uint32_t index, uint32_t k, uint8_t feel) {
  const Beat& beat = cell->beats[index];
  int64_t length = k * PlainSixtyFourths(beat);
  bool dotted = (beat.flags & 0x01) != 0;
  bool tuplet = (beat.flags & 0x20) != 0;
  if (dotted) length += length / 2;
  if (tuplet) {
    switch (beat.tuplet) {
      case 3: length = 2 * length / 3; break;
      case 5: case 6: case 7: length = 4 * length / beat.tuplet; break;
      case 9: case 10: case 11: case 12: case 13: length = 8 * length / beat.tuplet; break;
      default: break;
    }
  }
  if (feel == 1 && Duration(beat) == 1 && !dotted && !tuplet) {
    int64_t position = 0;
    for (uint32_t i = 0; i < index; ++i) position += PlainSixtyFourths(cell->beats[i]);
    if (position % 16 == 0) {
      length += length / 2;
    } else if (position % 8 == 0) {
      length /= 2;
    }
  }
  return static_cast<int32_t>(length);
}

inline bool Sounding(const Beat& beat) {
  return (beat.flags & 0x40) == 0 || (beat.status != 0 && beat.status != 2);
}

// The note-offs (on false) or note-ons (on true) of a beat.
inline void BeatNotes(const Track* track, const Beat& beat, MidiTrackChunk* chunk, bool on) {
  if (!ValidChannel(track->midiChannel) || !Sounding(beat)) return;
  uint8_t channel = static_cast<uint8_t>(track->midiChannel - 1);
  uint32_t strings = static_cast<uint32_t>(track->stringCount);
  for (uint32_t slot = 0; slot < strings && slot < 7; ++slot) {
    if ((beat.strings & (1u << (6 - slot))) == 0) continue;
    const Note& note = beat.notes[slot];
    uint8_t pitch = static_cast<uint8_t>(static_cast<uint32_t>(track->tuning[slot]) + note.fret);
    if (pitch > 127) continue;
    if (!on) {
      AddEventNoteOff(chunk, channel, pitch, 80);
    } else if ((note.flags & 0x20) != 0 && note.type == 1) {
      bool valid = (note.flags & 0x10) != 0 && note.dynamic >= 1 && note.dynamic <= 8;
      AddEventNoteOn(chunk, channel, pitch, static_cast<uint8_t>(valid ? note.dynamic * 16 - 1 : 95));
    }
  }
}

inline const TrackMeasure* Cell(const FileStruct* song, uint32_t measure, uint32_t track) {
  if (song->measures == nullptr || song->measures[measure] == nullptr) return nullptr;
  const TrackMeasure* cell = &song->measures[measure][track];
  return cell->beats != nullptr ? cell : nullptr;
}

inline void BeatStep(FileStruct* song, MidiFileStruct* file, uint32_t t, const TrackMeasure* cell,
                     uint32_t k) {
  Track* track = &song->tracks[t];
  MidiTrackChunk* chunk = &file->tracks[t + 1];
  uint32_t beatCount = cell != nullptr ? cell->beatCount : 0;
  if (track->ticksLeft == 0) {
    if (track->nextBeat > 0) BeatNotes(track, cell->beats[track->nextBeat - 1], chunk, false);
    if (static_cast<uint32_t>(track->nextBeat) < beatCount) {
      const Beat& beat = cell->beats[track->nextBeat];
      track->ticksLeft = BeatLength(cell, static_cast<uint32_t>(track->nextBeat), k, song->tripletFeel);
      if ((beat.flags & 0x10) != 0 && beat.mixTable != nullptr) {
        const MixTableChange* mix = beat.mixTable;
        if (mix->tempo > 0) AddMetaEventSetTempo(&file->tracks[0], SetTempo(static_cast<uint32_t>(mix->tempo)));
        if (mix->instrument >= 0) ProgramOnPair(chunk, track, static_cast<uint8_t>(mix->instrument));
        if (mix->volume != -1) VolumeOnPair(chunk, track, VolumeRule(static_cast<uint8_t>(mix->volume)));
      }
      BeatNotes(track, beat, chunk, true);
      ++track->nextBeat;
    }
  }
  --track->ticksLeft;
}

inline void MeasureClose(FileStruct* song, MidiFileStruct* file, uint32_t t, const TrackMeasure* cell) {
  Track* track = &song->tracks[t];
  if (track->nextBeat > 0) BeatNotes(track, cell->beats[track->nextBeat - 1], &file->tracks[t + 1], false);
}

struct TimeSignature {
  uint8_t numerator = 0;
  uint8_t denominator = 0;
};

inline uint32_t WalkMeasure(FileStruct* song, MidiFileStruct* file, uint32_t measure, uint32_t k,
                            TimeSignature* state) {
  MidiTrackChunk* conductor = &file->tracks[0];
  MeasureHeader* header = &song->measureHeaders[measure];
  bool hasNumerator = (header->flags & 0x01) != 0;
  bool hasDenominator = (header->flags & 0x02) != 0;
  bool changed = (hasNumerator && header->keyNumerator != state->numerator) ||
                 (hasDenominator && header->keyDenominator != state->denominator);
  if (hasNumerator) state->numerator = header->keyNumerator;
  if (hasDenominator) state->denominator = header->keyDenominator;
  uint8_t denominator = state->denominator != 0 ? state->denominator : 4;
  if (changed) {
    uint8_t power = 0;
    for (uint8_t d = denominator; (d & 1) == 0; d = static_cast<uint8_t>(d >> 1)) ++power;
    AddMetaEventTimeSignature(conductor, state->numerator, power, static_cast<uint8_t>(96 / denominator), 8);
  }
  uint32_t ticks = state->numerator * 64u / denominator * k;
  if ((header->flags & 0x20) != 0 && header->marker != nullptr) {
    AddMetaEventMarker(conductor, header->marker->text != nullptr ? header->marker->text : "");
  }
  for (uint32_t t = 0; t < song->trackCount; ++t) {
    song->tracks[t].nextBeat = 0;
    song->tracks[t].ticksLeft = 0;
  }
  for (uint32_t tick = 0; tick < ticks; ++tick) {
    for (uint32_t t = 0; t < song->trackCount; ++t) {
      const TrackMeasure* cell = Cell(song, measure, t);
      BeatStep(song, file, t, cell, k);
      ++file->tracks[t + 1].pendingDelta;
      if (tick == ticks - 1) MeasureClose(song, file, t, cell);
    }
    ++conductor->pendingDelta;
  }
  if ((header->flags & 0x08) == 0 || header->repeatPass >= header->repeatCount) return measure + 1;
  ++header->repeatPass;
  for (uint32_t j = measure + 1; j-- > 0;) {
    if ((song->measureHeaders[j].flags & 0x04) != 0) return j;
  }
  return 0;
}

}  // namespace reference

// Same contract as Tolvenar::ToMidi.
inline int ReferenceToMidi(Tolvenar::FileStruct* song, Tolvenar::MidiFileStruct* file,
                           uint32_t resolution) {
  using namespace Tolvenar;
  using namespace reference;
  if (song == nullptr || file == nullptr || file->tracks == nullptr ||
      static_cast<uint64_t>(file->trackCount) < static_cast<uint64_t>(song->trackCount) + 1 ||
      (song->trackCount != 0 && song->tracks == nullptr)) {
    return 0;
  }
  uint32_t k = resolution & 0xFF;
  MidiTrackChunk* conductor = &file->tracks[0];
  uint32_t tempo = static_cast<uint32_t>(song->tempo);
  AddMetaEventSetTempo(conductor, tempo == 0 ? 500000 : SetTempo(tempo));
  AddMetaEventTrackName(conductor, song->info.title != nullptr ? song->info.title : "");
  for (uint32_t t = 0; t < song->trackCount; ++t) {
    const Track* track = &song->tracks[t];
    MidiTrackChunk* chunk = &file->tracks[t + 1];
    AddMetaEventTrackName(chunk, track->name != nullptr ? track->name : "");
    if (track->midiPort < 1 || track->midiPort > 4 || !ValidChannel(track->midiChannel)) continue;
    const MidiChannel& entry = song->midiChannels[track->midiPort - 1][track->midiChannel - 1];
    uint8_t program = static_cast<uint8_t>(entry.instrument & 0xFF);
    if (program < 128) ProgramOnPair(chunk, track, program);
    VolumeOnPair(chunk, track, VolumeRule(entry.volume));
  }
  TimeSignature state;
  uint32_t measureCount = song->measureHeaders != nullptr ? song->measureCount : 0;
  uint32_t measure = 0;
  while (measure < measureCount) measure = WalkMeasure(song, file, measure, k, &state);
  for (uint32_t m = 0; m < measureCount; ++m) song->measureHeaders[m].repeatPass = 0;
  for (uint32_t c = 0; c <= song->trackCount; ++c) AddMetaEventEndOfTrack(&file->tracks[c]);
  return 1;
}

}  // namespace orlix_test

#endif
