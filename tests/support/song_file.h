// Test-side builder for whole song files: head, measure headers, track
// records and the grid of beats, plus a song holding every kind of record,
// shared by the fuzz seeds, the allocation sweep and the hostile-song tests.
#ifndef ORLIX_TESTS_SONG_FILE_H
#define ORLIX_TESTS_SONG_FILE_H

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/beat_builder.h"
#include "support/byte_builder.h"

namespace orlix_test {

// One measure header; the parts present are those whose flags bits are set.
struct MeasureHeaderRecord {
  uint8_t flags = 0;
  uint8_t numerator = 4, denominator = 4;  // 0x01, 0x02
  uint8_t repeatCount = 1;                 // 0x08
  uint8_t altEnding = 1;                   // 0x10
  std::string marker = "Marker";           // 0x20, with its colour
  uint8_t color[4] = {255, 0, 0, 0};
  uint8_t tonality = 1, tonalityType = 0;  // 0x40

  Bytes bytes() const {
    Bytes b;
    b.u8(flags);
    if (flags & 0x01) b.u8(numerator);
    if (flags & 0x02) b.u8(denominator);
    if (flags & 0x08) b.u8(repeatCount);
    if (flags & 0x10) b.u8(altEnding);
    if (flags & 0x20) b.intByteString(marker).raw({color[0], color[1], color[2], color[3]});
    if (flags & 0x40) b.u8(tonality).u8(tonalityType);
    return b;
  }
};

inline MeasureHeaderRecord Signature(uint8_t numerator, uint8_t denominator) {
  MeasureHeaderRecord h;
  h.flags = 0x03;
  h.numerator = numerator;
  h.denominator = denominator;
  return h;
}

// A whole song file. The head's counts are taken from the vectors unless
// countsAsGiven is set (for files that claim more than they hold).
struct SongFile {
  SongHead head;
  std::vector<MeasureHeaderRecord> measures;
  std::vector<TrackRecord> tracks;
  std::vector<std::vector<std::vector<BeatRecord>>> cells;  // [measure][track]; missing: empty
  bool countsAsGiven = false;

