// The pitch-wheel appender the performance writes its bends and slides with.
#ifndef ORLIX_PERFORM_PITCH_WHEEL_H
#define ORLIX_PERFORM_PITCH_WHEEL_H

#include <cstdint>

#include "orlix/tolvenar.h"

namespace Tolvenar {

// A pitch-wheel change (status 0xE0 | channel) at the chunk's pending delta;
// value 0..16383, 8192 the centre. Returns 0 and leaves the chunk as it was
// when it cannot be written.
int AddEventPitchWheel(MidiTrackChunk* chunk, uint8_t channel, uint16_t value);

}  // namespace Tolvenar

#endif
