// Reader of a beat's effects: two flags bytes, then tapping, the tremolo-bar
// curve, the stroke pair and the pick stroke as the flags say. Version 3
// has one flags byte, and its one tremolo-bar effect shares a field with
// tapping.
#include "song/song_internal.h"

namespace Tolvenar {

namespace {

constexpr uint8_t kTapSlapPop = 0x20;     // flags1
constexpr uint8_t kStroke = 0x40;         // flags1
constexpr uint8_t kPickStroke = 0x02;     // flags2
constexpr uint8_t kTremoloBar = 0x04;     // flags2
constexpr uint8_t kVersion3TremoloDip = 0;  // the kind byte of version 3's field

// The curve a version 4 file stores for a tremolo-bar dip of this depth:
// down to -depth halfway through the beat and back.
int AttachTremoloDip(BendCurve** slot, int32_t depth, SongReader* in) {
  BendCurve* curve = static_cast<BendCurve*>(NewRecord(in, sizeof(BendCurve)));
  if (!curve) return 0;
  *slot = curve;
  curve->points = static_cast<BendPoint*>(NewArray(in, 3, sizeof(BendPoint)));
  if (!curve->points) return 0;
  curve->type = 6;
  curve->value = depth;
  curve->pointCount = 3;
  curve->points[1].position = 30;
  // Negated as the file's int32 wraps, so even INT32_MIN has a value.
  curve->points[1].value = static_cast<int32_t>(0u - static_cast<uint32_t>(depth));
  curve->points[2].position = 60;
  return 1;
}

// One flags byte. Bit 0x20 is followed by a kind byte and an int32: kinds
// 1, 2 and 3 are tap, slap and pop (the int32 unused); kind 0 is a
// tremolo-bar dip of the int32's depth, which the records hold as version 4
// does, in flags2 and a curve.
int ReadVersion3BeatEffects(BeatEffects* effects, SongReader* in) {
  uint8_t flags;
  if (!ReadU8(in, &flags)) return 0;
  effects->flags1 = flags;
  if (flags & kTapSlapPop) {
    const uint8_t* field;
    if (!TakeBytes(in, 5, &field)) return 0;
    uint8_t kind = field[0];
    if (kind == kVersion3TremoloDip) {
      effects->flags1 = static_cast<uint8_t>(flags & ~kTapSlapPop);
      effects->flags2 = kTremoloBar;
      int32_t depth = static_cast<int32_t>(DecodeU32LE(field + 1));
      if (!AttachTremoloDip(&effects->tremoloBar, depth, in)) return 0;
    } else {
      effects->tapSlapPop = kind;
    }
  }
  return !(flags & kStroke) || ReadBytes(in, effects->stroke, sizeof effects->stroke);
}

}  // namespace

int LoadBeatEffects(BeatEffects** slot, SongReader* in) {
  BeatEffects* effects = static_cast<BeatEffects*>(NewRecord(in, sizeof(BeatEffects)));
  if (!effects) return 0;
  *slot = effects;
  if (ReadsVersion3(in)) return ReadVersion3BeatEffects(effects, in);
  const uint8_t* flags;
  if (!TakeBytes(in, 2, &flags)) return 0;
  effects->flags1 = flags[0];
  effects->flags2 = flags[1];
  if ((effects->flags1 & kTapSlapPop) && !ReadU8(in, &effects->tapSlapPop)) return 0;
  if ((effects->flags2 & kTremoloBar) && !LoadBendCurve(&effects->tremoloBar, in)) return 0;
  if (effects->flags1 & kStroke) {
    if (!ReadBytes(in, effects->stroke, sizeof effects->stroke)) return 0;
    // Version 5 stores the two stroke bytes the other way round.
    if (ReadsVersion5(in)) {
      uint8_t first = effects->stroke[0];
      effects->stroke[0] = effects->stroke[1];
      effects->stroke[1] = first;
    }
  }
  if ((effects->flags2 & kPickStroke) && !ReadU8(in, &effects->pickStroke)) return 0;
  return 1;
}

}  // namespace Tolvenar
