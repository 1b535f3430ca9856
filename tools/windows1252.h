// Song texts are single-byte Windows-1252 text; these turn them into UTF-8.
#ifndef ORLIX_TOOLS_WINDOWS1252_H
#define ORLIX_TOOLS_WINDOWS1252_H

#include <cstdint>
#include <string>

// The Unicode code point of one Windows-1252 byte.
uint32_t Windows1252CodePoint(unsigned char byte);

// Appends the code point as UTF-8.
void AppendUtf8(std::string* out, uint32_t codePoint);

// Appends a NUL-terminated Windows-1252 text as UTF-8 (nothing for null).
void AppendWindows1252AsUtf8(std::string* out, const char* text);

#endif
