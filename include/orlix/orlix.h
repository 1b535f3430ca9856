/* The flat interface of liborlix, for C and C++: one global loaded song,
   queries over it, and its export as a Standard MIDI File in memory. */
#ifndef ORLIX_ORLIX_H
#define ORLIX_ORLIX_H

#include "orlix/export.h"

#ifdef __cplusplus
#include "orlix/tolvenar.h"
#define ORLIX_RECORD(name) Tolvenar::name
extern "C" {
#else
#include <stdint.h>
/* The song record is opaque to C; its channel table entries are not. */
struct FileStruct;
#pragma pack(push, 1)
typedef struct MidiChannel {
  int32_t instrument;
  uint8_t volume;
  uint8_t balance;
  uint8_t chorus;
  uint8_t reverb;
  uint8_t phaser;
  uint8_t tremolo;
  uint8_t blank[2];
} MidiChannel;
#pragma pack(pop)
#define ORLIX_RECORD(name) struct name
#endif

/* Four colour bytes exactly as stored in the song file. */
typedef struct Color {
  unsigned char bytes[4];
} Color;

/* The loaded song, or null. Owned by the library. */
ORLIX_API extern ORLIX_RECORD(FileStruct) * theFileStruct;

ORLIX_API void ORLIX_Init(void);
ORLIX_API int ORLIX_Load(const char* path);
ORLIX_API void ORLIX_Unload(void);
ORLIX_API void ORLIX_Free(void);

/* Queries answer 0, null or an all-zero colour when no song is loaded or an
   index is out of range. Texts point into the song: do not free them. */
ORLIX_API const char* ORLIX_GetTitle(void);
ORLIX_API const char* ORLIX_GetSubtitle(void);
ORLIX_API const char* ORLIX_GetInterpret(void);
ORLIX_API const char* ORLIX_GetAlbum(void);
ORLIX_API const char* ORLIX_GetAuthor(void);
ORLIX_API const char* ORLIX_GetCopyright(void);
ORLIX_API const char* ORLIX_GetTabAuthor(void);
ORLIX_API const char* ORLIX_GetInstructions(void);
ORLIX_API int ORLIX_GetNoticeLineCount(void);
ORLIX_API const char* ORLIX_GetNoticeLine(unsigned int index);
ORLIX_API int ORLIX_IsTripletFeelEnabled(void);
ORLIX_API int ORLIX_GetLyricsTrack(void);
ORLIX_API const char* ORLIX_GetLyricsLine(unsigned int index);
ORLIX_API int ORLIX_GetTempo(void);
ORLIX_API int ORLIX_GetKey(void);
ORLIX_API int ORLIX_GetOctave(void);
ORLIX_API const ORLIX_RECORD(MidiChannel) * ORLIX_GetMidiChannel(unsigned int port, unsigned int channel);
ORLIX_API int ORLIX_GetMeasureCount(void);
ORLIX_API int ORLIX_GetTrackCount(void);

ORLIX_API int ORLIX_IsMeasureKeyNumeratorPresent(unsigned int measure);
ORLIX_API int ORLIX_IsMeasureKeyDenominatorPresent(unsigned int measure);
ORLIX_API int ORLIX_IsMeasureBeginRepeatPresent(unsigned int measure);
ORLIX_API int ORLIX_IsMeasureEndRepeatPresent(unsigned int measure);
ORLIX_API int ORLIX_IsMeasureMarkerPresent(unsigned int measure);
ORLIX_API int ORLIX_IsMeasureTonalityPresent(unsigned int measure);
ORLIX_API int ORLIX_IsMeasureDoubleBarPresent(unsigned int measure);
ORLIX_API int ORLIX_GetMeasureKeyNumerator(unsigned int measure);
ORLIX_API int ORLIX_GetMeasureKeyDenominator(unsigned int measure);
ORLIX_API int ORLIX_GetMeasureRepeatCount(unsigned int measure);
ORLIX_API int ORLIX_GetMeasureAltEndingCount(unsigned int measure);
ORLIX_API int ORLIX_GetMeasureTonality(unsigned int measure);
ORLIX_API const char* ORLIX_GetMeasureMarkerText(unsigned int measure);
ORLIX_API Color ORLIX_GetMeasureMarkerColor(unsigned int measure);

ORLIX_API const char* ORLIX_GetTrackName(unsigned int track);
ORLIX_API int ORLIX_GetTrackStringCount(unsigned int track);
ORLIX_API int ORLIX_GetTrackTuning(unsigned int track, unsigned int string);
ORLIX_API int ORLIX_GetTrackMidiPort(unsigned int track);
ORLIX_API int ORLIX_GetTrackMidiChannel(unsigned int track);
ORLIX_API int ORLIX_GetTrackEffectsMidiChannel(unsigned int track);
ORLIX_API int ORLIX_GetTrackFretCount(unsigned int track);
ORLIX_API int ORLIX_GetTrackCapoHeight(unsigned int track);
ORLIX_API Color ORLIX_GetTrackColor(unsigned int track);

/* Converts the loaded song into a Standard MIDI File (format 1, 480 ticks per
   quarter note). Returns 1 when a conversion ran; *buffer is then the file
   (null with *size 0 when it could not be allocated), to be released with
   ORLIX_DestroyMidiBuffer. Returns 0 and stores nothing otherwise. */
ORLIX_API int ORLIX_CreateMidiBuffer(unsigned char** buffer, int* size);
ORLIX_API void ORLIX_DestroyMidiBuffer(unsigned char* buffer);

#ifdef __cplusplus
}
#endif

#undef ORLIX_RECORD

#endif
