// Temporary until the song release functions land; remove on merge.
#include <cstdlib>

#include "song/song_internal.h"

namespace Tolvenar {

// Every level is tested for null, so a body that a failed load left half
// built is released safely.
void FreeSongBody(FileStruct* song, uint32_t measureCount, uint32_t trackCount) {
  if (song->measureHeaders) {
    for (uint32_t m = 0; m < measureCount; ++m) {
      MeasureMarker* marker = song->measureHeaders[m].marker;
      if (!marker) continue;
      free(marker->text);
      free(marker);
      song->measureHeaders[m].marker = nullptr;
    }
    free(song->measureHeaders);
    song->measureHeaders = nullptr;
  }
  if (song->tracks) {
    for (uint32_t t = 0; t < trackCount; ++t) {
      free(song->tracks[t].name);
      song->tracks[t].name = nullptr;
    }
    free(song->tracks);
    song->tracks = nullptr;
  }
  if (song->measures) {
    for (uint32_t m = 0; m < measureCount; ++m) {
      TrackMeasure* row = song->measures[m];
      if (!row) continue;
      for (uint32_t t = 0; t < trackCount; ++t) {
        TrackMeasure& cell = row[t];
        if (!cell.beats) continue;
        for (uint32_t b = 0; b < cell.beatCount; ++b) FreeBeat(&cell.beats[b]);
        free(cell.beats);
        cell.beats = nullptr;
      }
      free(row);
      song->measures[m] = nullptr;
    }
    free(song->measures);
    song->measures = nullptr;
  }
}

}  // namespace Tolvenar
