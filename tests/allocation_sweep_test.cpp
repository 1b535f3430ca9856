// Allocation failures along the whole path, load to MIDI bytes, for songs
// holding every kind of record: each refused allocation either fails the
// call cleanly or costs only what the format allows, never a leak (the
// sanitizer build checks that) or a broken MIDI stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "convert/classic_conversion.h"
#include "orlix/orlix.h"
#include "orlix/tolvenar.h"
#include "support/failing_alloc.h"
#include "support/handle_midi.h"
#include "support/midi_validator.h"
#include "support/playback_options.h"
#include "support/record_reading.h"
#include "support/song5_file.h"
#include "support/song_checks.h"
#include "support/song_file.h"

using namespace orlix_test;
using namespace Tolvenar;

namespace {

// The song with every record, and the same with a v4.00 header, no notice
// and a lone track whose only beat carries a new-layout chord.
std::vector<Bytes> SweptSongs() {
  SongFile small;
  small.head.version = "FICHIER GUITAR PRO v4.00";
  small.measures = {Signature(3, 4)};
  small.tracks = {TrackRecord()};
  small.cells = {{{EveryPartBeat(true)}}};
  return {EveryRecordSong().bytes(), small.bytes()};
}

// A chunk as a one-chunk file, so the file validator can judge it alone.
std::string ValidateChunk(const MidiTrackChunk& chunk) {
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 1, 0xE0,
                               'M', 'T', 'r', 'k'};
  for (int shift = 24; shift >= 0; shift -= 8) file.push_back(static_cast<uint8_t>(chunk.length >> shift));
  if (chunk.length) file.insert(file.end(), chunk.data, chunk.data + chunk.length);
  return ValidateMidiFile(file.data(), file.size());
}

int MissingLyricsLines(const FileStruct& song) {
  int missing = 0;
  for (const char* line : song.lyricsLines) missing += line == nullptr;
  return missing;
}

class AllocationSweep : public ::testing::TestWithParam<size_t> {
 protected:
  Bytes Song() const { return SweptSongs().at(GetParam()); }
};

// A refused allocation fails the load with nothing left behind, except in
// the lyrics, where the format lets one line go missing.
TEST_P(AllocationSweep, LoadFileStructFailsCleanlyOrDropsOnlyALyricsLine) {
  MemoryStream in(Song());
  FileStruct reference;
  ASSERT_EQ(1, LoadFileStruct(&reference, in.get()));
  int referenceMissing = MissingLyricsLines(reference);
  FileStruct song;
  long failures = 0;
  long runs = SweepAllocationFailures([&] { return LoadFileStruct(&song, in.get()); },
                                      [&](int loaded, bool refused) {
    if (!loaded) {
      ++failures;
      EXPECT_TRUE(refused);
      EXPECT_TRUE(HoldsNoPointer(song));
      return;
    }
    if (refused) {
      EXPECT_EQ(referenceMissing + 1, MissingLyricsLines(song));
    }
    EXPECT_EQ(reference.measureCount, song.measureCount);
    EXPECT_EQ(reference.trackCount, song.trackCount);
    FreeFileStruct(&song);
  });
  FreeFileStruct(&reference);
  EXPECT_GT(runs, 40);
  EXPECT_GT(failures, runs / 2);
}

// The path-taking load: the slot stays empty on every refused allocation.
TEST_P(AllocationSweep, OrlixLoadLeavesTheSlotEmptyOrFull) {
  TempSongFile file(Song());
  ASSERT_TRUE(file.ok());
  long runs = SweepAllocationFailures([&] { return ORLIX_Load(file.path()); },
                                      [&](int loaded, bool refused) {
    if (loaded) {
      ASSERT_NE(nullptr, theFileStruct);
      EXPECT_EQ(MissingLyricsLines(*theFileStruct), refused ? 1 : 0);
      EXPECT_NE(0, ORLIX_GetMeasureCount());
    } else {
      EXPECT_TRUE(refused);
      EXPECT_EQ(nullptr, theFileStruct);
    }
    ORLIX_Unload();
  });
  EXPECT_GT(runs, 40);
}

