// Real song files from other projects' test suites (read in place, never
// copied here): every version 4 song loads whole and opens as a handle from
// memory, a file and a stream into the same records; every version 3 file
// is refused by the classic load and opens as a handle, read to its end,
// and converts as its version 4 save does; every version 5 song opens as a
// handle only and plays its first voice as its version 4 sibling does;
// every cut of a song fails cleanly, the handle saying where.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "orlix/orlix.h"
#include "support/handle_midi.h"
#include "support/midi_decoder.h"
#include "support/midi_validator.h"
#include "support/playback_options.h"
#include "support/record_reading.h"
#include "support/record_rules.h"
#include "support/second_voice.h"
#include "support/song_checks.h"
#include "support/song_file.h"

using namespace Tolvenar;
using namespace orlix_test;

namespace {

std::vector<std::string> CorpusFiles(const char* folder, const char* extension) {
  std::vector<std::string> paths;
  std::string dir = std::string(ORLIX_CORPUS_DIR) + "/" + folder;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, extension) == 0) paths.push_back(dir + "/" + name);
    }
    closedir(d);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

Bytes ReadWhole(const std::string& path) {
  Bytes bytes;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    int c;
    while ((c = getc(f)) != EOF) bytes.u8(static_cast<unsigned>(c));
    fclose(f);
  }
  return bytes;
}

// Returns where the load stopped reading, or 0 when it failed.
long LoadedLength(const Bytes& bytes) {
  MemoryStream in(bytes);
  FileStruct song;
  if (!LoadFileStruct(&song, in.get())) return 0;
  FreeFileStruct(&song);
  return in.position();
}

TEST(Corpus, EveryVersion4SongLoads) {
  std::vector<std::string> songs = CorpusFiles("gp4", ".gp4");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    MemoryStream in(bytes);
    FileStruct song;
    ASSERT_EQ(1, LoadFileStruct(&song, in.get())) << path;
    // Some editors leave a few bytes after the grid; nothing reads them.
    EXPECT_LE(bytes.size() - static_cast<size_t>(in.position()), 4u) << path;
    EXPECT_GT(song.trackCount, 0u) << path;
    EXPECT_GT(song.measureCount, 0u) << path;
    EXPECT_EQ("", RecordRuleProblem(song)) << path;
    for (uint32_t m = 0; m < song.measureCount; ++m) ASSERT_NE(nullptr, song.measures[m]) << path;
    FreeFileStruct(&song);
    EXPECT_TRUE(HoldsNoPointer(song)) << path;
  }
}

// The classic export of a song read by LoadFileStruct, as the flat
// interface makes it.
std::vector<uint8_t> ClassicExport(FileStruct* song) {
  MidiFileStruct midi;
  EXPECT_EQ(1, InitMidiFileStruct(&midi, song->trackCount + 1, 480));
  ToMidi(song, &midi, 30);
  Byte* buffer = nullptr;
  uint32_t size = CreateMidiBuffer(&midi, &buffer);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  DestroyMidiBuffer(buffer);
  FreeMidiFileStruct(&midi);
  return bytes;
}

