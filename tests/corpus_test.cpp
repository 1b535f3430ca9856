// Real song files from other projects' test suites (read in place, never
// copied here): every version 4 song loads whole, every version 3 file is
// refused, and every cut of a version 4 song fails cleanly.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "support/song_checks.h"

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
    for (uint32_t m = 0; m < song.measureCount; ++m) ASSERT_NE(nullptr, song.measures[m]) << path;
    FreeFileStruct(&song);
    EXPECT_TRUE(HoldsNoPointer(song)) << path;
  }
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

bool SameCurve(const BendCurve* a, const BendCurve* b) {
  if (!a || !b) return !a && !b;
  return a->type == b->type && a->value == b->value && a->pointCount == b->pointCount &&
         std::memcmp(a->points, b->points, a->pointCount * sizeof(BendPoint)) == 0;
}

bool SameBeat(const Beat& a, const Beat& b) {
  if (a.flags != b.flags || a.status != b.status || a.duration != b.duration || a.tuplet != b.tuplet ||
      a.strings != b.strings)
    return false;
  if (!a.chord != !b.chord || !a.text != !b.text || !a.effects != !b.effects || !a.mixTable != !b.mixTable)
    return false;
  if (a.chord && (std::memcmp(a.chord, b.chord, offsetof(ChordDiagram, name)) != 0 ||
                  std::strcmp(a.chord->name, b.chord->name) != 0 ||
                  std::memcmp(&a.chord->reserved2, &b.chord->reserved2,
                              sizeof(ChordDiagram) - offsetof(ChordDiagram, reserved2)) != 0))
    return false;
  if (a.text && std::strcmp(a.text, b.text) != 0) return false;
  if (a.effects && (a.effects->flags1 != b.effects->flags1 || a.effects->flags2 != b.effects->flags2 ||
                    a.effects->tapSlapPop != b.effects->tapSlapPop ||
                    std::memcmp(a.effects->stroke, b.effects->stroke, 2) != 0 ||
                    a.effects->pickStroke != b.effects->pickStroke ||
                    !SameCurve(a.effects->tremoloBar, b.effects->tremoloBar)))
    return false;
  if (a.mixTable && std::memcmp(a.mixTable, b.mixTable, sizeof(MixTableChange)) != 0) return false;
  for (int s = 0; s < 7; ++s) {
    const Note& x = a.notes[s];
    const Note& y = b.notes[s];
    if (std::memcmp(&x, &y, offsetof(Note, effects)) != 0 || !x.effects != !y.effects) return false;
    if (!x.effects) continue;
    const NoteEffects& e = *x.effects;
    const NoteEffects& f = *y.effects;
    if (e.flags1 != f.flags1 || e.flags2 != f.flags2 || std::memcmp(e.grace, f.grace, 4) != 0 ||
        e.tremoloPicking != f.tremoloPicking || e.slide != f.slide || e.harmonic != f.harmonic ||
        std::memcmp(e.trill, f.trill, 2) != 0 || !SameCurve(e.bend, f.bend))
      return false;
  }
  return true;
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

// Every prefix of every song fails with nothing left allocated (the asan
// build's LeakSanitizer checks the "nothing leaked" half).
TEST(Corpus, EveryCutOfEveryVersion4SongFailsCleanly) {
  std::vector<std::string> songs = CorpusFiles("gp4", ".gp4");
  if (songs.empty()) GTEST_SKIP() << "no corpus at " << ORLIX_CORPUS_DIR;
  for (const std::string& path : songs) {
    Bytes bytes = ReadWhole(path);
    long end = LoadedLength(bytes);
    ASSERT_GT(end, 0) << path;
    for (size_t length = 0; length < static_cast<size_t>(end); ++length) {
      FILE* stream = length ? fmemopen(bytes.data.data(), length, "rb") : tmpfile();
      ASSERT_NE(nullptr, stream);
      FileStruct song;
      int loaded = LoadFileStruct(&song, stream);
      fclose(stream);
      ASSERT_EQ(0, loaded) << path << " cut at " << length;
      ASSERT_TRUE(HoldsNoPointer(song)) << path << " cut at " << length;
    }
  }
}

}  // namespace
