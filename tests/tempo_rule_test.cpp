// The tempo rule against an independent extended-precision computation,
// and the volume rule.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>

#include "convert/song_rules.h"

using namespace Tolvenar;

namespace {

struct TempoCase {
  uint32_t tempo;
  uint32_t microseconds;
};

// The exact quotient 60,000,000 / t is 32,000 ... 1,000 for these tempos;
// two roundings to 64 bits put the product just below it.
const TempoCase kTempoCases[] = {
    {1, 60000000}, {2, 30000000}, {90, 666666}, {120, 500000}, {140, 428571},
    {320, 187500}, {1874, 32017},  {1875, 31999}, {3750, 15999}, {7500, 7999},
    {15000, 3999}, {30000, 1999},  {60000, 999},  {60000001, 0}, {0x80000000u, 0},
    {0xFFFFFFFFu, 0},
};

TEST(TempoRule, SpotValues) {
  for (const TempoCase& c : kTempoCases) {
    EXPECT_EQ(c.microseconds, TempoToMicroseconds(c.tempo)) << "tempo " << c.tempo;
  }
}

TEST(TempoRule, ExactQuotientRoundedDownUpTo1874) {
  for (uint32_t t = 1; t <= 1874; ++t) ASSERT_EQ(60000000u / t, TempoToMicroseconds(t)) << t;
}

#if LDBL_MANT_DIG == 64
// The x87 format rounds each step to a 64-bit significand, to nearest even.
uint32_t ExtendedReference(uint32_t t) {
  volatile long double quotient = 60.0L / static_cast<long double>(t);
  volatile long double product = quotient * 1000000.0L;
  return static_cast<uint32_t>(static_cast<int64_t>(product));
}

TEST(TempoRule, MatchesExtendedPrecisionFromOneToAMillion) {
  for (uint32_t t = 1; t <= 1000000; ++t) ASSERT_EQ(ExtendedReference(t), TempoToMicroseconds(t)) << t;
}

TEST(TempoRule, MatchesExtendedPrecisionForLargeTempos) {
  for (uint32_t t = 1000001; t < 0xFFFFF000u; t += 65521) {
    ASSERT_EQ(ExtendedReference(t), TempoToMicroseconds(t)) << t;
  }
  for (uint32_t t = 0xFFFFFFFFu; t > 0xFFFFFF00u; --t) {
    ASSERT_EQ(ExtendedReference(t), TempoToMicroseconds(t)) << t;
  }
}
#endif

TEST(VolumeRule, EightTimesModulo256CappedAt127) {
  const struct {
    uint8_t volume;
    uint8_t value;
  } kCases[] = {{0, 0},    {1, 8},   {13, 104}, {15, 120}, {16, 127}, {17, 127},
                {31, 127}, {32, 0},  {33, 8},   {255, 127}};
  for (const auto& c : kCases) EXPECT_EQ(c.value, VolumeToController(c.volume)) << int(c.volume);
  for (int v = 0; v < 256; ++v) EXPECT_LE(VolumeToController(static_cast<uint8_t>(v)), 127);
}

}  // namespace