  Bytes bytes() const {
    SongHead h = head;
    if (!countsAsGiven) {
      h.measureCount = static_cast<uint32_t>(measures.size());
      h.trackCount = static_cast<uint32_t>(tracks.size());
    }
    Bytes b = h.bytes();
    for (const MeasureHeaderRecord& m : measures) b.append(m.bytes());
    for (const TrackRecord& t : tracks) b.append(t.bytes());
    for (size_t m = 0; m < measures.size(); ++m) {
      for (size_t t = 0; t < tracks.size(); ++t) {
        if (m < cells.size() && t < cells[m].size()) {
          b.append(GridCellBytes(cells[m][t]));
        } else {
          b.u32(0);
        }
      }
    }
    return b;
  }
};

// A beat with one playable note per given (slot, fret).
inline BeatRecord NotesBeat(int8_t duration, std::vector<std::pair<int, int>> slotFrets) {
  BeatRecord beat;
  beat.duration = duration;
  for (const auto& sf : slotFrets) beat.strings = static_cast<uint8_t>(beat.strings | (0x40 >> sf.first));
  for (int slot = 0; slot < 7; ++slot) {
    for (const auto& sf : slotFrets) {
      if (sf.first != slot) continue;
      NoteRecord note;
      note.fret = static_cast<uint8_t>(sf.second);
      beat.notes.push_back(note);
    }
  }
  return beat;
}

inline BendCurveRecord ThreePointCurve() {
  BendCurveRecord curve;
  curve.points = {{0, 0, 0}, {30, 100, 1}, {60, 50, 0}};
  return curve;
}

// The note of an every-part beat on `slot`: every note part, the three
// note types in turn; its effects are the caller's.
inline NoteRecord EveryPartNote(int slot) {
  NoteRecord note;
  note.flags = 0x01 | 0x10 | 0x20 | 0x80 | 0x08;
  note.type = static_cast<uint8_t>(slot % 3 + 1);  // normal, tied, dead
  note.duration = 2;
  note.tuplet = 3;
  note.dynamic = static_cast<uint8_t>(slot + 1);
  note.fret = static_cast<uint8_t>(slot);
  note.leftFinger = 1;
  note.rightFinger = 2;
  return note;
}

// Every part a beat can carry: dot, status, tuplet, an old- or new-layout
// chord, text, effects with tremolo bar, a full mix table, and seven notes
// with every note part, effects with bend, and the three note types.
inline BeatRecord EveryPartBeat(bool newChord) {
  BeatRecord beat;
  beat.flags = 0x01 | 0x02 | 0x04 | 0x08 | 0x10 | 0x20 | 0x40;
  beat.status = 1;
  beat.duration = 1;
  beat.tuplet = 3;
  beat.chord = newChord ? NewChordRecord().bytes() : OldChordRecord().bytes();
  beat.text = "beat text";
  BeatEffectsRecord effects;
  effects.flags1 = 0x20 | 0x40;
  effects.flags2 = 0x02 | 0x04;
  effects.tremoloBar = ThreePointCurve();
  beat.effects = effects.bytes();
  MixTableRecord mix;
  mix.instrument = 30;
  mix.volume = 14;
  mix.balance = 8;
  mix.chorus = 2;
  mix.reverb = 3;
  mix.phaser = 4;
  mix.tremolo = 5;
  mix.tempo = 90;
  mix.volumeDuration = 1;
  mix.tempoDuration = 2;
  mix.allTracks = 1;
  beat.mixTable = mix.bytes();
  beat.strings = 0x7F;
  for (int slot = 0; slot < 7; ++slot) {
    NoteRecord note = EveryPartNote(slot);
    note.effects.flags1 = 0x01 | 0x10;
    note.effects.flags2 = 0x04 | 0x08 | 0x10 | 0x20;
    note.effects.bend = ThreePointCurve();
    beat.notes.push_back(note);
  }
  return beat;
}

// Notice, all lyrics lines, triplet feel, four measure headers using every
// header part (signature, repeats, alternate ending, marker, tonality,
// double bar), two tracks on different channel pairs, and cells holding
// every beat and note part in both chord layouts, rests and swung eighths.
inline SongFile EveryRecordSong() {
  SongFile song;
  song.head.notice = {"first notice line", "", "third"};
  for (int i = 0; i < 5; ++i) song.head.lyrics[i] = "lyrics line " + std::to_string(i);
  song.head.tripletFeel = 1;
  song.head.channels[0][2].instrument = 33;
  song.head.channels[0][2].volume = 16;

  MeasureHeaderRecord first = Signature(4, 4);
  first.flags |= 0x04;  // repeat begins
  MeasureHeaderRecord second;
  second.flags = 0x08 | 0x20;  // repeat ends once, marker
  second.marker = "Verse";
  MeasureHeaderRecord third = Signature(6, 8);
  third.flags |= 0x10 | 0x40;  // alternate ending, tonality
  MeasureHeaderRecord fourth;
  fourth.flags = 0x80;  // double bar
  song.measures = {first, second, third, fourth};

  TrackRecord guitar;
  guitar.stringCount = 7;
  guitar.tuning[6] = 35;
  TrackRecord bass;
  bass.name = "Bass";
  bass.stringCount = 4;
  bass.channel = 3;
  bass.effectsChannel = 4;
  song.tracks = {guitar, bass};

  BeatRecord rest;
  rest.flags = 0x40;
  rest.status = 2;
  BeatRecord dotted = NotesBeat(0, {{1, 5}});
  dotted.flags = 0x01;
  std::vector<BeatRecord> swung;
  for (int i = 0; i < 8; ++i) swung.push_back(NotesBeat(1, {{i % 6, i}}));
  song.cells = {
      {{EveryPartBeat(false), rest, dotted}, {NotesBeat(-2, {{0, 3}, {3, 5}})}},
      {swung, {EveryPartBeat(true)}},
      {{NotesBeat(-1, {{2, 2}}), EveryPartBeat(true)}, swung},
      {{}, {rest, NotesBeat(4, {{1, 1}})}},
  };
  return song;
}

// ------------------------------------------------------------ version 3

// The chord shapes a version 3 beat can hold.
enum class Version3Chord { kOldWithFrets, kOldWithoutFrets, kNew };

inline Version3BeatEffectsRecord Version3Effects(uint8_t flags, uint8_t kind, int32_t depth) {
  Version3BeatEffectsRecord effects;
  effects.flags = flags;
  effects.kind = kind;
  effects.depth = depth;
  return effects;
}

// A mix table that changes every value, each over its own duration, in the
// layout of the given format.
inline MixTableRecord EveryValueMix(int format) {
  MixTableRecord mix;
  mix.format = format;
  mix.instrument = 30;
  mix.volume = 14;
  mix.balance = 8;
  mix.chorus = 2;
  mix.reverb = 3;
  mix.phaser = 4;
  mix.tremolo = 5;
  mix.tempo = 90;
  mix.volumeDuration = 1;
  mix.balanceDuration = 2;
  mix.chorusDuration = 3;
  mix.reverbDuration = 4;
  mix.phaserDuration = 5;
  mix.tremoloDuration = 6;
  mix.tempoDuration = 7;
  return mix;
}

// Every part a version 3 beat can carry: dot, status, tuplet, a chord of
// the given shape, text, the given beat effects, a mix table with every
// value, and seven notes with every note part, the three note types and
// version 3 note effects (all five of them on most).
inline BeatRecord EveryPartVersion3Beat(Version3Chord chord, const Version3BeatEffectsRecord& effects) {
  BeatRecord beat;
  beat.flags = 0x01 | 0x02 | 0x04 | 0x08 | 0x10 | 0x20 | 0x40;
  beat.status = 1;
  beat.duration = 1;
  beat.tuplet = 3;
  OldChordRecord old;
  if (chord == Version3Chord::kOldWithoutFrets) old.baseFret = 0;
  beat.chord = chord == Version3Chord::kNew ? Version3ChordRecord().bytes() : old.bytes();
  beat.text = "beat text";
  beat.effects = effects.bytes();
  beat.mixTable = EveryValueMix(3).bytes();
  beat.strings = 0x7F;
  const uint8_t noteEffects[] = {0x1F, 0x1F, 0x04, 0x11, 0x0A, 0x1F, 0x13};
  for (int slot = 0; slot < 7; ++slot) {
    NoteRecord note = EveryPartNote(slot);
    note.effects.format = 3;
    note.effects.flags1 = noteEffects[slot];
    note.effects.bend = ThreePointCurve();
    beat.notes.push_back(note);
  }
  return beat;
}

// EveryRecordSong's measure headers and tracks over a version 3 head (a
// flat key, so that the key's int32 spreads into the octave) and a grid
// holding every version 3 record: the three chord shapes, beat effects
// with tapping, a tremolo-bar dip and strokes, mix tables without the
// all-tracks byte, and every note effect.
inline SongFile EveryRecordVersion3Song() {
  SongFile song = EveryRecordSong();
  SongHead head = Version3Head();
  head.notice = song.head.notice;
  head.tripletFeel = 1;
  head.version3Key = -1;
  head.channels[0][2].instrument = 33;
  head.channels[0][2].volume = 16;
  song.head = head;

  BeatRecord rest;
  rest.flags = 0x40;
  rest.status = 2;
  std::vector<BeatRecord> swung;
  for (int i = 0; i < 8; ++i) swung.push_back(NotesBeat(1, {{i % 6, i}}));
  song.cells = {
      {{EveryPartVersion3Beat(Version3Chord::kOldWithFrets, Version3Effects(0x20 | 0x40 | 0x01, 0, 100)),
        rest},
       {NotesBeat(-2, {{0, 3}, {3, 5}})}},
      {swung, {EveryPartVersion3Beat(Version3Chord::kNew, Version3Effects(0x20 | 0x02 | 0x04, 2, 0))}},
      {{NotesBeat(-1, {{2, 2}}),
        EveryPartVersion3Beat(Version3Chord::kOldWithoutFrets, Version3Effects(0x08 | 0x10 | 0x40 | 0x80, 1, 0))},
       swung},
      {{}, {rest, NotesBeat(4, {{1, 1}})}},
  };
  return song;
}

// The bytes in a temporary file for the path-taking load; removed on
// destruction.
class TempSongFile {
 public:
  explicit TempSongFile(const Bytes& bytes) {
    char name[] = "/tmp/orlix_song_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) return;
    bool ok = write(fd, bytes.data.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
    path_ = name;
    if (!ok) path_.clear();
  }
  ~TempSongFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  TempSongFile(const TempSongFile&) = delete;
  TempSongFile& operator=(const TempSongFile&) = delete;
  const char* path() const { return path_.c_str(); }
  bool ok() const { return !path_.empty(); }

 private:
  std::string path_;
};

}  // namespace orlix_test

#endif
