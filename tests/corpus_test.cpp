// Real song files from other projects' test suites (read in place, never
// copied here): every version 4 song loads whole, every version 3 file is
// refused, and every cut of a version 4 song fails cleanly.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
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
