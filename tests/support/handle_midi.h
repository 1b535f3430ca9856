// The MIDI bytes of a song handle's conversion, for tests that compare
// conversions.
#ifndef ORLIX_TESTS_HANDLE_MIDI_H
#define ORLIX_TESTS_HANDLE_MIDI_H

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orlix/orlix.h"
#include "support/playback_options.h"

namespace orlix_test {

// A failed conversion fails the test and gives no bytes.
inline std::vector<uint8_t> HandleMidi(ORLIX_Song* song, const ORLIX_MidiOptions& options = kClassic) {
  unsigned char* buffer = nullptr;
  size_t size = 0;
  ORLIX_Error error;
  EXPECT_EQ(1, ORLIX_ToMidi(song, &options, &buffer, &size, &error)) << error.message;
  std::vector<uint8_t> bytes(buffer, buffer + size);
  ORLIX_DestroyMidiBuffer(buffer);
  return bytes;
}

}  // namespace orlix_test

#endif
