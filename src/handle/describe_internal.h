// Pieces of the song description shared by its files: a JSON writer into a
// growing buffer that converts song texts to UTF-8, and the count of the
// note-ons a conversion wrote into each chunk.
#ifndef ORLIX_HANDLE_DESCRIBE_INTERNAL_H
#define ORLIX_HANDLE_DESCRIBE_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <iconv.h>

namespace Tolvenar {

// Indented JSON in one malloc'd buffer. A failed allocation sets `failed`,
// and every later call does nothing.
struct JsonText {
  char* data;
  size_t size;
  size_t capacity;
  bool failed;
  iconv_t converter;  // song texts to UTF-8
  unsigned depth;
  bool hasItems[8];  // per open object or array; the description nests 4 deep
  bool afterKey;
};

// Opens the converter from `encoding`; 0 when iconv does not know it.
int InitJsonText(JsonText* json, const char* encoding);
// Releases the buffer (unless taken) and the converter.
void FreeJsonText(JsonText* json);

void JsonBeginObject(JsonText* json);
void JsonEndObject(JsonText* json);
void JsonBeginArray(JsonText* json);
void JsonEndArray(JsonText* json);
void JsonKey(JsonText* json, const char* key);  // key is ASCII
// A song text through the converter; null becomes JSON null.
void JsonSongText(JsonText* json, const char* text);
// An ASCII text of the library's own (a note name, a mode).
void JsonAsciiText(JsonText* json, const char* text);
void JsonInteger(JsonText* json, long long value);
void JsonBool(JsonText* json, bool value);
void JsonNull(JsonText* json);

// Counts the note-ons with a velocity above 0 in each of the first
// `chunkCount` track chunks of a Standard MIDI File. Returns 1, or 0 when
// the bytes are not such a file.
int CountNoteOns(const unsigned char* midi, size_t size, uint32_t chunkCount,
                 unsigned long long* counts);

}  // namespace Tolvenar

#endif
