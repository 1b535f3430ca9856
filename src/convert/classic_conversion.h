// The classic conversion of a song that is only read: into a serialised
// Standard MIDI File at a chosen division, within a size limit, with the
// reason when it fails. The song is not written to, so one song may be
// converted from several threads at once.
#ifndef ORLIX_CONVERT_CLASSIC_CONVERSION_H
#define ORLIX_CONVERT_CLASSIC_CONVERSION_H

#include <cstddef>
#include <cstdint>

#include "orlix/tolvenar.h"

namespace Tolvenar {

enum ConversionStatus {
  kConversionDone,
  kConversionOutOfMemory,
  kConversionTooLarge,
  kConversionBadArgument,
};

constexpr uint32_t kDefaultTicksPerQuarter = 480;
constexpr uint64_t kDefaultMaxMidiBytes = uint64_t{1} << 30;

// ticksPerQuarter: 0 for 480, else a multiple of 16 from 16 to 4080; the
// file header's division. maxBytes: the largest MIDI accepted, 0 for 1 GiB;
// the walk stops once the MIDI would be larger. On kConversionDone *buffer
// holds *size bytes, released with DestroyMidiBuffer; otherwise *buffer is
// null and *size 0. At 480 the bytes are those of ORLIX_CreateMidiBuffer.
ConversionStatus ConvertClassicToBuffer(const FileStruct* song, uint32_t ticksPerQuarter,
                                        uint64_t maxBytes, uint8_t** buffer, size_t* size);

}  // namespace Tolvenar

#endif
