// The classic walk over a song: measures in playing order with repeats, and
// each measure track by track from beat boundary to beat boundary. Its
// scratch lives here, not in the song.
#ifndef ORLIX_CONVERT_CLASSIC_WALK_H
#define ORLIX_CONVERT_CLASSIC_WALK_H

#include <cstdint>

#include "convert/beat_notes.h"
#include "convert/classic_conversion.h"
#include "midi/chunk_writer.h"
#include "orlix/tolvenar.h"

namespace Tolvenar {

// Where a track's walk of its last measure stopped, as the song's
// nextBeat and ticksLeft would tell it after a tick-by-tick walk.
struct TrackCursor {
  int32_t nextBeat;
  int32_t ticksLeft;
};

// A tempo change of a track's mix table, at a tick of the current measure.
// Chunk 0 gets the measure's changes once every track has been walked, in
// tick order and, within a tick, in track order.
struct TempoChange {
  uint32_t tick;
  uint32_t track;
  uint32_t microseconds;
};

// What one conversion works on.
struct ClassicWalk {
  const FileStruct* song;
  uint32_t ticksPerSixtyFourth;
  ChunkWriter* writers;  // chunk 0 the conductor, chunk t + 1 track t
  const NotePlan* plans;
  TrackCursor* cursors;
  uint8_t* repeatPasses;  // per measure: the repeats taken at its end-repeat
  TempoChange* tempoChanges;
  uint32_t tempoChangeCount;
  uint32_t tempoChangeCapacity;
  bool outOfMemory;  // the tempo changes could not be held
};

// Walks measure `measure`, of `ticks` ticks (at least 1), track by track,
// then its tempo changes; every chunk advances by `ticks`.
void WalkMeasureTracks(ClassicWalk* walk, uint32_t measure, uint32_t ticks);

// The whole conversion into chunks 0 .. trackCount of the file, which must
// exist. Their blocks may hold at most chunkByteLimit bytes together
// (UINT64_MAX: no limit): kConversionTooLarge once they pass it. A lost
// event (no memory, or a delta too long to write) leaves its chunk valid;
// *eventsLost says whether memory ran short for one. kConversionOutOfMemory
// when the scratch could not be had (chunks untouched) or a chunk could not
// be ended. cursorsInto, when not null, is an array of trackCount tracks
// whose nextBeat and ticksLeft receive the cursors after the walk: those of
// the last measure walked, or the song's own when none was.
ConversionStatus WalkClassic(const FileStruct* song, MidiFileStruct* file,
                             uint32_t ticksPerSixtyFourth, uint64_t chunkByteLimit,
                             Track* cursorsInto, bool* eventsLost);

}  // namespace Tolvenar

#endif
