// Fuzz target: arbitrary bytes through the whole path (load from memory,
// convert in both playback modes, serialise to a buffer and to a stream,
// release), and through the song handles (open from memory, convert). Any
// invalid MIDI output, a stream that differs from the buffer, a handle that
// disagrees with the classic load, a song whose records break a pointer
// rule, or a failed open without a kind and an offset inside the input,
// aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "orlix/orlix.h"
#include "orlix/tolvenar.h"
#include "perform/perform.h"
#include "support/midi_validator.h"
#include "support/performed_notes.h"
#include "support/playback_options.h"
#include "support/record_rules.h"
#include "support/second_voice.h"

using namespace Tolvenar;

namespace {

void Fail(const char* what) {
  fprintf(stderr, "orlix fuzz: %s\n", what);
  abort();
}

// Returns the classic export's bytes (empty when there are none).
std::vector<uint8_t> ConvertAndCheck(FileStruct* song) {
  std::vector<uint8_t> exported;
  if (song->trackCount >= 65535) return exported;  // the file format cannot count the chunks
  MidiFileStruct midi;
  if (!InitMidiFileStruct(&midi, song->trackCount + 1, 480)) return exported;
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
    exported.assign(buffer, buffer + size);
    DestroyMidiBuffer(buffer);
  }
  FreeMidiFileStruct(&midi);
  return exported;
}

std::vector<uint8_t> PerformFlat(const FileStruct* song);
void CheckPerformance(const uint8_t* buffer, size_t size);

// The handle of the same bytes: opens exactly when the classic load did
// (or over the headers only handles read: version 3, the variant of
// version 4, version 5), converts to the same bytes, and a failure says
// what and where.
void OpenAndCheck(const uint8_t* data, size_t size, bool loaded, const std::vector<uint8_t>& exported,
                  const std::vector<uint8_t>& performed) {
  ORLIX_Error error;
  ORLIX_Song* song = ORLIX_OpenMemory(data, size, &error);
  if (!song) {
    if (loaded) Fail("the handle refused a song LoadFileStruct read");
    if (error.kind == ORLIX_ERROR_NONE || error.offset < 0 || static_cast<uint64_t>(error.offset) > size)
      Fail("a failed open without a kind or an offset inside the input");
    if (!memchr(error.message, '\0', sizeof error.message) || error.message[0] == '\0')
      Fail("a failed open without a message");
    return;
  }
  if (!loaded && ORLIX_GetFormat(song) != 3 && ORLIX_GetFormat(song) != 5 &&
      strcmp(ORLIX_GetSong(song)->version, "FICHIER GUITAR PRO L4.06") != 0)
    Fail("the handle read a song LoadFileStruct refused");
  std::string broken = orlix_test::RecordRuleProblem(*ORLIX_GetSong(song));
  if (!broken.empty()) Fail(broken.c_str());
  if (ORLIX_GetFormat(song) == 5) {
    broken = orlix_test::RecordRuleProblem(orlix_test::SecondVoiceSong(song).song);
    if (!broken.empty()) Fail(("second voice: " + broken).c_str());
  }
  unsigned char* buffer = nullptr;
  size_t length = 0;
  if (ORLIX_ToMidi(song, &orlix_test::kClassic, &buffer, &length, &error)) {
    if (loaded && !exported.empty() &&
        (length != exported.size() || memcmp(buffer, exported.data(), length) != 0))
      Fail("the handle's conversion differs from the classic export");
    ORLIX_DestroyMidiBuffer(buffer);
  } else if (error.kind == ORLIX_ERROR_NONE) {
    Fail("a failed conversion without a kind");
  }
  // Full playback through the handle, with what the song keeps beside its
  // records (the second voice, directions, note details). For a song the
  // records hold whole, the extras the handle derives from them play as
  // the records alone do.
  ORLIX_MidiOptions full = orlix_test::kFull;
  full.maxBytes = size_t{16} << 20;
  if (ORLIX_ToMidi(song, &full, &buffer, &length, &error)) {
    CheckPerformance(buffer, length);
    if (loaded && (length != performed.size() || memcmp(buffer, performed.data(), length) != 0))
      Fail("full playback through the handle differs from the records' own");
    ORLIX_DestroyMidiBuffer(buffer);
  } else if (error.kind != ORLIX_ERROR_TOO_LARGE && error.kind != ORLIX_ERROR_ARGUMENT) {
    Fail("full playback through the handle failed");
  } else if (loaded && !performed.empty()) {
    Fail("full playback through the handle refused what the records played");
  }
  ORLIX_Close(song);
}

// Full playback of the records alone: its bytes, or none after a clean
// refusal. The handle's playback of the same song is checked against them.
std::vector<uint8_t> PerformFlat(const FileStruct* song) {
  uint8_t* buffer = nullptr;
  size_t size = 0;
  std::vector<uint8_t> performed;
  PerformStatus status = PerformSongToBuffer(song, nullptr, 480, uint64_t{16} << 20, &buffer, &size);
  if (status != kPerformDone) {
    if (buffer != nullptr || size != 0) Fail("a failed performance handed out bytes");
    if (status != kPerformTooLarge && status != kPerformBadArgument) Fail("performance failed");
    return performed;
  }
  performed.assign(buffer, buffer + size);
  DestroyMidiBuffer(buffer);
  return performed;
}

// A valid file whose every note-off ends a started note and whose notes all
// end with their track.
void CheckPerformance(const uint8_t* buffer, size_t size) {
  std::string problem = orlix_test::ValidateMidiFile(buffer, size);
  if (!problem.empty()) Fail(problem.c_str());
  for (const orlix_test::PerformedChunk& chunk : orlix_test::ReadPerformance(buffer, size).chunks) {
    if (chunk.unpairedOffs != 0) Fail("performed note-off without its note");
    if (chunk.unfinished != 0) Fail("performed note sounding past its track's end");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : tmpfile();
  if (!stream) return 0;
  FileStruct song;
  std::vector<uint8_t> exported;
  std::vector<uint8_t> performed;
  int loaded = LoadFileStruct(&song, stream);
  if (loaded) {
    std::string broken = orlix_test::RecordRuleProblem(song);
    if (!broken.empty()) Fail(broken.c_str());
    exported = ConvertAndCheck(&song);
    performed = PerformFlat(&song);
    FreeFileStruct(&song);
    FreeFileStruct(&song);  // releasing twice is harmless
  } else {
    // A failed load leaves no pointer behind.
    if (song.version || song.measureHeaders || song.tracks || song.measures || song.info.title ||
        song.info.noticeLines || song.lyricsLines[0] || song.lyricsLines[4])
      Fail("failed load left a pointer set");
  }
  fclose(stream);
  OpenAndCheck(data, size, loaded != 0, exported, performed);
  return 0;
}
