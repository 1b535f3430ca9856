// Song handles: which headers open, the errors a failed open reports (kind,
// offset, message) on every source, the stream position an open leaves,
// and the conversion's options.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "orlix/orlix.h"
#include "support/song5_file.h"
#include "support/song_checks.h"
#include "support/song_file.h"

using namespace orlix_test;

namespace {

// One measure and one track whose beat carries a new-layout chord and a
// note with a bend: the records the failures below break.
SongFile ChordSong() {
  SongFile song;
  song.measures = {Signature(4, 4)};
  song.tracks = {TrackRecord()};
  BeatRecord beat = NotesBeat(0, {{0, 3}});
  beat.flags = 0x02;
  beat.chord = NewChordRecord().bytes();
  beat.notes[0].flags |= 0x08;
  beat.notes[0].effects.flags1 = 0x01;
  beat.notes[0].effects.bend = ThreePointCurve();
  song.cells = {{{beat}}};
  return song;
}

// Where the grid starts: the song's bytes without their one (empty) cell.
size_t GridStart(SongFile song) {
  song.cells.clear();
  return song.bytes().size() - 4;
}

struct OpenCase {
  const char* name;
  std::function<Bytes(size_t* offset)> bytes;  // sets the offset the error must give
  int kind;
  std::string message;  // "%o" stands for the offset, "%n" for the input's size
};

std::string Expand(std::string text, size_t offset, size_t size) {
  for (size_t at; (at = text.find("%o")) != std::string::npos;) text.replace(at, 2, std::to_string(offset));
  for (size_t at; (at = text.find("%n")) != std::string::npos;) text.replace(at, 2, std::to_string(size));
  return text;
}

const OpenCase kOpenCases[] = {
    {"Empty", [](size_t* offset) { *offset = 0; return Bytes(); }, ORLIX_ERROR_TRUNCATED,
     "file ends early at byte 0 of 0"},
    {"Version2",
     [](size_t* offset) {
       SongFile song = ChordSong();
       song.head.version = "FICHIER GUITAR PRO v2.21";
       *offset = 0;
       return song.bytes();
     },
     ORLIX_ERROR_UNKNOWN_FORMAT, "unknown format: header \"FICHIER GUITAR PRO v2.21\""},
    {"HeaderWithControlBytes",
     [](size_t* offset) {
       *offset = 0;
       return Bytes().byteString(std::string("GP\x01\"\x7F", 5)).zeros(40);
     },
     ORLIX_ERROR_UNKNOWN_FORMAT, "unknown format: header \"GP\\x01\\x22\\x7f\""},
    {"CutInsideTheVersionText",
     [](size_t* offset) {
       *offset = 0;
       return ChordSong().bytes().prefix(10);
     },
     ORLIX_ERROR_TRUNCATED, "file ends early at byte %o of %n"},
    {"ChordFormat2",
     [](size_t* offset) {
       SongFile song = ChordSong();
       Bytes bytes = song.bytes();
       *offset = GridStart(song) + 4 + 2;  // the beat count, flags and duration
       bytes.data[*offset] = 2;
       return bytes;
     },
     ORLIX_ERROR_BAD_DATA, "bad chord diagram format 2 at byte %o"},
    {"MeasureCountPastTheEnd",
     [](size_t* offset) {
       SongFile song = ChordSong();
       song.head.measureCount = 1000000;
       song.countsAsGiven = true;
       song.head.trackCount = 1;
       *offset = song.head.bytes().size();
       return song.bytes();
     },
     ORLIX_ERROR_TRUNCATED, "file ends early at byte %o of %n"},
    {"BendPointCountPastTheEnd",
     [](size_t* offset) {
       SongFile song = ChordSong();
       song.cells[0][0][0].notes[0].effects.bend.pointCountField = 100000000;
       Bytes bytes = song.bytes();
       // The count is the last field read: the bend curve's 9 bytes of head
       // end 27 bytes of points and 1 byte of the song before the end.
       *offset = bytes.size() - 27;
       return bytes;
     },
     ORLIX_ERROR_TRUNCATED, "file ends early at byte %o of %n"},
    {"Version5Clipboard",
     [](size_t* offset) {
       *offset = 0;
       return Bytes().byteString("CLIPBOARD GP 5.0").zeros(60);
     },
     ORLIX_ERROR_UNKNOWN_FORMAT, "unknown format: header \"CLIPBOARD GP 5.0\""},
    {"Version5MeasureCountPastTheEnd",
     [](size_t* offset) {
       Song5File song;
       song.measures = {MeasureHeader5Record()};
       song.tracks = {Track5Record()};
       Bytes bytes = song.bytes();
       *offset = song.head.bytes().size();
       for (int i = 0; i < 4; ++i) bytes.data[*offset - 8 + i] = 0x7F;
       return bytes;
     },
     ORLIX_ERROR_TRUNCATED, "file ends early at byte %o of %n"},
    {"Version5SecondVoicePastTheEnd",
     [](size_t* offset) {
       Song5File song;
       song.measures = {MeasureHeader5Record()};
       song.tracks = {Track5Record()};
       song.cells = {{Cell5{{Notes5Beat(0, {{0, 3}})}, {}}}};
       Bytes bytes = song.bytes();
       // The second voice's beat count is the last field.
       *offset = bytes.size();
       bytes.data[*offset - 1] = 0x10;
       return bytes;
     },
     ORLIX_ERROR_TRUNCATED, "file ends early at byte %o of %n"},
};

class OpenFailure : public ::testing::TestWithParam<OpenCase> {};

// The same kind, offset and message whether the song comes from memory, a
// path or a stream (which starts after other bytes: offsets count from the
// stream's position); LoadFileStruct refuses it too.
TEST_P(OpenFailure, SaysWhatAndWhereOnEverySource) {
  size_t offset = 0;
  Bytes bytes = GetParam().bytes(&offset);
  std::string message = Expand(GetParam().message, offset, bytes.size());
  TempSongFile file(bytes);
  ASSERT_TRUE(file.ok());
  Bytes placed = Bytes().text("junk").append(bytes);
  MemoryStream stream(placed);
  ASSERT_EQ(0, fseek(stream.get(), 4, SEEK_SET));
  struct Source {
    const char* name;
    std::function<ORLIX_Song*(ORLIX_Error*)> open;
  } sources[] = {
      {"memory", [&](ORLIX_Error* e) { return ORLIX_OpenMemory(bytes.data.data(), bytes.size(), e); }},
      {"file", [&](ORLIX_Error* e) { return ORLIX_OpenFile(file.path(), e); }},
      {"stream", [&](ORLIX_Error* e) { return ORLIX_OpenStream(stream.get(), e); }},
  };
  for (const Source& source : sources) {
    ORLIX_Error error;
    EXPECT_EQ(nullptr, source.open(&error)) << source.name;
    EXPECT_EQ(GetParam().kind, error.kind) << source.name;
    EXPECT_EQ(static_cast<long long>(offset), error.offset) << source.name;
    EXPECT_EQ(message, error.message) << source.name;
    EXPECT_EQ(nullptr, source.open(nullptr)) << source.name << " without an error record";
  }
  MemoryStream in(bytes);
  Tolvenar::FileStruct song;
  EXPECT_EQ(0, Tolvenar::LoadFileStruct(&song, in.get()));
}

INSTANTIATE_TEST_SUITE_P(Songs, OpenFailure, ::testing::ValuesIn(kOpenCases),
                         [](const ::testing::TestParamInfo<OpenCase>& c) { return c.param.name; });

// Every cut of a song holding every record, in version 4 and in version 3,
// fails as truncated, at an offset inside the cut, on the stream path as on
// the memory path.
TEST(SongHandle, EveryCutFailsAsTruncatedOnMemoryAndStream) {
  for (const Bytes& whole : {EveryRecordSong().bytes(), EveryRecordVersion3Song().bytes()}) {
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      Bytes bytes = whole.prefix(cut);
      MemoryStream stream(bytes);
      ORLIX_Error fromMemory, fromStream;
      ASSERT_EQ(nullptr, ORLIX_OpenMemory(bytes.data.data(), cut, &fromMemory)) << cut;
      ASSERT_EQ(nullptr, ORLIX_OpenStream(stream.get(), &fromStream)) << cut;
      ASSERT_EQ(ORLIX_ERROR_TRUNCATED, fromMemory.kind) << cut;
      ASSERT_LE(fromMemory.offset, static_cast<long long>(cut));
      EXPECT_EQ(fromMemory.kind, fromStream.kind) << cut;
      EXPECT_EQ(fromMemory.offset, fromStream.offset) << cut;
      EXPECT_STREQ(fromMemory.message, fromStream.message) << cut;
    }
  }
}

