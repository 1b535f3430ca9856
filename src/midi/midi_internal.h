// Encoding helpers shared by the files of the MIDI builder: the Standard MIDI
// File's variable-length quantity, big-endian integers and the stream writer
// of 16-bit fields. None of these is exported.
#ifndef ORLIX_MIDI_INTERNAL_H
#define ORLIX_MIDI_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "orlix/tolvenar.h"

namespace Tolvenar {

// The largest value four variable-length bytes hold.
constexpr uint32_t kMaxVariableLength = 0x0FFFFFFF;
// Bytes in front of the chunks ("MThd", length, format, count, division) and
// in front of each chunk's data ("MTrk", length).
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kChunkHeaderBytes = 8;

// Bytes the value takes as a variable-length quantity (1..4), or 0 when it
// exceeds kMaxVariableLength and cannot be written.
uint32_t VariableLengthSize(uint32_t value);
// Writes a value of at most kMaxVariableLength; returns the bytes written.
uint32_t WriteVariableLength(uint8_t* out, uint32_t value);

// Shifts rather than copies of native integers, so the bytes are the same on
// every host.
inline void WriteU16BE(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value >> 8);
  out[1] = static_cast<uint8_t>(value);
}

inline void WriteU32BE(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}

// Appends a text meta event (type byte, length, bytes) of an explicit length;
// 0 and the chunk untouched when the length exceeds kMaxVariableLength or the
// block cannot grow.
int AppendTextMetaEvent(MidiTrackChunk* chunk, uint8_t type, const char* text, size_t length);

// One note-on or note-off for AppendNoteEvents: status with its channel,
// key and velocity.
struct NoteEvent {
  uint8_t status;
  uint8_t key;
  uint8_t velocity;
};
// Spare room behind a chunk's bytes while the converter fills it: the data
// block holds capacity bytes, at least the chunk's length. The exported
// appenders size the block exactly; when the chunk's length is no longer the
// one recorded here, one of them has run and the room is taken to be gone.
struct ChunkRoom {
  uint32_t capacity;
  uint32_t length;
};

// Appends count note events at the chunk's pending delta, as that many
// AddEventNoteOn/AddEventNoteOff calls in a row would (the first carries the
// delta, the rest 0, running status throughout). Without a room the block
// grows exactly, in one reallocation for all of them; with one it grows
// geometrically and only when the room is used up (TrimChunkRoom gives the
// spare bytes back). When growing fails the events are appended one by one,
// so the outcome is never worse than the single calls.
void AppendNoteEvents(MidiTrackChunk* chunk, const NoteEvent* events, uint32_t count,
                      ChunkRoom* room = nullptr);

// Up to seven note events of one status at one tick, encoded ahead of time:
// key and velocity of the first event, then 0 (the shared tick), key and
// velocity of each further one, 3 x count - 1 bytes. body is larger than
// that so that it is copied whole, in fixed-size words.
constexpr uint32_t kNoteRunBodyBytes = 24;
struct NoteRun {
  uint8_t status;
  uint8_t count;  // 0..7
  uint8_t body[kNoteRunBodyBytes];
};
// The most two runs take behind their delta, whole bodies counted.
constexpr uint32_t kNoteRunsRoom = 4 + 2 * (2 + kNoteRunBodyBytes);

// WriteVariableLength with the one- and two-byte values, most deltas, inline.
inline uint32_t PutVariableLength(uint8_t* out, uint32_t value) {
  if (value < 0x80) {
    out[0] = static_cast<uint8_t>(value);
    return 1;
  }
  if (value < 0x4000) {
    out[0] = static_cast<uint8_t>(0x80 | (value >> 7));
    out[1] = static_cast<uint8_t>(value & 0x7F);
    return 2;
  }
  return WriteVariableLength(out, value);
}

// AppendNoteRuns when the room may be short or the delta too long: as
// AppendNoteEvents with the runs' events.
void AppendNoteRunsSlowly(MidiTrackChunk* chunk, ChunkRoom* room, const NoteRun& first,
                          const NoteRun& second);

inline uint8_t* PutNoteRun(uint8_t* out, const NoteRun& run, uint8_t* status, bool follows) {
  if (run.count == 0) return out;
  if (follows) *out++ = 0;
  if (run.status != *status) *out++ = run.status;
  *status = run.status;
  memcpy(out, run.body, kNoteRunBodyBytes);
  return out + 3 * run.count - 1;
}

// Appends the events of both runs at the chunk's pending delta, as that
// many AddEventNoteOn/AddEventNoteOff calls in a row would; the bytes,
// pending delta and running status are those of AppendNoteEvents. Mostly
// the room holds the most two runs can take: the bytes then go straight
// behind the chunk's.
inline void AppendNoteRuns(MidiTrackChunk* chunk, ChunkRoom* room, const NoteRun& first,
                           const NoteRun& second) {
  if (first.count == 0 && second.count == 0) return;
  if (chunk->pendingDelta > kMaxVariableLength || room == nullptr ||
      room->length != chunk->length || uint64_t{chunk->length} + kNoteRunsRoom > room->capacity) {
    AppendNoteRunsSlowly(chunk, room, first, second);
    return;
  }
  uint8_t* start = chunk->data + chunk->length;
  uint8_t status = chunk->runningStatus;
  uint8_t* out = start + PutVariableLength(start, chunk->pendingDelta);
  out = PutNoteRun(out, first, &status, false);
  out = PutNoteRun(out, second, &status, first.count != 0);
  chunk->length += static_cast<uint32_t>(out - start);
  chunk->pendingDelta = 0;
  chunk->runningStatus = status;
  room->length = chunk->length;
}

// Reallocates the block down to the chunk's length when the room holds spare
// bytes; a refused shrink leaves the larger block, which is harmless.
void TrimChunkRoom(MidiTrackChunk* chunk, ChunkRoom* room);

// Writes count 16-bit values high byte first, one two-byte write each;
// stops at the first incomplete write. Returns the values written completely.
size_t WriteSwappedShorts(const uint16_t* values, size_t count, FILE* stream);

}  // namespace Tolvenar

#endif
