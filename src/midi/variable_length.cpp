// The Standard MIDI File's variable-length quantity: 7 bits per byte, most
// significant group first, bit 7 set on every byte but the last.
#include "midi/midi_internal.h"

namespace Tolvenar {

uint32_t VariableLengthSize(uint32_t value) {
  if (value > kMaxVariableLength) return 0;
  uint32_t size = 1;
  while (value >>= 7) ++size;
  return size;
}

uint32_t WriteVariableLength(uint8_t* out, uint32_t value) {
  // Most deltas fit one byte.
  if (value < 0x80) {
    out[0] = static_cast<uint8_t>(value);
    return 1;
  }
  uint32_t size = VariableLengthSize(value);
  for (uint32_t i = 0; i < size; ++i) {
    uint32_t shift = 7 * (size - 1 - i);
    uint8_t group = static_cast<uint8_t>((value >> shift) & 0x7F);
    out[i] = i + 1 < size ? static_cast<uint8_t>(group | 0x80) : group;
  }
  return size;
}

}  // namespace Tolvenar
