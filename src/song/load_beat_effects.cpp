// Reader of a beat's effects: two flags bytes, then tapping, the tremolo-bar
// curve, the stroke pair and the pick stroke as the flags say.
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

static int ReadBeatEffectsFields(BeatEffects* effects, FILE* stream) {
  uint8_t flags[2];
  if (!ReadBytes(stream, flags, sizeof flags)) return 0;
  effects->flags1 = flags[0];
  effects->flags2 = flags[1];
  if ((effects->flags1 & 0x20) && !ReadU8(stream, &effects->tapSlapPop)) return 0;
  if (effects->flags2 & 0x04) {
    effects->tremoloBar = LoadBendCurve(stream);
    if (!effects->tremoloBar) return 0;
  }
  if ((effects->flags1 & 0x40) && !ReadBytes(stream, effects->stroke, sizeof effects->stroke))
    return 0;
  if ((effects->flags2 & 0x02) && !ReadU8(stream, &effects->pickStroke)) return 0;
  return 1;
}

BeatEffects* LoadBeatEffects(FILE* stream) {
  BeatEffects* effects = static_cast<BeatEffects*>(calloc(1, sizeof(BeatEffects)));
  if (!effects) return nullptr;
  if (!ReadBeatEffectsFields(effects, stream)) {
    FreeBeatEffects(&effects);
    return nullptr;
  }
  return effects;
}

}  // namespace Tolvenar
