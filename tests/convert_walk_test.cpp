// The conversion driver: conductor and track set-up, time signatures,
// measure lengths, markers and the repeat walk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/convert_harness.h"
#include "support/song_builder.h"

using namespace Tolvenar;
using namespace orlix_test;
using Rows = std::vector<std::string>;

namespace {

// Measures named by their markers, in the order the walk passes them.
std::string WalkOrder(const Conversion& c) {
  std::string order;
  for (const std::string& row : RowsOfKind(c.Conductor(), {"marker"})) {
    order += (order.empty() ? "" : ",") + row.substr(row.rfind(' ') + 1);
  }
  return order;
}

void MarkEveryMeasure(TestSong& song) {
  for (uint32_t m = 0; m < song.song.measureCount; ++m) song.Marker(m, std::to_string(m).c_str());
}

TEST(ConvertWalk, NoMeasuresGivesSetUpEventsOnly) {
  TestSong song(0, 1);
  song.Track(0).effectsMidiChannel = 2;
  song.Entry(1, 1).instrument = 25;
  song.Entry(1, 1).volume = 13;
  Conversion c = Convert(song.get());
  EXPECT_EQ(1, c.result);
  EXPECT_EQ((Rows{"0 tempo 500000", "0 name Song", "0 end"}), c.Conductor());
  EXPECT_EQ((Rows{"0 name T0", "0 program 0 25", "0 program 1 25", "0 control 0 7 104",
                  "0 control 1 7 104", "0 end"}),
            c.Track(0));
  song.Track(0).effectsMidiChannel = 1;
  EXPECT_EQ((Rows{"0 name T0", "0 program 0 25", "0 control 0 7 104", "0 end"}),
            Convert(song.get()).Track(0));
}

TEST(ConvertWalk, NoTracksStillWalksTheMeasures) {
  TestSong song(2, 0);
  song.Marker(1, "B");
  Conversion c = Convert(song.get());
  ASSERT_EQ(1u, c.chunks.size());
  EXPECT_EQ((Rows{"0 tempo 500000", "0 name Song", "0 timesig 4 2 24 8", "1920 marker B", "1920 end"}),
            c.Conductor());
}

TEST(ConvertWalk, SongTempoGivesTheFirstEvent) {
  const struct {
    int32_t tempo;
    const char* row;
  } kCases[] = {{120, "0 tempo 500000"}, {90, "0 tempo 666666"}, {1875, "0 tempo 31999"},
                {-1, "0 tempo 0"},
                // No tempo: the MIDI default. Too slow for 24 bits: the slowest.
                {0, "0 tempo 500000"}, {2, "0 tempo 16777215"}, {4, "0 tempo 15000000"}};
  for (const auto& k : kCases) {
    TestSong song(0, 0);
    song.song.tempo = k.tempo;
    EXPECT_EQ(k.row, Convert(song.get()).Conductor().at(0)) << k.tempo;
  }
}

TEST(ConvertWalk, TimeSignaturesOnlyWhenTheyChange) {
  TestSong song(5, 0);
  song.TimeSignature(1, 6, 8).TimeSignature(3, 6, 4);
  song.Header(2).flags = kMeasureDenominator;  // 6/8 -> 6/4
  song.Header(2).keyDenominator = 4;
  EXPECT_EQ((Rows{"0 tempo 500000", "0 name Song", "0 timesig 4 2 24 8", "1920 timesig 6 3 12 8",
                  "3360 timesig 6 2 24 8", "3360 end"}),
            Convert(song.get()).Conductor());
}

TEST(ConvertWalk, TimeSignatureValuesForEachDenominator) {
  const struct {
    int denominator;
    const char* row;
  } kCases[] = {{1, "0 timesig 4 0 96 8"},   {2, "0 timesig 4 1 48 8"},  {3, "0 timesig 4 0 32 8"},
                {4, "0 timesig 4 2 24 8"},   {6, "0 timesig 4 1 16 8"},  {8, "0 timesig 4 3 12 8"},
                {12, "0 timesig 4 2 8 8"},   {16, "0 timesig 4 4 6 8"},  {32, "0 timesig 4 5 3 8"},
                {64, "0 timesig 4 6 1 8"},   {128, "0 timesig 4 7 0 8"}};
  for (const auto& k : kCases) {
    TestSong song(1, 0);
    song.TimeSignature(0, 4, k.denominator);
    EXPECT_EQ(k.row, Convert(song.get()).Conductor().at(2)) << k.denominator;
  }
}

TEST(ConvertWalk, MeasureLengths) {
  const struct {
    int numerator, denominator;
    uint32_t resolution;
    const char* marker;
  } kCases[] = {{4, 4, 30, "1920 marker x"}, {3, 4, 30, "1440 marker x"}, {6, 8, 30, "1440 marker x"},
                {2, 4, 30, "960 marker x"},  {7, 8, 30, "1680 marker x"}, {5, 4, 30, "2400 marker x"},
                {12, 8, 30, "2880 marker x"}, {4, 3, 30, "2550 marker x"}, {4, 4, 1, "64 marker x"},
                {4, 4, 15, "960 marker x"},  {4, 4, 0, "0 marker x"},    {4, 4, 256, "0 marker x"},
                {4, 4, 256 + 30, "1920 marker x"}};
  for (const auto& k : kCases) {
    TestSong song(2, 0);
    song.TimeSignature(0, k.numerator, k.denominator).Marker(1, "x");
    EXPECT_EQ(k.marker, RowsOfKind(Convert(song.get(), k.resolution).Conductor(), {"marker"}).at(0))
        << k.numerator << "/" << k.denominator << " resolution " << k.resolution;
  }
}

TEST(ConvertWalk, ZeroTickMeasuresPlayNothing) {
  for (uint32_t resolution : {0u, 256u}) {
    TestSong song(2, 1);
    song.Cell(0, 0, {NoteBeat(kQuarter)}).Cell(1, 0, {NoteBeat(kQuarter)}).Marker(1, "x");
    Conversion c = Convert(song.get(), resolution);
    EXPECT_EQ((Rows{"0 name T0", "0 program 0 0", "0 control 0 7 0", "0 end"}), c.Track(0));
    EXPECT_EQ("0 marker x", c.Conductor().at(3));
  }
}

TEST(ConvertWalk, RepeatOrders) {
  struct Case {
    const char* order;
    void (*build)(TestSong&);
  };
  const Case kCases[] = {
      {"0,1,2,1,2,3", [](TestSong& s) { s.BeginRepeat(1).EndRepeat(2, 1); }},
      {"0,1,2,1,2,1,2,3", [](TestSong& s) { s.BeginRepeat(1).EndRepeat(2, 2); }},
      {"0,1,2,0,1,2,3", [](TestSong& s) { s.EndRepeat(2, 1); }},
      {"0,1,1,1,2,3", [](TestSong& s) { s.BeginRepeat(1).EndRepeat(1, 2); }},
      {"0,1,0,1,2,3,0,1,2,3", [](TestSong& s) { s.BeginRepeat(0).EndRepeat(1, 1).EndRepeat(3, 1); }},
      {"0,1,2,3", [](TestSong& s) { s.BeginRepeat(1).EndRepeat(2, 0); }},
  };
  for (const Case& k : kCases) {
    TestSong song(4, 1);
    MarkEveryMeasure(song);
    k.build(song);
    Conversion first = Convert(song.get(), 1);
    EXPECT_EQ(k.order, WalkOrder(first));
    for (uint32_t m = 0; m < 4; ++m) EXPECT_EQ(0, song.Header(m).repeatPass) << k.order;
    Conversion second = Convert(song.get(), 1);
    for (size_t i = 0; i < first.chunks.size(); ++i) {
      EXPECT_EQ(first.chunks[i].rows, second.chunks[i].rows) << k.order;
    }
  }
}

TEST(ConvertWalk, TimeSignatureInForceCarriesOverAJump) {
  TestSong song(4, 0);
  song.BeginRepeat(1).TimeSignature(2, 3, 4).EndRepeat(2, 1);
  song.Marker(1, "1").Marker(2, "2").Marker(3, "3");
  EXPECT_EQ((Rows{"0 tempo 500000", "0 name Song", "0 timesig 4 2 24 8", "1920 marker 1",
                  "3840 timesig 3 2 24 8", "3840 marker 2", "5280 marker 1", "6720 marker 2",
                  "8160 marker 3", "8160 end"}),
            Convert(song.get()).Conductor());
}

TEST(ConvertWalk, ChannelTableVolumes) {
  const struct {
    uint8_t volume;
    const char* row;
  } kCases[] = {{16, "0 control 0 7 127"}, {15, "0 control 0 7 120"}, {0, "0 control 0 7 0"},
                {32, "0 control 0 7 0"}};
  for (const auto& k : kCases) {
    TestSong song(0, 1);
    song.Entry(1, 1).volume = k.volume;
    EXPECT_EQ(k.row, Convert(song.get()).Track(0).at(2));
  }
}

// Channels and programs the MIDI stream cannot carry: no event for them,
// and the conversion still ends with well-formed chunks.
TEST(ConvertWalk, OutOfRangeChannelsAndPrograms) {
  const struct {
    int32_t port, channel, effects, instrument;
    Rows rows;
  } kCases[] = {
      {0, 1, 1, 25, {"0 name T0", "0 on 0 64 95", "1920 off 0 64 80", "1920 end"}},
      {5, 1, 2, 25, {"0 name T0", "0 on 0 64 95", "1920 off 0 64 80", "1920 end"}},
      {1, 0, 1, 25, {"0 name T0", "0 end"}},
      {1, 17, 17, 25, {"0 name T0", "0 end"}},
      {1, 1, 17, 25, {"0 name T0", "0 program 0 25", "0 control 0 7 127", "0 on 0 64 95",
                        "1920 off 0 64 80", "1920 end"}},
      {1, 1, 0, 128, {"0 name T0", "0 control 0 7 127", "0 on 0 64 95", "1920 off 0 64 80",
                      "1920 end"}},
      {1, 1, 1, 0x1FF, {"0 name T0", "0 control 0 7 127", "0 on 0 64 95", "1920 off 0 64 80",
                        "1920 end"}},
      {1, 1, 1, 0x105, {"0 name T0", "0 program 0 5", "0 control 0 7 127", "0 on 0 64 95",
                        "1920 off 0 64 80", "1920 end"}},
  };
  for (const auto& k : kCases) {
    TestSong song(1, 1);
    song.Track(0).midiPort = k.port;
    song.Track(0).midiChannel = k.channel;
    song.Track(0).effectsMidiChannel = k.effects;
    for (int p = 1; p <= 4; ++p) {
      for (int ch = 1; ch <= 16; ++ch) song.Entry(p, ch) = {k.instrument, 16, 0, 0, 0, 0, 0, {0, 0}};
    }
    song.Cell(0, 0, {NoteBeat(kWhole)});
    Conversion c = Convert(song.get());
    EXPECT_EQ(1, c.result);
    EXPECT_TRUE(c.WellFormed());
    EXPECT_EQ(k.rows, c.Track(0)) << k.port << " " << k.channel << " " << k.effects;
  }
}

// A denominator of 0 in force is timed and announced as a 4.
TEST(ConvertWalk, ZeroDenominatorCountsAsFour) {
  TestSong song(3, 0);
  song.Header(0).flags = kMeasureNumerator;
  song.Header(0).keyNumerator = 3;
  song.TimeSignature(1, 4, 0).Marker(2, "x");
  Conversion c = Convert(song.get());
  EXPECT_EQ(1, c.result);
  EXPECT_EQ((Rows{"0 tempo 500000", "0 name Song", "0 timesig 3 2 24 8", "1440 timesig 4 2 24 8",
                  "3360 marker x", "3360 end"}),
            c.Conductor());
}

TEST(ConvertWalk, MissingPartsOfTheSongAreSkipped) {
  TestSong song(2, 1);
  song.Cell(1, 0, {NoteBeat(kQuarter)});
  free(song.song.measures[1][0].beats);  // a missing row: the track is silent there
  free(song.song.measures[1]);
  song.song.measures[1] = nullptr;
  Conversion c = Convert(song.get());
  EXPECT_EQ((Rows{"0 name T0", "0 program 0 0", "0 control 0 7 0", "0 end"}), c.Track(0));
}

TEST(ConvertWalk, RecordWithTooFewChunksIsRefused) {
  TestSong song(1, 2);
  MidiFileStruct file;
  ASSERT_EQ(1, InitMidiFileStruct(&file, 2, 480));
  EXPECT_EQ(0, ToMidi(song.get(), &file, 30));
  EXPECT_EQ(0u, file.tracks[0].length);
  FreeMidiFileStruct(&file);
}

TEST(ConvertWalk, MissingSongOrRecordIsRefused) {
  TestSong song(1, 1);
  MidiFileStruct file;
  ASSERT_EQ(1, InitMidiFileStruct(&file, 2, 480));
  EXPECT_EQ(0, ToMidi(nullptr, &file, 30));
  EXPECT_EQ(0, ToMidi(song.get(), nullptr, 30));
  Track* tracks = song.song.tracks;
  song.song.tracks = nullptr;  // a track count without tracks
  EXPECT_EQ(0, ToMidi(song.get(), &file, 30));
  song.song.tracks = tracks;
  EXPECT_EQ(0u, file.tracks[0].length);
  FreeMidiFileStruct(&file);
  MidiFileStruct empty;
  ASSERT_EQ(1, InitMidiFileStruct(&empty, 0, 480));  // no chunk array at all
  EXPECT_EQ(0, ToMidi(song.get(), &empty, 30));
  FreeMidiFileStruct(&empty);
}

// Without measure headers (an in-memory song only) nothing is walked.
TEST(ConvertWalk, NoHeadersWalksNothing) {
  TestSong song(2, 1);
  MeasureHeader* headers = song.song.measureHeaders;
  song.song.measureHeaders = nullptr;
  Conversion c = Convert(song.get());
  song.song.measureHeaders = headers;
  EXPECT_EQ(1, c.result);
  EXPECT_EQ((Rows{"0 tempo 500000", "0 name Song", "0 end"}), c.Conductor());
}

// A header whose marker bit has no marker record (only an in-memory song
// can be so) sends no marker.
TEST(ConvertWalk, MarkerBitWithoutMarkerSendsNothing) {
  TestSong song(1, 0);
  song.Header(0).flags |= kMeasureMarker;
  Conversion c = Convert(song.get());
  EXPECT_EQ((Rows{"0 tempo 500000", "0 name Song", "0 timesig 4 2 24 8", "0 end"}), c.Conductor());
}

}  // namespace
