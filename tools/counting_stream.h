// A stdio stream over an open file descriptor that keeps count of where its
// reader stands, so a failed load can say how far it got.
#ifndef ORLIX_TOOLS_COUNTING_STREAM_H
#define ORLIX_TOOLS_COUNTING_STREAM_H

#include <cstdint>
#include <cstdio>

struct CountingStream {
  FILE* stream;        // read-only, unbuffered; null when not open
  int fd;              // owned; closed with the stream
  uint64_t position;   // offset of the next byte the reader will get
  uint64_t furthest;   // largest offset the reader has reached
  uint64_t size;       // file size when opened
  // The stream is unbuffered so the counts stay exact; this block spares a
  // system call for each of the reader's many small reads.
  unsigned char block[65536];
  uint64_t blockStart;
  size_t blockLength;
};

// Wraps fd (a regular file open for reading, now owned by the stream).
// Returns 1, or 0 with fd closed and errno set.
int OpenCountingStream(CountingStream* counting, int fd, uint64_t size);
void CloseCountingStream(CountingStream* counting);

#endif
