// Reader of a beat's mix-table change: seven values, tempo, the durations of
// the values that change, and the all-tracks byte (from version 4 on);
// version 5 adds sound-engine data, the tempo's name and a wah byte.
#include "song/song_internal.h"

namespace Tolvenar {

static int ReadMixTableFields(MixTableChange* mix, SongReader* in) {
  constexpr size_t kSoundEngineInstrumentBytes = 16;
  const bool v5 = ReadsVersion5(in);
  const bool v510 = ReadsVersion510(in);
  if (!ReadI8(in, &mix->instrument)) return 0;
  // Version 5 puts the sound engine's instrument after the program, and the
  // tempo's name before the tempo.
  if (v5 && !SkipBytes(in, kSoundEngineInstrumentBytes)) return 0;
  int8_t* values[] = {&mix->volume, &mix->balance, &mix->chorus, &mix->reverb, &mix->phaser, &mix->tremolo};
  for (int8_t* value : values)
    if (!ReadI8(in, value)) return 0;
  if (v5 && !SkipIntByteString(in)) return 0;
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
  if (mix->tempo != -1) {
    if (!ReadU8(in, &mix->tempoDuration)) return 0;
    if (v510 && !SkipBytes(in, 1)) return 0;  // hide tempo
  }
  // Version 3 has no all-tracks byte: the change is the track's own.
  if (ReadsVersion3(in)) return 1;
  if (!ReadU8(in, &mix->allTracks)) return 0;
  if (!v5) return 1;
  // The all-tracks bits share their byte with sound-engine and wah display
  // flags; the wah byte follows, and in v5.10 an effect's name and category.
  mix->allTracks &= 0x3F;
  if (!SkipBytes(in, 1)) return 0;
  return !v510 || (SkipIntByteString(in) && SkipIntByteString(in));
}

int LoadMixTableChange(MixTableChange** slot, SongReader* in) {
  MixTableChange* mix = static_cast<MixTableChange*>(NewRecord(in, sizeof(MixTableChange)));
  if (!mix) return 0;
  *slot = mix;
  return ReadMixTableFields(mix, in);
}

}  // namespace Tolvenar
