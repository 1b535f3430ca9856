// Track chunk set-up and release, and the appenders that encode one event
// each (delta time, running status, channel and meta events).
#include <cstdlib>
#include <cstring>

#include "midi/midi_internal.h"

namespace Tolvenar {

namespace {

constexpr uint8_t kStatusNoteOff = 0x80;
constexpr uint8_t kStatusNoteOn = 0x90;
constexpr uint8_t kStatusController = 0xB0;
constexpr uint8_t kStatusProgramChange = 0xC0;
constexpr uint8_t kStatusMeta = 0xFF;

constexpr uint8_t kMetaTrackName = 0x03;
constexpr uint8_t kMetaMarker = 0x06;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaSetTempo = 0x51;
constexpr uint8_t kMetaTimeSignature = 0x58;

// One event as it goes after its delta time: status byte, fixed bytes, and
// an optional payload copied as is (a meta event's text).
struct Event {
  uint8_t status;
  bool mayUseRunningStatus;  // note-on/off only
  bool atPendingDelta;       // false: delta 0 and pendingDelta kept (end of track)
  uint8_t body[8];
  uint32_t bodyLength;
  const char* payload;
  uint32_t payloadLength;
};

constexpr uint32_t kFirstRoom = 256;

// Makes the block hold at least `needed` bytes. Without a room, exactly
// that; with one, half as much again as the room had, and only when the room
// is short. A refused generous block is asked for exactly. chunk->data
// follows a moved block at once, so the chunk stays whole either way.
uint8_t* GrowForAppend(MidiTrackChunk* chunk, uint64_t needed, ChunkRoom* room) {
  if (needed > UINT32_MAX) return nullptr;
  if (room == nullptr) return static_cast<uint8_t*>(realloc(chunk->data, static_cast<size_t>(needed)));
  // Another appender sized the block exactly since the room was recorded.
  if (room->length != chunk->length) room->capacity = chunk->length;
  room->length = chunk->length;
  if (needed <= room->capacity) return chunk->data;
  uint64_t generous = uint64_t{room->capacity} + room->capacity / 2;
  if (generous < kFirstRoom) generous = kFirstRoom;
  if (generous < needed) generous = needed;
  if (generous > UINT32_MAX) generous = UINT32_MAX;
  uint8_t* data = static_cast<uint8_t*>(realloc(chunk->data, static_cast<size_t>(generous)));
  if (data == nullptr && generous > needed) {
    generous = needed;
    data = static_cast<uint8_t*>(realloc(chunk->data, static_cast<size_t>(needed)));
  }
  if (data == nullptr) return nullptr;
  chunk->data = data;
  room->capacity = static_cast<uint32_t>(generous);
  return data;
}

// Grows data by exactly the event's size (with a room: into the room, grown
// when short) and writes it. Everything is checked before the reallocation,
// and realloc keeps the old block on failure, so a refused event leaves
// every field of the chunk as it was.
int AppendEvent(MidiTrackChunk* chunk, const Event& event, ChunkRoom* room = nullptr) {
  uint32_t delta = event.atPendingDelta ? chunk->pendingDelta : 0;
  uint32_t deltaSize = VariableLengthSize(delta);
  if (deltaSize == 0) return 0;  // a wrong delta would shift the rest of the track
  bool writesStatus = !(event.mayUseRunningStatus && chunk->runningStatus == event.status);

  uint64_t newLength = uint64_t{chunk->length} + deltaSize + (writesStatus ? 1 : 0) +
                       event.bodyLength + event.payloadLength;
  if (newLength > UINT32_MAX) return 0;
  uint8_t* data = GrowForAppend(chunk, newLength, room);
  if (!data) return 0;

  uint8_t* out = data + chunk->length;
  out += WriteVariableLength(out, delta);
  if (writesStatus) *out++ = event.status;
  memcpy(out, event.body, event.bodyLength);
  out += event.bodyLength;
  if (event.payloadLength) memcpy(out, event.payload, event.payloadLength);

  chunk->data = data;
  chunk->length = static_cast<uint32_t>(newLength);
  if (event.atPendingDelta) chunk->pendingDelta = 0;
  chunk->runningStatus = event.status;
  if (room != nullptr) room->length = chunk->length;
  return 1;
}

Event ChannelEvent(uint8_t status, bool mayUseRunningStatus) {
  Event event = {};
  event.status = status;
  event.mayUseRunningStatus = mayUseRunningStatus;
  event.atPendingDelta = true;
  return event;
}

Event MetaEvent(uint8_t type, uint8_t dataLength) {
  Event event = ChannelEvent(kStatusMeta, false);
  event.body[0] = type;
  event.body[1] = dataLength;
  event.bodyLength = 2;
  return event;
}

// Channel and data bytes go out unmasked: keeping them in range is the
// caller's part, as the converter's limits say.
int AppendNoteEvent(MidiTrackChunk* chunk, uint8_t kind, uint8_t channel, uint8_t key,
                    uint8_t velocity) {
  Event event = ChannelEvent(static_cast<uint8_t>(kind | channel), true);
  event.body[0] = key;
  event.body[1] = velocity;
  event.bodyLength = 2;
  return AppendEvent(chunk, event);
}

}  // namespace

int AppendTextMetaEvent(MidiTrackChunk* chunk, uint8_t type, const char* text, size_t length,
                        ChunkRoom* room) {
  if (length > kMaxVariableLength) return 0;
  Event event = ChannelEvent(kStatusMeta, false);
  event.body[0] = type;
  event.bodyLength = 1 + WriteVariableLength(event.body + 1, static_cast<uint32_t>(length));
  event.payload = text;
  event.payloadLength = static_cast<uint32_t>(length);
  return AppendEvent(chunk, event, room);
}


void TrimChunkRoom(MidiTrackChunk* chunk, ChunkRoom* room) {
  if (room->length != chunk->length || room->capacity <= chunk->length || chunk->length == 0) {
    return;
  }
  uint8_t* data = static_cast<uint8_t*>(realloc(chunk->data, chunk->length));
  if (data == nullptr) return;
  chunk->data = data;
  room->capacity = chunk->length;
}

void AppendNoteEvents(MidiTrackChunk* chunk, const NoteEvent* events, uint32_t count,
                      ChunkRoom* room) {
  if (count == 0) return;
  uint32_t deltaSize = VariableLengthSize(chunk->pendingDelta);
  // Each single call would be refused for the same delta.
  if (deltaSize == 0) return;
  // When the room surely holds the events (at most a zero delta, a status
  // and two data bytes each after the first), they are written straight away
  // and their size counted as they go.
  if (room != nullptr && room->length == chunk->length &&
      uint64_t{chunk->length} + deltaSize + 4 * uint64_t{count} <= room->capacity) {
    uint8_t* start = chunk->data + chunk->length;
    uint8_t* out = start + WriteVariableLength(start, chunk->pendingDelta);
    uint8_t status = chunk->runningStatus;
    for (uint32_t i = 0; i < count; ++i) {
      if (i > 0) *out++ = 0;  // the later events share the first one's tick
      if (events[i].status != status) *out++ = events[i].status;
      status = events[i].status;
      *out++ = events[i].key;
      *out++ = events[i].velocity;
    }
    chunk->length += static_cast<uint32_t>(out - start);
    chunk->pendingDelta = 0;
    chunk->runningStatus = status;
    room->length = chunk->length;
    return;
  }
  uint64_t newLength = uint64_t{chunk->length} + deltaSize + (count - 1) + 2 * uint64_t{count};
  uint8_t status = chunk->runningStatus;
  for (uint32_t i = 0; i < count; ++i) {
    if (events[i].status != status) ++newLength;
    status = events[i].status;
  }
  uint8_t* data = GrowForAppend(chunk, newLength, room);
  if (!data) {
    for (uint32_t i = 0; i < count; ++i) {
      AppendNoteEvent(chunk, static_cast<uint8_t>(events[i].status & 0xF0),
                      static_cast<uint8_t>(events[i].status & 0x0F), events[i].key,
                      events[i].velocity);
    }
    return;
  }
  uint8_t* out = data + chunk->length;
  out += WriteVariableLength(out, chunk->pendingDelta);
  status = chunk->runningStatus;
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) *out++ = 0;  // the later events share the first one's tick
    if (events[i].status != status) *out++ = events[i].status;
    status = events[i].status;
    *out++ = events[i].key;
    *out++ = events[i].velocity;
  }
  chunk->data = data;
  chunk->length = static_cast<uint32_t>(newLength);
  chunk->pendingDelta = 0;
  chunk->runningStatus = status;
  if (room != nullptr) room->length = chunk->length;
}

