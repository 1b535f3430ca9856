// Test-side helpers for song loads: a complete fixture song, loading bytes
// through a real stream, and a check that a record holds no allocation.
#ifndef ORLIX_TESTS_SONG_CHECKS_H
#define ORLIX_TESTS_SONG_CHECKS_H

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "orlix/tolvenar.h"
#include "support/byte_builder.h"
#include "support/failing_alloc.h"

namespace orlix_test {

// Every pointer a song record can own directly, checked for null.
inline ::testing::AssertionResult HoldsNoPointer(const Tolvenar::FileStruct& song) {
  const Tolvenar::SongInfo& info = song.info;
  const void* pointers[] = {song.version,   info.title,     info.subtitle,     info.interpret,
                            info.album,     info.author,    info.copyright,    info.tabAuthor,
                            info.instructions, info.noticeLines, song.lyricsLines[0],
                            song.lyricsLines[1], song.lyricsLines[2], song.lyricsLines[3],
                            song.lyricsLines[4], song.measureHeaders, song.tracks, song.measures};
  for (size_t i = 0; i < sizeof pointers / sizeof pointers[0]; ++i) {
    if (pointers[i]) return ::testing::AssertionFailure() << "pointer field #" << i << " is not null";
  }
  return ::testing::AssertionSuccess();
}

inline bool SameCurve(const Tolvenar::BendCurve* a, const Tolvenar::BendCurve* b) {
  if (!a || !b) return !a && !b;
  return a->type == b->type && a->value == b->value && a->pointCount == b->pointCount &&
         memcmp(a->points, b->points, a->pointCount * sizeof(Tolvenar::BendPoint)) == 0;
}

inline bool SameBeat(const Tolvenar::Beat& a, const Tolvenar::Beat& b) {
  if (a.flags != b.flags || a.status != b.status || a.duration != b.duration || a.tuplet != b.tuplet ||
      a.strings != b.strings)
    return false;
  if (!a.chord != !b.chord || !a.text != !b.text || !a.effects != !b.effects || !a.mixTable != !b.mixTable)
    return false;
  if (a.chord && (memcmp(a.chord, b.chord, offsetof(Tolvenar::ChordDiagram, name)) != 0 ||
                  strcmp(a.chord->name, b.chord->name) != 0 ||
                  memcmp(&a.chord->reserved2, &b.chord->reserved2,
                              sizeof(Tolvenar::ChordDiagram) - offsetof(Tolvenar::ChordDiagram, reserved2)) != 0))
    return false;
  if (a.text && strcmp(a.text, b.text) != 0) return false;
  if (a.effects && (a.effects->flags1 != b.effects->flags1 || a.effects->flags2 != b.effects->flags2 ||
                    a.effects->tapSlapPop != b.effects->tapSlapPop ||
                    memcmp(a.effects->stroke, b.effects->stroke, 2) != 0 ||
                    a.effects->pickStroke != b.effects->pickStroke ||
                    !SameCurve(a.effects->tremoloBar, b.effects->tremoloBar)))
    return false;
  if (a.mixTable && memcmp(a.mixTable, b.mixTable, sizeof(Tolvenar::MixTableChange)) != 0) return false;
  for (int s = 0; s < 7; ++s) {
    const Tolvenar::Note& x = a.notes[s];
    const Tolvenar::Note& y = b.notes[s];
    if (memcmp(&x, &y, offsetof(Tolvenar::Note, effects)) != 0 || !x.effects != !y.effects) return false;
    if (!x.effects) continue;
    const Tolvenar::NoteEffects& e = *x.effects;
    const Tolvenar::NoteEffects& f = *y.effects;
    if (e.flags1 != f.flags1 || e.flags2 != f.flags2 || memcmp(e.grace, f.grace, 4) != 0 ||
        e.tremoloPicking != f.tremoloPicking || e.slide != f.slide || e.harmonic != f.harmonic ||
        memcmp(e.trill, f.trill, 2) != 0 || !SameCurve(e.bend, f.bend))
      return false;
  }
  return true;
}

inline bool SameText(const char* a, const char* b) { return (!a || !b) ? !a && !b : strcmp(a, b) == 0; }

// Two songs hold the same records, field for field, texts and attachments
// compared by value, the converter's scratch in the tracks left out; says
// where they first differ.
inline ::testing::AssertionResult SameSong(const Tolvenar::FileStruct& a, const Tolvenar::FileStruct& b) {
  auto differ = [](const std::string& where) { return ::testing::AssertionFailure() << "differ at " << where; };
  const Tolvenar::SongInfo& x = a.info;
  const Tolvenar::SongInfo& y = b.info;
  const char* texts[][2] = {{a.version, b.version},     {x.title, y.title},         {x.subtitle, y.subtitle},
                            {x.interpret, y.interpret}, {x.album, y.album},         {x.author, y.author},
                            {x.copyright, y.copyright}, {x.tabAuthor, y.tabAuthor}, {x.instructions, y.instructions}};
  for (size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i)
    if (!SameText(texts[i][0], texts[i][1])) return differ("text " + std::to_string(i));
  if (x.noticeLineCount != y.noticeLineCount || !x.noticeLines != !y.noticeLines) return differ("notice");
  for (uint32_t i = 0; i < x.noticeLineCount; ++i)
    if (!SameText(x.noticeLines[i], y.noticeLines[i])) return differ("notice line " + std::to_string(i));
  if (a.tripletFeel != b.tripletFeel || a.lyricsTrack != b.lyricsTrack) return differ("triplet feel or lyrics");
  for (int i = 0; i < 5; ++i)
    if (!SameText(a.lyricsLines[i], b.lyricsLines[i])) return differ("lyrics line " + std::to_string(i));
  size_t blockStart = offsetof(Tolvenar::FileStruct, tempo);
  size_t blockEnd = offsetof(Tolvenar::FileStruct, trackCount) + sizeof a.trackCount;
  if (memcmp(reinterpret_cast<const char*>(&a) + blockStart, reinterpret_cast<const char*>(&b) + blockStart,
             blockEnd - blockStart) != 0)
    return differ("song block");
  for (uint32_t m = 0; m < a.measureCount; ++m) {
    const Tolvenar::MeasureHeader& h = a.measureHeaders[m];
    const Tolvenar::MeasureHeader& k = b.measureHeaders[m];
    if (h.flags != k.flags || h.keyNumerator != k.keyNumerator || h.keyDenominator != k.keyDenominator ||
        h.repeatCount != k.repeatCount || h.altEndingCount != k.altEndingCount || h.tonality != k.tonality ||
        h.tonalityType != k.tonalityType || h.repeatPass != k.repeatPass || !h.marker != !k.marker ||
        (h.marker && (!SameText(h.marker->text, k.marker->text) || h.marker->color != k.marker->color)))
      return differ("measure header " + std::to_string(m));
  }
  for (uint32_t t = 0; t < a.trackCount; ++t) {
    const Tolvenar::Track& r = a.tracks[t];
    const Tolvenar::Track& s = b.tracks[t];
    if (!SameText(r.name, s.name) || r.flags != s.flags ||
        memcmp(&r.stringCount, &s.stringCount,
               offsetof(Tolvenar::Track, nextBeat) - offsetof(Tolvenar::Track, stringCount)) != 0)
      return differ("track " + std::to_string(t));
  }
  for (uint32_t m = 0; m < a.measureCount; ++m) {
    for (uint32_t t = 0; t < a.trackCount; ++t) {
      const Tolvenar::TrackMeasure& c = a.measures[m][t];
      const Tolvenar::TrackMeasure& d = b.measures[m][t];
      if (c.beatCount != d.beatCount) return differ("beat count of cell " + std::to_string(m) + "," + std::to_string(t));
      for (uint32_t i = 0; i < c.beatCount; ++i)
        if (!SameBeat(c.beats[i], d.beats[i]))
          return differ("beat " + std::to_string(i) + " of cell " + std::to_string(m) + "," + std::to_string(t));
    }
  }
  return ::testing::AssertionSuccess();
}

// Cells of a measure grid that hold no beats (a zero beat count each).
inline Bytes EmptyGridCells(uint32_t cells) { return Bytes().zeros(4 * size_t{cells}); }

// A song with notice, lyrics, three measure headers (one with a marker) and
// two tracks; the grid cells are empty.
struct FixtureSong {
  SongHead head;
  TrackRecord guitar;
  TrackRecord bass;
  Bytes measures;
  size_t bodyEnd = 0;  // the offset just after the last track record

