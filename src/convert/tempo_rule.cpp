// The tempo rule: quarter notes per minute to microseconds per quarter note,
// computed as an extended-precision float (64-bit significand, round to
// nearest even after each step) would, but in exact integer arithmetic so
// the result does not depend on the host's long double.
#include "convert/song_rules.h"

namespace Tolvenar {
namespace {

constexpr uint64_t kTopBit = 1ULL << 63;

// mantissa x 2^exponent with the mantissa normalised to [2^63, 2^64).
struct Extended {
  uint64_t mantissa;
  int exponent;
};

// Rounds a truncated mantissa up when the dropped part is above one half, or
// exactly one half with an odd mantissa.
void RoundNearestEven(Extended* value, bool half, bool sticky) {
  if (!half || (!sticky && (value->mantissa & 1) == 0)) return;
  ++value->mantissa;
  if (value->mantissa == 0) {  // carried out of the top bit
    value->mantissa = kTopBit;
    ++value->exponent;
  }
}

Extended DivideSixty(uint32_t divisor) {
  Extended q = {60 / divisor, 0};
  uint64_t remainder = 60 % divisor;
  // Binary long division, one quotient bit per step; remainder < divisor
  // keeps 2 x remainder well inside 64 bits.
  while (q.mantissa < kTopBit) {
    remainder <<= 1;
    q.mantissa <<= 1;
    if (remainder >= divisor) {
      remainder -= divisor;
      q.mantissa |= 1;
    }
    --q.exponent;
  }
  remainder <<= 1;
  bool half = remainder >= divisor;
  if (half) remainder -= divisor;
  RoundNearestEven(&q, half, remainder != 0);
  return q;
}

int BitLength(uint64_t value) {
  int length = 0;
  while (value != 0) {
    value >>= 1;
    ++length;
  }
  return length;
}

Extended MultiplyMillion(Extended value) {
  const uint64_t kMillion = 1000000;
  // The 84-bit product as high and low 64-bit halves.
  uint64_t low = (value.mantissa & 0xFFFFFFFFu) * kMillion;
  uint64_t middle = (value.mantissa >> 32) * kMillion;
  uint64_t shiftedMiddle = middle << 32;
  uint64_t productLow = low + shiftedMiddle;
  uint64_t productHigh = (middle >> 32) + (productLow < low ? 1 : 0);
  // The high half is non-zero (the product is at least 2^82) and below 2^20.
  int shift = BitLength(productHigh);
  Extended product = {(productLow >> shift) | (productHigh << (64 - shift)),
                      value.exponent + shift};
  bool half = ((productLow >> (shift - 1)) & 1) != 0;
  bool sticky = (productLow & ((1ULL << (shift - 1)) - 1)) != 0;
  RoundNearestEven(&product, half, sticky);
  return product;
}

}  // namespace

uint32_t TempoToMicroseconds(uint32_t tempo) {
  if (tempo == 0) return 0;
  Extended product = MultiplyMillion(DivideSixty(tempo));
  // Truncation toward zero; the value is at most 60,000,000, so the exponent
  // is always negative here.
  if (product.exponent >= 0 || product.exponent <= -64) return 0;
  return static_cast<uint32_t>(product.mantissa >> -product.exponent);
}

}  // namespace Tolvenar
