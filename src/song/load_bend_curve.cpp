// Reader of a bend curve: type, value, point count, then 9-byte points.
#include "song/song_internal.h"

namespace Tolvenar {

static_assert(sizeof(BendPoint) == kBendPointBytes, "points are read in file layout");

int LoadBendCurve(BendCurve** slot, SongReader* in) {
  BendCurve* curve = static_cast<BendCurve*>(NewRecord(in, sizeof(BendCurve)));
  if (!curve) return 0;
  *slot = curve;
  if (!ReadU8(in, &curve->type) || !ReadI32LE(in, &curve->value) || !ReadU32LE(in, &curve->pointCount))
    return 0;
  // A count the rest of the input cannot back would fail at the read;
  // fail before allocating for it.
  if (!InputCanHold(in, curve->pointCount, kBendPointBytes)) return 0;
  curve->points = static_cast<BendPoint*>(NewArray(in, curve->pointCount, sizeof(BendPoint)));
  if (!curve->points ||
      !ReadBytes(in, curve->points, static_cast<size_t>(curve->pointCount) * kBendPointBytes))
    return 0;
  // The points arrived as file bytes; make their integers native.
  for (uint32_t i = 0; i < curve->pointCount; ++i) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&curve->points[i]);
    uint32_t position = DecodeU32LE(bytes);
    uint32_t value = DecodeU32LE(bytes + 4);
    curve->points[i].position = static_cast<int32_t>(position);
    curve->points[i].value = static_cast<int32_t>(value);
  }
  return 1;
}

}  // namespace Tolvenar