// From memory, from a path, and from a stream that starts after some other
// bytes: the same records as LoadFileStruct, the stream left just after the
// song, and the conversion's bytes those of the classic export.
TEST(Corpus, EveryVersion4SongOpensAsAHandleFromEverySource) {
  std::vector<std::string> songs = CorpusFiles("gp4", ".gp4");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    MemoryStream in(bytes);
    FileStruct reference;
    ASSERT_EQ(1, LoadFileStruct(&reference, in.get())) << path;
    std::vector<uint8_t> midi = ClassicExport(&reference);

    Bytes placed = Bytes().text("before").append(bytes);
    MemoryStream stream(placed);
    ASSERT_EQ(0, fseek(stream.get(), 6, SEEK_SET));
    ORLIX_Error error;
    ORLIX_Song* opened[] = {ORLIX_OpenMemory(bytes.data.data(), bytes.size(), &error),
                            ORLIX_OpenFile(path.c_str(), &error), ORLIX_OpenStream(stream.get(), &error)};
    EXPECT_EQ(6 + in.position(), stream.position()) << path;
    for (ORLIX_Song* song : opened) {
      ASSERT_NE(nullptr, song) << path << ": " << error.message;
      EXPECT_EQ(4, ORLIX_GetFormat(song));
      EXPECT_TRUE(SameSong(reference, *ORLIX_GetSong(song))) << path;
      unsigned char* buffer = nullptr;
      size_t size = 0;
      ASSERT_EQ(1, ORLIX_ToMidi(song, &orlix_test::kClassic, &buffer, &size, &error)) << path << ": " << error.message;
      EXPECT_EQ(ORLIX_ERROR_NONE, error.kind);
      EXPECT_TRUE(std::vector<uint8_t>(buffer, buffer + size) == midi) << path;
      ORLIX_DestroyMidiBuffer(buffer);
      ORLIX_Close(song);
    }
    FreeFileStruct(&reference);
  }
  EXPECT_EQ(nullptr, theFileStruct) << "the handles leave the flat interface's slot alone";
}

TEST(Corpus, EveryVersion3FileIsRefused) {
  std::vector<std::string> files = CorpusFiles("gp3", ".gp3");
  if (files.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : files) {
    MemoryStream in(ReadWhole(path));
    FileStruct song;
    EXPECT_EQ(0, LoadFileStruct(&song, in.get())) << path;
    EXPECT_TRUE(HoldsNoPointer(song)) << path;
  }
}

// Version 5 files open as handles only: LoadFileStruct keeps refusing them.
// Each reads to its end (some editors leave one byte after the last cell),
// from memory and from a stream, and converts to a valid MIDI file.
TEST(Corpus, EveryVersion5SongOpensAsAHandleAndConverts) {
  std::vector<std::string> songs = CorpusFiles("gp5", ".gp5");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    MemoryStream refused(bytes);
    FileStruct song;
    EXPECT_EQ(0, LoadFileStruct(&song, refused.get())) << path;
    EXPECT_TRUE(HoldsNoPointer(song)) << path;
    EXPECT_EQ(0, ORLIX_Load(path.c_str())) << path;

    MemoryStream in(bytes);
    ORLIX_Error error;
    ORLIX_Song* streamed = ORLIX_OpenStream(in.get(), &error);
    ASSERT_NE(nullptr, streamed) << path << ": " << error.message;
    EXPECT_LE(bytes.size() - static_cast<size_t>(in.position()), 1u) << path;
    ORLIX_Song* opened = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), &error);
    ASSERT_NE(nullptr, opened) << path << ": " << error.message;
    EXPECT_EQ(5, ORLIX_GetFormat(opened));
    EXPECT_TRUE(SameSong(*ORLIX_GetSong(streamed), *ORLIX_GetSong(opened))) << path;
    const FileStruct* records = ORLIX_GetSong(opened);
    for (uint32_t m = 0; m < records->measureCount; ++m)
      for (uint32_t t = 0; t < records->trackCount; ++t) ASSERT_NE(nullptr, ORLIX_GetSecondVoice(opened, m, t));
    EXPECT_EQ("", RecordRuleProblem(*records)) << path;
    EXPECT_EQ("", RecordRuleProblem(SecondVoiceSong(opened).song)) << path << ", second voice";
    unsigned char* buffer = nullptr;
    size_t size = 0;
    ASSERT_EQ(1, ORLIX_ToMidi(opened, nullptr, &buffer, &size, &error)) << path << ": " << error.message;
    EXPECT_EQ("", ValidateMidiFile(buffer, size)) << path;
    ORLIX_DestroyMidiBuffer(buffer);
    ORLIX_Close(opened);
    ORLIX_Close(streamed);
  }
}

