// The order in which measures play: repeats as the classic conversion takes
// them, alternate endings by pass, the musical directions, and each
// measure's length in ticks.
#include <cstring>

#include "perform/perform_internal.h"

namespace Tolvenar {
namespace {

bool BeginsRepeat(const FileStruct* song, uint32_t measure) {
  return measure < song->measureCount &&
         (song->measureHeaders[measure].flags & kMeasureBeginRepeat) != 0;
}

bool PlaysOnPass(uint32_t set, uint32_t pass) {
  if (set == 0) return true;
  return pass >= 1 && pass <= 32 && ((set >> (pass - 1)) & 1u) != 0;
}

void MoveForward(const FileStruct* song, MeasureWalk* walk, uint32_t measure) {
  walk->next = measure + 1;
  if (BeginsRepeat(song, walk->next)) walk->pass = 1;
}

// A da capo or dal segno sign: the sign it continues at (kDirectionCount:
// the first measure) and the sign it then waits for (kDirectionCount: none).
struct JumpSign {
  Direction sign;
  Direction target;
  Direction awaits;
};

constexpr JumpSign kJumpSigns[] = {
    {kDirectionDaCapo, kDirectionCount, kDirectionCount},
    {kDirectionDaCapoAlCoda, kDirectionCount, kDirectionDaCoda},
    {kDirectionDaCapoAlDoubleCoda, kDirectionCount, kDirectionDaDoubleCoda},
    {kDirectionDaCapoAlFine, kDirectionCount, kDirectionFine},
    {kDirectionDalSegno, kDirectionSegno, kDirectionCount},
    {kDirectionDalSegnoAlCoda, kDirectionSegno, kDirectionDaCoda},
    {kDirectionDalSegnoAlDoubleCoda, kDirectionSegno, kDirectionDaDoubleCoda},
    {kDirectionDalSegnoAlFine, kDirectionSegno, kDirectionFine},
    {kDirectionDalSegnoSegno, kDirectionSegnoSegno, kDirectionCount},
    {kDirectionDalSegnoSegnoAlCoda, kDirectionSegnoSegno, kDirectionDaCoda},
    {kDirectionDalSegnoSegnoAlDoubleCoda, kDirectionSegnoSegno, kDirectionDaDoubleCoda},
    {kDirectionDalSegnoSegnoAlFine, kDirectionSegnoSegno, kDirectionFine},
};

// The walk moves on from a played measure: to the next one, unless a
// direction there sends it elsewhere. Signs at one measure act in the
// file's order, the awaited one first.
void MoveOn(const PerformContext* context, MeasureWalk* walk, uint32_t measure) {
  const FileStruct* song = context->song;
  MoveForward(song, walk, measure);
  if (context->lastPasses == nullptr) return;
  const uint32_t* signs = context->signs;
  if (walk->awaiting != kDirectionCount && signs[walk->awaiting] == measure) {
    uint32_t awaited = walk->awaiting;
    walk->awaiting = kDirectionCount;
    if (awaited == kDirectionFine) {
      walk->next = song->measureCount;
      return;
    }
    uint32_t coda = signs[awaited == kDirectionDaCoda ? kDirectionCoda : kDirectionDoubleCoda];
    if (coda != kNoMeasure) walk->next = coda;
    return;
  }
  for (const JumpSign& jump : kJumpSigns) {
    uint32_t bit = 1u << jump.sign;
    if (signs[jump.sign] != measure || (walk->actedSigns & bit) != 0) continue;
    walk->actedSigns |= bit;
    uint32_t target = jump.target == kDirectionCount ? 0 : signs[jump.target];
    // A dal segno whose segno is missing has nowhere to go: it does nothing.
    if (target == kNoMeasure) continue;
    walk->next = target;
    walk->jumped = true;
    walk->awaiting = jump.awaits;
    return;
  }
}

}  // namespace

void FindLastPasses(const FileStruct* song, uint32_t* lastPasses) {
  uint32_t start = 0;
  while (start < song->measureCount) {
    uint32_t end = start + 1;
    while (end < song->measureCount && !BeginsRepeat(song, end)) ++end;
    // Every end-repeat of the section adds its passes to the first.
    uint32_t passes = 1;
    for (uint32_t m = start; m < end; ++m) {
      const MeasureHeader* header = &song->measureHeaders[m];
      if ((header->flags & kMeasureEndRepeat) != 0) passes += header->repeatCount;
    }
    for (uint32_t m = start; m < end; ++m) lastPasses[m] = passes;
    start = end;
  }
}

uint32_t SignatureTicks(const PerformContext* context, uint8_t numerator, uint8_t denominator) {
  return MeasureSixtyFourths(numerator, denominator) * context->ticksPerSixtyFourth;
}

void StartMeasureWalk(PerformContext* context, MeasureWalk* walk) {
  memset(walk, 0, sizeof *walk);
  walk->pass = 1;
  walk->awaiting = kDirectionCount;
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
    // and all (and its directions with it). After a jump every repeat plays
    // its last pass.
    uint32_t pass = walk->jumped ? context->lastPasses[m] : walk->pass;
    if (!PlaysOnPass(context->endingSets[m], pass)) {
      MoveForward(song, walk, m);
      continue;
    }
    if (context->mostMeasures != 0 && walk->played >= context->mostMeasures) return false;
    ++walk->played;
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
    if ((header->flags & kMeasureEndRepeat) != 0 && !walk->jumped &&
        context->repeatPasses[m] < header->repeatCount) {
      ++context->repeatPasses[m];
      walk->next = RepeatStart(song, m);
      ++walk->pass;
    } else {
      MoveOn(context, walk, m);
    }
    return true;
  }
  return false;
}

}  // namespace Tolvenar
