// The converter's walk, which passes idle ticks in one step, against the
// literal tick-by-tick walk: identical chunk bytes, pending deltas, running
// status and scratch fields, on hand-made and on seeded random songs.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/failing_alloc.h"
#include "support/reference_walk.h"
#include "support/song_builder.h"

using namespace Tolvenar;
using namespace orlix_test;

namespace {

struct Outcome {
  int result = 0;
  std::vector<std::vector<uint8_t>> data;
  std::vector<uint32_t> pendingDelta;
  std::vector<uint8_t> runningStatus;
  std::vector<int32_t> scratch;  // nextBeat, ticksLeft per track, then repeatPass
};

using Converter = int (*)(FileStruct*, MidiFileStruct*, uint32_t);

// startDelta preloads every chunk's pending ticks, so that wrapping of the
// 32-bit counter is reachable within a few measures.
Outcome Run(Converter convert, FileStruct* song, uint32_t resolution, uint32_t startDelta) {
  Outcome out;
  MidiFileStruct file;
  if (!InitMidiFileStruct(&file, static_cast<uint16_t>(song->trackCount + 1), 480)) return out;
  for (uint32_t c = 0; c < file.trackCount; ++c) file.tracks[c].pendingDelta = startDelta;
  out.result = convert(song, &file, resolution);
  for (uint32_t c = 0; c < file.trackCount; ++c) {
    const MidiTrackChunk& chunk = file.tracks[c];
    out.data.emplace_back(chunk.data, chunk.data + chunk.length);
    out.pendingDelta.push_back(chunk.pendingDelta);
    out.runningStatus.push_back(chunk.runningStatus);
  }
  for (uint32_t t = 0; t < song->trackCount; ++t) {
    out.scratch.push_back(song->tracks[t].nextBeat);
    out.scratch.push_back(song->tracks[t].ticksLeft);
  }
  for (uint32_t m = 0; m < song->measureCount; ++m) {
    out.scratch.push_back(song->measureHeaders[m].repeatPass);
  }
  FreeMidiFileStruct(&file);
  return out;
}

void ExpectSameAsTickByTick(FileStruct* song, uint32_t resolution, const std::string& label,
                            uint32_t startDelta = 0) {
  Outcome fast = Run(ToMidi, song, resolution, startDelta);
  Outcome reference = Run(ReferenceToMidi, song, resolution, startDelta);
  EXPECT_EQ(reference.result, fast.result) << label;
  ASSERT_EQ(reference.data.size(), fast.data.size()) << label;
  for (size_t c = 0; c < reference.data.size(); ++c) {
    EXPECT_EQ(reference.data[c], fast.data[c]) << label << " chunk " << c;
  }
  EXPECT_EQ(reference.pendingDelta, fast.pendingDelta) << label;
  EXPECT_EQ(reference.runningStatus, fast.runningStatus) << label;
  EXPECT_EQ(reference.scratch, fast.scratch) << label;
}

// Small deterministic generator; modulo keeps the values the same on every
// standard library, unlike the distributions.
struct Dice {
  std::mt19937 engine;
  explicit Dice(uint32_t seed) : engine(seed) {}
  uint32_t Below(uint32_t n) { return engine() % n; }
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  template <typename T, size_t N>
  T Pick(const T (&values)[N]) {
    return values[Below(N)];
  }
};

Beat RandomBeat(Dice& dice) {
  static const int8_t kDurations[] = {-2, -1, 0, 1, 1, 1, 2, 2, 3, 4, -3, 5, 7, -128};
  static const int32_t kTuplets[] = {3, 5, 6, 7, 9, 10, 11, 12, 13, 2, 4, 0, -1, 100};
  static const uint8_t kStatuses[] = {0, 1, 2, 3};
  static const int kInstruments[] = {-1, -1, 0, 25, 127, -56};
  static const int kVolumes[] = {-1, -1, 0, 13, 16, 100};
  static const int32_t kTempos[] = {-1, -1, 60, 120, 0, -5, 2, 400};
  Beat beat = {};
  beat.duration = dice.Pick(kDurations);
  if (dice.Chance(20)) beat.flags |= kBeatDotted;
  if (dice.Chance(25)) beat = Tuplet(beat, dice.Pick(kTuplets));
  if (dice.Chance(25)) {
    beat.flags |= kBeatStatus;
    beat.status = dice.Pick(kStatuses);
  }
  beat.strings = static_cast<uint8_t>(dice.Below(256));
  for (int slot = 0; slot < 7; ++slot) {
    Note& note = beat.notes[slot];
    note.flags = static_cast<uint8_t>((dice.Chance(85) ? 0x20 : 0) | (dice.Chance(30) ? 0x10 : 0));
    note.type = static_cast<uint8_t>(dice.Chance(75) ? 1 : dice.Below(4));
    note.fret = static_cast<uint8_t>(dice.Below(30));
    note.dynamic = static_cast<uint8_t>(dice.Below(10));
  }
  if (dice.Chance(12)) {
    beat = WithMix(beat, dice.Pick(kInstruments), dice.Pick(kVolumes), dice.Pick(kTempos));
    // A flagged beat without its change, and a change whose flag is clear.
    if (dice.Chance(10)) beat.flags = static_cast<uint8_t>(beat.flags & ~kBeatMixTable);
  }
  return beat;
}

// Measures short enough for the tick-by-tick walk, with every sort of time
// signature, including those that give a measure no ticks at all.
void RandomHeader(Dice& dice, TestSong& song, uint32_t m) {
  static const uint8_t kNumerators[] = {4, 4, 3, 2, 6, 7, 1, 0, 12, 5};
  static const uint8_t kDenominators[] = {4, 4, 8, 2, 16, 1, 0, 3, 32, 64, 128, 255};
  MeasureHeader& header = song.Header(m);
  if (m == 0 ? dice.Chance(85) : dice.Chance(25)) {
    header.flags |= kMeasureNumerator;
    header.keyNumerator = dice.Pick(kNumerators);
  }
  if (m == 0 ? dice.Chance(85) : dice.Chance(25)) {
    header.flags |= kMeasureDenominator;
    header.keyDenominator = dice.Pick(kDenominators);
  }
  if (dice.Chance(25)) song.BeginRepeat(m);
  if (dice.Chance(25)) song.EndRepeat(m, static_cast<int>(dice.Below(4)));
  if (dice.Chance(20)) song.Marker(m, "M");
}

void RandomTrack(Dice& dice, TestSong& song, uint32_t t) {
  static const int32_t kStringCounts[] = {6, 6, 7, 4, 0, 8, 1, -1};
  static const int32_t kPorts[] = {1, 1, 2, 4, 0, 5};
  static const int32_t kChannels[] = {1, 2, 10, 16, 0, 17, -3};
  Track& track = song.Track(t);
  track.stringCount = dice.Pick(kStringCounts);
  for (int32_t& pitch : track.tuning) pitch = static_cast<int32_t>(dice.Below(140));
  track.midiPort = dice.Pick(kPorts);
  track.midiChannel = dice.Pick(kChannels);
  track.effectsMidiChannel = dice.Chance(50) ? track.midiChannel : dice.Pick(kChannels);
  track.nextBeat = static_cast<int32_t>(dice.engine());  // stale scratch from before
  track.ticksLeft = static_cast<int32_t>(dice.engine());
}

void FillRandomSong(Dice& dice, TestSong& song) {
  static const uint8_t kFeels[] = {0, 1, 1, 2};
  FileStruct* s = song.get();
  s->tripletFeel = dice.Pick(kFeels);
  for (uint32_t m = 0; m < s->measureCount; ++m) RandomHeader(dice, song, m);
  for (uint32_t t = 0; t < s->trackCount; ++t) RandomTrack(dice, song, t);
  for (auto& port : s->midiChannels) {
    for (MidiChannel& entry : port) {
      entry.instrument = static_cast<int32_t>(dice.Below(300));
      entry.volume = static_cast<uint8_t>(dice.Below(20));
    }
  }
  for (uint32_t m = 0; m < s->measureCount; ++m) {
    for (uint32_t t = 0; t < s->trackCount; ++t) {
      if (dice.Chance(10)) continue;  // no beats array at all
      std::vector<Beat> beats(dice.Below(12));
      for (Beat& beat : beats) beat = RandomBeat(dice);
      song.Cell(m, t, beats.data(), beats.size());
    }
  }
  if (s->measureCount > 1 && dice.Chance(5)) {  // a measure without its row
    uint32_t m = dice.Below(s->measureCount);
    for (uint32_t t = 0; t < s->trackCount; ++t) {
      TrackMeasure& cell = s->measures[m][t];
      if (cell.beats == nullptr) continue;
      for (uint32_t b = 0; b < cell.beatCount; ++b) free(cell.beats[b].mixTable);
      free(cell.beats);
    }
    free(s->measures[m]);
    s->measures[m] = nullptr;
  }
}

TEST(ConvertSkipWalk, RandomSongsMatchTheTickByTickWalk) {
  static const uint32_t kResolutions[] = {30, 30, 1, 2, 15, 255, 0, 256, 286, 7};
  Dice dice(20240611);
  for (int i = 0; i < 400; ++i) {
    TestSong song(1 + dice.Below(6), dice.Below(5));
    FillRandomSong(dice, song);
    uint32_t resolution = dice.Pick(kResolutions);
    std::string label = "song " + std::to_string(i) + " resolution " + std::to_string(resolution);
    ExpectSameAsTickByTick(song.get(), resolution, label);
    if (HasFailure()) return;  // one song's report is enough
  }
}

// Repeats that nest, run out and jump back to the start; the cells mix
// lengths so that the tracks' boundaries interleave.
TEST(ConvertSkipWalk, RepeatsMatchTheTickByTickWalk) {
  TestSong song(5, 3);
  song.BeginRepeat(0).EndRepeat(1, 1).EndRepeat(3, 2).BeginRepeat(2).EndRepeat(2, 2).EndRepeat(4, 1);
  song.TimeSignature(3, 3, 8).Marker(1, "B").Marker(2, "C");
  for (uint32_t m = 0; m < 5; ++m) {
    song.Cell(m, 0, {NoteBeat(kQuarter), Dotted(NoteBeat(kEighth)), NoteBeat(kSixteenth),
                     Tuplet(NoteBeat(kEighth, {{1, 2}}), 3), NoteBeat(kHalf)});
    song.Cell(m, 1, {Tuplet(NoteBeat(kSixteenth), 7), WithMix(StatusBeat(kEighth, 2), 5, 9, 90),
                     NoteBeat(kWhole)});
    if (m != 2) song.Cell(m, 2, {NoteBeat(kSixtyFourth), NoteBeat(kEighth), NoteBeat(kEighth)});
  }
  for (uint32_t resolution : {30u, 1u, 255u}) {
    ExpectSameAsTickByTick(song.get(), resolution, "resolution " + std::to_string(resolution));
  }
}

TEST(ConvertSkipWalk, EdgeCasesMatchTheTickByTickWalk) {
  struct Case {
    const char* name;
    uint32_t resolution;
    int numerator;
    int denominator;
    uint8_t tripletFeel;
  };
  const Case kCases[] = {
      {"zero-length sixty-fourth triplets at resolution 1", 1, 4, 4, 0},
      {"one tick a measure", 1, 1, 64, 0},
      {"no ticks: resolution 256", 256, 4, 4, 0},
      {"no ticks: 1/128", 30, 1, 128, 0},
      {"no ticks: numerator 0", 30, 0, 4, 0},
      {"denominator 0 timed as 4", 30, 3, 0, 1},
      {"swing at resolution 15", 15, 4, 4, 1},
      {"longest measure", 255, 255, 1, 1},
  };
  for (const Case& k : kCases) {
    TestSong song(2, 2);
    song.get()->tripletFeel = k.tripletFeel;
    song.TimeSignature(0, k.numerator, k.denominator);
    for (uint32_t m = 0; m < 2; ++m) {
      song.Cell(m, 0, {Tuplet(NoteBeat(kSixtyFourth), 3), NoteBeat(kEighth), NoteBeat(kEighth),
                       Tuplet(NoteBeat(kSixtyFourth, {{1, 3}}), 13)});
      song.Cell(m, 1, {NoteBeat(kEighth), NoteBeat(kSixteenth), NoteBeat(kEighth),
                       WithMix(NoteBeat(kWhole), 1, 2, 3)});
    }
    ExpectSameAsTickByTick(song.get(), k.resolution, k.name);
  }
}

// Chunks that start near the top of their 32-bit tick counters wrap during
// the walk, as they would tick by tick, whether or not events intervene.
TEST(ConvertSkipWalk, PendingTicksWrapAsTickByTick) {
  TestSong song(3, 2);
  song.Cell(1, 0, {NoteBeat(kWhole)});
  for (uint32_t start : {0xFFFFFFFFu, 0xFFFFF000u, 0xFFFFFB00u}) {
    ExpectSameAsTickByTick(song.get(), 30, "start " + std::to_string(start), start);
  }
}

// Repeats whose passes append nothing are counted rather than walked; the
// result must still be the tick-by-tick one, silent passes next to sounding
// ones, nested, and with the pending ticks wrapping.
TEST(ConvertSkipWalk, SilentRepeatsMatchTheTickByTickWalk) {
  TestSong song(6, 2);
  song.TimeSignature(0, 7, 8).BeginRepeat(0).EndRepeat(0, 20).EndRepeat(1, 30);
  song.BeginRepeat(2).EndRepeat(3, 7).Marker(3, "loud").EndRepeat(4, 3).EndRepeat(5, 2);
  song.Cell(2, 1, {NoteBeat(kQuarter)});  // measure 2 sounds on every pass
  ExpectSameAsTickByTick(song.get(), 30, "mixed");
  ExpectSameAsTickByTick(song.get(), 255, "wrapping", 0xFFFF0000u);

  TestSong empty(3, 0);
  empty.TimeSignature(0, 4, 4).EndRepeat(0, 255).EndRepeat(1, 255).EndRepeat(2, 1);
  ExpectSameAsTickByTick(empty.get(), 30, "no tracks");
}

// A few kilobytes of empty measures, each ending a repeat played 256 times,
// would be walked about 255 x n^2 / 2 times; the conversion finishes at once.
TEST(ConvertSkipWalk, ManySilentRepeatsEnd) {
  const uint32_t kMeasures = 3000;
  TestSong song(kMeasures, 1);
  song.TimeSignature(0, 4, 4);
  for (uint32_t m = 0; m < kMeasures; ++m) song.EndRepeat(m, 255);
  Outcome out = ::Run(ToMidi, song.get(), 30, 0);
  EXPECT_EQ(1, out.result);
  // 255 x 3000 x 3001 / 2 + 3000 passes of 1,920 ticks, modulo 2^32.
  uint64_t measures = 255ull * kMeasures * (kMeasures + 1) / 2 + kMeasures;
  EXPECT_EQ(static_cast<uint32_t>(measures * 1920), out.pendingDelta[0]);
}

// Time signatures, markers, tempos, programs and volumes in every measure:
// the same bytes as the tick-by-tick walk, whose chunks grow exactly, while
// the conversion's own chunks grow with spare room instead of reallocating for
// each of the 3,200 events.
TEST(ConvertSkipWalk, ManyNonNoteEventsGrowTheChunksWithRoom) {
  const uint32_t kMeasures = 400;
  TestSong song(kMeasures, 1);
  for (uint32_t m = 0; m < kMeasures; ++m) {
    song.TimeSignature(m, m % 2 != 0 ? 3 : 4, 4).Marker(m, "M");
    int32_t tempo = 100 + static_cast<int32_t>(m % 2);
    song.Cell(m, 0, {WithMix(NoteBeat(kQuarter), static_cast<int>(m % 2), 8, tempo)});
  }
  ExpectSameAsTickByTick(song.get(), 30, "conductor and mix events");

  MidiFileStruct file;
  ASSERT_EQ(1, InitMidiFileStruct(&file, 2, 480));
  FailAllocationNumber(LONG_MAX);  // counts the calls, refuses none
  EXPECT_EQ(1, ToMidi(song.get(), &file, 30));
  long calls = AllocationCalls();
  FailAllocationNumber(0);
  EXPECT_LT(calls, 60);
  FreeMidiFileStruct(&file);
}

}  // namespace

