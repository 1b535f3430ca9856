// Track chunk events: delta times, running status, event bytes, and chunks
// left untouched by refused events.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "midi/chunk_writer.h"
#include "support/failing_alloc.h"

using namespace Tolvenar;
using namespace orlix_test;
using Octets = std::vector<uint8_t>;
using Appender = int (*)(MidiTrackChunk*);

namespace {

struct Chunk {
  MidiTrackChunk c;
  Chunk() { InitMidiTrackChunk(&c); }
  ~Chunk() { FreeMidiTrackChunk(&c); }
  Octets bytes() const { return c.data ? Octets(c.data, c.data + c.length) : Octets(); }
};

int NoteOn(MidiTrackChunk* c) { return AddEventNoteOn(c, 0, 60, 100); }
int NoteOff(MidiTrackChunk* c) { return AddEventNoteOff(c, 1, 67, 80); }
int Volume(MidiTrackChunk* c) { return AddEventController(c, 2, kMidiControllerChannelVolume, 100); }
int Program(MidiTrackChunk* c) { return AddEventProgramChange(c, 9, 25); }
int Bend(MidiTrackChunk* c) { return AddEventPitchWheel(c, 3, 0x2ABC); }
int Tempo(MidiTrackChunk* c) { return AddMetaEventSetTempo(c, 500000); }
int TimeSignature(MidiTrackChunk* c) { return AddMetaEventTimeSignature(c, 4, 2, 24, 8); }
int Name(MidiTrackChunk* c) { return AddMetaEventTrackName(c, "Bass"); }
const std::string kLongMarker(200, 'm');
int LongMarker(MidiTrackChunk* c) { return AddMetaEventMarker(c, kLongMarker.c_str()); }
const Appender kEveryAppender[] = {NoteOn, NoteOff, Volume, Program, Bend, Tempo, TimeSignature, Name, LongMarker,
                                   AddMetaEventEndOfTrack};

void ExpectUnchanged(const MidiTrackChunk& before, const Octets& bytes, const Chunk& after) {
  EXPECT_EQ(before.data, after.c.data);
  EXPECT_EQ(before.length, after.c.length);
  EXPECT_EQ(before.pendingDelta, after.c.pendingDelta);
  EXPECT_EQ(before.runningStatus, after.c.runningStatus);
  EXPECT_EQ(bytes, after.bytes());
}

}  // namespace

TEST(MidiChunk, DeltaTimesAreVariableLengthQuantities) {
  const struct { uint32_t delta; Octets vlq; } cases[] = {
      {0, {0x00}}, {127, {0x7F}}, {128, {0x81, 0x00}}, {0x3FFF, {0xFF, 0x7F}}, {0x4000, {0x81, 0x80, 0x00}},
      {0x1FFFFF, {0xFF, 0xFF, 0x7F}}, {0x200000, {0x81, 0x80, 0x80, 0x00}}, {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}}};
  for (const auto& k : cases) {
    Chunk chunk;
    chunk.c.pendingDelta = k.delta;
    ASSERT_EQ(1, NoteOn(&chunk.c)) << k.delta;
    Octets want = k.vlq;
    want.insert(want.end(), {0x90, 0x3C, 0x64});
    EXPECT_EQ(want, chunk.bytes()) << k.delta;
    EXPECT_EQ(0u, chunk.c.pendingDelta);
  }
}

// One chunk, event after event: only a repeated note status is left out.
TEST(MidiChunk, RunningStatusOnlyForRepeatedNoteStatus) {
  const struct { uint32_t delta; Appender append; Octets added; uint8_t runningStatus; } steps[] = {
      {0, NoteOn, {0x00, 0x90, 0x3C, 0x64}, 0x90},
      {480, [](MidiTrackChunk* c) { return AddEventNoteOn(c, 0, 64, 100); }, {0x83, 0x60, 0x40, 0x64}, 0x90},
      {0, [](MidiTrackChunk* c) { return AddEventNoteOn(c, 1, 67, 100); }, {0x00, 0x91, 0x43, 0x64}, 0x91},
      {0, NoteOff, {0x00, 0x81, 0x43, 0x50}, 0x81},
      {0, NoteOff, {0x00, 0x43, 0x50}, 0x81},
      {0, Volume, {0x00, 0xB2, 0x07, 0x64}, 0xB2},
      {0, Volume, {0x00, 0xB2, 0x07, 0x64}, 0xB2},
      {0, Program, {0x00, 0xC9, 0x19}, 0xC9},
      {0, Program, {0x00, 0xC9, 0x19}, 0xC9},
      {0, NoteOn, {0x00, 0x90, 0x3C, 0x64}, 0x90},
      // 14 bits, low seven first; like a controller, always with its status.
      {5, Bend, {0x05, 0xE3, 0x3C, 0x55}, 0xE3},
      {0, Bend, {0x00, 0xE3, 0x3C, 0x55}, 0xE3},
      {0, [](MidiTrackChunk* c) { return AddEventPitchWheel(c, 3, 0xFFFF); }, {0x00, 0xE3, 0x7F, 0x7F}, 0xE3},
      {0, Tempo, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, 0xFF},
      {0, NoteOn, {0x00, 0x90, 0x3C, 0x64}, 0x90},
  };
  Chunk chunk;
  Octets all;
  for (size_t n = 0; n < sizeof steps / sizeof *steps; ++n) {
    chunk.c.pendingDelta = steps[n].delta;
    ASSERT_EQ(1, steps[n].append(&chunk.c)) << "step " << n;
    all.insert(all.end(), steps[n].added.begin(), steps[n].added.end());
    EXPECT_EQ(all, chunk.bytes()) << "step " << n;
    EXPECT_EQ(steps[n].runningStatus, chunk.c.runningStatus) << "step " << n;
    EXPECT_EQ(0u, chunk.c.pendingDelta) << "step " << n;
  }
}

