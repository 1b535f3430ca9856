// A small writer of indented JSON into a string.
#ifndef ORLIX_TOOLS_JSON_WRITER_H
#define ORLIX_TOOLS_JSON_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

struct JsonWriter {
  std::string out;
  std::vector<bool> hasItems;  // one entry per open object or array
  bool afterKey = false;
};

void JsonBeginObject(JsonWriter* json);
void JsonEndObject(JsonWriter* json);
void JsonBeginArray(JsonWriter* json);
void JsonEndArray(JsonWriter* json);
void JsonKey(JsonWriter* json, const char* key);  // key is ASCII
// A Windows-1252 song text as a JSON string; null becomes JSON null.
void JsonSongText(JsonWriter* json, const char* text);
void JsonInteger(JsonWriter* json, int64_t value);
void JsonBool(JsonWriter* json, bool value);
void JsonNull(JsonWriter* json);

// Appends text (already UTF-8) as a quoted, escaped JSON string.
void AppendJsonString(std::string* out, const std::string& utf8);

#endif