// Tempo changes reach the conductor chunk from one track or from several
// whose changes interleave in time or share a tick, with a marker and a time
// signature ahead of them.
TEST(ConvertSkipWalk, TempoChangesFromSeveralTracksMatchTheTickByTickWalk) {
  TestSong song(3, 3);
  song.TimeSignature(1, 3, 4).Marker(1, "T").Marker(2, "U");
  for (uint32_t m = 0; m < 3; ++m) {
    song.Cell(m, 0, {WithMix(NoteBeat(kEighth), -1, -1, 100), NoteBeat(kQuarter),
                     WithMix(NoteBeat(kEighth), 3, -1, 110), WithMix(NoteBeat(kQuarter), -1, 4, 120)});
    // Track 1 changes the tempo at the tick where track 0 does.
    song.Cell(m, 1, {WithMix(NoteBeat(kEighth), -1, -1, 150 + static_cast<int32_t>(m))});
    song.Cell(m, 2, {NoteBeat(kSixteenth), WithMix(NoteBeat(kQuarter), -1, -1, m == 1 ? 130 : -1),
                     WithMix(NoteBeat(kEighth), -1, -1, m == 1 ? 140 : 0), NoteBeat(kHalf)});
  }
  for (uint32_t resolution : {30u, 1u}) {
    ExpectSameAsTickByTick(song.get(), resolution, "resolution " + std::to_string(resolution));
  }
}