// The flat export of a loaded song: failed set-up stores nothing, a refused
// final buffer is reported as success with no bytes, and every buffer that
// is produced is a valid MIDI file.
TEST_P(AllocationSweep, OrlixCreateMidiBufferYieldsAValidFileOrNone) {
  TempSongFile file(Song());
  ASSERT_EQ(1, ORLIX_Load(file.path()));
  int chunks = ORLIX_GetTrackCount() + 1;
  struct Export {
    int result;
    unsigned char* buffer;
    int size;
  };
  unsigned char sentinel = 0;
  int noRecord = 0, noBuffer = 0, produced = 0;
  long runs = SweepAllocationFailures(
      [&] {
        Export e = {0, &sentinel, -7};
        e.result = ORLIX_CreateMidiBuffer(&e.buffer, &e.size);
        return e;
      },
      [&](const Export& e, bool) {
        if (e.result == 0) {
          ++noRecord;
          EXPECT_EQ(&sentinel, e.buffer);
          EXPECT_EQ(-7, e.size);
        } else if (e.buffer == nullptr) {
          ++noBuffer;
          EXPECT_EQ(0, e.size);
        } else {
          ++produced;
          EXPECT_EQ("", ValidateMidiFile(e.buffer, static_cast<size_t>(e.size)));
          ORLIX_DestroyMidiBuffer(e.buffer);
        }
      });
  ORLIX_Unload();
  EXPECT_EQ(1, noRecord);  // the chunk array
  // The conversion's scratch, the file buffer, and each end of track that
  // had to grow its chunk (no file is made without it).
  EXPECT_GE(noBuffer, 2);
  EXPECT_LE(noBuffer, 2 + chunks);
  EXPECT_EQ(runs - 1 - noBuffer, produced);
}

// The namespaced path. A refused scratch allocation fails ToMidi before
// anything is appended; a refused append drops that event only, and every
// chunk stays a valid event stream; a refused end of track makes ToMidi
// report 0 and leaves the chunk valid up to it.
TEST_P(AllocationSweep, ToMidiKeepsEveryChunkValid) {
  MemoryStream in(Song());
  FileStruct song;
  ASSERT_EQ(1, LoadFileStruct(&song, in.get()));
  MidiFileStruct midi;
  struct Outcome {
    int ready;
    int converted;
  };
  long untouched = 0;
  long runs = SweepAllocationFailures(
      [&] {
        Outcome o = {InitMidiFileStruct(&midi, song.trackCount + 1, 480), 0};
        if (o.ready) o.converted = ToMidi(&song, &midi, 30);
        return o;
      },
      [&](const Outcome& o, bool) {
        if (!o.ready) {
          EXPECT_EQ(nullptr, midi.tracks);
          return;
        }
        bool closed = true, empty = true;
        for (uint32_t i = 0; i < midi.trackCount; ++i) {
          empty = empty && midi.tracks[i].length == 0;
          if (midi.tracks[i].length == 0) continue;
          std::string problem = ValidateChunk(midi.tracks[i]);
          if (problem == "track without end of track") {
            closed = false;
            ASSERT_EQ(1, AddMetaEventEndOfTrack(&midi.tracks[i]));
            problem = ValidateChunk(midi.tracks[i]);
          }
          EXPECT_EQ("", problem) << "chunk " << i;
        }
        if (empty) {
          ++untouched;
          EXPECT_EQ(0, o.converted);
        } else if (!closed) {
          EXPECT_EQ(0, o.converted);
        }
        Byte* buffer = nullptr;
        uint32_t size = CreateMidiBuffer(&midi, &buffer);
        ASSERT_NE(nullptr, buffer);
        if (!empty) {
          EXPECT_EQ("", ValidateMidiFile(buffer, size));
        }
        DestroyMidiBuffer(buffer);
        FreeMidiFileStruct(&midi);
      });
  for (uint32_t m = 0; m < song.measureCount; ++m) EXPECT_EQ(0, song.measureHeaders[m].repeatPass);
  EXPECT_EQ(1, untouched);  // the scratch, allocated before any event
  FreeFileStruct(&song);
  EXPECT_GT(runs, static_cast<long>(song.trackCount) + 3);
}

// The buffer conversion of a read-only song: every refused allocation
// reports out of memory with no buffer; when the refusal cost nothing (a
// spare room that could not be trimmed) the bytes are the usual ones.
TEST_P(AllocationSweep, ConvertClassicToBufferGivesTheBytesOrOutOfMemory) {
  MemoryStream in(Song());
  FileStruct song;
  ASSERT_EQ(1, LoadFileStruct(&song, in.get()));
  uint8_t* reference = nullptr;
  size_t referenceSize = 0;
  ASSERT_EQ(kConversionDone, ConvertClassicToBuffer(&song, 960, 0, &reference, &referenceSize));
  struct Outcome {
    ConversionStatus status;
    uint8_t* buffer;
    size_t size;
  };
  long outOfMemory = 0;
  long runs = SweepAllocationFailures(
      [&] {
        Outcome o = {kConversionDone, nullptr, 0};
        o.status = ConvertClassicToBuffer(&song, 960, 0, &o.buffer, &o.size);
        return o;
      },
      [&](const Outcome& o, bool) {
        if (o.status == kConversionDone) {
          ASSERT_NE(nullptr, o.buffer);
          EXPECT_EQ(std::vector<uint8_t>(reference, reference + referenceSize),
                    std::vector<uint8_t>(o.buffer, o.buffer + o.size));
        } else {
          ++outOfMemory;
          EXPECT_EQ(kConversionOutOfMemory, o.status);
          EXPECT_EQ(nullptr, o.buffer);
          EXPECT_EQ(0u, o.size);
        }
        DestroyMidiBuffer(o.buffer);
      });
  DestroyMidiBuffer(reference);
  FreeFileStruct(&song);
  // The chunk array, the scratch and the file buffer at least; a refused
  // room is asked for again at the size the event needs.
  EXPECT_GE(outOfMemory, 3);
  EXPECT_GT(runs, outOfMemory);
}

