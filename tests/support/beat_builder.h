// Test-side builders for the measure grid: beats, notes and their
// attachments, each a plain record whose bytes() writes the file form, so
// a fixture shows which parts it holds and the readers' tests, conversion
// tests and fuzz seeds can assemble whole songs from them.
#ifndef ORLIX_TESTS_BEAT_BUILDER_H
#define ORLIX_TESTS_BEAT_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "support/byte_builder.h"

namespace orlix_test {

// A beat's duration byte for each note value.
constexpr int8_t kWholeBeat = -2;
constexpr int8_t kHalfBeat = -1;
constexpr int8_t kQuarterBeat = 0;
constexpr int8_t kEighthBeat = 1;
constexpr int8_t kSixteenthBeat = 2;

struct BendPointRecord {
  int32_t position = 0;
  int32_t value = 0;
  uint8_t vibrato = 0;
};

struct BendCurveRecord {
  uint8_t type = 1;
  int32_t value = 50;
  std::vector<BendPointRecord> points;
  int64_t pointCountField = -1;  // -1: the number of points

  Bytes bytes() const {
    Bytes b;
    b.u8(type).i32(value);
    b.u32(pointCountField < 0 ? points.size() : static_cast<uint32_t>(pointCountField));
    for (const BendPointRecord& p : points) b.i32(p.position).i32(p.value).u8(p.vibrato);
    return b;
  }
};

// The parts present are those whose flags bits are set. Version 3 has only
// the first flags byte (its 0x04 is a slide without a code byte), so only
// the bend and the grace note.
struct NoteEffectsRecord {
  int format = 4;
  uint8_t flags1 = 0, flags2 = 0;
  BendCurveRecord bend;  // flags1 & 0x01
  uint8_t grace[4] = {1, 2, 3, 4};  // flags1 & 0x10
  uint8_t tremoloPicking = 5, slide = 6, harmonic = 7;  // flags2 & 0x04, 0x08, 0x10
  uint8_t trill[2] = {8, 9};  // flags2 & 0x20

  Bytes bytes() const {
    Bytes b;
    b.u8(flags1);
    if (format != 3) b.u8(flags2);
    if (flags1 & 0x01) b.append(bend.bytes());
    if (flags1 & 0x10) b.raw({grace[0], grace[1], grace[2], grace[3]});
    if (format == 3) return b;
    if (flags2 & 0x04) b.u8(tremoloPicking);
    if (flags2 & 0x08) b.u8(slide);
    if (flags2 & 0x10) b.u8(harmonic);
    if (flags2 & 0x20) b.raw({trill[0], trill[1]});
    return b;
  }
};

struct NoteRecord {
  uint8_t flags = 0x20;  // type and fret
  uint8_t type = 1, duration = 0, tuplet = 0, dynamic = 6, fret = 3;
  uint8_t leftFinger = 0, rightFinger = 0;
  NoteEffectsRecord effects;  // flags & 0x08

  Bytes bytes() const {
    Bytes b;
    b.u8(flags);
    if (flags & 0x20) b.u8(type);
    if (flags & 0x01) b.u8(duration).u8(tuplet);
    if (flags & 0x10) b.u8(dynamic);
    if (flags & 0x20) b.u8(fret);
    if (flags & 0x80) b.u8(leftFinger).u8(rightFinger);
    if (flags & 0x08) b.append(effects.bytes());
    return b;
  }
};

// Old layout (format 0): name, base fret, six frets when the base fret is set.
struct OldChordRecord {
  std::string name = "Am";
  int32_t baseFret = 1;
  int32_t frets[6] = {0, 1, 2, 2, 0, -1};

