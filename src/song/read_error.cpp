// The reader's errors: the first failure of a read is kept with its kind,
// the input offset where reading stopped, and a one-line message.
#include <cstdarg>
#include <cstdio>

#include "song/song_reader.h"

namespace Tolvenar {

namespace {

int Record(SongReader* in, int kind, uint64_t offset, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

int Record(SongReader* in, int kind, uint64_t offset, const char* format, ...) {
  if (in->error.kind != kReadOk) return 0;
  in->error.kind = kind;
  in->error.offset = offset;
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(in->error.message, sizeof in->error.message, format, arguments);
  va_end(arguments);
  return 0;
}

}  // namespace

int FailTruncated(SongReader* in, uint64_t fieldOffset) {
  if (in->inputSize == kInputSizeUnknown)
    return Record(in, kReadTruncated, fieldOffset, "file ends early at byte %llu",
                  static_cast<unsigned long long>(fieldOffset));
  return Record(in, kReadTruncated, fieldOffset, "file ends early at byte %llu of %llu",
                static_cast<unsigned long long>(fieldOffset),
                static_cast<unsigned long long>(in->inputSize));
}

int FailOutOfMemory(SongReader* in, uint64_t bytes) {
  uint64_t offset = ReaderOffset(in);
  return Record(in, kReadOutOfMemory, offset, "out of memory for %llu bytes at byte %llu",
                static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(offset));
}

int FailBadData(SongReader* in, uint64_t offset, const char* what, long long value) {
  if (!what)
    return Record(in, kReadBadData, offset, "bad data at byte %llu", static_cast<unsigned long long>(offset));
  return Record(in, kReadBadData, offset, "bad %s %lld at byte %llu", what, value,
                static_cast<unsigned long long>(offset));
}

int FailUnknownFormat(SongReader* in, const char* versionText) {
  // The header is quoted with anything unprintable escaped, so the message
  // stays one line of plain text.
  char quoted[100];
  size_t length = 0;
  for (const char* c = versionText; *c && length + 5 < sizeof quoted; ++c) {
    unsigned char byte = static_cast<unsigned char>(*c);
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      quoted[length++] = static_cast<char>(byte);
    } else {
      length += static_cast<size_t>(snprintf(quoted + length, sizeof quoted - length, "\\x%02x", byte));
    }
  }
  quoted[length] = '\0';
  return Record(in, kReadUnknownFormat, 0, "unknown format: header \"%s\"", quoted);
}

void ClearReadError(SongReader* in) {
  in->error.kind = kReadOk;
  in->error.offset = 0;
  in->error.message[0] = '\0';
}

}  // namespace Tolvenar