  FixtureSong() {
    head.notice = {"First notice line", "Second"};
    head.tripletFeel = 1;
    head.lyricsTrack = 2;
    head.lyrics[0] = "la la";
    head.lyrics[1] = "";
    head.lyrics[2] = "li";
    head.lyrics[3] = "lo";
    head.lyrics[4] = "lu lu lu";
    head.tempo = 96;
    head.key = 0xFE;
    head.measureCount = 3;
    head.trackCount = 2;
    measures.u8(0x03).u8(4).u8(4);
    measures.u8(0x7B).u8(3).u8(8).u8(2).u8(1).intByteString("Chorus").raw({0x10, 0x20, 0x30, 0x40});
    measures.u8(5).u8(1);
    measures.u8(0x84);
    bass.name = "Bass";
    bass.stringCount = 4;
    int32_t bassTuning[7] = {43, 38, 33, 28, 0, 0, 0};
    memcpy(bass.tuning, bassTuning, sizeof bassTuning);
    bass.port = 2;
    bass.channel = 3;
    bass.effectsChannel = 4;
    bass.frets = 20;
    bass.capo = 2;
  }

  Bytes bytes() {
    Bytes b = head.bytes();
    b.append(measures).append(guitar.bytes()).append(bass.bytes());
    bodyEnd = b.size();
    return b.append(EmptyGridCells(head.measureCount * head.trackCount));
  }
};

inline int LoadBytes(const Bytes& bytes, Tolvenar::FileStruct* song) {
  MemoryStream in(bytes);
  return Tolvenar::LoadFileStruct(song, in.get());
}

// How many allocation calls one load of the bytes makes (the song is released).
inline long AllocationsDuringLoad(const Bytes& bytes) {
  MemoryStream in(bytes);
  Tolvenar::FileStruct song;
  FailAllocationNumber(1000000000L);  // counts calls, never reached
  Tolvenar::LoadFileStruct(&song, in.get());
  long calls = AllocationCalls();
  FailAllocationNumber(0);
  Tolvenar::FreeFileStruct(&song);
  return calls;
}

}  // namespace orlix_test

#endif
