// How many ticks a beat lasts: note value, dot, tuplet and swing.
#include "convert/song_rules.h"

namespace Tolvenar {
namespace {

// Tuplet n fits n notes into the time of the largest power of two below n.
int64_t ApplyTuplet(int64_t length, int32_t tuplet) {
  switch (tuplet) {
    case 3:
      return 2 * length / 3;
    case 5:
    case 6:
    case 7:
      return 4 * length / tuplet;
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
      return 8 * length / tuplet;
    default:
      return length;
  }
}

// Sixty-fourths from the cell's start to beat `index`, counting plain
// lengths; only its position within a quarter note matters, so it wraps.
uint32_t PlainPosition(const TrackMeasure* cell, uint32_t index) {
  uint32_t position = 0;
  for (uint32_t i = 0; i < index; ++i) position += PlainLength(&cell->beats[i]);
  return position;
}

}  // namespace

int32_t ShapedBeatLength(const Beat* beat, uint32_t position, uint32_t ticksPerSixtyFourth,
                         Swing swing) {
  int64_t length = static_cast<int64_t>(ticksPerSixtyFourth) * PlainLength(beat);
  bool dotted = (beat->flags & kBeatDotted) != 0;
  bool tuplet = (beat->flags & kBeatTuplet) != 0;
  if (dotted) length += length / 2;
  if (tuplet) length = ApplyTuplet(length, beat->tuplet);
  if (beat->duration == SwungDuration(swing) && !dotted && !tuplet) {
    // A swung pair fills the time of two plain notes, the first taking three
    // quarters of it in the classic conversion and two thirds as played.
    int64_t shift = swing == kSwingEighthsClassic ? length / 2 : length / 3;
    uint32_t pair = 2 * PlainLength(beat);
    if (position % pair == 0) {
      length += shift;  // the on-beat note of a swung pair
    } else if (position % (pair / 2) == 0) {
      length -= shift;  // the off-beat note
    }
  }
  // At most 255 x 64 x 3 / 2 ticks, well inside int32.
  return static_cast<int32_t>(length);
}

int32_t BeatLength(const TrackMeasure* cell, uint32_t index, uint32_t ticksPerSixtyFourth,
                   Swing swing) {
  const Beat* beat = &cell->beats[index];
  return BeatLengthAt(beat, PlainLength(beat), PlainPosition(cell, index), ticksPerSixtyFourth,
                      swing);
}

}  // namespace Tolvenar
