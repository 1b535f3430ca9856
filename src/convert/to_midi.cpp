// The namespaced conversion into a caller's MIDI record. The walk itself
// leaves the song alone; the song's scratch fields are set afterwards to
// what the classic interface has always left in them.
#include "convert/classic_walk.h"

namespace Tolvenar {

int ToMidi(FileStruct* song, MidiFileStruct* file, uint32_t resolution) {
  // The record must hold a chunk for the conductor and one per track; when
  // it cannot, nothing is appended and the conversion reports failure.
  if (song == nullptr || file == nullptr || file->tracks == nullptr ||
      static_cast<uint64_t>(file->trackCount) < static_cast<uint64_t>(song->trackCount) + 1 ||
      (song->trackCount != 0 && song->tracks == nullptr)) {
    return 0;
  }
  // Events lost for want of memory only shorten their chunks here.
  bool eventsLost = false;
  ConversionStatus status = WalkClassic(song, file, resolution & 0xFF, UINT64_MAX, song->tracks, &eventsLost);
  if (song->measureHeaders != nullptr) {
    for (uint32_t m = 0; m < song->measureCount; ++m) song->measureHeaders[m].repeatPass = 0;
  }
  return status == kConversionDone ? 1 : 0;
}

}  // namespace Tolvenar
