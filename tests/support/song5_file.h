// Test-side builder for version 5 song files, beside the version 4 one
// (song_file.h): the records that version 5 stores differently are written
// here field by field; the rest (channel table, track record, chord
// diagrams, bend curves, beat heads) comes from the version 4 builders.
#ifndef ORLIX_TESTS_SONG5_FILE_H
#define ORLIX_TESTS_SONG5_FILE_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/beat_builder.h"
#include "support/byte_builder.h"
#include "support/song_file.h"

namespace orlix_test {

// Everything of a version 5 file up to the measure headers. The song block
// of version 4 is spread out, with page setup, names and directions between.
struct Song5Head {
  std::string version = "FICHIER GUITAR PRO v5.10";
  // title, subtitle, artist, album, words, music, copyright, tab author, instructions
  std::string info[9] = {"Title", "Subtitle", "Artist",    "Album",       "Words",
                         "Music", "Copyright", "Tabber", "Instructions"};
  std::vector<std::string> notice;
  int32_t lyricsTrack = 1;
  std::string lyrics[5];
  std::string tempoName = "Moderate";
  int32_t tempo = 120;
  int32_t key = 0;  // the version 4 record splits it into key (1 byte) and octave (4 bytes)
  uint8_t octave = 0;
  ChannelEntry channels[4][16];
  int16_t directions[19] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  uint32_t measureCount = 0;
  uint32_t trackCount = 0;

  bool v510() const { return version == "FICHIER GUITAR PRO v5.10"; }

  Bytes bytes() const {
    Bytes b = VersionAndTexts(version, static_cast<unsigned>(version.size()), info, notice);
    b.i32(lyricsTrack);
    for (int i = 0; i < 5; ++i) b.i32(i + 1).intString(lyrics[i]);
    if (v510()) b.zeros(19);  // master effect
    // Page setup: size, margins, score size, header/footer flags, templates.
    b.i32(210).i32(297).i32(10).i32(10).i32(15).i32(10).i32(100).u8(0xFF).u8(0x01);
    for (int i = 0; i < 10; ++i) b.intByteString(i == 0 ? "%TITLE%" : "");
    b.intByteString(tempoName).i32(tempo);
    if (v510()) b.u8(0);  // hide tempo
    b.i32(key).u8(octave);
    for (const auto& port : channels)
      for (const ChannelEntry& c : port)
        b.i32(c.instrument).u8(c.volume).u8(c.balance).u8(c.chorus).u8(c.reverb).u8(c.phaser).u8(c.tremolo).u8(0).u8(0);
    for (int16_t d : directions) b.u8(static_cast<uint16_t>(d) & 0xFF).u8(static_cast<uint16_t>(d) >> 8);
    b.i32(0);  // master reverb
    return b.u32(measureCount).u32(trackCount);
  }
};

struct MeasureHeader5Record {
  uint8_t flags = 0;
  uint8_t numerator = 4, denominator = 4;  // 0x01, 0x02; beam groups follow either
  uint8_t plays = 2;                       // 0x08: the repeat byte counts plays
  std::string marker = "Marker";           // 0x20, with its colour
  uint8_t color[4] = {255, 0, 0, 0};
  uint8_t tonality = 1, tonalityType = 0;  // 0x40
  uint8_t beams[4] = {2, 2, 2, 2};
  uint8_t endingMask = 0;  // written whatever the flags say
  uint8_t tripletFeel = 0;

  Bytes bytes() const {
    Bytes b;
    b.u8(flags);
    if (flags & 0x01) b.u8(numerator);
    if (flags & 0x02) b.u8(denominator);
    if (flags & 0x08) b.u8(plays);
    if (flags & 0x20) b.intByteString(marker).raw({color[0], color[1], color[2], color[3]});
    if (flags & 0x40) b.u8(tonality).u8(tonalityType);
    if (flags & 0x03) b.raw({beams[0], beams[1], beams[2], beams[3]});
    return b.u8(endingMask).u8(tripletFeel).u8(0);
  }
};

// The version 4 track record and what version 5 adds after it.
struct Track5Record {
  TrackRecord record;
  uint8_t bank = 0;

