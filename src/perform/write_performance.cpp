// Everything the performance writes into the chunks: the opening events of
// each chunk, then its timed events in tick order, then its end of track.
#include <cstdint>

#include "perform/perform_internal.h"
#include "midi/chunk_writer.h"

namespace Tolvenar {
namespace {

constexpr uint8_t kBendRangeSemitones = 12;

// Registered parameter 0 (pitch-bend range) through data entry.
constexpr uint8_t kRpnHigh = 101;
constexpr uint8_t kRpnLow = 100;
constexpr uint8_t kDataEntryHigh = 6;
constexpr uint8_t kDataEntryLow = 38;

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
  uint32_t before = writer->length;
  return Written(context, writer, before, WriteSongText(writer, type, text));
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

// The status byte of each kind of a track's timed events.
constexpr uint8_t kKindStatus[8] = {0,
                                    kStatusNoteOff,
                                    kStatusPitchWheel,  // a wheel's return to centre
                                    kStatusProgramChange,
                                    kStatusController,
                                    kStatusPitchWheel,
                                    kStatusNoteOn,
                                    0};

// A track's sorted events through one channel run, up to the chunk length
// lengthLimit; *last is the tick of the last one written. False with the
// status set when one cannot be written. The length is checked once, at the
// end: until then the chunk's block cannot outgrow the budget, which holds
// the same limit for all chunks together.
bool WriteTrackEvents(PerformContext* context, const TimedList* list, ChunkWriter* writer,
                      uint64_t lengthLimit, uint32_t* last) {
  uint16_t wheel[16];
  for (uint16_t& value : wheel) value = kWheelCentre;
  uint64_t noteOns = 0;
  uint64_t wheelEvents = 0;
  uint32_t lastTick = 0;
  bool written = true;
  ChannelRun run;
  OpenChannelRun(writer, &run);
  const uint64_t* items = list->items;
  const uint32_t count = list->count;
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t event = items[i];
    uint8_t kind = TimedKindOf(event);
    uint32_t data = TimedData(event);
    uint8_t channel = DataChannel(data);
    uint8_t data1 = DataByte1(data);
    uint8_t data2 = DataByte2(data);
    if (kind == kTimedWheel || kind == kTimedWheelReturn) {
      // Notes that share the effects channel may ask for the value it holds.
      uint16_t value = static_cast<uint16_t>(data1 | data2 << 7);
      if (wheel[channel] == value) continue;
      wheel[channel] = value;
      ++wheelEvents;
    } else if (kind == kTimedNoteOff) {
      data2 = kNoteOffVelocity;
    } else if (kind == kTimedNoteOn) {
      ++noteOns;
    } else if (kind == kTimedNone) {
      continue;
    }
    uint32_t tick = TimedTick(event);
    if (tick - lastTick > kMaxVariableLength) {
      context->status = kPerformTooLarge;
      written = false;
      break;
    }
    if (!PutChannelEvent(writer, &run, tick - lastTick,
                         static_cast<uint8_t>(kKindStatus[kind] | channel), data1, data2)) {
      context->status = context->budget.exceeded ? kPerformTooLarge : kPerformOutOfMemory;
      written = false;
      break;
    }
    lastTick = tick;
  }
  if (written && static_cast<uint64_t>(run.out - run.base) > lengthLimit) {
    context->status = kPerformTooLarge;
    written = false;
  }
  CloseChannelRun(writer, run);
  context->counts.noteOns += noteOns;
  context->counts.wheelEvents += wheelEvents;
  *last = lastTick;
  return written;
}

int WriteConductorEvent(const PerformContext* context, ChunkWriter* writer, uint64_t event) {
  uint32_t data = TimedData(event);
  switch (TimedKindOf(event)) {
    case kTimedTimeSignature: {
      uint8_t denominator = EffectiveDenominator(static_cast<uint8_t>(data));
      return WriteTimeSignature(writer, static_cast<uint8_t>(data >> 8), DenominatorPower(denominator),
                                ClocksPerClick(denominator), kThirtySecondsPerQuarter);
    }
    case kTimedMarker: {
      return WriteSongText(writer, kMetaMarker, MarkerText(context->song, data));
    }
    case kTimedTempo:
      return WriteSetTempo(writer, data);
    default:
      return 1;
  }
}

// Chunk 0's sorted events, as WriteTrackEvents.
bool WriteConductorEvents(PerformContext* context, const TimedList* list, ChunkWriter* writer,
                          uint64_t lengthLimit, uint32_t* last) {
  for (uint32_t i = 0; i < list->count; ++i) {
    uint64_t event = list->items[i];
    if (TimedKindOf(event) == kTimedNone) continue;
    uint32_t delta = TimedTick(event) - *last;
    if (delta > kMaxVariableLength) {
      context->status = kPerformTooLarge;
      return false;
    }
    writer->pendingDelta = delta;
    *last = TimedTick(event);
    if (!WriteConductorEvent(context, writer, event)) {
      context->status = context->budget.exceeded ? kPerformTooLarge : kPerformOutOfMemory;
      return false;
    }
    if (writer->length > lengthLimit) {
      context->status = kPerformTooLarge;
      return false;
    }
  }
  return true;
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
  uint32_t microseconds = tempo == 0 ? kDefaultTempoMicroseconds : SetTempoValue(tempo);
  uint32_t before = writer->length;
  if (!Written(context, writer, before, WriteSetTempo(writer, microseconds))) return;
  WriteText(context, writer, kMetaTrackName, context->song->info.title);
  UpdateLiveLimit(context);
}

void WriteTrackSetUp(PerformContext* context, ChunkWriter* writer, uint32_t index) {
  const Track* track = &context->song->tracks[index];
  if (!WriteText(context, writer, kMetaTrackName, track->name)) return;
  ChannelPair pair = TrackChannelPair(track);
  const uint8_t* channels = pair.channels;
  const MidiChannel* entry = TrackChannelEntry(context->song, track);
  if (entry != nullptr) {
    uint8_t program = static_cast<uint8_t>(entry->instrument & 0xFF);
    const uint8_t settings[6][2] = {
        {kMidiControllerChannelVolume, VolumeToController(entry->volume)},
        {kMidiControllerPan, SendLevel(entry->balance)},
        {kMidiControllerReverb, SendLevel(entry->reverb)},
        {kMidiControllerChorus, SendLevel(entry->chorus)},
        {kPhaserController, SendLevel(entry->phaser)},
        {kTremoloController, SendLevel(entry->tremolo)},
    };
    for (uint32_t i = 0; i < pair.count && program < kProgramLimit; ++i) {
      if (!Program(context, writer, channels[i], program)) return;
    }
    for (const auto& setting : settings) {
      for (uint32_t i = 0; i < pair.count; ++i) {
        if (!Control(context, writer, channels[i], setting[0], setting[1])) return;
      }
    }
  }
  for (uint32_t i = 0; i < pair.count; ++i) {
    if (!Control(context, writer, channels[i], kRpnHigh, 0) ||
        !Control(context, writer, channels[i], kRpnLow, 0) ||
        !Control(context, writer, channels[i], kDataEntryHigh, kBendRangeSemitones) ||
        !Control(context, writer, channels[i], kDataEntryLow, 0)) {
      return;
    }
  }
  UpdateLiveLimit(context);
}

void WriteTimedEvents(PerformContext* context, TimedList* list, ChunkWriter* writer,
                      bool conductor) {
  if (context->status != kPerformDone) return;
  SortTimedList(list);
  uint32_t last = 0;
  // The chunk may grow to this length before the file passes maxBytes.
  uint32_t lengthBefore = writer->length;
  uint64_t lengthLimit = lengthBefore + (context->maxBytes - context->fileBytes);
  if (conductor) {
    if (!WriteConductorEvents(context, list, writer, lengthLimit, &last)) return;
  } else if (!WriteTrackEvents(context, list, writer, lengthLimit, &last)) {
    return;
  }
  context->fileBytes += writer->length - lengthBefore;
  list->count = list->dropped = 0;
  uint64_t delta = context->songEnd > last ? context->songEnd - last : 0;
  if (delta > kMaxVariableLength) {
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
