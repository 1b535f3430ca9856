// fopencookie stream that counts the bytes its reader consumes.
#include "counting_stream.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

ssize_t CountingRead(void* cookie, char* buffer, size_t size) {
  CountingStream* counting = static_cast<CountingStream*>(cookie);
  size_t done = 0;
  while (done < size) {
    uint64_t at = counting->position + done;
    if (at < counting->blockStart || at >= counting->blockStart + counting->blockLength) {
      ssize_t got = pread64(counting->fd, counting->block, sizeof counting->block,
                            static_cast<off64_t>(at));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && done == 0) return -1;
      if (got <= 0) break;
      counting->blockStart = at;
      counting->blockLength = static_cast<size_t>(got);
    }
    size_t offset = static_cast<size_t>(at - counting->blockStart);
    size_t count = counting->blockLength - offset;
    if (count > size - done) count = size - done;
    memcpy(buffer + done, counting->block + offset, count);
    done += count;
  }
  counting->position += done;
  if (counting->position > counting->furthest) counting->furthest = counting->position;
  return static_cast<ssize_t>(done);
}

int CountingSeek(void* cookie, off64_t* offset, int whence) {
  CountingStream* counting = static_cast<CountingStream*>(cookie);
  int64_t base = 0;
  if (whence == SEEK_CUR) {
    base = static_cast<int64_t>(counting->position);
  } else if (whence == SEEK_END) {
    base = static_cast<int64_t>(counting->size);
  } else if (whence != SEEK_SET) {
    errno = EINVAL;
    return -1;
  }
  if ((*offset > 0 && base > INT64_MAX - *offset) || base + *offset < 0) {
    errno = EINVAL;
    return -1;
  }
  counting->position = static_cast<uint64_t>(base + *offset);
  *offset = static_cast<off64_t>(counting->position);
  return 0;
}

int CountingClose(void* cookie) {
  CountingStream* counting = static_cast<CountingStream*>(cookie);
  int result = close(counting->fd);
  counting->fd = -1;
  return result;
}

}  // namespace

int OpenCountingStream(CountingStream* counting, int fd, uint64_t size) {
  counting->fd = fd;
  counting->position = 0;
  counting->furthest = 0;
  counting->size = size;
  counting->blockStart = 0;
  counting->blockLength = 0;
  cookie_io_functions_t functions = {CountingRead, nullptr, CountingSeek, CountingClose};
  counting->stream = fopencookie(counting, "rb", functions);
  if (!counting->stream) {
    int saved = errno;
    close(fd);
    counting->fd = -1;
    errno = saved;
    return 0;
  }
  // Unbuffered, so each read of the song reader reaches CountingRead with
  // exactly the bytes it asks for and the count never runs ahead of it.
  setvbuf(counting->stream, nullptr, _IONBF, 0);
  return 1;
}

void CloseCountingStream(CountingStream* counting) {
  if (counting->stream) fclose(counting->stream);
  counting->stream = nullptr;
}
