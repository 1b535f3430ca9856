// The song description: what it refuses, and every failed allocation on
// its way (the conversion it runs to count notes included) fails it cleanly
// with nothing left behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orlix/orlix.h"
#include "support/failing_alloc.h"
#include "support/song5_file.h"
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

// The JSON without the layout's whitespace, so fragments can be sought.
std::string Compact(const std::string& json) {
  std::string out;
  bool inText = false;
  for (size_t i = 0; i < json.size(); ++i) {
    char c = json[i];
    if (!inText && (c == ' ' || c == '\n')) continue;
    out.push_back(c);
    if (inText && c == '\\' && i + 1 < json.size()) {
      out.push_back(json[++i]);
    } else if (c == '"') {
      inText = !inText;
    }
  }
  return out;
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

// What the handle keeps beside the records, in the description: a
// version 5 song's directions, triplet feels, ending masks, banks and
// second voices; a version 4 song's ending numbers as the sets they stand
// for, its song-wide feel in every measure and no second voice.
TEST(DescribeSong, ShowsTheExtrasOfEveryFormat) {
  SongFile four;
  MeasureHeaderRecord third = Signature(4, 4);
  third.flags |= 0x10;
  third.altEnding = 3;
  MeasureHeaderRecord fourth;
  fourth.flags = 0x10;
  fourth.altEnding = 4;
  four.measures = {third, fourth};
  four.tracks = {TrackRecord()};
  const struct {
    const char* name;
    Bytes bytes;
    std::vector<std::string> fragments;
  } cases[] = {
      {"version 5",
       EveryRecordTwin("FICHIER GUITAR PRO v5.10").five.bytes(),
       {"\"tripletFeels\":[{\"measure\":1,\"tripletFeel\":\"eighths\"},"
        "{\"measure\":2,\"tripletFeel\":\"none\"},{\"measure\":4,\"tripletFeel\":\"sixteenths\"}],"
        "\"endings\":[{\"measure\":3,\"endings\":[1,3]}],"
        "\"directions\":[{\"name\":\"coda\",\"measure\":3},{\"name\":\"fine\",\"measure\":4},"
        "{\"name\":\"da capo al fine\",\"measure\":2}],",
        "\"bank\":0,\"notes\":", "\"bank\":5,\"notes\":", "\"secondVoiceNotes\":1}"}},
      {"version 4",
       four.bytes(),
       {"\"tripletFeels\":[{\"measure\":1,\"tripletFeel\":\"none\"}],"
        "\"endings\":[{\"measure\":1,\"endings\":[1,2,3]},{\"measure\":2,\"endings\":[4]}],"
        "\"directions\":[],",
        "\"bank\":0,\"notes\":", "\"secondVoiceNotes\":0}"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ORLIX_Song* song = ORLIX_OpenMemory(c.bytes.data.data(), c.bytes.size(), nullptr);
    ASSERT_NE(song, nullptr);
    Described result = Describe(song, nullptr, nullptr);
    ASSERT_EQ(result.ok, 1);
    std::string json = Compact(result.text);
    for (const std::string& fragment : c.fragments) {
      EXPECT_NE(json.find(fragment), std::string::npos) << fragment << "\n" << json;
    }
    ORLIX_Close(song);
  }
}

}  // namespace
