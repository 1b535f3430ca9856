// Reader of beats, notes and note effects: the bytes each consumes, where
// each value lands, and that a failed beat owns nothing.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "song/song_internal.h"
#include "support/beat_builder.h"
#include "support/byte_builder.h"
#include "support/record_reading.h"
#include "support/failing_alloc.h"

using namespace Tolvenar;
using namespace orlix_test;

namespace {

bool OwnsNothing(const Beat& beat) {
  if (beat.chord || beat.text || beat.effects || beat.mixTable) return false;
  for (const Note& note : beat.notes)
    if (note.effects) return false;
  return true;
}

bool IsZero(const Note& note) {
  static const Note zero{};
  return std::memcmp(&note, &zero, sizeof note) == 0;
}

// A beat with every attachment and three notes, the last one with effects.
BeatRecord FullBeat() {
  BeatRecord beat;
  beat.flags = 0x7F;
  beat.status = 2;
  beat.chord = OldChordRecord().bytes();
  beat.text = "riff";
  BeatEffectsRecord effects;
  effects.flags1 = 0x60;
  effects.flags2 = 0x06;
  effects.tremoloBar.points = {{0, 0, 0}, {60, -25, 0}};
  beat.effects = effects.bytes();
  MixTableRecord mix;
  mix.volume = 12;
  mix.tempo = 96;
  beat.mixTable = mix.bytes();
  beat.strings = 0x2A;  // slots 1, 3 and 5
  NoteRecord withEffects;
  withEffects.flags = 0xB9;
  withEffects.effects.flags1 = 0x11;
  withEffects.effects.flags2 = 0x3C;
  withEffects.effects.bend.points = {{0, 0, 0}, {30, 100, 1}};
  beat.notes = {withEffects, withEffects, withEffects};
  return beat;
}

}  // namespace

struct BeatSizeCase {
  const char* name;
  Bytes bytes;
  long size;
};

class BeatSizes : public testing::TestWithParam<BeatSizeCase> {};

TEST_P(BeatSizes, ConsumesExactlyItsBytes) {
  MemoryStream in(Bytes(GetParam().bytes).u8(0xEE));
  Beat beat;
  ASSERT_EQ(1, LoadBeat(&beat, in.get()));
  EXPECT_EQ(GetParam().size, in.position());
  FreeBeat(&beat);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BeatSizes,
    testing::Values(BeatSizeCase{"Shortest", Bytes().raw({0x00, 0x01, 0x00}), 3},
                    BeatSizeCase{"Status", Bytes().raw({0x40, 0x02, 0x00, 0x00}), 4},
                    BeatSizeCase{"DottedCarriesNoData", Bytes().raw({0x01, 0x00, 0x00}), 3},
                    BeatSizeCase{"Tuplet", Bytes().raw({0x20, 0x00}).i32(3).u8(0), 7},
                    BeatSizeCase{"MaskBit0x80ReadsNoNote", Bytes().raw({0x00, 0x00, 0x80}), 3},
                    BeatSizeCase{"Full", FullBeat().bytes(), long(FullBeat().bytes().size())}),
    [](const testing::TestParamInfo<BeatSizeCase>& param) { return std::string(param.param.name); });

TEST(Beat, ShortestBeatHasNoNotesAndNoAttachments) {
  MemoryStream in(Bytes().raw({0x00, 0x01, 0x00}));
  Beat beat;
  std::memset(&beat, 0xAB, sizeof beat);  // zeroed by the reader, not by us
  ASSERT_EQ(1, LoadBeat(&beat, in.get()));
  EXPECT_EQ(0, beat.flags);
  EXPECT_EQ(0, beat.status);
  EXPECT_EQ(1, beat.duration);
  EXPECT_EQ(0, beat.tuplet);
  EXPECT_TRUE(OwnsNothing(beat));
  for (const Note& note : beat.notes) EXPECT_TRUE(IsZero(note));
}

TEST(Beat, Mask0x80FillsNoSlot) {
  MemoryStream in(Bytes().raw({0x00, 0x00, 0x80, 0x20, 0x01, 0x05}));
  Beat beat;
  ASSERT_EQ(1, LoadBeat(&beat, in.get()));
  EXPECT_EQ(0x80, beat.strings);
  for (const Note& note : beat.notes) EXPECT_TRUE(IsZero(note));
  EXPECT_EQ(3, in.position());
}

TEST(Beat, Mask0x41FillsSlotZeroThenSlotSix) {
  NoteRecord first, second;
  first.fret = 7;
  second.fret = 9;
  BeatRecord record;
  record.strings = 0x41;
  record.notes = {first, second};
  MemoryStream in(record.bytes());
  Beat beat;
  ASSERT_EQ(1, LoadBeat(&beat, in.get()));
  EXPECT_EQ(7, beat.notes[0].fret);
  EXPECT_EQ(9, beat.notes[6].fret);
  for (int s = 1; s < 6; ++s) EXPECT_TRUE(IsZero(beat.notes[s])) << s;
  EXPECT_EQ(3 + 3 + 3, in.position());
}

