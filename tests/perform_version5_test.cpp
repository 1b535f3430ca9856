// Full playback of what version 5 songs store beyond the records, a table
// per rule group. Songs built byte by byte, opened as handles, converted at
// 480 ticks a quarter and read back as note rows "start length pitch
// velocity channel". The track plays on channel 1 (0 in the rows) with
// strings tuned 64 59 55 50 45 40.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "orlix/orlix.h"
#include "support/handle_midi.h"
#include "support/performed_notes.h"
#include "support/playback_options.h"
#include "support/song5_file.h"

using namespace orlix_test;

namespace {

using Rows = std::vector<std::string>;

// ------------------------------------------------------------ song pieces

Note5Record Fret(int fret, uint8_t type = 1) {
  Note5Record note;
  note.flags = 0x20;
  note.type = type;
  note.fret = static_cast<uint8_t>(fret);
  return note;
}
Note5Record Tie(int fret) { return Fret(fret, 2); }
Note5Record Flagged(Note5Record note, uint8_t flags) {
  note.flags = static_cast<uint8_t>(note.flags | flags);
  return note;
}
Note5Record Loud(Note5Record note, int dynamic, uint8_t flags = 0) {
  note = Flagged(note, static_cast<uint8_t>(0x10 | flags));
  note.dynamic = static_cast<uint8_t>(dynamic);
  return note;
}
Note5Record Effects(Note5Record note, uint8_t flags1, uint8_t flags2) {
  note.flags |= 0x08;
  note.effects.flags1 = static_cast<uint8_t>(note.effects.flags1 | flags1);
  note.effects.flags2 = static_cast<uint8_t>(note.effects.flags2 | flags2);
  return note;
}
Note5Record LetRing(Note5Record note) { return Effects(note, 0x08, 0); }
// Grace fret, dynamic 6, no transition, duration byte, then the version 5
// flags (0x01 dead, 0x02 on the beat).
Note5Record Grace(Note5Record note, int fret, int duration, uint8_t graceFlags) {
  note = Effects(note, 0x10, 0);
  note.effects.grace[0] = static_cast<uint8_t>(fret);
  note.effects.grace[1] = 6;
  note.effects.grace[2] = 0;
  note.effects.grace[3] = static_cast<uint8_t>(duration);
  note.effects.graceFlags = graceFlags;
  return note;
}
Note5Record Harmonic(Note5Record note, uint8_t type, std::vector<uint8_t> data) {
  note = Effects(note, 0, 0x10);
  note.effects.harmonicType = type;
  note.effects.harmonicData = std::move(data);
  return note;
}
Note5Record Slide(Note5Record note, uint8_t mask) {
  note = Effects(note, 0, 0x08);
  note.effects.slideMask = mask;
  return note;
}

// A beat with the given notes by slot (any order).
Beat5Record Beat(int8_t duration, std::vector<std::pair<int, Note5Record>> notes) {
  Beat5Record beat;
  beat.head.duration = duration;
  for (int slot = 0; slot < 7; ++slot) {
    for (const auto& n : notes) {
      if (n.first != slot) continue;
      beat.head.strings = static_cast<uint8_t>(beat.head.strings | (0x40 >> slot));
      beat.notes.push_back(n.second);
    }
  }
  return beat;
}
Beat5Record Play(int8_t duration, int fret) { return Beat(duration, {{0, Fret(fret)}}); }
Beat5Record Rest(int8_t duration) {
  Beat5Record beat;
  beat.head.flags = 0x40;
  beat.head.status = 2;
  beat.head.duration = duration;
  return beat;
}

MeasureHeader5Record Header(uint8_t flags, uint8_t endingMask = 0, uint8_t tripletFeel = 0) {
  MeasureHeader5Record header;
  header.flags = flags;
  header.endingMask = endingMask;
  header.tripletFeel = tripletFeel;
  return header;
}
MeasureHeader5Record EndRepeat(uint8_t plays, uint8_t endingMask = 0) {
  MeasureHeader5Record header = Header(0x08 | (endingMask != 0 ? 0x10 : 0), endingMask);
  header.plays = plays;
  return header;
}

// One track; measure 1 in 4/4; the other headers as given.
Song5File OneTrack(std::vector<Cell5> cells, std::vector<MeasureHeader5Record> headers = {}) {
  Song5File song;
  headers.resize(cells.size());
  headers[0].flags |= 0x03;
  song.measures = headers;
  song.tracks = {Track5Record()};
  for (Cell5& cell : cells) song.cells.push_back({cell});
  return song;
}
Cell5 Voices(std::vector<Beat5Record> first, std::vector<Beat5Record> second = {EmptyBeat5()}) {
  return Cell5{std::move(first), std::move(second)};
}

// ------------------------------------------------------------ performing

PerformedFile Perform(const Song5File& file) {
  Bytes bytes = file.bytes();
  PerformedFile out;
  ORLIX_Error error;
  ORLIX_Song* song = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), &error);
  if (song == nullptr) {
    out.problem = std::string("does not open: ") + error.message;
    return out;
  }
  unsigned char* buffer = nullptr;
  size_t size = 0;
  if (ORLIX_ToMidi(song, &kFull, &buffer, &size, &error)) {
    out = ReadPerformance(buffer, size);
  } else {
    out.problem = std::string("not converted: ") + error.message;
  }
  ORLIX_DestroyMidiBuffer(buffer);
  ORLIX_Close(song);
  return out;
}

