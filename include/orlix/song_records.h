/* The song records, for C and C++: what a loaded song holds in memory. C++
   sees them in namespace Tolvenar, C as global typedef names; the layout is
   the same for both, and the assertions at the end pin it. */
#ifndef ORLIX_SONG_RECORDS_H
#define ORLIX_SONG_RECORDS_H

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>
#define ORLIX_SONG_RECORD(name) struct name
#define ORLIX_FLAGS(name) enum name : uint8_t
#define ORLIX_LAYOUT_ASSERT(condition, why) static_assert(condition, why)
namespace Tolvenar {
#else
#include <stddef.h>
#include <stdint.h>
#define ORLIX_SONG_RECORD(name) \
  typedef struct name name; \
  struct name
#define ORLIX_FLAGS(name) enum name
#define ORLIX_LAYOUT_ASSERT(condition, why) _Static_assert(condition, why)
#endif

ORLIX_SONG_RECORD(SongInfo) {
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
ORLIX_SONG_RECORD(MidiChannel) {
  int32_t instrument;  // the low byte is the MIDI program
  uint8_t volume;      // 0..16
  uint8_t balance;
  uint8_t chorus;
  uint8_t reverb;
  uint8_t phaser;
  uint8_t tremolo;
  uint8_t blank[2];
} __attribute__((packed));

ORLIX_SONG_RECORD(MeasureMarker) {
  char* text;
  uint32_t color;  // the four file bytes, first byte lowest in memory
};

ORLIX_FLAGS(MeasureHeaderFlag) {
  kMeasureNumerator = 0x01,
  kMeasureDenominator = 0x02,
  kMeasureBeginRepeat = 0x04,
  kMeasureEndRepeat = 0x08,
  kMeasureAltEnding = 0x10,
  kMeasureMarker = 0x20,
  kMeasureTonality = 0x40,
  kMeasureDoubleBar = 0x80,
};

ORLIX_SONG_RECORD(MeasureHeader) {
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

ORLIX_SONG_RECORD(Track) {
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
ORLIX_SONG_RECORD(BendPoint) {
  int32_t position;
  int32_t value;
  uint8_t vibrato;
} __attribute__((packed));

ORLIX_SONG_RECORD(BendCurve) {
  uint8_t type;
  int32_t value;
  uint32_t pointCount;
  BendPoint* points;
};

ORLIX_SONG_RECORD(NoteEffects) {
  uint8_t flags1;
  uint8_t flags2;
  BendCurve* bend;  // non-null exactly when flags1 & 0x01
  uint8_t grace[4];
  uint8_t tremoloPicking;
  uint8_t slide;
  uint8_t harmonic;
  uint8_t trill[2];
};

ORLIX_SONG_RECORD(Note) {
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

ORLIX_SONG_RECORD(ChordDiagram) {
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

ORLIX_SONG_RECORD(BeatEffects) {
  uint8_t flags1;
  uint8_t flags2;
  uint8_t tapSlapPop;
  BendCurve* tremoloBar;  // non-null exactly when flags2 & 0x04
  uint8_t stroke[2];
  uint8_t pickStroke;
};

// -1 means "no change" for every value.
ORLIX_SONG_RECORD(MixTableChange) {
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

ORLIX_FLAGS(BeatFlag) {
  kBeatDotted = 0x01,
  kBeatChord = 0x02,
  kBeatText = 0x04,
  kBeatEffects = 0x08,
  kBeatMixTable = 0x10,
  kBeatTuplet = 0x20,
  kBeatStatus = 0x40,
};

ORLIX_SONG_RECORD(Beat) {
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

ORLIX_SONG_RECORD(TrackMeasure) {
  uint32_t beatCount;
  Beat* beats;
};

// The song. The stretch from tempo to trackCount is the 785-byte song block
// of the file, laid out byte for byte so that one read fills it.
ORLIX_SONG_RECORD(FileStruct) {
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

/* A field's place in a record, by pointer size (64-bit value, 32-bit value). */
#define ORLIX_BY_POINTER_SIZE(on64, on32) (sizeof(void*) == 8 ? (on64) : (on32))

ORLIX_LAYOUT_ASSERT(sizeof(MidiChannel) == 12 && offsetof(MidiChannel, volume) == 4 &&
                        offsetof(MidiChannel, tremolo) == 9,
                    "a channel-table entry is the file's 12 bytes");
ORLIX_LAYOUT_ASSERT(sizeof(BendPoint) == 9 && offsetof(BendPoint, vibrato) == 8,
                    "a bend point is the file's 9 bytes");
ORLIX_LAYOUT_ASSERT(offsetof(FileStruct, trackCount) + 4 - offsetof(FileStruct, tempo) == 785,
                    "the song block is 785 bytes");
ORLIX_LAYOUT_ASSERT(offsetof(FileStruct, measureHeaders) == ORLIX_BY_POINTER_SIZE(928, 860) &&
                        sizeof(FileStruct) == ORLIX_BY_POINTER_SIZE(952, 872),
                    "the song record");
ORLIX_LAYOUT_ASSERT(sizeof(MeasureHeader) == ORLIX_BY_POINTER_SIZE(24, 16) &&
                        offsetof(MeasureHeader, tonality) == ORLIX_BY_POINTER_SIZE(16, 12),
                    "a measure header");
ORLIX_LAYOUT_ASSERT(sizeof(Track) == ORLIX_BY_POINTER_SIZE(80, 72) &&
                        offsetof(Track, tuning) == ORLIX_BY_POINTER_SIZE(20, 12),
                    "a track");
ORLIX_LAYOUT_ASSERT(sizeof(Note) == ORLIX_BY_POINTER_SIZE(16, 12) &&
                        sizeof(Beat) == ORLIX_BY_POINTER_SIZE(160, 112) &&
                        offsetof(Beat, notes) == ORLIX_BY_POINTER_SIZE(48, 28),
                    "a beat and its note slots");
ORLIX_LAYOUT_ASSERT(sizeof(NoteEffects) == ORLIX_BY_POINTER_SIZE(32, 20) &&
                        sizeof(BeatEffects) == ORLIX_BY_POINTER_SIZE(24, 12) &&
                        sizeof(MixTableChange) == 20 && sizeof(ChordDiagram) == ORLIX_BY_POINTER_SIZE(104, 96),
                    "the attachments");

#ifdef __cplusplus
}  // namespace Tolvenar
#endif

#undef ORLIX_SONG_RECORD
#undef ORLIX_FLAGS
#undef ORLIX_LAYOUT_ASSERT
#undef ORLIX_BY_POINTER_SIZE

#endif