TEST(Beat, EmptyTextIsAnEmptyStringNotNull) {
  BeatRecord record;
  record.flags = 0x04;
  MemoryStream in(record.bytes());
  Beat beat;
  ASSERT_EQ(1, LoadBeat(&beat, in.get()));
  ASSERT_NE(nullptr, beat.text);
  EXPECT_STREQ("", beat.text);
  EXPECT_EQ(3 + 5, in.position());
  FreeBeat(&beat);
}

TEST(Beat, AttachmentsLandInTheirFields) {
  MemoryStream in(FullBeat().bytes());
  Beat beat;
  ASSERT_EQ(1, LoadBeat(&beat, in.get()));
  EXPECT_EQ(3, beat.tuplet);
  ASSERT_NE(nullptr, beat.chord);
  EXPECT_STREQ("Am", beat.chord->name);
  EXPECT_STREQ("riff", beat.text);
  ASSERT_NE(nullptr, beat.effects);
  ASSERT_NE(nullptr, beat.effects->tremoloBar);
  EXPECT_EQ(-25, beat.effects->tremoloBar->points[1].value);
  ASSERT_NE(nullptr, beat.mixTable);
  EXPECT_EQ(12, beat.mixTable->volume);
  EXPECT_EQ(96, beat.mixTable->tempo);
  for (int s : {1, 3, 5}) {
    ASSERT_NE(nullptr, beat.notes[s].effects) << s;
    ASSERT_NE(nullptr, beat.notes[s].effects->bend);
    EXPECT_EQ(100, beat.notes[s].effects->bend->points[1].value);
  }
  FreeBeat(&beat);
  EXPECT_TRUE(OwnsNothing(beat));
}

TEST(Beat, UnknownChordFormatFailsTheBeat) {
  BeatRecord record;
  record.flags = 0x02;
  record.chord = Bytes().u8(2).zeros(106);
  MemoryStream in(record.bytes());
  Beat beat;
  EXPECT_EQ(0, LoadBeat(&beat, in.get()));
  EXPECT_TRUE(OwnsNothing(beat));
}

TEST(Beat, EndingInsideTheThirdNoteFailsAndOwnsNothing) {
  BeatRecord record = FullBeat();
  Bytes whole = record.bytes();
  size_t thirdNote = whole.size() - record.notes[2].bytes().size();
  for (size_t cut : {thirdNote, thirdNote + 1, thirdNote + 6, whole.size() - 1}) {
    MemoryStream in(whole.prefix(cut));
    Beat beat;
    EXPECT_EQ(0, LoadBeat(&beat, in.get())) << "cut at " << cut;
    EXPECT_TRUE(OwnsNothing(beat)) << "cut at " << cut;
  }
}

TEST(Beat, EveryTruncationFailsAndOwnsNothing) {
  Bytes whole = FullBeat().bytes();
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    MemoryStream in(whole.prefix(cut));
    Beat beat;
    EXPECT_EQ(0, LoadBeat(&beat, in.get())) << "cut at " << cut;
    EXPECT_TRUE(OwnsNothing(beat)) << "cut at " << cut;
  }
}

TEST(Beat, EveryFailedAllocationFailsCleanly) {
  MemoryStream in(FullBeat().bytes());
  long runs = SweepAllocationFailures([&] {
    rewind(in.get());
    Beat beat;
    int ok = LoadBeat(&beat, in.get());
    if (AllocationFailed()) {
      EXPECT_EQ(0, ok);
      EXPECT_TRUE(OwnsNothing(beat));
    } else {
      EXPECT_EQ(1, ok);
    }
    FreeBeat(&beat);
  });
  // chord + name, text, effects + curve + points, mix, 3 x (effects + curve + points)
  EXPECT_EQ(2 + 1 + 3 + 1 + 9 + 1, runs);
}