struct NoteCase {
  const char* name;
  Song5File song;
  Rows notes;  // of the first track
};

// The measures a one-track song played, from notes whose pitch is 63 +
// their measure's number.
std::string MeasureOrder(const PerformedChunk& chunk) {
  std::string order;
  for (const std::string& row : chunk.notes) {
    size_t pitchAt = row.find(' ', row.find(' ') + 1) + 1;  // "start length pitch ..."
    order += (order.empty() ? "" : " ") + std::to_string(std::stoi(row.substr(pitchAt)) - 63);
  }
  return order;
}

std::vector<Cell5> NumberedMeasures(int count) {
  std::vector<Cell5> measures;
  for (int m = 0; m < count; ++m) measures.push_back(Voices({Play(kWholeBeat, m)}));
  return measures;
}

void ExpectNotes(const std::vector<NoteCase>& cases) {
  for (const NoteCase& c : cases) {
    SCOPED_TRACE(c.name);
    PerformedFile file = Perform(c.song);
    ASSERT_EQ("", file.problem);
    EXPECT_EQ(c.notes, file.chunks.at(1).notes);
    EXPECT_EQ(0, file.chunks[1].unpairedOffs);
    EXPECT_EQ(0, file.chunks[1].unfinished);
  }
}

// ------------------------------------------------------------ voices

TEST(PerformVersion5, BothVoices) {
  ExpectNotes({
      {"each voice plays its own beats with its own lengths",
       OneTrack({Voices({Play(kHalfBeat, 0), Play(kHalfBeat, 2)},
                        {Beat(kQuarterBeat, {{5, Fret(0)}}), Rest(kQuarterBeat),
                         Beat(kHalfBeat, {{5, Fret(3)}})})}),
       {"0 480 40 95 0", "0 960 64 95 0", "960 960 43 95 0", "960 960 66 95 0"}},
      {"a tie continues its own voice's note on the string, not the other voice's",
       OneTrack({Voices({Play(kHalfBeat, 0), Play(kHalfBeat, 2)},
                        {Play(kQuarterBeat, 5), Beat(kQuarterBeat, {{0, Tie(5)}}), Rest(kHalfBeat)})}),
       {"0 960 64 95 0", "0 960 69 95 0", "960 960 66 95 0"}},
      {"a tie with nothing to continue in its voice is struck",
       OneTrack({Voices({Play(kWholeBeat, 0)}, {Rest(kHalfBeat), Beat(kHalfBeat, {{0, Tie(3)}})})}),
       {"0 1920 64 95 0", "960 960 67 95 0"}},
      {"one note-on for the same pitch at the same tick, for the longer length",
       OneTrack({Voices({Play(kQuarterBeat, 0), Play(kQuarterBeat, 1), Rest(kHalfBeat)},
                        {Play(kHalfBeat, 0), Rest(kHalfBeat)}),
                 Voices({Play(kHalfBeat, 0), Rest(kHalfBeat)},
                        {Play(kQuarterBeat, 0), Rest(kQuarterBeat), Rest(kHalfBeat)})}),
       // The second voice's half holds on while the first voice's next
       // quarter sounds beside it.
       {"0 960 64 95 0", "480 480 65 95 0", "1920 960 64 95 0"}},
      {"the same pitch from two strings of the two voices sounds once",
       OneTrack({Voices({Beat(kHalfBeat, {{1, Loud(Fret(5), 4)}}), Rest(kHalfBeat)},
                        {Beat(kWholeBeat, {{0, Fret(0)}})})}),
       {"0 1920 64 63 0"}},
      {"a rest of one voice does not end the other voice's ringing note",
       OneTrack({Voices({Beat(kQuarterBeat, {{0, LetRing(Fret(0))}}), Beat(kHalfBeat, {{1, Fret(0)}}),
                         Beat(kQuarterBeat, {{1, Fret(2)}})},
                        {Rest(kQuarterBeat), Rest(kQuarterBeat), Rest(kHalfBeat)})}),
       {"0 1920 64 95 0", "480 960 59 95 0", "1440 480 61 95 0"}},
      {"the measure lasts as long as its longest voice",
       OneTrack({Voices({Play(kQuarterBeat, 0)}, {Play(kWholeBeat, 2), Play(kQuarterBeat, 3)}),
                 Voices({Play(kQuarterBeat, 1)})}),
       {"0 480 64 95 0", "0 1920 66 95 0", "1920 480 67 95 0", "2400 480 65 95 0"}},
  });
}

