// Exact reads, little-endian decoding, checked allocation and the
// stream-size guard.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "song/read_primitives.h"
#include "support/byte_builder.h"

using namespace Tolvenar;
using orlix_test::Bytes;
using orlix_test::MemoryStream;

TEST(ReadPrimitives, DecodesLittleEndianWhateverTheHost) {
  MemoryStream in(Bytes().raw({0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF}));
  uint32_t u = 0;
  int32_t i = 0;
  ASSERT_EQ(1, ReadU32LE(in.get(), &u));
  ASSERT_EQ(1, ReadI32LE(in.get(), &i));
  EXPECT_EQ(0x12345678u, u);
  EXPECT_EQ(-1, i);
}

TEST(ReadPrimitives, ShortReadOfAnIntegerFails) {
  MemoryStream in(Bytes().raw({1, 2, 3}));
  uint32_t u = 7;
  EXPECT_EQ(0, ReadU32LE(in.get(), &u));
  EXPECT_EQ(7u, u);
}

TEST(ReadPrimitives, AllocArrayRefusesProductsBeyondSizeT) {
  EXPECT_EQ(nullptr, AllocArray(SIZE_MAX / 8 + 1, 8));
  EXPECT_EQ(nullptr, AllocArray(UINT64_MAX, 2));
  void* empty = AllocArray(0, 16);  // an empty array is still an allocation
  EXPECT_NE(nullptr, empty);
  free(empty);
}

TEST(ReadPrimitives, StreamCanHoldComparesWithWhatIsLeft) {
  Bytes b;
  b.zeros(100000);
  MemoryStream in(b);
  fseek(in.get(), 1000, SEEK_SET);
  EXPECT_EQ(1, StreamCanHold(in.get(), 99000, 1));
  EXPECT_EQ(0, StreamCanHold(in.get(), 99001, 1));
  EXPECT_EQ(0, StreamCanHold(in.get(), 100000000u, 3));
  EXPECT_EQ(1000, ftell(in.get())) << "the probe leaves the position alone";
}

// Where the size cannot be learned (a pipe) or the position lies past the
// end, the guard lets the claim pass and the reads that follow decide.
TEST(ReadPrimitives, StreamCanHoldPassesWhatItCannotMeasure) {
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  ASSERT_EQ(3, write(fds[1], "abc", 3));
  close(fds[1]);
  FILE* piped = fdopen(fds[0], "rb");
  ASSERT_NE(nullptr, piped);
  EXPECT_EQ(1, StreamCanHold(piped, 1u << 30, 1));
  EXPECT_EQ(1, StreamCanHold(piped, 1u << 30, 0));
  uint8_t first = 0;
  EXPECT_EQ(1, ReadU8(piped, &first));
  EXPECT_EQ('a', first);
  fclose(piped);

  FILE* file = tmpfile();
  ASSERT_NE(nullptr, file);
  ASSERT_EQ(10u, fwrite("0123456789", 1, 10, file));
  ASSERT_EQ(0, fseek(file, 100, SEEK_SET));
  EXPECT_EQ(1, StreamCanHold(file, 1u << 30, 1));
  EXPECT_EQ(100, ftell(file));
  fclose(file);
}

// A field that straddles the end of the stream's buffer arrives whole, a
// short one fails, and the stream stands just after what was taken.
TEST(ReadPrimitives, TakeBytesAcrossTheBufferEnd) {
  Bytes bytes;
  for (unsigned i = 0; i < 10; ++i) bytes.u8(i);
  MemoryStream in(bytes);
  char buffer[3];
  ASSERT_EQ(0, setvbuf(in.get(), buffer, _IOFBF, sizeof buffer));
  ByteCursor cursor;
  cursor.stream = in.get();
  BorrowBuffer(&cursor);
  const uint8_t* field = nullptr;
  size_t sizes[] = {1, 4, 2, 3};
  unsigned expected = 0;
  for (size_t size : sizes) {
    ASSERT_EQ(1, TakeBytes(&cursor, size, &field)) << size;
    for (size_t i = 0; i < size; ++i) EXPECT_EQ(expected++, field[i]);
  }
  ReturnBuffer(&cursor);
  EXPECT_EQ(10, in.position());
  BorrowBuffer(&cursor);
  EXPECT_EQ(0, TakeBytes(&cursor, 1, &field));
  ReturnBuffer(&cursor);
}
