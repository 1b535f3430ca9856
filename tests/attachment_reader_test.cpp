// Readers of the beat attachments: chord diagrams in both layouts (and the
// version 3 shape of the new one), beat effects, mix-table changes and bend
// curves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "song/song_internal.h"
#include "support/beat_builder.h"
#include "support/byte_builder.h"
#include "support/record_reading.h"
#include "support/failing_alloc.h"

using namespace Tolvenar;
using namespace orlix_test;

// ------------------------------------------------------------ chord diagrams

struct OldChordCase {
  int32_t baseFret;
  long size;  // for the two-letter name
};

class OldChordLayout : public testing::TestWithParam<OldChordCase> {};

TEST_P(OldChordLayout, ReadsNameBaseFretAndFretsOnlyWhenTheBaseFretIsSet) {
  OldChordRecord record;
  record.baseFret = GetParam().baseFret;
  MemoryStream in(Bytes(record.bytes()).u8(0xEE));
  ChordDiagram* chord = LoadChordDiagram(in.get());
  ASSERT_NE(nullptr, chord);
  EXPECT_EQ(GetParam().size, in.position());
  EXPECT_EQ(0, chord->format);
  EXPECT_STREQ("Am", chord->name);
  EXPECT_EQ(record.baseFret, chord->baseFret);
  for (int s = 0; s < 6; ++s) EXPECT_EQ(record.baseFret ? record.frets[s] : 0, chord->frets[s]);
  EXPECT_EQ(0, chord->frets[6]);
  EXPECT_EQ(0, chord->sharp);
  EXPECT_EQ(0, chord->bass);
  EXPECT_EQ(0, chord->showFingering);
  FreeChordDiagram(&chord);
  EXPECT_EQ(nullptr, chord);
}

INSTANTIATE_TEST_SUITE_P(BaseFrets, OldChordLayout,
                         testing::Values(OldChordCase{0, 10 + 2}, OldChordCase{3, 34 + 2}));

class NewChordLayout : public testing::TestWithParam<int> {};

TEST_P(NewChordLayout, Is107BytesWhateverTheNameLength) {
  NewChordRecord record;
  record.name = "ABCDEFGHIJKLMNOPQRST";
  record.nameLengthByte = GetParam();
  Bytes bytes = record.bytes();
  ASSERT_EQ(107u, bytes.size());
  // A name longer than its field takes in the bytes that follow it.
  std::string expectedName(bytes.data.begin() + 18, bytes.data.begin() + 18 + GetParam());
  MemoryStream in(Bytes(bytes).u8(0xEE));
  ChordDiagram* chord = LoadChordDiagram(in.get());
  ASSERT_NE(nullptr, chord);
  EXPECT_EQ(107, in.position());
  EXPECT_EQ(expectedName, std::string(chord->name));
  EXPECT_EQ(1, chord->format);
  EXPECT_EQ(record.sharp, chord->sharp);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(record.reserved1[i], chord->reserved1[i]);
  EXPECT_EQ(record.root, chord->root);
  EXPECT_EQ(record.chordType, chord->chordType);
  EXPECT_EQ(record.extension, chord->extension);
  EXPECT_EQ(record.bass, chord->bass);
  EXPECT_EQ(record.diminishedAugmented, chord->diminishedAugmented);
  EXPECT_EQ(record.add, chord->add);
  EXPECT_EQ(record.reserved2[0], chord->reserved2[0]) << "read at offset 38";
  EXPECT_EQ(record.reserved2[1], chord->reserved2[1]);
  EXPECT_EQ(record.fifth, chord->fifth);
  EXPECT_EQ(record.ninth, chord->ninth);
  EXPECT_EQ(record.eleventh, chord->eleventh);
  EXPECT_EQ(record.baseFret, chord->baseFret);
  for (int s = 0; s < 7; ++s) EXPECT_EQ(record.frets[s], chord->frets[s]);
  EXPECT_EQ(record.barreCount, chord->barreCount);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(record.barreFrets[i], chord->barreFrets[i]);
    EXPECT_EQ(record.barreStarts[i], chord->barreStarts[i]);
    EXPECT_EQ(record.barreEnds[i], chord->barreEnds[i]);
  }
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(record.omissions[i], chord->omissions[i]);
    EXPECT_EQ(record.fingering[i], chord->fingering[i]);
  }
  EXPECT_EQ(record.reserved3, chord->reserved3);
  EXPECT_EQ(record.showFingering, chord->showFingering);
  FreeChordDiagram(&chord);
}

INSTANTIATE_TEST_SUITE_P(NameLengths, NewChordLayout, testing::Values(0, 20, 25));

// Version 3's new layout is 125 bytes, its name in a 23-byte field; a name
// longer than the field reads on into the fields after it, which are still
// read from their own offsets.
class Version3NewChordLayout : public testing::TestWithParam<int> {};

