// Encoding helpers shared by the files of the MIDI builder: the Standard MIDI
// File's variable-length quantity and big-endian integers. None of these is
// exported.
#ifndef ORLIX_MIDI_INTERNAL_H
#define ORLIX_MIDI_INTERNAL_H

#include <cstddef>
#include <cstdint>

#include "orlix/tolvenar.h"

namespace Tolvenar {

// The largest value four variable-length bytes hold.
constexpr uint32_t kMaxVariableLength = 0x0FFFFFFF;
// Bytes in front of the chunks ("MThd", length, format, count, division) and
// in front of each chunk's data ("MTrk", length).
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kChunkHeaderBytes = 8;

// Bytes the value takes as a variable-length quantity (1..4), or 0 when it
// exceeds kMaxVariableLength and cannot be written.
uint32_t VariableLengthSize(uint32_t value);
// Writes a value of at most kMaxVariableLength; returns the bytes written.
uint32_t WriteVariableLength(uint8_t* out, uint32_t value);

// WriteVariableLength with the one- and two-byte values, most deltas, inline.
inline uint32_t PutVariableLength(uint8_t* out, uint32_t value) {
  if (value < 0x80) {
    out[0] = static_cast<uint8_t>(value);
    return 1;
  }
  if (value < 0x4000) {
    out[0] = static_cast<uint8_t>(0x80 | (value >> 7));
    out[1] = static_cast<uint8_t>(value & 0x7F);
    return 2;
  }
  return WriteVariableLength(out, value);
}

// Shifts rather than copies of native integers, so the bytes are the same on
// every host.
inline void WriteU16BE(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value >> 8);
  out[1] = static_cast<uint8_t>(value);
}

inline void WriteU32BE(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}

}  // namespace Tolvenar

#endif
