// Test-side reading of a performed MIDI file as music: each chunk's notes
// paired into (start, length, pitch, velocity, channel) rows, its wheel
// changes and other events as rows, and what does not pair up.
#ifndef ORLIX_TESTS_PERFORMED_NOTES_H
#define ORLIX_TESTS_PERFORMED_NOTES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace orlix_test {

struct PerformedChunk {
  std::vector<std::string> notes;   // "start length pitch velocity channel", by start then pitch
  std::vector<std::string> wheel;   // "tick channel value"
  std::vector<std::string> others;  // "tick control C N V", "tick program C P", "tick tempo U", ...
  uint64_t end = 0;                 // tick of the end of track
  int unpairedOffs = 0;             // note-offs with no note sounding
  int unfinished = 0;               // notes still sounding at the end of track
};

struct PerformedFile {
  std::string problem;  // empty when every chunk reads
  std::vector<PerformedChunk> chunks;
};

inline uint32_t PerformedBigEndian(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}

inline PerformedFile ReadPerformance(const uint8_t* data, size_t size) {
  PerformedFile out;
  if (size < 14 || std::string(data, data + 4) != "MThd") {
    out.problem = "no header";
    return out;
  }
  unsigned count = PerformedBigEndian(data + 10, 2);
  size_t at = 14;
  for (unsigned c = 0; c < count; ++c) {
    if (size - at < 8) {
      out.problem = "chunk cut short";
      return out;
    }
    uint32_t length = PerformedBigEndian(data + at + 4, 4);
    const uint8_t* p = data + at + 8;
    const uint8_t* end = p + length;
    at += 8 + length;
    PerformedChunk chunk;
    struct Struck {
      uint64_t start;
      int velocity;
    };
    std::map<int, std::deque<Struck>> sounding;  // channel x 128 + key
    std::vector<std::pair<std::pair<uint64_t, int>, std::string>> notes;
    uint64_t tick = 0;
    uint8_t running = 0;
    while (p < end) {
      uint32_t delta = 0;
      do delta = delta << 7 | (*p & 0x7F);
      while (*p++ & 0x80);
      tick += delta;
      uint8_t status = *p;
      if (status & 0x80) ++p; else status = running;
      if (status == 0xFF) {
        uint8_t type = *p++;
        uint32_t textLength = 0;  // a variable-length quantity, as the delta
        do textLength = textLength << 7 | (*p & 0x7F);
        while (*p++ & 0x80);
        const uint8_t* body = p;
        p += textLength;
        running = 0;
        if (type == 0x2F) {
          chunk.end = tick;
        } else if (type == 0x51) {
          chunk.others.push_back(std::to_string(tick) + " tempo " +
                                 std::to_string(PerformedBigEndian(body, 3)));
        } else if (type == 0x58) {
          chunk.others.push_back(std::to_string(tick) + " timesig " + std::to_string(body[0]) + " " +
                                 std::to_string(body[1]));
        } else if (type == 0x06) {
          chunk.others.push_back(std::to_string(tick) + " marker " +
                                 std::string(body, body + textLength));
        }
        continue;
      }
      running = status;
      int kind = status & 0xF0, channel = status & 0x0F;
      std::string prefix = std::to_string(tick) + " ";
      if (kind == 0xC0) {
        chunk.others.push_back(prefix + "program " + std::to_string(channel) + " " + std::to_string(p[0]));
        p += 1;
        continue;
      }
      int a = p[0], b = p[1];
      p += 2;
      if (kind == 0xE0) {
        chunk.wheel.push_back(prefix + std::to_string(channel) + " " + std::to_string(a | b << 7));
      } else if (kind == 0xB0) {
        chunk.others.push_back(prefix + "control " + std::to_string(channel) + " " +
                               std::to_string(a) + " " + std::to_string(b));
      } else if (kind == 0x90 && b > 0) {
        sounding[channel * 128 + a].push_back({tick, b});
      } else if (kind == 0x80 || kind == 0x90) {
        auto& queue = sounding[channel * 128 + a];
        if (queue.empty()) {
          ++chunk.unpairedOffs;
          continue;
        }
        Struck struck = queue.front();
        queue.pop_front();
        notes.push_back({{struck.start, a},
                         std::to_string(struck.start) + " " + std::to_string(tick - struck.start) + " " +
                             std::to_string(a) + " " + std::to_string(struck.velocity) + " " +
                             std::to_string(channel)});
      }
    }
    for (const auto& entry : sounding) chunk.unfinished += static_cast<int>(entry.second.size());
    std::stable_sort(notes.begin(), notes.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    for (const auto& note : notes) chunk.notes.push_back(note.second);
    out.chunks.push_back(chunk);
  }
  return out;
}

}  // namespace orlix_test

#endif
