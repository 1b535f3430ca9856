// MIDI file records: set-up and release, the file bytes in memory and on a
// stream, short writes and failed allocations.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "orlix/tolvenar.h"
#include "support/budget_stream.h"
#include "support/failing_alloc.h"

using namespace Tolvenar;
using namespace orlix_test;
using Octets = std::vector<uint8_t>;

namespace {

struct File {
  MidiFileStruct f = {};
  explicit File(uint32_t count) { EXPECT_EQ(1, InitMidiFileStruct(&f, count, 480)); }
  ~File() { FreeMidiFileStruct(&f); }
};

Octets Buffer(const MidiFileStruct& f) {
  Byte* buffer = nullptr;
  uint32_t size = CreateMidiBuffer(&f, &buffer);
  Octets bytes = buffer ? Octets(buffer, buffer + size) : Octets();
  DestroyMidiBuffer(buffer);
  return bytes;
}

Octets Header(uint8_t trackCount) { return {0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 1, 0, trackCount, 0x01, 0xE0}; }

}  // namespace

TEST(MidiFile, InitSetsHeaderAndEmptyChunks) {
  const struct { uint32_t count, division; int result; uint16_t trackCount, division16; } cases[] = {
      {3, 480, 1, 3, 480}, {1, 0x101E0, 1, 1, 0x01E0}, {65535, 480, 1, 65535, 480},
      {0, 480, 1, 0, 480},      // no chunks: succeeds with tracks null
      {0x10003, 480, 0, 3, 480},  // more than the 16-bit count holds: refused
  };
  for (const auto& k : cases) {
    MidiFileStruct f;
    memset(&f, 0xAB, sizeof f);
    EXPECT_EQ(k.result, InitMidiFileStruct(&f, k.count, k.division)) << k.count;
    EXPECT_TRUE(!memcmp(f.id, "MThd", 4) && f.headerLength == 6 && f.format == 1) << k.count;
    EXPECT_EQ(k.trackCount, f.trackCount) << k.count;
    EXPECT_EQ(k.division16, f.division) << k.count;
    EXPECT_EQ(k.result && k.count, f.tracks != nullptr) << k.count;
    for (uint32_t i = 0; f.tracks && i < f.trackCount; ++i) {
      ASSERT_TRUE(!memcmp(f.tracks[i].id, "MTrk", 4) && f.tracks[i].length == 0 && !f.tracks[i].data);
    }
    FreeMidiFileStruct(&f);
    FreeMidiFileStruct(&f);  // twice: nothing is freed again
    EXPECT_EQ(nullptr, f.tracks);
  }
}

TEST(MidiFile, BufferBytes) {
  File three(3), one(1), none(0), big(1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(1, AddMetaEventEndOfTrack(&three.f.tracks[i]));
  Octets want = Header(3);
  for (int i = 0; i < 3; ++i) want.insert(want.end(), {0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00});
  ASSERT_EQ(50u, want.size());
  EXPECT_EQ(want, Buffer(three.f));

  want = Header(1);
  want.insert(want.end(), {0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 0});  // nothing appended: 8 bytes
  EXPECT_EQ(want, Buffer(one.f));
  EXPECT_EQ(Header(0), Buffer(none.f));

  for (int i = 0; i < 100; ++i) ASSERT_EQ(1, AddEventProgramChange(&big.f.tracks[0], 0, 1));  // 300 bytes
  Octets bytes = Buffer(big.f);
  ASSERT_EQ(14u + 8 + 300, bytes.size());
  EXPECT_EQ((Octets{0, 0, 0x01, 0x2C}), Octets(bytes.begin() + 18, bytes.begin() + 22));
}

TEST(MidiFile, StreamGetsTheBufferBytesAndEveryShortWriteFails) {
  File none(0), file(3);
  BudgetStream header;
  EXPECT_EQ(1, SaveMidiFileStruct(&none.f, header.get()));
  EXPECT_EQ(Header(0), header.bytes());

  MidiTrackChunk* t = file.f.tracks;
  AddMetaEventSetTempo(&t[0], 500000);
  AddMetaEventTrackName(&t[0], "Song");
  AddMetaEventEndOfTrack(&t[0]);
  AddEventProgramChange(&t[2], 1, 25);
  t[2].pendingDelta = 480;
  AddEventNoteOn(&t[2], 1, 64, 100);
  AddMetaEventEndOfTrack(&t[2]);  // t[1] stays empty
  Octets want = Buffer(file.f);
  ASSERT_EQ(14u + (8 + 19) + 8 + (8 + 12), want.size());
  for (size_t cut = 0; cut <= want.size(); ++cut) {
    BudgetStream out(cut);
    EXPECT_EQ(cut == want.size(), SaveMidiFileStruct(&file.f, out.get())) << "cut at " << cut;
    EXPECT_EQ(Octets(want.begin(), want.begin() + cut), out.bytes()) << "cut at " << cut;
  }
}

// A released chunk still claims its length but holds no bytes to copy.
TEST(MidiFile, ChunkWithoutItsBytesIsNotWritten) {
  File file(1);
  ASSERT_EQ(1, AddMetaEventEndOfTrack(&file.f.tracks[0]));
  FreeMidiTrackChunk(&file.f.tracks[0]);
  EXPECT_EQ(Octets(), Buffer(file.f));
  Byte room[16];
  uint32_t position = 0;
  EXPECT_EQ(0, BufferWriteTrackChunk(&file.f.tracks[0], room, &position));
  EXPECT_EQ(0u, position);
  BudgetStream out;
  EXPECT_EQ(0, SaveMidiTrackChunk(&file.f.tracks[0], out.get()));
}

TEST(MidiFile, FailedAllocationsLeaveNothingBehind) {
  MidiFileStruct f;
  FailAllocationNumber(1);
  EXPECT_EQ(0, InitMidiFileStruct(&f, 3, 480));
  FailAllocationNumber(0);
  EXPECT_EQ(nullptr, f.tracks);
  FreeMidiFileStruct(&f);

  File file(2);
  ASSERT_EQ(1, AddMetaEventEndOfTrack(&file.f.tracks[1]));
  Byte* buffer = reinterpret_cast<Byte*>(1);
  FailAllocationNumber(1);
  EXPECT_EQ(0u, CreateMidiBuffer(&file.f, &buffer));
  FailAllocationNumber(0);
  EXPECT_EQ(nullptr, buffer);
  EXPECT_EQ(14u + 8 + 12, Buffer(file.f).size());
}

// Summed in 64 bits: a total of 4 GiB - 1 is allocated (here: the allocation
// fails), one byte more is refused before allocating instead of wrapping.
TEST(MidiFile, TotalBeyond32BitsIsRefused) {
  static uint8_t fake = 0;  // never read
  MidiTrackChunk chunks[2] = {{{'M', 'T', 'r', 'k'}, 0x80000000u, &fake, 0, 0}, {{'M', 'T', 'r', 'k'}, 0, &fake, 0, 0}};
  MidiFileStruct f = {{'M', 'T', 'h', 'd'}, 6, 1, 2, 480, chunks};
  const struct { uint32_t second; long allocations; } cases[] = {{0x7FFFFFE1u, 1}, {0x7FFFFFE2u, 0}};
  for (const auto& k : cases) {
    chunks[1].length = k.second;
    Byte* buffer = reinterpret_cast<Byte*>(1);
    FailAllocationNumber(1);
    EXPECT_EQ(0u, CreateMidiBuffer(&f, &buffer));
    EXPECT_EQ(k.allocations, AllocationCalls());
    FailAllocationNumber(0);
    EXPECT_EQ(nullptr, buffer);
  }
}