void AppendNoteRunsSlowly(MidiTrackChunk* chunk, ChunkRoom* room, const NoteRun& first,
                          const NoteRun& second) {
  if (first.count == 0 && second.count == 0) return;
  if (room != nullptr && chunk->pendingDelta <= kMaxVariableLength &&
      GrowForAppend(chunk, uint64_t{chunk->length} + kNoteRunsRoom, room) != nullptr) {
    chunk->length += PutNoteRuns(chunk->data + chunk->length, chunk->pendingDelta,
                                 &chunk->runningStatus, first, second);
    chunk->pendingDelta = 0;
    room->length = chunk->length;
    return;
  }
  NoteEvent events[14];
  uint32_t count = 0;
  const NoteRun* runs[2] = {&first, &second};
  for (const NoteRun* run : runs) {
    // Event i of the run lies at 3i in the body.
    for (uint32_t i = 0; i < run->count && i < 7; ++i) {
      events[count++] = {run->status, run->body[3 * i], run->body[3 * i + 1]};
    }
  }
  AppendNoteEvents(chunk, events, count, room);
}

int InitMidiTrackChunk(MidiTrackChunk* chunk) {
  memcpy(chunk->id, "MTrk", 4);
  chunk->length = 0;
  chunk->data = nullptr;
  chunk->pendingDelta = 0;
  chunk->runningStatus = 0;
  return 1;
}

