// Strict reader of a Standard MIDI File as the library writes it: returns an
// empty string when the bytes are a valid format-1 file, else what is wrong.
#ifndef ORLIX_TESTS_MIDI_VALIDATOR_H
#define ORLIX_TESTS_MIDI_VALIDATOR_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace orlix_test {

struct MidiSummary {
  unsigned trackCount = 0;
  unsigned division = 0;
  unsigned long noteOns = 0;
  unsigned long events = 0;
};

inline uint32_t ValidatorBigEndian(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}

inline std::string ValidateMidiFile(const uint8_t* data, size_t size, MidiSummary* summary = nullptr) {
  MidiSummary local;
  MidiSummary& s = summary ? *summary : local;
  if (size < 14) return "shorter than a header chunk";
  if (ValidatorBigEndian(data, 4) != 0x4D546864u) return "no MThd";
  if (ValidatorBigEndian(data + 4, 4) != 6) return "header length is not 6";
  if (ValidatorBigEndian(data + 8, 2) != 1) return "format is not 1";
  s.trackCount = ValidatorBigEndian(data + 10, 2);
  s.division = ValidatorBigEndian(data + 12, 2);
  size_t at = 14;
  for (unsigned t = 0; t < s.trackCount; ++t) {
    if (size - at < 8) return "track chunk header cut short";
    if (ValidatorBigEndian(data + at, 4) != 0x4D54726Bu) return "no MTrk";
    uint32_t length = ValidatorBigEndian(data + at + 4, 4);
    at += 8;
    if (size - at < length) return "track chunk longer than the file";
    const uint8_t* p = data + at;
    const uint8_t* end = p + length;
    uint8_t running = 0;
    bool ended = false;
    while (p < end) {
      if (ended) return "events after end of track";
      int vlqBytes = 0;
      for (;;) {
        if (p == end) return "delta time cut short";
        uint8_t b = *p++;
        if (++vlqBytes > 4) return "delta time longer than four bytes";
        if (!(b & 0x80)) break;
      }
      if (p == end) return "event missing after delta time";
      uint8_t status = *p;
      if (status & 0x80) {
        ++p;
      } else {
        if (running == 0) return "data byte without running status";
        status = running;
      }
      ++s.events;
      if (status == 0xFF) {
        if (end - p < 1) return "meta event cut short";
        uint8_t type = *p++;
        if (type & 0x80) return "meta type >= 0x80";
        uint32_t textLength = 0;
        int lengthBytes = 0;
        for (;;) {
          if (p == end) return "meta length cut short";
          uint8_t b = *p++;
          if (++lengthBytes > 4) return "meta length longer than four bytes";
          textLength = textLength << 7 | (b & 0x7F);
          if (!(b & 0x80)) break;
        }
        if (static_cast<size_t>(end - p) < textLength) return "meta data beyond the chunk";
        if (type == 0x2F) {
          if (textLength != 0) return "end of track with data";
          ended = true;
        }
        if (type == 0x51 && textLength != 3) return "set tempo not 3 bytes";
        if (type == 0x58 && textLength != 4) return "time signature not 4 bytes";
        p += textLength;
        running = 0;
        continue;
      }
      uint8_t kind = status & 0xF0;
      if (kind == 0xF0) return "system event";
      int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
      if (end - p < dataBytes) return "channel event cut short";
      for (int i = 0; i < dataBytes; ++i)
        if (p[i] & 0x80) return "data byte >= 0x80";
      if (kind == 0x90 && p[1] != 0) ++s.noteOns;
      p += dataBytes;
      running = status;
    }
    if (!ended) return "track without end of track";
    at += length;
  }
  if (at != size) return "bytes after the last track chunk";
  return "";
}

}  // namespace orlix_test

#endif
