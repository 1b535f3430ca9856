// Exact-read primitives for the song file: every field of the format goes
// through these, so short reads and little-endian decoding live in one place.
#ifndef ORLIX_SONG_READ_PRIMITIVES_H
#define ORLIX_SONG_READ_PRIMITIVES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace Tolvenar {

// The loader holds the stream's lock for the whole load (LoadFileStruct), so
// the reads use the unlocked forms where the C library has them, and take
// bytes that already sit in the stream's buffer directly, as getc does.
#if defined(__GLIBC__)
#define ORLIX_FREAD fread_unlocked
#define ORLIX_GETC getc_unlocked
#define ORLIX_BUFFERED_BYTES(stream) ((stream)->_IO_read_end - (stream)->_IO_read_ptr)
#define ORLIX_BUFFER_AT(stream) ((stream)->_IO_read_ptr)
#endif

inline uint32_t DecodeU32LE(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Each returns 1 when all bytes of the field arrived, else 0.
inline int ReadBytes(FILE* stream, void* destination, size_t size) {
  if (size == 0) return 1;
#if defined(ORLIX_BUFFERED_BYTES)
  if (ORLIX_BUFFERED_BYTES(stream) >= static_cast<ptrdiff_t>(size)) {
    memcpy(destination, ORLIX_BUFFER_AT(stream), size);
    ORLIX_BUFFER_AT(stream) += size;
    return 1;
  }
  return ORLIX_FREAD(destination, 1, size, stream) == size ? 1 : 0;
#else
  return fread(destination, 1, size, stream) == size ? 1 : 0;
#endif
}

inline int ReadU8(FILE* stream, uint8_t* value) {
#if defined(ORLIX_GETC)
  int c = ORLIX_GETC(stream);
#else
  int c = getc(stream);
#endif
  if (c == EOF) return 0;
  *value = static_cast<uint8_t>(c);
  return 1;
}

inline int ReadI8(FILE* stream, int8_t* value) {
  uint8_t byte;
  if (!ReadU8(stream, &byte)) return 0;
  *value = static_cast<int8_t>(byte);
  return 1;
}

inline int ReadU32LE(FILE* stream, uint32_t* value) {
  uint8_t bytes[4];
  if (!ReadBytes(stream, bytes, 4)) return 0;
  *value = DecodeU32LE(bytes);
  return 1;
}

inline int ReadI32LE(FILE* stream, int32_t* value) {
  uint32_t raw;
  if (!ReadU32LE(stream, &raw)) return 0;
  *value = static_cast<int32_t>(raw);
  return 1;
}

// A reader's view of the bytes the stream already holds in its buffer, so
// that the many small fields of the measure grid are taken with a pointer
// bump instead of a call each. A field that runs past the buffer goes
// through the stream (fread), and so does every stream call in between:
// ReturnBuffer hands the position back to the stream before such a call and
// BorrowBuffer takes it up again after. Builds without a known buffer layout
// see an empty buffer and read every field through the stream.
struct ByteCursor {
  FILE* stream;
  const uint8_t* at;   // next unread byte
  const uint8_t* end;  // end of the buffered bytes
  uint8_t spill[16];   // a field read through the stream lands here
};

inline void BorrowBuffer(ByteCursor* cursor) {
#if defined(ORLIX_BUFFERED_BYTES)
  cursor->at = reinterpret_cast<const uint8_t*>(ORLIX_BUFFER_AT(cursor->stream));
  cursor->end = cursor->at + ORLIX_BUFFERED_BYTES(cursor->stream);
#else
  cursor->at = cursor->end = nullptr;
#endif
}

// A cursor over the stream's buffered bytes; ReturnBuffer ends it.
inline void OpenCursor(ByteCursor* cursor, FILE* stream) {
  cursor->stream = stream;
  BorrowBuffer(cursor);
}

inline void ReturnBuffer(ByteCursor* cursor) {
#if defined(ORLIX_BUFFERED_BYTES)
  ORLIX_BUFFER_AT(cursor->stream) = const_cast<char*>(reinterpret_cast<const char*>(cursor->at));
#else
  (void)cursor;
#endif
}

// The stream path of TakeBytes; size is at most sizeof spill.
int TakeBytesThroughStream(ByteCursor* cursor, size_t size, const uint8_t** bytes);

// Points *bytes at the next size bytes of the stream and moves past them;
// 1 when all of them arrived, else 0 (the field failed as a whole).
inline int TakeBytes(ByteCursor* cursor, size_t size, const uint8_t** bytes) {
  if (static_cast<size_t>(cursor->end - cursor->at) >= size) {
    *bytes = cursor->at;
    cursor->at += size;
    return 1;
  }
  return TakeBytesThroughStream(cursor, size, bytes);
}

// calloc for count elements of size bytes; null when the product does not
// fit in size_t. A count of 0 still yields a (one-byte) allocation, so an
// empty array is told apart from a failed one.
void* AllocArray(uint64_t count, size_t size);
// The same without zeroing, for arrays whose every element is then written.
void* AllocArrayUninitialised(uint64_t count, size_t size);

// 0 when the rest of the stream is known to be too short for count records
// of at least minRecordSize bytes each. Small claims and streams whose size
// cannot be learned pass, and the reads that follow decide.
int StreamCanHold(FILE* stream, uint64_t count, uint32_t minRecordSize);

// Below this size a claim passes StreamCanHold without a size probe: a
// failed attempt costs nothing worth one.
constexpr uint64_t kCheapClaimBytes = 64 * 1024;
inline int IsCheapClaim(uint64_t count, uint32_t minRecordSize) {
  return count <= kCheapClaimBytes / (minRecordSize ? minRecordSize : 1);
}

}  // namespace Tolvenar

#endif
