/* The C interface of liborlix, for C and C++: the flat interface (one global
   loaded song, queries over it, its export as a Standard MIDI File in memory)
   and song handles. */
#ifndef ORLIX_ORLIX_H
#define ORLIX_ORLIX_H

#include "orlix/export.h"

#ifdef __cplusplus
#include <cstddef>
#include <cstdio>

#include "orlix/tolvenar.h"
#define ORLIX_RECORD(name) Tolvenar::name
extern "C" {
#else
#include <stddef.h>
#include <stdio.h>

#include "orlix/song_records.h"
#define ORLIX_RECORD(name) name
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


/* ---------------------------------------------------------------- song handles
   The interface for new programs: each open song is a handle of its own, so
   songs can be opened from a path, a stream or memory, and handled from
   several threads at once (one handle may be read and converted from several
   threads; opening and closing it are the caller's to order). Every call
   that can fail reports what went wrong and where; `error` may be null. */

typedef struct ORLIX_Song ORLIX_Song;

typedef struct ORLIX_Error {
  int kind;           /* ORLIX_ERROR_... below; 0 = no error */
  long long offset;   /* byte of the input where reading stopped, or -1; for a
                         stream, counted from its position when the open began */
  char message[200];  /* one line, no file name */
} ORLIX_Error;

/* Error kinds. These numbers are part of the interface and never change. */
enum {
  ORLIX_ERROR_NONE = 0,
  ORLIX_ERROR_OPEN,            /* the file could not be opened or read */
  ORLIX_ERROR_UNKNOWN_FORMAT,  /* not a song file of a format the library reads */
  ORLIX_ERROR_TRUNCATED,       /* the input ends before the song does */
  ORLIX_ERROR_BAD_DATA,        /* a value no song file holds */
  ORLIX_ERROR_OUT_OF_MEMORY,
  ORLIX_ERROR_TOO_LARGE,       /* the MIDI would pass the options' maxBytes */
  ORLIX_ERROR_ARGUMENT         /* a null or out-of-range argument */
};

/* Reads a whole song: version 4 ("FICHIER GUITAR PRO v4.00", "v4.06", and
   the "L4.06" variant), version 3 ("v3.00") or version 5 ("v5.00", "v5.10";
   voice 1 in the records, the rest beside them, see below), into the same
   records. A path must name a regular file: a directory, a FIFO or a device
   fails at once with ORLIX_ERROR_OPEN. A stream is read from its current
   position and left just after the song; memory is copied from, never kept.
   Null on failure, with nothing left allocated. */
ORLIX_API ORLIX_Song* ORLIX_OpenFile(const char* path, ORLIX_Error* error);
ORLIX_API ORLIX_Song* ORLIX_OpenMemory(const void* bytes, size_t size, ORLIX_Error* error);
ORLIX_API ORLIX_Song* ORLIX_OpenStream(FILE* stream, ORLIX_Error* error);
ORLIX_API void ORLIX_Close(ORLIX_Song* song); /* null is fine */
/* The file format's major version: 3, 4 or 5; 0 for null. */
ORLIX_API int ORLIX_GetFormat(const ORLIX_Song* song);
/* The song's records, read-only, valid until ORLIX_Close. */
ORLIX_API const ORLIX_RECORD(FileStruct) * ORLIX_GetSong(const ORLIX_Song* song);

/* What a song keeps beside its records: things version 5 files store that
   change what is played. The calls answer for songs of every format (version
   3 and 4 songs: no second voice, their song-wide triplet feel in every
   measure, the endings their ending numbers stand for, no directions, bank
   0, no note extras). Measures, tracks, beats and slots count from 0, as in
   the records; out-of-range arguments give 0 or null. */

/* Voice 2 of a measure's track (voice 1 is the records' grid), shaped like
   a cell of the records; null when the song has no second voice. */
ORLIX_API const ORLIX_RECORD(TrackMeasure) * ORLIX_GetSecondVoice(const ORLIX_Song* song, unsigned measure,
                                                                  unsigned track);
/* 0 none, 1 eighths, 2 sixteenths. */
ORLIX_API int ORLIX_GetMeasureTripletFeel(const ORLIX_Song* song, unsigned measure);
/* The passes the measure plays on as an alternate ending: bit k-1 for
   ending k; 0 when the measure is not an alternate ending. */
ORLIX_API unsigned ORLIX_GetMeasureEndings(const ORLIX_Song* song, unsigned measure);

/* Musical directions, in the order version 5 files store them. */
enum {
  ORLIX_DIRECTION_CODA = 0,
  ORLIX_DIRECTION_DOUBLE_CODA,
  ORLIX_DIRECTION_SEGNO,
  ORLIX_DIRECTION_SEGNO_SEGNO,
  ORLIX_DIRECTION_FINE,
  ORLIX_DIRECTION_DA_CAPO,
  ORLIX_DIRECTION_DA_CAPO_AL_CODA,
  ORLIX_DIRECTION_DA_CAPO_AL_DOUBLE_CODA,
  ORLIX_DIRECTION_DA_CAPO_AL_FINE,
  ORLIX_DIRECTION_DAL_SEGNO,
  ORLIX_DIRECTION_DAL_SEGNO_AL_CODA,
  ORLIX_DIRECTION_DAL_SEGNO_AL_DOUBLE_CODA,
  ORLIX_DIRECTION_DAL_SEGNO_AL_FINE,
  ORLIX_DIRECTION_DAL_SEGNO_SEGNO,
  ORLIX_DIRECTION_DAL_SEGNO_SEGNO_AL_CODA,
  ORLIX_DIRECTION_DAL_SEGNO_SEGNO_AL_DOUBLE_CODA,
  ORLIX_DIRECTION_DAL_SEGNO_SEGNO_AL_FINE,
  ORLIX_DIRECTION_DA_CODA,
  ORLIX_DIRECTION_DA_DOUBLE_CODA,
  ORLIX_DIRECTION_COUNT
};
/* The 1-based measure that carries the sign (ORLIX_DIRECTION_...) as the
   file gives it (it may lie past the last measure), 0 when the song does
   not use it. */
ORLIX_API int ORLIX_GetDirection(const ORLIX_Song* song, int sign);
/* The track's MIDI bank. */
ORLIX_API int ORLIX_GetTrackBank(const ORLIX_Song* song, unsigned track);

/* A note's details beyond its record. */
typedef struct ORLIX_NoteExtras {
  int heavyAccent;          /* 1: heavy accent (the record holds an accent, flags 0x40) */
  double durationPercent;   /* the note's length as a fraction of its beat's: 0.75 is 75%; 1 when not given */
  int graceDead;            /* 1: the grace note is a dead note */
  int graceOnBeat;          /* 1: the grace note sounds on the beat, delaying the note */
  unsigned slideMask;       /* 0x01 shift, 0x02 legato, 0x04 out downwards, 0x08 out upwards,
                               0x10 in from below, 0x20 in from above */
  int harmonicType;         /* 0 none, 1 natural, 2 artificial, 3 tapped, 4 pinch, 5 semi */
  unsigned char harmonicData[3]; /* artificial: pitch step (0 C .. 11 B), accidental (signed),
                                    octave (0 loco, 1 8va, 2 15ma); tapped: right-hand fret */
} ORLIX_NoteExtras;
/* Fills *out with the extras of the note in `slot` of beat `beat` of the
   measure's track, in voice 1 (the records) or 2 (ORLIX_GetSecondVoice).
   Returns 1 when the note carries any; else 0, with *out the neutral values
   (all 0, durationPercent 1). out may be null. */
ORLIX_API int ORLIX_GetNoteExtras(const ORLIX_Song* song, unsigned voice, unsigned measure, unsigned track,
                                  unsigned beat, unsigned slot, ORLIX_NoteExtras* out);

/* Classic: the tablature played plainly, the bytes of ORLIX_CreateMidiBuffer
   at 480 ticks per quarter. Full: as the tablature sounds (ties held, dead,
   grace and let-ring notes, strokes, tremolo picking, trills, bends, slides,
   vibrato and harmonics, dynamics, alternate endings). */
enum { ORLIX_PLAYBACK_CLASSIC = 0, ORLIX_PLAYBACK_FULL = 1 };

typedef struct ORLIX_MidiOptions {
  unsigned size;             /* sizeof(ORLIX_MidiOptions): lets the struct grow */
  unsigned playback;         /* ORLIX_PLAYBACK_... */
  unsigned ticksPerQuarter;  /* 0 = 480; else a multiple of 16 from 16 to 4080 */
  size_t maxBytes;           /* 0 = 1 GiB; a larger MIDI fails with ORLIX_ERROR_TOO_LARGE */
} ORLIX_MidiOptions;

/* Converts the song into a Standard MIDI File (format 1) in a new buffer,
   released with ORLIX_DestroyMidiBuffer. Null options mean the defaults:
   full playback at 480 ticks per quarter, at most 1 GiB.
   Returns 1, or 0 with *buffer null and *size 0. */
ORLIX_API int ORLIX_ToMidi(const ORLIX_Song* song, const ORLIX_MidiOptions* options,
                           unsigned char** buffer, size_t* size, ORLIX_Error* error);

/* Describes the song as UTF-8 JSON text: format, version text, song texts,
   tempo, key, measures, time signatures, repeats, markers and tracks, each
   track with the number of notes (note-ons) the conversion with `options`
   writes into its chunk. Song texts carry no character set: they are
   converted from `encoding`, any name iconv knows (null: "WINDOWS-1252");
   a byte sequence invalid in it becomes U+FFFD. An unknown encoding is an
   ORLIX_ERROR_ARGUMENT. Returns 1 with *text a new NUL-terminated buffer of
   *size bytes (the NUL not counted), released with ORLIX_DestroyDescription;
   or 0 with *text null and *size 0. */
ORLIX_API int ORLIX_DescribeSong(const ORLIX_Song* song, const ORLIX_MidiOptions* options,
                                 const char* encoding, char** text, size_t* size,
                                 ORLIX_Error* error);
ORLIX_API void ORLIX_DestroyDescription(char* text); /* null is fine */

#ifdef __cplusplus
}
#endif

#undef ORLIX_RECORD

#endif
