// Beat scheduling: which beat sounds when, beat lengths, velocities, note
// events and mix-table changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/song_rules.h"
#include "support/convert_harness.h"
#include "support/song_builder.h"

using namespace Tolvenar;
using namespace orlix_test;
using Rows = std::vector<std::string>;

namespace {

Rows NoteRows(const Conversion& c) { return RowsOfKind(c.Track(0), {"on", "off"}); }

// Note-on times of track 0, joined by commas.
std::string OnTimes(const Conversion& c) {
  std::string times;
  for (const std::string& row : RowsOfKind(c.Track(0), {"on"})) {
    times += (times.empty() ? "" : ",") + row.substr(0, row.find(' '));
  }
  return times;
}

Beat WithDynamic(Beat beat, int slot, int dynamic) {
  beat.notes[slot].flags |= 0x10;
  beat.notes[slot].dynamic = static_cast<uint8_t>(dynamic);
  return beat;
}

TEST(ConvertBeats, NoteRestAndDynamic) {
  TestSong song(1, 1);
  song.Cell(0, 0, {NoteBeat(kQuarter), StatusBeat(kQuarter, 2),
                   WithDynamic(NoteBeat(kHalf, {{1, 1}}), 1, 7)});
  EXPECT_EQ((Rows{"0 on 0 64 95", "480 off 0 64 80", "960 on 0 60 111", "1920 off 0 60 80"}),
            NoteRows(Convert(song.get())));
}

TEST(ConvertBeats, LastBeatIsTurnedOffAgainOnTheBarLine) {
  TestSong song(1, 1);
  song.Cell(0, 0, {NoteBeat(kQuarter, {{0, 0}}), NoteBeat(kQuarter, {{0, 2}}), NoteBeat(kQuarter, {{0, 4}})});
  EXPECT_EQ((Rows{"0 on 0 64 95", "480 off 0 64 80", "480 on 0 66 95", "960 off 0 66 80",
                  "960 on 0 68 95", "1440 off 0 68 80", "1920 off 0 68 80"}),
            NoteRows(Convert(song.get())));
}

TEST(ConvertBeats, BeatBeyondTheBarLineNeverStarts) {
  TestSong song(1, 1);
  song.Cell(0, 0, {NoteBeat(kQuarter), NoteBeat(kQuarter), NoteBeat(kQuarter), NoteBeat(kQuarter, {{0, 1}}),
                   WithMix(NoteBeat(kQuarter, {{0, 9}}), 5, 5, 60)});
  Conversion c = Convert(song.get());
  Rows notes = NoteRows(c);
  ASSERT_EQ(8u, notes.size());
  EXPECT_EQ("1440 on 0 65 95", notes[6]);
  EXPECT_EQ("1920 off 0 65 80", notes[7]);
  EXPECT_TRUE(RowsOfKind(c.Conductor(), {"tempo"}).size() == 1);
  EXPECT_EQ(1u, RowsOfKind(c.Track(0), {"program"}).size());
}

TEST(ConvertBeats, EmptyCellLeavesTheTrackSilentForTheMeasure) {
  TestSong song(2, 1);
  song.Cell(1, 0, {NoteBeat(kWhole)});
  EXPECT_EQ((Rows{"1920 on 0 64 95", "3840 off 0 64 80"}), NoteRows(Convert(song.get())));
}

TEST(ConvertBeats, RestAndEmptyBeatsApplyTheirMixTableOnly) {
  for (uint8_t status : {0, 2}) {
    TestSong song(1, 1);
    song.Cell(0, 0, {WithMix(StatusBeat(kQuarter, status), 30, -1, -1),
                     WithMix(StatusBeat(kQuarter, status), -1, 16, -1)});
    EXPECT_EQ((Rows{"0 name T0", "0 program 0 0", "0 control 0 7 0", "0 program 0 30",
                    "480 control 0 7 127", "480 end"}),
              Convert(song.get()).Track(0));
  }
}

TEST(ConvertBeats, TiedNoteGetsAnOffButNoOn) {
  TestSong song(1, 1);
  Beat tied = NoteBeat(kQuarter);
  tied.notes[0].type = 2;
  song.Cell(0, 0, {tied});
  EXPECT_EQ((Rows{"480 off 0 64 80", "1920 off 0 64 80"}), NoteRows(Convert(song.get())));
}

TEST(ConvertBeats, NoStringsMeansNoNotesButMixTablesStillApply) {
  TestSong song(1, 1);
  song.Track(0).stringCount = 0;
  song.Cell(0, 0, {WithMix(NoteBeat(kQuarter), 7, -1, -1)});
  Conversion c = Convert(song.get());
  EXPECT_TRUE(NoteRows(c).empty());
  EXPECT_EQ("0 program 0 7", c.Track(0).at(3));
}

TEST(ConvertBeats, TripletFeel) {
  const Beat q = NoteBeat(kQuarter), e = NoteBeat(kEighth), s = NoteBeat(kSixteenth);
  const struct {
    uint8_t feel;
    std::vector<Beat> beats;
    const char* onTimes;
  } kCases[] = {
      {1, {e, e, e, e, e, e, e, e}, "0,360,480,840,960,1320,1440,1800"},
      {1, {q, e, e, q}, "0,480,840,960"},
      {1, {s, e, q}, "0,120,360"},
      {1, {Dotted(q), e, q}, "0,720,1080"},
      {1, {Tuplet(e, 3), q}, "0,160"},
      {1, {Dotted(e), q}, "0,360"},
      {1, {StatusBeat(kEighth, 2), e, q}, "360,480"},
      {2, {e, e, q}, "0,240,480"},
      {0, {e, e, q}, "0,240,480"},
  };
  for (const auto& k : kCases) {
    TestSong song(1, 1);
    song.song.tripletFeel = k.feel;
    TrackMeasure& cell = song.song.measures[0][0];
    cell.beatCount = static_cast<uint32_t>(k.beats.size());
    cell.beats = static_cast<Beat*>(calloc(k.beats.size(), sizeof(Beat)));
    for (size_t i = 0; i < k.beats.size(); ++i) cell.beats[i] = k.beats[i];
    EXPECT_EQ(k.onTimes, OnTimes(Convert(song.get()))) << k.onTimes;
  }
}

TEST(ConvertBeats, TupletLengths) {
  const struct {
    int32_t tuplet;
    int32_t quarter, eighth, sixteenth;
  } kCases[] = {{3, 320, 160, 80},  {5, 384, 192, 96},  {6, 320, 160, 80},  {7, 274, 137, 68},
                {9, 426, 213, 106}, {10, 384, 192, 96}, {11, 349, 174, 87}, {12, 320, 160, 80},
                {13, 295, 147, 73}, {4, 480, 240, 120}, {8, 480, 240, 120}, {2, 480, 240, 120},
                {14, 480, 240, 120}, {-3, 480, 240, 120}};
  for (const auto& k : kCases) {
    TrackMeasure cell = {1, nullptr};
    Beat beat[1];
    const int8_t durations[] = {kQuarter, kEighth, kSixteenth};
    const int32_t expected[] = {k.quarter, k.eighth, k.sixteenth};
    for (int i = 0; i < 3; ++i) {
      beat[0] = Tuplet(NoteBeat(durations[i]), k.tuplet);
      cell.beats = beat;
      EXPECT_EQ(expected[i], BeatLength(&cell, 0, 30, kSwingNone)) << k.tuplet << " " << i;
    }
  }
}

TEST(ConvertBeats, NoteValuesAndDots) {
  const struct {
    Beat beat;
    uint32_t resolution;
    int32_t length;
  } kCases[] = {
      {NoteBeat(kWhole), 30, 1920},     {NoteBeat(kHalf), 30, 960},
      {NoteBeat(kQuarter), 30, 480},    {NoteBeat(kEighth), 30, 240},
      {NoteBeat(kSixteenth), 30, 120},  {NoteBeat(kThirtySecond), 30, 60},
      {NoteBeat(kSixtyFourth), 30, 30}, {Dotted(NoteBeat(kQuarter)), 30, 720},
      {Tuplet(Dotted(NoteBeat(kQuarter)), 3), 30, 480}, {Dotted(NoteBeat(kEighth)), 30, 360},
      {Tuplet(NoteBeat(kSixtyFourth), 3), 1, 0},      {Dotted(NoteBeat(kWhole)), 255, 24480},
      {NoteBeat(kQuarter), 15, 240},
      // Durations without a note value are clamped to whole and sixty-fourth.
      {NoteBeat(-3), 30, 1920}, {NoteBeat(-128), 30, 1920}, {NoteBeat(5), 30, 30},
      {NoteBeat(127), 30, 30},
  };
  for (const auto& k : kCases) {
    Beat beat = k.beat;
    TrackMeasure cell = {1, &beat};
    EXPECT_EQ(k.length, BeatLength(&cell, 0, k.resolution, kSwingNone)) << int(beat.duration);
  }
}

TEST(ConvertBeats, SeptupletsEndFourTicksEarly) {
  TestSong song(1, 1);
  Beat s7 = Tuplet(NoteBeat(kSixteenth), 7);
  song.Cell(0, 0, {s7, s7, s7, s7, s7, s7, s7, NoteBeat(kQuarter)});
  EXPECT_EQ("0,68,136,204,272,340,408,476", OnTimes(Convert(song.get())));
}

TEST(ConvertBeats, ClampedDurationsKeepTheTripletPosition) {
  TestSong song(1, 1);
  song.song.tripletFeel = 1;
  song.Cell(0, 0, {NoteBeat(5), NoteBeat(5), NoteBeat(5), NoteBeat(5), NoteBeat(5), NoteBeat(5),
                   NoteBeat(5), NoteBeat(5), NoteBeat(kEighth), NoteBeat(kQuarter)});
  EXPECT_EQ("0,30,60,90,120,150,180,210,240,360", OnTimes(Convert(song.get())));
}

TEST(ConvertBeats, MixTableOnTheChannelPair) {
  TestSong song(1, 1);
  song.Track(0).effectsMidiChannel = 2;
  song.Cell(0, 0, {NoteBeat(kHalf), WithMix(NoteBeat(kHalf), -1, 16, 60)});
  Conversion c = Convert(song.get());
  EXPECT_EQ((Rows{"0 tempo 500000", "0 name Song", "0 timesig 4 2 24 8", "960 tempo 1000000",
                  "960 end"}),
            c.Conductor());
  EXPECT_EQ((Rows{"0 name T0", "0 program 0 0", "0 program 1 0", "0 control 0 7 0",
                  "0 control 1 7 0", "0 on 0 64 95", "960 off 0 64 80", "960 control 0 7 127",
                  "960 control 1 7 127", "960 on 0 64 95", "1920 off 0 64 80", "1920 end"}),
            c.Track(0));
}

TEST(ConvertBeats, ZeroLengthBeatSoundsUntilTheBarLine) {
  TestSong song(1, 1);
  song.Cell(0, 0, {Tuplet(NoteBeat(kSixtyFourth), 3), NoteBeat(kQuarter, {{1, 0}})});
  EXPECT_EQ((Rows{"0 on 0 64 95", "64 off 0 64 80"}), NoteRows(Convert(song.get(), 1)));
}

TEST(ConvertBeats, TracksKeepTheirOwnChunksAndChannels) {
  TestSong song(1, 2);
  song.Cell(0, 0, {NoteBeat(kWhole)}).Cell(0, 1, {NoteBeat(kHalf, {{1, 0}})});
  Conversion c = Convert(song.get(), 15);
  EXPECT_EQ((Rows{"0 on 0 64 95", "960 off 0 64 80"}), NoteRows(c));
  EXPECT_EQ((Rows{"0 on 1 59 95", "480 off 1 59 80", "960 off 1 59 80"}),
            RowsOfKind(c.Track(1), {"on", "off"}));
}

// Values a MIDI data byte cannot carry are never sent; the conversion ends
// with well-formed chunks.
TEST(ConvertBeats, OutOfRangeNoteAndMixValues) {
  struct Case {
    const char* name;
    Beat beat;
    Rows trackRows;  // after the set-up events
    size_t tempoEvents;
  };
  Beat high = NoteBeat(kWhole, {{0, 70}, {1, 0}});  // 64 + 70 = 134
  Beat wrapped = NoteBeat(kWhole, {{0, 200}});      // (64 + 200) mod 256 = 8
  const Case kCases[] = {
      {"pitch above 127", high, {"0 on 0 59 95", "1920 off 0 59 80", "1920 end"}, 1},
      {"pitch modulo 256", wrapped, {"0 on 0 8 95", "1920 off 0 8 80", "1920 end"}, 1},
      {"dynamic 0", WithDynamic(NoteBeat(kWhole), 0, 0), {"0 on 0 64 95", "1920 off 0 64 80", "1920 end"}, 1},
      {"dynamic 9", WithDynamic(NoteBeat(kWhole), 0, 9), {"0 on 0 64 95", "1920 off 0 64 80", "1920 end"}, 1},
      {"dynamic 8", WithDynamic(NoteBeat(kWhole), 0, 8), {"0 on 0 64 127", "1920 off 0 64 80", "1920 end"}, 1},
      {"dynamic 1", WithDynamic(NoteBeat(kWhole), 0, 1), {"0 on 0 64 15", "1920 off 0 64 80", "1920 end"}, 1},
      {"program -2", WithMix(StatusBeat(kWhole, 2), -2, -1, -1), {"0 end"}, 1},
      {"program -128", WithMix(StatusBeat(kWhole, 2), -128, -1, -1), {"0 end"}, 1},
      {"program 127", WithMix(StatusBeat(kWhole, 2), 127, -1, -1), {"0 program 0 127", "0 end"}, 1},
      {"volume -2", WithMix(StatusBeat(kWhole, 2), -1, -2, -1), {"0 control 0 7 127", "0 end"}, 1},
      {"tempo 0", WithMix(StatusBeat(kWhole, 2), -1, -1, 0), {"0 end"}, 1},
      {"tempo -5", WithMix(StatusBeat(kWhole, 2), -1, -1, -5), {"0 end"}, 1},
      {"tempo 1", WithMix(StatusBeat(kWhole, 2), -1, -1, 1), {"0 end"}, 2},
  };
  for (const Case& k : kCases) {
    TestSong song(1, 1);
    song.Cell(0, 0, {k.beat});
    Conversion c = Convert(song.get());
    EXPECT_EQ(1, c.result) << k.name;
    EXPECT_TRUE(c.WellFormed()) << k.name;
    Rows rows(c.Track(0).begin() + 3, c.Track(0).end());
    EXPECT_EQ(k.trackRows, rows) << k.name;
    EXPECT_EQ(k.tempoEvents, RowsOfKind(c.Conductor(), {"tempo"}).size()) << k.name;
  }
  TestSong song(1, 1);
  song.Cell(0, 0, {WithMix(StatusBeat(kWhole, 2), -1, -1, 1)});
  EXPECT_EQ("0 tempo 16777215", RowsOfKind(Convert(song.get()).Conductor(), {"tempo"}).at(1));
}

TEST(ConvertBeats, StringCountBeyondSevenExaminesSevenSlots) {
  for (int32_t strings : {7, 8, -1}) {
    TestSong song(1, 1);
    song.Track(0).stringCount = strings;
    song.Track(0).tuning[6] = 30;
    song.Cell(0, 0, {NoteBeat(kWhole, {{6, 0}})});
    EXPECT_EQ((Rows{"0 on 0 30 95", "1920 off 0 30 80"}), NoteRows(Convert(song.get()))) << strings;
  }
  TestSong song(1, 1);  // six strings: slot 6 is not examined
  song.Cell(0, 0, {NoteBeat(kWhole, {{6, 0}})});
  EXPECT_TRUE(NoteRows(Convert(song.get())).empty());
}

}  // namespace
