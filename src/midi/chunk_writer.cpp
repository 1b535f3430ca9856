// The chunk writer: growth of the block, and the encoding of one event of
// each kind behind its delta time (channel events through the inline
// WriteChannelEvent).
#include "midi/chunk_writer.h"

#include <cstdlib>
#include <cstring>

namespace Tolvenar {
namespace {

constexpr uint32_t kFirstRoom = 256;

// A meta event as it goes after its delta time: status byte, fixed bytes,
// and an optional payload copied as is (a text).
struct Event {
  uint8_t status;
  bool atPendingDelta;       // false: delta 0 and pendingDelta kept (end of track)
  uint8_t body[8];
  uint32_t bodyLength;
  const char* payload;
  uint32_t payloadLength;
};

// Everything is checked before the block grows, so a refused event leaves
// the writer as it was.
int WriteEvent(ChunkWriter* writer, const Event& event) {
  uint32_t delta = event.atPendingDelta ? writer->pendingDelta : 0;
  uint32_t deltaSize = VariableLengthSize(delta);
  if (deltaSize == 0) return 0;  // a wrong delta would shift the rest of the track
  uint64_t size = uint64_t{deltaSize} + 1 + event.bodyLength + event.payloadLength;
  if (uint64_t{writer->length} + size > UINT32_MAX) return 0;
  if (!ReserveChunkBytes(writer, static_cast<uint32_t>(size))) return 0;

  uint8_t* out = writer->data + writer->length;
  out += WriteVariableLength(out, delta);
  *out++ = event.status;
  memcpy(out, event.body, event.bodyLength);
  out += event.bodyLength;
  if (event.payloadLength != 0) memcpy(out, event.payload, event.payloadLength);

  writer->length += static_cast<uint32_t>(size);
  if (event.atPendingDelta) writer->pendingDelta = 0;
  writer->runningStatus = event.status;
  return 1;
}

// A meta event: type and data length, the data to follow in body or payload.
Event MetaEvent(uint8_t type, uint8_t dataLength) {
  Event event = {};
  event.status = kStatusMeta;
  event.atPendingDelta = true;
  event.body[0] = type;
  event.body[1] = dataLength;
  event.bodyLength = 2;
  return event;
}

}  // namespace

void OpenChunkWriter(ChunkWriter* writer, MidiTrackChunk* chunk, bool withSpareRoom,
                     ChunkBudget* budget) {
  writer->chunk = chunk;
  writer->budget = budget;
  writer->data = chunk->data;
  writer->length = chunk->length;
  writer->lengthCounted = chunk->length;
  if (budget != nullptr) budget->written += chunk->length;
  writer->capacity = chunk->length;
  writer->pendingDelta = chunk->pendingDelta;
  writer->runningStatus = chunk->runningStatus;
  writer->withSpareRoom = withSpareRoom;
  writer->outOfMemory = false;
}

void CloseChunkWriter(ChunkWriter* writer) {
  MidiTrackChunk* chunk = writer->chunk;
  chunk->data = writer->data;
  chunk->length = writer->length;
  chunk->pendingDelta = writer->pendingDelta;
  chunk->runningStatus = writer->runningStatus;
}

void TrimChunkWriter(ChunkWriter* writer) {
  if (writer->capacity == writer->length) return;
  if (writer->length == 0) {  // room taken but never written: an empty chunk has no block
    free(writer->data);
    writer->data = nullptr;
    writer->capacity = 0;
    return;
  }
  uint8_t* data = static_cast<uint8_t*>(realloc(writer->data, writer->length));
  if (data == nullptr) {
    memset(writer->data + writer->length, 0, writer->capacity - writer->length);
    return;
  }
  writer->data = data;
  writer->capacity = writer->length;
}

bool GrowChunkWriter(ChunkWriter* writer, uint32_t bytes) {
  uint64_t needed = uint64_t{writer->length} + bytes;
  if (needed > UINT32_MAX) return false;
  uint64_t size = needed;
  if (writer->withSpareRoom) {
    // Half as much again as the block held.
    size = uint64_t{writer->capacity} + writer->capacity / 2;
    if (size < kFirstRoom) size = kFirstRoom;
  }
  ChunkBudget* budget = writer->budget;
  if (budget != nullptr) {
    budget->written += writer->length - writer->lengthCounted;
    writer->lengthCounted = writer->length;
    if (budget->written > budget->limit) {
      budget->exceeded = true;
      return false;
    }
    // No more than what the rest of the budget and this event could fill.
    uint64_t most = needed + (budget->limit - budget->written);
    if (size > most) size = most;
  }
  if (size < needed) size = needed;
  if (size > UINT32_MAX) size = UINT32_MAX;
  uint8_t* data = static_cast<uint8_t*>(realloc(writer->data, static_cast<size_t>(size)));
  if (data == nullptr && size > needed) {
    size = needed;
    data = static_cast<uint8_t*>(realloc(writer->data, static_cast<size_t>(size)));
  }
  if (data == nullptr) {
    writer->outOfMemory = true;
    return false;
  }
  writer->data = data;
  writer->capacity = static_cast<uint32_t>(size);
  return true;
}

bool GrowChannelRun(ChunkWriter* writer, ChannelRun* run) {
  CloseChannelRun(writer, *run);
  bool grown = GrowChunkWriter(writer, kMostChannelEventBytes);
  OpenChannelRun(writer, run);
  return grown;
}

int WriteNoteOn(ChunkWriter* writer, uint8_t channel, uint8_t key, uint8_t velocity) {
  return WriteChannelEvent(writer, static_cast<uint8_t>(kStatusNoteOn | channel), key, velocity);
}

int WriteNoteOff(ChunkWriter* writer, uint8_t channel, uint8_t key, uint8_t velocity) {
  return WriteChannelEvent(writer, static_cast<uint8_t>(kStatusNoteOff | channel), key, velocity);
}

int WriteController(ChunkWriter* writer, uint8_t channel, uint8_t controller, uint8_t value) {
  return WriteChannelEvent(writer, static_cast<uint8_t>(kStatusController | channel), controller, value);
}

int WriteProgramChange(ChunkWriter* writer, uint8_t channel, uint8_t program) {
  return WriteChannelEvent(writer, static_cast<uint8_t>(kStatusProgramChange | channel), program, 0);
}

int WritePitchWheel(ChunkWriter* writer, uint8_t channel, uint16_t value) {
  return WriteChannelEvent(writer, static_cast<uint8_t>(kStatusPitchWheel | channel),
                           static_cast<uint8_t>(value & 0x7F), static_cast<uint8_t>((value >> 7) & 0x7F));
}

int WriteSetTempo(ChunkWriter* writer, uint32_t microsecondsPerQuarter) {
  Event event = MetaEvent(kMetaSetTempo, 3);
  event.body[2] = static_cast<uint8_t>(microsecondsPerQuarter >> 16);
  event.body[3] = static_cast<uint8_t>(microsecondsPerQuarter >> 8);
  event.body[4] = static_cast<uint8_t>(microsecondsPerQuarter);
  event.bodyLength = 5;
  return WriteEvent(writer, event);
}

int WriteTimeSignature(ChunkWriter* writer, uint8_t numerator, uint8_t denominatorPower,
                       uint8_t clocksPerClick, uint8_t thirtySecondsPerQuarter) {
  Event event = MetaEvent(kMetaTimeSignature, 4);
  event.body[2] = numerator;
  event.body[3] = denominatorPower;
  event.body[4] = clocksPerClick;
  event.body[5] = thirtySecondsPerQuarter;
  event.bodyLength = 6;
  return WriteEvent(writer, event);
}

int WriteTextMetaEvent(ChunkWriter* writer, uint8_t type, const char* text, size_t length) {
  if (length > kMaxVariableLength) return 0;
  Event event = MetaEvent(type, 0);
  event.bodyLength = 1 + WriteVariableLength(event.body + 1, static_cast<uint32_t>(length));
  event.payload = text;
  event.payloadLength = static_cast<uint32_t>(length);
  return WriteEvent(writer, event);
}

// The track ends at its last event: the ticks after it are not written.
int WriteEndOfTrack(ChunkWriter* writer) {
  Event event = MetaEvent(kMetaEndOfTrack, 0);
  event.atPendingDelta = false;
  return WriteEvent(writer, event);
}

int AddEventPitchWheel(MidiTrackChunk* chunk, uint8_t channel, uint16_t value) {
  ChunkWriter writer;
  OpenChunkWriter(&writer, chunk, false);
  int written = WritePitchWheel(&writer, channel, value);
  CloseChunkWriter(&writer);
  return written;
}

int AddTextMetaEvent(MidiTrackChunk* chunk, uint8_t type, const char* text, size_t length) {
  ChunkWriter writer;
  OpenChunkWriter(&writer, chunk, false);
  int written = WriteTextMetaEvent(&writer, type, text, length);
  CloseChunkWriter(&writer);
  return written;
}

}  // namespace Tolvenar
