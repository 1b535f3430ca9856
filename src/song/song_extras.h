// What a song keeps beside its records: the things version 5 files store
// that change what is played but have no field in the records (the second
// voice, triplet feel per measure, exact ending sets, musical directions,
// banks, note details). A handle's extras answer for every format: the
// reader fills them from the records for versions 3 and 4.
//
// The arrays are carved from the song's arena with its records and share
// their lifetime; nothing here is released on its own.
#ifndef ORLIX_SONG_SONG_EXTRAS_H
#define ORLIX_SONG_SONG_EXTRAS_H

#include <cstdint>

#include "orlix/song_records.h"

namespace Tolvenar {

// The musical directions, in the order the file stores them.
enum Direction : int {
  kDirectionCoda,
  kDirectionDoubleCoda,
  kDirectionSegno,
  kDirectionSegnoSegno,
  kDirectionFine,
  kDirectionDaCapo,
  kDirectionDaCapoAlCoda,
  kDirectionDaCapoAlDoubleCoda,
  kDirectionDaCapoAlFine,
  kDirectionDalSegno,
  kDirectionDalSegnoAlCoda,
  kDirectionDalSegnoAlDoubleCoda,
  kDirectionDalSegnoAlFine,
  kDirectionDalSegnoSegno,
  kDirectionDalSegnoSegnoAlCoda,
  kDirectionDalSegnoSegnoAlDoubleCoda,
  kDirectionDalSegnoSegnoAlFine,
  kDirectionDaCoda,
  kDirectionDaDoubleCoda,
  kDirectionCount
};

// Triplet feel of a measure.
enum TripletFeel : uint8_t { kTripletFeelNone = 0, kTripletFeelEighths = 1, kTripletFeelSixteenths = 2 };

// Slide mask bits of a version 5 note.
enum SlideBit : uint8_t {
  kSlideShift = 0x01,
  kSlideLegato = 0x02,
  kSlideOutDownwards = 0x04,
  kSlideOutUpwards = 0x08,
  kSlideInFromBelow = 0x10,
  kSlideInFromAbove = 0x20,
};

// Harmonic types of a version 5 note.
enum HarmonicType : uint8_t {
  kHarmonicNone = 0,
  kHarmonicNatural = 1,
  kHarmonicArtificial = 2,  // data: pitch step, accidental (int8), octave (0 loco, 1 8va, 2 15ma)
  kHarmonicTapped = 3,      // data: right-hand fret
  kHarmonicPinch = 4,
  kHarmonicSemi = 5,
};

// A note's details beyond its record. A note without an entry has the
// neutral values: no heavy accent, duration percent 1, no grace flags, no
// slide, no harmonic.
struct NoteExtras {
  double durationPercent;  // the note's length as a fraction of its beat's (0.75: three quarters)
  uint8_t heavyAccent;     // 1: heavy accent (the record holds an accent, flags 0x40)
  uint8_t graceDead;       // 1: the grace note is dead
  uint8_t graceOnBeat;     // 1: the grace note sounds on the beat, delaying the note
  uint8_t slideMask;       // SlideBit ... (the record holds the lowest one's code)
  uint8_t harmonicType;    // HarmonicType
  uint8_t harmonicData[3];
};

// Voices: 1 is the records' grid, 2 the second voice.
struct NoteExtrasEntry {
  uint32_t measure;
  uint32_t track;
  uint32_t beat;
  uint8_t voice;
  uint8_t slot;
  NoteExtras extras;
};

struct SongExtras {
  // measureCount rows of trackCount cells, shaped like FileStruct::measures;
  // null when the format has no second voice.
  TrackMeasure** secondVoice;
  uint8_t* measureTripletFeel;  // per measure, every format: TripletFeel
  uint32_t* measureEndings;     // per measure, every format: bit k-1 = ending k; 0 = every pass
  int32_t directions[kDirectionCount];  // 1-based measure of each sign; 0 when unused
  uint8_t* trackBank;  // per track; null when the format stores none (bank 0)
  // Sorted by measure, track, voice, beat, slot: the order of the file.
  uint32_t noteExtrasCount;
  uint32_t noteExtrasRoom;  // entries the array has room for, while reading
  NoteExtrasEntry* noteExtras;
};

// The extras of one note, or null when it has none (voice 1 or 2).
const NoteExtras* FindNoteExtras(const SongExtras* extras, unsigned voice, uint32_t measure, uint32_t track,
                                 uint32_t beat, unsigned slot);
// The first entry of a cell's voice (or the next one after it when it has
// none), so a walk through the cell can step along the sorted array.
const NoteExtrasEntry* FirstNoteExtrasOfCell(const SongExtras* extras, unsigned voice, uint32_t measure,
                                             uint32_t track);

// Alternate endings (ending_sets.cpp). Versions 3 and 4 store an ending
// number n per measure: the measure belongs to the endings 1..n that no
// earlier measure after the same begin-repeat mark (or the song's start)
// has taken; when all of them are taken, to ending n alone. Fills sets
// (measureCount entries) with every measure's set, bit k-1 for ending k,
// 0 for a measure without an ending.
void EndingSetsFromNumbers(const FileStruct* song, uint32_t* sets);
// Version 5 stores the set as a mask; the number a version 4 save holds is
// the last ending of the unbroken run of endings that starts at the lowest.
uint8_t EndingNumberOfMask(uint8_t mask);

}  // namespace Tolvenar

#endif
