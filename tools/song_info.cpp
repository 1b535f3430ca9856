// Song information: texts, tempo, key, measures, repeats, markers, tracks.
#include "song_info.h"

#include <cstdio>
#include <vector>

#include "json_writer.h"
#include "windows1252.h"

namespace {

using Tolvenar::FileStruct;
using Tolvenar::MeasureHeader;
using Tolvenar::Track;

struct TimeSignature {
  uint32_t measure;  // 0-based
  unsigned numerator, denominator;
};

struct Repeat {
  uint32_t first, last;  // 0-based measures
  unsigned count;        // times played again
};

// Time signatures where the one in force changes, as the converter sees them.
std::vector<TimeSignature> TimeSignatures(const FileStruct& song) {
  std::vector<TimeSignature> list;
  unsigned numerator = 0, denominator = 0;
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const MeasureHeader& h = song.measureHeaders[m];
    unsigned n = (h.flags & Tolvenar::kMeasureNumerator) ? h.keyNumerator : numerator;
    unsigned d = (h.flags & Tolvenar::kMeasureDenominator) ? h.keyDenominator : denominator;
    if (n != numerator || d != denominator) list.push_back({m, n, d});
    numerator = n;
    denominator = d;
  }
  return list;
}

// Each end-repeat goes back to the nearest begin-repeat at or before it, or
// to the first measure when there is none.
std::vector<Repeat> Repeats(const FileStruct& song) {
  std::vector<Repeat> list;
  uint32_t begin = 0;
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const MeasureHeader& h = song.measureHeaders[m];
    if (h.flags & Tolvenar::kMeasureBeginRepeat) begin = m;
    if (h.flags & Tolvenar::kMeasureEndRepeat) list.push_back({begin, m, h.repeatCount});
  }
  return list;
}

uint32_t StringsShown(const Track& track) {
  if (track.stringCount < 0) return 0;
  return track.stringCount > 7 ? 7 : static_cast<uint32_t>(track.stringCount);
}

// Notes the converter sounds: playable notes (type 1) of sounding beats, on
// the strings the track uses.
unsigned long PlayableNotes(const FileStruct& song, uint32_t t) {
  unsigned long count = 0;
  uint32_t strings = StringsShown(song.tracks[t]);
  for (uint32_t m = 0; song.measures && m < song.measureCount; ++m) {
    const Tolvenar::TrackMeasure& cell = song.measures[m][t];
    for (uint32_t b = 0; b < cell.beatCount; ++b) {
      const Tolvenar::Beat& beat = cell.beats[b];
      if ((beat.flags & Tolvenar::kBeatStatus) && (beat.status == 0 || beat.status == 2)) continue;
      for (uint32_t s = 0; s < strings; ++s) {
        const Tolvenar::Note& note = beat.notes[s];
        if ((beat.strings & (0x40 >> s)) && (note.flags & 0x20) && note.type == 1) ++count;
      }
    }
  }
  return count;
}

// The track's entry of the channel table, or null when port or channel is
// outside the table.
const Tolvenar::MidiChannel* ChannelEntry(const FileStruct& song, const Track& track) {
  if (track.midiPort < 1 || track.midiPort > 4 || track.midiChannel < 1 || track.midiChannel > 16) {
    return nullptr;
  }
  return &song.midiChannels[track.midiPort - 1][track.midiChannel - 1];
}

// A song text for a terminal: UTF-8, with control characters shown as \xNN
// so a stray byte cannot move the cursor or break a line.
std::string Shown(const char* text) {
  std::string out;
  if (!text) return out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    uint32_t codePoint = Windows1252CodePoint(*p);
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) {
      char escape[5];
      snprintf(escape, sizeof escape, "\\x%02X", *p);
      out.append(escape);
    } else {
      AppendUtf8(&out, codePoint);
    }
  }
  return out;
}

void Line(std::string* out, const char* label, const std::string& value) {
  char padded[24];
  snprintf(padded, sizeof padded, "%-17s", label);
  out->append(padded).append(value).push_back('\n');
}

const char* const kInfoLabels[8] = {"Title:", "Subtitle:", "Artist:", "Album:",
                                    "Author:", "Copyright:", "Tab author:", "Instructions:"};
const char* const kInfoKeys[8] = {"title", "subtitle", "artist", "album",
                                  "author", "copyright", "tabAuthor", "instructions"};