TEST_P(Version3NewChordLayout, Is125BytesWhateverTheNameLength) {
  Version3ChordRecord record;
  record.name = "ABCDEFGHIJKLMNOPQRSTUV";
  record.nameLengthByte = GetParam();
  Bytes bytes = record.bytes();
  ASSERT_EQ(125u, bytes.size());
  std::string expectedName(bytes.data.begin() + 27, bytes.data.begin() + 27 + GetParam());
  MemoryStream in(Bytes(bytes).u8(0xEE));
  StreamReader reader(in.get());
  reader.get()->format = kFormat300;
  ChordDiagram* chord = nullptr;
  ASSERT_EQ(1, Tolvenar::LoadChordDiagram(&chord, reader.get()));
  EXPECT_EQ(125u, ReaderOffset(reader.get()));
  EXPECT_EQ(expectedName, std::string(chord->name, static_cast<size_t>(GetParam())));
  EXPECT_EQ('\0', chord->name[GetParam()]);
  EXPECT_EQ(record.fifth, chord->fifth) << "read at offset 49";
  EXPECT_EQ(record.ninth, chord->ninth);
  EXPECT_EQ(record.eleventh, chord->eleventh);
  EXPECT_EQ(record.baseFret, chord->baseFret);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(record.omissions[i], chord->omissions[i]);
  EXPECT_EQ(record.reserved3, chord->reserved3);
  FreeChordDiagram(&chord);
}

INSTANTIATE_TEST_SUITE_P(NameLengths, Version3NewChordLayout, testing::Values(0, 22, 40));

TEST(ChordDiagram, UnknownFormatFails) {
  for (uint8_t format : {2, 0xFF}) {
    Bytes bytes = NewChordRecord().bytes();
    bytes.data[0] = format;
    MemoryStream in(bytes);
    EXPECT_EQ(nullptr, LoadChordDiagram(in.get())) << int(format);
  }
}

// ------------------------------------------------------------- mix tables

struct MixCase {
  const char* name;
  MixTableRecord record;
  long size;
};

class MixTableSizes : public testing::TestWithParam<MixCase> {};

TEST_P(MixTableSizes, ReadsADurationOnlyForEachChangingValue) {
  const MixTableRecord& r = GetParam().record;
  MemoryStream in(Bytes(r.bytes()).u8(0xEE));
  MixTableChange* mix = LoadMixTableChange(in.get());
  ASSERT_NE(nullptr, mix);
  EXPECT_EQ(GetParam().size, in.position());
  EXPECT_EQ(r.instrument, mix->instrument);
  EXPECT_EQ(r.volume, mix->volume);
  EXPECT_EQ(r.tremolo, mix->tremolo);
  EXPECT_EQ(r.tempo, mix->tempo);
  EXPECT_EQ(r.volume != -1 ? r.volumeDuration : 0, mix->volumeDuration);
  EXPECT_EQ(r.balance != -1 ? r.balanceDuration : 0, mix->balanceDuration);
  EXPECT_EQ(r.tremolo != -1 ? r.tremoloDuration : 0, mix->tremoloDuration);
  EXPECT_EQ(r.tempo != -1 ? r.tempoDuration : 0, mix->tempoDuration);
  EXPECT_EQ(r.allTracks, mix->allTracks);
  free(mix);
}

MixTableRecord Mix(int8_t instrument, int8_t volume, int32_t tempo) {
  MixTableRecord r;
  r.instrument = instrument;
  r.volume = volume;
  r.tempo = tempo;
  r.volumeDuration = 7;
  r.tempoDuration = 9;
  r.allTracks = 0x41;
  return r;
}

MixTableRecord AllChanging() {
  MixTableRecord r = Mix(1, 2, 90);
  r.balance = r.chorus = r.reverb = r.phaser = r.tremolo = 3;
  r.balanceDuration = 4;
  r.tremoloDuration = 5;
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MixTableSizes,
    testing::Values(MixCase{"NothingChanges", Mix(-1, -1, -1), 12},
                    MixCase{"InstrumentHasNoDuration", Mix(5, -1, -1), 12},
                    MixCase{"VolumeThenTempoDuration", Mix(-1, 10, 120), 14},
                    MixCase{"EverythingChanges", AllChanging(), 19}),
    [](const testing::TestParamInfo<MixCase>& param) { return std::string(param.param.name); });

// ------------------------------------------------------------- beat effects