// CreateMidiBuffer after a complete conversion: its one allocation fails
// with a null buffer and size 0, and the record is still intact.
TEST_P(AllocationSweep, RefusedFileBufferLeavesTheRecordIntact) {
  MemoryStream in(Song());
  FileStruct song;
  ASSERT_EQ(1, LoadFileStruct(&song, in.get()));
  MidiFileStruct midi;
  ASSERT_EQ(1, InitMidiFileStruct(&midi, song.trackCount + 1, 480));
  ToMidi(&song, &midi, 30);
  Byte* buffer = reinterpret_cast<Byte*>(&midi);
  FailAllocationNumber(1);
  EXPECT_EQ(0u, CreateMidiBuffer(&midi, &buffer));
  FailAllocationNumber(0);
  EXPECT_EQ(nullptr, buffer);
  uint32_t size = CreateMidiBuffer(&midi, &buffer);
  ASSERT_NE(nullptr, buffer);
  EXPECT_EQ("", ValidateMidiFile(buffer, size));
  DestroyMidiBuffer(buffer);
  FreeMidiFileStruct(&midi);
  FreeFileStruct(&song);
}

// The handle path, from memory and from a stream: a refused allocation
// fails the open as out of memory (nothing left allocated, which the
// sanitizer build checks); a song that opened goes to check(song, refused)
// and is closed.
template <typename CheckOpened>
void SweepOpens(const Bytes& bytes, CheckOpened check) {
  MemoryStream in(bytes);
  for (bool fromStream : {false, true}) {
    long failures = 0;
    long runs = SweepAllocationFailures(
        [&] {
          ORLIX_Error error;
          rewind(in.get());
          ORLIX_Song* song = fromStream ? ORLIX_OpenStream(in.get(), &error)
                                        : ORLIX_OpenMemory(bytes.data.data(), bytes.size(), &error);
          return std::make_pair(song, error);
        },
        [&](const std::pair<ORLIX_Song*, ORLIX_Error>& opened, bool refused) {
          ORLIX_Song* song = opened.first;
          if (!song) {
            ++failures;
            EXPECT_TRUE(refused);
            EXPECT_EQ(ORLIX_ERROR_OUT_OF_MEMORY, opened.second.kind);
            EXPECT_LE(opened.second.offset, static_cast<long long>(bytes.size()));
            return;
          }
          check(song, refused);
          ORLIX_Close(song);
        });
    EXPECT_GT(failures, 1) << (fromStream ? "stream" : "memory");
    EXPECT_LT(runs, 40) << "a handle's records and extras come from a few blocks";
  }
}

// An opened song holds the reference's records, or lacks only a lyrics
// line whose allocation was refused.
void SweepHandleOpens(const Bytes& bytes, const FileStruct& reference) {
  SweepOpens(bytes, [&](ORLIX_Song* song, bool refused) {
    const FileStruct* records = ORLIX_GetSong(song);
    if (refused && MissingLyricsLines(*records) == MissingLyricsLines(reference) + 1) {
      EXPECT_EQ(reference.measureCount, records->measureCount);
    } else {
      EXPECT_TRUE(SameSong(reference, *records));
    }
  });
}

