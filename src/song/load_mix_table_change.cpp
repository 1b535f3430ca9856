// Reader of a beat's mix-table change: seven values, tempo, the durations of
// the values that change, and the all-tracks byte (from version 4 on).
#include "song/song_internal.h"

namespace Tolvenar {

static int ReadMixTableFields(MixTableChange* mix, SongReader* in) {
  int8_t* values[] = {&mix->instrument, &mix->volume, &mix->balance, &mix->chorus,
                      &mix->reverb,     &mix->phaser, &mix->tremolo};
  for (int8_t* value : values)
    if (!ReadI8(in, value)) return 0;
  if (!ReadI32LE(in, &mix->tempo)) return 0;
  // The instrument changes at once: it has no duration byte.
  struct Timed {
    int8_t value;
    uint8_t* duration;
  } timed[] = {{mix->volume, &mix->volumeDuration}, {mix->balance, &mix->balanceDuration},
               {mix->chorus, &mix->chorusDuration}, {mix->reverb, &mix->reverbDuration},
               {mix->phaser, &mix->phaserDuration}, {mix->tremolo, &mix->tremoloDuration}};
  for (const Timed& t : timed)
    if (t.value != -1 && !ReadU8(in, t.duration)) return 0;
  if (mix->tempo != -1 && !ReadU8(in, &mix->tempoDuration)) return 0;
  // Version 3 has no all-tracks byte: the change is the track's own.
  if (ReadsVersion3(in)) return 1;
  return ReadU8(in, &mix->allTracks);
}

int LoadMixTableChange(MixTableChange** slot, SongReader* in) {
  MixTableChange* mix = static_cast<MixTableChange*>(NewRecord(in, sizeof(MixTableChange)));
  if (!mix) return 0;
  *slot = mix;
  return ReadMixTableFields(mix, in);
}

}  // namespace Tolvenar
