// Writing an output file so that it appears complete or not at all.
#ifndef ORLIX_TOOLS_OUTPUT_FILE_H
#define ORLIX_TOOLS_OUTPUT_FILE_H

#include <cstddef>
#include <string>
#include <sys/types.h>

// Writes the bytes to a temporary file beside target, syncs it and renames
// it over target. A file it replaces keeps its mode (and owner, where that
// is allowed); a new file gets newFileMode. Returns 1, or 0 with *message
// and no file left behind.
int WriteFileAtomically(const std::string& target, const unsigned char* data, size_t size,
                        mode_t newFileMode, std::string* message);

// Writes every byte to fd, retrying interrupted and partial writes. Returns
// 1, or 0 with errno set.
int WriteAll(int fd, const unsigned char* data, size_t size);

#endif
