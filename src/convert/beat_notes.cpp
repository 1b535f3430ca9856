// The note plan of a track: channel, strings examined and tuning.
#include "convert/beat_notes.h"

namespace Tolvenar {
namespace {

constexpr int32_t kChannelCount = 16;
constexpr uint8_t kStatusNoteOff = 0x80;
constexpr uint8_t kStatusNoteOn = 0x90;

}  // namespace

// Note events go to the main channel only; a track whose channel lies
// outside 1..16 plays nothing, nor one without strings.
void PlanNotes(const ConvertContext& context, uint32_t track, NotePlan* plan) {
  const Track* t = &context.song->tracks[track];
  plan->chunk = &context.file->tracks[track + 1];
  plan->room = RoomOf(context, track + 1);
  bool plays = IsValidOneBased(t->midiChannel, kChannelCount);
  uint8_t channel = static_cast<uint8_t>(plays ? t->midiChannel - 1 : 0);
  plan->offStatus = static_cast<uint8_t>(kStatusNoteOff | channel);
  plan->onStatus = static_cast<uint8_t>(kStatusNoteOn | channel);
  uint32_t strings = static_cast<uint32_t>(t->stringCount);
  uint32_t slots = strings < kSlotCount ? strings : kSlotCount;
  plan->slotMask = static_cast<uint8_t>(plays ? (1u << slots) - 1 : 0);
  plan->tuning = t->tuning;
}

}  // namespace Tolvenar
