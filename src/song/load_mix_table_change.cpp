// Reader of a beat's mix-table change: seven values, tempo, the durations of
// the values that change, and the all-tracks byte.
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

static int ReadMixTableFields(MixTableChange* mix, FILE* stream) {
  int8_t* values[] = {&mix->instrument, &mix->volume, &mix->balance, &mix->chorus,
                      &mix->reverb,     &mix->phaser, &mix->tremolo};
  for (int8_t* value : values)
    if (!ReadI8(stream, value)) return 0;
  if (!ReadI32LE(stream, &mix->tempo)) return 0;
  // The instrument changes at once: it has no duration byte.
  struct Timed {
    int8_t value;
    uint8_t* duration;
  } timed[] = {{mix->volume, &mix->volumeDuration}, {mix->balance, &mix->balanceDuration},
               {mix->chorus, &mix->chorusDuration}, {mix->reverb, &mix->reverbDuration},
               {mix->phaser, &mix->phaserDuration}, {mix->tremolo, &mix->tremoloDuration}};
  for (const Timed& t : timed)
    if (t.value != -1 && !ReadU8(stream, t.duration)) return 0;
  if (mix->tempo != -1 && !ReadU8(stream, &mix->tempoDuration)) return 0;
  return ReadU8(stream, &mix->allTracks);
}

MixTableChange* LoadMixTableChange(FILE* stream) {
  MixTableChange* mix = static_cast<MixTableChange*>(calloc(1, sizeof(MixTableChange)));
  if (!mix) return nullptr;
  if (!ReadMixTableFields(mix, stream)) {
    free(mix);
    return nullptr;
  }
  return mix;
}

}  // namespace Tolvenar
