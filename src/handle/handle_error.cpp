// Filling the caller's ORLIX_Error.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "handle/song_handle.h"

namespace orlix_handle {

int ReportError(ORLIX_Error* error, int kind, long long offset, const char* format, ...) {
  if (!error) return 0;
  error->kind = kind;
  error->offset = offset;
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(error->message, sizeof error->message, format, arguments);
  va_end(arguments);
  return 0;
}

void ReportSuccess(ORLIX_Error* error) {
  if (!error) return;
  error->kind = ORLIX_ERROR_NONE;
  error->offset = -1;
  error->message[0] = '\0';
}

}  // namespace orlix_handle
