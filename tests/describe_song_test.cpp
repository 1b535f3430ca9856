// The song description: what it refuses, and every failed allocation on
// its way (the conversion it runs to count notes included) fails it cleanly
// with nothing left behind.
#include <gtest/gtest.h>

#include <string>

#include "orlix/orlix.h"
#include "support/failing_alloc.h"
#include "support/song_file.h"

using namespace orlix_test;

namespace {

struct Described {
  int ok;
  std::string text;
  ORLIX_Error error;
};

Described Describe(const ORLIX_Song* song, const ORLIX_MidiOptions* options,
                   const char* encoding) {
  Described result;
  char* text = reinterpret_cast<char*>(1);
  size_t size = 1;
  result.ok = ORLIX_DescribeSong(song, options, encoding, &text, &size, &result.error);
  if (text) result.text.assign(text, size);
  ORLIX_DestroyDescription(text);
  if (!result.ok) {
    EXPECT_EQ(size, 0u);
  }
  return result;
}

ORLIX_Song* OpenEveryRecordSong() {
  Bytes bytes = EveryRecordSong().bytes();
  return ORLIX_OpenMemory(bytes.data.data(), bytes.size(), nullptr);
}

TEST(DescribeSong, RefusesWhatItCannotUse) {
  ORLIX_Song* song = OpenEveryRecordSong();
  ASSERT_NE(song, nullptr);
  ORLIX_MidiOptions badTicks = {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 100, 0};
  ORLIX_MidiOptions tiny = {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 0, 10};
  const struct {
    const ORLIX_Song* song;
    const ORLIX_MidiOptions* options;
    const char* encoding;
    int kind;
    const char* message;
  } cases[] = {
      {nullptr, nullptr, nullptr, ORLIX_ERROR_ARGUMENT, ""},
      {song, nullptr, "NO-SUCH-CHARSET\x1b", ORLIX_ERROR_ARGUMENT,
       "unknown text encoding \"NO-SUCH-CHARSET\\x1B\""},
      {song, &badTicks, nullptr, ORLIX_ERROR_ARGUMENT, ""},
      {song, &tiny, nullptr, ORLIX_ERROR_TOO_LARGE, " 10 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Described result = Describe(c.song, c.options, c.encoding);
    EXPECT_EQ(result.ok, 0);
    EXPECT_EQ(result.text, "");
    EXPECT_EQ(result.error.kind, c.kind);
    EXPECT_EQ(result.error.offset, -1);
    EXPECT_NE(std::string(result.error.message).find(c.message), std::string::npos)
        << result.error.message;
  }
  char* text = nullptr;
  EXPECT_EQ(ORLIX_DescribeSong(song, nullptr, nullptr, &text, nullptr, nullptr), 0);
  EXPECT_EQ(ORLIX_DescribeSong(song, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  ORLIX_Close(song);
}

TEST(DescribeSong, EveryFailedAllocationFailsCleanly) {
  ORLIX_Song* song = OpenEveryRecordSong();
  ASSERT_NE(song, nullptr);
  Described reference = Describe(song, nullptr, "CP1251");
  ASSERT_EQ(reference.ok, 1);
  EXPECT_EQ(reference.error.kind, ORLIX_ERROR_NONE);
  long runs = SweepAllocationFailures([&] { return Describe(song, nullptr, "CP1251"); },
                                      [&](const Described& result, bool refused) {
                                        if (result.ok) {
                                          EXPECT_EQ(result.text, reference.text);
                                        } else {
                                          EXPECT_TRUE(refused);
                                          EXPECT_EQ(result.error.kind, ORLIX_ERROR_OUT_OF_MEMORY);
                                        }
                                      });
  EXPECT_GT(runs, 2);
  ORLIX_Close(song);
}

}  // namespace