// ------------------------------------------------------------ triplet feel

TEST(PerformVersion5, TripletFeelOfEachMeasure) {
  Cell5 eighths = Voices({Play(kEighthBeat, 0), Play(kEighthBeat, 1), Play(kEighthBeat, 2),
                          Play(kEighthBeat, 3), Play(kHalfBeat, 4)});
  Cell5 sixteenths = Voices({Play(kSixteenthBeat, 0), Play(kSixteenthBeat, 1), Play(kSixteenthBeat, 2),
                             Play(kSixteenthBeat, 3), Play(kEighthBeat, 4), Play(kEighthBeat, 5),
                             Play(kHalfBeat, 6)},
                            {Play(kSixteenthBeat, 12), Play(kSixteenthBeat, 13), Rest(kEighthBeat)});
  ExpectNotes({
      {"eighths swing in an eighths measure, sixteenths in a sixteenths one, nothing in the third",
       OneTrack({eighths, sixteenths, eighths},
                {Header(0, 0, 1), Header(0, 0, 2), Header(0, 0, 0)}),
       {"0 320 64 95 0", "320 160 65 95 0", "480 320 66 95 0", "800 160 67 95 0", "960 960 68 95 0",
        // Sixteenths: two thirds and a third of an eighth; the second
        // voice swings with them. Eighths stay plain.
        "1920 160 64 95 0", "1920 160 76 95 0", "2080 80 65 95 0", "2080 80 77 95 0",
        "2160 160 66 95 0", "2320 80 67 95 0", "2400 240 68 95 0", "2640 240 69 95 0",
        "2880 960 70 95 0",
        "3840 240 64 95 0", "4080 240 65 95 0", "4320 240 66 95 0", "4560 240 67 95 0",
        "4800 960 68 95 0"}},
  });
}

// ------------------------------------------------------------ endings

TEST(PerformVersion5, AlternateEndingsFromTheirExactSets) {
  // |: 1 | 2 (endings 1 and 3) | 3 (ending 2) | 4 :| (4 plays) | 5
  Song5File song = OneTrack(NumberedMeasures(5), {Header(0x04), Header(0x10, 0x05), Header(0x10, 0x02),
                                                  EndRepeat(4), Header(0)});
  PerformedFile file = Perform(song);
  ASSERT_EQ("", file.problem);
  // The version 4 number of the first set (1) would leave measure 2 out of
  // the third pass.
  EXPECT_EQ("1 2 4 1 3 4 1 2 4 1 4 5", MeasureOrder(file.chunks.at(1)));
}

// ------------------------------------------------------------ directions

struct DirectionCase {
  const char* name;
  std::vector<std::pair<int, int16_t>> signs;  // ORLIX_DIRECTION_..., 1-based measure
  std::vector<MeasureHeader5Record> headers;   // measure 1 first; plain measures beyond
  int measures;
  const char* order;  // the measures played
};

