// Test-side builder for in-memory songs: a FileStruct with heap-allocated
// parts, as the reader would leave it, so converter tests can state songs
// as tables of measures, tracks and beats.
#ifndef ORLIX_TESTS_SONG_BUILDER_H
#define ORLIX_TESTS_SONG_BUILDER_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "orlix/tolvenar.h"

namespace orlix_test {

inline char* CopyText(const char* text) {
  char* copy = static_cast<char*>(malloc(strlen(text) + 1));
  strcpy(copy, text);
  return copy;
}

// Beat values: durations -2 whole .. 4 sixty-fourth.
enum : int8_t { kWhole = -2, kHalf = -1, kQuarter = 0, kEighth = 1, kSixteenth = 2,
                kThirtySecond = 3, kSixtyFourth = 4 };

struct SlotFret {
  int slot;
  int fret;
};

// A beat with playable notes (type 1) in the given slots, no dynamic.
inline Tolvenar::Beat NoteBeat(int8_t duration, std::initializer_list<SlotFret> notes) {
  Tolvenar::Beat beat = {};
  beat.duration = duration;
  for (const SlotFret& n : notes) {
    beat.strings = static_cast<uint8_t>(beat.strings | (1 << (6 - n.slot)));
    beat.notes[n.slot].flags = 0x20;
    beat.notes[n.slot].type = 1;
    beat.notes[n.slot].fret = static_cast<uint8_t>(n.fret);
  }
  return beat;
}
inline Tolvenar::Beat NoteBeat(int8_t duration) { return NoteBeat(duration, {{0, 0}}); }
inline Tolvenar::Beat StatusBeat(int8_t duration, uint8_t status) {
  Tolvenar::Beat beat = {};
  beat.flags = Tolvenar::kBeatStatus;
  beat.status = status;
  beat.duration = duration;
  return beat;
}
inline Tolvenar::Beat Dotted(Tolvenar::Beat beat) {
  beat.flags |= Tolvenar::kBeatDotted;
  return beat;
}
inline Tolvenar::Beat Tuplet(Tolvenar::Beat beat, int32_t tuplet) {
  beat.flags |= Tolvenar::kBeatTuplet;
  beat.tuplet = tuplet;
  return beat;
}
// Attaches a new mix-table change (the beat's copy in the song owns it).
inline Tolvenar::Beat WithMix(Tolvenar::Beat beat, int instrument, int volume, int32_t tempo) {
  auto* mix = static_cast<Tolvenar::MixTableChange*>(calloc(1, sizeof(Tolvenar::MixTableChange)));
  memset(mix, 0xFF, 7);  // every int8 value "no change"
  mix->instrument = static_cast<int8_t>(instrument);
  mix->volume = static_cast<int8_t>(volume);
  mix->tempo = tempo;
  beat.flags |= Tolvenar::kBeatMixTable;
  beat.mixTable = mix;
  return beat;
}

// measures x tracks, tempo 120, title "Song", measure 0 in 4/4; track t is
// "T<t>" on port 1, channel and effects channel t + 1, six strings tuned
// 64 59 55 50 45 40.
class TestSong {
 public:
  TestSong(uint32_t measureCount, uint32_t trackCount) {
    song.tempo = 120;
    song.info.title = CopyText("Song");
    song.measureCount = measureCount;
    song.trackCount = trackCount;
    song.measureHeaders = static_cast<Tolvenar::MeasureHeader*>(
        calloc(measureCount + 1, sizeof(Tolvenar::MeasureHeader)));
    song.tracks = static_cast<Tolvenar::Track*>(calloc(trackCount + 1, sizeof(Tolvenar::Track)));
    song.measures = static_cast<Tolvenar::TrackMeasure**>(
        calloc(measureCount + 1, sizeof(Tolvenar::TrackMeasure*)));
    for (uint32_t m = 0; m < measureCount; ++m) {
      song.measures[m] = static_cast<Tolvenar::TrackMeasure*>(
          calloc(trackCount + 1, sizeof(Tolvenar::TrackMeasure)));
    }
    if (measureCount > 0) TimeSignature(0, 4, 4);
    static const int32_t kTuning[7] = {64, 59, 55, 50, 45, 40, 0};
    for (uint32_t t = 0; t < trackCount; ++t) {
      Tolvenar::Track& track = song.tracks[t];
      char name[16];
      snprintf(name, sizeof name, "T%u", t);
      track.name = CopyText(name);
      track.stringCount = 6;
      memcpy(track.tuning, kTuning, sizeof kTuning);
      track.midiPort = 1;
      track.midiChannel = static_cast<int32_t>(t % 16 + 1);
      track.effectsMidiChannel = track.midiChannel;
    }
  }
  ~TestSong() { Release(); }
  TestSong(const TestSong&) = delete;
  TestSong& operator=(const TestSong&) = delete;

  Tolvenar::FileStruct* get() { return &song; }
  Tolvenar::MeasureHeader& Header(uint32_t m) { return song.measureHeaders[m]; }
  Tolvenar::Track& Track(uint32_t t) { return song.tracks[t]; }
  Tolvenar::MidiChannel& Entry(int port, int channel) {
    return song.midiChannels[port - 1][channel - 1];
  }

  TestSong& TimeSignature(uint32_t m, int numerator, int denominator) {
    Tolvenar::MeasureHeader& h = song.measureHeaders[m];
    h.flags |= Tolvenar::kMeasureNumerator | Tolvenar::kMeasureDenominator;
    h.keyNumerator = static_cast<uint8_t>(numerator);
    h.keyDenominator = static_cast<uint8_t>(denominator);
    return *this;
  }
  TestSong& Marker(uint32_t m, const char* text) {
    Tolvenar::MeasureHeader& h = song.measureHeaders[m];
    h.flags |= Tolvenar::kMeasureMarker;
    h.marker = static_cast<Tolvenar::MeasureMarker*>(calloc(1, sizeof(Tolvenar::MeasureMarker)));
    h.marker->text = CopyText(text);
    return *this;
  }
  TestSong& BeginRepeat(uint32_t m) {
    song.measureHeaders[m].flags |= Tolvenar::kMeasureBeginRepeat;
    return *this;
  }
  TestSong& EndRepeat(uint32_t m, int count) {
    song.measureHeaders[m].flags |= Tolvenar::kMeasureEndRepeat;
    song.measureHeaders[m].repeatCount = static_cast<uint8_t>(count);
    return *this;
  }
  // Fills the cell of track t in measure m; the song takes over the beats'
  // mix-table changes.
  TestSong& Cell(uint32_t m, uint32_t t, std::initializer_list<Tolvenar::Beat> beats) {
    return Cell(m, t, beats.begin(), beats.size());
  }
  TestSong& Cell(uint32_t m, uint32_t t, const Tolvenar::Beat* beats, size_t count) {
    Tolvenar::TrackMeasure& cell = song.measures[m][t];
    cell.beatCount = static_cast<uint32_t>(count);
    cell.beats = static_cast<Tolvenar::Beat*>(calloc(count + 1, sizeof(Tolvenar::Beat)));
    for (size_t i = 0; i < count; ++i) cell.beats[i] = beats[i];
    return *this;
  }

  Tolvenar::FileStruct song = {};

 private:
  void Release() {
    Tolvenar::FreeFileStruct(&song);
    song = {};
  }
};

}  // namespace orlix_test

#endif
