// Songs opened from a regular file or standard input; names and failures
// made fit to print.
#include "song_input.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

int ReadToEnd(int fd, std::vector<unsigned char>* bytes, std::string* message) {
  bytes->clear();
  bytes->resize(1);
  size_t used = 0;
  for (;;) {
    if (used == bytes->size()) bytes->resize(bytes->size() < 65536 ? 65536 : 2 * bytes->size());
    ssize_t count = read(fd, bytes->data() + used, bytes->size() - used);
    if (count < 0) {
      if (errno == EINTR) continue;
      *message = std::string("read error: ") + strerror(errno);
      return 0;
    }
    if (count == 0) break;
    used += static_cast<size_t>(count);
  }
  bytes->resize(used);
  return 1;
}

// The length of the UTF-8 sequence at text[i] when it is valid and not a
// control character, else 0.
size_t PrintableSequence(const std::string& text, size_t i) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  if (lead >= 0x20 && lead < 0x7F) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  uint32_t codePoint = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < kSmallest[length] || codePoint > 0x10FFFF) return 0;
  if (codePoint < 0xA0 || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

ORLIX_Song* OpenSongInput(const std::string& path, std::string* message) {
  ORLIX_Error error;
  ORLIX_Song* song;
  if (path == "-") {
    // Standard input may be a pipe: read it whole, then open it from memory.
    std::vector<unsigned char> bytes;
    if (!ReadToEnd(STDIN_FILENO, &bytes, message)) return nullptr;
    static const unsigned char kNothing = 0;  // memory for an empty input
    song = ORLIX_OpenMemory(bytes.empty() ? &kNothing : bytes.data(), bytes.size(), &error);
  } else {
    // The library refuses at once what is not a regular file (a FIFO would
    // otherwise wait for a writer).
    song = ORLIX_OpenFile(path.c_str(), &error);
  }
  if (!song) *message = error.message;
  return song;
}

std::string ShownName(const std::string& name) {
  std::string shown;
  for (size_t i = 0; i < name.size();) {
    size_t length = PrintableSequence(name, i);
    if (length) {
      shown.append(name, i, length);
      i += length;
    } else {
      char escape[5];
      snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(name[i]));
      shown.append(escape);
      ++i;
    }
  }
  return shown;
}

std::string InputName(const std::string& path) {
  return path == "-" ? "standard input" : ShownName(path);
}
