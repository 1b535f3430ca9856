// The conversion options the tests name: classic playback at 480 ticks per
// quarter (the bytes of the flat export) and full playback.
#ifndef ORLIX_TESTS_PLAYBACK_OPTIONS_H
#define ORLIX_TESTS_PLAYBACK_OPTIONS_H

#include "orlix/orlix.h"

namespace orlix_test {

constexpr ORLIX_MidiOptions kClassic = {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 480, 0};
constexpr ORLIX_MidiOptions kFull = {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_FULL, 480, 0};

}  // namespace orlix_test

#endif
