// Indented JSON output with escaped, UTF-8 strings.
#include "json_writer.h"

#include <cstdio>

#include "windows1252.h"

namespace {

void NewLine(JsonWriter* json) {
  json->out.push_back('\n');
  json->out.append(2 * json->hasItems.size(), ' ');
}

// Separator and indentation before a value or a key.
void BeforeItem(JsonWriter* json) {
  if (json->afterKey) {
    json->afterKey = false;
    return;
  }
  if (json->hasItems.empty()) return;
  if (json->hasItems.back()) json->out.push_back(',');
  json->hasItems.back() = true;
  NewLine(json);
}

void Open(JsonWriter* json, char bracket) {
  BeforeItem(json);
  json->out.push_back(bracket);
  json->hasItems.push_back(false);
}

void Close(JsonWriter* json, char bracket) {
  bool hadItems = json->hasItems.back();
  json->hasItems.pop_back();
  if (hadItems) NewLine(json);
  json->out.push_back(bracket);
  if (json->hasItems.empty()) json->out.push_back('\n');
}

}  // namespace

void JsonBeginObject(JsonWriter* json) { Open(json, '{'); }
void JsonEndObject(JsonWriter* json) { Close(json, '}'); }
void JsonBeginArray(JsonWriter* json) { Open(json, '['); }
void JsonEndArray(JsonWriter* json) { Close(json, ']'); }

void JsonKey(JsonWriter* json, const char* key) {
  BeforeItem(json);
  AppendJsonString(&json->out, key);
  json->out.append(": ");
  json->afterKey = true;
}

void JsonSongText(JsonWriter* json, const char* text) {
  BeforeItem(json);
  if (!text) {
    json->out.append("null");
    return;
  }
  std::string utf8;
  AppendWindows1252AsUtf8(&utf8, text);
  AppendJsonString(&json->out, utf8);
}

void JsonInteger(JsonWriter* json, int64_t value) {
  BeforeItem(json);
  json->out.append(std::to_string(value));
}

void JsonBool(JsonWriter* json, bool value) {
  BeforeItem(json);
  json->out.append(value ? "true" : "false");
}

void JsonNull(JsonWriter* json) {
  BeforeItem(json);
  json->out.append("null");
}

void AppendJsonString(std::string* out, const std::string& utf8) {
  out->push_back('"');
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04X", c);
      out->append(escape);
    } else if (c == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      // A C1 control (U+0080..U+009F) is legal raw but invisible; escape it.
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(utf8[i + 1]));
      out->append(escape);
      ++i;
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
  out->push_back('"');
}