  Bytes bytes() const {
    Bytes b;
    b.u8(0).intByteString(name).i32(baseFret);
    if (baseFret != 0)
      for (int32_t f : frets) b.i32(f);
    return b;
  }
};

// New layout (format 1), 107 bytes. Defaults are distinct so that a field
// read from the wrong offset shows.
struct NewChordRecord {
  uint8_t sharp = 1;
  uint8_t reserved1[3] = {2, 3, 4};
  uint8_t root = 5, chordType = 6, extension = 7;
  int32_t bass = 0x01020304, diminishedAugmented = -2;
  uint8_t add = 8;
  std::string name = "C7";  // the 20-byte field holds at most 20 of these
  int nameLengthByte = -1;  // -1: the name's own length
  uint8_t reserved2[2] = {9, 10};
  uint8_t fifth = 11, ninth = 12, eleventh = 13;
  int32_t baseFret = 3;
  int32_t frets[7] = {-1, 3, 2, 0, 1, 0, 0x7FFFFFFF};
  uint8_t barreCount = 1;
  uint8_t barreFrets[5] = {14, 15, 16, 17, 18};
  uint8_t barreStarts[5] = {19, 20, 21, 22, 23};
  uint8_t barreEnds[5] = {24, 25, 26, 27, 28};
  uint8_t omissions[7] = {29, 30, 31, 32, 33, 34, 35};
  uint8_t reserved3 = 36;
  uint8_t fingering[7] = {37, 38, 39, 40, 41, 42, 43};
  uint8_t showFingering = 44;

  Bytes bytes() const {
    Bytes b;
    b.u8(1).u8(sharp).raw({reserved1[0], reserved1[1], reserved1[2]});
    b.u8(root).u8(chordType).u8(extension).i32(bass).i32(diminishedAugmented).u8(add);
    b.u8(nameLengthByte < 0 ? name.size() : static_cast<unsigned>(nameLengthByte));
    std::string field = name;
    field.resize(20, '\0');
    b.text(field);
    b.raw({reserved2[0], reserved2[1]}).u8(fifth).u8(ninth).u8(eleventh).i32(baseFret);
    for (int32_t f : frets) b.i32(f);
    b.u8(barreCount);
    for (uint8_t v : barreFrets) b.u8(v);
    for (uint8_t v : barreStarts) b.u8(v);
    for (uint8_t v : barreEnds) b.u8(v);
    for (uint8_t v : omissions) b.u8(v);
    b.u8(reserved3);
    for (uint8_t v : fingering) b.u8(v);
    return b.u8(showFingering);
  }
};

// Version 3 format 1, 125 bytes: the byte fields of version 4 that are
// int32 here, a 23-byte name field, six frets, two barres, no fingering.
// Defaults are distinct so that a field read from the wrong offset shows;
// the barre entries past the count hold leftovers, as real files do.
struct Version3ChordRecord {
  uint8_t sharp = 1;
  uint8_t reserved1[3] = {2, 3, 4};
  int32_t root = 5, chordType = 6, extension = 7;
  int32_t bass = 0x01020304, diminishedAugmented = -2;
  uint8_t add = 8;
  std::string name = "Cm7";  // the 22-byte field holds at most 22 of these
  int nameLengthByte = -1;   // -1: the name's own length
  int32_t fifth = 11, ninth = 12, eleventh = 13;
  int32_t baseFret = 3;
  int32_t frets[6] = {-1, 3, 2, 0, 1, 0};
  int32_t barreCount = 1;
  int32_t barreFrets[2] = {14, 16401932};
  int32_t barreStarts[2] = {19, 20};
  int32_t barreEnds[2] = {24, -1};
  uint8_t omissions[7] = {29, 30, 31, 32, 33, 34, 35};
  uint8_t reserved3 = 36;

  Bytes bytes() const {
    Bytes b;
    b.u8(1).u8(sharp).raw({reserved1[0], reserved1[1], reserved1[2]});
    b.i32(root).i32(chordType).i32(extension).i32(bass).i32(diminishedAugmented).u8(add);
    b.u8(nameLengthByte < 0 ? name.size() : static_cast<unsigned>(nameLengthByte));
    std::string field = name;
    field.resize(22, '\0');
    b.text(field);
    b.i32(fifth).i32(ninth).i32(eleventh).i32(baseFret);
    for (int32_t f : frets) b.i32(f);
    b.i32(barreCount);
    for (int32_t v : barreFrets) b.i32(v);
    for (int32_t v : barreStarts) b.i32(v);
    for (int32_t v : barreEnds) b.i32(v);
    for (uint8_t v : omissions) b.u8(v);
    return b.u8(reserved3);
  }
};

struct BeatEffectsRecord {
  uint8_t flags1 = 0, flags2 = 0;
  uint8_t tapSlapPop = 1;      // flags1 & 0x20
  BendCurveRecord tremoloBar;  // flags2 & 0x04
  uint8_t stroke[2] = {2, 3};  // flags1 & 0x40
  uint8_t pickStroke = 4;      // flags2 & 0x02

