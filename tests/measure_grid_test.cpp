// Reader of the measure grid: cell order, counts, and that every failure
// releases the whole song body.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "song/song_internal.h"
#include "support/beat_builder.h"
#include "support/byte_builder.h"
#include "support/record_reading.h"
#include "support/failing_alloc.h"

using namespace Tolvenar;
using namespace orlix_test;

namespace {

char* Text(const char* s) {
  char* copy = static_cast<char*>(malloc(strlen(s) + 1));
  strcpy(copy, s);
  return copy;
}

// A song whose header and track arrays are filled as the body reader leaves
// them before the grid, with a marker and track names to release.
struct SongWithBody {
  FileStruct song{};

  SongWithBody(uint32_t measures, uint32_t tracks) {
    song.measureCount = measures;
    song.trackCount = tracks;
    song.measureHeaders = static_cast<MeasureHeader*>(calloc(measures + 1, sizeof(MeasureHeader)));
    song.tracks = static_cast<Track*>(calloc(tracks + 1, sizeof(Track)));
    if (measures > 0) {
      song.measureHeaders[0].flags = kMeasureMarker;
      song.measureHeaders[0].marker = static_cast<MeasureMarker*>(calloc(1, sizeof(MeasureMarker)));
      song.measureHeaders[0].marker->text = Text("Intro");
    }
    for (uint32_t t = 0; t < tracks; ++t) song.tracks[t].name = Text("Guitar");
  }
  ~SongWithBody() { FreeSongBody(&song, song.measureCount, song.trackCount); }
  int Load(FILE* stream) { return LoadMeasureGrid(&song, stream, song.measureCount, song.trackCount); }
  bool BodyReleased() const { return !song.measureHeaders && !song.tracks && !song.measures; }
};

BeatRecord NoteBeat(uint8_t fret) {
  BeatRecord beat;
  beat.strings = 0x40;
  NoteRecord note;
  note.fret = fret;
  beat.notes = {note};
  return beat;
}

// 2 measures x 2 tracks holding every kind of attachment.
Bytes RichGrid() {
  BeatRecord chordBeat;
  chordBeat.flags = 0x1E;  // chord, text, effects, mix table
  OldChordRecord oldChord;
  oldChord.baseFret = 3;
  chordBeat.chord = oldChord.bytes();
  chordBeat.text = "Intro";
  BeatEffectsRecord effects;
  effects.flags1 = 0x60;
  effects.flags2 = 0x06;
  effects.tremoloBar.points = {{0, 0, 0}, {60, -50, 1}};
  chordBeat.effects = effects.bytes();
  MixTableRecord mix;
  mix.instrument = 30;
  mix.volume = 10;
  mix.tempo = 140;
  chordBeat.mixTable = mix.bytes();
  chordBeat.strings = 0x41;
  NoteRecord bent;
  bent.flags = 0x38;
  bent.effects.flags1 = 0x11;
  bent.effects.flags2 = 0x24;
  bent.effects.bend.points = {{0, 0, 0}, {30, 100, 0}};
  chordBeat.notes = {bent, NoteRecord()};

  BeatRecord newChordBeat;
  newChordBeat.flags = 0x62;  // status, tuplet, chord
  NewChordRecord newChord;
  newChord.name = "Cmaj7";
  newChordBeat.chord = newChord.bytes();

  BeatRecord rest;
  rest.flags = 0x40;
  rest.status = 2;

  Bytes b;
  b.append(GridCellBytes({chordBeat, NoteBeat(1)}));
  b.append(GridCellBytes({}));
  b.append(GridCellBytes({newChordBeat, rest}));
  b.append(GridCellBytes({NoteBeat(4)}));
  return b;
}

}  // namespace

TEST(MeasureGrid, CellsAreReadMeasureMajor) {
  Bytes b;
  for (uint8_t fret : {10, 11, 12, 13}) b.append(GridCellBytes({NoteBeat(fret)}));
  MemoryStream in(Bytes(b).u8(0xEE));
  SongWithBody body(2, 2);
  ASSERT_EQ(1, body.Load(in.get()));
  EXPECT_EQ(static_cast<long>(b.size()), in.position());
  EXPECT_EQ(10, body.song.measures[0][0].beats[0].notes[0].fret);
  EXPECT_EQ(11, body.song.measures[0][1].beats[0].notes[0].fret);
  EXPECT_EQ(12, body.song.measures[1][0].beats[0].notes[0].fret);
  EXPECT_EQ(13, body.song.measures[1][1].beats[0].notes[0].fret);
  EXPECT_NE(nullptr, body.song.measureHeaders) << "success keeps the body";
}