TEST(PerformVersion5, Directions) {
  const DirectionCase kCases[] = {
      {"da capo", {{ORLIX_DIRECTION_DA_CAPO, 3}}, {}, 4, "1 2 3 1 2 3 4"},
      {"an end-repeat at the da capo jumps back first; after the jump no repeat does",
       {{ORLIX_DIRECTION_DA_CAPO, 3}}, {Header(0x04), Header(0), EndRepeat(2)}, 4,
       "1 2 3 1 2 3 1 2 3 4"},
      {"dal segno", {{ORLIX_DIRECTION_SEGNO, 2}, {ORLIX_DIRECTION_DAL_SEGNO, 4}}, {}, 5,
       "1 2 3 4 2 3 4 5"},
      {"dal segno al fine",
       {{ORLIX_DIRECTION_SEGNO, 2}, {ORLIX_DIRECTION_FINE, 3}, {ORLIX_DIRECTION_DAL_SEGNO_AL_FINE, 4}}, {},
       5, "1 2 3 4 2 3"},
      {"da capo al coda",
       {{ORLIX_DIRECTION_DA_CODA, 2}, {ORLIX_DIRECTION_DA_CAPO_AL_CODA, 3}, {ORLIX_DIRECTION_CODA, 4}}, {},
       5, "1 2 3 1 2 4 5"},
      {"dal segno segno al double coda",
       {{ORLIX_DIRECTION_SEGNO_SEGNO, 2},
        {ORLIX_DIRECTION_DA_DOUBLE_CODA, 3},
        {ORLIX_DIRECTION_DAL_SEGNO_SEGNO_AL_DOUBLE_CODA, 4},
        {ORLIX_DIRECTION_DOUBLE_CODA, 5}},
       {}, 6, "1 2 3 4 2 3 5 6"},
      {"the first ending is not played again after the jump",
       {{ORLIX_DIRECTION_DA_CAPO, 4}},
       {Header(0x04), EndRepeat(2, 0x01), Header(0x10, 0x02), Header(0)}, 5, "1 2 1 3 4 1 3 4 5"},
      {"a fine without a jump, a da coda without an al coda do nothing",
       {{ORLIX_DIRECTION_FINE, 2}, {ORLIX_DIRECTION_DA_CODA, 1}, {ORLIX_DIRECTION_CODA, 3}}, {}, 3,
       "1 2 3"},
      {"a sign at measure 0 or past the end does nothing",
       {{ORLIX_DIRECTION_DA_CAPO, 0}, {ORLIX_DIRECTION_SEGNO, 1}, {ORLIX_DIRECTION_DAL_SEGNO, 4}}, {}, 3,
       "1 2 3"},
      {"a dal segno without its segno does nothing", {{ORLIX_DIRECTION_DAL_SEGNO, 2}}, {}, 3, "1 2 3"},
      {"at most 16 times the measures, whatever the repeats say", {}, {Header(0x04), EndRepeat(255)}, 2,
       "1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2"},
  };
  for (const DirectionCase& c : kCases) {
    SCOPED_TRACE(c.name);
    Song5File song = OneTrack(NumberedMeasures(c.measures), c.headers);
    for (const auto& sign : c.signs) song.head.directions[sign.first] = sign.second;
    PerformedFile file = Perform(song);
    ASSERT_EQ("", file.problem);
    EXPECT_EQ(c.order, MeasureOrder(file.chunks.at(1)));
  }
}

// Every refused allocation of a performance that follows directions and
// two voices fails cleanly, or costs nothing.
TEST(PerformVersion5, EveryRefusedAllocationFailsCleanlyOrCostsNothing) {
  std::vector<Cell5> measures = NumberedMeasures(4);
  measures[1].voice2 = {Play(kHalfBeat, 7), Beat(kHalfBeat, {{0, Tie(7)}})};
  Song5File file = OneTrack(measures, {Header(0x04), EndRepeat(2)});
  file.head.directions[ORLIX_DIRECTION_DA_CAPO_AL_FINE] = 3;
  file.head.directions[ORLIX_DIRECTION_FINE] = 2;
  Bytes bytes = file.bytes();
  ORLIX_Song* song = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), nullptr);
  ASSERT_NE(nullptr, song);
  unsigned char* reference = nullptr;
  size_t referenceSize = 0;
  ASSERT_EQ(1, ORLIX_ToMidi(song, &kFull, &reference, &referenceSize, nullptr));
  // The second voice's tied half (pitch 71) holds through measure 2.
  EXPECT_EQ("1 2 8 1 2 8 3 1 2 8", MeasureOrder(ReadPerformance(reference, referenceSize).chunks.at(1)));
  long failures = SweepHandleConversion(song, kFull, [&](const unsigned char* buffer, size_t size) {
    ASSERT_EQ(referenceSize, size);
    EXPECT_EQ(0, memcmp(reference, buffer, size));
  });
  ORLIX_DestroyMidiBuffer(reference);
  ORLIX_Close(song);
  // The four per-measure arrays (the last passes with them), the chunks,
  // the event lists and the file buffer.
  EXPECT_GE(failures, 10);
}