TEST(BeatEffects, ReadsEveryPartInFileOrder) {
  BeatEffectsRecord r;
  r.flags1 = 0x60;
  r.flags2 = 0x06;
  r.tremoloBar.points = {{0, -50, 0}, {60, 0, 1}};
  Bytes bytes = r.bytes();
  // tapSlapPop, then the 27-byte curve, then the strokes, then pickStroke.
  ASSERT_EQ(2u + 1 + 27 + 2 + 1, bytes.size());
  MemoryStream in(Bytes(bytes).u8(0xEE));
  BeatEffects* effects = LoadBeatEffects(in.get());
  ASSERT_NE(nullptr, effects);
  EXPECT_EQ(static_cast<long>(bytes.size()), in.position());
  EXPECT_EQ(0x60, effects->flags1);
  EXPECT_EQ(0x06, effects->flags2);
  EXPECT_EQ(1, effects->tapSlapPop);
  ASSERT_NE(nullptr, effects->tremoloBar);
  ASSERT_EQ(2u, effects->tremoloBar->pointCount);
  EXPECT_EQ(-50, effects->tremoloBar->points[0].value);
  EXPECT_EQ(60, effects->tremoloBar->points[1].position);
  EXPECT_EQ(2, effects->stroke[0]);
  EXPECT_EQ(3, effects->stroke[1]);
  EXPECT_EQ(4, effects->pickStroke);
  FreeBeatEffects(&effects);
  EXPECT_EQ(nullptr, effects);
}

TEST(BeatEffects, FlagsWithoutDataReadOnlyTheFlags) {
  MemoryStream in(Bytes().u8(0x9F).u8(0xF9).u8(0xEE));
  BeatEffects* effects = LoadBeatEffects(in.get());
  ASSERT_NE(nullptr, effects);
  EXPECT_EQ(2, in.position());
  EXPECT_EQ(nullptr, effects->tremoloBar);
  EXPECT_EQ(0, effects->tapSlapPop);
  FreeBeatEffects(&effects);
}

// ------------------------------------------------------------- bend curves

TEST(BendCurve, WithoutPointsIsNineBytes) {
  MemoryStream in(Bytes().u8(6).i32(-100).u32(0).u8(0xEE));
  BendCurve* curve = LoadBendCurve(in.get());
  ASSERT_NE(nullptr, curve);
  EXPECT_EQ(9, in.position());
  EXPECT_EQ(6, curve->type);
  EXPECT_EQ(-100, curve->value);
  EXPECT_EQ(0u, curve->pointCount);
  FreeBendCurve(&curve);
  EXPECT_EQ(nullptr, curve);
}

TEST(BendCurve, PointIntegersAreLittleEndian) {
  MemoryStream in(Bytes().u8(1).i32(0).u32(2)
                      .raw({0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF, 0xFF, 0xFF, 0x01})
                      .raw({0x00, 0x00, 0x00, 0x80, 0x10, 0x00, 0x00, 0x00, 0x00}));
  BendCurve* curve = LoadBendCurve(in.get());
  ASSERT_NE(nullptr, curve);
  EXPECT_EQ(27, in.position());
  EXPECT_EQ(0x04030201, curve->points[0].position);
  EXPECT_EQ(-2, curve->points[0].value);
  EXPECT_EQ(1, curve->points[0].vibrato);
  EXPECT_EQ(INT32_MIN, curve->points[1].position);
  EXPECT_EQ(16, curve->points[1].value);
  EXPECT_EQ(0, curve->points[1].vibrato);
  FreeBendCurve(&curve);
}

TEST(BendCurve, PointsCutShortFail) {
  BendCurveRecord r;
  r.points = {{1, 2, 3}, {4, 5, 6}};
  Bytes whole = r.bytes();
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    MemoryStream in(whole.prefix(cut));
    EXPECT_EQ(nullptr, LoadBendCurve(in.get())) << "cut at " << cut;
  }
}

TEST(BendCurve, HugePointCountInATinyStreamFailsBeforeAllocatingPoints) {
  for (uint32_t count : {1000000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    Bytes bytes = Bytes().u8(1).i32(0).u32(count).i32(1).i32(2).u8(3);
    MemoryStream in(bytes);
    FailAllocationNumber(1000);  // counts calls without refusing any
    EXPECT_EQ(nullptr, LoadBendCurve(in.get())) << count;
    EXPECT_EQ(1, AllocationCalls()) << "only the curve record was allocated";
    FailAllocationNumber(0);
  }
}

TEST(BendCurve, EveryFailedAllocationReturnsNull) {
  BendCurveRecord r;
  r.points = {{1, 2, 3}};
  MemoryStream in(r.bytes());
  long runs = SweepAllocationFailures([&] {
    rewind(in.get());
    BendCurve* curve = LoadBendCurve(in.get());
    if (AllocationFailed()) {
      EXPECT_EQ(nullptr, curve);
    }
    FreeBendCurve(&curve);
  });
  EXPECT_EQ(3, runs);
}
