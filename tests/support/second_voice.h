// Test-side view of a handle's second voice as a song of its own: the
// song's records with the second voice's cells in place of the first's, so
// that the checks written for the records (pointer rules, beat comparisons)
// apply to it. For songs with a second voice (version 5).
#ifndef ORLIX_TESTS_SECOND_VOICE_H
#define ORLIX_TESTS_SECOND_VOICE_H

#include <vector>

#include "orlix/orlix.h"

namespace orlix_test {

struct SecondVoiceSong {
  Tolvenar::FileStruct song;
  std::vector<Tolvenar::TrackMeasure*> rows;

  explicit SecondVoiceSong(const ORLIX_Song* handle) : song(*ORLIX_GetSong(handle)) {
    // A row is its first cell's address; with no track there is no cell,
    // and a row of no cells may be anything but null.
    static Tolvenar::TrackMeasure noCell;
    for (uint32_t m = 0; m < song.measureCount; ++m) {
      const Tolvenar::TrackMeasure* first = song.trackCount ? ORLIX_GetSecondVoice(handle, m, 0) : &noCell;
      rows.push_back(const_cast<Tolvenar::TrackMeasure*>(first));
    }
    rows.push_back(nullptr);  // never empty, so the grid is never null
    song.measures = rows.data();
  }
  SecondVoiceSong(const SecondVoiceSong&) = delete;
  SecondVoiceSong& operator=(const SecondVoiceSong&) = delete;
};

}  // namespace orlix_test

#endif
