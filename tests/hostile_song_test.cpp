// Song files with values outside every range the converter relies on, built
// byte by byte and taken through the whole path (load from a file, export
// through the flat interface, and the same through a song handle): the
// conversion ends and the output is a valid MIDI file whose data bytes all
// lie below 0x80.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "orlix/orlix.h"
#include "orlix/tolvenar.h"
#include "support/midi_decoder.h"
#include "support/midi_validator.h"
#include "support/song_file.h"

using namespace orlix_test;

namespace {

// One 4/4 measure, one six-string track on port 1 channel 1 (effects 2),
// a whole-note beat with notes on the two highest strings (64 and 60).
SongFile PlainSong() {
  SongFile song;
  song.measures = {Signature(4, 4)};
  song.tracks = {TrackRecord()};
  song.cells = {{{NotesBeat(-2, {{0, 0}, {1, 1}})}}};
  return song;
}

BeatRecord& FirstBeat(SongFile& song) { return song.cells[0][0][0]; }

BeatRecord WithMixTable(BeatRecord beat, const MixTableRecord& mix) {
  beat.flags |= 0x10;
  beat.mixTable = mix.bytes();
  return beat;
}

struct Export {
  bool loaded = false;
  std::string problem = "not exported";
  MidiSummary summary;
  DecodedFile decoded;
};

// Load from a file into the slot, export, validate, release.
Export ExportSong(const Bytes& bytes) {
  Export out;
  TempSongFile file(bytes);
  if (!file.ok() || ORLIX_Load(file.path()) != 1) return out;
  out.loaded = true;
  unsigned char* buffer = nullptr;
  int size = 0;
  if (ORLIX_CreateMidiBuffer(&buffer, &size) == 1 && buffer != nullptr) {
    out.problem = ValidateMidiFile(buffer, static_cast<size_t>(size), &out.summary);
    out.decoded = DecodeFile(buffer, static_cast<size_t>(size));
    // The handle path converts the same song to the same bytes.
    ORLIX_Song* song = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), nullptr);
    unsigned char* converted = nullptr;
    size_t length = 0;
    if (!song || !ORLIX_ToMidi(song, nullptr, &converted, &length, nullptr) ||
        length != static_cast<size_t>(size) || memcmp(converted, buffer, length) != 0)
      out.problem = "the handle's conversion differs from the flat export";
    ORLIX_DestroyMidiBuffer(converted);
    ORLIX_Close(song);
  }
  ORLIX_DestroyMidiBuffer(buffer);
  ORLIX_Unload();
  return out;
}

struct HostileCase {
  const char* name;
  std::function<void(SongFile&)> change;
  long noteOns;  // -1: any number
};

class HostileSong : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileSong, ConvertsToAValidMidiFile) {
  SongFile song = PlainSong();
  GetParam().change(song);
  Export e = ExportSong(song.bytes());
  ASSERT_TRUE(e.loaded);
  EXPECT_EQ("", e.problem);
  EXPECT_TRUE(e.decoded.wellFormed);
  EXPECT_EQ(song.tracks.size() + 1, e.summary.trackCount);
  if (GetParam().noteOns >= 0) {
    EXPECT_EQ(static_cast<unsigned long>(GetParam().noteOns), e.summary.noteOns);
  }
}