// The variant header some editors write opens through the handles over the
// version 4 layout; LoadFileStruct keeps refusing it.
TEST(SongHandle, VariantHeaderOpensOnlyAsAHandle) {
  SongFile song = EveryRecordSong();
  Bytes plain = song.bytes();
  song.head.version = "FICHIER GUITAR PRO L4.06";
  Bytes variant = song.bytes();
  MemoryStream in(plain);
  Tolvenar::FileStruct reference;
  ASSERT_EQ(1, Tolvenar::LoadFileStruct(&reference, in.get()));
  ORLIX_Error error;
  ORLIX_Song* handle = ORLIX_OpenMemory(variant.data.data(), variant.size(), &error);
  ASSERT_NE(nullptr, handle) << error.message;
  EXPECT_EQ(ORLIX_ERROR_NONE, error.kind);
  EXPECT_EQ(4, ORLIX_GetFormat(handle));
  const Tolvenar::FileStruct* opened = ORLIX_GetSong(handle);
  EXPECT_STREQ("FICHIER GUITAR PRO L4.06", opened->version);
  free(reference.version);
  reference.version = opened->version;  // the one field that differs
  EXPECT_TRUE(SameSong(reference, *opened));
  reference.version = nullptr;
  ORLIX_Close(handle);
  Tolvenar::FreeFileStruct(&reference);
  MemoryStream variantIn(variant);
  Tolvenar::FileStruct refused;
  EXPECT_EQ(0, Tolvenar::LoadFileStruct(&refused, variantIn.get()));
}