void InfoTexts(const FileStruct& song, const char* texts[8]) {
  const Tolvenar::SongInfo& i = song.info;
  const char* all[8] = {i.title, i.subtitle, i.interpret, i.album,
                        i.author, i.copyright, i.tabAuthor, i.instructions};
  for (int k = 0; k < 8; ++k) texts[k] = all[k];
}

}  // namespace

std::string NoteName(int32_t midiNote) {
  static const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F",
                                         "F#", "G", "G#", "A", "A#", "B"};
  if (midiNote < 0 || midiNote > 127) return std::to_string(midiNote);
  return kNames[midiNote % 12] + std::to_string(midiNote / 12 - 1);
}

std::string SongInfoText(const FileStruct& song) {
  std::string out;
  Line(&out, "Version:", Shown(song.version));
  const char* texts[8];
  InfoTexts(song, texts);
  for (int k = 0; k < 8; ++k) {
    if (texts[k] && texts[k][0]) Line(&out, kInfoLabels[k], Shown(texts[k]));
  }
  for (uint32_t i = 0; i < song.info.noticeLineCount; ++i) {
    Line(&out, i == 0 ? "Notice:" : "", Shown(song.info.noticeLines[i]));
  }
  Line(&out, "Triplet feel:", song.tripletFeel == 1 ? "yes" : "no");
  bool lyricsShown = false;
  for (int i = 0; i < 5; ++i) {
    if (!song.lyricsLines[i] || !song.lyricsLines[i][0]) continue;
    Line(&out, lyricsShown ? "" : "Lyrics:",
         Shown(song.lyricsLines[i]) +
             (lyricsShown ? "" : "  (track " + std::to_string(song.lyricsTrack) + ")"));
    lyricsShown = true;
  }
  Line(&out, "Tempo:", std::to_string(song.tempo));
  Line(&out, "Key:", std::to_string(song.key));
  Line(&out, "Measures:", std::to_string(song.measureCount));
  std::string list;
  for (const TimeSignature& t : TimeSignatures(song)) {
    list += (list.empty() ? "" : ", ") + std::to_string(t.numerator) + "/" +
            std::to_string(t.denominator) + " at " + std::to_string(t.measure + 1);
  }
  if (!list.empty()) Line(&out, "Time signatures:", list);
  for (const Repeat& r : Repeats(song)) {
    Line(&out, "Repeat:",
         "measures " + std::to_string(r.first + 1) + "-" + std::to_string(r.last + 1) +
             ", played " + std::to_string(r.count + 1) + " times");
  }
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const MeasureHeader& h = song.measureHeaders[m];
    if (!h.marker) continue;
    Line(&out, "Marker:", "measure " + std::to_string(m + 1) + " \"" + Shown(h.marker->text) + "\"");
  }
  Line(&out, "Tracks:", std::to_string(song.trackCount));
  for (uint32_t t = 0; t < song.trackCount; ++t) {
    const Track& track = song.tracks[t];
    std::string tuning;
    for (uint32_t s = 0; s < StringsShown(track); ++s) {
      tuning += (s ? " " : "") + NoteName(track.tuning[s]);
    }
    std::string line = "  " + std::to_string(t + 1) + ". \"" + Shown(track.name) + "\": " +
                       std::to_string(track.stringCount) + " strings " + tuning + ", port " +
                       std::to_string(track.midiPort) + ", channel " +
                       std::to_string(track.midiChannel);
    if (track.effectsMidiChannel != track.midiChannel) {
      line += " (effects " + std::to_string(track.effectsMidiChannel) + ")";
    }
    if (const Tolvenar::MidiChannel* entry = ChannelEntry(song, track)) {
      line += ", program " + std::to_string(entry->instrument & 0xFF);
    }
    line += ", " + std::to_string(track.fretCount) + " frets, capo " +
            std::to_string(track.capoHeight) + ", " + std::to_string(PlayableNotes(song, t)) +
            " notes to play";
    out.append(line).push_back('\n');
  }
  return out;
}

