// The pitch wheel of a sound: bends, tremolo bar, slides and vibrato summed
// in cents, sampled in small steps, against a bend range of 12 semitones.
#include <algorithm>

#include "perform/sound.h"

namespace Tolvenar {
namespace {

constexpr int32_t kCurvePositions = 60;
constexpr int32_t kCurveValueLimit = 2400;  // fiftieths of a semitone, four octaves
constexpr uint8_t kSlideShift = 1;
constexpr uint8_t kSlideLegato = 2;
constexpr uint8_t kSlideOutDown = 3;
constexpr uint8_t kSlideOutUp = 4;
constexpr uint8_t kSlideInFromAbove = 254;
constexpr uint8_t kSlideInFromBelow = 255;

int32_t Clamp(int64_t value, int32_t low, int32_t high) {
  return static_cast<int32_t>(value < low ? low : value > high ? high : value);
}

int32_t RampAt(const WheelRamp& ramp, uint64_t tick) {
  if (tick <= ramp.start || ramp.end <= ramp.start) return tick < ramp.end ? ramp.from : ramp.to;
  if (tick >= ramp.end) return ramp.to;
  int64_t span = static_cast<int64_t>(ramp.end - ramp.start);
  int64_t done = static_cast<int64_t>(tick - ramp.start);
  return static_cast<int32_t>(ramp.from + (int64_t{ramp.to} - ramp.from) * done / span);
}

bool HasPoints(const BendCurve* curve, uint64_t length) {
  return curve != nullptr && curve->pointCount != 0 && curve->points != nullptr && length != 0;
}

// A curve read at ticks that never go back: the points a tick has passed are
// not looked at again, so a segment's samples walk its points once.
struct CurveCursor {
  const BendPoint* points;  // null when the segment lacks the curve
  uint32_t pointCount;
  uint32_t next;            // the first point not yet passed
  uint64_t start;
  uint64_t length;
  int64_t previousPosition;
  int64_t previousValue;
};

CurveCursor StartCurve(const BendCurve* curve, uint64_t start, uint64_t length) {
  CurveCursor cursor = {};
  if (!HasPoints(curve, length)) return cursor;
  cursor.points = curve->points;
  cursor.pointCount = curve->pointCount;
  cursor.next = 1;
  cursor.start = start;
  cursor.length = length;
  cursor.previousPosition = Clamp(curve->points[0].position, 0, kCurvePositions);
  cursor.previousValue = Clamp(curve->points[0].value, -kCurveValueLimit, kCurveValueLimit);
  return cursor;
}

// A curve's points run over positions 0..60 of `length` ticks from `start`;
// values are fiftieths of a semitone. Straight lines between points, the
// first and last values held outside them; a point placed before the one in
// force is passed over.
int32_t CurveAt(CurveCursor* cursor, uint64_t tick) {
  if (cursor->points == nullptr) return 0;
  // Position x 60 scaled by the length: compare positions as p x length.
  uint64_t since = tick > cursor->start ? tick - cursor->start : 0;  // a grace before the note's start
  if (since > cursor->length) since = cursor->length;
  int64_t at = static_cast<int64_t>(since * kCurvePositions);
  int64_t len = static_cast<int64_t>(cursor->length);
  // Holds only before the first point: a point once in force lies behind
  // every later `at`.
  if (at <= cursor->previousPosition * len) return static_cast<int32_t>(cursor->previousValue * 2);
  for (; cursor->next < cursor->pointCount; ++cursor->next) {
    const BendPoint& point = cursor->points[cursor->next];
    int64_t position = Clamp(point.position, 0, kCurvePositions);
    int64_t value = Clamp(point.value, -kCurveValueLimit, kCurveValueLimit);
    if (at <= position * len && position > cursor->previousPosition) {
      int64_t span = (position - cursor->previousPosition) * len;
      int64_t done = at - cursor->previousPosition * len;
      return static_cast<int32_t>(cursor->previousValue * 2 +
                                  (value - cursor->previousValue) * 2 * done / span);
    }
    if (position >= cursor->previousPosition) {
      cursor->previousPosition = position;
      cursor->previousValue = value;
    }
  }
  return static_cast<int32_t>(cursor->previousValue * 2);
}

// A triangle wave, one cycle of `period` ticks, starting upwards; `phase`
// is the tick within the cycle. 32-bit: the amplitude is at most 50 cents
// and the period at most a sixteenth of 4080 ticks.
int32_t VibratoAt(int32_t amplitude, uint32_t phase, uint32_t period) {
  int32_t x = static_cast<int32_t>(phase) * 4;
  int32_t p = static_cast<int32_t>(period);
  if (x < p) return amplitude * x / p;
  if (x < 3 * p) return amplitude * (2 * p - x) / p;
  return amplitude * (x - 4 * p) / p;
}

uint16_t CentsToWheel(int64_t cents) {
  int64_t scaled = cents * 8192;
  int64_t offset = (scaled >= 0 ? scaled + kOctaveCents / 2 : scaled - kOctaveCents / 2) /
                   kOctaveCents;
  return static_cast<uint16_t>(Clamp(kWheelCentre + offset, 0, 0x3FFF));
}

// The slide of the segment as a ramp; nextPitch -1 when no note follows.
WheelRamp SlideRamp(const PerformContext* context, const Sound* sound, int32_t nextPitch) {
  const WheelSegment& segment = sound->segment;
  WheelRamp ramp = {0, 0, segment.from, segment.from};
  uint64_t length = segment.to - segment.from;
  uint64_t lastQuarter = segment.to - length / 4;
  switch (segment.slide) {
    case kSlideShift:
    case kSlideLegato:
      if (nextPitch >= 0) {
        int32_t target = (nextPitch - sound->pitch) * 100 - sound->offset;
        ramp = {0, target, lastQuarter, segment.to};
      }
      break;
    case kSlideOutDown:
      ramp = {0, -kOctaveCents, lastQuarter, segment.to};
      break;
    case kSlideOutUp:
      ramp = {0, kOctaveCents, lastQuarter, segment.to};
      break;
    case kSlideInFromBelow:
    case kSlideInFromAbove: {
      uint64_t sixteenth = context->ticksPerQuarter / 4;
      uint64_t glide = length < sixteenth ? length : sixteenth;
      int32_t from = segment.slide == kSlideInFromBelow ? -kOctaveCents : kOctaveCents;
      ramp = {from, 0, segment.from, segment.from + glide};
      break;
    }
    default:
      break;
  }
  return ramp;
}

void AddWheel(PerformContext* context, Sound* sound, uint64_t tick, uint8_t kind, uint16_t value) {
  AddTimed(context, &context->events, tick, kind,
           ChannelData(sound->channel, static_cast<uint8_t>(value & 0x7F),
                       static_cast<uint8_t>(value >> 7)));
  sound->lastWheel = value;
}

// A vibrato over a held pitch: the wheel's values come round again whenever
// the vibrato's phase does (every six samples at most divisions), so one
// round of them is worked out and then replayed. A round longer than the
// table is worked out sample by sample.
void WriteVibratoWheel(PerformContext* context, Sound* sound, int64_t held, uint64_t first,
                       uint32_t step, uint32_t period) {
  constexpr uint32_t kRoundLimit = 32;
  const WheelSegment& segment = sound->segment;
  uint16_t roundValues[kRoundLimit];
  uint32_t worked = 0;       // values of the first round stored so far
  uint32_t roundLength = 0;  // known once the phase is back where it started
  uint32_t replayed = 0;
  uint32_t firstPhase = static_cast<uint32_t>((first - segment.from) % period);
  uint32_t phase = firstPhase;
  for (uint64_t tick = first; tick < segment.to; tick += step) {
    uint16_t value;
    if (roundLength != 0) {
      value = roundValues[replayed];
      if (++replayed == roundLength) replayed = 0;
    } else {
      value = CentsToWheel(held + VibratoAt(segment.vibrato, phase, period));
      phase += step;
      while (phase >= period) phase -= period;
      if (worked < kRoundLimit) {
        roundValues[worked++] = value;
        if (phase == firstPhase) roundLength = worked;
      }
    }
    if (value != sound->lastWheel) AddWheel(context, sound, tick, kTimedWheel, value);
  }
}

}  // namespace

void WriteSegmentWheel(PerformContext* context, Sound* sound, int32_t nextPitch, bool last) {
  if (sound->hasSegment) {
    const WheelSegment& segment = sound->segment;
    WheelRamp slide = SlideRamp(context, sound, nextPitch);
    uint32_t period = context->ticksPerQuarter / 4;
    // Past the last glide and curve point the value holds (vibrato aside):
    // sampling stops one step after that.
    uint64_t settled = segment.to;
    if (segment.vibrato == 0) {
      settled = segment.from;
      if (segment.base.from != segment.base.to) settled = std::max(settled, segment.base.end);
      if (slide.from != slide.to) settled = std::max(settled, slide.end);
      if (segment.bend != nullptr) settled = std::max(settled, segment.bendStart + segment.bendLength);
      if (segment.bar != nullptr) settled = std::max(settled, segment.barStart + segment.barLength);
    }
    // Steps of at most 20 ticks at 480 a quarter. A vibrato is sampled six
    // times a cycle, half a step in, so that two samples fall on its peaks.
    uint32_t step = context->ticksPerQuarter / 24;
    if (step == 0) step = 1;
    uint64_t first = segment.from + (segment.vibrato != 0 ? step / 2 : 0);
    // Only the parts the segment has are summed at each sample.
    CurveCursor bend = StartCurve(segment.bend, segment.bendStart, segment.bendLength);
    CurveCursor bar = StartCurve(segment.bar, segment.barStart, segment.barLength);
    if (segment.vibrato != 0 && first < segment.to) {
      // The wheel's value where the segment starts, before the first sample.
      uint16_t value = CentsToWheel(int64_t{RampAt(segment.base, segment.from)} +
                                    RampAt(slide, segment.from) + CurveAt(&bend, segment.from) +
                                    CurveAt(&bar, segment.from));
      if (value != sound->lastWheel) AddWheel(context, sound, segment.from, kTimedWheel, value);
    }
    // Held ramps (most segments: no glide) are summed once.
    bool baseHeld = segment.base.from == segment.base.to;
    bool slideHeld = slide.from == slide.to;
    int64_t held = (baseHeld ? segment.base.from : 0) + (slideHeld ? slide.from : 0);
    // Most wheel samples are of a vibrato with nothing else moving.
    if (segment.vibrato != 0 && period != 0 && baseHeld && slideHeld && bend.points == nullptr &&
        bar.points == nullptr) {
      WriteVibratoWheel(context, sound, held, first, step, period);
    } else {
      // The vibrato's place in its cycle, moved on by one step each sample.
      uint32_t phase = period != 0 ? static_cast<uint32_t>((first - segment.from) % period) : 0;
      for (uint64_t tick = first; tick < segment.to; tick += step) {
        int64_t cents = held;
        if (!baseHeld) cents += RampAt(segment.base, tick);
        if (!slideHeld) cents += RampAt(slide, tick);
        if (bend.points != nullptr) cents += CurveAt(&bend, tick);
        if (bar.points != nullptr) cents += CurveAt(&bar, tick);
        if (segment.vibrato != 0 && period != 0) {
          cents += VibratoAt(segment.vibrato, phase, period);
          phase += step;
          while (phase >= period) phase -= period;
        }
        uint16_t value = CentsToWheel(cents);
        if (value != sound->lastWheel) AddWheel(context, sound, tick, kTimedWheel, value);
        if (tick >= settled) break;
      }
    }
    sound->hasSegment = false;
  }
  if (last && sound->lastWheel != kWheelCentre) {
    AddWheel(context, sound, sound->end, kTimedWheelReturn, kWheelCentre);
  }
}

}  // namespace Tolvenar
