// Reader of a beat's effects: two flags bytes, then tapping, the tremolo-bar
// curve, the stroke pair and the pick stroke as the flags say.
#include "song/song_internal.h"

namespace Tolvenar {

int LoadBeatEffects(BeatEffects** slot, SongReader* in) {
  BeatEffects* effects = static_cast<BeatEffects*>(NewRecord(in, sizeof(BeatEffects)));
  if (!effects) return 0;
  *slot = effects;
  const uint8_t* flags;
  if (!TakeBytes(in, 2, &flags)) return 0;
  effects->flags1 = flags[0];
  effects->flags2 = flags[1];
  if ((effects->flags1 & 0x20) && !ReadU8(in, &effects->tapSlapPop)) return 0;
  if ((effects->flags2 & 0x04) && !LoadBendCurve(&effects->tremoloBar, in)) return 0;
  if (effects->flags1 & 0x40) {
    if (!ReadBytes(in, effects->stroke, sizeof effects->stroke)) return 0;
    // Version 5 stores the two stroke bytes the other way round.
    if (IsVersion5(in->format)) {
      uint8_t first = effects->stroke[0];
      effects->stroke[0] = effects->stroke[1];
      effects->stroke[1] = first;
    }
  }
  if ((effects->flags2 & 0x02) && !ReadU8(in, &effects->pickStroke)) return 0;
  return 1;
}

}  // namespace Tolvenar