std::string SongInfoJson(const FileStruct& song) {
  JsonWriter json;
  JsonBeginObject(&json);
  JsonKey(&json, "version");
  JsonSongText(&json, song.version);
  const char* texts[8];
  InfoTexts(song, texts);
  for (int k = 0; k < 8; ++k) {
    JsonKey(&json, kInfoKeys[k]);
    JsonSongText(&json, texts[k]);
  }
  JsonKey(&json, "notice");
  JsonBeginArray(&json);
  for (uint32_t i = 0; i < song.info.noticeLineCount; ++i) {
    JsonSongText(&json, song.info.noticeLines[i]);
  }
  JsonEndArray(&json);
  JsonKey(&json, "tripletFeel");
  JsonBool(&json, song.tripletFeel == 1);
  JsonKey(&json, "lyricsTrack");
  JsonInteger(&json, song.lyricsTrack);
  JsonKey(&json, "lyrics");
  JsonBeginArray(&json);
  for (int i = 0; i < 5; ++i) JsonSongText(&json, song.lyricsLines[i]);
  JsonEndArray(&json);
  JsonKey(&json, "tempo");
  JsonInteger(&json, song.tempo);
  JsonKey(&json, "key");
  JsonInteger(&json, song.key);
  JsonKey(&json, "measureCount");
  JsonInteger(&json, song.measureCount);

  JsonKey(&json, "timeSignatures");
  JsonBeginArray(&json);
  for (const TimeSignature& t : TimeSignatures(song)) {
    JsonBeginObject(&json);
    JsonKey(&json, "measure");
    JsonInteger(&json, t.measure + 1);
    JsonKey(&json, "numerator");
    JsonInteger(&json, t.numerator);
    JsonKey(&json, "denominator");
    JsonInteger(&json, t.denominator);
    JsonEndObject(&json);
  }
  JsonEndArray(&json);

  JsonKey(&json, "repeats");
  JsonBeginArray(&json);
  for (const Repeat& r : Repeats(song)) {
    JsonBeginObject(&json);
    JsonKey(&json, "firstMeasure");
    JsonInteger(&json, r.first + 1);
    JsonKey(&json, "lastMeasure");
    JsonInteger(&json, r.last + 1);
    JsonKey(&json, "repeatCount");
    JsonInteger(&json, r.count);
    JsonEndObject(&json);
  }
  JsonEndArray(&json);

  JsonKey(&json, "markers");
  JsonBeginArray(&json);
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const Tolvenar::MeasureMarker* marker = song.measureHeaders[m].marker;
    if (!marker) continue;
    JsonBeginObject(&json);
    JsonKey(&json, "measure");
    JsonInteger(&json, m + 1);
    JsonKey(&json, "text");
    JsonSongText(&json, marker->text);
    JsonKey(&json, "color");  // the four bytes in file order
    JsonBeginArray(&json);
    for (int b = 0; b < 4; ++b) JsonInteger(&json, (marker->color >> (8 * b)) & 0xFF);
    JsonEndArray(&json);
    JsonEndObject(&json);
  }
  JsonEndArray(&json);

  JsonKey(&json, "tracks");
  JsonBeginArray(&json);
  for (uint32_t t = 0; t < song.trackCount; ++t) {
    const Track& track = song.tracks[t];
    JsonBeginObject(&json);
    JsonKey(&json, "number");
    JsonInteger(&json, t + 1);
    JsonKey(&json, "name");
    JsonSongText(&json, track.name);
    JsonKey(&json, "strings");
    JsonInteger(&json, track.stringCount);
    JsonKey(&json, "tuning");
    JsonBeginArray(&json);
    for (uint32_t s = 0; s < StringsShown(track); ++s) {
      std::string name = NoteName(track.tuning[s]);
      JsonSongText(&json, name.c_str());
    }
    JsonEndArray(&json);
    JsonKey(&json, "tuningMidi");
    JsonBeginArray(&json);
    for (uint32_t s = 0; s < StringsShown(track); ++s) JsonInteger(&json, track.tuning[s]);
    JsonEndArray(&json);
    JsonKey(&json, "port");
    JsonInteger(&json, track.midiPort);
    JsonKey(&json, "channel");
    JsonInteger(&json, track.midiChannel);
    JsonKey(&json, "effectsChannel");
    JsonInteger(&json, track.effectsMidiChannel);
    const Tolvenar::MidiChannel* entry = ChannelEntry(song, track);
    JsonKey(&json, "program");
    if (entry) {
      JsonInteger(&json, entry->instrument & 0xFF);
    } else {
      JsonNull(&json);
    }
    JsonKey(&json, "frets");
    JsonInteger(&json, track.fretCount);
    JsonKey(&json, "capo");
    JsonInteger(&json, track.capoHeight);
    JsonKey(&json, "notesToPlay");
    JsonInteger(&json, static_cast<long long>(PlayableNotes(song, t)));
    JsonEndObject(&json);
  }
  JsonEndArray(&json);
  JsonEndObject(&json);
  return json.out;
}
