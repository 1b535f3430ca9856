// The reader's cursor: little-endian decoding, fields that straddle the
// windows of a stream, peeks, skips, the stream position it hands back,
// checked allocation, the input-size guard and the errors it records.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "song/song_reader.h"
#include "support/byte_builder.h"
#include "support/record_reading.h"

using namespace Tolvenar;
using orlix_test::Bytes;
using orlix_test::MemoryStream;
using orlix_test::StreamReader;

TEST(SongReader, DecodesLittleEndianWhateverTheHost) {
  Bytes bytes = Bytes().raw({0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF});
  SongReader in;
  OpenMemoryReader(&in, bytes.data.data(), bytes.size());
  uint32_t u = 0;
  int32_t i = 0;
  ASSERT_EQ(1, ReadU32LE(&in, &u));
  ASSERT_EQ(1, ReadI32LE(&in, &i));
  EXPECT_EQ(0x12345678u, u);
  EXPECT_EQ(-1, i);
}

// A short field fails whole, says where it started, and consumes the rest
// of the input as a short fread does: nothing after it can be read.
TEST(SongReader, ShortFieldFailsAtItsStartAndEndsTheInput) {
  Bytes bytes = Bytes().raw({9, 1, 2, 3});
  for (bool fromStream : {false, true}) {
    MemoryStream stream(bytes);
    SongReader in;
    if (fromStream) {
      OpenStreamReader(&in, stream.get());
    } else {
      OpenMemoryReader(&in, bytes.data.data(), bytes.size());
    }
    uint8_t first = 0;
    uint32_t u = 7;
    ASSERT_EQ(1, ReadU8(&in, &first));
    EXPECT_EQ(0, ReadU32LE(&in, &u));
    EXPECT_EQ(7u, u);
    EXPECT_EQ(0, ReadU8(&in, &first));
    EXPECT_EQ(kReadTruncated, in.error.kind);
    EXPECT_EQ(1u, in.error.offset);
    EXPECT_STREQ("file ends early at byte 1 of 4", in.error.message);
    CloseReader(&in);
  }
}

// Fields of every size taken through stream buffers of every small size
// (straddling, assembled in the spill), peeked, skipped and copied: the
// bytes arrive in order and the stream stands just after the last one.
TEST(SongReader, FieldsAcrossStreamBuffersOfAnySize) {
  Bytes bytes;
  for (unsigned i = 0; i < 600; ++i) bytes.u8(i & 0xFF);
  for (size_t bufferSize : {1, 2, 3, 7, 64, 4096}) {
    MemoryStream stream(bytes);
    std::vector<char> buffer(bufferSize);
    ASSERT_EQ(0, setvbuf(stream.get(), buffer.data(), _IOFBF, bufferSize));
    unsigned expected = 0;
    {
      StreamReader reader(stream.get());
      SongReader* in = reader.get();
      const uint8_t* field = nullptr;
      for (size_t size : {1, 4, 2, 3, 256, 9}) {
        ASSERT_EQ(1, PeekBytes(in, size, &field)) << size;
        EXPECT_EQ(expected & 0xFF, field[0]);
        ASSERT_EQ(1, TakeBytes(in, size, &field)) << size;
        for (size_t i = 0; i < size; ++i) ASSERT_EQ((expected++) & 0xFF, field[i]) << bufferSize;
      }
      ASSERT_EQ(1, SkipBytes(in, 100));
      expected += 100;
      uint8_t copy[200];
      ASSERT_EQ(1, ReadBytes(in, copy, sizeof copy));
      for (uint8_t byte : copy) ASSERT_EQ((expected++) & 0xFF, byte);
      EXPECT_EQ(expected, ReaderOffset(in));
      // A peek past the last field taken is handed back too.
      ASSERT_EQ(1, PeekBytes(in, 7, &field));
    }
    EXPECT_EQ(static_cast<long>(expected), stream.position()) << bufferSize;
  }
}

TEST(SongReader, NewArrayRefusesProductsBeyondSizeT) {
  SongReader in;
  OpenMemoryReader(&in, nullptr, 0);
  EXPECT_EQ(nullptr, NewArray(&in, SIZE_MAX / 8 + 1, 8));
  EXPECT_EQ(kReadOutOfMemory, in.error.kind);
  EXPECT_EQ(nullptr, NewArray(&in, UINT64_MAX, 2));
  void* empty = NewArray(&in, 0, 16);  // an empty array is still an allocation
  EXPECT_NE(nullptr, empty);
  free(empty);
}

TEST(SongReader, InputCanHoldComparesWithWhatIsLeft) {
  Bytes b;
  b.zeros(100000);
  MemoryStream stream(b);
  fseek(stream.get(), 1000, SEEK_SET);
  {
    StreamReader reader(stream.get());
    SongReader* in = reader.get();
    EXPECT_EQ(1, InputCanHold(in, 99000, 1));
    EXPECT_EQ(0, InputCanHold(in, 99001, 1));
    EXPECT_EQ(kReadTruncated, in->error.kind);
    EXPECT_STREQ("file ends early at byte 0 of 99000", in->error.message);
    EXPECT_EQ(0, InputCanHold(in, 100000000u, 3));
  }
  EXPECT_EQ(1000, stream.position()) << "the probe leaves the position alone";
}

// Where the size cannot be learned (a pipe) or the position lies past the
// end, the guard lets the claim pass and the reads that follow decide.
TEST(SongReader, InputCanHoldPassesWhatItCannotMeasure) {
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  ASSERT_EQ(3, write(fds[1], "abc", 3));
  close(fds[1]);
  FILE* piped = fdopen(fds[0], "rb");
  ASSERT_NE(nullptr, piped);
  {
    StreamReader reader(piped);
    EXPECT_EQ(1, InputCanHold(reader.get(), 1u << 30, 1));
    EXPECT_EQ(1, InputCanHold(reader.get(), 1u << 30, 0));
    uint8_t first = 0;
    EXPECT_EQ(1, ReadU8(reader.get(), &first));
    EXPECT_EQ('a', first);
  }
  fclose(piped);

  FILE* file = tmpfile();
  ASSERT_NE(nullptr, file);
  ASSERT_EQ(10u, fwrite("0123456789", 1, 10, file));
  ASSERT_EQ(0, fseek(file, 100, SEEK_SET));
  {
    StreamReader reader(file);
    EXPECT_EQ(1, InputCanHold(reader.get(), 1u << 30, 1));
  }
  EXPECT_EQ(100, ftell(file));
  fclose(file);
}
