// Reader of one beat: its header fields, attachments and notes.
#include <cstdlib>

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

static int ReadBeatFields(Beat* beat, ByteCursor* in) {
  const uint8_t* field;
  if (!TakeBytes(in, 1, &field)) return 0;
  const uint8_t flags = *field;
  beat->flags = flags;
  // Status (when flagged), duration and tuplet (when flagged) in one take.
  size_t size = ((flags & kBeatStatus) ? 1 : 0) + 1 + ((flags & kBeatTuplet) ? 4 : 0);
  if (!TakeBytes(in, size, &field)) return 0;
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

int LoadBeat(Beat* beat, ByteCursor* in) {
  *beat = Beat{};
  if (!ReadBeatFields(beat, in)) {
    FreeBeat(beat);
    return 0;
  }
  return 1;
}

int LoadBeat(Beat* beat, FILE* stream) {
  ByteCursor in;
  in.stream = stream;
  BorrowBuffer(&in);
  int loaded = LoadBeat(beat, &in);
  ReturnBuffer(&in);
  return loaded;
}

}  // namespace Tolvenar