// Beats come straight from the stream's buffer while it holds them: with
// the buffer cut at every size, the same bytes give the same beats.
TEST(Beat, SameBeatsWhereverTheStreamBufferEnds) {
  BeatRecord plain;
  plain.flags = 0x60;
  plain.status = 2;
  NoteRecord fingered;
  fingered.flags = 0xB1;
  plain.strings = 0x7F;
  plain.notes.assign(7, fingered);
  Bytes bytes = Bytes().append(FullBeat().bytes()).append(plain.bytes()).append(FullBeat().bytes());
  auto readAll = [&](size_t bufferSize, Beat beats[3]) {
    MemoryStream in(bytes);
    std::vector<char> buffer(bufferSize);
    if (bufferSize) {
      EXPECT_EQ(0, setvbuf(in.get(), buffer.data(), _IOFBF, bufferSize));
    }
    for (int b = 0; b < 3; ++b) EXPECT_EQ(1, LoadBeat(&beats[b], in.get())) << bufferSize;
    EXPECT_EQ(long(bytes.size()), in.position()) << bufferSize;
  };
  Beat expected[3];
  readAll(0, expected);
  for (size_t bufferSize = 1; bufferSize <= 64; ++bufferSize) {
    Beat beats[3];
    readAll(bufferSize, beats);
    for (int b = 0; b < 3; ++b) {
      EXPECT_EQ(expected[b].flags, beats[b].flags) << bufferSize;
      EXPECT_EQ(expected[b].status, beats[b].status) << bufferSize;
      EXPECT_EQ(expected[b].duration, beats[b].duration) << bufferSize;
      EXPECT_EQ(expected[b].tuplet, beats[b].tuplet) << bufferSize;
      EXPECT_EQ(expected[b].strings, beats[b].strings) << bufferSize;
      ASSERT_EQ(!beats[b].chord, !expected[b].chord) << bufferSize;
      if (beats[b].chord) {
        EXPECT_STREQ(expected[b].chord->name, beats[b].chord->name);
      }
      for (int s = 0; s < 7; ++s) {
        const Note& got = beats[b].notes[s];
        const Note& want = expected[b].notes[s];
        EXPECT_EQ(0, std::memcmp(&got, &want, offsetof(Note, effects))) << bufferSize << " " << s;
        ASSERT_EQ(!got.effects, !want.effects) << bufferSize << " " << s;
        if (!got.effects) continue;
        EXPECT_EQ(0, std::memcmp(got.effects->grace, want.effects->grace, 4));
        EXPECT_EQ(got.effects->harmonic, want.effects->harmonic);
        EXPECT_EQ(0, std::memcmp(got.effects->trill, want.effects->trill, 2));
        ASSERT_NE(nullptr, got.effects->bend);
        EXPECT_EQ(want.effects->bend->points[1].value, got.effects->bend->points[1].value);
      }
      FreeBeat(&beats[b]);
    }
  }
  for (Beat& beat : expected) FreeBeat(&beat);
}

// ------------------------------------------------------------------- notes

TEST(Note, Flags0x31ReadTypeDurationTupletDynamicFretInThatOrder) {
  MemoryStream in(Bytes().raw({0x31, 1, 2, 3, 4, 5, 0xEE}));
  Note note;
  ASSERT_EQ(1, LoadNote(&note, in.get()));
  EXPECT_EQ(6, in.position());
  EXPECT_EQ(0x31, note.flags);
  EXPECT_EQ(1, note.type);
  EXPECT_EQ(2, note.duration);
  EXPECT_EQ(3, note.tuplet);
  EXPECT_EQ(4, note.dynamic);
  EXPECT_EQ(5, note.fret);
  EXPECT_EQ(0, note.leftFinger);
  EXPECT_EQ(nullptr, note.effects);
}

TEST(Note, FingeringFollowsTheFretAndBitsWithoutDataReadNothing) {
  MemoryStream in(Bytes().raw({0xA6, 1, 5, 2, 3, 0xEE}));
  Note note;
  ASSERT_EQ(1, LoadNote(&note, in.get()));
  EXPECT_EQ(5, in.position());
  EXPECT_EQ(1, note.type);
  EXPECT_EQ(5, note.fret);
  EXPECT_EQ(2, note.leftFinger);
  EXPECT_EQ(3, note.rightFinger);
}

TEST(Note, EmptyEffectsAreThreeBytesAndAZeroedRecord) {
  MemoryStream in(Bytes().raw({0x08, 0x00, 0x00, 0xEE}));
  Note note;
  ASSERT_EQ(1, LoadNote(&note, in.get()));
  EXPECT_EQ(3, in.position());
  ASSERT_NE(nullptr, note.effects);
  static const NoteEffects zero{};
  EXPECT_EQ(0, std::memcmp(note.effects, &zero, sizeof zero));
  EXPECT_EQ(nullptr, note.effects->bend);
  FreeNote(&note);
  EXPECT_EQ(nullptr, note.effects);
}

TEST(Note, PairsFailAsAWhole) {
  // Duration/tuplet pair and fingering pair cut after their first byte.
  for (const Bytes& cut : {Bytes().raw({0x01, 4}), Bytes().raw({0x80, 1})}) {
    MemoryStream in(cut);
    Note note;
    EXPECT_EQ(0, LoadNote(&note, in.get()));
    EXPECT_EQ(nullptr, note.effects);
  }
}

TEST(NoteEffects, ReadsEveryPartInFileOrder) {
  NoteEffectsRecord r;
  r.flags1 = 0x11;
  r.flags2 = 0x3C;
  r.bend.points = {{0, 0, 0}, {60, 75, 1}};
  MemoryStream in(Bytes(r.bytes()).u8(0xEE));
  NoteEffects* effects = LoadNoteEffects(in.get());
  ASSERT_NE(nullptr, effects);
  EXPECT_EQ(static_cast<long>(2 + 27 + 4 + 3 + 2), in.position());
  ASSERT_NE(nullptr, effects->bend);
  EXPECT_EQ(75, effects->bend->points[1].value);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r.grace[i], effects->grace[i]);
  EXPECT_EQ(5, effects->tremoloPicking);
  EXPECT_EQ(6, effects->slide);
  EXPECT_EQ(7, effects->harmonic);
  EXPECT_EQ(8, effects->trill[0]);
  EXPECT_EQ(9, effects->trill[1]);
  FreeNoteEffects(&effects);
}

