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

// Appends a text meta event (type byte, length, bytes) of an explicit length;
// 0 and the chunk untouched when the length exceeds kMaxVariableLength or the
// block cannot grow. With a room the block grows into it, as below.
int AppendTextMetaEvent(MidiTrackChunk* chunk, uint8_t type, const char* text, size_t length,
                        ChunkRoom* room = nullptr);

// The exported appenders' events, with the block grown into a room instead
// of exactly (a null room: exactly, as the exported ones). The converter
// uses them, so a song of many tempo, time-signature, marker, program or
// volume events does not reallocate its chunk for every one.
int AppendController(MidiTrackChunk* chunk, ChunkRoom* room, uint8_t channel,
                     MidiController controller, uint8_t value);
int AppendProgramChange(MidiTrackChunk* chunk, ChunkRoom* room, uint8_t channel, uint8_t program);
int AppendSetTempo(MidiTrackChunk* chunk, ChunkRoom* room, uint32_t microsecondsPerQuarter);
int AppendTimeSignature(MidiTrackChunk* chunk, ChunkRoom* room, uint8_t numerator,
                        uint8_t denominatorPower, uint8_t clocksPerClick,
                        uint8_t thirtySecondsPerQuarter);
int AppendMarker(MidiTrackChunk* chunk, ChunkRoom* room, const char* text);

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

// AppendNoteRuns when the room may be short or the delta too long: the room
// is grown to hold the most two runs take, else as AppendNoteEvents with the
// runs' events.
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

// Writes a delta of at most kMaxVariableLength and both runs behind it, into
// kNoteRunsRoom bytes at out; returns the bytes that count.
inline uint32_t PutNoteRuns(uint8_t* out, uint32_t delta, uint8_t* status, const NoteRun& first,
                            const NoteRun& second) {
  uint8_t* end = out + PutVariableLength(out, delta);
  end = PutNoteRun(end, first, status, false);
  end = PutNoteRun(end, second, status, first.count != 0);
  return static_cast<uint32_t>(end - out);
}

// A chunk's end, pending delta and running status held apart from the
// chunk while note runs are appended, so that the bytes written do not make
// the chunk's fields be read again after every store. The chunk is out of
// date until CloseNoteRuns: nothing else may append to it in between.
struct NoteRunWriter {
  MidiTrackChunk* chunk;
  ChunkRoom* room;
  uint8_t* data;
  uint32_t length;
  uint32_t capacity;  // the length when the room is unknown: no append fits
  uint32_t pendingDelta;
  uint8_t runningStatus;
  bool roomy;
};

inline void OpenNoteRuns(NoteRunWriter* writer, MidiTrackChunk* chunk, ChunkRoom* room) {
  writer->chunk = chunk;
  writer->room = room;
  writer->data = chunk->data;
  writer->length = chunk->length;
  // Another appender sized the block exactly since the room was recorded.
  bool roomy = room != nullptr && room->length == chunk->length && room->capacity >= chunk->length;
  writer->roomy = roomy;
  writer->capacity = roomy ? room->capacity : chunk->length;
  writer->pendingDelta = chunk->pendingDelta;
  writer->runningStatus = chunk->runningStatus;
}

inline void CloseNoteRuns(NoteRunWriter* writer) {
  MidiTrackChunk* chunk = writer->chunk;
  chunk->length = writer->length;
  chunk->pendingDelta = writer->pendingDelta;
  chunk->runningStatus = writer->runningStatus;
  if (writer->roomy) writer->room->length = writer->length;
}

// True when the pending delta can be written and the room holds the most
// two runs take behind it: kNoteRunsRoom bytes from writer.data +
// writer.length may be written.
inline bool HasBoundaryRoom(const NoteRunWriter& writer) {
  return writer.pendingDelta <= kMaxVariableLength &&
         writer.capacity - writer.length >= kNoteRunsRoom;
}

// Appends the events of both runs at the pending delta, as that many
// AddEventNoteOn/AddEventNoteOff calls in a row would; the bytes, pending
// delta and running status are those of AppendNoteEvents. Mostly the room
// holds the most two runs can take: the bytes then go straight behind the
// chunk's.
inline void AppendNoteRuns(NoteRunWriter* writer, const NoteRun& first, const NoteRun& second) {
  if (first.count == 0 && second.count == 0) return;
  if (!HasBoundaryRoom(*writer)) {
    CloseNoteRuns(writer);
    AppendNoteRunsSlowly(writer->chunk, writer->room, first, second);
    OpenNoteRuns(writer, writer->chunk, writer->room);
    return;
  }
  writer->length += PutNoteRuns(writer->data + writer->length, writer->pendingDelta,
                                &writer->runningStatus, first, second);
  writer->pendingDelta = 0;
}

// Reallocates the block down to the chunk's length when the room holds spare
// bytes; a refused shrink leaves the larger block, which is harmless.
void TrimChunkRoom(MidiTrackChunk* chunk, ChunkRoom* room);

// Writes count 16-bit values high byte first, one two-byte write each;
// stops at the first incomplete write. Returns the values written completely.
size_t WriteSwappedShorts(const uint16_t* values, size_t count, FILE* stream);

}  // namespace Tolvenar

#endif
