// Reader of one beat: its header fields, attachments and notes.
#include <cstring>

#include "song/load_note.h"
#include "song/song_internal.h"

namespace Tolvenar {

// Kept out of line: most beats have no attachment, and the beat loop stays
// small without them.
[[gnu::noinline]] static int ReadBeatAttachments(Beat* beat, SongReader* in) {
  if ((beat->flags & kBeatChord) && !LoadChordDiagram(&beat->chord, in)) return 0;
  if ((beat->flags & kBeatText) && !ReadIntByteString(in, &beat->text)) return 0;
  if ((beat->flags & kBeatEffects) && !LoadBeatEffects(&beat->effects, in)) return 0;
  if ((beat->flags & kBeatMixTable) && !LoadMixTableChange(&beat->mixTable, in)) return 0;
  return 1;
}

// Reads the notes that beat->strings announces into the beat's zeroed
// slots. Mask bit 0x40 is slot 0 (highest string), 0x01 slot 6; 0x80 reads
// nothing. Only the set bits are visited, highest first.
template <bool kVersion5>
static inline int LoadBeatNotes(Beat* beat, SongReader* in) {
  unsigned mask = beat->strings & 0x7Fu;
  while (mask != 0) {
    int bit = 31 - __builtin_clz(mask);
    mask &= ~(1u << bit);
    if (!ReadNote<kVersion5>(&beat->notes[6 - bit], static_cast<unsigned>(6 - bit), in)) return 0;
  }
  return 1;
}

// Version 5 ends a beat with display flags (beaming, ottava, brackets),
// one byte longer when they have 0x0800.
static int SkipVersion5BeatDisplay(SongReader* in) {
  const uint8_t* display;
  if (!TakeBytes(in, 2, &display)) return 0;
  return (display[1] & 0x08) ? SkipBytes(in, 1) : 1;
}

// The longest run of fixed beat fields: flags, status, duration, tuplet.
constexpr size_t kBeatHeadMaxBytes = 7;

template <bool kVersion5>
[[gnu::always_inline]] static inline int ReadBeatFields(Beat* beat, SongReader* in) {
  uint8_t flags;
  const uint8_t* field;
  if (static_cast<size_t>(in->end - in->at) >= kBeatHeadMaxBytes) {
    // The common case: flags and fields in the window, one bounds test.
    flags = in->at[0];
    field = in->at + 1;
    in->at = field + ((flags & kBeatStatus) ? 1 : 0) + 1 + ((flags & kBeatTuplet) ? 4 : 0);
    beat->flags = flags;
  } else {
    if (!TakeBytes(in, 1, &field)) return 0;
    flags = *field;
    beat->flags = flags;
    // Status (when flagged), duration and tuplet (when flagged) in one take.
    size_t size = ((flags & kBeatStatus) ? 1 : 0) + 1 + ((flags & kBeatTuplet) ? 4 : 0);
    if (!TakeBytes(in, size, &field)) return 0;
  }
  if (flags & kBeatStatus) beat->status = *field++;
  beat->duration = static_cast<int8_t>(*field++);
  if (flags & kBeatTuplet) beat->tuplet = static_cast<int32_t>(DecodeU32LE(field));
  if ((flags & (kBeatChord | kBeatText | kBeatEffects | kBeatMixTable)) && !ReadBeatAttachments(beat, in))
    return 0;
  if (!TakeBytes(in, 1, &field)) return 0;
  beat->strings = *field;
  // The slots are still zero from LoadBeat.
  if (!LoadBeatNotes<kVersion5>(beat, in)) return 0;
  if constexpr (kVersion5) return SkipVersion5BeatDisplay(in);
  return 1;
}

// Copying this clears a beat with a few wide stores, where the compiler
// turns an assignment of Beat{} into a string instruction with a slow start.
static const Beat kEmptyBeat{};

template <bool kVersion5>
static inline int LoadBeatInline(Beat* beat, SongReader* in) {
  memcpy(beat, &kEmptyBeat, sizeof *beat);
  return ReadBeatFields<kVersion5>(beat, in);
}

// The beat loop is built once for version 5 and once for the others, so
// that the version 4 loop carries none of version 5's tests.
template <bool kVersion5>
static uint32_t LoadBeatsOf(Beat* beats, uint32_t count, SongReader* in) {
  for (uint32_t b = 0; b < count; ++b) {
    if constexpr (kVersion5) in->place.beat = b;
    if (!LoadBeatInline<kVersion5>(&beats[b], in)) return b;
  }
  return count;
}

uint32_t LoadBeats(Beat* beats, uint32_t count, SongReader* in) {
  return ReadsVersion5(in) ? LoadBeatsOf<true>(beats, count, in) : LoadBeatsOf<false>(beats, count, in);
}

// Through the loop, so that the beat reader has one caller and is inlined
// into it.
int LoadBeat(Beat* beat, SongReader* in) { return LoadBeats(beat, 1, in) == 1 ? 1 : 0; }

}  // namespace Tolvenar
