// A small JSON reader and the text layout of a song description:
//   key: value                      scalars; texts shown as they are
//   key: 64 59 55                   arrays of numbers and short words
//   key: first line                 arrays of texts, one a line
//        second line
//   key:                            arrays of objects, one object a line
//     measure: 1, numerator: 4
#include "info_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  std::string text;  // a string's UTF-8, a number's or a boolean's literal
  std::vector<JsonValue> items;
  std::vector<std::string> keys;  // an object's, in order, beside items
};

struct Reader {
  const char* at;
  const char* end;
};

void SkipSpace(Reader* reader) {
  while (reader->at < reader->end && strchr(" \t\r\n", *reader->at) && *reader->at) ++reader->at;
}

bool Take(Reader* reader, char c) {
  SkipSpace(reader);
  if (reader->at < reader->end && *reader->at == c) {
    ++reader->at;
    return true;
  }
  return false;
}

void AppendUtf8(std::string* out, unsigned long codePoint) {
  if (codePoint < 0x80) {
    out->push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

bool ReadHex4(Reader* reader, unsigned long* value) {
  if (reader->end - reader->at < 4) return false;
  char digits[5] = {reader->at[0], reader->at[1], reader->at[2], reader->at[3], 0};
  char* stop = nullptr;
  *value = strtoul(digits, &stop, 16);
  reader->at += 4;
  return stop == digits + 4;
}

bool ReadString(Reader* reader, std::string* out) {
  if (!Take(reader, '"')) return false;
  while (reader->at < reader->end && *reader->at != '"') {
    char c = *reader->at++;
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (reader->at >= reader->end) return false;
    char escaped = *reader->at++;
    const char* plain = strchr("\"\\/bfnrt", escaped);
    if (plain && escaped) {
      out->push_back("\"\\/\b\f\n\r\t"[plain - "\"\\/bfnrt"]);
      continue;
    }
    unsigned long codePoint;
    if (escaped != 'u' || !ReadHex4(reader, &codePoint)) return false;
    unsigned long low;
    if (codePoint >= 0xD800 && codePoint < 0xDC00 && reader->end - reader->at >= 6 &&
        reader->at[0] == '\\' && reader->at[1] == 'u') {
      reader->at += 2;
      if (!ReadHex4(reader, &low)) return false;
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, codePoint);
  }
  return Take(reader, '"');
}

bool ReadValue(Reader* reader, JsonValue* value, int depth) {
  SkipSpace(reader);
  if (reader->at >= reader->end || depth > 16) return false;
  char c = *reader->at;
  if (c == '{' || c == '[') {
    value->kind = c == '{' ? JsonValue::kObject : JsonValue::kArray;
    ++reader->at;
    char close = c == '{' ? '}' : ']';
    if (Take(reader, close)) return true;
    do {
      if (value->kind == JsonValue::kObject) {
        value->keys.emplace_back();
        if (!ReadString(reader, &value->keys.back()) || !Take(reader, ':')) return false;
      }
      value->items.emplace_back();
      if (!ReadValue(reader, &value->items.back(), depth + 1)) return false;
    } while (Take(reader, ','));
    return Take(reader, close);
  }
  if (c == '"') {
    value->kind = JsonValue::kString;
    return ReadString(reader, &value->text);
  }
  const char* start = reader->at;
  while (reader->at < reader->end && strchr("+-.0123456789eEtruefalsn", *reader->at) &&
         *reader->at) {
    ++reader->at;
  }
  value->text.assign(start, reader->at);
  if (value->text == "null") {
    value->kind = JsonValue::kNull;
  } else if (value->text == "true" || value->text == "false") {
    value->kind = JsonValue::kBool;
  } else {
    value->kind = JsonValue::kNumber;
  }
  return !value->text.empty();
}

// A text for a terminal: control characters (which JSON brings as \u
// escapes) shown as \xNN.
std::string Shown(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    unsigned control = 0x100;
    if (c < 0x20 || c == 0x7F) {
      control = c;
    } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      control = static_cast<unsigned char>(utf8[++i]);
    }
    if (control != 0x100) {
      char escape[5];
      snprintf(escape, sizeof escape, "\\x%02X", control);
      out.append(escape);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

bool IsWord(const JsonValue& value) {
  return value.kind != JsonValue::kString ||
         (!value.text.empty() && value.text.find_first_of(" ,\"") == std::string::npos);
}

// A value on a line with others: texts that are not plain words quoted.
std::string Inline(const JsonValue& value) {
  if (value.kind == JsonValue::kString) {
    return IsWord(value) ? Shown(value.text) : "\"" + Shown(value.text) + "\"";
  }
  if (value.kind == JsonValue::kArray || value.kind == JsonValue::kObject) {
    std::string out;
    for (size_t i = 0; i < value.items.size(); ++i) {
      if (i) out += value.kind == JsonValue::kArray ? " " : ", ";
      if (value.kind == JsonValue::kObject) out += value.keys[i] + ": ";
      out += Inline(value.items[i]);
    }
    return out;
  }
  return value.text;
}

void Render(const std::string& key, const JsonValue& value, size_t width, std::string* out) {
  std::string label = key + ":";
  label.resize(width > label.size() ? width : label.size() + 1, ' ');
  if (value.kind == JsonValue::kString) {
    out->append(label).append(Shown(value.text));
  } else if (value.kind != JsonValue::kArray) {
    out->append(label).append(Inline(value));
  } else if (value.items.empty()) {
    out->append(key).append(":");
  } else if (value.items[0].kind == JsonValue::kObject) {
    out->append(key).append(":");
    for (const JsonValue& item : value.items) out->append("\n  ").append(Inline(item));
  } else {
    bool words = true;
    for (const JsonValue& item : value.items) words = words && IsWord(item);
    if (words) {
      out->append(label).append(Inline(value));
    } else {
      std::string indent(label.size(), ' ');
      for (size_t i = 0; i < value.items.size(); ++i) {
        const JsonValue& item = value.items[i];
        out->append(i ? "\n" + indent : label);
        bool empty = item.kind == JsonValue::kString && item.text.empty();
        out->append(empty                                ? "\"\""
                    : item.kind == JsonValue::kString ? Shown(item.text)
                                                      : item.text);
      }
    }
  }
  // No trailing spaces for empty values.
  while (!out->empty() && out->back() == ' ') out->pop_back();
  out->push_back('\n');
}

}  // namespace

int DescriptionAsText(const char* json, size_t size, std::string* text) {
  Reader reader = {json, json + size};
  JsonValue description;
  if (!ReadValue(&reader, &description, 0) || description.kind != JsonValue::kObject) return 0;
  size_t width = 0;
  for (const std::string& key : description.keys) {
    if (key.size() + 2 > width) width = key.size() + 2;
  }
  text->clear();
  for (size_t i = 0; i < description.items.size(); ++i) {
    Render(description.keys[i], description.items[i], width, text);
  }
  return 1;
}
