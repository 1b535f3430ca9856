// Indented JSON into one growing buffer, song texts converted to UTF-8
// through iconv.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "handle/describe_internal.h"

namespace Tolvenar {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

void Append(JsonText* json, const char* bytes, size_t count) {
  if (json->failed) return;
  if (json->capacity - json->size <= count) {  // one byte kept for the NUL
    size_t capacity = json->capacity ? json->capacity : 4096;
    while (capacity - json->size <= count) {
      if (capacity > SIZE_MAX / 2) {
        json->failed = true;
        return;
      }
      capacity *= 2;
    }
    char* grown = static_cast<char*>(realloc(json->data, capacity));
    if (!grown) {
      json->failed = true;
      return;
    }
    json->data = grown;
    json->capacity = capacity;
  }
  memcpy(json->data + json->size, bytes, count);
  json->size += count;
  json->data[json->size] = '\0';
}

void AppendText(JsonText* json, const char* text) { Append(json, text, strlen(text)); }

void NewLine(JsonText* json) {
  static const char kSpaces[] = "                ";
  Append(json, "\n", 1);
  size_t indent = 2 * json->depth;
  Append(json, kSpaces, indent < sizeof kSpaces - 1 ? indent : sizeof kSpaces - 1);
}

// Separator and indentation before a value or a key.
void BeforeItem(JsonText* json) {
  if (json->afterKey) {
    json->afterKey = false;
    return;
  }
  if (json->depth == 0) return;
  if (json->hasItems[json->depth - 1]) Append(json, ",", 1);
  json->hasItems[json->depth - 1] = true;
  NewLine(json);
}

void Open(JsonText* json, char bracket) {
  BeforeItem(json);
  Append(json, &bracket, 1);
  if (json->depth < sizeof json->hasItems) json->hasItems[json->depth] = false;
  ++json->depth;
}

void Close(JsonText* json, char bracket) {
  --json->depth;
  if (json->depth < sizeof json->hasItems && json->hasItems[json->depth]) NewLine(json);
  Append(json, &bracket, 1);
  if (json->depth == 0) Append(json, "\n", 1);
}

// UTF-8 as the body of a JSON string. Controls, C0 and C1 alike, are
// escaped: legal raw, but invisible or worse on a terminal.
void AppendEscaped(JsonText* json, const char* utf8, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    unsigned escaped = 0x100;
    if (c < 0x20 || c == 0x7F) {
      escaped = c;
    } else if (c == 0xC2 && i + 1 < length && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      escaped = static_cast<unsigned char>(utf8[++i]);
    }
    if (escaped != 0x100) {
      char sequence[8];
      snprintf(sequence, sizeof sequence, "\\u%04X", escaped);
      AppendText(json, sequence);
    } else if (c == '"' || c == '\\') {
      const char pair[2] = {'\\', static_cast<char>(c)};
      Append(json, pair, 2);
    } else {
      Append(json, &utf8[i], 1);
    }
  }
}

}  // namespace

int InitJsonText(JsonText* json, const char* encoding) {
  memset(json, 0, sizeof *json);
  json->converter = iconv_open("UTF-8", encoding);
  return json->converter != kNoConverter;
}

void FreeJsonText(JsonText* json) {
  free(json->data);
  json->data = nullptr;
  if (json->converter != kNoConverter) iconv_close(json->converter);
  json->converter = kNoConverter;
}

void JsonBeginObject(JsonText* json) { Open(json, '{'); }
void JsonEndObject(JsonText* json) { Close(json, '}'); }
void JsonBeginArray(JsonText* json) { Open(json, '['); }
void JsonEndArray(JsonText* json) { Close(json, ']'); }

void JsonKey(JsonText* json, const char* key) {
  BeforeItem(json);
  Append(json, "\"", 1);
  AppendText(json, key);
  Append(json, "\": ", 3);
  json->afterKey = true;
}

void JsonSongText(JsonText* json, const char* text) {
  BeforeItem(json);
  if (!text) {
    AppendText(json, "null");
    return;
  }
  Append(json, "\"", 1);
  iconv(json->converter, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
  char* in = const_cast<char*>(text);
  size_t inLeft = strlen(text);
  while (!json->failed) {
    char block[256];
    char* out = block;
    size_t outLeft = sizeof block;
    // Once the input is used up, one more call lets a stateful encoding
    // write what it still holds.
    bool flushing = inLeft == 0;
    size_t result = flushing ? iconv(json->converter, nullptr, nullptr, &out, &outLeft)
                             : iconv(json->converter, &in, &inLeft, &out, &outLeft);
    int failure = result == static_cast<size_t>(-1) ? errno : 0;
    AppendEscaped(json, block, static_cast<size_t>(out - block));
    if (failure == E2BIG) continue;
    if (flushing) break;
    if (failure != 0) {
      // An invalid or cut-off sequence: a replacement character for its
      // first byte, and on from the next.
      AppendText(json, "\xEF\xBF\xBD");
      ++in;
      --inLeft;
      iconv(json->converter, nullptr, nullptr, nullptr, nullptr);
    }
  }
  Append(json, "\"", 1);
}

void JsonAsciiText(JsonText* json, const char* text) {
  BeforeItem(json);
  Append(json, "\"", 1);
  AppendEscaped(json, text, strlen(text));
  Append(json, "\"", 1);
}

void JsonInteger(JsonText* json, long long value) {
  BeforeItem(json);
  char digits[24];
  snprintf(digits, sizeof digits, "%lld", value);
  AppendText(json, digits);
}

void JsonBool(JsonText* json, bool value) {
  BeforeItem(json);
  AppendText(json, value ? "true" : "false");
}

void JsonNull(JsonText* json) {
  BeforeItem(json);
  AppendText(json, "null");
}

}  // namespace Tolvenar
