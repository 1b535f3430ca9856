// The flat interface: the global song slot and every query over it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "orlix/orlix.h"
#include "support/byte_builder.h"
#include "support/song_checks.h"

using namespace orlix_test;

namespace {

// Writes song files to temporary paths and leaves the slot empty afterwards.
class FlatInterface : public ::testing::Test {
 protected:
  void TearDown() override {
    ORLIX_Unload();
    for (const std::string& path : paths_) remove(path.c_str());
  }

  std::string WriteFile(const Bytes& bytes) {
    char path[] = "/tmp/orlix_flat_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(fd, bytes.data.data(), bytes.size()));
    close(fd);
    paths_.push_back(path);
    return path;
  }

  int LoadFixture() {
    FixtureSong fixture;
    return ORLIX_Load(WriteFile(fixture.bytes()).c_str());
  }

 private:
  std::vector<std::string> paths_;
};

int AllZero(Color c) { return !c.bytes[0] && !c.bytes[1] && !c.bytes[2] && !c.bytes[3]; }

// Every query of the flat interface with the given indexes; each answer must
// be 0, null or an all-zero colour.
void ExpectNothingAnswered(unsigned int index, unsigned int sub) {
  SCOPED_TRACE(::testing::Message() << "index " << index << ", " << sub);
  const char* texts[] = {ORLIX_GetTitle(),        ORLIX_GetSubtitle(),         ORLIX_GetInterpret(),
                         ORLIX_GetAlbum(),        ORLIX_GetAuthor(),           ORLIX_GetCopyright(),
                         ORLIX_GetTabAuthor(),    ORLIX_GetInstructions(),     ORLIX_GetNoticeLine(index),
                         ORLIX_GetLyricsLine(index), ORLIX_GetMeasureMarkerText(index),
                         ORLIX_GetTrackName(index)};
  for (const char* text : texts) EXPECT_EQ(nullptr, text);
  EXPECT_EQ(nullptr, ORLIX_GetMidiChannel(index, sub));
  int numbers[] = {ORLIX_GetNoticeLineCount(),
                   ORLIX_IsTripletFeelEnabled(),
                   ORLIX_GetLyricsTrack(),
                   ORLIX_GetTempo(),
                   ORLIX_GetKey(),
                   ORLIX_GetOctave(),
                   ORLIX_GetMeasureCount(),
                   ORLIX_GetTrackCount(),
                   ORLIX_IsMeasureKeyNumeratorPresent(index),
                   ORLIX_IsMeasureKeyDenominatorPresent(index),
                   ORLIX_IsMeasureBeginRepeatPresent(index),
                   ORLIX_IsMeasureEndRepeatPresent(index),
                   ORLIX_IsMeasureMarkerPresent(index),
                   ORLIX_IsMeasureTonalityPresent(index),
                   ORLIX_IsMeasureDoubleBarPresent(index),
                   ORLIX_GetMeasureKeyNumerator(index),
                   ORLIX_GetMeasureKeyDenominator(index),
                   ORLIX_GetMeasureRepeatCount(index),
                   ORLIX_GetMeasureAltEndingCount(index),
                   ORLIX_GetMeasureTonality(index),
                   ORLIX_GetTrackStringCount(index),
                   ORLIX_GetTrackTuning(index, sub),
                   ORLIX_GetTrackMidiPort(index),
                   ORLIX_GetTrackMidiChannel(index),
                   ORLIX_GetTrackEffectsMidiChannel(index),
                   ORLIX_GetTrackFretCount(index),
                   ORLIX_GetTrackCapoHeight(index)};
  for (size_t i = 0; i < sizeof numbers / sizeof numbers[0]; ++i) EXPECT_EQ(0, numbers[i]) << "query #" << i;
  EXPECT_TRUE(AllZero(ORLIX_GetMeasureMarkerColor(index)));
  EXPECT_TRUE(AllZero(ORLIX_GetTrackColor(index)));
}

TEST_F(FlatInterface, EveryQueryAnswersNothingWithoutASong) {
  ASSERT_EQ(nullptr, theFileStruct);
  const unsigned int indexes[][2] = {{0, 0}, {1, 1}, {4, 6}, {0xFFFFFFFFu, 0xFFFFFFFFu}};
  for (const auto& index : indexes) ExpectNothingAnswered(index[0], index[1]);
}

TEST_F(FlatInterface, SongLevelQueries) {
  FixtureSong fixture;
  fixture.head.octave = -3;
  fixture.head.channels[3][15].instrument = 0x1234;
  fixture.head.channels[3][15].volume = 16;
  ASSERT_EQ(1, ORLIX_Load(WriteFile(fixture.bytes()).c_str()));
  ASSERT_NE(nullptr, theFileStruct);
  EXPECT_STREQ("Title", ORLIX_GetTitle());
  EXPECT_STREQ("Subtitle", ORLIX_GetSubtitle());
  EXPECT_STREQ("Artist", ORLIX_GetInterpret());
  EXPECT_STREQ("Album", ORLIX_GetAlbum());
  EXPECT_STREQ("Author", ORLIX_GetAuthor());
  EXPECT_STREQ("Copyright", ORLIX_GetCopyright());
  EXPECT_STREQ("Tabber", ORLIX_GetTabAuthor());
  EXPECT_STREQ("Instructions", ORLIX_GetInstructions());
  EXPECT_EQ(2, ORLIX_GetNoticeLineCount());
  EXPECT_STREQ("Second", ORLIX_GetNoticeLine(1));
  EXPECT_EQ(nullptr, ORLIX_GetNoticeLine(2));
  EXPECT_EQ(1, ORLIX_IsTripletFeelEnabled());
  EXPECT_EQ(2, ORLIX_GetLyricsTrack());
  EXPECT_STREQ("", ORLIX_GetLyricsLine(1));
  EXPECT_STREQ("lu lu lu", ORLIX_GetLyricsLine(4));
  EXPECT_EQ(nullptr, ORLIX_GetLyricsLine(5));
  EXPECT_EQ(96, ORLIX_GetTempo());
  EXPECT_EQ(0xFE, ORLIX_GetKey());
  EXPECT_EQ(-3, ORLIX_GetOctave());
  EXPECT_EQ(3, ORLIX_GetMeasureCount());
  EXPECT_EQ(2, ORLIX_GetTrackCount());
}

TEST_F(FlatInterface, KeyReadsBackUnsigned) {
  SongHead head;
  head.key = 0xFF;
  ASSERT_EQ(1, ORLIX_Load(WriteFile(head.bytes()).c_str()));
  EXPECT_EQ(255, ORLIX_GetKey());
}

TEST_F(FlatInterface, ChannelTableEntriesAndTheirBounds) {
  FixtureSong fixture;
  fixture.head.channels[3][15].instrument = 0x1234;
  fixture.head.channels[3][15].tremolo = 9;
  fixture.head.channels[0][0].instrument = 30;
  ASSERT_EQ(1, ORLIX_Load(WriteFile(fixture.bytes()).c_str()));
  const Tolvenar::MidiChannel* last = ORLIX_GetMidiChannel(3, 15);
  ASSERT_NE(nullptr, last);
  EXPECT_EQ(0x1234, last->instrument);
  EXPECT_EQ(9, last->tremolo);
  EXPECT_EQ(ORLIX_GetMidiChannel(0, 0) + 63, last) << "port-major, 12 bytes apart";
  EXPECT_EQ(30, ORLIX_GetMidiChannel(0, 0)->instrument);
  EXPECT_EQ(nullptr, ORLIX_GetMidiChannel(4, 0));
  EXPECT_EQ(nullptr, ORLIX_GetMidiChannel(0, 16));
}

TEST_F(FlatInterface, MeasureQueries) {
  ASSERT_EQ(1, LoadFixture());
  // Measure 0: numerator and denominator; 1: 0x7B with marker; 2: 0x84.
  struct {
    int (*query)(unsigned int);
    int answers[3];
  } const rows[] = {
      {ORLIX_IsMeasureKeyNumeratorPresent, {1, 1, 0}},
      {ORLIX_IsMeasureKeyDenominatorPresent, {1, 1, 0}},
      {ORLIX_IsMeasureBeginRepeatPresent, {0, 0, 1}},
      {ORLIX_IsMeasureEndRepeatPresent, {0, 1, 0}},
      {ORLIX_IsMeasureMarkerPresent, {0, 1, 0}},
      {ORLIX_IsMeasureTonalityPresent, {0, 1, 0}},
      {ORLIX_IsMeasureDoubleBarPresent, {0, 0, 1}},
      {ORLIX_GetMeasureKeyNumerator, {4, 3, 0}},
      {ORLIX_GetMeasureKeyDenominator, {4, 8, 0}},
      {ORLIX_GetMeasureRepeatCount, {0, 2, 0}},
      {ORLIX_GetMeasureAltEndingCount, {0, 1, 0}},
      {ORLIX_GetMeasureTonality, {0, 5, 0}},
  };
  for (size_t r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    for (unsigned int m = 0; m < 3; ++m) EXPECT_EQ(rows[r].answers[m], rows[r].query(m)) << "row " << r << ", measure " << m;
    EXPECT_EQ(0, rows[r].query(3)) << "row " << r;
  }
  EXPECT_EQ(nullptr, ORLIX_GetMeasureMarkerText(0));
  EXPECT_TRUE(AllZero(ORLIX_GetMeasureMarkerColor(0)));
  EXPECT_STREQ("Chorus", ORLIX_GetMeasureMarkerText(1));
  Color marker = ORLIX_GetMeasureMarkerColor(1);
  EXPECT_EQ(0x10, marker.bytes[0]);
  EXPECT_EQ(0x40, marker.bytes[3]);
  EXPECT_EQ(nullptr, ORLIX_GetMeasureMarkerText(3));
}

TEST_F(FlatInterface, NumeratorIsTheStoredByteWhateverTheFlag) {
  SongHead head;
  head.measureCount = 1;
  Bytes bytes = head.bytes();
  bytes.u8(0x02).u8(16);
  ASSERT_EQ(1, ORLIX_Load(WriteFile(bytes).c_str()));
  EXPECT_EQ(0, ORLIX_IsMeasureKeyNumeratorPresent(0));
  EXPECT_EQ(0, ORLIX_GetMeasureKeyNumerator(0));
  EXPECT_EQ(16, ORLIX_GetMeasureKeyDenominator(0));
  theFileStruct->measureHeaders[0].keyNumerator = 9;
  EXPECT_EQ(9, ORLIX_GetMeasureKeyNumerator(0));
}

TEST_F(FlatInterface, TrackQueries) {
  ASSERT_EQ(1, LoadFixture());
  EXPECT_STREQ("Guitar", ORLIX_GetTrackName(0));
  EXPECT_STREQ("Bass", ORLIX_GetTrackName(1));
  EXPECT_EQ(4, ORLIX_GetTrackStringCount(1));
  EXPECT_EQ(43, ORLIX_GetTrackTuning(1, 0));
  EXPECT_EQ(40, ORLIX_GetTrackTuning(0, 5));
  theFileStruct->tracks[1].tuning[6] = 23;
  EXPECT_EQ(23, ORLIX_GetTrackTuning(1, 6)) << "answered beyond stringCount";
  EXPECT_EQ(0, ORLIX_GetTrackTuning(1, 7));
  EXPECT_EQ(2, ORLIX_GetTrackMidiPort(1));
  EXPECT_EQ(3, ORLIX_GetTrackMidiChannel(1));
  EXPECT_EQ(4, ORLIX_GetTrackEffectsMidiChannel(1));
  EXPECT_EQ(20, ORLIX_GetTrackFretCount(1));
  EXPECT_EQ(2, ORLIX_GetTrackCapoHeight(1));
  Color color = ORLIX_GetTrackColor(0);
  EXPECT_EQ(255, color.bytes[0]);
  EXPECT_EQ(0, color.bytes[1]);
  EXPECT_EQ(nullptr, ORLIX_GetTrackName(2));
  EXPECT_EQ(0, ORLIX_GetTrackStringCount(2));
  EXPECT_EQ(0, ORLIX_GetTrackTuning(2, 0));
  EXPECT_EQ(0, ORLIX_GetTrackMidiPort(2));
  EXPECT_EQ(0, ORLIX_GetTrackCapoHeight(2));
  EXPECT_TRUE(AllZero(ORLIX_GetTrackColor(2)));
}

TEST_F(FlatInterface, LoadRefusesANullPathAndASecondSong) {
  EXPECT_EQ(0, ORLIX_Load(nullptr));
  EXPECT_EQ(nullptr, theFileStruct);
  ASSERT_EQ(1, LoadFixture());
  Tolvenar::FileStruct* loaded = theFileStruct;
  SongHead other;
  other.tempo = 200;
  EXPECT_EQ(0, ORLIX_Load(WriteFile(other.bytes()).c_str()));
  EXPECT_EQ(0, ORLIX_Load(nullptr));
  EXPECT_EQ(loaded, theFileStruct);
  EXPECT_EQ(96, ORLIX_GetTempo());
  EXPECT_STREQ("Chorus", ORLIX_GetMeasureMarkerText(1));
}

TEST_F(FlatInterface, UnreadablePathLeavesTheSlotEmpty) {
  EXPECT_EQ(0, ORLIX_Load("/nonexistent/orlix/song.gp4"));
  EXPECT_EQ(nullptr, theFileStruct);
}

TEST_F(FlatInterface, FailedLoadLeavesTheSlotEmptyForTheNextLoad) {
  SongHead wrong;
  wrong.version = "FICHIER GUITAR PRO v3.00";
  EXPECT_EQ(0, ORLIX_Load(WriteFile(wrong.bytes()).c_str()));
  EXPECT_EQ(nullptr, theFileStruct);
  FixtureSong fixture;
  Bytes truncated = fixture.bytes();
  EXPECT_EQ(0, ORLIX_Load(WriteFile(truncated.prefix(fixture.bodyEnd - 1)).c_str()));
  EXPECT_EQ(nullptr, theFileStruct);
  EXPECT_EQ(1, LoadFixture());
}

TEST_F(FlatInterface, UnloadFreeAndInitEmptyTheSlot) {
  ORLIX_Unload();  // already empty
  ASSERT_EQ(1, LoadFixture());
  ORLIX_Unload();
  ORLIX_Unload();
  EXPECT_EQ(nullptr, theFileStruct);
  ExpectNothingAnswered(0, 0);
  ASSERT_EQ(1, LoadFixture());
  ORLIX_Free();
  ORLIX_Free();
  EXPECT_EQ(nullptr, theFileStruct);
  // Init over a loaded song releases it (LeakSanitizer would report it).
  ASSERT_EQ(1, LoadFixture());
  ORLIX_Init();
  EXPECT_EQ(nullptr, theFileStruct);
  ORLIX_Init();
  EXPECT_EQ(1, LoadFixture());
}

}  // namespace
