// The channel rules: the track's channel-table entry, the volume rule and
// the channel pair.
#include "convert/song_rules.h"

namespace Tolvenar {

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

ChannelPair TrackChannelPair(const Track* track) {
  ChannelPair pair = {{0, 0}, 0};
  if (IsValidOneBased(track->midiChannel, kChannelCount)) {
    pair.channels[pair.count++] = static_cast<uint8_t>(track->midiChannel - 1);
  }
  if (track->effectsMidiChannel != track->midiChannel &&
      IsValidOneBased(track->effectsMidiChannel, kChannelCount)) {
    pair.channels[pair.count++] = static_cast<uint8_t>(track->effectsMidiChannel - 1);
  }
  return pair;
}

}  // namespace Tolvenar
