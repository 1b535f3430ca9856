// The pitch-wheel event: status, then the 14-bit value low seven bits first.
#include "perform/pitch_wheel.h"

#include <cstdlib>

#include "midi/midi_internal.h"

namespace Tolvenar {

int AddEventPitchWheel(MidiTrackChunk* chunk, uint8_t channel, uint16_t value) {
  uint32_t deltaSize = VariableLengthSize(chunk->pendingDelta);
  if (deltaSize == 0 || channel > 15 || value > 0x3FFF) return 0;
  uint8_t status = static_cast<uint8_t>(0xE0 | channel);
  bool writesStatus = chunk->runningStatus != status;
  uint64_t newLength = uint64_t{chunk->length} + deltaSize + (writesStatus ? 1 : 0) + 2;
  if (newLength > UINT32_MAX) return 0;
  uint8_t* data = static_cast<uint8_t*>(realloc(chunk->data, static_cast<size_t>(newLength)));
  if (data == nullptr) return 0;
  uint8_t* out = data + chunk->length;
  out += WriteVariableLength(out, chunk->pendingDelta);
  if (writesStatus) *out++ = status;
  out[0] = static_cast<uint8_t>(value & 0x7F);
  out[1] = static_cast<uint8_t>(value >> 7);
  chunk->data = data;
  chunk->length = static_cast<uint32_t>(newLength);
  chunk->pendingDelta = 0;
  chunk->runningStatus = status;
  return 1;
}

}  // namespace Tolvenar