  Bytes bytes(bool v510) const {
    Bytes b = record.bytes();
    b.u8(0xC3).u8(0x00).u8(0).u8(bank).u8(0);  // display flags, accentuation, bank, humanize
    b.i32(0).i32(0).i32(10).raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xFF, 3});
    b.i32(25).i32(1).i32(1).i32(0);  // sound-engine instrument
    if (v510) b.zeros(4).intByteString("Acoustic - Default").intByteString("Acoustic Tones");
    return b;
  }
};

struct NoteEffects5Record {
  uint8_t flags1 = 0, flags2 = 0;
  BendCurveRecord bend;                       // flags1 & 0x01
  uint8_t grace[4] = {1, 2, 3, 4};            // flags1 & 0x10
  uint8_t graceFlags = 0;                     //   0x01 dead, 0x02 on the beat
  uint8_t tremoloPicking = 5;                 // flags2 & 0x04
  uint8_t slideMask = 0x01;                   // flags2 & 0x08
  uint8_t harmonicType = 1;                   // flags2 & 0x10
  std::vector<uint8_t> harmonicData;          //   3 bytes (artificial), 1 (tapped), else none
  uint8_t trill[2] = {8, 9};                  // flags2 & 0x20

  Bytes bytes() const {
    Bytes b;
    b.u8(flags1).u8(flags2);
    if (flags1 & 0x01) b.append(bend.bytes());
    if (flags1 & 0x10) b.raw({grace[0], grace[1], grace[2], grace[3], graceFlags});
    if (flags2 & 0x04) b.u8(tremoloPicking);
    if (flags2 & 0x08) b.u8(slideMask);
    if (flags2 & 0x10) {
      b.u8(harmonicType);
      for (uint8_t d : harmonicData) b.u8(d);
    }
    if (flags2 & 0x20) b.raw({trill[0], trill[1]});
    return b;
  }
};

// Flags: 0x01 duration percent, 0x02 heavy accent, 0x04 ghost, 0x08
// effects, 0x10 dynamic, 0x20 type and fret, 0x40 accent, 0x80 fingering.
struct Note5Record {
  uint8_t flags = 0x20;
  uint8_t type = 1, dynamic = 6, fret = 3;
  uint8_t leftFinger = 0, rightFinger = 0;
  double durationPercent = 0.75;
  uint8_t flags2 = 0;
  NoteEffects5Record effects;

  Bytes bytes() const {
    Bytes b;
    b.u8(flags);
    if (flags & 0x20) b.u8(type);
    if (flags & 0x10) b.u8(dynamic);
    if (flags & 0x20) b.u8(fret);
    if (flags & 0x80) b.u8(leftFinger).u8(rightFinger);
    if (flags & 0x01) {
      uint64_t bits;
      memcpy(&bits, &durationPercent, sizeof bits);
      for (int shift = 0; shift < 64; shift += 8) b.u8((bits >> shift) & 0xFF);
    }
    b.u8(flags2);
    if (flags & 0x08) b.append(effects.bytes());
    return b;
  }
};

// The version 4 beat effects with the stroke bytes the other way round.
inline Bytes BeatEffects5Bytes(BeatEffectsRecord effects) {
  std::swap(effects.stroke[0], effects.stroke[1]);
  return effects.bytes();
}

struct MixTable5Record {
  MixTableRecord values;  // the version 4 values, durations and all-tracks bits
  std::string tempoName = "Fast";
  uint8_t displayFlags = 0x40;  // sound engine: dropped from the all-tracks bits
  int8_t wah = -1;