// ------------------------------------------------------------ note details

TEST(PerformVersion5, NoteDetails) {
  ExpectNotes({
      {"a heavy accent is two levels louder, at most 127",
       OneTrack({Voices({Beat(kHalfBeat, {{0, Loud(Fret(0), 5, 0x02)}, {1, Loud(Fret(0), 7, 0x02)}}),
                         Beat(kHalfBeat, {{0, Loud(Fret(0), 5, 0x40)}})})}),
       {"0 960 59 127 0", "0 960 64 111 0", "960 960 64 95 0"}},
      {"a note without its own dynamic plays forte beside one with a dynamic",
       OneTrack({Voices({Beat(kWholeBeat, {{0, Loud(Fret(0), 3)}, {1, Fret(0)}})})}),
       {"0 1920 59 95 0", "0 1920 64 47 0"}},
      {"a grace note before its beat, then one on the beat delaying its note",
       OneTrack({Voices({Play(kHalfBeat, 0), Beat(kQuarterBeat, {{0, Grace(Fret(2), 4, 3, 0)}}),
                         Beat(kQuarterBeat, {{0, Grace(Fret(2), 4, 3, 0x02)}})})}),
       {"0 840 64 95 0", "840 120 68 95 0", "960 480 66 95 0", "1440 120 68 95 0",
        "1560 360 66 95 0"}},
      {"a dead grace note sounds as a dead note",
       OneTrack({Voices({Play(kHalfBeat, 0), Beat(kHalfBeat, {{0, Grace(Fret(2), 4, 3, 0x01)}})})}),
       {"0 840 64 95 0", "840 30 68 95 0", "960 960 66 95 0"}},
      {"each voice's details are its own, beat by beat, and again when the measure repeats",
       OneTrack({Voices({Beat(kHalfBeat, {{1, Fret(0)}}),
                         Beat(kHalfBeat, {{0, Loud(Fret(0), 5, 0x02)}, {2, Fret(0)}})},
                        {Beat(kHalfBeat, {{5, Loud(Fret(0), 5, 0x02)}}), Play(kHalfBeat, 2)})},
                {EndRepeat(2)}),
       {"0 960 40 111 0", "0 960 59 95 0", "960 960 55 95 0", "960 960 64 111 0",
        "960 960 66 95 0", "1920 960 40 111 0", "1920 960 59 95 0", "2880 960 55 95 0",
        "2880 960 64 111 0", "2880 960 66 95 0"}},
      {"a tapped harmonic sounds by the fret the right hand touches",
       OneTrack({Voices({Beat(kHalfBeat, {{0, Harmonic(Fret(2), 3, {14})}}),
                         Beat(kHalfBeat, {{0, Harmonic(Fret(2), 3, {9})}})})}),
       {"0 960 78 95 0", "960 960 85 95 0"}},
  });
}

TEST(PerformVersion5, SlideInBesideASlideOut) {
  // Mask 0x14: out downwards and in from below. The note starts an octave
  // below on the wheel (12 semitones of range: 0), is back at the centre
  // after a sixteenth, holds, and leaves downwards over its last quarter.
  PerformedFile file = Perform(OneTrack({Voices({Beat(kWholeBeat, {{0, Slide(Fret(0), 0x14)}})})}));
  ASSERT_EQ("", file.problem);
  const PerformedChunk& chunk = file.chunks.at(1);
  EXPECT_EQ(Rows({"0 1920 64 95 1"}), chunk.notes);
  Rows turns;  // the glides' ends and middles, and the return to centre
  for (const std::string& row : chunk.wheel) {
    int tick = std::stoi(row);
    if (tick == 0 || tick == 60 || tick == 120 || tick == 1460 || tick == 1680 || tick >= 1900) {
      turns.push_back(row);
    }
  }
  EXPECT_EQ(Rows({"0 1 0", "60 1 4096", "120 1 8192", "1460 1 7851", "1680 1 4096", "1900 1 341",
                  "1920 1 8192"}),
            turns);
  EXPECT_EQ(31u, chunk.wheel.size());
}

}  // namespace
