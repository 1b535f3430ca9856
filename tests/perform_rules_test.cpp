// Full playback rule by rule: songs built byte by byte, loaded, performed at
// 480 ticks a quarter and read back as note rows "start length pitch
// velocity channel" (and wheel rows "tick channel value"). The track plays
// on channel 1 with effects channel 2 (0 and 1 in the rows), strings tuned
// 64 59 55 50 45 40.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "orlix/tolvenar.h"
#include "perform/perform.h"
#include "song/song_extras.h"
#include "support/performed_notes.h"
#include "support/song_file.h"

using namespace orlix_test;
using namespace Tolvenar;

namespace {

using Rows = std::vector<std::string>;

// ------------------------------------------------------------ song pieces

NoteRecord Fret(int fret, uint8_t type = 1) {
  NoteRecord note;
  note.flags = 0x20;
  note.type = type;
  note.fret = static_cast<uint8_t>(fret);
  return note;
}
NoteRecord Tie() { return Fret(0, 2); }
NoteRecord Dead(int fret) { return Fret(fret, 3); }
NoteRecord Loud(NoteRecord note, int dynamic, uint8_t extraFlags = 0) {
  note.flags = static_cast<uint8_t>(note.flags | 0x10 | extraFlags);
  note.dynamic = static_cast<uint8_t>(dynamic);
  return note;
}
NoteRecord Effects(NoteRecord note, uint8_t flags1, uint8_t flags2) {
  note.flags |= 0x08;
  note.effects.flags1 = flags1;
  note.effects.flags2 = flags2;
  return note;
}
NoteRecord Grace(NoteRecord note, int fret, int dynamic, int transition, int duration) {
  note = Effects(note, static_cast<uint8_t>(note.effects.flags1 | 0x10), note.effects.flags2);
  note.effects.grace[0] = static_cast<uint8_t>(fret);
  note.effects.grace[1] = static_cast<uint8_t>(dynamic);
  note.effects.grace[2] = static_cast<uint8_t>(transition);
  note.effects.grace[3] = static_cast<uint8_t>(duration);
  return note;
}
NoteRecord Harmonic(NoteRecord note, int kind) {
  note = Effects(note, note.effects.flags1, static_cast<uint8_t>(note.effects.flags2 | 0x10));
  note.effects.harmonic = static_cast<uint8_t>(kind);
  return note;
}
NoteRecord Slide(int fret, int code) {
  NoteRecord note = Effects(Fret(fret), 0, 0x08);
  note.effects.slide = static_cast<uint8_t>(code);
  return note;
}
NoteRecord Bend(int fret, std::vector<BendPointRecord> points) {
  NoteRecord note = Effects(Fret(fret), 0x01, 0);
  note.effects.bend.points = std::move(points);
  return note;
}

// A beat with the given notes by slot (any order).
BeatRecord Beat(int8_t duration, std::vector<std::pair<int, NoteRecord>> notes) {
  BeatRecord beat;
  beat.duration = duration;
  for (int slot = 0; slot < 7; ++slot) {
    for (const auto& n : notes) {
      if (n.first != slot) continue;
      beat.strings = static_cast<uint8_t>(beat.strings | (0x40 >> slot));
      beat.notes.push_back(n.second);
    }
  }
  return beat;
}
BeatRecord Play(int8_t duration, int fret) { return Beat(duration, {{0, Fret(fret)}}); }
BeatRecord Rest(int8_t duration) {
  BeatRecord beat;
  beat.flags = 0x40;
  beat.status = 2;
  beat.duration = duration;
  return beat;
}
BeatRecord WithBeatEffects(BeatRecord beat, const BeatEffectsRecord& effects) {
  beat.flags |= 0x08;
  beat.effects = effects.bytes();
  return beat;
}
BeatRecord WithMix(BeatRecord beat, const MixTableRecord& mix) {
  beat.flags |= 0x10;
  beat.mixTable = mix.bytes();
  return beat;
}

MeasureHeaderRecord Header(uint8_t flags) {
  MeasureHeaderRecord header;
  header.flags = flags;
  return header;
}

// One track; measure 0 in 4/4; the other headers as given.
SongFile OneTrack(std::vector<std::vector<BeatRecord>> measures,
                  std::vector<MeasureHeaderRecord> headers = {}) {
  SongFile song;
  headers.resize(measures.size());
  headers[0].flags |= 0x03;
  song.measures = headers;
  song.tracks = {TrackRecord()};
  for (auto& beats : measures) song.cells.push_back({beats});
  return song;
}

// ------------------------------------------------------------ performing

PerformedFile PerformBytes(const Bytes& bytes, uint32_t division = 480) {
  MemoryStream in(bytes);
  FileStruct song = {};
  PerformedFile out;
  if (LoadFileStruct(&song, in.get()) != 1) {
    out.problem = "song does not load";
    return out;
  }
  uint8_t* buffer = nullptr;
  size_t size = 0;
  if (PerformSongToBuffer(&song, nullptr, division, uint64_t{1} << 30, &buffer, &size) != kPerformDone) {
    out.problem = "not performed";
  } else {
    out = ReadPerformance(buffer, size);
  }
  DestroyMidiBuffer(buffer);
  FreeFileStruct(&song);
  return out;
}

struct NoteCase {
  const char* name;
  SongFile song;
  Rows notes;  // of the first track
};

void ExpectNotes(const std::vector<NoteCase>& cases) {
  for (const NoteCase& c : cases) {
    SCOPED_TRACE(c.name);
    PerformedFile file = PerformBytes(c.song.bytes());
    ASSERT_EQ("", file.problem);
    EXPECT_EQ(c.notes, file.chunks.at(1).notes);
    EXPECT_EQ(0, file.chunks[1].unpairedOffs);
    EXPECT_EQ(0, file.chunks[1].unfinished);
  }
}

bool Contains(const Rows& rows, const std::string& row) {
  for (const std::string& r : rows) {
    if (r == row) return true;
  }
  return false;
}

// ------------------------------------------------------------ rules 1, 2, 14

TEST(PerformRules, MeasureOrderLengthAndEnd) {
  MeasureHeaderRecord firstEnding = Header(0x08 | 0x10);  // end repeat once, ending 1
  firstEnding.altEnding = 1;
  MeasureHeaderRecord secondEnding = Header(0x10);
  secondEnding.altEnding = 2;
  SongFile twoTracks = OneTrack({{Play(kQuarterBeat, 0), Play(kQuarterBeat, 1), Play(kQuarterBeat, 2),
                                  Play(kQuarterBeat, 3), Play(kQuarterBeat, 4)},
                                 {Play(kQuarterBeat, 5)}});
  twoTracks.tracks.push_back(TrackRecord());
  twoTracks.cells[0].push_back({Play(kQuarterBeat, 7)});
  // The song-wide triplet feel swings a pair of eighths two thirds and a
  // third (the classic conversion gives three quarters and a quarter).
  SongFile swung = OneTrack({{Play(kEighthBeat, 0), Play(kEighthBeat, 1), Play(kQuarterBeat, 2),
                              Play(kEighthBeat, 3), Play(kEighthBeat, 4), Play(kQuarterBeat, 5)}});
  swung.head.tripletFeel = 1;
  ExpectNotes({
      {"triplet feel", swung,
       {"0 320 64 95 0", "320 160 65 95 0", "480 480 66 95 0", "960 320 67 95 0",
        "1280 160 68 95 0", "1440 480 69 95 0"}},
      {"|: A | B (ending 1) :| C (ending 2) | D plays A B A C D",
       OneTrack({{Play(-2, 0)}, {Play(-2, 1)}, {Play(-2, 2)}, {Play(-2, 3)}},
                {Header(0x04), firstEnding, secondEnding, Header(0)}),
       {"0 1920 64 95 0", "1920 1920 65 95 0", "3840 1920 64 95 0", "5760 1920 66 95 0",
        "7680 1920 67 95 0"}},
      {"a track's overfull measure plays whole and lengthens the measure", twoTracks,
       {"0 480 64 95 0", "480 480 65 95 0", "960 480 66 95 0", "1440 480 67 95 0",
        "1920 480 68 95 0", "2400 480 69 95 0"}},
  });
  PerformedFile file = PerformBytes(twoTracks.bytes());
  ASSERT_EQ("", file.problem);
  EXPECT_EQ(Rows({"0 480 71 95 0"}), file.chunks.at(2).notes);
  // Every chunk ends with the last measure, rests and all.
  for (const PerformedChunk& chunk : file.chunks) EXPECT_EQ(2400u + 1920u, chunk.end);
}

TEST(PerformRules, ConductorFollowsTheWalk) {
  MeasureHeaderRecord marked = Header(0x04 | 0x08 | 0x20);
  marked.marker = "Riff";
  MixTableRecord faster;
  faster.tempo = 150;
  MeasureHeaderRecord threeFour = Signature(3, 4);
  SongFile song = OneTrack({{Play(-1, 0), WithMix(Play(-1, 1), faster)}, {Rest(-1)}},
                           {marked, threeFour});
  PerformedFile file = PerformBytes(song.bytes());
  ASSERT_EQ("", file.problem);
  EXPECT_EQ(Rows({"0 tempo 500000", "0 timesig 4 2", "0 marker Riff", "960 tempo 400000",
                  "1920 marker Riff", "2880 tempo 400000", "3840 timesig 3 2"}),
            file.chunks[0].others);
  EXPECT_EQ(3840u + 1440u, file.chunks[0].end);
}

TEST(PerformRules, EndingNumbersBecomeSetsOfPasses) {
  struct Case {
    std::vector<std::pair<uint8_t, uint8_t>> headers;  // flags, ending byte
    std::vector<uint32_t> sets;
  };
  const Case cases[] = {
      {{{0x04, 0}, {0x10, 3}, {0x10, 4}, {0x10, 8}}, {0, 0x7, 0x8, 0xF0}},
      {{{0x04, 0}, {0x10, 4}, {0x10, 8}}, {0, 0xF, 0xF0}},
      {{{0x10, 1}, {0x10, 1}}, {0x1, 0x1}},                  // all taken: that ending alone
      {{{0x10, 2}, {0x04 | 0x10, 2}}, {0x3, 0x3}},           // a begin-repeat starts afresh
      {{{0x10, 0}, {0x00, 5}}, {0, 0}},                      // no ending number, no flag
  };
  for (const Case& c : cases) {
    SongFile file;
    for (const auto& h : c.headers) {
      MeasureHeaderRecord header = Header(h.first);
      header.altEnding = h.second;
      file.measures.push_back(header);
    }
    MemoryStream in(file.bytes());
    FileStruct song = {};
    ASSERT_EQ(1, LoadFileStruct(&song, in.get()));
    std::vector<uint32_t> sets(song.measureCount);
    EndingSetsFromNumbers(&song, sets.data());
    EXPECT_EQ(c.sets, sets);
    FreeFileStruct(&song);
  }
}

// ------------------------------------------------------------ rules 3, 4, 5, 11, 12

TEST(PerformRules, NotesPitchesAndLoudness) {
  SongFile capo = OneTrack({{Play(kQuarterBeat, 3), Beat(kQuarterBeat, {{0, Dead(255)}})}});
  capo.tracks[0].capo = 2;
  ExpectNotes({
      {"a tie holds across other strings and the bar line",
       OneTrack({{Play(kQuarterBeat, 5), Beat(kQuarterBeat, {{1, Fret(0)}}), Beat(-1, {{0, Tie()}})},
                 {Beat(kQuarterBeat, {{0, Tie()}})}}),
       {"0 2400 69 95 0", "480 480 59 95 0"}},
      {"a tie with nothing to continue plays", OneTrack({{Beat(kQuarterBeat, {{0, Fret(3, 2)}})}}),
       {"0 480 67 95 0"}},
      {"dead notes: a sixty-fourth, fret 255 the open string",
       OneTrack({{Beat(kQuarterBeat, {{0, Dead(5)}}), Beat(kQuarterBeat, {{0, Dead(255)}}),
                  Beat(4, {{0, Dead(2)}})}}),
       {"0 30 69 95 0", "480 30 64 95 0", "960 30 66 95 0"}},
      {"dynamics: the beat's last, ghost one softer, accent one louder",
       OneTrack({{Beat(kQuarterBeat, {{0, Fret(0)}, {1, Loud(Fret(0), 3)}, {2, Loud(Fret(0), 8)}}),
                  Beat(kQuarterBeat, {{0, Loud(Fret(0), 6, 0x04)}, {1, Loud(Fret(0), 8, 0x40)}}),
                  Beat(kQuarterBeat, {{0, Loud(Fret(0), 1, 0x04)}, {1, Loud(Fret(0), 2, 0x40)}})}}),
       {"0 480 55 127 0", "0 480 59 47 0", "0 480 64 127 0", "480 480 59 127 0",
        "480 480 64 79 0", "960 480 59 47 0", "960 480 64 1 0"}},
      {"natural harmonics by fret, others over the fretted note",
       OneTrack({{Beat(kEighthBeat, {{0, Harmonic(Fret(12), 1)}}), Beat(kEighthBeat, {{0, Harmonic(Fret(7), 1)}}),
                  Beat(kEighthBeat, {{0, Harmonic(Fret(5), 1)}}), Beat(kEighthBeat, {{0, Harmonic(Fret(9), 1)}}),
                  Beat(kEighthBeat, {{0, Harmonic(Fret(3), 1)}}), Beat(kEighthBeat, {{0, Harmonic(Fret(2), 1)}}),
                  Beat(kEighthBeat, {{0, Harmonic(Fret(10), 1)}}), Beat(kEighthBeat, {{5, Harmonic(Fret(2), 15)}})},
                 {Beat(kEighthBeat, {{5, Harmonic(Fret(2), 17)}}), Beat(kEighthBeat, {{5, Harmonic(Fret(2), 22)}}),
                  Beat(kEighthBeat, {{5, Harmonic(Fret(2), 3)}})}}),
       {"0 240 76 95 0", "240 240 83 95 0", "480 240 88 95 0", "720 240 92 95 0", "960 240 95 95 0",
        "1200 240 100 95 0", "1440 240 86 95 0", "1680 240 61 95 0", "1920 240 66 95 0",
        "2160 240 54 95 0", "2400 240 54 95 0"}},
      {"frets count from the capo", capo, {"0 480 69 95 0", "480 30 66 95 0"}},
  });
}

// ------------------------------------------------------------ rules 6, 7, 8, 9

TEST(PerformRules, GracesStrokesRepeatsAndLengths) {
  BeatEffectsRecord upwards;
  upwards.flags1 = 0x40;
  upwards.stroke[0] = 3;  // lowest string first, 10 ticks apart
  upwards.stroke[1] = 0;
  BeatEffectsRecord downwards = upwards;
  downwards.stroke[0] = 0;
  downwards.stroke[1] = 4;  // highest string first, 20 ticks apart
  BeatRecord chord = Beat(kQuarterBeat, {{0, Fret(0)}, {1, Fret(0)}, {2, Fret(0)}});
  NoteRecord tremolo = Effects(Fret(0), 0, 0x04);
  tremolo.effects.tremoloPicking = 2;
  NoteRecord trill = Effects(Fret(0), 0, 0x20);
  trill.effects.trill[0] = 7;
  trill.effects.trill[1] = 2;
  NoteRecord ring = Effects(Fret(0), 0x08, 0);
  NoteRecord ringingTremolo = Effects(Fret(0), 0x08, 0x04);
  ringingTremolo.effects.tremoloPicking = 2;
  ExpectNotes({
      {"a grace takes its time from the note before",
       OneTrack({{Play(kQuarterBeat, 0), Beat(kQuarterBeat, {{0, Grace(Fret(5), 3, 4, 0, 2)}})}}),
       {"0 420 64 95 0", "420 60 67 63 0", "480 480 69 95 0"}},
      {"on the first beat or after a rest a grace sounds on the beat",
       OneTrack({{Beat(kQuarterBeat, {{0, Grace(Fret(5), 3, 4, 0, 1)}}), Rest(kQuarterBeat),
                  Beat(kQuarterBeat, {{1, Grace(Fret(5), 3, 8, 0, 3)}})}}),
       {"0 30 67 63 0", "30 450 69 95 0", "960 120 62 127 0", "1080 360 64 95 0"}},
      {"strokes: lowest string first, then highest first",
       OneTrack({{WithBeatEffects(chord, upwards), WithBeatEffects(chord, downwards)}}),
       {"0 480 55 95 0", "10 470 59 95 0", "20 460 64 95 0", "480 480 64 95 0",
        "500 460 59 95 0", "520 440 55 95 0"}},
      {"tremolo picking by sixteenths, a trill by thirty-seconds",
       OneTrack({{Beat(kQuarterBeat, {{0, tremolo}}), Beat(kEighthBeat, {{0, trill}})}}),
       {"0 120 64 95 0", "120 120 64 95 0", "240 120 64 95 0", "360 120 64 95 0",
        "480 60 64 95 0", "540 60 71 95 0", "600 60 64 95 0", "660 60 71 95 0"}},
      {"let ring until the string's next note, a rest, or a measure",
       OneTrack({{Beat(kQuarterBeat, {{0, ring}}), Beat(kQuarterBeat, {{1, ring}}),
                  Beat(kQuarterBeat, {{0, Fret(2)}}), Rest(kQuarterBeat)},
                 {Beat(kHalfBeat, {{0, ring}})},
                 {}}),
       {"0 960 64 95 0", "480 960 59 95 0", "960 480 66 95 0", "1920 1920 64 95 0"}},
      {"a let-ring tremolo is struck through its beat, then rings to the song's end",
       OneTrack({{Beat(kQuarterBeat, {{0, ringingTremolo}})}}),
       {"0 120 64 95 0", "120 120 64 95 0", "240 120 64 95 0", "360 1560 64 95 0"}},
      {"a grace on the beat stays within its beat, a let-ring note after it",
       OneTrack({{Beat(4, {{0, Grace(ring, 3, 4, 0, 3)}})}}),
       {"0 30 67 63 0", "30 1890 64 95 0"}},
      {"palm mute and staccato sound half their length",
       OneTrack({{Beat(kQuarterBeat, {{0, Effects(Fret(0), 0, 0x02)}}),
                  Beat(kHalfBeat, {{0, Effects(Fret(0), 0, 0x01)}})}}),
       {"0 240 64 95 0", "480 480 64 95 0"}},
  });
}

// ------------------------------------------------------------ rule 10

struct WheelCase {
  const char* name;
  SongFile song;
  Rows notes;
  Rows someWheel;       // rows that must be among the wheel rows
  size_t wheelCount;    // all of them
};

TEST(PerformRules, PitchWheel) {
  BeatEffectsRecord dip;
  dip.flags2 = 0x04;
  dip.tremoloBar.points = {{0, 0, 0}, {30, -100, 0}, {60, 0, 0}};
  NoteRecord vibrato = Effects(Fret(0), 0, 0x40);
  NoteRecord bentTie = Bend(0, {{0, 0, 0}, {60, 100, 0}});
  bentTie.type = 2;
  SongFile sameChannel = OneTrack({{Beat(kQuarterBeat, {{0, Bend(5, {{0, 0, 0}, {60, 50, 0}})}})}});
  sameChannel.tracks[0].effectsChannel = 1;
  const WheelCase cases[] = {
      {"a bend over the note's length, back to centre at its end",
       OneTrack({{Beat(kQuarterBeat, {{0, Bend(5, {{0, 0, 0}, {30, 100, 0}, {60, 100, 0}})}}),
                  Play(kQuarterBeat, 0)}}),
       {"0 480 69 95 1", "480 480 64 95 0"},
       {"20 1 8301", "240 1 9557", "480 1 8192"},
       13},
      {"the tremolo bar bends the chord once",
       OneTrack({{WithBeatEffects(Beat(kQuarterBeat, {{0, Fret(0)}, {1, Fret(0)}}), dip)}}),
       {"0 480 59 95 1", "0 480 64 95 1"},
       {"240 1 6827", "460 1 8076", "480 1 8192"},
       24},
      {"a shift slide glides over its last quarter, the next note is struck",
       OneTrack({{Beat(kQuarterBeat, {{0, Slide(5, 1)}}), Play(kQuarterBeat, 7)}}),
       {"0 480 69 95 1", "480 480 71 95 0"},
       {"380 1 8417", "460 1 9325", "480 1 8192"},
       6},
      {"a legato slide holds the note through the next",
       OneTrack({{Beat(kQuarterBeat, {{0, Slide(5, 2)}}), Play(kQuarterBeat, 7)}}),
       {"0 960 69 95 1"},
       {"460 1 9325", "480 1 9557", "960 1 8192"},
       7},
      {"out downwards and in from below, an octave",
       OneTrack({{Beat(kQuarterBeat, {{0, Slide(5, 3)}}), Beat(kQuarterBeat, {{0, Slide(5, 255)}})}}),
       {"0 480 69 95 1", "480 480 69 95 1"},
       {"380 1 6827", "460 1 1365", "480 1 8192", "480 1 0", "580 1 6827", "600 1 8192"},
       13},
      {"vibrato: a quarter semitone either side, a cycle a sixteenth",
       OneTrack({{Beat(kSixteenthBeat, {{0, vibrato}})}}),
       {"0 120 64 95 1"},
       {"10 1 8247", "30 1 8363", "50 1 8247", "70 1 8137", "90 1 8021", "110 1 8137", "120 1 8192"},
       7},
      {"a sliding grace glides into its note, which is not struck again",
       OneTrack({{Play(kQuarterBeat, 0), Beat(kQuarterBeat, {{0, Grace(Fret(5), 3, 4, 1, 2)}})}}),
       {"0 420 64 95 0", "420 540 67 63 1"},
       {"440 1 8643", "480 1 9557", "960 1 8192"},
       4},
      {"a bend on a tied note moves the held note onto the effects channel",
       OneTrack({{Play(kQuarterBeat, 5), Beat(kQuarterBeat, {{0, bentTie}})}}),
       {"0 960 69 95 1"},
       {"500 1 8247", "720 1 8875", "940 1 9496", "960 1 8192"},
       24},
      {"an effects channel equal to the main one", sameChannel,
       {"0 480 69 95 0"},
       {"240 0 8533", "480 0 8192"},
       24},
  };
  for (const WheelCase& c : cases) {
    SCOPED_TRACE(c.name);
    PerformedFile file = PerformBytes(c.song.bytes());
    ASSERT_EQ("", file.problem);
    const PerformedChunk& track = file.chunks.at(1);
    EXPECT_EQ(c.notes, track.notes);
    for (const std::string& row : c.someWheel) {
      EXPECT_TRUE(Contains(track.wheel, row)) << row;
    }
    EXPECT_EQ(c.wheelCount, track.wheel.size());
  }
}

// Notes whose wheels must come out the same at every division: a vibrato
// alone and one riding a flat bend, which has every sample sum all parts (at
// 80 and 272 ticks a quarter the vibrato's samples come round after 20 and
// 68 steps, at 16 after 4); and a bend with a point placed before the one in
// force and the same bend without it.
TEST(PerformRules, WheelsThatMustMatch) {
  NoteRecord flatBendVibrato = Bend(0, {{0, 0, 0}, {60, 0, 0}});
  flatBendVibrato.effects.flags2 = 0x40;
  const struct {
    const char* name;
    NoteRecord note;
    NoteRecord same;
  } pairs[] = {
      {"vibrato alone and on a flat bend", Effects(Fret(0), 0, 0x40), flatBendVibrato},
      {"a point before the one in force is passed over",
       Bend(0, {{0, 0, 0}, {40, 100, 0}, {20, -50, 0}, {10, 30, 0}, {60, 0, 0}}),
       Bend(0, {{0, 0, 0}, {40, 100, 0}, {60, 0, 0}})},
  };
  for (const auto& pair : pairs) {
    for (uint32_t division : {480u, 80u, 272u, 16u}) {
      SCOPED_TRACE(std::string(pair.name) + " at " + std::to_string(division));
      PerformedFile file = PerformBytes(OneTrack({{Beat(kWholeBeat, {{0, pair.note}})}}).bytes(), division);
      PerformedFile same = PerformBytes(OneTrack({{Beat(kWholeBeat, {{0, pair.same}})}}).bytes(), division);
      ASSERT_EQ("", file.problem);
      ASSERT_EQ("", same.problem);
      EXPECT_EQ(same.chunks.at(1).notes, file.chunks.at(1).notes);
      EXPECT_EQ(same.chunks.at(1).wheel, file.chunks.at(1).wheel);
      EXPECT_LE(12u, file.chunks.at(1).wheel.size());
    }
  }
}

// ------------------------------------------------------------ rule 13

TEST(PerformRules, ChannelSetUpAndMixTables) {
  SongFile song = OneTrack({{Play(kQuarterBeat, 0), WithMix(Play(kQuarterBeat, 0), [] {
                               MixTableRecord mix;
                               mix.balance = 4;
                               mix.tremolo = 20;
                               mix.instrument = 30;
                               return mix;
                             }())}});
  ChannelEntry& entry = song.head.channels[0][0];
  entry.instrument = 29;
  entry.volume = 13;
  entry.balance = 8;
  entry.reverb = 3;
  entry.chorus = 20;
  entry.phaser = 1;
  entry.tremolo = 0;
  PerformedFile file = PerformBytes(song.bytes());
  ASSERT_EQ("", file.problem);
  EXPECT_EQ(Rows({"0 program 0 29", "0 program 1 29",
                  "0 control 0 7 104", "0 control 1 7 104", "0 control 0 10 64", "0 control 1 10 64",
                  "0 control 0 91 24", "0 control 1 91 24", "0 control 0 93 127", "0 control 1 93 127",
                  "0 control 0 95 8", "0 control 1 95 8", "0 control 0 92 0", "0 control 1 92 0",
                  "0 control 0 101 0", "0 control 0 100 0", "0 control 0 6 12", "0 control 0 38 0",
                  "0 control 1 101 0", "0 control 1 100 0", "0 control 1 6 12", "0 control 1 38 0",
                  "480 program 0 30", "480 program 1 30", "480 control 0 10 32", "480 control 1 10 32",
                  "480 control 0 92 127", "480 control 1 92 127"}),
            file.chunks.at(1).others);
}

// Every rule's times follow the division: the same songs at 960 ticks a
// quarter give the same rows with every tick doubled.
TEST(PerformRules, TimesScaleWithTheDivision) {
  auto doubled = [](const Rows& rows, int timeFields) {
    Rows out;
    for (const std::string& row : rows) {
      std::string rest = row;
      std::string result;
      for (int i = 0; i < timeFields; ++i) {
        size_t space = rest.find(' ');
        result += std::to_string(2 * std::stoull(rest.substr(0, space))) + " ";
        rest = rest.substr(space + 1);
      }
      out.push_back(result + rest);
    }
    return out;
  };
  NoteRecord ring = Effects(Fret(0), 0x08, 0);
  BeatEffectsRecord stroke;
  stroke.flags1 = 0x40;
  stroke.stroke[0] = 4;
  stroke.stroke[1] = 0;
  const SongFile songs[] = {
      OneTrack({{Play(kQuarterBeat, 0), Beat(kQuarterBeat, {{0, Grace(Fret(5), 3, 4, 1, 2)}}),
                 Beat(kQuarterBeat, {{0, Bend(5, {{0, 0, 0}, {30, 100, 0}, {60, 100, 0}})}}),
                 Beat(kQuarterBeat, {{0, Slide(5, 2)}})},
                {Play(kQuarterBeat, 7), WithBeatEffects(Beat(kQuarterBeat, {{0, ring}, {1, Fret(1)}}), stroke),
                 Beat(kQuarterBeat, {{0, Dead(3)}}), Beat(kQuarterBeat, {{0, Tie()}})}}),
  };
  for (const SongFile& song : songs) {
    PerformedFile at480 = PerformBytes(song.bytes(), 480);
    PerformedFile at960 = PerformBytes(song.bytes(), 960);
    ASSERT_EQ("", at480.problem);
    ASSERT_EQ("", at960.problem);
    EXPECT_EQ(doubled(at480.chunks[1].notes, 2), at960.chunks[1].notes);
    EXPECT_EQ(doubled(at480.chunks[1].wheel, 1), at960.chunks[1].wheel);
    EXPECT_EQ(2 * at480.chunks[1].end, at960.chunks[1].end);
  }
}

}  // namespace
