// Converting a list of songs, on several threads, with every file's result
// reported in the order of the list.
#ifndef ORLIX_TOOLS_CONVERT_BATCH_H
#define ORLIX_TOOLS_CONVERT_BATCH_H

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

#include "orlix/orlix.h"

struct ConvertSettings {
  std::string output;     // one song's MIDI file, "-" for standard output; or empty
  std::string directory;  // the folder for the MIDI files; or empty
  unsigned jobs;          // threads, at least 1
  ORLIX_MidiOptions midi;  // playback, and the largest MIDI file written
  mode_t newFileMode;     // the mode of a file that did not exist
};

struct ConvertCounts {
  unsigned converted;
  unsigned failed;
};

// Converts each input ("-": standard input) into its MIDI file and writes
// one message per failed song to standard error, in input order, whatever
// the number of threads.
ConvertCounts ConvertBatch(const std::vector<std::string>& inputs,
                           const ConvertSettings& settings);

#endif
