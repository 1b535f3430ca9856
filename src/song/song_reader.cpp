// The reader's cursor: opening it over memory or a stream, refilling its
// window, assembling fields that straddle two windows, and handing the
// stream back just after the last byte taken.
#include "song/song_reader.h"

#include <cstring>

#include "song/stream_window.h"

namespace Tolvenar {

namespace {

void SetWindow(SongReader* in, const uint8_t* start, size_t size, uint64_t offset, bool isStreamBuffer) {
  in->windowStart = start;
  in->at = start;
  in->end = start + size;
  in->windowOffset = offset;
  in->windowIsStreamBuffer = isStreamBuffer;
}

// A new window at input offset `offset` from what the stream's buffer holds,
// or an empty one in the spill.
void BorrowWindow(SongReader* in, uint64_t offset) {
  const uint8_t* bytes = nullptr;
  size_t size = BorrowStreamBuffer(in->stream, &bytes);
  if (size > 0) {
    SetWindow(in, bytes, size, offset, true);
  } else {
    SetWindow(in, in->spill, 0, offset, false);
  }
}

// Hands the stream its position back: just after the window's last byte
// taken when the window is the stream's own buffer. A spill window's bytes
// are all taken from the stream already.
void ReturnWindow(SongReader* in) {
  if (in->windowIsStreamBuffer) ReturnStreamBuffer(in->stream, in->at);
}

// A failed read consumes the rest of the input, as a short fread does, so
// that nothing read after it can succeed by chance.
int FailAtEnd(SongReader* in, uint64_t fieldOffset) {
  if (in->stream) {
    ReturnWindow(in);
    uint8_t sink[256];
    uint64_t offset = in->windowOffset + static_cast<uint64_t>(in->end - in->windowStart);
    if (in->windowIsStreamBuffer) offset = ReaderOffset(in);
    while (size_t got = ReadFromStream(in->stream, sink, sizeof sink)) offset += got;
    SetWindow(in, in->spill, 0, offset, false);
    if (!in->error.kind) in->inputSize = offset;
  } else {
    in->at = in->end;
  }
  return FailTruncated(in, fieldOffset);
}

// Makes the next size bytes contiguous in the window; 0 when the input ends
// first. size <= kSpillBytes.
int FillWindow(SongReader* in, size_t size) {
  if (!in->stream) return 0;
  uint64_t offset = ReaderOffset(in);
  size_t have = static_cast<size_t>(in->end - in->at);
  if (have == 0) {
    ReturnWindow(in);
    BorrowWindow(in, offset);
    have = static_cast<size_t>(in->end - in->at);
    if (have >= size) return 1;
  }
  // The field straddles the window's end: the bytes in hand go to the
  // spill (and are taken from the stream), the rest is read behind them.
  if (in->windowIsStreamBuffer) ReturnStreamBuffer(in->stream, in->end);
  memmove(in->spill, in->at, have);
  size_t got = ReadFromStream(in->stream, in->spill + have, size - have);
  SetWindow(in, in->spill, have + got, offset, false);
  return have + got == size;
}

}  // namespace

void OpenMemoryReader(SongReader* in, const void* bytes, size_t size) {
  memset(in, 0, offsetof(SongReader, spill));
  const uint8_t* start = size ? static_cast<const uint8_t*>(bytes) : in->spill;
  SetWindow(in, start, size, 0, false);
  in->inputSize = size;
}

void OpenStreamReader(SongReader* in, FILE* stream) {
  memset(in, 0, offsetof(SongReader, spill));
  in->stream = stream;
  in->inputSize = kInputSizeUnknown;
  BorrowWindow(in, 0);
}

void CloseReader(SongReader* in) {
  if (!in->stream) return;
  if (in->windowIsStreamBuffer) {
    ReturnStreamBuffer(in->stream, in->at);
  } else if (in->end > in->at) {
    // Bytes peeked past the last field taken go back to the stream.
    fseek(in->stream, -static_cast<long>(in->end - in->at), SEEK_CUR);
  }
  SetWindow(in, in->spill, 0, ReaderOffset(in), false);
}

int TakeBytesAcrossWindows(SongReader* in, size_t size, const uint8_t** bytes) {
  uint64_t offset = ReaderOffset(in);
  if (!FillWindow(in, size)) return FailAtEnd(in, offset);
  *bytes = in->at;
  in->at += size;
  return 1;
}

int PeekBytesAcrossWindows(SongReader* in, size_t size, const uint8_t** bytes) {
  uint64_t offset = ReaderOffset(in);
  if (!FillWindow(in, size)) return FailAtEnd(in, offset);
  *bytes = in->at;
  return 1;
}

int ReadBytes(SongReader* in, void* destination, size_t size) {
  size_t have = static_cast<size_t>(in->end - in->at);
  if (have >= size) {
    if (size) memcpy(destination, in->at, size);
    in->at += size;
    return 1;
  }
  uint64_t offset = ReaderOffset(in);
  if (!in->stream) return FailAtEnd(in, offset);
  // What the window holds, then the rest straight from the stream.
  memcpy(destination, in->at, have);
  in->at = in->end;
  ReturnWindow(in);
  size_t got = ReadFromStream(in->stream, static_cast<uint8_t*>(destination) + have, size - have);
  BorrowWindow(in, offset + have + got);
  if (got < size - have) return FailAtEnd(in, offset);
  return 1;
}

int SkipBytes(SongReader* in, uint64_t n) {
  uint64_t offset = ReaderOffset(in);
  while (n > 0) {
    size_t have = static_cast<size_t>(in->end - in->at);
    if (have == 0) {
      size_t want = n < kSpillBytes ? static_cast<size_t>(n) : kSpillBytes;
      if (!FillWindow(in, want) && in->end == in->at) return FailAtEnd(in, offset);
      have = static_cast<size_t>(in->end - in->at);
    }
    size_t step = n < have ? static_cast<size_t>(n) : have;
    in->at += step;
    n -= step;
  }
  return 1;
}

// Learns the size of a seekable stream once; the window survives the probe.
static void ProbeInputSize(SongReader* in) {
  ReturnWindow(in);
  uint64_t streamOffset = in->windowIsStreamBuffer
                              ? ReaderOffset(in)
                              : in->windowOffset + static_cast<uint64_t>(in->end - in->windowStart);
  long here = ftell(in->stream);
  if (here < 0) return;
  if (fseek(in->stream, 0, SEEK_END) != 0) return;
  long end = ftell(in->stream);
  fseek(in->stream, here, SEEK_SET);
  // The seek emptied the stream's buffer: take a window from it again.
  if (in->windowIsStreamBuffer) BorrowWindow(in, streamOffset);
  if (end >= here) in->inputSize = streamOffset + static_cast<uint64_t>(end - here);
}

void LearnInputSize(SongReader* in) {
  if (in->inputSize == kInputSizeUnknown && in->stream && !in->inputSizeProbed) {
    in->inputSizeProbed = true;
    ProbeInputSize(in);
  }
}

int InputCanHoldLargeClaim(SongReader* in, uint64_t count, uint32_t minRecordSize) {
  LearnInputSize(in);
  if (in->inputSize == kInputSizeUnknown) return 1;
  uint64_t offset = ReaderOffset(in);
  uint64_t left = in->inputSize > offset ? in->inputSize - offset : 0;
  if (count <= left / (minRecordSize ? minRecordSize : 1)) return 1;
  return FailTruncated(in, offset);
}

}  // namespace Tolvenar
