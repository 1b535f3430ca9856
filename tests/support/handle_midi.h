// The MIDI bytes of a song handle's conversion, for tests that compare
// conversions, and the conversion swept through refused allocations.
#ifndef ORLIX_TESTS_HANDLE_MIDI_H
#define ORLIX_TESTS_HANDLE_MIDI_H

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orlix/orlix.h"
#include "support/failing_alloc.h"
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

// Converts the song with each allocation refused in turn: a refused
// conversion says out of memory and hands out no buffer; a finished one goes
// to converted(buffer, size), which must not keep the buffer. Returns the
// failed conversions; *runs gets the runs made.
template <typename Converted>
long SweepHandleConversion(ORLIX_Song* song, const ORLIX_MidiOptions& options,
                           Converted converted, long* runs = nullptr) {
  struct Conversion {
    int result;
    unsigned char* buffer;
    size_t size;
    ORLIX_Error error;
  };
  long failures = 0;
  long made = SweepAllocationFailures(
      [&] {
        Conversion c = {0, nullptr, 0, {}};
        c.result = ORLIX_ToMidi(song, &options, &c.buffer, &c.size, &c.error);
        return c;
      },
      [&](const Conversion& c, bool refused) {
        if (c.result) {
          converted(c.buffer, c.size);
          ORLIX_DestroyMidiBuffer(c.buffer);
          return;
        }
        ++failures;
        EXPECT_TRUE(refused);
        EXPECT_EQ(ORLIX_ERROR_OUT_OF_MEMORY, c.error.kind);
        EXPECT_EQ(nullptr, c.buffer);
        EXPECT_EQ(0u, c.size);
      });
  if (runs != nullptr) *runs = made;
  return failures;
}

}  // namespace orlix_test

#endif