std::vector<uint8_t> FileMidi(const std::string& path, unsigned playback) {
  ORLIX_Song* song = ORLIX_OpenFile(path.c_str(), nullptr);
  if (!song) return {};
  ORLIX_MidiOptions options = {sizeof options, playback, 480, 0};
  std::vector<uint8_t> midi = HandleMidi(song, options);
  ORLIX_Close(song);
  return midi;
}

// The pieces saved both as version 4 and version 5: voice 1 of the version
// 5 save plays, classically, exactly as the version 4 save, and in full
// wherever the version 5 save holds nothing more.
TEST(Corpus, Version5SavesConvertAsTheirVersion4Siblings) {
  struct Pair {
    const char* piece;
    bool sameClassic;
    bool sameFull;
  } const pairs[] = {
      {"accentuations", true, true}, {"bends", true, true},   {"colors", true, true},
      {"dead", true, true},
      {"effects", true, false},  // the version 5 save marks a grace note dead
      {"fingering", true, true},     {"grace", true, true},   {"hammer", true, true},
      {"harmonics", true, true},     {"notes", true, true},   {"other-effects", true, true},
      {"ranges", true, true},
      {"score-info", false, false},  // the version 5 save has a second track
      {"slides", true, true},        {"strings", true, true}, {"strokes", true, true},
      {"time-signatures", true, true}, {"tremolo", true, true}, {"trills", true, true},
      {"tuplets", true, true},       {"vibrato", true, true},
  };
  if (CorpusFiles("gp5", ".gp5").empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const Pair& pair : pairs) {
    std::string base = std::string(ORLIX_CORPUS_DIR) + "/";
    for (unsigned playback : {ORLIX_PLAYBACK_CLASSIC, ORLIX_PLAYBACK_FULL}) {
      std::vector<uint8_t> four = FileMidi(base + "gp4/" + pair.piece + ".gp4", playback);
      std::vector<uint8_t> five = FileMidi(base + "gp5/" + pair.piece + ".gp5", playback);
      ASSERT_FALSE(four.empty()) << pair.piece;
      ASSERT_FALSE(five.empty()) << pair.piece;
      bool same = playback == ORLIX_PLAYBACK_FULL ? pair.sameFull : pair.sameClassic;
      EXPECT_EQ(same, four == five) << pair.piece << " playback " << playback;
    }
  }
}

// Every cut of the short version 5 songs fails cleanly, saying where.
TEST(Corpus, EveryCutOfEveryShortVersion5SongFailsCleanly) {
  std::vector<std::string> songs = CorpusFiles("gp5", ".gp5");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  constexpr size_t kShortSongBytes = 8 * 1024;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    if (bytes.size() > kShortSongBytes) continue;
    MemoryStream in(bytes);
    ORLIX_Song* whole = ORLIX_OpenStream(in.get(), nullptr);
    ASSERT_NE(nullptr, whole) << path;
    ORLIX_Close(whole);
    for (size_t length = 0; length < static_cast<size_t>(in.position()); ++length) {
      ORLIX_Error error;
      ASSERT_EQ(nullptr, ORLIX_OpenMemory(bytes.data.data(), length, &error)) << path << " cut at " << length;
      ASSERT_EQ(ORLIX_ERROR_TRUNCATED, error.kind) << path << " cut at " << length;
      ASSERT_LE(error.offset, static_cast<long long>(length)) << path;
    }
  }
}