  Bytes bytes(bool v510) const {
    const MixTableRecord& m = values;
    Bytes b;
    b.i8(m.instrument).i32(25).i32(1).i32(1).i32(0);  // program, sound-engine instrument
    b.i8(m.volume).i8(m.balance).i8(m.chorus).i8(m.reverb).i8(m.phaser).i8(m.tremolo);
    b.intByteString(tempoName).i32(m.tempo);
    if (m.volume != -1) b.u8(m.volumeDuration);
    if (m.balance != -1) b.u8(m.balanceDuration);
    if (m.chorus != -1) b.u8(m.chorusDuration);
    if (m.reverb != -1) b.u8(m.reverbDuration);
    if (m.phaser != -1) b.u8(m.phaserDuration);
    if (m.tremolo != -1) b.u8(m.tremoloDuration);
    if (m.tempo != -1) {
      b.u8(m.tempoDuration);
      if (v510) b.u8(1);  // hide tempo
    }
    b.u8(m.allTracks | displayFlags).i8(wah);
    if (v510) b.intByteString("Wah").intByteString("Filters");
    return b;
  }
};

// A beat: the version 4 beat head and attachments (given as finished
// bytes, built with BeatEffects5Bytes and MixTable5Record where they
// differ), version 5 notes, and the display flags.
struct Beat5Record {
  BeatRecord head;  // its notes are not used
  std::vector<Note5Record> notes;
  uint16_t display = 0;  // 0x0800: one more byte follows

  Bytes bytes() const {
    BeatRecord noNotes = head;
    noNotes.notes.clear();
    Bytes b = noNotes.bytes();
    for (const Note5Record& n : notes) b.append(n.bytes());
    b.u8(display & 0xFF).u8(display >> 8);
    if (display & 0x0800) b.u8(0);
    return b;
  }
};

inline Beat5Record Notes5Beat(int8_t duration, std::vector<std::pair<int, int>> slotFrets) {
  Beat5Record beat;
  beat.head = NotesBeat(duration, slotFrets);
  for (const NoteRecord& n : beat.head.notes) {
    Note5Record note;
    note.fret = n.fret;
    beat.notes.push_back(note);
  }
  return beat;
}

// An unused second voice, as editors write it: one empty quarter.
inline Beat5Record EmptyBeat5() {
  Beat5Record beat;
  beat.head.flags = 0x40;
  beat.head.status = 0;
  return beat;
}

inline Bytes Voice5Bytes(const std::vector<Beat5Record>& beats) {
  Bytes b;
  b.u32(beats.size());
  for (const Beat5Record& beat : beats) b.append(beat.bytes());
  return b;
}

struct Cell5 {
  std::vector<Beat5Record> voice1;
  std::vector<Beat5Record> voice2 = {EmptyBeat5()};
};

struct Song5File {
  Song5Head head;
  std::vector<MeasureHeader5Record> measures;
  std::vector<Track5Record> tracks;
  std::vector<std::vector<Cell5>> cells;  // [measure][track]; missing: empty voice 1
  bool trailingByte = false;              // as some editors write

  Bytes bytes() const {
    Song5Head h = head;
    h.measureCount = static_cast<uint32_t>(measures.size());
    h.trackCount = static_cast<uint32_t>(tracks.size());
    Bytes b = h.bytes();
    for (const MeasureHeader5Record& m : measures) b.append(m.bytes());
    for (const Track5Record& t : tracks) b.append(t.bytes(head.v510()));
    for (size_t m = 0; m < measures.size(); ++m) {
      for (size_t t = 0; t < tracks.size(); ++t) {
        Cell5 cell = m < cells.size() && t < cells[m].size() ? cells[m][t] : Cell5();
        b.u8(0).append(Voice5Bytes(cell.voice1)).append(Voice5Bytes(cell.voice2));
      }
    }
    if (trailingByte) b.u8(0);
    return b;
  }
};

struct Twin {
  Song5File five;
  SongFile four;
};

