// The song's information as text for people or as JSON for programs.
#ifndef ORLIX_TOOLS_SONG_INFO_H
#define ORLIX_TOOLS_SONG_INFO_H

#include <string>

#include "orlix/tolvenar.h"

std::string SongInfoText(const Tolvenar::FileStruct& song);
std::string SongInfoJson(const Tolvenar::FileStruct& song);

// "E4" for 64, "C-1" for 0; the number itself outside 0..127.
std::string NoteName(int32_t midiNote);

#endif
