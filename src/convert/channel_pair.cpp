// The channel rules shared by track set-up and mix-table changes: the
// track's channel-table entry, the volume rule and the channel pair.
#include "convert/convert_internal.h"

namespace Tolvenar {
namespace {

constexpr int32_t kPortCount = 4;
constexpr int32_t kChannelCount = 16;

uint8_t ChannelIndex(int32_t oneBased) { return static_cast<uint8_t>(oneBased - 1); }

// The main channel first, then the effects channel when it differs. A
// channel outside 1..16 gets no event, so no status byte is ever corrupted.
template <typename Send>
void ForChannelPair(const Track* track, Send send) {
  if (IsValidOneBased(track->midiChannel, kChannelCount)) send(ChannelIndex(track->midiChannel));
  if (track->effectsMidiChannel != track->midiChannel &&
      IsValidOneBased(track->effectsMidiChannel, kChannelCount)) {
    send(ChannelIndex(track->effectsMidiChannel));
  }
}

}  // namespace

uint8_t VolumeToController(uint8_t volume) {
  uint8_t value = static_cast<uint8_t>(volume * 8);
  return value >= 128 ? 127 : value;
}

const MidiChannel* TrackChannelEntry(const FileStruct* song, const Track* track) {
  // A port or main channel outside the table means no entry: nothing is
  // read beyond it and the track gets no program or volume set-up.
  if (!IsValidOneBased(track->midiPort, kPortCount) ||
      !IsValidOneBased(track->midiChannel, kChannelCount)) {
    return nullptr;
  }
  return &song->midiChannels[track->midiPort - 1][track->midiChannel - 1];
}

void AddChannelPairProgram(MidiTrackChunk* chunk, ChunkRoom* room, const Track* track,
                           uint8_t program) {
  ForChannelPair(track, [&](uint8_t channel) { AppendProgramChange(chunk, room, channel, program); });
}

void AddChannelPairVolume(MidiTrackChunk* chunk, ChunkRoom* room, const Track* track,
                          uint8_t value) {
  ForChannelPair(track, [&](uint8_t channel) {
    AppendController(chunk, room, channel, kMidiControllerChannelVolume, value);
  });
}

}  // namespace Tolvenar
