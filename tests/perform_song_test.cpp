// Full playback of whole songs: every corpus song performs to a valid MIDI
// file whose notes all pair up and end with their track, a refused
// allocation anywhere fails the performance cleanly, and the size limit
// stops it.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "orlix/tolvenar.h"
#include "perform/perform.h"
#include "support/failing_alloc.h"
#include "support/midi_validator.h"
#include "support/performed_notes.h"
#include "support/song_file.h"

using namespace orlix_test;
using namespace Tolvenar;

namespace {

constexpr uint64_t kNoLimit = uint64_t{1} << 30;

std::vector<std::string> CorpusSongs() {
  std::vector<std::string> paths;
  std::string dir = std::string(ORLIX_CORPUS_DIR) + "/gp4";
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".gp4") == 0) paths.push_back(dir + "/" + name);
    }
    closedir(d);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Notes pair up, none sounds past its chunk's end, and every chunk ends
// where the conductor does.
void ExpectSoundPerformance(const uint8_t* buffer, size_t size, const std::string& name) {
  ASSERT_EQ("", ValidateMidiFile(buffer, size)) << name;
  PerformedFile file = ReadPerformance(buffer, size);
  ASSERT_EQ("", file.problem) << name;
  for (size_t c = 0; c < file.chunks.size(); ++c) {
    const PerformedChunk& chunk = file.chunks[c];
    EXPECT_EQ(0, chunk.unpairedOffs) << name << " chunk " << c;
    EXPECT_EQ(0, chunk.unfinished) << name << " chunk " << c;
    EXPECT_EQ(file.chunks[0].end, chunk.end) << name << " chunk " << c;
    for (const std::string& note : chunk.notes) {
      unsigned long long start = 0, length = 0;
      ASSERT_EQ(2, sscanf(note.c_str(), "%llu %llu", &start, &length));
      EXPECT_GT(length, 0u) << name << " " << note;
      EXPECT_LE(start + length, chunk.end) << name << " chunk " << c << " " << note;
    }
  }
}

TEST(PerformSong, EveryCorpusSongPerformsToSoundMidi) {
  std::vector<std::string> songs = CorpusSongs();
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : songs) {
    FILE* stream = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, stream) << path;
    FileStruct song;
    int loaded = LoadFileStruct(&song, stream);
    fclose(stream);
    ASSERT_EQ(1, loaded) << path;
    for (uint32_t division : {480u, 16u, 4080u}) {
      uint8_t* buffer = nullptr;
      size_t size = 0;
      ASSERT_EQ(kPerformDone, PerformSongToBuffer(&song, nullptr, division, kNoLimit, &buffer, &size))
          << path;
      ExpectSoundPerformance(buffer, size, path + " at " + std::to_string(division));
      DestroyMidiBuffer(buffer);
    }
    FreeFileStruct(&song);
  }
}

// The song holding every kind of record, loaded from its bytes.
struct LoadedSong {
  LoadedSong() {
    MemoryStream in(EveryRecordSong().bytes());
    loaded = LoadFileStruct(&song, in.get()) == 1;
  }
  ~LoadedSong() { FreeFileStruct(&song); }
  FileStruct song = {};
  bool loaded = false;
};

