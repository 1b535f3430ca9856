// Everything the performance writes into the chunks: the opening events of
// each chunk, then its timed events in tick order, then its end of track.
#include <algorithm>
#include <cstdint>

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

// Counts the appended event's bytes against the limit; false (with the
// status set) when the append failed or the file has grown past it.
bool Appended(PerformContext* context, MidiTrackChunk* chunk, uint32_t lengthBefore, int ok) {
  if (context->status != kPerformDone) return false;
  if (!ok) {
    context->status = kPerformOutOfMemory;
    return false;
  }
  context->fileBytes += chunk->length - lengthBefore;
  if (context->fileBytes > context->maxBytes) {
    context->status = kPerformTooLarge;
    return false;
  }
  return true;
}

bool Control(PerformContext* context, MidiTrackChunk* chunk, uint8_t channel, uint8_t controller,
             uint8_t value) {
  uint32_t before = chunk->length;
  return Appended(context, chunk, before,
                  AddEventController(chunk, channel, static_cast<MidiController>(controller), value));
}

bool Program(PerformContext* context, MidiTrackChunk* chunk, uint8_t channel, uint8_t program) {
  uint32_t before = chunk->length;
  return Appended(context, chunk, before, AddEventProgramChange(chunk, channel, program));
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

bool WriteEvent(PerformContext* context, MidiTrackChunk* chunk, uint64_t event) {
  uint32_t before = chunk->length;
  uint32_t data = TimedData(event);
  uint8_t channel = DataChannel(data);
  int ok = 0;
  switch (TimedKindOf(event)) {
    case kTimedNoteOff:
      ok = AddEventNoteOff(chunk, channel, DataByte1(data), kNoteOffVelocityByte);
      break;
    case kTimedNoteOn:
      ok = AddEventNoteOn(chunk, channel, DataByte1(data), DataByte2(data));
      break;
    case kTimedWheel:
    case kTimedWheelReturn:
      ok = AddEventPitchWheel(chunk, channel,
                              static_cast<uint16_t>(DataByte1(data) | DataByte2(data) << 7));
      break;
    case kTimedProgram:
      ok = AddEventProgramChange(chunk, channel, DataByte1(data));
      break;
    case kTimedControl:
      ok = AddEventController(chunk, channel, static_cast<MidiController>(DataByte1(data)),
                              DataByte2(data));
      break;
    default:
      return true;
  }
  return Appended(context, chunk, before, ok);
}

bool WriteConductorEvent(PerformContext* context, MidiTrackChunk* chunk, uint64_t event) {
  uint32_t before = chunk->length;
  uint32_t data = TimedData(event);
  int ok = 0;
  switch (TimedKindOf(event)) {
    case kTimedTimeSignature: {
      uint8_t denominator = EffectiveDenominator(static_cast<uint8_t>(data));
      uint8_t power = 0;
      for (uint8_t d = denominator; (d & 1) == 0; d = static_cast<uint8_t>(d >> 1)) ++power;
      ok = AddMetaEventTimeSignature(chunk, static_cast<uint8_t>(data >> 8), power,
                                     static_cast<uint8_t>(96 / denominator), 8);
      break;
    }
    case kTimedMarker:
      ok = AddMetaEventMarker(chunk, TextOrEmpty(MarkerText(context->song, data)));
      break;
    case kTimedTempo:
      ok = AddMetaEventSetTempo(chunk, data);
      break;
    default:
      return true;
  }
  return Appended(context, chunk, before, ok);
}

}  // namespace

void WriteConductorStart(PerformContext* context) {
  MidiTrackChunk* chunk = &context->file->tracks[0];
  uint32_t tempo = static_cast<uint32_t>(context->song->tempo);
  uint32_t microseconds = kDefaultTempoMicroseconds;
  if (tempo != 0) microseconds = std::min(TempoToMicroseconds(tempo), kSlowestTempo);
  uint32_t before = chunk->length;
  if (!Appended(context, chunk, before, AddMetaEventSetTempo(chunk, microseconds))) return;
  before = chunk->length;
  Appended(context, chunk, before,
           AddMetaEventTrackName(chunk, TextOrEmpty(context->song->info.title)));
  UpdateLiveLimit(context);
}

void WriteTrackSetUp(PerformContext* context, uint32_t index) {
  const Track* track = &context->song->tracks[index];
  MidiTrackChunk* chunk = &context->file->tracks[index + 1];
  uint32_t before = chunk->length;
  if (!Appended(context, chunk, before, AddMetaEventTrackName(chunk, TextOrEmpty(track->name)))) {
    return;
  }
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
          !Program(context, chunk, channel, program)) {
        return;
      }
    }
    for (const auto& setting : settings) {
      for (uint8_t channel : channels) {
        if (channel != kNoChannel && !Control(context, chunk, channel, setting[0], setting[1])) {
          return;
        }
      }
    }
  }
  for (uint8_t channel : channels) {
    if (channel == kNoChannel) continue;
    if (!Control(context, chunk, channel, kRpnHigh, 0) ||
        !Control(context, chunk, channel, kRpnLow, 0) ||
        !Control(context, chunk, channel, kDataEntryHigh, kBendRangeSemitones) ||
        !Control(context, chunk, channel, kDataEntryLow, 0)) {
      return;
    }
  }
  UpdateLiveLimit(context);
}

void WriteTimedEvents(PerformContext* context, TimedList* list, uint32_t index) {
  if (context->status != kPerformDone) return;
  MidiTrackChunk* chunk = &context->file->tracks[index];
  SortTimedList(list);
  uint16_t wheel[16];
  for (uint16_t& value : wheel) value = kWheelCentre;
  uint64_t last = 0;
  for (uint32_t i = 0; i < list->count; ++i) {
    uint64_t event = list->items[i];
    uint8_t kind = TimedKindOf(event);
    if (kind == kTimedNone) continue;
    if (index != 0 && (kind == kTimedWheel || kind == kTimedWheelReturn)) {
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
    chunk->pendingDelta = static_cast<uint32_t>(delta);
    last = TimedTick(event);
    bool ok = index == 0 ? WriteConductorEvent(context, chunk, event)
                         : WriteEvent(context, chunk, event);
    if (!ok) return;
    if (index != 0 && kind == kTimedNoteOn) ++context->counts.noteOns;
  }
  context->liveEvents -= list->live;
  list->count = list->live = 0;
  uint64_t delta = context->songEnd > last ? context->songEnd - last : 0;
  if (delta > kLongestDelta) {
    context->status = kPerformTooLarge;
    return;
  }
  chunk->pendingDelta = static_cast<uint32_t>(delta);
  uint32_t before = chunk->length;
  // The end of track at the pending delta, so the chunk lasts to the end of
  // the last measure played.
  Appended(context, chunk, before, AddTextMetaEvent(chunk, kMetaEndOfTrack, "", 0));
  UpdateLiveLimit(context);
}

}  // namespace Tolvenar
