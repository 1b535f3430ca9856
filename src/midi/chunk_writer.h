// The one writer of a track chunk's events: it grows the chunk's block,
// writes the delta times, keeps the running status and encodes every kind of
// event. The exported appenders open a writer for one event and grow the
// block exactly; a conversion keeps one writer per chunk open throughout and
// lets the block grow with spare room, which TrimChunkWriter gives back.
#ifndef ORLIX_MIDI_CHUNK_WRITER_H
#define ORLIX_MIDI_CHUNK_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "midi/midi_internal.h"
#include "orlix/tolvenar.h"

namespace Tolvenar {

constexpr uint8_t kStatusNoteOff = 0x80;
constexpr uint8_t kStatusNoteOn = 0x90;
constexpr uint8_t kStatusController = 0xB0;
constexpr uint8_t kStatusProgramChange = 0xC0;
constexpr uint8_t kStatusPitchWheel = 0xE0;
constexpr uint8_t kStatusMeta = 0xFF;

constexpr uint8_t kMetaTrackName = 0x03;
constexpr uint8_t kMetaMarker = 0x06;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaSetTempo = 0x51;
constexpr uint8_t kMetaTimeSignature = 0x58;

// The bytes that several writers may write together. written counts each
// writer's length as of its last growth, a lower bound of the total. A
// growth is refused once that passes the limit, and a block never grows
// beyond what the rest of the budget could fill, so a conversion that
// passes its limit stops without allocating much more than the limit.
struct ChunkBudget {
  uint64_t limit;
  uint64_t written;
  bool exceeded;
};

// A chunk's block, end, pending delta and running status while it is being
// written. The chunk's own fields are out of date until CloseChunkWriter:
// nothing else may write to the chunk in between. The walk adds to
// pendingDelta directly as time passes.
struct ChunkWriter {
  MidiTrackChunk* chunk;
  ChunkBudget* budget;  // null: no limit
  uint8_t* data;
  uint32_t length;
  uint32_t lengthCounted;  // the part of length counted in the budget
  uint32_t capacity;  // bytes the block holds, at least length
  uint32_t pendingDelta;
  uint8_t runningStatus;
  bool withSpareRoom;  // false: the block grows to exactly the bytes written
  bool outOfMemory;    // an event was lost for want of memory
};

// The chunk's block must hold exactly its length bytes, as every appender
// leaves it.
void OpenChunkWriter(ChunkWriter* writer, MidiTrackChunk* chunk, bool withSpareRoom,
                     ChunkBudget* budget = nullptr);
// Stores the writer's block, length, pending delta and running status in
// the chunk.
void CloseChunkWriter(ChunkWriter* writer);
// Gives the spare room back, so that the block holds exactly length bytes;
// when the smaller block is refused the spare bytes are zeroed instead.
void TrimChunkWriter(ChunkWriter* writer);

// Makes room for `bytes` more bytes behind length, exactly or with spare
// room; a failed allocation sets outOfMemory, a passed budget its exceeded.
// realloc keeps the old block on failure, so a refused growth leaves the
// writer's bytes as they were.
bool GrowChunkWriter(ChunkWriter* writer, uint32_t bytes);

inline bool ReserveChunkBytes(ChunkWriter* writer, uint32_t bytes) {
  if (writer->capacity - writer->length >= bytes) return true;
  return GrowChunkWriter(writer, bytes);
}

// One event each, at the pending delta (end of track: at delta 0, pending
// delta kept). 1 when written; 0 with the writer unchanged when the delta or
// a text length exceeds kMaxVariableLength, the chunk would pass 32 bits or
// the block cannot grow. Channel and data bytes go out unmasked: keeping
// them in range is the caller's part. Only note-on and note-off leave out a
// repeated status byte; a meta event sets the running status to 0xFF.
int WriteNoteOn(ChunkWriter* writer, uint8_t channel, uint8_t key, uint8_t velocity);
int WriteNoteOff(ChunkWriter* writer, uint8_t channel, uint8_t key, uint8_t velocity);
int WriteController(ChunkWriter* writer, uint8_t channel, uint8_t controller, uint8_t value);
int WriteProgramChange(ChunkWriter* writer, uint8_t channel, uint8_t program);
// value: 14 bits, 0x2000 the centre; sent low 7 bits first.
int WritePitchWheel(ChunkWriter* writer, uint8_t channel, uint16_t value);
// Three bytes hold the tempo; higher bits are dropped.
int WriteSetTempo(ChunkWriter* writer, uint32_t microsecondsPerQuarter);
int WriteTimeSignature(ChunkWriter* writer, uint8_t numerator, uint8_t denominatorPower,
                       uint8_t clocksPerClick, uint8_t thirtySecondsPerQuarter);
// A text meta event (type, length, bytes) of an explicit length.
int WriteTextMetaEvent(ChunkWriter* writer, uint8_t type, const char* text, size_t length);
int WriteEndOfTrack(ChunkWriter* writer);
// A song text (name, title, marker); a null one goes out empty, so that the
// event keeps its place in the track.
inline int WriteSongText(ChunkWriter* writer, uint8_t type, const char* text) {
  return WriteTextMetaEvent(writer, type, text != nullptr ? text : "", text != nullptr ? strlen(text) : 0);
}

// The channel events above in one inline writer, for walks that write many
// in a row: status (kind | channel) and its data bytes, one for a program
// change and two for the others. Note-on and note-off leave out a repeated
// status byte.
inline int WriteChannelEvent(ChunkWriter* writer, uint8_t status, uint8_t data1, uint8_t data2) {
  uint32_t delta = writer->pendingDelta;
  if (delta > kMaxVariableLength) return 0;  // a wrong delta would shift the rest of the track
  bool writesStatus = status >= 0xA0 || status != writer->runningStatus;
  bool twoDataBytes = (status & 0xF0) != kStatusProgramChange;
  uint32_t deltaSize = delta < 0x80 ? 1 : VariableLengthSize(delta);
  uint32_t size = deltaSize + (writesStatus ? 1 : 0) + (twoDataBytes ? 2 : 1);
  if (!ReserveChunkBytes(writer, size)) return 0;
  uint8_t* out = writer->data + writer->length;
  out += PutVariableLength(out, delta);
  if (writesStatus) *out++ = status;
  out[0] = data1;
  if (twoDataBytes) out[1] = data2;
  writer->length += size;
  writer->pendingDelta = 0;
  writer->runningStatus = status;
  return 1;
}

// Channel events written one after another, the end of the bytes, the room
// and the running status held in the run, a local of the caller, instead of
// in the writer: stores through a byte pointer may change any field the
// compiler cannot see is local, so each event would read them all again.
// The same bytes as WriteChannelEvent; nothing else may write to the writer
// between OpenChannelRun and CloseChannelRun.
struct ChannelRun {
  uint8_t* base;
  uint8_t* out;
  uint8_t* roomEnd;
  uint8_t runningStatus;
};

// Four delta bytes, a status byte and two data bytes.
constexpr uint32_t kMostChannelEventBytes = 7;

inline void OpenChannelRun(const ChunkWriter* writer, ChannelRun* run) {
  run->base = writer->data;
  run->out = writer->data + writer->length;
  run->roomEnd = writer->data + writer->capacity;
  run->runningStatus = writer->runningStatus;
}

inline void CloseChannelRun(ChunkWriter* writer, const ChannelRun& run) {
  writer->length = static_cast<uint32_t>(run.out - run.base);
  writer->runningStatus = run.runningStatus;
}

// Stores the run in the writer, grows the block by at least
// kMostChannelEventBytes and opens the run again; false as GrowChunkWriter.
bool GrowChannelRun(ChunkWriter* writer, ChannelRun* run);

// One channel event at `delta`: 1 when written, 0 with nothing written when
// the delta exceeds kMaxVariableLength or the room cannot be had.
inline int PutChannelEvent(ChunkWriter* writer, ChannelRun* run, uint32_t delta, uint8_t status,
                           uint8_t data1, uint8_t data2) {
  if (delta > kMaxVariableLength) return 0;
  if (run->roomEnd - run->out < static_cast<ptrdiff_t>(kMostChannelEventBytes) &&
      !GrowChannelRun(writer, run)) {
    return 0;
  }
  uint8_t* out = run->out;
  out += PutVariableLength(out, delta);
  if (status >= 0xA0 || status != run->runningStatus) *out++ = status;
  *out++ = data1;
  if ((status & 0xF0) != kStatusProgramChange) *out++ = data2;
  run->out = out;
  run->runningStatus = status;
  return 1;
}

// The same on a chunk, growing its block exactly: what the exported
// appenders do. AddEventPitchWheel is their pitch-wheel sibling, internal.
int AddEventPitchWheel(MidiTrackChunk* chunk, uint8_t channel, uint16_t value);
int AddTextMetaEvent(MidiTrackChunk* chunk, uint8_t type, const char* text, size_t length);

// Note events at one tick, written straight behind the chunk's bytes after
// one room check: the first carries the pending delta, the others delta 0,
// with running status throughout. The same bytes as that many WriteNoteOn /
// WriteNoteOff calls in a row.
struct NoteEventRun {
  uint8_t* start;   // where the delta goes
  uint8_t* events;  // behind the delta
  uint8_t* out;
  uint8_t runningStatus;
};

// The most bytes one note event takes in a run: delta 0, status, key, velocity.
constexpr uint32_t kRunNoteEventBytes = 4;

// Opens a run of at most maxEvents note events; false when the pending delta
// cannot be written or the room cannot be had, and nothing may be put.
inline bool OpenNoteEventRun(ChunkWriter* writer, uint32_t maxEvents, NoteEventRun* run) {
  if (writer->pendingDelta > kMaxVariableLength ||
      !ReserveChunkBytes(writer, 4 + kRunNoteEventBytes * maxEvents)) {
    return false;
  }
  run->start = writer->data + writer->length;
  run->events = run->start + PutVariableLength(run->start, writer->pendingDelta);
  run->out = run->events;
  run->runningStatus = writer->runningStatus;
  return true;
}

inline void PutNoteEvent(NoteEventRun* run, uint8_t status, uint8_t key, uint8_t velocity) {
  uint8_t* out = run->out;
  if (out != run->events) *out++ = 0;  // the later events share the first one's tick
  if (status != run->runningStatus) *out++ = status;
  run->runningStatus = status;
  out[0] = key;
  out[1] = velocity;
  run->out = out + 2;
}

// A run without events adds nothing, not even its delta.
inline void CloseNoteEventRun(ChunkWriter* writer, const NoteEventRun& run) {
  if (run.out == run.events) return;
  writer->length += static_cast<uint32_t>(run.out - run.start);
  writer->pendingDelta = 0;
  writer->runningStatus = run.runningStatus;
}

}  // namespace Tolvenar

#endif
