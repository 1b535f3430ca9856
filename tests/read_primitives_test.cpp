// Exact reads, little-endian decoding, checked allocation and the
// stream-size guard.
#include <gtest/gtest.h>

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
