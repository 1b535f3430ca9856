// Looking up a note's extras in the sorted array of a song's extras.
#include "song/song_extras.h"

namespace Tolvenar {

namespace {

struct NotePlace {
  uint32_t measure, track;
  unsigned voice;
  uint32_t beat;
  unsigned slot;
};

bool Before(const NoteExtrasEntry& entry, const NotePlace& place) {
  if (entry.measure != place.measure) return entry.measure < place.measure;
  if (entry.track != place.track) return entry.track < place.track;
  if (entry.voice != place.voice) return entry.voice < place.voice;
  if (entry.beat != place.beat) return entry.beat < place.beat;
  return entry.slot < place.slot;
}

// The first entry not before the place.
const NoteExtrasEntry* LowerBound(const SongExtras* extras, const NotePlace& place) {
  const NoteExtrasEntry* first = extras->noteExtras;
  uint32_t count = extras->noteExtrasCount;
  while (count > 0) {
    uint32_t half = count / 2;
    if (Before(first[half], place)) {
      first += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return first;
}

}  // namespace

const NoteExtras* FindNoteExtras(const SongExtras* extras, unsigned voice, uint32_t measure, uint32_t track,
                                 uint32_t beat, unsigned slot) {
  if (!extras || extras->noteExtrasCount == 0) return nullptr;
  const NoteExtrasEntry* entry = LowerBound(extras, {measure, track, voice, beat, slot});
  if (entry == extras->noteExtras + extras->noteExtrasCount) return nullptr;
  if (entry->measure != measure || entry->track != track || entry->voice != voice || entry->beat != beat ||
      entry->slot != slot)
    return nullptr;
  return &entry->extras;
}

const NoteExtrasEntry* FirstNoteExtrasOfCell(const SongExtras* extras, unsigned voice, uint32_t measure,
                                             uint32_t track) {
  if (!extras) return nullptr;
  return LowerBound(extras, {measure, track, voice, 0, 0});
}

}  // namespace Tolvenar
