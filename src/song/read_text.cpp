// The two text primitives of the song file: byte strings and int-byte strings.
#include <cstdlib>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

char* ReadByteString(FILE* stream) {
  uint8_t length;
  if (!ReadU8(stream, &length)) return nullptr;
  char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
  if (!text) return nullptr;
  if (!ReadBytes(stream, text, length)) {
    free(text);
    return nullptr;
  }
  text[length] = '\0';
  return text;
}

char* ReadIntByteString(FILE* stream) {
  // The int32 in front repeats the length (plus one); the length byte rules.
  uint8_t ignored[4];
  if (!ReadBytes(stream, ignored, sizeof ignored)) return nullptr;
  return ReadByteString(stream);
}

}  // namespace Tolvenar