// Ports and channels: a track outside the table gets no program or volume;
// one whose main channel is invalid plays no notes.
const HostileCase kChannelCases[] = {
    {"Port0", [](SongFile& s) { s.tracks[0].port = 0; }, 2},
    {"Port5", [](SongFile& s) { s.tracks[0].port = 5; }, 2},
    {"Port17", [](SongFile& s) { s.tracks[0].port = 17; }, 2},
    {"PortMinus1", [](SongFile& s) { s.tracks[0].port = -1; }, 2},
    {"PortIntMax", [](SongFile& s) { s.tracks[0].port = INT32_MAX; }, 2},
    {"Channel0", [](SongFile& s) { s.tracks[0].channel = 0; }, 0},
    {"Channel5", [](SongFile& s) { s.tracks[0].channel = 5; }, 2},
    {"Channel17", [](SongFile& s) { s.tracks[0].channel = 17; }, 0},
    {"ChannelMinus1", [](SongFile& s) { s.tracks[0].channel = -1; }, 0},
    {"ChannelIntMax", [](SongFile& s) { s.tracks[0].channel = INT32_MAX; }, 0},
    {"EffectsChannel0", [](SongFile& s) { s.tracks[0].effectsChannel = 0; }, 2},
    {"EffectsChannel17", [](SongFile& s) { s.tracks[0].effectsChannel = 17; }, 2},
    {"EffectsChannelMinus1", [](SongFile& s) { s.tracks[0].effectsChannel = -1; }, 2},
    {"EffectsChannelIntMax", [](SongFile& s) { s.tracks[0].effectsChannel = INT32_MAX; }, 2},
    {"AllChannelsBadWithMixTable",
     [](SongFile& s) {
       s.tracks[0].channel = 17;
       s.tracks[0].effectsChannel = -1;
       MixTableRecord mix;
       mix.instrument = 5;
       mix.volume = 3;
       FirstBeat(s) = WithMixTable(FirstBeat(s), mix);
     },
     0},
};
INSTANTIATE_TEST_SUITE_P(Channels, HostileSong, ::testing::ValuesIn(kChannelCases),
                         [](const ::testing::TestParamInfo<HostileCase>& c) { return c.param.name; });

MixTableRecord MixInstrument(int8_t instrument) {
  MixTableRecord mix;
  mix.instrument = instrument;
  return mix;
}

// Programs above 127, in the channel table and in mix tables, and volume
// bytes whose arithmetic leaves 0..16.
const HostileCase kProgramCases[] = {
    {"TableProgram128", [](SongFile& s) { s.head.channels[0][0].instrument = 128; }, 2},
    {"TableProgram255", [](SongFile& s) { s.head.channels[0][0].instrument = 255; }, 2},
    {"TableProgramMinus1", [](SongFile& s) { s.head.channels[0][0].instrument = -1; }, 2},
    {"TableProgramIntMax", [](SongFile& s) { s.head.channels[0][0].instrument = INT32_MAX; }, 2},
    {"TableVolume255", [](SongFile& s) { s.head.channels[0][0].volume = 255; }, 2},
    {"MixProgram128", [](SongFile& s) { FirstBeat(s) = WithMixTable(FirstBeat(s), MixInstrument(-128)); }, 2},
    {"MixProgramMinus2", [](SongFile& s) { FirstBeat(s) = WithMixTable(FirstBeat(s), MixInstrument(-2)); }, 2},
    {"MixVolume128",
     [](SongFile& s) {
       MixTableRecord mix;
       mix.volume = -128;
       FirstBeat(s) = WithMixTable(FirstBeat(s), mix);
     },
     2},
};
INSTANTIATE_TEST_SUITE_P(Programs, HostileSong, ::testing::ValuesIn(kProgramCases),
                         [](const ::testing::TestParamInfo<HostileCase>& c) { return c.param.name; });

