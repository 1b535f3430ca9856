// Generated songs of any size for the benchmark: measures of eight eighths
// with two-note chords, a marker every sixteen measures, a tempo change
// every thirty-two, and optional repeats.
#ifndef ORLIX_BENCH_SONG_GENERATOR_H
#define ORLIX_BENCH_SONG_GENERATOR_H

#include <cstdint>

#include "support/byte_builder.h"

namespace orlix_bench {

using orlix_test::Bytes;

inline Bytes GeneratedSong(uint32_t measures, uint32_t tracks) {
  orlix_test::SongHead head;
  head.measureCount = measures;
  head.trackCount = tracks;
  Bytes song = head.bytes();
  for (uint32_t m = 0; m < measures; ++m) {
    if (m == 0) {
      song.u8(0x03).u8(4).u8(4);
    } else if (m % 16 == 0) {
      song.u8(0x20).intByteString("Section").raw({0, 128, 255, 0});
    } else {
      song.u8(0);
    }
  }
  for (uint32_t t = 0; t < tracks; ++t) {
    orlix_test::TrackRecord track;
    track.channel = static_cast<int32_t>(t % 16) + 1;
    track.effectsChannel = track.channel;
    song.append(track.bytes());
  }
  for (uint32_t m = 0; m < measures; ++m) {
    for (uint32_t t = 0; t < tracks; ++t) {
      song.u32(8);
      for (int b = 0; b < 8; ++b) {
        bool tempoChange = (m % 32 == 0) && b == 0 && t == 0;
        song.u8(tempoChange ? 0x10 : 0x00).i8(1);
        if (tempoChange) song.raw({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).i32(100 + static_cast<int32_t>(m % 64)).u8(0).u8(0);
        song.u8(0x24);  // slots 2 and 5
        song.u8(0x30).u8(1).u8(7).u8(static_cast<unsigned>(b % 5));
        song.u8(0x20).u8(1).u8(static_cast<unsigned>((b + m) % 12));
      }
    }
  }
  return song;
}

// About 2 KB: measures of 255/1 that each repeat themselves 255 times, so
// every one is walked 256 times (489,600 ticks a pass at 480 per quarter),
// each holding one whole note.
inline Bytes LongRepeatSong(uint32_t measures = 64) {
  orlix_test::SongHead head;
  head.measureCount = measures;
  head.trackCount = 1;
  Bytes song = head.bytes();
  song.u8(0x01 | 0x02 | 0x04 | 0x08).u8(255).u8(1).u8(255);
  for (uint32_t m = 1; m < measures; ++m) song.u8(0x04 | 0x08).u8(255);
  song.append(orlix_test::TrackRecord().bytes());
  for (uint32_t m = 0; m < measures; ++m) song.u32(1).u8(0).i8(-2).u8(0x40).u8(0x20).u8(1).u8(0);
  return song;
}

}  // namespace orlix_bench

#endif