// A stream is read from where it stands and left just after the song, as
// LoadFileStruct leaves it; the caller's bytes are not kept.
TEST(SongHandle, StreamIsLeftJustAfterTheSongAndMemoryIsNotKept) {
  Bytes song = EveryRecordSong().bytes();
  Bytes placed = Bytes().text("abc").append(song).text("tail");
  MemoryStream stream(placed);
  ASSERT_EQ(0, fseek(stream.get(), 3, SEEK_SET));
  ORLIX_Song* fromStream = ORLIX_OpenStream(stream.get(), nullptr);
  ASSERT_NE(nullptr, fromStream);
  EXPECT_EQ(static_cast<long>(3 + song.size()), stream.position());
  std::vector<uint8_t> copy = song.data;
  ORLIX_Song* fromMemory = ORLIX_OpenMemory(copy.data(), copy.size(), nullptr);
  ASSERT_NE(nullptr, fromMemory);
  std::fill(copy.begin(), copy.end(), 0xEE);
  EXPECT_TRUE(SameSong(*ORLIX_GetSong(fromStream), *ORLIX_GetSong(fromMemory)));
  ORLIX_Close(fromStream);
  ORLIX_Close(fromMemory);
}

// A pipe cannot seek and the reader never needs to (the name fields are
// peeked and taken, not seeked over): songs load from a pipe through
// LoadFileStruct and the handles alike. LoadFileStruct used to fail there
// at the first track, whose name field it passed with ftell and fseek.
TEST(SongHandle, SongsLoadFromAPipe) {
  Bytes bytes = EveryRecordSong().bytes();
  ASSERT_LT(bytes.size(), 4096u) << "written whole before reading";
  MemoryStream in(bytes);
  Tolvenar::FileStruct reference;
  ASSERT_EQ(1, Tolvenar::LoadFileStruct(&reference, in.get()));
  for (bool asHandle : {false, true}) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(fds[1], bytes.data.data(), bytes.size()));
    close(fds[1]);
    FILE* piped = fdopen(fds[0], "rb");
    ASSERT_NE(nullptr, piped);
    if (asHandle) {
      ORLIX_Error error;
      ORLIX_Song* song = ORLIX_OpenStream(piped, &error);
      ASSERT_NE(nullptr, song) << error.message;
      EXPECT_TRUE(SameSong(reference, *ORLIX_GetSong(song)));
      ORLIX_Close(song);
    } else {
      Tolvenar::FileStruct song;
      ASSERT_EQ(1, Tolvenar::LoadFileStruct(&song, piped));
      EXPECT_TRUE(SameSong(reference, song));
      Tolvenar::FreeFileStruct(&song);
    }
    fclose(piped);
  }
  Tolvenar::FreeFileStruct(&reference);
}

