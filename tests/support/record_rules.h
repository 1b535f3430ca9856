// Test-side check of the pointer rules every loaded song keeps, whatever
// its format: each optional record is present exactly when its flag says
// so, arrays are there for their counts, and every text ends (the sanitizer
// build catches a text read past its end). Used by the tests and the fuzz
// target, so it reports with a string rather than a test assertion.
#ifndef ORLIX_TESTS_RECORD_RULES_H
#define ORLIX_TESTS_RECORD_RULES_H

#include <cstdint>
#include <cstring>
#include <string>

#include "orlix/tolvenar.h"

namespace orlix_test {

namespace record_rules {

// Reads a text to its NUL; kept from being optimised away, so that the
// sanitizer build sees every byte read.
inline void ReadThrough(const char* text) {
  volatile size_t length = strlen(text);
  (void)length;
}

inline bool CurveHolds(const Tolvenar::BendCurve* curve) {
  return curve->pointCount == 0 || curve->points != nullptr;
}

inline std::string BeatProblem(const Tolvenar::Beat& beat) {
  if (!(beat.flags & Tolvenar::kBeatChord) != !beat.chord) return "chord against its flag";
  if (beat.chord && !beat.chord->name) return "chord without a name";
  if (beat.chord) ReadThrough(beat.chord->name);
  if (!(beat.flags & Tolvenar::kBeatText) != !beat.text) return "text against its flag";
  if (beat.text) ReadThrough(beat.text);
  if (!(beat.flags & Tolvenar::kBeatEffects) != !beat.effects) return "beat effects against their flag";
  if (beat.effects) {
    const Tolvenar::BendCurve* bar = beat.effects->tremoloBar;
    if (!(beat.effects->flags2 & 0x04) != !bar) return "tremolo bar against its flag";
    if (bar && !CurveHolds(bar)) return "tremolo bar without its points";
  }
  if (!(beat.flags & Tolvenar::kBeatMixTable) != !beat.mixTable) return "mix table against its flag";
  for (int slot = 0; slot < 7; ++slot) {
    const Tolvenar::Note& note = beat.notes[slot];
    if (!(beat.strings & (0x40 >> slot))) {
      static const Tolvenar::Note kEmpty{};
      if (memcmp(&note, &kEmpty, sizeof note) != 0) return "a note in a slot the mask leaves empty";
      continue;
    }
    if (!(note.flags & 0x08) != !note.effects) return "note effects against their flag";
    if (!note.effects) continue;
    if (!(note.effects->flags1 & 0x01) != !note.effects->bend) return "bend against its flag";
    if (note.effects->bend && !CurveHolds(note.effects->bend)) return "bend without its points";
  }
  return "";
}

}  // namespace record_rules

// "" when the song keeps every rule, else the first rule broken and where.
inline std::string RecordRuleProblem(const Tolvenar::FileStruct& song) {
  using record_rules::ReadThrough;
  if (!song.version) return "no version text";
  ReadThrough(song.version);
  const Tolvenar::SongInfo& info = song.info;
  const char* texts[] = {info.title,  info.subtitle,  info.interpret, info.album,
                         info.author, info.copyright, info.tabAuthor, info.instructions};
  for (const char* text : texts) {
    if (!text) return "an information text missing";
    ReadThrough(text);
  }
  if ((info.noticeLineCount == 0) != !info.noticeLines) return "notice lines against their count";
  for (uint32_t i = 0; i < info.noticeLineCount; ++i) {
    if (!info.noticeLines[i]) return "notice line " + std::to_string(i) + " missing";
    ReadThrough(info.noticeLines[i]);
  }
  for (const char* line : song.lyricsLines)
    if (line) ReadThrough(line);
  if (!song.measureHeaders || !song.tracks || !song.measures) return "no measure headers, tracks or grid";
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const Tolvenar::MeasureHeader& header = song.measureHeaders[m];
    if (!(header.flags & Tolvenar::kMeasureMarker) != !header.marker)
      return "marker against its flag in measure " + std::to_string(m);
    if (header.marker && !header.marker->text) return "marker without a text in measure " + std::to_string(m);
    if (header.marker) ReadThrough(header.marker->text);
    if (!song.measures[m]) return "no grid row for measure " + std::to_string(m);
  }
  for (uint32_t t = 0; t < song.trackCount; ++t) {
    if (!song.tracks[t].name) return "track " + std::to_string(t) + " without a name";
    ReadThrough(song.tracks[t].name);
  }
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    for (uint32_t t = 0; t < song.trackCount; ++t) {
      const Tolvenar::TrackMeasure& cell = song.measures[m][t];
      std::string where = " in cell " + std::to_string(m) + "," + std::to_string(t);
      if (cell.beatCount && !cell.beats) return "no beats" + where;
      for (uint32_t b = 0; b < cell.beatCount; ++b) {
        std::string problem = record_rules::BeatProblem(cell.beats[b]);
        if (!problem.empty()) return problem + " at beat " + std::to_string(b) + where;
      }
    }
  }
  return "";
}

}  // namespace orlix_test

#endif
