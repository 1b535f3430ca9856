// Writes the fuzzer's starting songs into a folder, built with the test
// song builder so that every seed is the project's own.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "support/byte_builder.h"
#include "support/song5_file.h"
#include "support/song_file.h"

using orlix_test::Bytes;
using orlix_test::SongHead;
using orlix_test::TrackRecord;
using orlix_test::SongFile;

namespace {

bool Write(const std::string& folder, const char* name, const Bytes& song) {
  std::string path = folder + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    perror(path.c_str());
    return false;
  }
  bool ok = fwrite(song.data.data(), 1, song.size(), f) == song.size();
  return fclose(f) == 0 && ok;
}

// A beat: flags, [status], duration, [tuplet], attachments, mask, notes.
Bytes QuarterNote(int fret) { return Bytes().u8(0x00).i8(0).u8(0x40).u8(0x20).u8(1).u8(fret); }

Bytes BendCurve() { return Bytes().u8(1).i32(50).u32(2).i32(0).i32(0).u8(0).i32(60).i32(50).u8(1); }

Bytes RichBeat() {
  Bytes b;
  b.u8(0x01 | 0x02 | 0x04 | 0x08 | 0x10 | 0x20 | 0x40).u8(1).i8(1).i32(3);
  // old-layout chord with six frets
  b.u8(0).intByteString("Am").i32(1).i32(0).i32(1).i32(2).i32(2).i32(0).i32(-1);
  b.intByteString("text");
  // beat effects 0x60 0x06: tap byte, tremolo bar, strokes, pick stroke
  b.u8(0x60).u8(0x06).u8(1).append(BendCurve()).u8(2).u8(3).u8(1);
  // mix table: instrument 30, volume 12, tempo 90, the rest unchanged
  b.i8(30).i8(12).i8(-1).i8(-1).i8(-1).i8(-1).i8(-1).i32(90).u8(0).u8(0).u8(0);
  b.u8(0x41);
  // note with every part and effects with a bend, grace, tremolo, slide, harmonic, trill
  b.u8(0x01 | 0x08 | 0x10 | 0x20 | 0x80).u8(1).u8(0).u8(3).u8(6).u8(5).u8(1).u8(2);
  b.u8(0x11).u8(0x3C).append(BendCurve()).raw({1, 2, 3, 4}).u8(1).u8(2).u8(3).u8(4).u8(5);
  b.u8(0x20).u8(2).u8(7);  // dead note
  return b;
}

Bytes NewLayoutChordBeat() {
  Bytes b;
  b.u8(0x02).i8(0).u8(1).u8(0).raw({0, 0, 0}).u8(9).u8(0).u8(0).i32(-1).i32(0).u8(0);
  std::string name = "C major";
  b.byteString(name).zeros(20 - name.size());
  b.raw({0, 0}).u8(0).u8(0).u8(0).i32(1);
  for (int i = 0; i < 7; ++i) b.i32(i < 6 ? i % 3 : -1);
  b.u8(1).raw({1, 0, 0, 0, 0}).raw({1, 0, 0, 0, 0}).raw({6, 0, 0, 0, 0});
  b.zeros(7).u8(0).zeros(7).u8(1);
  b.u8(0x40).u8(0x20).u8(1).u8(3);
  return b;
}

Bytes TwoTrackSong() {
  SongHead head;
  head.notice = {"first line", ""};
  head.lyrics[0] = "la la";
  head.tripletFeel = 1;
  head.measureCount = 3;
  head.trackCount = 2;
  Bytes song = head.bytes();
  song.u8(0x01 | 0x02 | 0x04).u8(4).u8(4);             // 4/4, repeat begins
  song.u8(0x20 | 0x08).u8(1).intByteString("Verse").raw({255, 0, 0, 0});  // marker, repeat ends
  song.u8(0x01 | 0x02 | 0x40).u8(6).u8(8).u8(1).u8(0);  // 6/8, tonality
  TrackRecord guitar;
  TrackRecord bass;
  bass.name = "Bass";
  bass.stringCount = 4;
  bass.channel = 3;
  bass.effectsChannel = 3;
  song.append(guitar.bytes()).append(bass.bytes());
  for (int measure = 0; measure < 3; ++measure) {
    song.u32(4);
    for (int i = 0; i < 4; ++i) song.append(QuarterNote(i));
    song.u32(2).append(RichBeat()).append(NewLayoutChordBeat());
  }
  return song;
}

// Out-of-range values the converter must survive, in a song holding every
// record: bad ports and channels, programs above 127, pitches above 127,
// odd dynamics and durations, tempo 0, a measure without denominator.
Bytes HostileSong(SongFile song) {
  song.head.tempo = 0;
  song.head.channels[0][0].instrument = 200;
  song.measures[0].flags = 0x01 | 0x04;  // numerator only: no denominator yet
  song.tracks[0].tuning[0] = 120;
  song.tracks[0].port = 5;
  song.tracks[1].channel = 17;
  song.tracks[1].effectsChannel = -1;
  orlix_test::BeatRecord odd = orlix_test::NotesBeat(5, {{0, 20}, {1, 1}});
  odd.notes[1].flags = 0x30;
  odd.notes[1].dynamic = 9;
  song.cells[3][0] = {odd, orlix_test::NotesBeat(-3, {{2, 1}})};
  return song.bytes();
}

// Nested repeats with markers over a short walk.
Bytes RepeatSong() {
  SongFile song;
  orlix_test::MeasureHeaderRecord begin = orlix_test::Signature(2, 4);
  begin.flags |= 0x04 | 0x20;
  orlix_test::MeasureHeaderRecord end;
  end.flags = 0x08;
  end.repeatCount = 2;
  orlix_test::MeasureHeaderRecord both;
  both.flags = 0x04 | 0x08;
  song.measures = {begin, end, both, end};
  song.tracks = {TrackRecord()};
  song.cells = {{{orlix_test::NotesBeat(0, {{0, 1}})}}, {{orlix_test::NotesBeat(-1, {{1, 2}})}}};
  return song.bytes();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    perror(folder.c_str());
    return 1;
  }
  SongHead empty;
  SongHead v400;
  v400.version = "FICHIER GUITAR PRO v4.00";
  bool ok = Write(folder, "empty_song.gp4", empty.bytes()) && Write(folder, "v400_song.gp4", v400.bytes()) &&
            Write(folder, "two_tracks.gp4", TwoTrackSong()) &&
            Write(folder, "every_record.gp4", orlix_test::EveryRecordSong().bytes()) &&
            Write(folder, "hostile_values.gp4", HostileSong(orlix_test::EveryRecordSong())) &&
            Write(folder, "repeats.gp4", RepeatSong()) &&
            Write(folder, "every_record.gp3", orlix_test::EveryRecordVersion3Song().bytes()) &&
            Write(folder, "hostile_values.gp3", HostileSong(orlix_test::EveryRecordVersion3Song())) &&
            Write(folder, "every_record_v500.gp5", orlix_test::EveryRecordTwin("FICHIER GUITAR PRO v5.00").five.bytes()) &&
            Write(folder, "every_record_v510.gp5", orlix_test::EveryRecordTwin("FICHIER GUITAR PRO v5.10").five.bytes());
  return ok ? 0 : 1;
}
