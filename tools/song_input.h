// Opening a song named on the command line, and showing file names and
// failures in messages.
#ifndef ORLIX_TOOLS_SONG_INPUT_H
#define ORLIX_TOOLS_SONG_INPUT_H

#include <string>

#include "orlix/orlix.h"

// Reads the whole file at path ("-": standard input) and opens the song
// from memory. Anything but a regular file (a directory, a FIFO, a device)
// is refused without waiting on it. Returns the song, or null with
// *message (the library's, or why the file could not be read; without the
// file name).
ORLIX_Song* OpenSongInput(const std::string& path, std::string* message);

// The name as a message shows it: control characters (C0, DEL, C1) and
// bytes that are not UTF-8 as \xNN, so a name cannot drive the terminal.
std::string ShownName(const std::string& name);

// "standard input" for "-", else the name as ShownName gives it.
std::string InputName(const std::string& path);

#endif
