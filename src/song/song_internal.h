// Readers and release functions shared by the files of the song subsystem.
// None of these is exported; the tests reach them through the object library.
#ifndef ORLIX_SONG_INTERNAL_H
#define ORLIX_SONG_INTERNAL_H

#include <cstdint>
#include <cstdio>

#include "orlix/tolvenar.h"

namespace Tolvenar {

// Smallest size of each record in the file, used to refuse counts that the
// rest of the stream cannot back before allocating for them.
constexpr uint32_t kMinNoticeLineBytes = 5;
constexpr uint32_t kMinMeasureHeaderBytes = 1;
constexpr uint32_t kTrackRecordBytes = 98;
constexpr uint32_t kMinGridCellBytes = 4;
constexpr uint32_t kMinBeatBytes = 3;
constexpr uint32_t kBendPointBytes = 9;
constexpr size_t kSongBlockBytes = 785;

// Texts: a length byte then that many bytes; the int-byte form has an
// ignored int32 in front. Null on a short read or a failed allocation.
char* ReadByteString(FILE* stream);
char* ReadIntByteString(FILE* stream);

void FreeSongInfo(SongInfo* info);
void FreeSongBody(FileStruct* song, uint32_t measureCount, uint32_t trackCount);

int LoadSongBody(FileStruct* song, FILE* stream, uint32_t measureCount, uint32_t trackCount);
int LoadMeasureHeader(MeasureHeader* header, FILE* stream);
int LoadTrack(Track* track, FILE* stream);

int LoadMeasureGrid(FileStruct* song, FILE* stream, uint32_t measureCount, uint32_t trackCount);
int LoadBeat(Beat* beat, FILE* stream);
int LoadNote(Note* note, FILE* stream);
// The grid's forms, over a cursor of the stream's buffer (read_primitives.h).
struct ByteCursor;
// LoadBeats reads count beats and returns how many were read completely;
// a failed beat owns nothing and the ones after it are left unset.
uint32_t LoadBeats(Beat* beats, uint32_t count, ByteCursor* in);
NoteEffects* LoadNoteEffects(FILE* stream);
void FreeBeat(Beat* beat);
// FreeBeat on each beat of an array, the array itself left to the caller.
void FreeBeats(Beat* beats, uint32_t count);
void FreeNote(Note* note);
void FreeNoteEffects(NoteEffects** effects);

ChordDiagram* LoadChordDiagram(FILE* stream);
BeatEffects* LoadBeatEffects(FILE* stream);
MixTableChange* LoadMixTableChange(FILE* stream);
BendCurve* LoadBendCurve(FILE* stream);
void FreeChordDiagram(ChordDiagram** chord);
void FreeBeatEffects(BeatEffects** effects);
void FreeBendCurve(BendCurve** curve);

}  // namespace Tolvenar

#endif
