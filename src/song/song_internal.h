// Readers and release functions shared by the files of the song subsystem.
// None of these is exported; the tests reach them through the object library.
//
// Every reader takes the reader context (song_reader.h) and returns 1 when
// its record was read completely, else 0 with the error recorded in the
// context. A reader attaches each record it allocates to its owner at once
// and never frees: after a failure the owner's release (FreeFileStruct,
// FreeSongBody, FreeBeat ...) or the arena takes everything, half-read
// records included.
#ifndef ORLIX_SONG_INTERNAL_H
#define ORLIX_SONG_INTERNAL_H

#include <cstdint>
#include <cstdio>

#include "orlix/tolvenar.h"
#include "song/song_reader.h"

namespace Tolvenar {

// Smallest size of each record in the file, used to refuse counts that the
// rest of the input cannot back before allocating for them.
constexpr uint32_t kMinNoticeLineBytes = 5;
constexpr uint32_t kMinMeasureHeaderBytes = 1;
constexpr uint32_t kMinMeasureHeader5Bytes = 4;
constexpr uint32_t kTrackRecordBytes = 98;
constexpr uint32_t kMinGridCellBytes = 4;
constexpr uint32_t kMinGridCell5Bytes = 9;  // the cell byte and two beat counts
constexpr uint32_t kMinBeatBytes = 3;
constexpr uint32_t kMinBeat5Bytes = 5;  // and the display flags
constexpr uint32_t kBendPointBytes = 9;
constexpr size_t kSongBlockBytes = 785;

// The format a version text names (format detection), or kFormatUnknown.
// Some headers are opened only through the handle interface.
SongFormat DetectSongFormat(const char* versionText, bool acceptsHandleFormats);
// Whether the first length bytes of a version text that the input cuts
// short could still begin a header DetectSongFormat knows.
bool BeginsKnownHeader(const char* text, size_t length, bool acceptsHandleFormats);

// The whole song from the reader's position: version text, format
// detection, then the reader of that format. The record must be zeroed.
int ReadSong(FileStruct* song, SongReader* in);

// Texts: a length byte then that many bytes; the int-byte form has an
// ignored int32 in front. The text is attached to *text before its bytes
// are read.
int ReadByteString(SongReader* in, char** text);
int ReadIntByteString(SongReader* in, char** text);
// Moves past an int-byte string whose text is not kept.
int SkipIntByteString(SongReader* in);

void FreeSongInfo(SongInfo* info);
void FreeSongBody(FileStruct* song, uint32_t measureCount, uint32_t trackCount);

int LoadSongBody(FileStruct* song, SongReader* in, uint32_t measureCount, uint32_t trackCount);
int LoadMeasureHeader(MeasureHeader* header, SongReader* in);
int LoadTrack(Track* track, SongReader* in);

int LoadMeasureGrid(FileStruct* song, SongReader* in, uint32_t measureCount, uint32_t trackCount);
int LoadBeat(Beat* beat, SongReader* in);
// Reads count beats into an uninitialised array and returns how many were
// read completely; when that is less than count, the beat after them is
// the failed one (set, possibly owning attachments) and the rest are unset.
uint32_t LoadBeats(Beat* beats, uint32_t count, SongReader* in);
// The note must be zeroed.
int LoadNote(Note* note, SongReader* in);
int LoadNoteEffects(NoteEffects** effects, SongReader* in);
void FreeBeat(Beat* beat);
// FreeBeat on each beat of an array, the array itself left to the caller.
void FreeBeats(Beat* beats, uint32_t count);
void FreeNote(Note* note);
void FreeNoteEffects(NoteEffects** effects);

int LoadChordDiagram(ChordDiagram** chord, SongReader* in);
int LoadBeatEffects(BeatEffects** effects, SongReader* in);
int LoadMixTableChange(MixTableChange** mix, SongReader* in);
int LoadBendCurve(BendCurve** curve, SongReader* in);
// The extras kept beside the records (song_extras.h), filled as the reader
// goes. The per-measure and per-track arrays, before the headers are read.
int NewSongExtras(SongReader* in, uint32_t measureCount, uint32_t trackCount);
// Versions 3 and 4: the song-wide triplet feel in every measure and the
// ending sets the ending numbers stand for.
void KeepExtrasOfRecords(SongExtras* extras, const FileStruct* song);
// Version 5: the note just read carries in->place.note; kept under its place.
int KeepNoteExtras(SongReader* in, unsigned slot);

void FreeChordDiagram(ChordDiagram** chord);
void FreeBeatEffects(BeatEffects** effects);
void FreeBendCurve(BendCurve** curve);

}  // namespace Tolvenar

#endif
