// The one place where the reader reaches into a stdio stream: borrowing the
// bytes its buffer already holds, handing the position back, and plain
// reads. With ORLIX_PORTABLE_STDIO (or off glibc) no buffer is borrowed and
// every byte comes through fread.
#ifndef ORLIX_SONG_STREAM_WINDOW_H
#define ORLIX_SONG_STREAM_WINDOW_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace Tolvenar {

// How many bytes the stream's buffer holds from its position on (filling
// the buffer when it is empty), with *bytes pointing at them; 0 at the end
// of the stream or when buffers are not borrowed.
size_t BorrowStreamBuffer(FILE* stream, const uint8_t** bytes);
// Moves the stream's position to `at`, a point inside the borrowed bytes.
void ReturnStreamBuffer(FILE* stream, const uint8_t* at);
// fread, without stdio's per-call locking where the C library allows it
// (the reader holds the stream's lock).
size_t ReadFromStream(FILE* stream, void* destination, size_t size);

}  // namespace Tolvenar

#endif
