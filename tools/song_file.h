// Loading a song file for the command, with a message that says what is
// wrong with a file that does not load.
#ifndef ORLIX_TOOLS_SONG_FILE_H
#define ORLIX_TOOLS_SONG_FILE_H

#include <cstdint>
#include <string>

#include "orlix/tolvenar.h"

// Reads the song at path into song. Returns 1, or 0 with song holding
// nothing and *message saying why (without the file name).
int LoadSongFile(const char* path, Tolvenar::FileStruct* song, std::string* message);

// Converts a loaded song into a Standard MIDI File exactly as the flat
// interface does. Returns 1 with *buffer owned by the caller (release with
// Tolvenar::DestroyMidiBuffer), or 0 with *message.
int ConvertSong(Tolvenar::FileStruct* song, Tolvenar::Byte** buffer, uint32_t* size,
                std::string* message);

// Bytes shown between quotes in a message: printable ASCII as it is,
// anything else as \xNN.
std::string PrintableBytes(const unsigned char* bytes, size_t length);

#endif
