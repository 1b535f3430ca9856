// Flat queries on one track: name, strings and tuning, channels, frets, colour.
#include <cstring>

#include "orlix/orlix.h"

using Tolvenar::Track;

namespace {

const Track* TrackAt(unsigned int track) {
  if (!theFileStruct || !theFileStruct->tracks) return nullptr;
  if (track >= theFileStruct->trackCount) return nullptr;
  return &theFileStruct->tracks[track];
}

int NumberOf(unsigned int track, int32_t Track::*field) {
  const Track* found = TrackAt(track);
  return found ? found->*field : 0;
}

}  // namespace

const char* ORLIX_GetTrackName(unsigned int track) {
  const Track* found = TrackAt(track);
  return found ? found->name : nullptr;
}

int ORLIX_GetTrackStringCount(unsigned int track) { return NumberOf(track, &Track::stringCount); }

int ORLIX_GetTrackTuning(unsigned int track, unsigned int string) {
  const Track* found = TrackAt(track);
  const unsigned int strings = sizeof found->tuning / sizeof found->tuning[0];
  // The seventh value is answered whatever stringCount says.
  return found && string < strings ? found->tuning[string] : 0;
}

int ORLIX_GetTrackMidiPort(unsigned int track) { return NumberOf(track, &Track::midiPort); }
int ORLIX_GetTrackMidiChannel(unsigned int track) { return NumberOf(track, &Track::midiChannel); }
int ORLIX_GetTrackEffectsMidiChannel(unsigned int track) {
  return NumberOf(track, &Track::effectsMidiChannel);
}
int ORLIX_GetTrackFretCount(unsigned int track) { return NumberOf(track, &Track::fretCount); }
int ORLIX_GetTrackCapoHeight(unsigned int track) { return NumberOf(track, &Track::capoHeight); }

Color ORLIX_GetTrackColor(unsigned int track) {
  Color color = {};
  const Track* found = TrackAt(track);
  if (found) memcpy(color.bytes, &found->color, sizeof color.bytes);
  return color;
}
