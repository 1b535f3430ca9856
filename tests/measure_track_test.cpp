// Measure headers and track records: optional parts, the fixed-offset track
// layout, and failures inside a record.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "orlix/tolvenar.h"
#include "song/song_internal.h"
#include "support/byte_builder.h"
#include "support/record_reading.h"
#include "support/song_checks.h"

using namespace Tolvenar;
using namespace orlix_test;

namespace {

struct HeaderCase {
  const char* name;
  Bytes bytes;  // the record, followed by one byte that must stay unread
  MeasureHeader expected;
  const char* markerText;  // null: no marker
  uint8_t markerColor[4];
};

MeasureHeader Header(uint8_t flags, uint8_t numerator, uint8_t denominator, uint8_t repeat,
                     uint8_t altEnding, uint8_t tonality, uint8_t tonalityType) {
  MeasureHeader h = {};
  h.flags = flags;
  h.keyNumerator = numerator;
  h.keyDenominator = denominator;
  h.repeatCount = repeat;
  h.altEndingCount = altEnding;
  h.tonality = tonality;
  h.tonalityType = tonalityType;
  return h;
}

TEST(MeasureHeaderReader, ReadsExactlyTheOptionalPartsTheFlagsAnnounce) {
  const HeaderCase cases[] = {
      {"no optional part", Bytes().u8(0x00), Header(0x00, 0, 0, 0, 0, 0, 0), nullptr, {}},
      {"repeat begins, double bar", Bytes().u8(0x84), Header(0x84, 0, 0, 0, 0, 0, 0), nullptr, {}},
      {"numerator only", Bytes().u8(0x01).u8(7), Header(0x01, 7, 0, 0, 0, 0, 0), nullptr, {}},
      {"denominator only", Bytes().u8(0x02).u8(8), Header(0x02, 0, 8, 0, 0, 0, 0), nullptr, {}},
      {"end repeat, alt ending", Bytes().u8(0x18).u8(3).u8(2), Header(0x18, 0, 0, 3, 2, 0, 0), nullptr, {}},
      {"empty marker",
       Bytes().u8(0x20).intByteString("").raw({1, 2, 3, 4}),
       Header(0x20, 0, 0, 0, 0, 0, 0), "", {1, 2, 3, 4}},
      {"every part, in order",
       Bytes().u8(0x7B).u8(6).u8(8).u8(2).u8(1).intByteString("Verse").raw({9, 8, 7, 6}).u8(0xFD).u8(1),
       Header(0x7B, 6, 8, 2, 1, 0xFD, 1), "Verse", {9, 8, 7, 6}},
  };
  for (const HeaderCase& c : cases) {
    Bytes bytes = c.bytes;
    bytes.u8(0xEE);
    MemoryStream in(bytes);
    MeasureHeader h;
    memset(&h, 0x5A, sizeof h);  // the reader zeroes before reading
    ASSERT_EQ(1, LoadMeasureHeader(&h, in.get())) << c.name;
    EXPECT_EQ(static_cast<long>(c.bytes.size()), in.position()) << c.name;
    EXPECT_EQ(c.expected.flags, h.flags) << c.name;
    EXPECT_EQ(c.expected.keyNumerator, h.keyNumerator) << c.name;
    EXPECT_EQ(c.expected.keyDenominator, h.keyDenominator) << c.name;
    EXPECT_EQ(c.expected.repeatCount, h.repeatCount) << c.name;
    EXPECT_EQ(c.expected.altEndingCount, h.altEndingCount) << c.name;
    EXPECT_EQ(c.expected.tonality, h.tonality) << c.name;
    EXPECT_EQ(c.expected.tonalityType, h.tonalityType) << c.name;
    EXPECT_EQ(0, h.repeatPass) << c.name;
    if (!c.markerText) {
      EXPECT_EQ(nullptr, h.marker) << c.name;
      continue;
    }
    ASSERT_NE(nullptr, h.marker) << c.name;
    ASSERT_NE(nullptr, h.marker->text) << c.name;
    EXPECT_STREQ(c.markerText, h.marker->text) << c.name;
    EXPECT_EQ(0, memcmp(c.markerColor, &h.marker->color, 4)) << c.name;
    free(h.marker->text);
    free(h.marker);
  }
}

TEST(MeasureHeaderReader, EveryCutInsideAHeaderFailsAndKeepsNoMarker) {
  Bytes whole = Bytes().u8(0x7B).u8(6).u8(8).u8(2).u8(1).intByteString("Verse").raw({9, 8, 7, 6}).u8(1).u8(0);
  for (size_t length = 0; length < whole.size(); ++length) {
    MemoryStream in(whole.prefix(length));
    MeasureHeader h;
    EXPECT_EQ(0, LoadMeasureHeader(&h, in.get())) << "cut at " << length;
    EXPECT_EQ(nullptr, h.marker) << "cut at " << length;
  }
}

TEST(TrackReader, ReadsTheFixedLayout) {
  TrackRecord record;
  record.flags = 0x05;
  record.tuning[6] = 35;
  record.port = 3;
  record.channel = 10;
  record.effectsChannel = 11;
  record.frets = 22;
  record.capo = 5;
  record.color[0] = 0xAB;
  record.color[3] = 0xCD;
  MemoryStream in(record.bytes().u8(0xEE));
  Track t;
  memset(&t, 0x5A, sizeof t);
  ASSERT_EQ(1, LoadTrack(&t, in.get()));
  EXPECT_EQ(98, in.position());
  EXPECT_EQ(0x05, t.flags);
  EXPECT_STREQ("Guitar", t.name);
  EXPECT_EQ(6, t.stringCount);
  EXPECT_EQ(0, memcmp(record.tuning, t.tuning, sizeof t.tuning));
  EXPECT_EQ(3, t.midiPort);
  EXPECT_EQ(10, t.midiChannel);
  EXPECT_EQ(11, t.effectsMidiChannel);
  EXPECT_EQ(22, t.fretCount);
  EXPECT_EQ(5, t.capoHeight);
  EXPECT_EQ(0, memcmp(record.color, &t.color, 4));
  EXPECT_EQ(0, t.nextBeat);
  EXPECT_EQ(0, t.ticksLeft);
  free(t.name);
}

TEST(TrackReader, EmptyNameStillReadsTheFieldsAtOffset42) {
  TrackRecord record;
  record.name = "";
  record.stringCount = 7;
  MemoryStream in(record.bytes());
  Track t;
  ASSERT_EQ(1, LoadTrack(&t, in.get()));
  ASSERT_NE(nullptr, t.name);
  EXPECT_STREQ("", t.name);
  EXPECT_EQ(7, t.stringCount);
  EXPECT_EQ(98, in.position());
  free(t.name);
}

TEST(TrackReader, NameLongerThanItsFieldSwallowsTheFollowingBytes) {
  TrackRecord record;
  record.name = std::string(40, 'n');
  record.nameLengthByte = 45;
  record.stringCount = 0x44434241;  // "ABCD"
  record.tuning[0] = 'E';
  MemoryStream in(record.bytes());
  Track t;
  ASSERT_EQ(1, LoadTrack(&t, in.get()));
  EXPECT_EQ(std::string(40, 'n') + "ABCDE", t.name);
  EXPECT_EQ(0x44434241, t.stringCount);
  EXPECT_EQ('E', t.tuning[0]);
  EXPECT_EQ(record.tuning[6], t.tuning[6]);
  EXPECT_EQ(98, in.position());
  free(t.name);
}

TEST(TrackReader, EveryCutInsideATrackFailsAndKeepsNoName) {
  Bytes whole = TrackRecord().bytes();
  for (size_t length = 0; length < whole.size(); ++length) {
    MemoryStream in(whole.prefix(length));
    Track t;
    EXPECT_EQ(0, LoadTrack(&t, in.get())) << "cut at " << length;
    EXPECT_EQ(nullptr, t.name) << "cut at " << length;
  }
}

TEST(SongBody, ThreeMeasuresAndNoTrack) {
  SongHead head;
  head.measureCount = 3;
  Bytes bytes = head.bytes();
  bytes.u8(0x01).u8(3).u8(0x84).u8(0x02).u8(2);
  FileStruct song;
  ASSERT_EQ(1, LoadBytes(bytes, &song));
  EXPECT_EQ(3, song.measureHeaders[0].keyNumerator);
  EXPECT_EQ(0x84, song.measureHeaders[1].flags);
  EXPECT_EQ(2, song.measureHeaders[2].keyDenominator);
  EXPECT_NE(nullptr, song.tracks);
  FreeFileStruct(&song);
}

TEST(SongBody, FileEndingInsideARecordFailsWithNoArrayLeft) {
  FixtureSong fixture;
  Bytes whole = fixture.bytes();
  Bytes head = fixture.head.bytes();
  // 4 + 1 + 6 bytes of the marker text after its header's first five bytes.
  size_t insideMarkerColour = head.size() + 3 + 5 + 11 + 2;
  size_t insideSeventhTuning = fixture.bodyEnd - 98 + 46 + 6 * 4 + 2;
  for (size_t cut : {insideMarkerColour, insideSeventhTuning}) {
    FileStruct song;
    EXPECT_EQ(0, LoadBytes(whole.prefix(cut), &song)) << cut;
    EXPECT_TRUE(HoldsNoPointer(song)) << cut;
  }
}

}  // namespace
