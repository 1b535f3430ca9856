// Reader of the measure grid: for every measure, for every track, a beat
// count and that many beats.
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

static int ReadCell(TrackMeasure* cell, ByteCursor* in) {
  cell->beatCount = 0;
  cell->beats = nullptr;
  const uint8_t* field;
  if (!TakeBytes(in, 4, &field)) return 0;
  uint32_t beatCount = DecodeU32LE(field);
  cell->beatCount = beatCount;
  // A count the rest of the stream cannot back would fail at its beats;
  // fail before allocating for it.
  if (!IsCheapClaim(beatCount, kMinBeatBytes)) {
    ReturnBuffer(in);
    int held = StreamCanHold(in->stream, beatCount, kMinBeatBytes);
    BorrowBuffer(in);
    if (!held) return 0;
  }
  // LoadBeat sets every beat completely, so the array is not zeroed first.
  Beat* beats = static_cast<Beat*>(AllocArrayUninitialised(beatCount, sizeof(Beat)));
  cell->beats = beats;
  if (!beats) return 0;
  uint32_t read = LoadBeats(beats, beatCount, in);
  if (read != beatCount) {
    // A failed beat owns nothing and the ones after it were never set:
    // the body release that follows sees only the beats read.
    cell->beatCount = read;
    return 0;
  }
  return 1;
}

static int ReadRows(FileStruct* song, ByteCursor* in, uint32_t measureCount, uint32_t trackCount) {
  for (uint32_t m = 0; m < measureCount; ++m) {
    TrackMeasure* row = static_cast<TrackMeasure*>(AllocArray(trackCount, sizeof(TrackMeasure)));
    song->measures[m] = row;
    if (!row) return 0;
    for (uint32_t t = 0; t < trackCount; ++t)
      if (!ReadCell(&row[t], in)) return 0;
  }
  return 1;
}

static int ReadGrid(FileStruct* song, FILE* stream, uint32_t measureCount, uint32_t trackCount) {
  // Every cell takes at least its beat count: refuse a grid the stream
  // cannot hold before allocating rows for it.
  uint64_t cellCount = static_cast<uint64_t>(measureCount) * trackCount;
  if (!StreamCanHold(stream, cellCount, kMinGridCellBytes)) return 0;
  song->measures = static_cast<TrackMeasure**>(AllocArray(measureCount, sizeof(TrackMeasure*)));
  if (!song->measures) return 0;
  // The grid is most of the file: its fields are taken from the stream's
  // buffer, which goes back to the stream when the grid ends or fails.
  ByteCursor in;
  OpenCursor(&in, stream);
  int read = ReadRows(song, &in, measureCount, trackCount);
  ReturnBuffer(&in);
  return read;
}

int LoadMeasureGrid(FileStruct* song, FILE* stream, uint32_t measureCount, uint32_t trackCount) {
  song->measures = nullptr;
  if (!ReadGrid(song, stream, measureCount, trackCount)) {
    // The whole body goes: headers, tracks and whatever of the grid exists.
    FreeSongBody(song, measureCount, trackCount);
    return 0;
  }
  return 1;
}

}  // namespace Tolvenar