TEST(SongHandle, NullArgumentsAreRefused) {
  ORLIX_Error error;
  EXPECT_EQ(nullptr, ORLIX_OpenFile(nullptr, &error));
  EXPECT_EQ(ORLIX_ERROR_ARGUMENT, error.kind);
  EXPECT_EQ(nullptr, ORLIX_OpenStream(nullptr, &error));
  EXPECT_EQ(ORLIX_ERROR_ARGUMENT, error.kind);
  EXPECT_EQ(nullptr, ORLIX_OpenMemory(nullptr, 10, &error));
  EXPECT_EQ(ORLIX_ERROR_ARGUMENT, error.kind);
  EXPECT_EQ(0, ORLIX_GetFormat(nullptr));
  EXPECT_EQ(nullptr, ORLIX_GetSong(nullptr));
  ORLIX_Close(nullptr);
  unsigned char* buffer = reinterpret_cast<unsigned char*>(&error);
  size_t size = 7;
  EXPECT_EQ(0, ORLIX_ToMidi(nullptr, nullptr, &buffer, &size, &error));
  EXPECT_EQ(ORLIX_ERROR_ARGUMENT, error.kind);
  EXPECT_EQ(nullptr, buffer);
  EXPECT_EQ(0u, size);
}

// Only regular files are read. A FIFO without a writer is refused at once
// (opening or reading it would wait for ever: the alarm ends the test
// instead), and a directory no longer reads as a file that ends at byte 0.
TEST(SongHandle, WhatIsNotARegularFileIsRefusedAtOnce) {
  char folder[] = "/tmp/orlix_folder_XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  std::string fifo = std::string(folder) + "/song.gp4";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  const struct {
    std::string path;
    const char* message;
  } cases[] = {{"/nonexistent/orlix/song.gp4", "cannot open: No such file or directory"},
               {folder, "is a directory"},
               {fifo, "not a regular file"},
               {"/dev/null", "not a regular file"}};
  alarm(20);
  for (const auto& c : cases) {
    ORLIX_Error error;
    EXPECT_EQ(nullptr, ORLIX_OpenFile(c.path.c_str(), &error)) << c.path;
    EXPECT_EQ(ORLIX_ERROR_OPEN, error.kind) << c.path;
    EXPECT_EQ(-1, error.offset) << c.path;
    EXPECT_STREQ(c.message, error.message) << c.path;
  }
  alarm(0);
  unlink(fifo.c_str());
  rmdir(folder);
}

// ------------------------------------------------------------ conversion

std::vector<uint8_t> ClassicExport(const Bytes& bytes, uint32_t division) {
  MemoryStream in(bytes);
  Tolvenar::FileStruct song;
  EXPECT_EQ(1, Tolvenar::LoadFileStruct(&song, in.get()));
  Tolvenar::MidiFileStruct midi;
  EXPECT_EQ(1, Tolvenar::InitMidiFileStruct(&midi, song.trackCount + 1, division));
  Tolvenar::ToMidi(&song, &midi, division / 16);
  Tolvenar::Byte* buffer = nullptr;
  uint32_t size = Tolvenar::CreateMidiBuffer(&midi, &buffer);
  std::vector<uint8_t> out(buffer, buffer + size);
  Tolvenar::DestroyMidiBuffer(buffer);
  Tolvenar::FreeMidiFileStruct(&midi);
  Tolvenar::FreeFileStruct(&song);
  return out;
}

