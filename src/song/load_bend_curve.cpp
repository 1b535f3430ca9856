// Reader of a bend curve: type, value, point count, then 9-byte points.
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

static_assert(sizeof(BendPoint) == kBendPointBytes, "points are read in file layout");

BendCurve* LoadBendCurve(FILE* stream) {
  BendCurve* curve = static_cast<BendCurve*>(calloc(1, sizeof(BendCurve)));
  if (!curve) return nullptr;
  if (!ReadU8(stream, &curve->type) || !ReadI32LE(stream, &curve->value) ||
      !ReadU32LE(stream, &curve->pointCount)) {
    FreeBendCurve(&curve);
    return nullptr;
  }
  // A count the rest of the stream cannot back would fail at the read;
  // fail before allocating for it.
  if (!StreamCanHold(stream, curve->pointCount, kBendPointBytes)) {
    FreeBendCurve(&curve);
    return nullptr;
  }
  curve->points = static_cast<BendPoint*>(AllocArray(curve->pointCount, sizeof(BendPoint)));
  if (!curve->points ||
      !ReadBytes(stream, curve->points, static_cast<size_t>(curve->pointCount) * kBendPointBytes)) {
    FreeBendCurve(&curve);
    return nullptr;
  }
  // The points arrived as file bytes; make their integers native.
  for (uint32_t i = 0; i < curve->pointCount; ++i) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&curve->points[i]);
    uint32_t position = DecodeU32LE(bytes);
    uint32_t value = DecodeU32LE(bytes + 4);
    curve->points[i].position = static_cast<int32_t>(position);
    curve->points[i].value = static_cast<int32_t>(value);
  }
  return curve;
}

}  // namespace Tolvenar