TEST(MidiChunk, MetaEventBytes) {
  const struct { Appender append; uint32_t delta; Octets want; uint32_t pendingAfter = 0; } cases[] = {
      {Tempo, 0, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},
      {[](MidiTrackChunk* c) { return AddMetaEventSetTempo(c, 0x1234567); }, 0, {0x00, 0xFF, 0x51, 0x03, 0x23, 0x45, 0x67}},
      {TimeSignature, 0, {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}},
      {Name, 0, {0x00, 0xFF, 0x03, 0x04, 0x42, 0x61, 0x73, 0x73}},
      {[](MidiTrackChunk* c) { return AddMetaEventTrackName(c, ""); }, 0, {0x00, 0xFF, 0x03, 0x00}},
      {[](MidiTrackChunk* c) { return AddMetaEventMarker(c, nullptr); }, 0, {0x00, 0xFF, 0x06, 0x00}},
      {AddMetaEventEndOfTrack, 960, {0x00, 0xFF, 0x2F, 0x00}, 960},  // delta neither written nor reset
      {AddMetaEventEndOfTrack, 0x10000000, {0x00, 0xFF, 0x2F, 0x00}, 0x10000000},
  };
  for (size_t n = 0; n < sizeof cases / sizeof *cases; ++n) {
    Chunk chunk;
    chunk.c.pendingDelta = cases[n].delta;
    ASSERT_EQ(1, cases[n].append(&chunk.c)) << "case " << n;
    EXPECT_EQ(cases[n].want, chunk.bytes()) << "case " << n;
    EXPECT_EQ(cases[n].pendingAfter, chunk.c.pendingDelta) << "case " << n;
    EXPECT_EQ(0xFF, chunk.c.runningStatus) << "case " << n;
  }
  Chunk chunk;
  ASSERT_EQ(1, LongMarker(&chunk.c));
  Octets want = {0x00, 0xFF, 0x06, 0x81, 0x48};
  want.insert(want.end(), kLongMarker.begin(), kLongMarker.end());
  EXPECT_EQ(want, chunk.bytes());
}

TEST(MidiChunk, FreeKeepsLengthThenInitResetsEverything) {
  Chunk chunk;
  ASSERT_EQ(1, NoteOn(&chunk.c));
  chunk.c.pendingDelta = 3;
  FreeMidiTrackChunk(&chunk.c);
  FreeMidiTrackChunk(&chunk.c);
  EXPECT_EQ(nullptr, chunk.c.data);
  EXPECT_EQ(4u, chunk.c.length);
  memset(chunk.c.id, 'x', 4);
  EXPECT_EQ(1, InitMidiTrackChunk(&chunk.c));
  EXPECT_EQ(0, memcmp(chunk.c.id, "MTrk", 4));
  EXPECT_EQ(0u, chunk.c.length + chunk.c.pendingDelta + chunk.c.runningStatus);
  EXPECT_EQ(nullptr, chunk.c.data);
}

TEST(MidiChunk, FailedGrowthLeavesTheChunkAsItWas) {
  for (size_t n = 0; n < sizeof kEveryAppender / sizeof *kEveryAppender; ++n) {
    for (bool empty : {true, false}) {
      SCOPED_TRACE("appender " + std::to_string(n) + (empty ? " on an empty chunk" : ""));
      Chunk chunk;
      if (!empty) {
        ASSERT_EQ(1, NoteOn(&chunk.c));
      }
      chunk.c.pendingDelta = 5;
      MidiTrackChunk before = chunk.c;
      Octets bytes = chunk.bytes();
      FailAllocationNumber(1);
      EXPECT_EQ(0, kEveryAppender[n](&chunk.c));
      EXPECT_TRUE(AllocationFailed());
      FailAllocationNumber(0);
      ExpectUnchanged(before, bytes, chunk);
      EXPECT_EQ(1, kEveryAppender[n](&chunk.c));
      EXPECT_GT(chunk.c.length, before.length);
    }
  }
}

// Refused before anything is allocated or written: a delta or text length
// beyond four VLQ bytes, or a chunk whose length would pass 32 bits.
TEST(MidiChunk, UnencodableEventsAreRefused) {
  Chunk chunk;
  ASSERT_EQ(1, NoteOn(&chunk.c));
  chunk.c.pendingDelta = 0x10000000;
  MidiTrackChunk before = chunk.c;
  Octets bytes = chunk.bytes();
  FailAllocationNumber(1000);  // only counting
  for (size_t n = 0; n + 1 < sizeof kEveryAppender / sizeof *kEveryAppender; ++n) {  // all but end of track
    EXPECT_EQ(0, kEveryAppender[n](&chunk.c)) << "appender " << n;
  }
  chunk.c.pendingDelta = before.pendingDelta = 0;
  EXPECT_EQ(0, AddTextMetaEvent(&chunk.c, 0x06, "x", 0x10000000));  // only the length is looked at
  ExpectUnchanged(before, bytes, chunk);

  static uint8_t fake = 0;
  Chunk full;
  full.c.data = &fake;  // never read
  full.c.length = UINT32_MAX - 2;
  EXPECT_EQ(0, NoteOn(&full.c));
  EXPECT_EQ(0, AddMetaEventEndOfTrack(&full.c));
  EXPECT_EQ(UINT32_MAX - 2, full.c.length);
  EXPECT_EQ(0, AllocationCalls());
  FailAllocationNumber(0);
  full.c.data = nullptr;
}

