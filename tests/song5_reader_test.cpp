// Version 5 songs: a song built byte by byte as version 5 fills the records
// exactly as its version 4 twin does (where the formats differ: the nine
// information texts, the song block spread out, measure headers, track
// tails, cells with two voices, beat display bytes, swapped strokes, the
// mix table, notes and their effects), in both variants; what the records
// cannot hold is answered by the handle's extras, and the extras of version
// 4 songs follow from their records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "orlix/orlix.h"
#include "support/song5_file.h"
#include "support/song_checks.h"

using namespace orlix_test;

namespace {

ORLIX_Song* Open(const Bytes& bytes) {
  ORLIX_Error error;
  ORLIX_Song* song = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), &error);
  EXPECT_NE(nullptr, song) << error.message;
  return song;
}

class Version5Variant : public ::testing::TestWithParam<const char*> {};

TEST_P(Version5Variant, FillsTheRecordsAsTheVersion4Twin) {
  Twin twin = EveryRecordTwin(GetParam());
  ORLIX_Song* five = Open(twin.five.bytes());
  ORLIX_Song* four = Open(twin.four.bytes());
  ASSERT_TRUE(five && four);
  EXPECT_EQ(5, ORLIX_GetFormat(five));
  Tolvenar::FileStruct records = *ORLIX_GetSong(five);
  EXPECT_STREQ(GetParam(), records.version);
  records.version = ORLIX_GetSong(four)->version;
  EXPECT_TRUE(SameSong(*ORLIX_GetSong(four), records));
  ORLIX_Close(five);
  ORLIX_Close(four);
}

