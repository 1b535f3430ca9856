// Borrowing a stdio stream's buffer (glibc's FILE layout), or nothing at all
// in the portable build.
#include "song/stream_window.h"

namespace Tolvenar {

#if defined(__GLIBC__) && !defined(ORLIX_PORTABLE_STDIO)

size_t BorrowStreamBuffer(FILE* stream, const uint8_t** bytes) {
  if (stream->_IO_read_ptr >= stream->_IO_read_end) {
    // An empty buffer is filled by taking one byte, which then goes back.
    if (getc_unlocked(stream) == EOF) return 0;
    --stream->_IO_read_ptr;
  }
  *bytes = reinterpret_cast<const uint8_t*>(stream->_IO_read_ptr);
  return static_cast<size_t>(stream->_IO_read_end - stream->_IO_read_ptr);
}

void ReturnStreamBuffer(FILE* stream, const uint8_t* at) {
  stream->_IO_read_ptr = const_cast<char*>(reinterpret_cast<const char*>(at));
}

size_t ReadFromStream(FILE* stream, void* destination, size_t size) {
  return fread_unlocked(destination, 1, size, stream);
}

#else

size_t BorrowStreamBuffer(FILE*, const uint8_t**) { return 0; }

void ReturnStreamBuffer(FILE*, const uint8_t*) {}

size_t ReadFromStream(FILE* stream, void* destination, size_t size) {
  return fread(destination, 1, size, stream);
}

#endif

}  // namespace Tolvenar
