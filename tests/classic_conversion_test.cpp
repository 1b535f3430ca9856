// The classic conversion of a read-only song into a buffer: the flat
// export's bytes at 480 ticks per quarter, ToMidi's at other divisions, the
// song left untouched, the size limit and the arguments it refuses.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "convert/classic_conversion.h"
#include "orlix/orlix.h"
#include "support/failing_alloc.h"
#include "support/song_builder.h"

using namespace Tolvenar;
using namespace orlix_test;
using Octets = std::vector<uint8_t>;

namespace {

struct Converted {
  ConversionStatus status;
  Octets bytes;
  bool bufferNull;
};

Converted Convert(const FileStruct* song, uint32_t ticksPerQuarter, uint64_t maxBytes = 0) {
  uint8_t* buffer = reinterpret_cast<uint8_t*>(&maxBytes);  // must be overwritten
  size_t size = 7;
  Converted out;
  out.status = ConvertClassicToBuffer(song, ticksPerQuarter, maxBytes, &buffer, &size);
  out.bufferNull = buffer == nullptr;
  if (buffer != nullptr) {
    out.bytes.assign(buffer, buffer + size);
  } else {
    EXPECT_EQ(0u, size);
  }
  DestroyMidiBuffer(buffer);
  return out;
}

// ToMidi into a record of the given division, serialised.
Octets ViaToMidi(FileStruct* song, uint32_t ticksPerQuarter) {
  MidiFileStruct file;
  EXPECT_EQ(1, InitMidiFileStruct(&file, song->trackCount + 1, ticksPerQuarter));
  EXPECT_EQ(1, ToMidi(song, &file, ticksPerQuarter / 16));
  Byte* buffer = nullptr;
  uint32_t size = CreateMidiBuffer(&file, &buffer);
  Octets bytes(buffer, buffer + size);
  DestroyMidiBuffer(buffer);
  FreeMidiFileStruct(&file);
  return bytes;
}

Octets ViaFlatExport(FileStruct* song) {
  theFileStruct = song;
  unsigned char* buffer = nullptr;
  int size = 0;
  EXPECT_EQ(1, ORLIX_CreateMidiBuffer(&buffer, &size));
  theFileStruct = nullptr;
  Octets bytes(buffer, buffer + size);
  ORLIX_DestroyMidiBuffer(buffer);
  return bytes;
}

// Repeats, tempo changes of two tracks, a time signature, markers, program
// and volume changes: something of every event the walk writes.
void FillSong(TestSong& song) {
  song.TimeSignature(1, 3, 4).Marker(1, "B").BeginRepeat(1).EndRepeat(2, 2);
  song.Track(1).effectsMidiChannel = 3;
  for (uint32_t m = 0; m < song.get()->measureCount; ++m) {
    song.Cell(m, 0, {WithMix(NoteBeat(kEighth, {{0, 3}, {2, 5}}), 4, 9, 100 + static_cast<int32_t>(m)),
                     Dotted(NoteBeat(kQuarter)), Tuplet(NoteBeat(kEighth), 3), NoteBeat(kHalf)});
    song.Cell(m, 1, {NoteBeat(kSixteenth), WithMix(StatusBeat(kQuarter, 2), -1, 12, 140), NoteBeat(kWhole)});
  }
}

// The scratch fields hold stale values, which the conversion must neither
// use nor change.
void StaleScratch(TestSong& song) {
  for (uint32_t t = 0; t < song.get()->trackCount; ++t) {
    song.Track(t).nextBeat = 1234;
    song.Track(t).ticksLeft = -77;
  }
}

TEST(ClassicConversion, SameBytesAsTheFlatExportAndToMidi) {
  TestSong song(4, 2);
  FillSong(song);
  Octets flat = ViaFlatExport(song.get());
  StaleScratch(song);
  for (uint32_t ticksPerQuarter : {0u, 480u}) {
    Converted c = Convert(song.get(), ticksPerQuarter);
    EXPECT_EQ(kConversionDone, c.status);
    EXPECT_EQ(flat, c.bytes) << ticksPerQuarter;
  }
  for (uint32_t ticksPerQuarter : {16u, 96u, 960u, 4080u}) {
    StaleScratch(song);
    Converted c = Convert(song.get(), ticksPerQuarter);
    for (uint32_t t = 0; t < 2; ++t) {
      EXPECT_EQ(1234, song.Track(t).nextBeat);
      EXPECT_EQ(-77, song.Track(t).ticksLeft);
    }
    for (uint32_t m = 0; m < 4; ++m) EXPECT_EQ(0, song.Header(m).repeatPass);
    EXPECT_EQ(kConversionDone, c.status);
    EXPECT_EQ(ViaToMidi(song.get(), ticksPerQuarter), c.bytes) << ticksPerQuarter;
    ASSERT_GE(c.bytes.size(), 14u);
    EXPECT_EQ(ticksPerQuarter, uint32_t{c.bytes[12]} << 8 | c.bytes[13]);
  }
}

// The song record, its measure headers and its tracks copied into pages
// that may only be read: a conversion that wrote a scratch field into them
// would fault.
TEST(ClassicConversion, TheSongIsOnlyRead) {
  TestSong song(4, 2);
  FillSong(song);
  Converted writable = Convert(song.get(), 480);
  FileStruct* original = song.get();
  size_t headerBytes = original->measureCount * sizeof(MeasureHeader);
  size_t trackBytes = original->trackCount * sizeof(Track);
  size_t total = sizeof(FileStruct) + headerBytes + trackBytes;
  void* pages = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(MAP_FAILED, pages);
  auto* copy = static_cast<FileStruct*>(pages);
  memcpy(copy, original, sizeof(FileStruct));
  copy->measureHeaders = reinterpret_cast<MeasureHeader*>(copy + 1);
  memcpy(copy->measureHeaders, original->measureHeaders, headerBytes);
  copy->tracks = reinterpret_cast<Track*>(copy->measureHeaders + original->measureCount);
  memcpy(copy->tracks, original->tracks, trackBytes);
  ASSERT_EQ(0, mprotect(pages, total, PROT_READ));
  Converted readOnly = Convert(copy, 480);
  EXPECT_EQ(kConversionDone, readOnly.status);
  EXPECT_EQ(writable.bytes, readOnly.bytes);
  munmap(pages, total);
}

TEST(ClassicConversion, RefusesBadArguments) {
  TestSong song(1, 1);
  uint8_t* buffer = nullptr;
  size_t size = 0;
  EXPECT_EQ(kConversionBadArgument, ConvertClassicToBuffer(nullptr, 480, 0, &buffer, &size));
  EXPECT_EQ(kConversionBadArgument, ConvertClassicToBuffer(song.get(), 480, 0, nullptr, &size));
  EXPECT_EQ(kConversionBadArgument, ConvertClassicToBuffer(song.get(), 480, 0, &buffer, nullptr));
  for (uint32_t ticksPerQuarter : {8u, 17u, 472u, 4096u, 4080u + 16u, UINT32_MAX}) {
    Converted c = Convert(song.get(), ticksPerQuarter);
    EXPECT_EQ(kConversionBadArgument, c.status) << ticksPerQuarter;
    EXPECT_TRUE(c.bufferNull);
  }
}

// The limit holds to the byte, and a conversion that passes it stops early:
// it asks for little more memory than the limit, not for the whole MIDI.
TEST(ClassicConversion, StopsAtTheSizeLimit) {
  TestSong song(3000, 2);
  for (uint32_t m = 0; m < 3000; ++m) {
    song.Cell(m, 0, {NoteBeat(kQuarter, {{0, 1}, {1, 2}}), NoteBeat(kQuarter), NoteBeat(kHalf)});
    song.Cell(m, 1, {NoteBeat(kEighth), NoteBeat(kEighth), NoteBeat(kHalf, {{3, 4}})});
  }
  Converted whole = Convert(song.get(), 480);
  ASSERT_EQ(kConversionDone, whole.status);
  uint64_t size = whole.bytes.size();
  ASSERT_GT(size, 100000u);
  EXPECT_EQ(whole.bytes, Convert(song.get(), 480, size).bytes);
  Converted over = Convert(song.get(), 480, size - 1);
  EXPECT_EQ(kConversionTooLarge, over.status);
  EXPECT_TRUE(over.bufferNull);

  const uint64_t kSmall = 5000;
  FailAllocationNumber(LONG_MAX);  // counts, refuses none
  Converted small = Convert(song.get(), 480, kSmall);
  long long asked = AllocationBytes();
  FailAllocationNumber(0);
  EXPECT_EQ(kConversionTooLarge, small.status);
  // The scratch is about 3,200 bytes here. Each growth is counted at its
  // new size, so blocks grown half as much again each time are asked for
  // about three times over.
  EXPECT_LT(asked, 3300 + 5 * static_cast<long long>(kSmall));
  // Too small even for the headers.
  EXPECT_EQ(kConversionTooLarge, Convert(song.get(), 480, 14 + 3 * 8 - 1).status);
}

}  // namespace