// From memory, from a path, and from a stream that starts after some other
// bytes: format 3, the same records, every pointer rule kept, the stream
// left at the end of the song with nothing or four zero bytes after it, and
// a valid MIDI file, the same from each.
TEST(Corpus, EveryVersion3SongOpensAsAHandleAndReadsToItsEnd) {
  std::vector<std::string> songs = CorpusFiles("gp3", ".gp3");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  int withZeroTail = 0;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    Bytes placed = Bytes().text("before").append(bytes);
    MemoryStream stream(placed);
    ASSERT_EQ(0, fseek(stream.get(), 6, SEEK_SET));
    ORLIX_Error error;
    ORLIX_Song* opened[] = {ORLIX_OpenMemory(bytes.data.data(), bytes.size(), &error),
                            ORLIX_OpenFile(path.c_str(), &error), ORLIX_OpenStream(stream.get(), &error)};
    for (ORLIX_Song* song : opened) ASSERT_NE(nullptr, song) << path << ": " << error.message;
    size_t end = static_cast<size_t>(stream.position() - 6);
    std::vector<uint8_t> tail(bytes.data.begin() + static_cast<long>(end), bytes.data.end());
    EXPECT_TRUE(tail.empty() || tail == std::vector<uint8_t>(4, 0)) << path << ": " << tail.size() << " bytes left";
    withZeroTail += !tail.empty();
    const FileStruct& records = *ORLIX_GetSong(opened[0]);
    EXPECT_EQ("", RecordRuleProblem(records)) << path;
    std::vector<uint8_t> midi = HandleMidi(opened[0]);
    EXPECT_EQ("", ValidateMidiFile(midi.data(), midi.size())) << path;
    for (ORLIX_Song* song : opened) {
      EXPECT_EQ(3, ORLIX_GetFormat(song)) << path;
      EXPECT_TRUE(SameSong(records, *ORLIX_GetSong(song))) << path;
      EXPECT_TRUE(HandleMidi(song) == midi) << path;
    }
    for (ORLIX_Song* song : opened) ORLIX_Close(song);
  }
  EXPECT_GT(withZeroTail, 0) << "some files end with four zero bytes";
}

// A note of a MIDI file: its chunk, onset, pitch, length and velocity.
using MidiNote = std::tuple<size_t, uint64_t, int, uint64_t, int>;

// The notes of a MIDI file in the order of their chunks and onsets, each
// note-on paired with the first note-off after it for its channel and key.
std::vector<MidiNote> NotesOf(const std::vector<uint8_t>& midi) {
  std::vector<MidiNote> notes;
  DecodedFile file = DecodeFile(midi.data(), midi.size());
  EXPECT_TRUE(file.wellFormed);
  for (size_t chunk = 0; chunk < file.chunks.size(); ++chunk) {
    std::map<std::pair<int, int>, std::vector<std::pair<uint64_t, int>>> sounding;
    for (const std::string& row : file.chunks[chunk].rows) {
      std::istringstream fields(row);
      uint64_t time;
      std::string kind;
      int channel, key, velocity;
      fields >> time >> kind;
      if (kind != "on" && kind != "off") continue;
      fields >> channel >> key >> velocity;
      std::vector<std::pair<uint64_t, int>>& open = sounding[{channel, key}];
      if (kind == "on" && velocity > 0) {
        open.emplace_back(time, velocity);
      } else if (!open.empty()) {
        notes.emplace_back(chunk, open.front().first, key, time - open.front().first, open.front().second);
        open.erase(open.begin());
      }
    }
  }
  std::sort(notes.begin(), notes.end());
  return notes;
}

struct SavedTwice {
  const char* piece;
  bool identicalBytes;  // the classic conversions of the two saves
  bool sameVelocities;  // else only onsets, pitches and lengths agree
};

// Every piece saved as both version 3 and version 4. The two saves of
// "accentuations" hold different music: its version 3 save stores the
// accented note one dynamic louder, without an accent (which version 3
// cannot store). The version 3 save of "strings" ends its measure with a
// rest the version 4 save leaves out: the same notes, a later end.
const SavedTwice kSavedTwice[] = {
    {"accentuations", false, false}, {"bends", true, true},     {"dead", true, true},
    {"effects", true, true},         {"grace", true, true},     {"hammer", true, true},
    {"harmonics", true, true},       {"notes", true, true},     {"other-effects", true, true},
    {"ranges", true, true},          {"score-info", true, true}, {"slides", true, true},
    {"strings", false, true},        {"strokes", true, true},   {"time-signatures", true, true},
    {"tuplets", true, true},         {"vibrato", true, true},
};

