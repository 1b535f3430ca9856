// Test-side builder for song files: appends little-endian integers and the
// format's three kinds of text, so each fixture shows the bytes it feeds in.
#ifndef ORLIX_TESTS_BYTE_BUILDER_H
#define ORLIX_TESTS_BYTE_BUILDER_H

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace orlix_test {

struct Bytes {
  std::vector<uint8_t> data;

  Bytes& u8(unsigned value) {
    data.push_back(static_cast<uint8_t>(value));
    return *this;
  }
  Bytes& i8(int value) { return u8(static_cast<uint8_t>(value)); }
  Bytes& u32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) u8((value >> shift) & 0xFF);
    return *this;
  }
  Bytes& i32(int32_t value) { return u32(static_cast<uint32_t>(value)); }
  Bytes& raw(std::initializer_list<uint8_t> bytes) {
    data.insert(data.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Bytes& text(const std::string& characters) {  // the characters alone
    data.insert(data.end(), characters.begin(), characters.end());
    return *this;
  }
  Bytes& zeros(size_t count) {
    data.insert(data.end(), count, 0);
    return *this;
  }
  // Length byte, then the characters.
  Bytes& byteString(const std::string& s) { return u8(s.size()).text(s); }
  // int32 (n + 1, ignored by the reader), length byte, characters.
  Bytes& intByteString(const std::string& s) { return i32(s.size() + 1).byteString(s); }
  // uint32 length, characters (lyrics lines).
  Bytes& intString(const std::string& s) { return u32(s.size()).text(s); }
  Bytes& append(const Bytes& other) {
    data.insert(data.end(), other.data.begin(), other.data.end());
    return *this;
  }
  size_t size() const { return data.size(); }
  Bytes prefix(size_t length) const {
    Bytes cut;
    cut.data.assign(data.begin(), data.begin() + length);
    return cut;
  }
};

// A read-only stdio stream over a copy of the bytes (fmemopen, or an empty
// temporary file for zero bytes). Closed on destruction.
class MemoryStream {
 public:
  explicit MemoryStream(const Bytes& bytes) : copy_(bytes.data) {
    if (copy_.empty()) {
      stream_ = tmpfile();
    } else {
      stream_ = fmemopen(copy_.data(), copy_.size(), "rb");
    }
  }
  MemoryStream(const uint8_t* bytes, size_t length) : MemoryStream(Wrap(bytes, length)) {}
  ~MemoryStream() {
    if (stream_) fclose(stream_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  FILE* get() const { return stream_; }
  long position() const { return ftell(stream_); }

 private:
  static Bytes Wrap(const uint8_t* bytes, size_t length) {
    Bytes b;
    b.data.assign(bytes, bytes + length);
    return b;
  }
  std::vector<uint8_t> copy_;
  FILE* stream_ = nullptr;
};

// ----------------------------------------------------------- song pieces

struct ChannelEntry {
  int32_t instrument = 25;
  uint8_t volume = 13, balance = 8, chorus = 0, reverb = 0, phaser = 0, tremolo = 0;
};

// What every version's file starts with: the length byte and 30-byte field
// of the version text, the song's information texts, the notice lines.
template <size_t N>
inline Bytes VersionAndTexts(const std::string& version, unsigned lengthByte, const std::string (&info)[N],
                             const std::vector<std::string>& notice) {
  Bytes b;
  b.u8(lengthByte);
  std::string field = version;
  field.resize(30, '\0');
  b.text(field);
  for (const std::string& text : info) b.intByteString(text);
  b.u32(notice.size());
  for (const std::string& line : notice) b.intByteString(line);
  return b;
}

// Everything of a song file up to and including the song block: 785 bytes
// in version 4; 784 in version 3, which has no lyrics before the block.
struct SongHead {
  std::string version = "FICHIER GUITAR PRO v4.06";
  int versionLengthByte = -1;  // -1: the text's own length
  int format = 4;              // 3: the version 3 layout (see Version3Head)
  std::string info[8] = {"Title", "Subtitle", "Artist", "Album", "Author", "Copyright", "Tabber", "Instructions"};
  std::vector<std::string> notice;
  uint8_t tripletFeel = 0;
  int32_t lyricsTrack = 1;
  std::string lyrics[5];
  int32_t tempo = 120;
  uint8_t key = 0;
  int32_t octave = 0;
  int32_t version3Key = 0;  // version 3: the key as an int32, no octave
  ChannelEntry channels[4][16];
  uint32_t measureCount = 0;
  uint32_t trackCount = 0;

  Bytes bytes() const {
    Bytes b = untilLyrics();
    if (format != 3) {
      b.i32(lyricsTrack);
      for (int i = 0; i < 5; ++i) b.i32(i + 1).intString(lyrics[i]);
    }
    b.append(songBlock());
    return b;
  }

  // Version, information, notice and triplet feel: what precedes the lyrics.
  Bytes untilLyrics() const {
    unsigned lengthByte = static_cast<unsigned>(versionLengthByte < 0 ? version.size() : versionLengthByte);
    Bytes b = VersionAndTexts(version, lengthByte, info, notice);
    b.u8(tripletFeel);
    return b;
  }

  Bytes songBlock() const {
    Bytes b;
    b.i32(tempo);
    if (format == 3) {
      b.i32(version3Key);
    } else {
      b.u8(key).i32(octave);
    }
    for (const auto& port : channels)
      for (const ChannelEntry& c : port)
        b.i32(c.instrument).u8(c.volume).u8(c.balance).u8(c.chorus).u8(c.reverb).u8(c.phaser).u8(c.tremolo).u8(0).u8(0);
    b.u32(measureCount).u32(trackCount);
    return b;
  }
};

// The head of a version 3 song: no lyrics, and a 784-byte song block whose
// key is version3Key.
inline SongHead Version3Head() {
  SongHead head;
  head.version = "FICHIER GUITAR PRO v3.00";
  head.format = 3;
  return head;
}

// One track record, 98 bytes (more when the name is longer than 40).
struct TrackRecord {
  uint8_t flags = 0;
  std::string name = "Guitar";
  int nameLengthByte = -1;  // -1: the name's own length
  int32_t stringCount = 6;
  int32_t tuning[7] = {64, 59, 55, 50, 45, 40, 0};
  int32_t port = 1, channel = 1, effectsChannel = 2;
  int32_t frets = 24, capo = 0;
  uint8_t color[4] = {255, 0, 0, 0};

  Bytes bytes() const {
    Bytes b;
    b.u8(flags);
    b.u8(nameLengthByte < 0 ? name.size() : static_cast<unsigned>(nameLengthByte));
    std::string field = name;
    field.resize(40, '\0');
    b.text(field);
    b.i32(stringCount);
    for (int32_t t : tuning) b.i32(t);
    b.i32(port).i32(channel).i32(effectsChannel).i32(frets).i32(capo);
    b.raw({color[0], color[1], color[2], color[3]});
    return b;
  }
};

}  // namespace orlix_test

#endif