// Pitches above 127 are not played; dynamics outside 1..8 play at the
// default velocity.
const HostileCase kNoteCases[] = {
    {"Tuning120Fret20",
     [](SongFile& s) {
       s.tracks[0].tuning[0] = 120;
       FirstBeat(s).notes[0].fret = 20;
     },
     1},
    {"TuningMinus10", [](SongFile& s) { s.tracks[0].tuning[0] = -10; }, 1},
    {"TuningIntMin", [](SongFile& s) { s.tracks[0].tuning[0] = INT32_MIN; }, -1},
    {"TuningIntMaxFret1", [](SongFile& s) { s.tracks[0].tuning[1] = INT32_MAX; }, -1},
    {"Fret255", [](SongFile& s) { FirstBeat(s).notes[1].fret = 255; }, -1},
    {"Dynamic0",
     [](SongFile& s) {
       FirstBeat(s).notes[0].flags = 0x30;
       FirstBeat(s).notes[0].dynamic = 0;
     },
     2},
    {"Dynamic9",
     [](SongFile& s) {
       FirstBeat(s).notes[0].flags = 0x30;
       FirstBeat(s).notes[0].dynamic = 9;
     },
     2},
    {"Dynamic255",
     [](SongFile& s) {
       FirstBeat(s).notes[0].flags = 0x30;
       FirstBeat(s).notes[0].dynamic = 255;
     },
     2},
    {"NoteType255", [](SongFile& s) { FirstBeat(s).notes[0].type = 255; }, 1},
};
INSTANTIATE_TEST_SUITE_P(Notes, HostileSong, ::testing::ValuesIn(kNoteCases),
                         [](const ::testing::TestParamInfo<HostileCase>& c) { return c.param.name; });

// Time signatures and tempos without meaning.
const HostileCase kTimeCases[] = {
    {"FirstMeasureWithoutDenominator",
     [](SongFile& s) {
       s.measures[0].flags = 0x01;
       s.measures[0].numerator = 3;
     },
     2},
    {"DenominatorZero", [](SongFile& s) { s.measures[0].denominator = 0; }, 2},
    {"DenominatorZeroLater",
     [](SongFile& s) {
       s.measures.push_back(Signature(5, 0));
       s.cells.push_back(std::vector<std::vector<BeatRecord>>(1, {NotesBeat(0, {{2, 2}})}));
     },
     3},
    {"NoSignatureAtAll", [](SongFile& s) { s.measures[0].flags = 0; }, 0},
    {"Numerator0", [](SongFile& s) { s.measures[0].numerator = 0; }, 0},
    {"Signature255Over3", [](SongFile& s) { s.measures[0] = Signature(255, 3); }, 2},
    {"SongTempo0", [](SongFile& s) { s.head.tempo = 0; }, 2},
    {"SongTempoMinus1", [](SongFile& s) { s.head.tempo = -1; }, 2},
    {"SongTempoIntMin", [](SongFile& s) { s.head.tempo = INT32_MIN; }, 2},
    {"SongTempo1", [](SongFile& s) { s.head.tempo = 1; }, 2},
    {"MixTempo0",
     [](SongFile& s) {
       MixTableRecord mix;
       mix.tempo = 0;
       FirstBeat(s) = WithMixTable(FirstBeat(s), mix);
     },
     2},
    {"MixTempoNegative",
     [](SongFile& s) {
       MixTableRecord mix;
       mix.tempo = INT32_MIN;
       FirstBeat(s) = WithMixTable(FirstBeat(s), mix);
     },
     2},
};
INSTANTIATE_TEST_SUITE_P(Time, HostileSong, ::testing::ValuesIn(kTimeCases),
                         [](const ::testing::TestParamInfo<HostileCase>& c) { return c.param.name; });

BeatRecord TupletBeat(int32_t tuplet) {
  BeatRecord beat = NotesBeat(0, {{0, 0}});
  beat.flags = 0x20;
  beat.tuplet = tuplet;
  return beat;
}

