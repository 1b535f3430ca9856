// Reading the bytes of a song named on the command line, and showing file
// names in messages.
#ifndef ORLIX_TOOLS_SONG_INPUT_H
#define ORLIX_TOOLS_SONG_INPUT_H

#include <cstddef>
#include <string>
#include <vector>

#include "orlix/orlix.h"

// Reads the whole file at path ("-": standard input) into *bytes. Anything
// but a regular file (a directory, a FIFO, a device) is refused without
// waiting on it. Returns 1, or 0 with *message (without the file name).
int ReadSongInput(const std::string& path, std::vector<unsigned char>* bytes,
                  std::string* message);

// The name as a message shows it: control characters (C0, DEL, C1) and
// bytes that are not UTF-8 as \xNN, so a name cannot drive the terminal.
std::string ShownName(const std::string& name);

// The message for a failed open, conversion or description: the library's,
// but for a MIDI file over the limit, which is said in the command's terms.
std::string FailureMessage(const ORLIX_Error& error, size_t maxBytes);

// "standard input" for "-", else the name as ShownName gives it.
std::string InputName(const std::string& path);

#endif