// A version 5 song with every record part and every extra (in the
// variant the version text names), and the version 4 song whose records
// are the same: where the formats differ, each field says how.
inline Twin EveryRecordTwin(const char* version5) {
  Twin twin;
  Song5File& five = twin.five;
  SongFile& four = twin.four;
  five.head.version = version5;
  five.head.notice = four.head.notice = {"first notice line", "", "third"};
  for (int i = 0; i < 5; ++i) five.head.lyrics[i] = four.head.lyrics[i] = "lyrics line " + std::to_string(i);
  std::string info4[8] = {"Title", "Subtitle", "Artist", "Album", "Music", "Copyright", "Tabber", "Instructions"};
  for (int i = 0; i < 8; ++i) four.head.info[i] = info4[i];
  five.head.tempo = four.head.tempo = 97;
  // Key -1 and octave 0: the records split the five bytes 1 + 4.
  five.head.key = -1;
  four.head.key = 0xFF;
  four.head.octave = 0x00FFFFFF;
  five.head.channels[0][2].instrument = four.head.channels[0][2].instrument = 33;
  five.head.channels[1][5].volume = four.head.channels[1][5].volume = 9;
  five.head.directions[0] = 3;  // coda
  five.head.directions[4] = 4;  // fine
  five.head.directions[8] = 2;  // da capo al fine

  MeasureHeader5Record first;
  first.flags = 0x03 | 0x04;  // 4/4, repeat begins
  first.tripletFeel = 1;      // the song-wide feel of the records
  MeasureHeader5Record second;
  second.flags = 0x08 | 0x20;  // repeat ends after 3 plays, marker
  second.plays = 3;
  second.marker = "Verse";
  MeasureHeader5Record third;
  third.flags = 0x01 | 0x02 | 0x10 | 0x40;  // 6/8, ending, key
  third.numerator = 6;
  third.denominator = 8;
  third.endingMask = 0x05;  // endings 1 and 3: the records hold ending 1
  MeasureHeader5Record fourth;
  fourth.flags = 0x80;  // double bar
  fourth.tripletFeel = 2;
  five.measures = {first, second, third, fourth};
  MeasureHeaderRecord first4 = Signature(4, 4);
  first4.flags |= 0x04;
  MeasureHeaderRecord second4;
  second4.flags = 0x08 | 0x20;
  second4.repeatCount = 2;
  second4.marker = "Verse";
  MeasureHeaderRecord third4 = Signature(6, 8);
  third4.flags |= 0x10 | 0x40;
  third4.altEnding = 1;
  MeasureHeaderRecord fourth4;
  fourth4.flags = 0x80;
  four.measures = {first4, second4, third4, fourth4};
  four.head.tripletFeel = 1;

  Track5Record guitar;
  guitar.record.flags = 0xC8;  // version 5 bits, kept as read
  guitar.record.stringCount = 7;
  guitar.record.tuning[6] = 35;
  Track5Record bass;
  bass.record.name = "Bass";
  bass.record.stringCount = 4;
  bass.record.channel = 3;
  bass.record.effectsChannel = 4;
  bass.bank = 5;
  five.tracks = {guitar, bass};
  four.tracks = {guitar.record, bass.record};

  // The rich beat: every beat part, and a note in each slot that version 5
  // stores differently.
  BeatRecord head4;
  head4.flags = 0x01 | 0x02 | 0x04 | 0x08 | 0x10 | 0x20 | 0x40;
  head4.status = 1;
  head4.duration = 1;
  head4.tuplet = 3;
  head4.chord = NewChordRecord().bytes();
  head4.text = "beat text";
  BeatEffectsRecord effects;
  effects.flags1 = 0x20 | 0x40;
  effects.flags2 = 0x02 | 0x04;
  effects.tremoloBar = ThreePointCurve();
  head4.effects = effects.bytes();
  MixTable5Record mix;
  mix.values.instrument = 30;
  mix.values.volume = 14;
  mix.values.reverb = 3;
  mix.values.tempo = 90;
  mix.values.volumeDuration = 1;
  mix.values.tempoDuration = 2;
  mix.values.allTracks = 0x03;
  head4.mixTable = mix.values.bytes();
  head4.strings = 0x7F;
  Beat5Record rich;
  rich.head = head4;
  rich.head.effects = BeatEffects5Bytes(effects);
  rich.head.mixTable = mix.bytes(five.head.v510());
  rich.display = 0x0810;  // 8va, and the byte 0x0800 announces

  std::vector<NoteRecord> notes4(7);
  rich.notes.resize(7);
  // Slot 0: dynamic and fingering.
  rich.notes[0].flags = notes4[0].flags = 0x20 | 0x10 | 0x80;
  rich.notes[0].leftFinger = notes4[0].leftFinger = 1;
  rich.notes[0].rightFinger = notes4[0].rightFinger = 2;
  // Slot 1: heavy accent, which version 4 saves as an accent.
  rich.notes[1].flags = 0x20 | 0x02;
  notes4[1].flags = 0x20 | 0x40;
  // Slot 2: a duration percent, which version 4 has no place for.
  rich.notes[2].flags = 0x20 | 0x01;
  rich.notes[2].durationPercent = 0.5;
  notes4[2].flags = 0x20;
  // Slot 3: ghost, bend, a dead grace on the beat, tremolo picking.
  rich.notes[3].flags = notes4[3].flags = 0x20 | 0x04 | 0x08;
  rich.notes[3].effects.flags1 = notes4[3].effects.flags1 = 0x01 | 0x10;
  rich.notes[3].effects.flags2 = notes4[3].effects.flags2 = 0x04;
  rich.notes[3].effects.bend = notes4[3].effects.bend = ThreePointCurve();
  rich.notes[3].effects.graceFlags = 0x03;
  // Slot 4 (tuning 45, fret 3: C): a legato slide from below, and an
  // artificial harmonic a fifth up (G, 8va).
  rich.notes[4].flags = notes4[4].flags = 0x20 | 0x08;
  rich.notes[4].effects.flags2 = notes4[4].effects.flags2 = 0x08 | 0x10;
  rich.notes[4].effects.slideMask = 0x12;
  rich.notes[4].effects.harmonicType = 2;
  rich.notes[4].effects.harmonicData = {7, 0, 1};
  notes4[4].effects.slide = 2;
  notes4[4].effects.harmonic = 15;
  // Slot 5: a tapped harmonic at fret 12, and a trill.
  rich.notes[5].flags = notes4[5].flags = 0x20 | 0x08;
  rich.notes[5].effects.flags2 = notes4[5].effects.flags2 = 0x10 | 0x20;
  rich.notes[5].effects.harmonicType = 3;
  rich.notes[5].effects.harmonicData = {12};
  notes4[5].effects.harmonic = 3;
  // Slot 6: a dead note with an accent.
  rich.notes[6].flags = notes4[6].flags = 0x20 | 0x40;
  rich.notes[6].type = notes4[6].type = 3;
  head4.notes = notes4;

  Beat5Record rest = EmptyBeat5();
  rest.head.status = 2;
  Beat5Record heavy = Notes5Beat(-1, {{2, 7}});
  heavy.notes[0].flags |= 0x02;
  Beat5Record swung = Notes5Beat(1, {{1, 5}});
  five.cells = {
      {{{rich, rest}, {heavy, rest}}, {{Notes5Beat(-2, {{0, 3}, {3, 5}})}}},
      {{{swung, swung}}, {{rest}, {}}},
      {{}, {{Notes5Beat(4, {{1, 1}})}, {rest, heavy}}},
  };
  BeatRecord rest4;
  rest4.flags = 0x40;
  rest4.status = 2;
  four.cells = {
      {{head4, rest4}, {NotesBeat(-2, {{0, 3}, {3, 5}})}},
      {{NotesBeat(1, {{1, 5}}), NotesBeat(1, {{1, 5}})}, {rest4}},
      {{}, {NotesBeat(4, {{1, 1}})}},
  };
  return twin;
}

}  // namespace orlix_test

#endif