// Beat and track counts far outside their ranges.
const HostileCase kCountCases[] = {
    {"DurationMinus3", [](SongFile& s) { FirstBeat(s).duration = -3; }, 2},
    {"Duration5", [](SongFile& s) { FirstBeat(s).duration = 5; }, 2},
    {"Duration127", [](SongFile& s) { FirstBeat(s).duration = 127; }, 2},
    {"DurationMinus128", [](SongFile& s) { FirstBeat(s).duration = -128; }, 2},
    {"ManyShortDurations",
     [](SongFile& s) { s.cells[0][0] = std::vector<BeatRecord>(70, NotesBeat(127, {{0, 0}})); },
     64},
    {"StringCountIntMax", [](SongFile& s) { s.tracks[0].stringCount = INT32_MAX; }, 2},
    {"StringCountMinus1", [](SongFile& s) { s.tracks[0].stringCount = -1; }, 2},
    {"StringCountIntMin", [](SongFile& s) { s.tracks[0].stringCount = INT32_MIN; }, 2},
    {"StringCount0", [](SongFile& s) { s.tracks[0].stringCount = 0; }, 0},
    {"TupletIntMin", [](SongFile& s) { s.cells[0][0] = {TupletBeat(INT32_MIN), TupletBeat(INT32_MAX)}; }, 2},
    {"TupletZero", [](SongFile& s) { s.cells[0][0] = {TupletBeat(0), TupletBeat(-3)}; }, 2},
    {"MaskHighBit", [](SongFile& s) { FirstBeat(s).strings |= 0x80; }, 2},
    {"RepeatCount255",
     [](SongFile& s) {
       s.measures[0].flags |= 0x04 | 0x08;
       s.measures[0].repeatCount = 255;
     },
     512},
};
INSTANTIATE_TEST_SUITE_P(Counts, HostileSong, ::testing::ValuesIn(kCountCases),
                         [](const ::testing::TestParamInfo<HostileCase>& c) { return c.param.name; });

// The longest measure the format can state (255/1, 489,600 ticks at the
// export's resolution), repeated 255 times: 125 million ticks, every delta
// still within four bytes, the walk ends.
TEST(HostileSongWalk, Measure255Over1Walked256Times) {
  SongFile song = PlainSong();
  song.measures[0] = Signature(255, 1);
  song.measures[0].flags |= 0x04 | 0x08 | 0x20;
  song.measures[0].repeatCount = 255;
  Export e = ExportSong(song.bytes());
  ASSERT_TRUE(e.loaded);
  EXPECT_EQ("", e.problem);
  EXPECT_EQ(2u * 256, e.summary.noteOns);
  ASSERT_EQ(2u, e.decoded.chunks.size());
  const std::vector<std::string>& conductor = e.decoded.chunks[0].rows;
  EXPECT_EQ(256u, RowsOfKind(conductor, {"marker"}).size());
  EXPECT_EQ(std::to_string(255ull * 489600) + " marker Marker", RowsOfKind(conductor, {"marker"}).back());
}

// The namespaced converter at resolutions the flat interface never uses:
// 0 and 256 make measures of no ticks, 1 and 255 the shortest and longest.
class HostileResolution : public ::testing::TestWithParam<uint32_t> {};

TEST_P(HostileResolution, ConvertsToAValidMidiFile) {
  SongFile song = EveryRecordSong();
  song.cells[0][0].push_back(TupletBeat(3));
  MemoryStream in(song.bytes());
  Tolvenar::FileStruct loaded;
  ASSERT_EQ(1, Tolvenar::LoadFileStruct(&loaded, in.get()));
  Tolvenar::MidiFileStruct midi;
  ASSERT_EQ(1, Tolvenar::InitMidiFileStruct(&midi, loaded.trackCount + 1, 480));
  EXPECT_EQ(1, Tolvenar::ToMidi(&loaded, &midi, GetParam()));
  Tolvenar::Byte* buffer = nullptr;
  uint32_t size = Tolvenar::CreateMidiBuffer(&midi, &buffer);
  ASSERT_NE(nullptr, buffer);
  MidiSummary summary;
  EXPECT_EQ("", ValidateMidiFile(buffer, size, &summary));
  if ((GetParam() & 0xFF) == 0) {
    EXPECT_EQ(0u, summary.noteOns);
  } else {
    EXPECT_LT(0u, summary.noteOns);
  }
  Tolvenar::DestroyMidiBuffer(buffer);
  Tolvenar::FreeMidiFileStruct(&midi);
  Tolvenar::FreeFileStruct(&loaded);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, HostileResolution, ::testing::Values(0u, 1u, 255u, 256u));

}  // namespace