// The extras of the twin, through the handle, and the neutral answers of
// the version 4 twin.
TEST_P(Version5Variant, KeepsTheExtrasBesideTheRecords) {
  Twin twin = EveryRecordTwin(GetParam());
  ORLIX_Song* five = Open(twin.five.bytes());
  ORLIX_Song* four = Open(twin.four.bytes());
  ASSERT_TRUE(five && four);
  const int feel[] = {1, 0, 0, 2};
  const unsigned endings[] = {0, 0, 0x05, 0};
  for (unsigned m = 0; m < 4; ++m) {
    EXPECT_EQ(feel[m], ORLIX_GetMeasureTripletFeel(five, m)) << m;
    EXPECT_EQ(endings[m], ORLIX_GetMeasureEndings(five, m)) << m;
    EXPECT_EQ(1, ORLIX_GetMeasureTripletFeel(four, m)) << "the song-wide feel, measure " << m;
    EXPECT_EQ(m == 2 ? 1u : 0u, ORLIX_GetMeasureEndings(four, m)) << m;
  }
  for (int sign = -1; sign <= ORLIX_DIRECTION_COUNT; ++sign) {
    int expected = sign == ORLIX_DIRECTION_CODA ? 3 : sign == ORLIX_DIRECTION_FINE ? 4
                 : sign == ORLIX_DIRECTION_DA_CAPO_AL_FINE ? 2 : 0;
    EXPECT_EQ(expected, ORLIX_GetDirection(five, sign)) << sign;
    EXPECT_EQ(0, ORLIX_GetDirection(four, sign)) << sign;
  }
  EXPECT_EQ(0, ORLIX_GetTrackBank(five, 0));
  EXPECT_EQ(5, ORLIX_GetTrackBank(five, 1));
  EXPECT_EQ(0, ORLIX_GetTrackBank(five, 2));
  EXPECT_EQ(0, ORLIX_GetTrackBank(four, 1));

  // The second voice: its beats mapped as voice 1's, empty cells included.
  const Tolvenar::TrackMeasure* voice = ORLIX_GetSecondVoice(five, 0, 0);
  ASSERT_NE(nullptr, voice);
  ASSERT_EQ(2u, voice->beatCount);
  EXPECT_EQ(-1, voice->beats[0].duration);
  EXPECT_EQ(0x10, voice->beats[0].strings);
  EXPECT_EQ(0x60, voice->beats[0].notes[2].flags);
  EXPECT_EQ(7, voice->beats[0].notes[2].fret);
  EXPECT_EQ(2, voice->beats[1].status);
  ASSERT_NE(nullptr, ORLIX_GetSecondVoice(five, 1, 1));
  EXPECT_EQ(0u, ORLIX_GetSecondVoice(five, 1, 1)->beatCount);
  EXPECT_EQ(1u, ORLIX_GetSecondVoice(five, 2, 0)->beatCount);
  EXPECT_EQ(nullptr, ORLIX_GetSecondVoice(five, 4, 0));
  EXPECT_EQ(nullptr, ORLIX_GetSecondVoice(five, 0, 2));
  EXPECT_EQ(nullptr, ORLIX_GetSecondVoice(four, 0, 0));

  struct NoteCase {
    unsigned voice, measure, track, beat, slot;
    int found;
    ORLIX_NoteExtras extras;
  } const notes[] = {
      {1, 0, 0, 0, 0, 0, {0, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
      {1, 0, 0, 0, 1, 1, {1, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
      {1, 0, 0, 0, 2, 1, {0, 0.5, 0, 0, 0, 0, {0, 0, 0}}},
      {1, 0, 0, 0, 3, 1, {0, 1.0, 1, 1, 0, 0, {0, 0, 0}}},
      {1, 0, 0, 0, 4, 1, {0, 1.0, 0, 0, 0x12, 2, {7, 0, 1}}},
      {1, 0, 0, 0, 5, 1, {0, 1.0, 0, 0, 0, 3, {12, 0, 0}}},
      {1, 0, 0, 0, 6, 0, {0, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
      {2, 0, 0, 0, 2, 1, {1, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
      {1, 0, 0, 1, 2, 0, {0, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
      {2, 2, 1, 1, 2, 1, {1, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
      {1, 2, 1, 1, 2, 0, {0, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
      {0, 0, 0, 0, 1, 0, {0, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
      {3, 0, 0, 0, 1, 0, {0, 1.0, 0, 0, 0, 0, {0, 0, 0}}},
  };
  for (const NoteCase& c : notes) {
    std::string where = "voice " + std::to_string(c.voice) + " measure " + std::to_string(c.measure) + " track " +
                        std::to_string(c.track) + " beat " + std::to_string(c.beat) + " slot " +
                        std::to_string(c.slot);
    ORLIX_NoteExtras got;
    memset(&got, 0xA5, sizeof got);
    EXPECT_EQ(c.found, ORLIX_GetNoteExtras(five, c.voice, c.measure, c.track, c.beat, c.slot, &got)) << where;
    EXPECT_EQ(c.extras.heavyAccent, got.heavyAccent) << where;
    EXPECT_EQ(c.extras.durationPercent, got.durationPercent) << where;
    EXPECT_EQ(c.extras.graceDead, got.graceDead) << where;
    EXPECT_EQ(c.extras.graceOnBeat, got.graceOnBeat) << where;
    EXPECT_EQ(c.extras.slideMask, got.slideMask) << where;
    EXPECT_EQ(c.extras.harmonicType, got.harmonicType) << where;
    EXPECT_EQ(0, memcmp(c.extras.harmonicData, got.harmonicData, 3)) << where;
    EXPECT_EQ(0, ORLIX_GetNoteExtras(four, c.voice, c.measure, c.track, c.beat, c.slot, nullptr)) << where;
  }
  ORLIX_Close(five);
  ORLIX_Close(four);
}

INSTANTIATE_TEST_SUITE_P(Song5, Version5Variant,
                         ::testing::Values("FICHIER GUITAR PRO v5.00", "FICHIER GUITAR PRO v5.10"),
                         [](const ::testing::TestParamInfo<const char*>& version) {
                           return std::string(version.param).substr(20, 1) + std::string(version.param).substr(22);
                         });

// Every cut of the song fails as truncated, from memory and from a stream;
// the editors' one trailing byte is left unread; the version 4 entry
// points refuse the whole song.
TEST(Song5, EveryCutFailsAndTheTrailingByteIsLeft) {
  Twin twin = EveryRecordTwin("FICHIER GUITAR PRO v5.00");
  twin.five.trailingByte = true;
  Bytes bytes = twin.five.bytes();
  for (size_t length = 0; length < bytes.size() - 1; ++length) {
    ORLIX_Error error;
    ASSERT_EQ(nullptr, ORLIX_OpenMemory(bytes.data.data(), length, &error)) << length;
    ASSERT_EQ(ORLIX_ERROR_TRUNCATED, error.kind) << length;
    ASSERT_LE(error.offset, static_cast<long long>(length));
  }
  MemoryStream in(bytes);
  ORLIX_Song* song = ORLIX_OpenStream(in.get(), nullptr);
  ASSERT_NE(nullptr, song);
  EXPECT_EQ(static_cast<long>(bytes.size()) - 1, in.position());
  ORLIX_Close(song);
  Tolvenar::FileStruct refused;
  EXPECT_EQ(0, LoadBytes(bytes, &refused));
  EXPECT_TRUE(HoldsNoPointer(refused));
}

// Version 3 and 4 ending numbers stand for sets: the endings up to n not
// yet taken after the same begin-repeat mark, else ending n alone.
TEST(Song5, EndingSetsOfEndingNumbers) {
  struct Measure {
    uint8_t flags;
    uint8_t number;
    unsigned set;
  } const measures[] = {
      {0x10, 3, 0x07}, {0x10, 4, 0x08}, {0x10, 8, 0xF0},   // 3, 4, 8 after the song's start
      {0x04, 0, 0},    {0x10, 4, 0x0F}, {0x10, 8, 0xF0},   // 4, 8 after a begin repeat
      {0x14, 2, 0x03}, {0x00, 0, 0},    {0x10, 2, 0x02},   // 2, 2: the second takes ending 2 alone
      {0x10, 0, 0},    {0x00, 5, 0},                       // number 0, and a number without the flag
      {0x10, 40, 0xFFFFFFFC}, {0x10, 40, 0},               // past the 32nd ending: no bit of its own
  };
  SongFile song;
  for (const Measure& m : measures) {
    MeasureHeaderRecord header;
    header.flags = m.flags;
    header.altEnding = m.number;
    song.measures.push_back(header);
  }
  song.tracks = {TrackRecord()};
  ORLIX_Song* opened = Open(song.bytes());
  ASSERT_NE(nullptr, opened);
  for (unsigned m = 0; m < sizeof measures / sizeof measures[0]; ++m)
    EXPECT_EQ(measures[m].set, ORLIX_GetMeasureEndings(opened, m)) << "measure " << m;
  ORLIX_Close(opened);
}

// Version 5 ending masks: the records hold the last ending of the run that
// starts at the lowest, as version 4 saves of the same pieces do; the repeat
// byte counts plays.
TEST(Song5, EndingNumbersOfMasksAndRepeatsOfPlays) {
  struct Measure {
    uint8_t flags;
    uint8_t byte;  // mask or plays
    uint8_t recorded;
  } const measures[] = {
      {0x10, 0x08, 4}, {0x10, 0x0F, 4}, {0x10, 0xF0, 8}, {0x10, 0x77, 3}, {0x10, 0x05, 1},
      {0x10, 0x80, 8}, {0x10, 0x00, 0}, {0x00, 0x05, 0},  // a mask without the flag is not an ending
      {0x08, 4, 3},    {0x08, 1, 0},    {0x08, 0, 0},
  };
  Song5File song;
  for (const Measure& m : measures) {
    MeasureHeader5Record header;
    header.flags = m.flags;
    if (m.flags & 0x08) header.plays = m.byte;
    else header.endingMask = m.byte;
    song.measures.push_back(header);
  }
  song.tracks = {Track5Record()};
  ORLIX_Song* opened = Open(song.bytes());
  ASSERT_NE(nullptr, opened);
  const Tolvenar::FileStruct* records = ORLIX_GetSong(opened);
  for (unsigned m = 0; m < sizeof measures / sizeof measures[0]; ++m) {
    const Tolvenar::MeasureHeader& header = records->measureHeaders[m];
    EXPECT_EQ(measures[m].recorded, (m < 8 ? header.altEndingCount : header.repeatCount)) << "measure " << m;
    unsigned mask = measures[m].flags & 0x10 ? measures[m].byte : 0;
    EXPECT_EQ(mask, ORLIX_GetMeasureEndings(opened, m)) << "measure " << m;
  }
  ORLIX_Close(opened);
}

}  // namespace
