// The namespaced interface of liborlix: the song records, the song reader,
// the song-to-MIDI converter and the MIDI file builder.
#ifndef ORLIX_TOLVENAR_H
#define ORLIX_TOLVENAR_H

#include <cstdint>
#include <cstdio>

#include "orlix/export.h"
#include "orlix/song_records.h"

namespace Tolvenar {

// ---------------------------------------------------------------- song model
// The records (SongInfo ... FileStruct) are in orlix/song_records.h.

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
