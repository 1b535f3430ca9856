// Everything the performance writes into the chunks: the opening events of
// each chunk, then its timed events in tick order, then its end of track.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "perform/perform_internal.h"
#include "midi/chunk_writer.h"

namespace Tolvenar {
namespace {

constexpr uint8_t kNoteOffVelocityByte = 80;
constexpr uint8_t kProgramLimit = 128;
constexpr uint16_t kWheelCentre = 8192;
constexpr uint8_t kBendRangeSemitones = 12;
constexpr uint8_t kNoChannel = 0xFF;

// Registered parameter 0 (pitch-bend range) through data entry.
constexpr uint8_t kRpnHigh = 101;
constexpr uint8_t kRpnLow = 100;
constexpr uint8_t kDataEntryHigh = 6;
constexpr uint8_t kDataEntryLow = 38;
constexpr uint8_t kPan = 10;
constexpr uint8_t kReverb = 91;
constexpr uint8_t kChorus = 93;
constexpr uint8_t kPhaser = 95;
constexpr uint8_t kTremolo = 92;

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

const char* MarkerText(const FileStruct* song, uint32_t measure) {
  const MeasureMarker* marker = song->measureHeaders[measure].marker;
  return marker != nullptr ? marker->text : nullptr;
}

// Counts the written event's bytes against the limit; false (with the
// status set) when the write failed or the file has grown past the limit.
bool Written(PerformContext* context, const ChunkWriter* writer, uint32_t lengthBefore, int ok) {
  if (context->status != kPerformDone) return false;
  if (!ok) {
    context->status = context->budget.exceeded ? kPerformTooLarge : kPerformOutOfMemory;
    return false;
  }
  context->fileBytes += writer->length - lengthBefore;
  if (context->fileBytes > context->maxBytes) {
    context->status = kPerformTooLarge;
    return false;
  }
  return true;
}

bool WriteText(PerformContext* context, ChunkWriter* writer, uint8_t type, const char* text) {
  text = TextOrEmpty(text);
  uint32_t before = writer->length;
  return Written(context, writer, before, WriteTextMetaEvent(writer, type, text, strlen(text)));
}

bool Control(PerformContext* context, ChunkWriter* writer, uint8_t channel, uint8_t controller,
             uint8_t value) {
  uint32_t before = writer->length;
  return Written(context, writer, before, WriteController(writer, channel, controller, value));
}

bool Program(PerformContext* context, ChunkWriter* writer, uint8_t channel, uint8_t program) {
  uint32_t before = writer->length;
  return Written(context, writer, before, WriteProgramChange(writer, channel, program));
}

// The track's channels: main first, then effects when separate; kNoChannel
// for one that is missing.
void TrackChannels(const Track* track, uint8_t channels[2]) {
  channels[0] = HasChannel(track->midiChannel) ? static_cast<uint8_t>(track->midiChannel - 1)
                                               : kNoChannel;
  channels[1] = kNoChannel;
  if (HasChannel(track->effectsMidiChannel) && track->effectsMidiChannel != track->midiChannel) {
    channels[1] = static_cast<uint8_t>(track->effectsMidiChannel - 1);
  }
}

// A track's timed event as its channel event; 1 for a kind that writes
// nothing.
int WriteTrackEvent(ChunkWriter* writer, uint64_t event) {
  uint32_t data = TimedData(event);
  uint8_t data1 = DataByte1(data);
  uint8_t data2 = DataByte2(data);
  uint8_t status = 0;
  switch (TimedKindOf(event)) {
    case kTimedNoteOff:
      status = kStatusNoteOff;
      data2 = kNoteOffVelocityByte;
      break;
    case kTimedNoteOn:
      status = kStatusNoteOn;
      break;
    case kTimedWheel:
    case kTimedWheelReturn:
      status = kStatusPitchWheel;  // low seven bits first
      break;
    case kTimedProgram:
      status = kStatusProgramChange;
      break;
    case kTimedControl:
      status = kStatusController;
      break;
    default:
      return 1;
  }
  return WriteChannelEvent(writer, static_cast<uint8_t>(status | DataChannel(data)), data1, data2);
}

int WriteConductorEvent(const PerformContext* context, ChunkWriter* writer, uint64_t event) {
  uint32_t data = TimedData(event);
  switch (TimedKindOf(event)) {
    case kTimedTimeSignature: {
      uint8_t denominator = EffectiveDenominator(static_cast<uint8_t>(data));
      uint8_t power = 0;
      for (uint8_t d = denominator; (d & 1) == 0; d = static_cast<uint8_t>(d >> 1)) ++power;
      return WriteTimeSignature(writer, static_cast<uint8_t>(data >> 8), power,
                                static_cast<uint8_t>(96 / denominator), 8);
    }
    case kTimedMarker: {
      const char* text = TextOrEmpty(MarkerText(context->song, data));
      return WriteTextMetaEvent(writer, kMetaMarker, text, strlen(text));
    }
    case kTimedTempo:
      return WriteSetTempo(writer, data);
    default:
      return 1;
  }
}

}  // namespace

void OpenPerformanceChunk(PerformContext* context, ChunkWriter* writer, uint32_t index) {
  OpenChunkWriter(writer, &context->file->tracks[index], true, &context->budget);
}

void ClosePerformanceChunk(ChunkWriter* writer) {
  TrimChunkWriter(writer);
  CloseChunkWriter(writer);
}

void WriteConductorStart(PerformContext* context, ChunkWriter* writer) {
  uint32_t tempo = static_cast<uint32_t>(context->song->tempo);
  uint32_t microseconds = kDefaultTempoMicroseconds;
  if (tempo != 0) microseconds = std::min(TempoToMicroseconds(tempo), kSlowestTempo);
  uint32_t before = writer->length;
  if (!Written(context, writer, before, WriteSetTempo(writer, microseconds))) return;
  WriteText(context, writer, kMetaTrackName, context->song->info.title);
  UpdateLiveLimit(context);
}

void WriteTrackSetUp(PerformContext* context, ChunkWriter* writer, uint32_t index) {
  const Track* track = &context->song->tracks[index];
  if (!WriteText(context, writer, kMetaTrackName, track->name)) return;
  uint8_t channels[2];
  TrackChannels(track, channels);
  const MidiChannel* entry = TrackChannelEntry(context->song, track);
  if (entry != nullptr) {
    uint8_t program = static_cast<uint8_t>(entry->instrument & 0xFF);
    const uint8_t settings[6][2] = {
        {kMidiControllerChannelVolume, VolumeToController(entry->volume)},
        {kPan, SendLevel(entry->balance)},
        {kReverb, SendLevel(entry->reverb)},
        {kChorus, SendLevel(entry->chorus)},
        {kPhaser, SendLevel(entry->phaser)},
        {kTremolo, SendLevel(entry->tremolo)},
    };
    for (uint8_t channel : channels) {
      if (channel != kNoChannel && program < kProgramLimit &&
          !Program(context, writer, channel, program)) {
        return;
      }
    }
    for (const auto& setting : settings) {
      for (uint8_t channel : channels) {
        if (channel != kNoChannel && !Control(context, writer, channel, setting[0], setting[1])) {
          return;
        }
      }
    }
  }
  for (uint8_t channel : channels) {
    if (channel == kNoChannel) continue;
    if (!Control(context, writer, channel, kRpnHigh, 0) ||
        !Control(context, writer, channel, kRpnLow, 0) ||
        !Control(context, writer, channel, kDataEntryHigh, kBendRangeSemitones) ||
        !Control(context, writer, channel, kDataEntryLow, 0)) {
      return;
    }
  }
  UpdateLiveLimit(context);
}

void WriteTimedEvents(PerformContext* context, TimedList* list, ChunkWriter* writer,
                      bool conductor) {
  if (context->status != kPerformDone) return;
  SortTimedList(list);
  uint16_t wheel[16];
  for (uint16_t& value : wheel) value = kWheelCentre;
  uint64_t last = 0;
  // The chunk may grow to this length before the file passes maxBytes.
  uint32_t lengthBefore = writer->length;
  uint64_t lengthLimit = lengthBefore + (context->maxBytes - context->fileBytes);
  for (uint32_t i = 0; i < list->count; ++i) {
    uint64_t event = list->items[i];
    uint8_t kind = TimedKindOf(event);
    if (kind == kTimedNone) continue;
    if (!conductor && (kind == kTimedWheel || kind == kTimedWheelReturn)) {
      // Notes that share the effects channel may ask for the value it holds.
      uint32_t data = TimedData(event);
      uint16_t value = static_cast<uint16_t>(DataByte1(data) | DataByte2(data) << 7);
      uint8_t channel = DataChannel(data);
      if (wheel[channel] == value) continue;
      wheel[channel] = value;
      ++context->counts.wheelEvents;
    }
    uint64_t delta = TimedTick(event) - last;
    if (delta > kLongestDelta) {
      context->status = kPerformTooLarge;
      return;
    }
    writer->pendingDelta = static_cast<uint32_t>(delta);
    last = TimedTick(event);
    int ok = conductor ? WriteConductorEvent(context, writer, event) : WriteTrackEvent(writer, event);
    if (!ok) {
      context->status = context->budget.exceeded ? kPerformTooLarge : kPerformOutOfMemory;
      return;
    }
    if (writer->length > lengthLimit) {
      context->status = kPerformTooLarge;
      return;
    }
    if (!conductor && kind == kTimedNoteOn) ++context->counts.noteOns;
  }
  context->fileBytes += writer->length - lengthBefore;
  context->liveEvents -= list->live;
  list->count = list->live = 0;
  uint64_t delta = context->songEnd > last ? context->songEnd - last : 0;
  if (delta > kLongestDelta) {
    context->status = kPerformTooLarge;
    return;
  }
  writer->pendingDelta = static_cast<uint32_t>(delta);
  // The end of track at the pending delta, so the chunk lasts to the end of
  // the last measure played.
  uint32_t before = writer->length;
  Written(context, writer, before, WriteTextMetaEvent(writer, kMetaEndOfTrack, "", 0));
  UpdateLiveLimit(context);
}

}  // namespace Tolvenar