struct OptionsCase {
  const char* name;
  ORLIX_MidiOptions options;
  int kind;
  uint32_t division;  // of the expected bytes, when converted
};

const OptionsCase kOptionsCases[] = {
    {"Defaults", {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 0, 0}, ORLIX_ERROR_NONE, 480},
    {"Division960", {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 960, 0}, ORLIX_ERROR_NONE, 960},
    {"Division16", {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 16, 0}, ORLIX_ERROR_NONE, 16},
    {"Division4080", {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 4080, 0}, ORLIX_ERROR_NONE, 4080},
    {"Division8", {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 8, 0}, ORLIX_ERROR_ARGUMENT, 0},
    {"Division488", {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 488, 0}, ORLIX_ERROR_ARGUMENT, 0},
    {"Division4096", {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 4096, 0}, ORLIX_ERROR_ARGUMENT, 0},
    {"UnknownPlayback", {sizeof(ORLIX_MidiOptions), 2, 0, 0}, ORLIX_ERROR_ARGUMENT, 0},
    {"SizeTooSmall", {sizeof(ORLIX_MidiOptions) - 1, ORLIX_PLAYBACK_CLASSIC, 0, 0}, ORLIX_ERROR_ARGUMENT, 0},
    {"MaxBytesTooSmall", {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 0, 100}, ORLIX_ERROR_TOO_LARGE, 0},
};

class MidiOptions : public ::testing::TestWithParam<OptionsCase> {};

// Valid options give the classic export's bytes at their division; invalid
// ones give no buffer and say why.
TEST_P(MidiOptions, ConvertAsTheClassicExportOrRefuse) {
  Bytes bytes = EveryRecordSong().bytes();
  ORLIX_Song* song = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), nullptr);
  ASSERT_NE(nullptr, song);
  unsigned char* buffer = nullptr;
  size_t size = 0;
  ORLIX_Error error;
  int converted = ORLIX_ToMidi(song, &GetParam().options, &buffer, &size, &error);
  EXPECT_EQ(GetParam().kind, error.kind) << error.message;
  if (GetParam().kind == ORLIX_ERROR_NONE) {
    ASSERT_EQ(1, converted);
    EXPECT_TRUE(std::vector<uint8_t>(buffer, buffer + size) == ClassicExport(bytes, GetParam().division));
    if (GetParam().division == 480) {
      unsigned char* again = nullptr;
      size_t againSize = 0;
      ORLIX_MidiOptions full = {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_FULL, 480, 0};
      unsigned char* performed = nullptr;
      size_t performedSize = 0;
      ASSERT_EQ(1, ORLIX_ToMidi(song, nullptr, &again, &againSize, nullptr));
      ASSERT_EQ(1, ORLIX_ToMidi(song, &full, &performed, &performedSize, nullptr));
      EXPECT_TRUE(againSize == performedSize && memcmp(performed, again, againSize) == 0)
          << "null options are full playback at 480";
      ORLIX_DestroyMidiBuffer(performed);
      ORLIX_DestroyMidiBuffer(again);
    }
  } else {
    EXPECT_EQ(0, converted);
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(0u, size);
    EXPECT_EQ(-1, error.offset);
    EXPECT_NE('\0', error.message[0]);
  }
  ORLIX_DestroyMidiBuffer(buffer);
  ORLIX_Close(song);
}

INSTANTIATE_TEST_SUITE_P(Options, MidiOptions, ::testing::ValuesIn(kOptionsCases),
                         [](const ::testing::TestParamInfo<OptionsCase>& c) { return c.param.name; });

}  // namespace