  Bytes bytes() const {
    Bytes b;
    b.u8(flags1).u8(flags2);
    if (flags1 & 0x20) b.u8(tapSlapPop);
    if (flags2 & 0x04) b.append(tremoloBar.bytes());
    if (flags1 & 0x40) b.raw({stroke[0], stroke[1]});
    if (flags2 & 0x02) b.u8(pickStroke);
    return b;
  }
};

// Version 3: one flags byte. Bit 0x20 carries a kind byte (1 tap, 2 slap,
// 3 pop, 0 tremolo-bar dip) and an int32 (the dip's depth); 0x40 the
// stroke pair.
struct Version3BeatEffectsRecord {
  uint8_t flags = 0;
  uint8_t kind = 1;            // flags & 0x20
  int32_t depth = 0;           // flags & 0x20
  uint8_t stroke[2] = {2, 3};  // flags & 0x40

  Bytes bytes() const {
    Bytes b;
    b.u8(flags);
    if (flags & 0x20) b.u8(kind).i32(depth);
    if (flags & 0x40) b.raw({stroke[0], stroke[1]});
    return b;
  }
};

// -1 is "no change"; a duration is written only for a value that changes.
// Version 3 has no all-tracks byte.
struct MixTableRecord {
  int format = 4;
  int8_t instrument = -1, volume = -1, balance = -1, chorus = -1, reverb = -1, phaser = -1,
         tremolo = -1;
  int32_t tempo = -1;
  uint8_t volumeDuration = 0, balanceDuration = 0, chorusDuration = 0, reverbDuration = 0,
          phaserDuration = 0, tremoloDuration = 0, tempoDuration = 0;
  uint8_t allTracks = 0;

  Bytes bytes() const {
    Bytes b;
    b.i8(instrument).i8(volume).i8(balance).i8(chorus).i8(reverb).i8(phaser).i8(tremolo);
    b.i32(tempo);
    if (volume != -1) b.u8(volumeDuration);
    if (balance != -1) b.u8(balanceDuration);
    if (chorus != -1) b.u8(chorusDuration);
    if (reverb != -1) b.u8(reverbDuration);
    if (phaser != -1) b.u8(phaserDuration);
    if (tremolo != -1) b.u8(tremoloDuration);
    if (tempo != -1) b.u8(tempoDuration);
    if (format != 3) b.u8(allTracks);
    return b;
  }
};

// A beat: the attachments are given as finished bytes (from the records
// above) and written when their flag is set; notes fill the mask's slots in
// order, highest string first.
struct BeatRecord {
  uint8_t flags = 0;
  uint8_t status = 1;   // flags & 0x40
  int8_t duration = 0;  // a quarter
  int32_t tuplet = 3;   // flags & 0x20
  Bytes chord;          // flags & 0x02
  std::string text;     // flags & 0x04
  Bytes effects;        // flags & 0x08
  Bytes mixTable;       // flags & 0x10
  uint8_t strings = 0;
  std::vector<NoteRecord> notes;  // one per set mask bit 0x40 .. 0x01

  Bytes bytes() const {
    Bytes b;
    b.u8(flags);
    if (flags & 0x40) b.u8(status);
    b.i8(duration);
    if (flags & 0x20) b.i32(tuplet);
    if (flags & 0x02) b.append(chord);
    if (flags & 0x04) b.intByteString(text);
    if (flags & 0x08) b.append(effects);
    if (flags & 0x10) b.append(mixTable);
    b.u8(strings);
    for (const NoteRecord& n : notes) b.append(n.bytes());
    return b;
  }
};

// One grid cell: the beat count, then the beats.
inline Bytes GridCellBytes(const std::vector<BeatRecord>& beats) {
  Bytes b;
  b.u32(beats.size());
  for (const BeatRecord& beat : beats) b.append(beat.bytes());
  return b;
}

}  // namespace orlix_test

#endif
