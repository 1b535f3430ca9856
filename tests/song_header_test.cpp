// The song reader up to the song block: version, information, notice,
// lyrics; and whole-load failure sweeps (truncation, allocation failure).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "orlix/orlix.h"
#include "orlix/tolvenar.h"
#include "support/byte_builder.h"
#include "support/failing_alloc.h"
#include "support/song_checks.h"

using namespace Tolvenar;
using namespace orlix_test;

namespace {

struct VersionCase {
  const char* label;
  const char* text;
  int loads;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.label; }

class VersionText : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionText, OnlyTheTwoVersionsLoad) {
  SongHead head;
  head.version = GetParam().text;
  FileStruct song;
  ASSERT_EQ(GetParam().loads, LoadBytes(head.bytes(), &song));
  if (GetParam().loads) {
    EXPECT_STREQ(GetParam().text, song.version);
    FreeFileStruct(&song);
  }
  EXPECT_TRUE(HoldsNoPointer(song));
}

const VersionCase kVersionCases[] = {
    {"v400", "FICHIER GUITAR PRO v4.00", 1},
    {"v406", "FICHIER GUITAR PRO v4.06", 1},
    {"OneByteShort", "FICHIER GUITAR PRO v4.0", 0},
    {"OneByteLong", "FICHIER GUITAR PRO v4.06X", 0},
    {"v407", "FICHIER GUITAR PRO v4.07", 0},
    {"v300", "FICHIER GUITAR PRO v3.00", 0},
    {"Empty", "", 0},
};

INSTANTIATE_TEST_SUITE_P(SongHeader, VersionText, ::testing::ValuesIn(kVersionCases),
                         [](const ::testing::TestParamInfo<VersionCase>& param) {
                           return std::string(param.param.label);
                         });

TEST(SongHeader, EmptyFileFails) {
  FileStruct song;
  EXPECT_EQ(0, LoadBytes(Bytes(), &song));
  EXPECT_TRUE(HoldsNoPointer(song));
}

TEST(SongHeader, InformationStartsAtOffset31WhateverTheLengthByteSays) {
  SongHead head;
  Bytes padded = head.bytes();
  for (size_t i = 25; i < 31; ++i) padded.data[i] = 'x';  // unused rest of the field
  // A length byte of 30 takes the NUL padding into the text; the comparison
  // over 25 bytes still accepts it.
  SongHead longer = head;
  longer.versionLengthByte = 30;
  // A length byte of 39 runs the text into the first information text
  // (found by fuzzing the handles): the information is read again from
  // offset 31, on every road in.
  SongHead beyond = head;
  beyond.versionLengthByte = 39;
  for (const Bytes& bytes : {padded, longer.bytes(), beyond.bytes()}) {
    FileStruct song;
    ASSERT_EQ(1, LoadBytes(bytes, &song));
    EXPECT_STREQ("Title", song.info.title);
    EXPECT_STREQ("Instructions", song.info.instructions);
    ORLIX_Error error;
    ORLIX_Song* handle = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), &error);
    ASSERT_NE(nullptr, handle) << error.message;
    EXPECT_TRUE(SameSong(song, *ORLIX_GetSong(handle)));
    ORLIX_Close(handle);
    FreeFileStruct(&song);
  }
}

TEST(SongHeader, ReadsInformationNoticeAndLyricsInOrder) {
  FixtureSong fixture;
  FileStruct song;
  ASSERT_EQ(1, LoadBytes(fixture.bytes(), &song));
  const char* expectedInfo[] = {"Title", "Subtitle", "Artist", "Album",
                                "Author", "Copyright", "Tabber", "Instructions"};
  const char* info[] = {song.info.title,  song.info.subtitle,  song.info.interpret, song.info.album,
                        song.info.author, song.info.copyright, song.info.tabAuthor,
                        song.info.instructions};
  for (int i = 0; i < 8; ++i) EXPECT_STREQ(expectedInfo[i], info[i]);
  ASSERT_EQ(2u, song.info.noticeLineCount);
  EXPECT_STREQ("First notice line", song.info.noticeLines[0]);
  EXPECT_STREQ("Second", song.info.noticeLines[1]);
  EXPECT_EQ(1, song.tripletFeel);
  EXPECT_EQ(2, song.lyricsTrack);
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(fixture.head.lyrics[i].c_str(), song.lyricsLines[i]);
  ASSERT_NE(nullptr, song.lyricsLines[1]) << "an empty lyrics line is \"\", not null";
  EXPECT_EQ(96, song.tempo);
  FreeFileStruct(&song);
}

TEST(SongHeader, NoticeCountZeroLeavesNoticeLinesNull) {
  SongHead head;
  FileStruct song;
  ASSERT_EQ(1, LoadBytes(head.bytes(), &song));
  EXPECT_EQ(0u, song.info.noticeLineCount);
  EXPECT_EQ(nullptr, song.info.noticeLines);
  FreeFileStruct(&song);
}

TEST(SongHeader, NothingIsReadAfterAnEmptyBody) {
  SongHead head;
  Bytes bytes = head.bytes();
  size_t songEnd = bytes.size();
  bytes.raw({0xDE, 0xAD, 0xBE, 0xEF});
  MemoryStream in(bytes);
  FileStruct song;
  ASSERT_EQ(1, LoadFileStruct(&song, in.get()));
  EXPECT_EQ(static_cast<long>(songEnd), in.position());
  EXPECT_NE(nullptr, song.measureHeaders) << "a zero count gives an empty array";
  EXPECT_NE(nullptr, song.tracks);
  FreeFileStruct(&song);
}

// The fifth lyrics entry claims more text than the file has left.
Bytes SongWithOverlongLastLyrics(uint32_t claimed) {
  SongHead head;
  Bytes b = head.untilLyrics();
  b.i32(1);
  for (int i = 0; i < 4; ++i) b.i32(1).intString("line");
  return b.i32(1).u32(claimed).text("abc");
}

