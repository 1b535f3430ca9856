// What a song handle answers about the extras beside its records: the
// second voice, triplet feel and endings per measure, directions, banks and
// note details, for songs of every format.
#include "handle/song_handle.h"

namespace {

static_assert(int{Tolvenar::kDirectionCount} == int{ORLIX_DIRECTION_COUNT} &&
                  int{Tolvenar::kDirectionDaDoubleCoda} == int{ORLIX_DIRECTION_DA_DOUBLE_CODA} &&
                  int{Tolvenar::kDirectionDalSegnoSegno} == int{ORLIX_DIRECTION_DAL_SEGNO_SEGNO},
              "the directions in the file's order");

bool HasMeasure(const ORLIX_Song* song, unsigned measure) {
  return song && measure < song->song.measureCount && song->extras.measureEndings;
}

}  // namespace

extern "C" const Tolvenar::TrackMeasure* ORLIX_GetSecondVoice(const ORLIX_Song* song, unsigned measure,
                                                              unsigned track) {
  if (!song || !song->extras.secondVoice) return nullptr;
  if (measure >= song->song.measureCount || track >= song->song.trackCount) return nullptr;
  return &song->extras.secondVoice[measure][track];
}

extern "C" int ORLIX_GetMeasureTripletFeel(const ORLIX_Song* song, unsigned measure) {
  return HasMeasure(song, measure) ? song->extras.measureTripletFeel[measure] : 0;
}

extern "C" unsigned ORLIX_GetMeasureEndings(const ORLIX_Song* song, unsigned measure) {
  return HasMeasure(song, measure) ? song->extras.measureEndings[measure] : 0;
}

extern "C" int ORLIX_GetDirection(const ORLIX_Song* song, int sign) {
  if (!song || sign < 0 || sign >= Tolvenar::kDirectionCount) return 0;
  return song->extras.directions[sign];
}

extern "C" int ORLIX_GetTrackBank(const ORLIX_Song* song, unsigned track) {
  if (!song || !song->extras.trackBank || track >= song->song.trackCount) return 0;
  return song->extras.trackBank[track];
}

extern "C" int ORLIX_GetNoteExtras(const ORLIX_Song* song, unsigned voice, unsigned measure, unsigned track,
                                   unsigned beat, unsigned slot, ORLIX_NoteExtras* out) {
  const Tolvenar::NoteExtras* found =
      song ? Tolvenar::FindNoteExtras(&song->extras, voice, measure, track, beat, slot) : nullptr;
  if (!out) return found ? 1 : 0;
  *out = ORLIX_NoteExtras{};
  out->durationPercent = 1.0;
  if (!found) return 0;
  out->heavyAccent = found->heavyAccent;
  out->durationPercent = found->durationPercent;
  out->graceDead = found->graceDead;
  out->graceOnBeat = found->graceOnBeat;
  out->slideMask = found->slideMask;
  out->harmonicType = found->harmonicType;
  for (int i = 0; i < 3; ++i) out->harmonicData[i] = found->harmonicData[i];
  return 1;
}