// The version 3 save through the handle against the version 4 save through
// the classic load: the same notes (onset, pitch, length, velocity), and
// for most pieces the same bytes. Prints which pairs are byte-identical.
TEST(Corpus, Version3AndVersion4SavesConvertAlike) {
  if (CorpusFiles("gp3", ".gp3").empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  std::string identical, different;
  size_t notesCompared = 0;
  for (const SavedTwice& pair : kSavedTwice) {
    std::string folder = std::string(ORLIX_CORPUS_DIR) + "/";
    Bytes version3 = ReadWhole(folder + "gp3/" + pair.piece + ".gp3");
    Bytes version4 = ReadWhole(folder + "gp4/" + pair.piece + ".gp4");
    ORLIX_Error error;
    ORLIX_Song* song = ORLIX_OpenMemory(version3.data.data(), version3.size(), &error);
    ASSERT_NE(nullptr, song) << pair.piece << ": " << error.message;
    std::vector<uint8_t> fromVersion3 = HandleMidi(song);
    ORLIX_Close(song);
    MemoryStream in(version4);
    FileStruct loaded;
    ASSERT_EQ(1, LoadFileStruct(&loaded, in.get())) << pair.piece;
    std::vector<uint8_t> fromVersion4 = ClassicExport(&loaded);
    FreeFileStruct(&loaded);

    bool same = fromVersion3 == fromVersion4;
    EXPECT_EQ(pair.identicalBytes, same) << pair.piece;
    (same ? identical : different) += std::string(" ") + pair.piece;
    std::vector<MidiNote> notes3 = NotesOf(fromVersion3);
    std::vector<MidiNote> notes4 = NotesOf(fromVersion4);
    ASSERT_EQ(notes4.size(), notes3.size()) << pair.piece;
    notesCompared += notes3.size();
    size_t velocitiesDiffering = 0;
    for (size_t i = 0; i < notes3.size(); ++i) {
      MidiNote withoutVelocity3 = notes3[i], withoutVelocity4 = notes4[i];
      std::get<4>(withoutVelocity3) = std::get<4>(withoutVelocity4) = 0;
      EXPECT_TRUE(withoutVelocity3 == withoutVelocity4) << pair.piece << " note " << i;
      velocitiesDiffering += notes3[i] != notes4[i];
    }
    EXPECT_EQ(pair.sameVelocities, velocitiesDiffering == 0) << pair.piece;
  }
  EXPECT_GT(notesCompared, 50u);
  printf("identical classic bytes:%s\ndifferent classic bytes:%s\n%zu notes compared\n", identical.c_str(),
         different.c_str(), notesCompared);
}

// The grid is read straight from the stream's buffer while it holds enough
// bytes and through the stream otherwise: a tiny buffer sends many fields
// down the second road, and the song read must not change.
TEST(Corpus, EverySongReadsTheSameWhateverTheStreamBuffer) {
  std::vector<std::string> songs = CorpusFiles("gp4", ".gp4");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    MemoryStream plainIn(bytes);
    FileStruct plain;
    ASSERT_EQ(1, LoadFileStruct(&plain, plainIn.get())) << path;
    for (size_t bufferSize : {1, 5, 13, 64}) {
      MemoryStream in(bytes);
      std::vector<char> buffer(bufferSize);
      ASSERT_EQ(0, setvbuf(in.get(), buffer.data(), _IOFBF, bufferSize));
      FileStruct song;
      ASSERT_EQ(1, LoadFileStruct(&song, in.get())) << path << " buffer " << bufferSize;
      EXPECT_EQ(plainIn.position(), in.position()) << path << " buffer " << bufferSize;
      ASSERT_EQ(plain.measureCount, song.measureCount);
      ASSERT_EQ(plain.trackCount, song.trackCount);
      for (uint32_t m = 0; m < song.measureCount; ++m) {
        for (uint32_t t = 0; t < song.trackCount; ++t) {
          const TrackMeasure& got = song.measures[m][t];
          const TrackMeasure& want = plain.measures[m][t];
          ASSERT_EQ(want.beatCount, got.beatCount) << path << " cell " << m << "," << t;
          for (uint32_t b = 0; b < got.beatCount; ++b)
            ASSERT_TRUE(SameBeat(want.beats[b], got.beats[b]))
                << path << " buffer " << bufferSize << " cell " << m << "," << t << " beat " << b;
        }
      }
      FreeFileStruct(&song);
    }
    FreeFileStruct(&plain);
  }
}