void FreeMidiTrackChunk(MidiTrackChunk* chunk) {
  free(chunk->data);
  chunk->data = nullptr;
}

int AddEventNoteOn(MidiTrackChunk* chunk, uint8_t channel, uint8_t key, uint8_t velocity) {
  return AppendNoteEvent(chunk, kStatusNoteOn, channel, key, velocity);
}

int AddEventNoteOff(MidiTrackChunk* chunk, uint8_t channel, uint8_t key, uint8_t velocity) {
  return AppendNoteEvent(chunk, kStatusNoteOff, channel, key, velocity);
}

int AppendController(MidiTrackChunk* chunk, ChunkRoom* room, uint8_t channel,
                     MidiController controller, uint8_t value) {
  Event event = ChannelEvent(static_cast<uint8_t>(kStatusController | channel), false);
  event.body[0] = controller;
  event.body[1] = value;
  event.bodyLength = 2;
  return AppendEvent(chunk, event, room);
}

int AddEventController(MidiTrackChunk* chunk, uint8_t channel, MidiController controller,
                       uint8_t value) {
  return AppendController(chunk, nullptr, channel, controller, value);
}

int AppendProgramChange(MidiTrackChunk* chunk, ChunkRoom* room, uint8_t channel, uint8_t program) {
  Event event = ChannelEvent(static_cast<uint8_t>(kStatusProgramChange | channel), false);
  event.body[0] = program;
  event.bodyLength = 1;
  return AppendEvent(chunk, event, room);
}

int AddEventProgramChange(MidiTrackChunk* chunk, uint8_t channel, uint8_t program) {
  return AppendProgramChange(chunk, nullptr, channel, program);
}

// Three bytes hold the tempo; higher bits are dropped.
int AppendSetTempo(MidiTrackChunk* chunk, ChunkRoom* room, uint32_t microsecondsPerQuarter) {
  Event event = MetaEvent(kMetaSetTempo, 3);
  event.body[2] = static_cast<uint8_t>(microsecondsPerQuarter >> 16);
  event.body[3] = static_cast<uint8_t>(microsecondsPerQuarter >> 8);
  event.body[4] = static_cast<uint8_t>(microsecondsPerQuarter);
  event.bodyLength = 5;
  return AppendEvent(chunk, event, room);
}

int AddMetaEventSetTempo(MidiTrackChunk* chunk, uint32_t microsecondsPerQuarter) {
  return AppendSetTempo(chunk, nullptr, microsecondsPerQuarter);
}

int AppendTimeSignature(MidiTrackChunk* chunk, ChunkRoom* room, uint8_t numerator,
                        uint8_t denominatorPower, uint8_t clocksPerClick,
                        uint8_t thirtySecondsPerQuarter) {
  Event event = MetaEvent(kMetaTimeSignature, 4);
  event.body[2] = numerator;
  event.body[3] = denominatorPower;
  event.body[4] = clocksPerClick;
  event.body[5] = thirtySecondsPerQuarter;
  event.bodyLength = 6;
  return AppendEvent(chunk, event, room);
}

int AddMetaEventTimeSignature(MidiTrackChunk* chunk, uint8_t numerator, uint8_t denominatorPower,
                              uint8_t clocksPerClick, uint8_t thirtySecondsPerQuarter) {
  return AppendTimeSignature(chunk, nullptr, numerator, denominatorPower, clocksPerClick,
                             thirtySecondsPerQuarter);
}

int AppendMarker(MidiTrackChunk* chunk, ChunkRoom* room, const char* text) {
  return AppendTextMetaEvent(chunk, kMetaMarker, text, text ? strlen(text) : 0, room);
}

// A null text is written as an empty one rather than read through.
int AddMetaEventMarker(MidiTrackChunk* chunk, const char* text) {
  return AppendMarker(chunk, nullptr, text);
}

int AddMetaEventTrackName(MidiTrackChunk* chunk, const char* text) {
  return AppendTextMetaEvent(chunk, kMetaTrackName, text, text ? strlen(text) : 0);
}

// The track ends at its last event: the ticks after it are not written.
int AddMetaEventEndOfTrack(MidiTrackChunk* chunk) {
  Event event = MetaEvent(kMetaEndOfTrack, 0);
  event.atPendingDelta = false;
  return AppendEvent(chunk, event);
}

}  // namespace Tolvenar
