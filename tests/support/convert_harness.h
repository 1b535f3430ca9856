// Runs the converter on an in-memory song into a fresh MIDI record and
// decodes every chunk into event rows.
#ifndef ORLIX_TESTS_CONVERT_HARNESS_H
#define ORLIX_TESTS_CONVERT_HARNESS_H

#include <string>
#include <vector>

#include "orlix/tolvenar.h"
#include "support/midi_decoder.h"

namespace orlix_test {

struct Conversion {
  int result = 0;
  std::vector<DecodedChunk> chunks;
  bool WellFormed() const {
    for (const DecodedChunk& chunk : chunks) {
      if (!chunk.wellFormed) return false;
    }
    return true;
  }
  // The song track t's rows (chunk t + 1).
  const std::vector<std::string>& Track(size_t t) const { return chunks.at(t + 1).rows; }
  const std::vector<std::string>& Conductor() const { return chunks.at(0).rows; }
};

inline Conversion Convert(Tolvenar::FileStruct* song, uint32_t resolution = 30) {
  Conversion out;
  Tolvenar::MidiFileStruct file;
  if (!Tolvenar::InitMidiFileStruct(&file, song->trackCount + 1, 16 * (resolution & 0xFF))) {
    return out;
  }
  out.result = Tolvenar::ToMidi(song, &file, resolution);
  for (unsigned i = 0; i < file.trackCount; ++i) {
    out.chunks.push_back(DecodeEvents(file.tracks[i].data, file.tracks[i].length));
  }
  Tolvenar::FreeMidiFileStruct(&file);
  return out;
}

}  // namespace orlix_test

#endif
