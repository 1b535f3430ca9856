// The packed song block inside the song record, and release of records that
// hold nothing.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "orlix/tolvenar.h"
#include "support/byte_builder.h"
#include "support/song_checks.h"

using namespace Tolvenar;
using namespace orlix_test;

namespace {

// A song whose block bytes are all different from their neighbours, except
// for the two counts (0, so the body is empty).
Bytes SongWithPatternedBlock(Bytes* block) {
  SongHead head;
  Bytes bytes = head.bytes();
  size_t start = bytes.size() - 785;
  for (size_t i = 0; i < 777; ++i) bytes.data[start + i] = static_cast<uint8_t>(i * 7 + 3);
  block->data.assign(bytes.data.begin() + static_cast<long>(start), bytes.data.end());
  return bytes;
}

TEST(SongBlock, LandsInTheRecordByteForByte) {
  Bytes block;
  Bytes bytes = SongWithPatternedBlock(&block);
  FileStruct song;
  ASSERT_EQ(1, LoadBytes(bytes, &song));
  const uint8_t* inRecord = reinterpret_cast<const uint8_t*>(&song) + offsetof(FileStruct, tempo);
  EXPECT_EQ(0, memcmp(block.data.data(), inRecord, 785));
  auto le32 = [&](size_t at) {
    return static_cast<int32_t>(block.data[at] | block.data[at + 1] << 8 | block.data[at + 2] << 16 |
                                static_cast<uint32_t>(block.data[at + 3]) << 24);
  };
  EXPECT_EQ(le32(0), song.tempo);
  EXPECT_EQ(block.data[4], static_cast<uint8_t>(song.key));
  EXPECT_EQ(le32(5), song.octave) << "octave is block bytes 5..8 as one value";
  for (size_t p = 0; p < 4; ++p) {
    for (size_t c = 0; c < 16; ++c) {
      size_t at = 9 + p * 192 + c * 12;
      const MidiChannel& entry = song.midiChannels[p][c];
      EXPECT_EQ(inRecord + at, reinterpret_cast<const uint8_t*>(&entry));
      EXPECT_EQ(le32(at), entry.instrument);
      EXPECT_EQ(block.data[at + 4], entry.volume);
      EXPECT_EQ(block.data[at + 9], entry.tremolo);
      EXPECT_EQ(block.data[at + 11], entry.blank[1]);
    }
  }
  FreeFileStruct(&song);
}

TEST(SongBlock, ShortBlockFails) {
  SongHead head;
  Bytes bytes = head.bytes();
  FileStruct song;
  EXPECT_EQ(0, LoadBytes(bytes.prefix(bytes.size() - 1), &song));
  EXPECT_TRUE(HoldsNoPointer(song));
}

TEST(SongRelease, ZeroedRecordAndSecondReleaseAreHarmless) {
  FileStruct song;
  memset(&song, 0, sizeof song);
  song.measureCount = 5;  // counts without arrays are never followed
  song.trackCount = 5;
  song.info.noticeLineCount = 3;
  FreeFileStruct(&song);
  FreeFileStruct(&song);
  EXPECT_TRUE(HoldsNoPointer(song));
  EXPECT_EQ(5u, song.measureCount) << "counts are left as they are";
}

TEST(SongRelease, LoadedSongReleasedTwice) {
  FixtureSong fixture;
  FileStruct song;
  ASSERT_EQ(1, LoadBytes(fixture.bytes(), &song));
  FreeFileStruct(&song);
  FreeFileStruct(&song);
  EXPECT_TRUE(HoldsNoPointer(song));
}

}  // namespace
