// The two text primitives of the song file: byte strings and int-byte strings.
#include "song/song_internal.h"

namespace Tolvenar {

int ReadByteString(SongReader* in, char** text) {
  uint8_t length;
  if (!ReadU8(in, &length)) return 0;
  char* bytes = static_cast<char*>(NewArrayUninitialised(in, static_cast<uint64_t>(length) + 1, 1));
  if (!bytes) return 0;
  bytes[0] = '\0';
  *text = bytes;
  if (!ReadBytes(in, bytes, length)) return 0;
  bytes[length] = '\0';
  return 1;
}

int ReadIntByteString(SongReader* in, char** text) {
  // The int32 in front repeats the length (plus one); the length byte rules.
  const uint8_t* ignored;
  if (!TakeBytes(in, 4, &ignored)) return 0;
  return ReadByteString(in, text);
}

int SkipIntByteString(SongReader* in) {
  const uint8_t* field;
  if (!TakeBytes(in, 5, &field)) return 0;
  return SkipBytes(in, field[4]);
}

}  // namespace Tolvenar
