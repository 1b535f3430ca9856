// The flat MIDI export over the global song slot.
#include <gtest/gtest.h>

#include <vector>

#include "orlix/orlix.h"
#include "support/failing_alloc.h"
#include "support/midi_decoder.h"
#include "support/song_builder.h"

using namespace orlix_test;

namespace {

// Puts a test-built song into the global slot for one test.
class SlotSong {
 public:
  explicit SlotSong(TestSong* song) { theFileStruct = song->get(); }
  ~SlotSong() { theFileStruct = nullptr; }
};

TEST(MidiExport, NoSongStoresNothing) {
  ASSERT_EQ(nullptr, theFileStruct);
  unsigned char sentinel = 0;
  unsigned char* buffer = &sentinel;
  int size = -7;
  EXPECT_EQ(0, ORLIX_CreateMidiBuffer(&buffer, &size));
  EXPECT_EQ(&sentinel, buffer);
  EXPECT_EQ(-7, size);
}

TEST(MidiExport, FileHeaderAndChunks) {
  for (uint32_t tracks : {0u, 1u, 3u}) {
    TestSong song(2, tracks);
    SlotSong slot(&song);
    unsigned char* buffer = nullptr;
    int size = 0;
    ASSERT_EQ(1, ORLIX_CreateMidiBuffer(&buffer, &size));
    ASSERT_NE(nullptr, buffer);
    DecodedFile file = DecodeFile(buffer, static_cast<size_t>(size));
    EXPECT_TRUE(file.wellFormed);
    EXPECT_EQ(1u, file.format);
    EXPECT_EQ(tracks + 1, file.chunkCount);
    EXPECT_EQ(480u, file.division);
    for (const DecodedChunk& chunk : file.chunks) EXPECT_TRUE(chunk.wellFormed);
    EXPECT_EQ("0 name Song", file.chunks.at(0).rows.at(1));
    ORLIX_DestroyMidiBuffer(buffer);
  }
}

TEST(MidiExport, TwoCallsGiveIdenticalBytes) {
  TestSong song(4, 2);
  song.BeginRepeat(1).EndRepeat(2, 2).Marker(1, "verse");
  song.Cell(1, 0, {NoteBeat(kQuarter), NoteBeat(kHalf, {{1, 3}})}).Cell(2, 1, {NoteBeat(kWhole)});
  SlotSong slot(&song);
  unsigned char* first = nullptr;
  unsigned char* second = nullptr;
  int firstSize = 0, secondSize = 0;
  ASSERT_EQ(1, ORLIX_CreateMidiBuffer(&first, &firstSize));
  ASSERT_EQ(1, ORLIX_CreateMidiBuffer(&second, &secondSize));
  ASSERT_EQ(firstSize, secondSize);
  EXPECT_EQ(std::vector<unsigned char>(first, first + firstSize),
            std::vector<unsigned char>(second, second + secondSize));
  ORLIX_DestroyMidiBuffer(first);
  ORLIX_DestroyMidiBuffer(second);
}

// 65,534 tracks make the largest chunk count the header holds, 65,535.
TEST(MidiExport, TrackCountLimit) {
  TestSong song(0, 65534);
  SlotSong slot(&song);
  unsigned char* buffer = nullptr;
  int size = 0;
  ASSERT_EQ(1, ORLIX_CreateMidiBuffer(&buffer, &size));
  DecodedFile file = DecodeFile(buffer, static_cast<size_t>(size));
  EXPECT_TRUE(file.wellFormed);
  EXPECT_EQ(65535u, file.chunkCount);
  ORLIX_DestroyMidiBuffer(buffer);

  for (uint32_t count : {65535u, 0xFFFFFFFFu}) {
    uint32_t kept = song.song.trackCount;
    song.song.trackCount = count;  // refused before the tracks are looked at
    unsigned char sentinel = 0;
    buffer = &sentinel;
    size = -7;
    EXPECT_EQ(0, ORLIX_CreateMidiBuffer(&buffer, &size));
    EXPECT_EQ(&sentinel, buffer);
    EXPECT_EQ(-7, size);
    song.song.trackCount = kept;
  }
}

// Every allocation may fail: set-up failure stores nothing, a failed final
// buffer or end of track gives null with size 0, lost events only shorten
// the file.
TEST(MidiExport, AllocationFailures) {
  TestSong song(2, 2);
  song.Marker(1, "x").Cell(0, 0, {NoteBeat(kQuarter), WithMix(NoteBeat(kQuarter), 3, 4, 100)});
  SlotSong slot(&song);
  int setUpFailures = 0, bufferFailures = 0;
  long runs = SweepAllocationFailures([&]() {
    unsigned char sentinel = 0;
    unsigned char* buffer = &sentinel;
    int size = -7;
    int result = ORLIX_CreateMidiBuffer(&buffer, &size);
    if (result == 0) {
      ++setUpFailures;
      EXPECT_EQ(&sentinel, buffer);
      EXPECT_EQ(-7, size);
    } else if (buffer == nullptr) {
      ++bufferFailures;
      EXPECT_EQ(0, size);
    } else {
      EXPECT_TRUE(DecodeFile(buffer, static_cast<size_t>(size)).wellFormed);
      ORLIX_DestroyMidiBuffer(buffer);
    }
  });
  EXPECT_GT(runs, 3);
  EXPECT_EQ(1, setUpFailures);
  // The conversion's scratch, the file buffer, and an end of track that
  // could not grow its chunk: a chunk that cannot be closed gives no file
  // rather than an invalid one.
  EXPECT_GE(bufferFailures, 2);
}

}  // namespace