// A refused allocation fails the performance cleanly, unless it cost
// nothing: spare room that could not be had or given back, when the room
// the event needs could. Then the bytes are the usual ones.
TEST(PerformSong, EveryRefusedAllocationFailsCleanlyOrCostsNothing) {
  LoadedSong rich;
  ASSERT_TRUE(rich.loaded);
  uint8_t* reference = nullptr;
  size_t referenceSize = 0;
  ASSERT_EQ(kPerformDone,
            PerformSongToBuffer(&rich.song, nullptr, 480, kNoLimit, &reference, &referenceSize));
  struct Outcome {
    PerformStatus status;
    uint8_t* buffer;
    size_t size;
  };
  long failures = 0;
  long runs = SweepAllocationFailures(
      [&] {
        Outcome o = {kPerformDone, nullptr, 0};
        o.status = PerformSongToBuffer(&rich.song, nullptr, 480, kNoLimit, &o.buffer, &o.size);
        return o;
      },
      [&](const Outcome& o, bool refused) {
        if (o.status == kPerformDone) {
          ASSERT_EQ(referenceSize, o.size);
          EXPECT_EQ(0, memcmp(reference, o.buffer, o.size));
          DestroyMidiBuffer(o.buffer);
          return;
        }
        ++failures;
        EXPECT_TRUE(refused);
        EXPECT_EQ(kPerformOutOfMemory, o.status);
        EXPECT_EQ(nullptr, o.buffer);
        EXPECT_EQ(0u, o.size);
      });
  DestroyMidiBuffer(reference);
  // The three per-measure arrays, the chunk array, both blocks of the two
  // event lists and the file buffer; a refused room of a chunk is asked for
  // again at the size the event needs.
  EXPECT_GE(failures, 9);
  EXPECT_GT(runs, failures);
}

// The limit holds the serialised size: exactly the size passes, one byte
// less stops the performance, and a tiny limit stops it before it builds.
TEST(PerformSong, StopsAtTheSizeLimit) {
  LoadedSong rich;
  ASSERT_TRUE(rich.loaded);
  uint8_t* buffer = nullptr;
  size_t size = 0;
  ASSERT_EQ(kPerformDone, PerformSongToBuffer(&rich.song, nullptr, 480, kNoLimit, &buffer, &size));
  DestroyMidiBuffer(buffer);
  for (uint64_t limit : {uint64_t{size}, uint64_t{size} - 1, uint64_t{40}, uint64_t{0}}) {
    SCOPED_TRACE(limit);
    MidiFileStruct file;
    ASSERT_EQ(1, InitMidiFileStruct(&file, rich.song.trackCount + 1, 480));
    PerformStatus status = PerformSong(&rich.song, nullptr, &file, 480, limit);
    uint64_t built = 14;
    for (uint32_t i = 0; i < file.trackCount; ++i) built += 8 + uint64_t{file.tracks[i].length};
    FreeMidiFileStruct(&file);
    EXPECT_EQ(limit >= size ? kPerformDone : kPerformTooLarge, status);
    EXPECT_LE(built, std::max<uint64_t>(limit, 14 + 8 * 3) + 64);
  }
}

// 40 measures of 255/1, each repeated 255 times, last longer than 2^32
// ticks: refused as too large rather than wrapped.
TEST(PerformSong, RefusesAWalkPastTheLongestSong) {
  SongFile file;
  for (int m = 0; m < 40; ++m) {
    MeasureHeaderRecord header = Signature(255, 1);
    header.flags |= 0x04 | 0x08;
    header.repeatCount = 255;
    file.measures.push_back(header);
  }
  file.tracks = {TrackRecord()};
  MemoryStream in(file.bytes());
  FileStruct song = {};
  ASSERT_EQ(1, LoadFileStruct(&song, in.get()));
  uint8_t* buffer = nullptr;
  size_t size = 0;
  EXPECT_EQ(kPerformTooLarge, PerformSongToBuffer(&song, nullptr, 480, kNoLimit, &buffer, &size));
  EXPECT_EQ(nullptr, buffer);
  FreeFileStruct(&song);
}

TEST(PerformSong, RefusesBadArguments) {
  LoadedSong rich;
  ASSERT_TRUE(rich.loaded);
  uint8_t* buffer = nullptr;
  size_t size = 0;
  for (uint32_t division : {0u, 8u, 24u, 4096u}) {
    EXPECT_EQ(kPerformBadArgument,
              PerformSongToBuffer(&rich.song, nullptr, division, kNoLimit, &buffer, &size));
    EXPECT_EQ(nullptr, buffer);
  }
  MidiFileStruct file;
  ASSERT_EQ(1, InitMidiFileStruct(&file, rich.song.trackCount, 480));  // one chunk short
  EXPECT_EQ(kPerformBadArgument, PerformSong(&rich.song, nullptr, &file, 480, kNoLimit));
  FreeMidiFileStruct(&file);
}

}  // namespace
