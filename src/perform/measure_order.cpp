// The order in which measures play: repeats as the classic conversion takes
// them, alternate endings by pass, and each measure's length in ticks.
#include <cstring>

#include "perform/perform_internal.h"

namespace Tolvenar {
namespace {

bool BeginsRepeat(const FileStruct* song, uint32_t measure) {
  return measure < song->measureCount &&
         (song->measureHeaders[measure].flags & kMeasureBeginRepeat) != 0;
}

// The nearest begin-repeat at or before the measure, else the first measure.
uint32_t RepeatStart(const FileStruct* song, uint32_t measure) {
  for (uint32_t m = measure + 1; m-- > 0;) {
    if (BeginsRepeat(song, m)) return m;
  }
  return 0;
}

bool PlaysOnPass(uint32_t set, uint32_t pass) {
  if (set == 0) return true;
  return pass >= 1 && pass <= 32 && ((set >> (pass - 1)) & 1u) != 0;
}

void MoveForward(const FileStruct* song, MeasureWalk* walk, uint32_t measure) {
  walk->next = measure + 1;
  if (BeginsRepeat(song, walk->next)) walk->pass = 1;
}

}  // namespace

uint32_t SignatureTicks(const PerformContext* context, uint8_t numerator, uint8_t denominator) {
  uint32_t sixtyFourths = numerator * 64u / EffectiveDenominator(denominator);
  return sixtyFourths * context->ticksPerSixtyFourth;
}

void StartMeasureWalk(PerformContext* context, MeasureWalk* walk) {
  memset(walk, 0, sizeof *walk);
  walk->pass = 1;
  if (context->song->measureCount > 0) {
    memset(context->repeatPasses, 0, context->song->measureCount);
  }
}

bool NextMeasure(PerformContext* context, MeasureWalk* walk) {
  const FileStruct* song = context->song;
  while (walk->next < song->measureCount) {
    uint32_t m = walk->next;
    const MeasureHeader* header = &song->measureHeaders[m];
    // A measure of an ending this pass does not take is left out, end-repeat
    // and all.
    if (!PlaysOnPass(context->endingSets[m], walk->pass)) {
      MoveForward(song, walk, m);
      continue;
    }
    bool hasNumerator = (header->flags & kMeasureNumerator) != 0;
    bool hasDenominator = (header->flags & kMeasureDenominator) != 0;
    walk->signatureChanged = (hasNumerator && header->keyNumerator != walk->numerator) ||
                             (hasDenominator && header->keyDenominator != walk->denominator);
    if (hasNumerator) walk->numerator = header->keyNumerator;
    if (hasDenominator) walk->denominator = header->keyDenominator;
    uint32_t length = SignatureTicks(context, walk->numerator, walk->denominator);
    if (context->contentTicks[m] > length) length = context->contentTicks[m];
    walk->measure = m;
    walk->start = walk->tick;
    walk->length = length;
    walk->tick += length;
    if (walk->tick > kMaxTick) {
      context->status = kPerformTooLarge;
      return false;
    }
    if ((header->flags & kMeasureEndRepeat) != 0 &&
        context->repeatPasses[m] < header->repeatCount) {
      ++context->repeatPasses[m];
      walk->next = RepeatStart(song, m);
      ++walk->pass;
    } else {
      MoveForward(song, walk, m);
    }
    return true;
  }
  return false;
}

}  // namespace Tolvenar
