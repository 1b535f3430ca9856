// The note plan of a track: channel, strings examined and tuning.
#include "convert/beat_notes.h"

#include "midi/chunk_writer.h"

namespace Tolvenar {

// Note events go to the main channel only; a track whose channel lies
// outside 1..16 plays nothing, nor one without strings.
void PlanNotes(const Track* track, NotePlan* plan) {
  bool plays = IsValidOneBased(track->midiChannel, kChannelCount);
  uint8_t channel = static_cast<uint8_t>(plays ? track->midiChannel - 1 : 0);
  plan->offStatus = static_cast<uint8_t>(kStatusNoteOff | channel);
  plan->onStatus = static_cast<uint8_t>(kStatusNoteOn | channel);
  uint32_t strings = static_cast<uint32_t>(track->stringCount);
  uint32_t slots = strings < kSlotCount ? strings : kSlotCount;
  plan->slotMask = static_cast<uint8_t>(plays ? (1u << slots) - 1 : 0);
  plan->tuning = track->tuning;
}

}  // namespace Tolvenar
