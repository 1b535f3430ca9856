// Reader of the measure grid: for every measure, for every track, a beat
// count and that many beats.
#include "song/song_internal.h"

namespace Tolvenar {

static int ReadCell(TrackMeasure* cell, SongReader* in) {
  cell->beatCount = 0;
  cell->beats = nullptr;
  const uint8_t* field;
  if (!TakeBytes(in, 4, &field)) return 0;
  uint32_t beatCount = DecodeU32LE(field);
  // A count the rest of the input cannot back would fail at its beats;
  // fail before allocating for it.
  if (!InputCanHold(in, beatCount, ReadsVersion5(in) ? kMinBeat5Bytes : kMinBeatBytes)) return 0;
  // LoadBeat sets every beat completely, so the array is not zeroed first.
  Beat* beats = static_cast<Beat*>(NewArrayUninitialised(in, beatCount, sizeof(Beat)));
  if (!beats) return 0;
  cell->beats = beats;
  uint32_t read = LoadBeats(beats, beatCount, in);
  if (read != beatCount) {
    // The failed beat may own attachments; the ones after it were never
    // set, so the release sees the beats up to the failed one only.
    cell->beatCount = read + 1;
    return 0;
  }
  cell->beatCount = beatCount;
  return 1;
}

// A version 5 cell: a byte (skipped), voice 1 into the records' grid, and
// voice 2 into the extras' grid beside it.
static int ReadVersion5Cell(TrackMeasure* cell, TrackMeasure* secondVoice, SongReader* in) {
  if (!SkipBytes(in, 1)) return 0;
  in->place.voice = 1;
  if (!ReadCell(cell, in)) return 0;
  in->place.voice = 2;
  return ReadCell(secondVoice, in);
}

int LoadMeasureGrid(FileStruct* song, SongReader* in, uint32_t measureCount, uint32_t trackCount) {
  song->measures = nullptr;
  const bool v5 = ReadsVersion5(in);
  // Every cell takes at least its beat count: refuse a grid the input
  // cannot hold before allocating rows for it.
  uint64_t cellCount = static_cast<uint64_t>(measureCount) * trackCount;
  if (!InputCanHold(in, cellCount, v5 ? kMinGridCell5Bytes : kMinGridCellBytes)) return 0;
  song->measures = static_cast<TrackMeasure**>(NewArray(in, measureCount, sizeof(TrackMeasure*)));
  if (!song->measures) return 0;
  TrackMeasure** secondVoice = nullptr;
  if (v5) {
    secondVoice = static_cast<TrackMeasure**>(NewArray(in, measureCount, sizeof(TrackMeasure*)));
    if (!secondVoice) return 0;
    in->extras->secondVoice = secondVoice;
  }
  for (uint32_t m = 0; m < measureCount; ++m) {
    TrackMeasure* row = static_cast<TrackMeasure*>(NewArray(in, trackCount, sizeof(TrackMeasure)));
    song->measures[m] = row;
    if (!row) return 0;
    if (!v5) {
      for (uint32_t t = 0; t < trackCount; ++t)
        if (!ReadCell(&row[t], in)) return 0;
      continue;
    }
    TrackMeasure* secondRow = static_cast<TrackMeasure*>(NewArray(in, trackCount, sizeof(TrackMeasure)));
    secondVoice[m] = secondRow;
    if (!secondRow) return 0;
    in->place.measure = m;
    for (uint32_t t = 0; t < trackCount; ++t) {
      in->place.track = t;
      in->place.tuning = song->tracks[t].tuning;
      if (!ReadVersion5Cell(&row[t], &secondRow[t], in)) return 0;
    }
  }
  return 1;
}

}  // namespace Tolvenar
