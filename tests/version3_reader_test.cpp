// Version 3 songs: each record version 3 shapes differently (song block,
// chord diagram, beat effects, note effects, mix table) opens into the
// records a version 4 file of the same music gives, and converts to its
// bytes; a song holding every version 3 record opens alike from every
// source, keeps every pointer rule, and fails cleanly at every cut.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "orlix/orlix.h"
#include "support/handle_midi.h"
#include "support/midi_validator.h"
#include "support/playback_options.h"
#include "support/record_reading.h"
#include "support/record_rules.h"
#include "support/song_checks.h"
#include "support/song_file.h"

using namespace orlix_test;

namespace {

// The version 3 bytes open as a handle of format 3 into the records that
// LoadFileStruct gives for the version 4 bytes, apart from the version text
// and the lyrics (none in version 3), and convert to the same MIDI bytes.
::testing::AssertionResult OpensAsItsVersion4Twin(const Bytes& version3, const Bytes& version4) {
  ORLIX_Error error;
  ORLIX_Song* handle = ORLIX_OpenMemory(version3.data.data(), version3.size(), &error);
  if (!handle) return ::testing::AssertionFailure() << "version 3 bytes refused: " << error.message;
  ORLIX_Song* twin = ORLIX_OpenMemory(version4.data.data(), version4.size(), &error);
  MemoryStream in(version4);
  Tolvenar::FileStruct reference;
  if (!twin || !Tolvenar::LoadFileStruct(&reference, in.get())) {
    ORLIX_Close(handle);
    ORLIX_Close(twin);
    return ::testing::AssertionFailure() << "version 4 bytes refused";
  }
  const Tolvenar::FileStruct& opened = *ORLIX_GetSong(handle);
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  std::string broken = RecordRuleProblem(opened);
  if (ORLIX_GetFormat(handle) != 3) result = ::testing::AssertionFailure() << "format " << ORLIX_GetFormat(handle);
  if (!broken.empty()) result = ::testing::AssertionFailure() << broken;
  if (opened.lyricsTrack != 0) result = ::testing::AssertionFailure() << "a lyrics track";
  for (const char* line : opened.lyricsLines)
    if (line) result = ::testing::AssertionFailure() << "a lyrics line";
  free(reference.version);
  reference.version = opened.version;
  for (char*& line : reference.lyricsLines) {
    free(line);
    line = nullptr;
  }
  reference.lyricsTrack = 0;
  if (result) result = SameSong(reference, opened);
  if (result && HandleMidi(handle) != HandleMidi(twin)) result = ::testing::AssertionFailure() << "MIDI bytes differ";
  reference.version = nullptr;
  Tolvenar::FreeFileStruct(&reference);
  ORLIX_Close(handle);
  ORLIX_Close(twin);
  return result;
}

// ------------------------------------------------------- record by record

// One 4/4 measure and one track whose whole-note beat has notes on the two
// highest strings; the version 4 twin has no lyrics.
SongFile PlainSong(int format) {
  SongFile song;
  if (format == 3) song.head = Version3Head();
  song.head.lyricsTrack = 0;
  song.measures = {Signature(4, 4)};
  song.tracks = {TrackRecord()};
  song.cells = {{{NotesBeat(-2, {{0, 0}, {1, 1}})}}};
  return song;
}

BeatRecord& FirstBeat(SongFile& song) { return song.cells[0][0][0]; }

struct TwinCase {
  const char* name;
  std::function<void(SongFile&)> version3;
  std::function<void(SongFile&)> version4;
};

void PrintTo(const TwinCase& c, std::ostream* out) { *out << c.name; }

class Version3Twin : public ::testing::TestWithParam<TwinCase> {};

TEST_P(Version3Twin, OpensIntoTheVersion4Records) {
  SongFile version3 = PlainSong(3);
  SongFile version4 = PlainSong(4);
  GetParam().version3(version3);
  GetParam().version4(version4);
  EXPECT_TRUE(OpensAsItsVersion4Twin(version3.bytes(), version4.bytes()));
}

std::string CaseName(const ::testing::TestParamInfo<TwinCase>& c) { return c.param.name; }

// The key is an int32 in both formats; version 4 puts its octave byte
// behind it, and the record splits the five bytes into key and octave.
std::function<void(SongFile&)> Version3Key(int32_t key) {
  return [key](SongFile& s) { s.head.version3Key = key; };
}
std::function<void(SongFile&)> Version4Key(uint8_t key, int32_t octave) {
  return [key, octave](SongFile& s) {
    s.head.key = key;
    s.head.octave = octave;
  };
}

const TwinCase kSongBlockCases[] = {
    {"KeyZero", Version3Key(0), Version4Key(0, 0)},
    {"KeyFive", Version3Key(5), Version4Key(5, 0)},
    {"FlatKey", Version3Key(-1), Version4Key(0xFF, 0x00FFFFFF)},
    {"KeyWithHighBytes", Version3Key(0x01020304), Version4Key(4, 0x00010203)},
    {"TempoTripletFeelChannelsAndNotice",
     [](SongFile& s) {
       s.head.tempo = 96;
       s.head.tripletFeel = 1;
       s.head.channels[3][15].instrument = 120;
       s.head.channels[3][15].tremolo = 9;
       s.head.notice = {"one", "two"};
     },
     [](SongFile& s) {
       s.head.tempo = 96;
       s.head.tripletFeel = 1;
       s.head.channels[3][15].instrument = 120;
       s.head.channels[3][15].tremolo = 9;
       s.head.notice = {"one", "two"};
     }},
};
INSTANTIATE_TEST_SUITE_P(SongBlock, Version3Twin, ::testing::ValuesIn(kSongBlockCases), CaseName);

std::function<void(SongFile&)> WithVersion3Effects(uint8_t flags, uint8_t kind, int32_t depth) {
  return [=](SongFile& s) {
    FirstBeat(s).flags |= 0x08;
    FirstBeat(s).effects = Version3Effects(flags, kind, depth).bytes();
  };
}

BeatEffectsRecord Effects(uint8_t flags1, uint8_t flags2) {
  BeatEffectsRecord effects;
  effects.flags1 = flags1;
  effects.flags2 = flags2;
  return effects;
}

std::function<void(SongFile&)> WithEffects(const BeatEffectsRecord& effects) {
  return [=](SongFile& s) {
    FirstBeat(s).flags |= 0x08;
    FirstBeat(s).effects = effects.bytes();
  };
}

BeatEffectsRecord Tapping(uint8_t kind) {
  BeatEffectsRecord effects = Effects(0x20, 0);
  effects.tapSlapPop = kind;
  return effects;
}

// What a version 4 file stores for a dip of this depth: down to -depth
// halfway through the beat and back.
BeatEffectsRecord Dip(uint8_t flags1, int32_t depth, int32_t lowest) {
  BeatEffectsRecord effects = Effects(flags1, 0x04);
  effects.tremoloBar.type = 6;
  effects.tremoloBar.value = depth;
  effects.tremoloBar.points = {{0, 0, 0}, {30, lowest, 0}, {60, 0, 0}};
  return effects;
}

BeatEffectsRecord Strokes(uint8_t flags1, uint8_t down, uint8_t up) {
  BeatEffectsRecord effects = Effects(flags1, 0);
  effects.stroke[0] = down;
  effects.stroke[1] = up;
  return effects;
}

std::function<void(SongFile&)> WithVersion3Strokes(uint8_t flags, uint8_t down, uint8_t up) {
  return [=](SongFile& s) {
    Version3BeatEffectsRecord effects = Version3Effects(flags, 0, 0);
    effects.stroke[0] = down;
    effects.stroke[1] = up;
    FirstBeat(s).flags |= 0x08;
    FirstBeat(s).effects = effects.bytes();
  };
}

const TwinCase kBeatEffectCases[] = {
    {"Vibrato", WithVersion3Effects(0x01, 0, 0), WithEffects(Effects(0x01, 0))},
    {"WideVibratoHarmonicsFadeIn", WithVersion3Effects(0x1E, 0, 0), WithEffects(Effects(0x1E, 0))},
    {"UnusedBitKept", WithVersion3Effects(0x80, 0, 0), WithEffects(Effects(0x80, 0))},
    {"Tap", WithVersion3Effects(0x20, 1, 0), WithEffects(Tapping(1))},
    {"Slap", WithVersion3Effects(0x20, 2, 0), WithEffects(Tapping(2))},
    {"PopWithAnUnusedValue", WithVersion3Effects(0x20, 3, 77), WithEffects(Tapping(3))},
    {"Dip", WithVersion3Effects(0x20, 0, 100), WithEffects(Dip(0, 100, -100))},
    {"DipOfIntMin", WithVersion3Effects(0x20, 0, INT32_MIN), WithEffects(Dip(0, INT32_MIN, INT32_MIN))},
    {"Stroke", WithVersion3Strokes(0x40, 3, 0), WithEffects(Strokes(0x40, 3, 0))},
    {"DipVibratoAndStroke",
     [](SongFile& s) {
       Version3BeatEffectsRecord effects = Version3Effects(0x61, 0, 50);
       effects.stroke[0] = 0;
       effects.stroke[1] = 4;
       FirstBeat(s).flags |= 0x08;
       FirstBeat(s).effects = effects.bytes();
     },
     [](SongFile& s) {
       BeatEffectsRecord effects = Dip(0x41, 50, -50);
       effects.stroke[0] = 0;
       effects.stroke[1] = 4;
       WithEffects(effects)(s);
     }},
};
INSTANTIATE_TEST_SUITE_P(BeatEffects, Version3Twin, ::testing::ValuesIn(kBeatEffectCases), CaseName);

// The first note of the beat with effects of the given flags, the bend and
// grace bytes of the records' defaults.
std::function<void(SongFile&)> WithNoteEffects(int format, uint8_t flags1, uint8_t flags2, uint8_t slide) {
  return [=](SongFile& s) {
    NoteRecord& note = FirstBeat(s).notes[0];
    note.flags |= 0x08;
    note.effects.format = format;
    note.effects.flags1 = flags1;
    note.effects.flags2 = flags2;
    note.effects.slide = slide;
    note.effects.bend = ThreePointCurve();
    note.effects.grace[0] = 3;
    note.effects.grace[1] = 6;
    note.effects.grace[2] = 0;
    note.effects.grace[3] = 2;
  };
}

const TwinCase kNoteEffectCases[] = {
    {"Bend", WithNoteEffects(3, 0x01, 0, 0), WithNoteEffects(4, 0x01, 0, 0)},
    {"HammerAndLetRing", WithNoteEffects(3, 0x0A, 0, 0), WithNoteEffects(4, 0x0A, 0, 0)},
    {"SlideAsAShiftSlide", WithNoteEffects(3, 0x04, 0, 0), WithNoteEffects(4, 0x04, 0x08, 1)},
    {"Grace", WithNoteEffects(3, 0x10, 0, 0), WithNoteEffects(4, 0x10, 0, 0)},
    {"AllFive", WithNoteEffects(3, 0x1F, 0, 0), WithNoteEffects(4, 0x1F, 0x08, 1)},
    {"UnusedBitsKept", WithNoteEffects(3, 0xE0, 0, 0), WithNoteEffects(4, 0xE0, 0, 0)},
};
INSTANTIATE_TEST_SUITE_P(NoteEffects, Version3Twin, ::testing::ValuesIn(kNoteEffectCases), CaseName);

std::function<void(SongFile&)> WithChord(const Bytes& chord) {
  return [=](SongFile& s) {
    FirstBeat(s).flags |= 0x02;
    FirstBeat(s).chord = chord;
  };
}

// A version 4 diagram holding what a version 3 one can: no reserved bytes
// after the name, no seventh string, no fingering.
NewChordRecord Version4Diagram() {
  NewChordRecord chord;
  chord.reserved2[0] = chord.reserved2[1] = 0;
  chord.frets[6] = -1;
  for (uint8_t& f : chord.fingering) f = 0xFE;
  chord.showFingering = 0;
  for (int i = 0; i < 5; ++i) chord.barreFrets[i] = chord.barreStarts[i] = chord.barreEnds[i] = 0;
  return chord;
}

// The default version 3 diagram: one barre, leftovers in the second entry.
NewChordRecord DefaultDiagramAsVersion4() {
  NewChordRecord chord = Version4Diagram();
  chord.name = "Cm7";
  const int32_t frets[7] = {-1, 3, 2, 0, 1, 0, -1};
  for (int s = 0; s < 7; ++s) chord.frets[s] = frets[s];
  chord.barreCount = 1;
  chord.barreFrets[0] = 14;
  chord.barreStarts[0] = 19;
  chord.barreEnds[0] = 24;
  return chord;
}

// A diagram "E" with two barres, as a real file holds it, in either
// layout: the fields the two share (the version 4 one has a seventh
// string, left unset here).
template <typename Chord>
Chord WithTwoBarreE(Chord chord) {
  chord.reserved1[0] = chord.reserved1[1] = chord.reserved1[2] = 0;
  chord.root = 4;
  chord.chordType = chord.extension = 0;
  chord.bass = 4;
  chord.diminishedAugmented = 0;
  chord.add = 0;
  chord.name = "E";
  chord.fifth = chord.ninth = chord.eleventh = 0;
  chord.baseFret = 1;
  const int32_t frets[6] = {4, 5, 4, 2, 2, 0};
  for (int s = 0; s < 6; ++s) chord.frets[s] = frets[s];
  chord.barreCount = 2;
  chord.barreFrets[0] = 2;
  chord.barreFrets[1] = 4;
  chord.barreStarts[0] = chord.barreStarts[1] = 1;
  chord.barreEnds[0] = 5;
  chord.barreEnds[1] = 3;
  const uint8_t omissions[7] = {0, 0, 0, 1, 1, 1, 1};
  for (int i = 0; i < 7; ++i) chord.omissions[i] = omissions[i];
  chord.reserved3 = 0;
  return chord;
}

Version3ChordRecord TwoBarreE() {
  Version3ChordRecord chord;
  chord.sharp = 1;
  return WithTwoBarreE(chord);
}

// Version4Diagram() leaves the seventh string at -1.
NewChordRecord TwoBarreEAsVersion4() { return WithTwoBarreE(Version4Diagram()); }

const TwinCase kChordCases[] = {
    {"OldLayoutWithFrets", WithChord(OldChordRecord().bytes()), WithChord(OldChordRecord().bytes())},
    {"OldLayoutWithoutFrets",
     [](SongFile& s) {
       OldChordRecord chord;
       chord.baseFret = 0;
       WithChord(chord.bytes())(s);
     },
     [](SongFile& s) {
       OldChordRecord chord;
       chord.baseFret = 0;
       WithChord(chord.bytes())(s);
     }},
    {"NewLayoutOneBarreWithLeftovers", WithChord(Version3ChordRecord().bytes()),
     WithChord(DefaultDiagramAsVersion4().bytes())},
    {"NewLayoutTwoBarres", WithChord(TwoBarreE().bytes()), WithChord(TwoBarreEAsVersion4().bytes())},
    {"NewLayoutNoBarreAndWideFields",
     [](SongFile& s) {
       Version3ChordRecord chord;
       chord.root = 0x104;
       chord.chordType = -1;
       chord.extension = 0x7FFFFFFF;
       chord.fifth = 0x1FF;
       chord.ninth = -2;
       chord.eleventh = 0x10000;
       chord.name = "ABCDEFGHIJKLMNOPQRST";
       chord.barreCount = 0;
       WithChord(chord.bytes())(s);
     },
     [](SongFile& s) {
       NewChordRecord chord = DefaultDiagramAsVersion4();
       chord.root = 4;
       chord.chordType = 0xFF;
       chord.extension = 0xFF;
       chord.fifth = 0xFF;
       chord.ninth = 0xFE;
       chord.eleventh = 0;
       chord.name = "ABCDEFGHIJKLMNOPQRST";
       chord.barreCount = 0;
       chord.barreFrets[0] = chord.barreStarts[0] = chord.barreEnds[0] = 0;
       WithChord(chord.bytes())(s);
     }},
};
INSTANTIATE_TEST_SUITE_P(Chords, Version3Twin, ::testing::ValuesIn(kChordCases), CaseName);

std::function<void(SongFile&)> WithMix(const MixTableRecord& mix) {
  return [=](SongFile& s) {
    FirstBeat(s).flags |= 0x10;
    FirstBeat(s).mixTable = mix.bytes();
  };
}

MixTableRecord InstrumentOnly(int format) {
  MixTableRecord mix;
  mix.format = format;
  mix.instrument = 25;
  return mix;
}

const TwinCase kMixTableCases[] = {
    {"EveryValue", WithMix(EveryValueMix(3)), WithMix(EveryValueMix(4))},
    {"InstrumentAlone", WithMix(InstrumentOnly(3)), WithMix(InstrumentOnly(4))},
};
INSTANTIATE_TEST_SUITE_P(MixTable, Version3Twin, ::testing::ValuesIn(kMixTableCases), CaseName);

// ------------------------------------------------------------ whole songs

// From memory, a path and a stream that starts after other bytes: the same
// records, every pointer rule kept, the stream left just after the song
// (a tail of zero bytes stays unread), and a valid MIDI file. The classic
// entry points keep refusing it.
TEST(Version3Song, OpensAlikeFromEverySource) {
  Bytes song = EveryRecordVersion3Song().bytes();
  TempSongFile file(song);
  ASSERT_TRUE(file.ok());
  Bytes placed = Bytes().text("abc").append(song).zeros(4);
  MemoryStream stream(placed);
  ASSERT_EQ(0, fseek(stream.get(), 3, SEEK_SET));
  ORLIX_Error error;
  ORLIX_Song* fromMemory = ORLIX_OpenMemory(song.data.data(), song.size(), &error);
  ASSERT_NE(nullptr, fromMemory) << error.message;
  ORLIX_Song* fromFile = ORLIX_OpenFile(file.path(), &error);
  ORLIX_Song* fromStream = ORLIX_OpenStream(stream.get(), &error);
  ASSERT_NE(nullptr, fromFile);
  ASSERT_NE(nullptr, fromStream);
  EXPECT_EQ(static_cast<long>(3 + song.size()), stream.position());
  const Tolvenar::FileStruct& records = *ORLIX_GetSong(fromMemory);
  EXPECT_EQ(3, ORLIX_GetFormat(fromMemory));
  EXPECT_STREQ("FICHIER GUITAR PRO v3.00", records.version);
  EXPECT_EQ("", RecordRuleProblem(records));
  EXPECT_TRUE(SameSong(records, *ORLIX_GetSong(fromFile)));
  EXPECT_TRUE(SameSong(records, *ORLIX_GetSong(fromStream)));
  std::vector<uint8_t> midi = HandleMidi(fromMemory);
  EXPECT_EQ("", ValidateMidiFile(midi.data(), midi.size()));
  EXPECT_TRUE(midi == HandleMidi(fromStream));
  ORLIX_Close(fromMemory);
  ORLIX_Close(fromFile);
  ORLIX_Close(fromStream);

  MemoryStream classic(song);
  Tolvenar::FileStruct refused;
  EXPECT_EQ(0, Tolvenar::LoadFileStruct(&refused, classic.get()));
  EXPECT_TRUE(HoldsNoPointer(refused));
  EXPECT_EQ(0, ORLIX_Load(file.path()));
  EXPECT_EQ(nullptr, theFileStruct);
}

// Every cut of the song, read with one allocation per record as the
// classic entry points read, fails as truncated inside the cut and releases
// its half-read records (the sanitizer build checks that none leaks); the
// handles' sweep of the same cuts is in the song handle tests.
TEST(Version3Song, EveryCutFailsWithNothingLeft) {
  Bytes whole = EveryRecordVersion3Song().bytes();
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    Tolvenar::FileStruct song;
    Tolvenar::ReadError error;
    ASSERT_EQ(0, ReadSongOnePerRecord(whole.data.data(), cut, &song, &error)) << cut;
    ASSERT_EQ(Tolvenar::kReadTruncated, error.kind) << cut;
    ASSERT_LE(error.offset, cut);
    ASSERT_TRUE(HoldsNoPointer(song)) << cut;
  }
}

}  // namespace
