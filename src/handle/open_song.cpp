// Opening a song handle from a path, a stream or memory, and closing it.
// The song is read with the reader's format detection into records carved
// from the handle's arena; a failed open reports where reading stopped and
// leaves nothing allocated.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "handle/song_handle.h"
#include "song/song_internal.h"

using orlix_handle::ReportError;
using orlix_handle::ReportSuccess;

namespace {

static_assert(int{Tolvenar::kReadUnknownFormat} == int{ORLIX_ERROR_UNKNOWN_FORMAT} &&
                  int{Tolvenar::kReadTruncated} == int{ORLIX_ERROR_TRUNCATED} &&
                  int{Tolvenar::kReadBadData} == int{ORLIX_ERROR_BAD_DATA} &&
                  int{Tolvenar::kReadOutOfMemory} == int{ORLIX_ERROR_OUT_OF_MEMORY},
              "the reader's error kinds are the interface's");

ORLIX_Song* ReadHandle(Tolvenar::SongReader* in, ORLIX_Error* error) {
  ORLIX_Song* handle = static_cast<ORLIX_Song*>(calloc(1, sizeof(ORLIX_Song)));
  if (!handle) {
    ReportError(error, ORLIX_ERROR_OUT_OF_MEMORY, 0, "out of memory for the song handle");
    return nullptr;
  }
  Tolvenar::InitSongArena(&handle->arena);
  in->arena = &handle->arena;
  in->extras = &handle->extras;
  in->acceptsHandleFormats = true;
  if (!Tolvenar::ReadSong(&handle->song, in)) {
    ReportError(error, in->error.kind, static_cast<long long>(in->error.offset), "%s", in->error.message);
    Tolvenar::FreeSongArena(&handle->arena);
    free(handle);
    return nullptr;
  }
  handle->format = Tolvenar::FormatMajor(in->format);
  ReportSuccess(error);
  return handle;
}

ORLIX_Song* ReadHandleFromStream(FILE* stream, ORLIX_Error* error) {
  // One lock for the whole song, as LoadFileStruct takes it.
  flockfile(stream);
  Tolvenar::SongReader in;
  Tolvenar::OpenStreamReader(&in, stream);
  // The arena's blocks are sized from the input's size when it can be learned.
  Tolvenar::LearnInputSize(&in);
  ORLIX_Song* handle = ReadHandle(&in, error);
  Tolvenar::CloseReader(&in);
  funlockfile(stream);
  return handle;
}

}  // namespace

extern "C" ORLIX_Song* ORLIX_OpenFile(const char* path, ORLIX_Error* error) {
  if (!path) {
    ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "no path given");
    return nullptr;
  }
  // Non-blocking, so that opening a FIFO does not wait for a writer; the
  // type is then checked on what was opened, not on the name. Reading a
  // regular file ignores the flag.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    ReportError(error, ORLIX_ERROR_OPEN, -1, "cannot open: %s", strerror(errno));
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    ReportError(error, ORLIX_ERROR_OPEN, -1, "cannot read: %s", strerror(errno));
    close(fd);
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    ReportError(error, ORLIX_ERROR_OPEN, -1, "%s",
                S_ISDIR(info.st_mode) ? "is a directory" : "not a regular file");
    close(fd);
    return nullptr;
  }
  FILE* stream = fdopen(fd, "rb");
  if (!stream) {
    ReportError(error, ORLIX_ERROR_OPEN, -1, "cannot read: %s", strerror(errno));
    close(fd);
    return nullptr;
  }
  ORLIX_Song* handle = ReadHandleFromStream(stream, error);
  fclose(stream);
  return handle;
}

extern "C" ORLIX_Song* ORLIX_OpenStream(FILE* stream, ORLIX_Error* error) {
  if (!stream) {
    ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "no stream given");
    return nullptr;
  }
  return ReadHandleFromStream(stream, error);
}

extern "C" ORLIX_Song* ORLIX_OpenMemory(const void* bytes, size_t size, ORLIX_Error* error) {
  if (!bytes && size) {
    ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "no bytes given for a size of %zu", size);
    return nullptr;
  }
  // The records are copies: nothing points into the caller's bytes.
  Tolvenar::SongReader in;
  Tolvenar::OpenMemoryReader(&in, bytes, size);
  return ReadHandle(&in, error);
}

extern "C" void ORLIX_Close(ORLIX_Song* song) {
  if (!song) return;
  Tolvenar::FreeSongArena(&song->arena);
  free(song);
}
