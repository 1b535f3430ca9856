// The library's song description (JSON) shown as text for people: the same
// fields under the same names, one line each.
#ifndef ORLIX_TOOLS_INFO_TEXT_H
#define ORLIX_TOOLS_INFO_TEXT_H

#include <cstddef>
#include <string>

// Returns 1 with *text, or 0 when json is not a JSON object.
int DescriptionAsText(const char* json, size_t size, std::string* text);

#endif
