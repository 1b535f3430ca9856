// The classic conversion of a song into a Standard MIDI File in one buffer,
// without writing into the song.
#ifndef ORLIX_CONVERT_CLASSIC_CONVERSION_H
#define ORLIX_CONVERT_CLASSIC_CONVERSION_H

#include <cstddef>
#include <cstdint>

#include "orlix/tolvenar.h"

namespace Tolvenar {

enum ConversionStatus { kConversionDone, kConversionOutOfMemory, kConversionTooLarge, kConversionBadArgument };

ConversionStatus ConvertClassicToBuffer(const FileStruct* song, uint32_t ticksPerQuarter, uint64_t maxBytes,
                                        uint8_t** buffer, size_t* size);

}  // namespace Tolvenar

#endif
