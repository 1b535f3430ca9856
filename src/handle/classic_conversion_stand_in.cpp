// The classic conversion into one buffer, over the namespaced converter:
// the song's record and the two arrays the converter keeps its scratch in
// are copied, so the song itself is never written.
#include <cstdlib>
#include <cstring>

#include "convert/classic_conversion.h"

namespace Tolvenar {

namespace {

// The file header counts its chunks in 16 bits, the conductor included.
constexpr uint32_t kMaxSongTracks = 65534;
constexpr uint64_t kFileHeaderBytes = 14;
constexpr uint64_t kChunkHeaderBytes = 8;

template <typename Record>
Record* CopyArray(const Record* records, uint32_t count) {
  Record* copy = static_cast<Record*>(malloc((count ? count : 1) * sizeof(Record)));
  if (copy && count) memcpy(copy, records, count * sizeof(Record));
  return copy;
}

ConversionStatus ConvertCopy(FileStruct* copy, uint32_t ticksPerQuarter, uint64_t maxBytes, uint8_t** buffer,
                             size_t* size) {
  MidiFileStruct file;
  if (!InitMidiFileStruct(&file, copy->trackCount + 1, ticksPerQuarter)) return kConversionOutOfMemory;
  ConversionStatus status = kConversionDone;
  if (!ToMidi(copy, &file, ticksPerQuarter / 16)) status = kConversionOutOfMemory;
  uint64_t total = kFileHeaderBytes;
  for (uint32_t i = 0; i < file.trackCount; ++i) total += kChunkHeaderBytes + file.tracks[i].length;
  if (status == kConversionDone && total > maxBytes) status = kConversionTooLarge;
  if (status == kConversionDone) {
    Byte* bytes = nullptr;
    uint32_t length = CreateMidiBuffer(&file, &bytes);
    if (bytes) {
      *buffer = bytes;
      *size = length;
    } else {
      status = kConversionOutOfMemory;
    }
  }
  FreeMidiFileStruct(&file);
  return status;
}

}  // namespace

ConversionStatus ConvertClassicToBuffer(const FileStruct* song, uint32_t ticksPerQuarter, uint64_t maxBytes,
                                        uint8_t** buffer, size_t* size) {
  *buffer = nullptr;
  *size = 0;
  if (song->trackCount > kMaxSongTracks || ticksPerQuarter < 16 || ticksPerQuarter > 4080 ||
      ticksPerQuarter % 16 != 0)
    return kConversionBadArgument;
  FileStruct copy = *song;
  copy.measureHeaders = CopyArray(song->measureHeaders, song->measureCount);
  copy.tracks = CopyArray(song->tracks, song->trackCount);
  ConversionStatus status = kConversionOutOfMemory;
  if (copy.measureHeaders && copy.tracks) status = ConvertCopy(&copy, ticksPerQuarter, maxBytes, buffer, size);
  free(copy.measureHeaders);
  free(copy.tracks);
  return status;
}

}  // namespace Tolvenar