// Every cut of every version 3 song fails as truncated inside the cut, on
// the handle (from memory) and read with one allocation per record, which
// releases its half-read records.
TEST(Corpus, EveryCutOfEveryVersion3SongFailsCleanly) {
  std::vector<std::string> songs = CorpusFiles("gp3", ".gp3");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    MemoryStream stream(bytes);
    ORLIX_Song* whole = ORLIX_OpenStream(stream.get(), nullptr);
    ASSERT_NE(nullptr, whole) << path;
    ORLIX_Close(whole);
    size_t end = static_cast<size_t>(stream.position());
    for (size_t length = 0; length < end; ++length) {
      ORLIX_Error error;
      ASSERT_EQ(nullptr, ORLIX_OpenMemory(bytes.data.data(), length, &error)) << path << " cut at " << length;
      ASSERT_EQ(ORLIX_ERROR_TRUNCATED, error.kind) << path << " cut at " << length;
      ASSERT_LE(error.offset, static_cast<long long>(length)) << path;
      FileStruct song;
      ReadError readError;
      ASSERT_EQ(0, ReadSongOnePerRecord(bytes.data.data(), length, &song, &readError)) << path << " cut at " << length;
      ASSERT_EQ(kReadTruncated, readError.kind) << path << " cut at " << length;
      ASSERT_TRUE(HoldsNoPointer(song)) << path << " cut at " << length;
    }
  }
}

// Every prefix of every song fails with nothing left allocated (the asan
// build's LeakSanitizer checks the "nothing leaked" half). The whole songs
// are cut at every 13th byte, which still cuts every kind of field, so the
// sweep stays quick; the short songs at every byte.
TEST(Corpus, EveryCutOfEveryVersion4SongFailsCleanly) {
  std::vector<std::string> songs = CorpusFiles("gp4", ".gp4");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    long end = LoadedLength(bytes);
    ASSERT_GT(end, 0) << path;
    size_t stride = end <= 8192 ? 1 : 13;
    for (size_t length = 0; length < static_cast<size_t>(end); length += stride) {
      FILE* stream = length ? fmemopen(bytes.data.data(), length, "rb") : tmpfile();
      ASSERT_NE(nullptr, stream);
      FileStruct song;
      int loaded = LoadFileStruct(&song, stream);
      fclose(stream);
      ASSERT_EQ(0, loaded) << path << " cut at " << length;
      ASSERT_TRUE(HoldsNoPointer(song)) << path << " cut at " << length;
      ORLIX_Error error;
      ASSERT_EQ(nullptr, ORLIX_OpenMemory(bytes.data.data(), length, &error)) << path << " cut at " << length;
      ASSERT_EQ(ORLIX_ERROR_TRUNCATED, error.kind) << path << " cut at " << length;
      ASSERT_LE(error.offset, static_cast<long long>(length)) << path;
      ASSERT_EQ("file ends early at byte " + std::to_string(error.offset) + " of " + std::to_string(length),
                error.message);
    }
  }
}

}  // namespace
