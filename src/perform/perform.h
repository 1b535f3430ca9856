// Full playback: the song performed as its tablature sounds (ties held,
// dead and grace notes, strokes, tremolo picking, trills, let ring, palm
// mutes, harmonics, bends and slides on the pitch wheel, alternate endings),
// beside the classic conversion.
#ifndef ORLIX_PERFORM_PERFORM_H
#define ORLIX_PERFORM_PERFORM_H

#include <cstddef>
#include <cstdint>

#include "orlix/tolvenar.h"

namespace Tolvenar {

struct SongExtras;

enum PerformStatus { kPerformDone, kPerformOutOfMemory, kPerformTooLarge, kPerformBadArgument };

// What a performance wrote, for hosts that report it.
struct PerformCounts {
  uint64_t noteOns;
  uint64_t tiedHolds;    // tied notes that held the note before them
  uint64_t graceNotes;
  uint64_t wheelEvents;  // pitch-wheel events, returns to centre included
};

// Fills chunks 0 .. trackCount of a file set up by InitMidiFileStruct with
// trackCount + 1 chunks and the division ticksPerQuarter (a multiple of 16
// from 16 to 4080). Stops with kPerformTooLarge as soon as the serialised
// file would pass maxBytes. The song and its extras are only read; null
// extras play the records alone, as a version 4 song. On failure the chunks
// hold part of the events; the caller releases the file either way.
PerformStatus PerformSong(const FileStruct* song, const SongExtras* extras, MidiFileStruct* file,
                          uint32_t ticksPerQuarter, uint64_t maxBytes);
// The same, also counting what was written (counts may be null).
PerformStatus PerformSongCounted(const FileStruct* song, const SongExtras* extras,
                                 MidiFileStruct* file, uint32_t ticksPerQuarter, uint64_t maxBytes,
                                 PerformCounts* counts);

// The performance serialised into one new buffer, released with
// DestroyMidiBuffer; on failure *buffer is null and *size 0.
PerformStatus PerformSongToBuffer(const FileStruct* song, const SongExtras* extras,
                                  uint32_t ticksPerQuarter, uint64_t maxBytes, uint8_t** buffer,
                                  size_t* size);

}  // namespace Tolvenar

#endif
