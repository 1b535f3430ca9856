// Test-side helpers for song loads: a complete fixture song, loading bytes
// through a real stream, and a check that a record holds no allocation.
#ifndef ORLIX_TESTS_SONG_CHECKS_H
#define ORLIX_TESTS_SONG_CHECKS_H

#include <gtest/gtest.h>

#include <cstring>

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
