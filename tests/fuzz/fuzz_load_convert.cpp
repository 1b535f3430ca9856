// Fuzz target: arbitrary bytes through the whole path (load from memory,
// convert in both playback modes, serialise to a buffer and to a stream,
// release). Any invalid MIDI output, or a stream that differs from the
// buffer, aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "orlix/tolvenar.h"
#include "perform/perform.h"
#include "support/midi_validator.h"
#include "support/performed_notes.h"

using namespace Tolvenar;

namespace {

void Fail(const char* what) {
  fprintf(stderr, "orlix fuzz: %s\n", what);
  abort();
}

void ConvertAndCheck(FileStruct* song) {
  if (song->trackCount >= 65535) return;  // the file format cannot count the chunks
  MidiFileStruct midi;
  if (!InitMidiFileStruct(&midi, song->trackCount + 1, 480)) return;
  ToMidi(song, &midi, 30);
  for (uint32_t i = 0; i < song->measureCount; ++i)
    if (song->measureHeaders[i].repeatPass != 0) Fail("repeatPass left set after a conversion");

  Byte* buffer = nullptr;
  uint32_t size = CreateMidiBuffer(&midi, &buffer);
  if (buffer) {
    std::string problem = orlix_test::ValidateMidiFile(buffer, size);
    if (!problem.empty()) Fail(problem.c_str());

    std::vector<char> streamed(size);
    FILE* sink = fmemopen(streamed.data(), streamed.size(), "wb");
    if (sink) {
      setvbuf(sink, nullptr, _IONBF, 0);
      if (!SaveMidiFileStruct(&midi, sink)) Fail("SaveMidiFileStruct failed on a large enough stream");
      fclose(sink);
      if (memcmp(streamed.data(), buffer, size) != 0) Fail("stream and buffer differ");
    }
    DestroyMidiBuffer(buffer);
  }
  FreeMidiFileStruct(&midi);
}

// Full playback: a valid file whose every note-off ends a started note and
// whose notes all end with their track, or a clean refusal.
void PerformAndCheck(const FileStruct* song) {
  uint8_t* buffer = nullptr;
  size_t size = 0;
  PerformStatus status = PerformSongToBuffer(song, 480, uint64_t{16} << 20, &buffer, &size);
  if (status != kPerformDone) {
    if (buffer != nullptr || size != 0) Fail("a failed performance handed out bytes");
    if (status != kPerformTooLarge && status != kPerformBadArgument) Fail("performance failed");
    return;
  }
  std::string problem = orlix_test::ValidateMidiFile(buffer, size);
  if (!problem.empty()) Fail(problem.c_str());
  for (const orlix_test::PerformedChunk& chunk : orlix_test::ReadPerformance(buffer, size).chunks) {
    if (chunk.unpairedOffs != 0) Fail("performed note-off without its note");
    if (chunk.unfinished != 0) Fail("performed note sounding past its track's end");
  }
  DestroyMidiBuffer(buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : tmpfile();
  if (!stream) return 0;
  FileStruct song;
  if (LoadFileStruct(&song, stream)) {
    ConvertAndCheck(&song);
    PerformAndCheck(&song);
    FreeFileStruct(&song);
    FreeFileStruct(&song);  // releasing twice is harmless
  } else {
    // A failed load leaves no pointer behind.
    if (song.version || song.measureHeaders || song.tracks || song.measures || song.info.title ||
        song.info.noticeLines || song.lyricsLines[0] || song.lyricsLines[4])
      Fail("failed load left a pointer set");
  }
  fclose(stream);
  return 0;
}
