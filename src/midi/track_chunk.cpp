// Track chunk set-up and release, and the exported appenders: each writes
// one event through a chunk writer that grows the block exactly.
#include <cstdlib>
#include <cstring>

#include "midi/chunk_writer.h"

namespace Tolvenar {
namespace {

template <typename Write>
int AppendOne(MidiTrackChunk* chunk, Write write) {
  ChunkWriter writer;
  OpenChunkWriter(&writer, chunk, false);
  int written = write(&writer);
  CloseChunkWriter(&writer);
  return written;
}

}  // namespace

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
  return AppendOne(chunk, [&](ChunkWriter* w) { return WriteNoteOn(w, channel, key, velocity); });
}

int AddEventNoteOff(MidiTrackChunk* chunk, uint8_t channel, uint8_t key, uint8_t velocity) {
  return AppendOne(chunk, [&](ChunkWriter* w) { return WriteNoteOff(w, channel, key, velocity); });
}

int AddEventController(MidiTrackChunk* chunk, uint8_t channel, MidiController controller,
                       uint8_t value) {
  return AppendOne(chunk, [&](ChunkWriter* w) { return WriteController(w, channel, controller, value); });
}

int AddEventProgramChange(MidiTrackChunk* chunk, uint8_t channel, uint8_t program) {
  return AppendOne(chunk, [&](ChunkWriter* w) { return WriteProgramChange(w, channel, program); });
}

int AddMetaEventSetTempo(MidiTrackChunk* chunk, uint32_t microsecondsPerQuarter) {
  return AppendOne(chunk, [&](ChunkWriter* w) { return WriteSetTempo(w, microsecondsPerQuarter); });
}

int AddMetaEventTimeSignature(MidiTrackChunk* chunk, uint8_t numerator, uint8_t denominatorPower,
                              uint8_t clocksPerClick, uint8_t thirtySecondsPerQuarter) {
  return AppendOne(chunk, [&](ChunkWriter* w) {
    return WriteTimeSignature(w, numerator, denominatorPower, clocksPerClick, thirtySecondsPerQuarter);
  });
}

// A null text is written as an empty one rather than read through.
int AddMetaEventMarker(MidiTrackChunk* chunk, const char* text) {
  return AddTextMetaEvent(chunk, kMetaMarker, text, text ? strlen(text) : 0);
}

int AddMetaEventTrackName(MidiTrackChunk* chunk, const char* text) {
  return AddTextMetaEvent(chunk, kMetaTrackName, text, text ? strlen(text) : 0);
}

int AddMetaEventEndOfTrack(MidiTrackChunk* chunk) {
  return AppendOne(chunk, [](ChunkWriter* w) { return WriteEndOfTrack(w); });
}

}  // namespace Tolvenar
