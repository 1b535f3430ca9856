// Alternate endings: from the ending numbers of versions 3 and 4 to the set
// of passes each measure plays on, and from a version 5 mask to the number.
#include "song/song_extras.h"

namespace Tolvenar {

namespace {

constexpr uint32_t kEndingBits = 32;

// Endings 1..n as bits 0..n-1; endings past the 32nd have no bit.
uint32_t EndingsUpTo(uint32_t n) { return n >= kEndingBits ? UINT32_MAX : (1u << n) - 1; }

}  // namespace

void EndingSetsFromNumbers(const FileStruct* song, uint32_t* sets) {
  uint32_t taken = 0;
  for (uint32_t m = 0; m < song->measureCount; ++m) {
    const MeasureHeader* header = &song->measureHeaders[m];
    if (header->flags & kMeasureBeginRepeat) taken = 0;
    sets[m] = 0;
    uint32_t number = header->altEndingCount;
    // An ending number of 0 names no ending: the measure plays on every pass.
    if (!(header->flags & kMeasureAltEnding) || number == 0) continue;
    uint32_t set = EndingsUpTo(number) & ~taken;
    if (set == 0 && number <= kEndingBits) set = 1u << (number - 1);
    sets[m] = set;
    taken |= set;
  }
}

uint8_t EndingNumberOfMask(uint8_t mask) {
  if (mask == 0) return 0;
  unsigned ending = 0;
  while (!(mask & (1u << ending))) ++ending;
  while (ending < 8 && (mask & (1u << ending))) ++ending;
  return static_cast<uint8_t>(ending);
}

}  // namespace Tolvenar
