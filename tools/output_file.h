// Writing an output file so that it appears complete or not at all.
#ifndef ORLIX_TOOLS_OUTPUT_FILE_H
#define ORLIX_TOOLS_OUTPUT_FILE_H

#include <cstddef>
#include <string>

// Writes the bytes to a temporary file beside target, syncs it and renames
// it over target. Returns 1, or 0 with *message and no file left behind.
int WriteFileAtomically(const std::string& target, const unsigned char* data, size_t size,
                        std::string* message);

// The folder part of a path ("." when it has none).
std::string DirectoryOf(const std::string& path);

#endif
