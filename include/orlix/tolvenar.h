// The namespaced interface of liborlix: the song records, the song reader,
// the song-to-MIDI converter and the MIDI file builder.
#ifndef ORLIX_TOLVENAR_H
#define ORLIX_TOLVENAR_H

#include <cstdint>
#include <cstdio>

#include "orlix/export.h"

namespace Tolvenar {

// ---------------------------------------------------------------- song model

struct SongInfo {
  char* title;
  char* subtitle;
  char* interpret;  // the performing artist
  char* album;
  char* author;
  char* copyright;
  char* tabAuthor;
  char* instructions;
  uint32_t noticeLineCount;
  char** noticeLines;  // null when noticeLineCount is 0
};

// One entry of the 4 x 16 channel table, 12 bytes exactly as in the file.
// Packed so that pointers into the (packed) song block are valid for it.
struct __attribute__((packed)) MidiChannel {
  int32_t instrument;  // the low byte is the MIDI program
  uint8_t volume;      // 0..16
  uint8_t balance;
  uint8_t chorus;
  uint8_t reverb;
  uint8_t phaser;
  uint8_t tremolo;
  uint8_t blank[2];
};

struct MeasureMarker {
  char* text;
  uint32_t color;  // the four file bytes, first byte lowest in memory
};

enum MeasureHeaderFlag : uint8_t {
  kMeasureNumerator = 0x01,
  kMeasureDenominator = 0x02,
  kMeasureBeginRepeat = 0x04,
  kMeasureEndRepeat = 0x08,
  kMeasureAltEnding = 0x10,
  kMeasureMarker = 0x20,
  kMeasureTonality = 0x40,
  kMeasureDoubleBar = 0x80,
};

struct MeasureHeader {
  uint8_t flags;
  uint8_t keyNumerator;
  uint8_t keyDenominator;
  uint8_t repeatCount;
  uint8_t altEndingCount;
  MeasureMarker* marker;  // non-null exactly when flags & kMeasureMarker
  uint8_t tonality;
  uint8_t tonalityType;
  uint8_t repeatPass;  // converter scratch; 0 outside a conversion
};

struct Track {
  uint8_t flags;
  char* name;
  int32_t stringCount;
  int32_t tuning[7];  // open-string pitches, highest string first
  int32_t midiPort;   // 1-based
  int32_t midiChannel;         // 1-based
  int32_t effectsMidiChannel;  // 1-based
  int32_t fretCount;
  int32_t capoHeight;
  uint32_t color;
  int32_t nextBeat;   // converter scratch
  int32_t ticksLeft;  // converter scratch
};

// Packed to the file's 9-byte layout so a curve's points come in one read.
struct __attribute__((packed)) BendPoint {
  int32_t position;
  int32_t value;
  uint8_t vibrato;
};

struct BendCurve {
  uint8_t type;
  int32_t value;
  uint32_t pointCount;
  BendPoint* points;
};

struct NoteEffects {
  uint8_t flags1;
  uint8_t flags2;
  BendCurve* bend;  // non-null exactly when flags1 & 0x01
  uint8_t grace[4];
  uint8_t tremoloPicking;
  uint8_t slide;
  uint8_t harmonic;
  uint8_t trill[2];
};

struct Note {
  uint8_t flags;
  uint8_t type;  // 1 normal, 2 tie, 3 dead
  uint8_t duration;
  uint8_t tuplet;
  uint8_t dynamic;  // 1..8
  uint8_t fret;
  uint8_t leftFinger;
  uint8_t rightFinger;
  NoteEffects* effects;  // non-null exactly when flags & 0x08
};

struct ChordDiagram {
  uint8_t format;  // 0 old layout, 1 new layout
  uint8_t sharp;
  uint8_t reserved1[3];
  uint8_t root;
  uint8_t chordType;
  uint8_t extension;
  int32_t bass;
  int32_t diminishedAugmented;
  uint8_t add;
  char* name;
  uint8_t reserved2[2];
  uint8_t fifth;
  uint8_t ninth;
  uint8_t eleventh;
  int32_t baseFret;
  int32_t frets[7];
  uint8_t barreCount;
  uint8_t barreFrets[5];
  uint8_t barreStarts[5];
  uint8_t barreEnds[5];
  uint8_t omissions[7];
  uint8_t reserved3;
  uint8_t fingering[7];
  uint8_t showFingering;
};

struct BeatEffects {
  uint8_t flags1;
  uint8_t flags2;
  uint8_t tapSlapPop;
  BendCurve* tremoloBar;  // non-null exactly when flags2 & 0x04
  uint8_t stroke[2];
  uint8_t pickStroke;
};

// -1 means "no change" for every value.
struct MixTableChange {
  int8_t instrument;
  int8_t volume;
  int8_t balance;
  int8_t chorus;
  int8_t reverb;
  int8_t phaser;
  int8_t tremolo;
  int32_t tempo;
  uint8_t volumeDuration;
  uint8_t balanceDuration;
  uint8_t chorusDuration;
  uint8_t reverbDuration;
  uint8_t phaserDuration;
  uint8_t tremoloDuration;
  uint8_t tempoDuration;
  uint8_t allTracks;
};

enum BeatFlag : uint8_t {
  kBeatDotted = 0x01,
  kBeatChord = 0x02,
  kBeatText = 0x04,
  kBeatEffects = 0x08,
  kBeatMixTable = 0x10,
  kBeatTuplet = 0x20,
  kBeatStatus = 0x40,
};

struct Beat {
  uint8_t flags;
  uint8_t status;   // 0 empty, 2 rest; valid when flags & kBeatStatus
  int8_t duration;  // -2 whole ... 4 sixty-fourth
  int32_t tuplet;
  ChordDiagram* chord;
  char* text;
  BeatEffects* effects;
  MixTableChange* mixTable;
  uint8_t strings;  // bit (6 - s) set: slot s holds a note
  Note notes[7];
};

struct TrackMeasure {
  uint32_t beatCount;
  Beat* beats;
};

// The song. The stretch from tempo to trackCount is the 785-byte song block
// of the file, laid out byte for byte so that one read fills it.
struct FileStruct {
  char* version;
  SongInfo info;
  uint8_t tripletFeel;
  int32_t lyricsTrack;
  char* lyricsLines[5];
  struct __attribute__((packed)) {
    int32_t tempo;
    int8_t key;
    int32_t octave;
    MidiChannel midiChannels[4][16];  // [port][channel], 0-based
    uint32_t measureCount;
    uint32_t trackCount;
  };
  MeasureHeader* measureHeaders;  // measureCount entries
  Track* tracks;                  // trackCount entries
  TrackMeasure** measures;        // measureCount rows of trackCount cells
};

// Reads a whole song file from a stream open for binary reading. Returns 1
// when the song was read completely; on 0 the record holds no allocation.
ORLIX_API int LoadFileStruct(FileStruct* song, FILE* stream);

// Releases everything the song owns (not the record) and nulls each pointer.
ORLIX_API void FreeFileStruct(FileStruct* song);

// ---------------------------------------------------------------- MIDI builder

typedef uint8_t Byte;

enum MidiController : uint8_t {
  kMidiControllerBankSelect = 0,
  kMidiControllerModulation = 1,
  kMidiControllerChannelVolume = 7,
  kMidiControllerPan = 10,
  kMidiControllerExpression = 11,
  kMidiControllerSustain = 64,
  kMidiControllerReverb = 91,
  kMidiControllerChorus = 93,
};

struct MidiTrackChunk {
  char id[4];  // "MTrk"
  uint32_t length;
  uint8_t* data;  // exactly length bytes of events; null while empty
  uint32_t pendingDelta;  // ticks since the last event; the caller advances it
  uint8_t runningStatus;
};

struct MidiFileStruct {
  char id[4];  // "MThd"
  uint32_t headerLength;
  uint16_t format;
  uint16_t trackCount;
  uint16_t division;
  MidiTrackChunk* tracks;  // trackCount chunks, conductor first
};

ORLIX_API int InitMidiTrackChunk(MidiTrackChunk* chunk);
ORLIX_API void FreeMidiTrackChunk(MidiTrackChunk* chunk);

ORLIX_API int AddEventNoteOn(MidiTrackChunk* chunk, uint8_t channel, uint8_t key, uint8_t velocity);
ORLIX_API int AddEventNoteOff(MidiTrackChunk* chunk, uint8_t channel, uint8_t key, uint8_t velocity);
ORLIX_API int AddEventController(MidiTrackChunk* chunk, uint8_t channel, MidiController controller,
                                 uint8_t value);
ORLIX_API int AddEventProgramChange(MidiTrackChunk* chunk, uint8_t channel, uint8_t program);
ORLIX_API int AddMetaEventSetTempo(MidiTrackChunk* chunk, uint32_t microsecondsPerQuarter);
ORLIX_API int AddMetaEventTimeSignature(MidiTrackChunk* chunk, uint8_t numerator,
                                        uint8_t denominatorPower, uint8_t clocksPerClick,
                                        uint8_t thirtySecondsPerQuarter);
ORLIX_API int AddMetaEventMarker(MidiTrackChunk* chunk, const char* text);
ORLIX_API int AddMetaEventTrackName(MidiTrackChunk* chunk, const char* text);
ORLIX_API int AddMetaEventEndOfTrack(MidiTrackChunk* chunk);

ORLIX_API int InitMidiFileStruct(MidiFileStruct* file, uint32_t trackCount, uint32_t division);
ORLIX_API void FreeMidiFileStruct(MidiFileStruct* file);
// Serialises the file into one new buffer of the exact size; returns that
// size, or 0 with *out null.
ORLIX_API uint32_t CreateMidiBuffer(const MidiFileStruct* file, Byte** out);
ORLIX_API int BufferWriteTrackChunk(const MidiTrackChunk* chunk, Byte* buffer, uint32_t* position);
ORLIX_API void DestroyMidiBuffer(Byte* buffer);
ORLIX_API int SaveMidiTrackChunk(const MidiTrackChunk* chunk, FILE* stream);
ORLIX_API int SaveMidiFileStruct(const MidiFileStruct* file, FILE* stream);

// ---------------------------------------------------------------- conversion

// Appends the song's events to chunks 0 .. trackCount of the file record.
// resolution is the number of ticks in a sixty-fourth note (low 8 bits used).
// Returns 0 when the record lacks chunks, or when memory for the walk or for
// a chunk's end of track could not be had; an event lost for want of memory
// only shortens its chunk.
ORLIX_API int ToMidi(FileStruct* song, MidiFileStruct* file, uint32_t resolution);

}  // namespace Tolvenar

#endif