TEST(MeasureGrid, RowsWithoutCellsReadNothing) {
  MemoryStream in(Bytes().u32(5));
  SongWithBody body(3, 0);
  ASSERT_EQ(1, body.Load(in.get()));
  EXPECT_EQ(0, in.position());
  for (int m = 0; m < 3; ++m) EXPECT_NE(nullptr, body.song.measures[m]);
}

TEST(MeasureGrid, ZeroBeatCountIsAValidEmptyCell) {
  MemoryStream in(Bytes().u32(0));
  SongWithBody body(1, 1);
  ASSERT_EQ(1, body.Load(in.get()));
  EXPECT_EQ(4, in.position());
  EXPECT_EQ(0u, body.song.measures[0][0].beatCount);
}

TEST(MeasureGrid, ReadsEveryAttachmentOfARichGrid) {
  MemoryStream in(RichGrid());
  SongWithBody body(2, 2);
  ASSERT_EQ(1, body.Load(in.get()));
  EXPECT_EQ(static_cast<long>(RichGrid().size()), in.position());
  const Beat& first = body.song.measures[0][0].beats[0];
  EXPECT_EQ(3, first.chord->baseFret);
  EXPECT_STREQ("Intro", first.text);
  EXPECT_EQ(-50, first.effects->tremoloBar->points[1].value);
  EXPECT_EQ(140, first.mixTable->tempo);
  EXPECT_EQ(100, first.notes[0].effects->bend->points[1].value);
  EXPECT_EQ(0u, body.song.measures[0][1].beatCount);
  EXPECT_STREQ("Cmaj7", body.song.measures[1][0].beats[0].chord->name);
  EXPECT_EQ(2, body.song.measures[1][0].beats[1].status);
}

TEST(MeasureGrid, EveryTruncationFailsAndReleasesTheBody) {
  Bytes whole = RichGrid();
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    MemoryStream in(whole.prefix(cut));
    SongWithBody body(2, 2);
    EXPECT_EQ(0, body.Load(in.get())) << "cut at " << cut;
    EXPECT_TRUE(body.BodyReleased()) << "cut at " << cut;
  }
}

TEST(MeasureGrid, EveryFailedAllocationFailsCleanly) {
  MemoryStream in(RichGrid());
  long n = 0;
  long runs = SweepAllocationFailures([&] {
    ++n;
    rewind(in.get());
    FailAllocationNumber(0);  // the fixture's own allocations never fail
    SongWithBody body(2, 2);
    FailAllocationNumber(n);
    int ok = body.Load(in.get());
    if (AllocationFailed()) {
      EXPECT_EQ(0, ok) << "allocation " << n;
      EXPECT_TRUE(body.BodyReleased()) << "allocation " << n;
    } else {
      EXPECT_EQ(1, ok);
    }
  });
  // Row array, 2 rows, 4 beat arrays; first beat: chord + name, text, effects +
  // curve + points, mix table, note effects + curve + points; new chord + name.
  EXPECT_EQ(7 + 10 + 2 + 1, runs);
}

TEST(MeasureGrid, HugeBeatCountInATinyStreamFailsBeforeAllocatingBeats) {
  for (uint32_t count : {1000000u, 0xFFFFFFFFu}) {
    MemoryStream in(Bytes().u32(count).raw({0x00, 0x00, 0x00}));
    SongWithBody body(1, 1);
    FailAllocationNumber(1000);  // counts calls without refusing any
    EXPECT_EQ(0, body.Load(in.get())) << count;
    EXPECT_EQ(2, AllocationCalls()) << "the row array and the row only";
    FailAllocationNumber(0);
    EXPECT_TRUE(body.BodyReleased());
  }
}

TEST(MeasureGrid, GridTooLargeForTheStreamFailsBeforeAllocatingRows) {
  MemoryStream in(Bytes().u32(0).u32(0));
  FileStruct song{};
  FailAllocationNumber(1000);
  EXPECT_EQ(0, LoadMeasureGrid(&song, in.get(), 100000, 100000));
  EXPECT_EQ(0, AllocationCalls());
  FailAllocationNumber(0);
  EXPECT_EQ(nullptr, song.measures);
}
