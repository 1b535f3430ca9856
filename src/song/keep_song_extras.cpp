// The reader's side of the extras: their arrays, what versions 3 and 4 say
// through the records, and the note details version 5 keeps one by one.
#include <cstring>

#include "song/song_internal.h"

namespace Tolvenar {

int NewSongExtras(SongReader* in, uint32_t measureCount, uint32_t trackCount) {
  SongExtras* extras = in->extras;
  extras->measureTripletFeel = static_cast<uint8_t*>(NewArray(in, measureCount, 1));
  if (!extras->measureTripletFeel) return 0;
  extras->measureEndings = static_cast<uint32_t*>(NewArray(in, measureCount, sizeof(uint32_t)));
  if (!extras->measureEndings) return 0;
  if (ReadsVersion5(in)) {
    extras->trackBank = static_cast<uint8_t*>(NewArray(in, trackCount, 1));
    if (!extras->trackBank) return 0;
  }
  return 1;
}

void KeepExtrasOfRecords(SongExtras* extras, const FileStruct* song) {
  // The conversions swing eighths for a song-wide byte of exactly 1.
  uint8_t feel = song->tripletFeel == kTripletFeelEighths ? kTripletFeelEighths : kTripletFeelNone;
  memset(extras->measureTripletFeel, feel, song->measureCount);
  EndingSetsFromNumbers(song, extras->measureEndings);
}

int KeepNoteExtras(SongReader* in, unsigned slot) {
  SongExtras* extras = in->extras;
  if (extras->noteExtrasCount == extras->noteExtrasRoom) {
    // Entries arrive in order; the array doubles when full, the old one
    // left to the arena.
    uint32_t room = extras->noteExtrasRoom ? extras->noteExtrasRoom * 2 : 64;
    if (room < extras->noteExtrasRoom) return FailOutOfMemory(in, UINT64_MAX);
    auto* grown = static_cast<NoteExtrasEntry*>(NewArrayUninitialised(in, room, sizeof(NoteExtrasEntry)));
    if (!grown) return 0;
    if (extras->noteExtrasCount) memcpy(grown, extras->noteExtras, extras->noteExtrasCount * sizeof *grown);
    DropRecord(in, extras->noteExtras);
    extras->noteExtras = grown;
    extras->noteExtrasRoom = room;
  }
  const ExtrasPlace& place = in->place;
  NoteExtrasEntry& entry = extras->noteExtras[extras->noteExtrasCount++];
  entry.measure = place.measure;
  entry.track = place.track;
  entry.beat = place.beat;
  entry.voice = place.voice;
  entry.slot = static_cast<uint8_t>(slot);
  entry.extras = place.note;
  return 1;
}

}  // namespace Tolvenar
