// Flat queries on the song as a whole: information texts, notice, lyrics,
// tempo, key and the channel table.
#include <cstdint>

#include "orlix/orlix.h"

using Tolvenar::FileStruct;

namespace {

const char* InfoText(char* Tolvenar::SongInfo::*text) {
  return theFileStruct ? theFileStruct->info.*text : nullptr;
}

}  // namespace

const char* ORLIX_GetTitle(void) { return InfoText(&Tolvenar::SongInfo::title); }
const char* ORLIX_GetSubtitle(void) { return InfoText(&Tolvenar::SongInfo::subtitle); }
const char* ORLIX_GetInterpret(void) { return InfoText(&Tolvenar::SongInfo::interpret); }
const char* ORLIX_GetAlbum(void) { return InfoText(&Tolvenar::SongInfo::album); }
const char* ORLIX_GetAuthor(void) { return InfoText(&Tolvenar::SongInfo::author); }
const char* ORLIX_GetCopyright(void) { return InfoText(&Tolvenar::SongInfo::copyright); }
const char* ORLIX_GetTabAuthor(void) { return InfoText(&Tolvenar::SongInfo::tabAuthor); }
const char* ORLIX_GetInstructions(void) { return InfoText(&Tolvenar::SongInfo::instructions); }

int ORLIX_GetNoticeLineCount(void) {
  return theFileStruct ? static_cast<int>(theFileStruct->info.noticeLineCount) : 0;
}

const char* ORLIX_GetNoticeLine(unsigned int index) {
  if (!theFileStruct || !theFileStruct->info.noticeLines) return nullptr;
  if (index >= theFileStruct->info.noticeLineCount) return nullptr;
  return theFileStruct->info.noticeLines[index];
}

int ORLIX_IsTripletFeelEnabled(void) { return theFileStruct ? theFileStruct->tripletFeel : 0; }

int ORLIX_GetLyricsTrack(void) { return theFileStruct ? theFileStruct->lyricsTrack : 0; }

const char* ORLIX_GetLyricsLine(unsigned int index) {
  const unsigned int lines = sizeof theFileStruct->lyricsLines / sizeof theFileStruct->lyricsLines[0];
  if (!theFileStruct || index >= lines) return nullptr;
  return theFileStruct->lyricsLines[index];
}

int ORLIX_GetTempo(void) { return theFileStruct ? theFileStruct->tempo : 0; }

int ORLIX_GetKey(void) { return theFileStruct ? static_cast<uint8_t>(theFileStruct->key) : 0; }

int ORLIX_GetOctave(void) { return theFileStruct ? theFileStruct->octave : 0; }

const Tolvenar::MidiChannel* ORLIX_GetMidiChannel(unsigned int port, unsigned int channel) {
  if (!theFileStruct || port > 3 || channel > 15) return nullptr;
  return &theFileStruct->midiChannels[port][channel];
}

int ORLIX_GetMeasureCount(void) {
  return theFileStruct ? static_cast<int>(theFileStruct->measureCount) : 0;
}

int ORLIX_GetTrackCount(void) {
  return theFileStruct ? static_cast<int>(theFileStruct->trackCount) : 0;
}
