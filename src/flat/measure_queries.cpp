// Flat queries on one measure header: its flags, bytes and marker.
#include <cstring>

#include "orlix/orlix.h"

using Tolvenar::MeasureHeader;

namespace {

const MeasureHeader* MeasureAt(unsigned int measure) {
  if (!theFileStruct || !theFileStruct->measureHeaders) return nullptr;
  if (measure >= theFileStruct->measureCount) return nullptr;
  return &theFileStruct->measureHeaders[measure];
}

int FlagOf(unsigned int measure, uint8_t bit) {
  const MeasureHeader* header = MeasureAt(measure);
  return header && (header->flags & bit) ? 1 : 0;
}

int ByteOf(unsigned int measure, uint8_t MeasureHeader::*field) {
  const MeasureHeader* header = MeasureAt(measure);
  return header ? header->*field : 0;
}

}  // namespace

int ORLIX_IsMeasureKeyNumeratorPresent(unsigned int measure) {
  return FlagOf(measure, Tolvenar::kMeasureNumerator);
}
int ORLIX_IsMeasureKeyDenominatorPresent(unsigned int measure) {
  return FlagOf(measure, Tolvenar::kMeasureDenominator);
}
int ORLIX_IsMeasureBeginRepeatPresent(unsigned int measure) {
  return FlagOf(measure, Tolvenar::kMeasureBeginRepeat);
}
int ORLIX_IsMeasureEndRepeatPresent(unsigned int measure) {
  return FlagOf(measure, Tolvenar::kMeasureEndRepeat);
}
int ORLIX_IsMeasureMarkerPresent(unsigned int measure) {
  return FlagOf(measure, Tolvenar::kMeasureMarker);
}
int ORLIX_IsMeasureTonalityPresent(unsigned int measure) {
  return FlagOf(measure, Tolvenar::kMeasureTonality);
}
int ORLIX_IsMeasureDoubleBarPresent(unsigned int measure) {
  return FlagOf(measure, Tolvenar::kMeasureDoubleBar);
}

int ORLIX_GetMeasureKeyNumerator(unsigned int measure) {
  return ByteOf(measure, &MeasureHeader::keyNumerator);
}
int ORLIX_GetMeasureKeyDenominator(unsigned int measure) {
  return ByteOf(measure, &MeasureHeader::keyDenominator);
}
int ORLIX_GetMeasureRepeatCount(unsigned int measure) {
  return ByteOf(measure, &MeasureHeader::repeatCount);
}
int ORLIX_GetMeasureAltEndingCount(unsigned int measure) {
  return ByteOf(measure, &MeasureHeader::altEndingCount);
}
int ORLIX_GetMeasureTonality(unsigned int measure) {
  return ByteOf(measure, &MeasureHeader::tonality);
}

const char* ORLIX_GetMeasureMarkerText(unsigned int measure) {
  const MeasureHeader* header = MeasureAt(measure);
  return header && header->marker ? header->marker->text : nullptr;
}

Color ORLIX_GetMeasureMarkerColor(unsigned int measure) {
  Color color = {};
  const MeasureHeader* header = MeasureAt(measure);
  if (header && header->marker) memcpy(color.bytes, &header->marker->color, sizeof color.bytes);
  return color;
}
