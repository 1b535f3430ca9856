// Test-side decoder for Standard MIDI File bytes: turns a track chunk's
// events into rows "time kind values..." so expectations read as tables,
// and checks that every event is complete and every channel data byte is
// below 0x80.
#ifndef ORLIX_TESTS_MIDI_DECODER_H
#define ORLIX_TESTS_MIDI_DECODER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orlix_test {

struct DecodedChunk {
  std::vector<std::string> rows;
  bool wellFormed = true;  // complete events, valid data bytes, one final end of track
};

// Rows: "T on C K V", "T off C K V", "T program C P", "T control C N V",
// "T tempo U", "T timesig N P C Q", "T marker TEXT", "T name TEXT", "T end";
// T is the absolute tick, C the 0-based channel.
inline DecodedChunk DecodeEvents(const uint8_t* data, size_t length) {
  DecodedChunk out;
  size_t at = 0;
  uint64_t time = 0;
  uint8_t running = 0;
  bool ended = false;
  auto fail = [&out]() {
    out.wellFormed = false;
    return out;
  };
  auto readVlq = [&](uint64_t* value) {
    *value = 0;
    for (int i = 0; i < 4; ++i) {
      if (at >= length) return false;
      uint8_t byte = data[at++];
      *value = (*value << 7) | (byte & 0x7F);
      if ((byte & 0x80) == 0) return true;
    }
    return false;
  };
  while (at < length) {
    if (ended) return fail();  // bytes after the end of track
    uint64_t delta = 0;
    if (!readVlq(&delta) || at >= length) return fail();
    time += delta;
    std::string row = std::to_string(time) + " ";
    uint8_t status = data[at];
    if (status == 0xFF) {
      ++at;
      if (at >= length) return fail();
      uint8_t type = data[at++];
      uint64_t size = 0;
      if (!readVlq(&size) || size > length - at) return fail();
      const uint8_t* body = data + at;
      at += size;
      running = 0xFF;
      if (type == 0x51 && size == 3) {
        row += "tempo " + std::to_string((body[0] << 16) | (body[1] << 8) | body[2]);
      } else if (type == 0x58 && size == 4) {
        row += "timesig " + std::to_string(body[0]) + " " + std::to_string(body[1]) + " " +
               std::to_string(body[2]) + " " + std::to_string(body[3]);
      } else if (type == 0x06 || type == 0x03) {
        row += (type == 0x06 ? "marker " : "name ") + std::string(body, body + size);
      } else if (type == 0x2F && size == 0) {
        row += "end";
        ended = true;
      } else {
        return fail();
      }
      out.rows.push_back(row);
      continue;
    }
    if (status & 0x80) {
      ++at;
      running = status;
    } else if ((running & 0xE0) != 0x80) {
      return fail();  // only note events may run on the previous status
    }
    uint8_t kind = running & 0xF0;
    size_t count = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
    if (running == 0xFF || kind < 0x80 || count > length - at) return fail();
    for (size_t i = 0; i < count; ++i) {
      if (data[at + i] & 0x80) return fail();
    }
    std::string channel = std::to_string(running & 0x0F);
    std::string a = std::to_string(data[at]);
    std::string b = count == 2 ? std::to_string(data[at + 1]) : "";
    at += count;
    switch (kind) {
      case 0x90: row += "on " + channel + " " + a + " " + b; break;
      case 0x80: row += "off " + channel + " " + a + " " + b; break;
      case 0xC0: row += "program " + channel + " " + a; break;
      case 0xB0: row += "control " + channel + " " + a + " " + b; break;
      default: return fail();
    }
    out.rows.push_back(row);
  }
  if (!ended) out.wellFormed = false;
  return out;
}

// The rows whose kind (second word) is one of the given kinds.
inline std::vector<std::string> RowsOfKind(const std::vector<std::string>& rows,
                                           const std::vector<std::string>& kinds) {
  std::vector<std::string> kept;
  for (const std::string& row : rows) {
    size_t space = row.find(' ');
    size_t end = row.find(' ', space + 1);
    std::string kind = row.substr(space + 1, end == std::string::npos ? std::string::npos
                                                                      : end - space - 1);
    for (const std::string& wanted : kinds) {
      if (kind == wanted) kept.push_back(row);
    }
  }
  return kept;
}

struct DecodedFile {
  bool wellFormed = false;
  unsigned format = 0;
  unsigned chunkCount = 0;
  unsigned division = 0;
  std::vector<DecodedChunk> chunks;
};

inline uint32_t BigEndian(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
  return value;
}

// A whole file: the header, then exactly the announced number of chunks.
inline DecodedFile DecodeFile(const uint8_t* bytes, size_t size) {
  DecodedFile out;
  if (size < 14 || std::string(bytes, bytes + 4) != "MThd" || BigEndian(bytes + 4, 4) != 6) {
    return out;
  }
  out.format = BigEndian(bytes + 8, 2);
  out.chunkCount = BigEndian(bytes + 10, 2);
  out.division = BigEndian(bytes + 12, 2);
  size_t at = 14;
  for (unsigned i = 0; i < out.chunkCount; ++i) {
    if (size - at < 8 || std::string(bytes + at, bytes + at + 4) != "MTrk") return out;
    uint32_t length = BigEndian(bytes + at + 4, 4);
    if (size - at - 8 < length) return out;
    out.chunks.push_back(DecodeEvents(bytes + at + 8, length));
    at += 8 + length;
  }
  out.wellFormed = at == size;
  return out;
}

}  // namespace orlix_test

#endif