// The version 5 reader on the handle path: an opened song holds the
// records and the extras of an open that nothing refused (a refusal may
// cost only a lyrics line).
TEST(AllocationSweepVersion5, HandleOpensWholeOrFailsAsOutOfMemory) {
  Bytes bytes = EveryRecordTwin("FICHIER GUITAR PRO v5.10").five.bytes();
  ORLIX_Song* reference = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), nullptr);
  ASSERT_NE(nullptr, reference);
  const FileStruct* records = ORLIX_GetSong(reference);
  SweepOpens(bytes, [&](ORLIX_Song* song, bool refused) {
    if (!refused || MissingLyricsLines(*ORLIX_GetSong(song)) == MissingLyricsLines(*records)) {
      EXPECT_TRUE(SameSong(*records, *ORLIX_GetSong(song)));
    }
    for (unsigned m = 0; m < records->measureCount; ++m) {
      EXPECT_EQ(ORLIX_GetMeasureEndings(reference, m), ORLIX_GetMeasureEndings(song, m));
      for (unsigned t = 0; t < records->trackCount; ++t) {
        const TrackMeasure* want = ORLIX_GetSecondVoice(reference, m, t);
        const TrackMeasure* got = ORLIX_GetSecondVoice(song, m, t);
        ASSERT_NE(nullptr, got);
        ASSERT_EQ(want->beatCount, got->beatCount);
        for (uint32_t b = 0; b < got->beatCount; ++b) {
          EXPECT_TRUE(SameBeat(want->beats[b], got->beats[b]));
          for (unsigned slot = 0; slot < 7; ++slot)
            EXPECT_EQ(ORLIX_GetNoteExtras(reference, 2, m, t, b, slot, nullptr),
                      ORLIX_GetNoteExtras(song, 2, m, t, b, slot, nullptr));
        }
      }
    }
  });
  ORLIX_Close(reference);
}

// The handle's conversion: a refused allocation gives no buffer and says
// so, or the buffer is a valid MIDI file.
void SweepHandleConversion(const Bytes& bytes) {
  ORLIX_Song* song = ORLIX_OpenMemory(bytes.data.data(), bytes.size(), nullptr);
  ASSERT_NE(nullptr, song);
  long runs = 0;
  long refusals = orlix_test::SweepHandleConversion(
      song, orlix_test::kClassic,
      [](const unsigned char* buffer, size_t size) { EXPECT_EQ("", ValidateMidiFile(buffer, size)); },
      &runs);
  ORLIX_Close(song);
  EXPECT_GT(refusals, 2);
  EXPECT_GT(runs, refusals);
}

TEST_P(AllocationSweep, HandleOpensWholeOrFailsAsOutOfMemory) {
  Bytes bytes = Song();
  MemoryStream in(bytes);
  FileStruct reference;
  ASSERT_EQ(1, LoadFileStruct(&reference, in.get()));
  SweepHandleOpens(bytes, reference);
  FreeFileStruct(&reference);
}

TEST_P(AllocationSweep, HandleConversionYieldsAValidFileOrOutOfMemory) { SweepHandleConversion(Song()); }

// Version 3 songs open only as handles. Read with one allocation per
// record, as the classic entry points read, every refused allocation fails
// the read as out of memory (a version 3 song has no lyrics, the one place
// where a refusal may cost less) and leaves nothing behind; the handle
// sweeps above hold for it as well.
TEST(Version3AllocationSweep, EveryRefusalFailsTheReadWithNothingLeft) {
  Bytes bytes = EveryRecordVersion3Song().bytes();
  FileStruct reference;
  ReadError error;
  ASSERT_EQ(1, ReadSongOnePerRecord(bytes.data.data(), bytes.size(), &reference, &error)) << error.message;
  struct Read {
    int read;
    FileStruct song;
    ReadError error;
  };
  long runs = SweepAllocationFailures(
      [&] {
        Read r;
        r.read = ReadSongOnePerRecord(bytes.data.data(), bytes.size(), &r.song, &r.error);
        return r;
      },
      [&](Read& r, bool refused) {
        EXPECT_EQ(refused, r.read == 0);
        if (!r.read) {
          EXPECT_EQ(kReadOutOfMemory, r.error.kind);
          EXPECT_TRUE(HoldsNoPointer(r.song));
          return;
        }
        EXPECT_TRUE(SameSong(reference, r.song));
        FreeFileStruct(&r.song);
      });
  // Every record of the song is an allocation of its own.
  EXPECT_GT(runs, 90);
  SweepHandleOpens(bytes, reference);
  SweepHandleConversion(bytes);
  FreeFileStruct(&reference);
}

// A lyrics line longer than what is left of the file, whose allocation is
// refused: the skip runs into the end and the load fails with nothing kept.
TEST(AllocationSweepCut, RefusedLyricsLineInACutFile) {
  SongHead head;
  Bytes cut = head.untilLyrics().i32(1).i32(1).u32(1000).text("only ten..");
  MemoryStream in(cut);
  long runs = SweepAllocationFailures([&] {
    FileStruct song;
    EXPECT_EQ(0, LoadFileStruct(&song, in.get()));
    EXPECT_TRUE(HoldsNoPointer(song));
  });
  EXPECT_GT(runs, 9);  // version and eight information texts, then the line
  FreeFileStruct(nullptr);  // releasing nothing is harmless
}

INSTANTIATE_TEST_SUITE_P(Songs, AllocationSweep, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<size_t>& song) {
                           return song.param == 0 ? std::string("EveryRecord")
                                                  : std::string("NewChordV400");
                         });

}  // namespace
