// The song reader's context: a cursor over the input (memory, or a stdio
// stream taken window by window), the format being read, where records are
// allocated, and the first error met. Every reader takes its bytes, its
// memory and its failures through here.
#ifndef ORLIX_SONG_SONG_READER_H
#define ORLIX_SONG_SONG_READER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "song/song_extras.h"

namespace Tolvenar {

struct SongArena;

// The formats the readers know, by version text; 0 while none is known.
// The record readers test it where the formats differ.
enum SongFormat : uint16_t {
  kFormatUnknown = 0,
  kFormat300 = 300,  // "FICHIER GUITAR PRO v3.00"
  kFormat400 = 400,  // "FICHIER GUITAR PRO v4.00"
  kFormat406 = 406,  // "FICHIER GUITAR PRO v4.06", and the L4.06 variant
  kFormat500 = 500,  // "FICHIER GUITAR PRO v5.00"
  kFormat510 = 510,  // "FICHIER GUITAR PRO v5.10", also written by later 5.x editors
};
inline int FormatMajor(SongFormat format) { return format / 100; }

// What stopped a read. The numbers are those of the handle interface's
// ORLIX_ERROR_... kinds.
enum ReadErrorKind : int {
  kReadOk = 0,
  kReadUnknownFormat = 2,
  kReadTruncated = 3,
  kReadBadData = 4,
  kReadOutOfMemory = 5,
};

struct ReadError {
  int kind;
  uint64_t offset;  // of the input, from where reading started
  char message[160];
};

// Where the version 5 reader stands, for the extras it keeps: the cell and
// beat being read, the tuning of the cell's track, and what the current
// note carries beyond its record.
struct ExtrasPlace {
  uint32_t measure;
  uint32_t track;
  uint32_t beat;
  uint8_t voice;  // 1 or 2
  const int32_t* tuning;
  int32_t playedPitch;  // of the note being read: its string's tuning and its fret
  bool noteHasExtras;
  NoteExtras note;
};

constexpr uint64_t kInputSizeUnknown = UINT64_MAX;
// The longest field taken or peeked whole: a length byte and 255 bytes.
constexpr size_t kSpillBytes = 256;

struct SongReader {
  // The window: bytes [at, end) are next; windowStart lies at input offset
  // windowOffset. Memory input is one window; a stream's windows are its
  // own buffer or, for a field that straddles two of them, the spill.
  const uint8_t* at;
  const uint8_t* end;
  const uint8_t* windowStart;
  uint64_t windowOffset;
  FILE* stream;  // null for memory input
  bool windowIsStreamBuffer;
  uint64_t inputSize;  // from where reading started; kInputSizeUnknown until learned
  bool inputSizeProbed;
  SongFormat format;
  bool acceptsHandleFormats;  // the handle interface opens more headers
  SongArena* arena;           // null: one allocation per record
  SongExtras* extras;         // null: nothing is kept beside the records (needs an arena)
  ExtrasPlace place;
  ReadError error;
  uint8_t spill[kSpillBytes];
};

// Version 3 shapes a few records differently (song block, chord diagram,
// beat and note effects, mix table); the record readers ask here. A reader
// whose format is not known yet reads the version 4 shapes.
inline bool ReadsVersion3(const SongReader* in) { return in->format == kFormat300; }
// Version 5 rearranges most records and adds to them (measure headers,
// tracks, cells, beats, notes and the rest); v5.10 adds a few fields to
// v5.00's.
inline bool ReadsVersion5(const SongReader* in) { return in->format >= kFormat500; }
inline bool ReadsVersion510(const SongReader* in) { return in->format == kFormat510; }

// ---------------------------------------------------------------- input

void OpenMemoryReader(SongReader* in, const void* bytes, size_t size);
// Reads from the stream's current position; CloseReader leaves the stream
// just after the last byte taken.
void OpenStreamReader(SongReader* in, FILE* stream);
void CloseReader(SongReader* in);

inline uint64_t ReaderOffset(const SongReader* in) {
  return in->windowOffset + static_cast<uint64_t>(in->at - in->windowStart);
}

// The paths of Take and Peek that refill the window; size <= kSpillBytes.
int TakeBytesAcrossWindows(SongReader* in, size_t size, const uint8_t** bytes);
int PeekBytesAcrossWindows(SongReader* in, size_t size, const uint8_t** bytes);

// Points *bytes at the next size bytes and moves past them; 1 when all of
// them arrived, else 0 with a truncation recorded. size <= kSpillBytes.
inline int TakeBytes(SongReader* in, size_t size, const uint8_t** bytes) {
  if (static_cast<size_t>(in->end - in->at) >= size) {
    *bytes = in->at;
    in->at += size;
    return 1;
  }
  return TakeBytesAcrossWindows(in, size, bytes);
}

// The same without moving: the bytes stay next. size <= kSpillBytes.
inline int PeekBytes(SongReader* in, size_t size, const uint8_t** bytes) {
  if (static_cast<size_t>(in->end - in->at) >= size) {
    *bytes = in->at;
    return 1;
  }
  return PeekBytesAcrossWindows(in, size, bytes);
}

// Copies the next size bytes (any size) into destination.
int ReadBytes(SongReader* in, void* destination, size_t size);
// Moves past n bytes; 0 when the input ends first.
int SkipBytes(SongReader* in, uint64_t n);

inline uint32_t DecodeU32LE(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline int ReadU8(SongReader* in, uint8_t* value) {
  const uint8_t* field;
  if (!TakeBytes(in, 1, &field)) return 0;
  *value = *field;
  return 1;
}

inline int ReadI8(SongReader* in, int8_t* value) {
  const uint8_t* field;
  if (!TakeBytes(in, 1, &field)) return 0;
  *value = static_cast<int8_t>(*field);
  return 1;
}

inline int ReadU32LE(SongReader* in, uint32_t* value) {
  const uint8_t* field;
  if (!TakeBytes(in, 4, &field)) return 0;
  *value = DecodeU32LE(field);
  return 1;
}

inline int ReadI32LE(SongReader* in, int32_t* value) {
  const uint8_t* field;
  if (!TakeBytes(in, 4, &field)) return 0;
  *value = static_cast<int32_t>(DecodeU32LE(field));
  return 1;
}

// Sets inputSize when the stream's size can be learned (a seekable
// stream); the window and the position stay as they are.
void LearnInputSize(SongReader* in);

// 0, with a truncation recorded, when the rest of the input is known to be
// too short for count records of at least minRecordSize bytes each. Small
// claims, and inputs whose size cannot be learned, pass: the reads decide.
// Below this size a claim passes without a size probe: a failed attempt
// costs nothing worth one.
constexpr uint64_t kCheapClaimBytes = 64 * 1024;
inline int IsCheapClaim(uint64_t count, uint32_t minRecordSize) {
  return count <= kCheapClaimBytes / (minRecordSize ? minRecordSize : 1);
}
// The path of InputCanHold for claims that are not cheap.
int InputCanHoldLargeClaim(SongReader* in, uint64_t count, uint32_t minRecordSize);
inline int InputCanHold(SongReader* in, uint64_t count, uint32_t minRecordSize) {
  return IsCheapClaim(count, minRecordSize) ? 1 : InputCanHoldLargeClaim(in, count, minRecordSize);
}

int FailOutOfMemory(SongReader* in, uint64_t bytes);

// ---------------------------------------------------------------- memory
// Records come from the reader's arena, or from malloc one by one. Each
// returns null with an out-of-memory error recorded; a count whose size
// does not fit in size_t counts as such.

// One zeroed record.
void* NewRecord(SongReader* in, size_t size);
// count zeroed elements; a count of 0 still gives a non-null (empty) array.
void* NewArray(SongReader* in, uint64_t count, size_t size);
// count elements of size bytes, zeroed or not, from the arena or malloc.
void* AllocateArray(SongReader* in, uint64_t count, size_t size, bool zeroed);
// NewArray without zeroing, for arrays whose every element is then set.
// Inline for the one-allocation-per-record path: the grid asks for a beat
// array per cell and a record per note effect.
inline void* NewArrayUninitialised(SongReader* in, uint64_t count, size_t size) {
  if (in->arena || count == 0 || size == 0 || count > SIZE_MAX / size)
    return AllocateArray(in, count, size, false);
  void* block = malloc(static_cast<size_t>(count) * size);
  if (!block) FailOutOfMemory(in, count * size);
  return block;
}
// Gives back a block that will not be attached after all (an arena keeps it).
void DropRecord(SongReader* in, void* block);

// ---------------------------------------------------------------- errors
// Each records the error unless one is recorded already (the first one
// stands) and returns 0, so a reader can write `return FailBadData(...)`.

int FailTruncated(SongReader* in, uint64_t fieldOffset);
int FailOutOfMemory(SongReader* in, uint64_t bytes);
// what names the field holding value; null for a failure without one.
int FailBadData(SongReader* in, uint64_t offset, const char* what, long long value);
int FailUnknownFormat(SongReader* in, const char* versionText);
// For the one soft spot of the format (a lyrics line may go missing).
void ClearReadError(SongReader* in);

}  // namespace Tolvenar

#endif
