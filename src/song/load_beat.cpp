// Reader of one beat: its header fields, attachments and notes.
#include <cstdlib>
#include <cstring>

#include "song/load_note.h"
#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

// Each attachment is read completely before it is attached, so a failure
// leaves only finished attachments for FreeBeat to release.
static int ReadBeatAttachments(Beat* beat, FILE* stream) {
  if (beat->flags & kBeatChord) {
    beat->chord = LoadChordDiagram(stream);
    if (!beat->chord) return 0;
  }
  if (beat->flags & kBeatText) {
    beat->text = ReadIntByteString(stream);
    if (!beat->text) return 0;
  }
  if (beat->flags & kBeatEffects) {
    beat->effects = LoadBeatEffects(stream);
    if (!beat->effects) return 0;
  }
  if (beat->flags & kBeatMixTable) {
    beat->mixTable = LoadMixTableChange(stream);
    if (!beat->mixTable) return 0;
  }
  return 1;
}

// Reads the notes that beat->strings announces into the beat's zeroed
// slots. Mask bit 0x40 is slot 0 (highest string), 0x01 slot 6; 0x80 reads
// nothing. Only the set bits are visited, highest first.
static inline int LoadBeatNotes(Beat* beat, ByteCursor* in) {
  unsigned mask = beat->strings & 0x7Fu;
  while (mask != 0) {
    int bit = 31 - __builtin_clz(mask);
    mask &= ~(1u << bit);
    if (!ReadNote(&beat->notes[6 - bit], in)) return 0;
  }
  return 1;
}

// The longest run of fixed beat fields: flags, status, duration, tuplet.
constexpr size_t kBeatHeadMaxBytes = 7;

static int ReadBeatFields(Beat* beat, ByteCursor* in) {
  uint8_t flags;
  const uint8_t* field;
  if (static_cast<size_t>(in->end - in->at) >= kBeatHeadMaxBytes) {
    // The common case: flags and fields in the buffer, one bounds test.
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
  if (flags & (kBeatChord | kBeatText | kBeatEffects | kBeatMixTable)) {
    // The attachment readers work on the stream itself.
    ReturnBuffer(in);
    int attached = ReadBeatAttachments(beat, in->stream);
    BorrowBuffer(in);
    if (!attached) return 0;
  }
  if (!TakeBytes(in, 1, &field)) return 0;
  beat->strings = *field;
  // The slots are still zero from LoadBeat.
  return LoadBeatNotes(beat, in);
}

// Copying this clears a beat with a few wide stores, where the compiler
// turns an assignment of Beat{} into a string instruction with a slow start.
static const Beat kEmptyBeat{};

static inline int LoadBeat(Beat* beat, ByteCursor* in) {
  memcpy(beat, &kEmptyBeat, sizeof *beat);
  if (!ReadBeatFields(beat, in)) {
    FreeBeat(beat);
    return 0;
  }
  return 1;
}

uint32_t LoadBeats(Beat* beats, uint32_t count, ByteCursor* in) {
  for (uint32_t b = 0; b < count; ++b)
    if (!LoadBeat(&beats[b], in)) return b;
  return count;
}

int LoadBeat(Beat* beat, FILE* stream) {
  ByteCursor in;
  OpenCursor(&in, stream);
  int loaded = LoadBeat(beat, &in);
  ReturnBuffer(&in);
  return loaded;
}

}  // namespace Tolvenar
