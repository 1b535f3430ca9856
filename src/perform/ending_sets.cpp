// Alternate endings of version 4 songs: from each measure's ending number to
// the set of passes on which the measure plays.
#include "perform/perform.h"

namespace Tolvenar {
namespace {

constexpr uint32_t kEndingBits = 32;

// Endings 1..n as bits 0..n-1; endings past the 32nd have no bit.
uint32_t EndingsUpTo(uint32_t n) {
  return n >= kEndingBits ? UINT32_MAX : (1u << n) - 1;
}

}  // namespace

void ComputeEndingSets(const FileStruct* song, uint32_t* sets) {
  uint32_t taken = 0;
  for (uint32_t m = 0; m < song->measureCount; ++m) {
    const MeasureHeader* header = &song->measureHeaders[m];
    if ((header->flags & kMeasureBeginRepeat) != 0) taken = 0;
    sets[m] = 0;
    uint32_t number = header->altEndingCount;
    // An ending byte of 0 names no ending: the measure plays on every pass.
    if ((header->flags & kMeasureAltEnding) == 0 || number == 0) continue;
    uint32_t set = EndingsUpTo(number) & ~taken;
    if (set == 0 && number <= kEndingBits) set = 1u << (number - 1);
    sets[m] = set;
    taken |= set;
  }
}

}  // namespace Tolvenar