TEST(SongHeader, OverlongLyricsLineIsAShortReadAndTheBlockThenFails) {
  for (uint32_t claimed : {4u, 100u, 0x7FFFFFF0u, 0xFFFFFFFFu}) {
    FileStruct song;
    EXPECT_EQ(0, LoadBytes(SongWithOverlongLastLyrics(claimed), &song)) << claimed;
    EXPECT_TRUE(HoldsNoPointer(song)) << claimed;
  }
}

TEST(SongHeader, HugeLyricsLengthIsNotAllocated) {
  Bytes cutAfterLength = SongWithOverlongLastLyrics(0);
  cutAfterLength = cutAfterLength.prefix(cutAfterLength.size() - 3);
  // The same song with the length missing makes the same allocations.
  Bytes noLength = cutAfterLength.prefix(cutAfterLength.size() - 4);
  EXPECT_EQ(AllocationsDuringLoad(noLength), AllocationsDuringLoad(SongWithOverlongLastLyrics(0x7FFFFFF0u)));
}

TEST(SongHeader, FailedLyricsAllocationStillConsumesTheText) {
  SongHead head;
  head.lyrics[0] = "first line";
  head.lyrics[1] = "second";
  head.tempo = 140;
  MemoryStream in(head.bytes());
  FileStruct song;
  FailAllocationNumber(10);  // version, eight information texts, then lyrics line 0
  int loaded = LoadFileStruct(&song, in.get());
  FailAllocationNumber(0);
  ASSERT_EQ(1, loaded) << "a missing lyrics line does not fail the load by itself";
  EXPECT_EQ(nullptr, song.lyricsLines[0]);
  EXPECT_STREQ("second", song.lyricsLines[1]);
  EXPECT_EQ(140, song.tempo);
  FreeFileStruct(&song);
}

TEST(SongHeader, HugeNoticeCountFailsWithoutAllocatingForIt) {
  SongHead head;
  Bytes prefix = head.untilLyrics();
  prefix = prefix.prefix(prefix.size() - 5);  // up to the notice count
  Bytes huge = prefix;
  huge.u32(0xFFFFFFFFu).intByteString("only line");
  Bytes none = prefix;
  none.u32(0);  // fails at the triplet feel, after the same allocations
  FileStruct song;
  EXPECT_EQ(0, LoadBytes(huge, &song));
  EXPECT_TRUE(HoldsNoPointer(song));
  EXPECT_EQ(AllocationsDuringLoad(none), AllocationsDuringLoad(huge));
}

TEST(SongHeader, HugeMeasureOrTrackCountFailsWithoutAllocatingForIt) {
  SongHead head;
  Bytes cut = head.bytes();
  cut = cut.prefix(cut.size() - 1);
  long beforeBody = AllocationsDuringLoad(cut);
  const uint32_t counts[][2] = {{0xFFFFFFFFu, 0}, {0, 0xFFFFFFFFu}, {0, 0x01000000u}, {1, 0x00FFFFFFu}};
  for (const auto& count : counts) {
    head.measureCount = count[0];
    head.trackCount = count[1];
    Bytes bytes = head.bytes();
    bytes.zeros(200);
    FileStruct song;
    EXPECT_EQ(0, LoadBytes(bytes, &song));
    EXPECT_TRUE(HoldsNoPointer(song));
    EXPECT_EQ(beforeBody, AllocationsDuringLoad(bytes)) << count[0] << " x " << count[1];
  }
}

TEST(SongLoadFailure, EveryTruncationFailsAndLeavesNoPointer) {
  FixtureSong fixture;
  Bytes whole = fixture.bytes();
  for (size_t length = 0; length < whole.size(); ++length) {
    FileStruct song;
    int loaded = LoadBytes(whole.prefix(length), &song);
    EXPECT_EQ(0, loaded) << "cut at " << length;
    if (loaded) FreeFileStruct(&song);
    EXPECT_TRUE(HoldsNoPointer(song)) << "cut at " << length;
  }
  FileStruct song;
  ASSERT_EQ(1, LoadBytes(whole, &song));
  FreeFileStruct(&song);
}

TEST(SongLoadFailure, EveryAllocationFailureIsCleanOrOnlyDropsALyricsLine) {
  FixtureSong fixture;
  MemoryStream in(fixture.bytes());
  FileStruct reference;
  ASSERT_EQ(1, LoadFileStruct(&reference, in.get()));
  long runs = SweepAllocationFailures([&] {
    FileStruct song;
    int loaded = LoadFileStruct(&song, in.get());
    if (!AllocationFailed()) {
      EXPECT_EQ(1, loaded);
    } else if (!loaded) {
      EXPECT_TRUE(HoldsNoPointer(song)) << "allocation " << AllocationCalls();
    } else {
      // Only a lyrics line may go missing, and nothing after it moves.
      int missing = 0;
      for (int i = 0; i < 5; ++i) {
        if (!song.lyricsLines[i]) {
          ++missing;
        } else {
          EXPECT_STREQ(reference.lyricsLines[i], song.lyricsLines[i]);
        }
      }
      EXPECT_EQ(1, missing);
      EXPECT_EQ(reference.tempo, song.tempo);
      EXPECT_EQ(0, memcmp(reference.midiChannels, song.midiChannels, sizeof song.midiChannels));
      ASSERT_EQ(reference.trackCount, song.trackCount);
      EXPECT_STREQ(reference.tracks[1].name, song.tracks[1].name);
    }
    FreeFileStruct(&song);
  });
  EXPECT_GT(runs, 20);
  FreeFileStruct(&reference);
}

}  // namespace
