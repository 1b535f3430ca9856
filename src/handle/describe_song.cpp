// The description of an open song as JSON: what `orlix info` and the Python
// module show, worked out in one place.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "convert/song_rules.h"
#include "handle/describe_internal.h"
#include "handle/song_handle.h"

namespace Tolvenar {

namespace {

const char kDefaultEncoding[] = "WINDOWS-1252";

// Up to 40 bytes of a caller's text for a message: printable ASCII as it
// is, anything else as \xNN.
void QuoteForMessage(const char* text, char* out, size_t room) {
  size_t used = 0;
  for (size_t i = 0; text[i] && i < 40 && used + 5 < room; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out[used++] = static_cast<char>(c);
    } else {
      used += static_cast<size_t>(snprintf(out + used, room - used, "\\x%02X", c));
    }
  }
  out[used] = '\0';
}

// Options the conversion has accepted; null ones play in full.
const char* PlaybackName(const ORLIX_MidiOptions* options) {
  return options && options->playback == ORLIX_PLAYBACK_CLASSIC ? "classic" : "full";
}

void NoteName(int32_t pitch, char* out, size_t room) {
  static const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F",
                                         "F#", "G", "G#", "A", "A#", "B"};
  if (pitch < 0 || pitch > 127) {
    snprintf(out, room, "%d", static_cast<int>(pitch));
  } else {
    snprintf(out, room, "%s%d", kNames[pitch % 12], static_cast<int>(pitch / 12 - 1));
  }
}

uint32_t StringsShown(const Track& track) {
  if (track.stringCount < 0) return 0;
  return track.stringCount > 7 ? 7 : static_cast<uint32_t>(track.stringCount);
}

void DescribeTexts(JsonText* json, const FileStruct& song) {
  const SongInfo& i = song.info;
  const char* const keys[8] = {"title", "subtitle", "artist", "album",
                               "author", "copyright", "tabAuthor", "instructions"};
  const char* const texts[8] = {i.title, i.subtitle, i.interpret, i.album,
                                i.author, i.copyright, i.tabAuthor, i.instructions};
  for (int k = 0; k < 8; ++k) {
    JsonKey(json, keys[k]);
    JsonSongText(json, texts[k]);
  }
  JsonKey(json, "notice");
  JsonBeginArray(json);
  for (uint32_t n = 0; n < i.noticeLineCount; ++n) JsonSongText(json, i.noticeLines[n]);
  JsonEndArray(json);
  JsonKey(json, "tripletFeel");
  JsonBool(json, song.tripletFeel == 1);
  JsonKey(json, "lyricsTrack");
  JsonInteger(json, song.lyricsTrack);
  JsonKey(json, "lyrics");
  JsonBeginArray(json);
  for (int l = 0; l < 5; ++l) JsonSongText(json, song.lyricsLines[l]);
  JsonEndArray(json);
}

// Where the time signature in force changes, as the conversion sees it.
void DescribeTimeSignatures(JsonText* json, const FileStruct& song) {
  JsonKey(json, "timeSignatures");
  JsonBeginArray(json);
  unsigned numerator = 0, denominator = 0;
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const MeasureHeader& h = song.measureHeaders[m];
    unsigned n = (h.flags & kMeasureNumerator) ? h.keyNumerator : numerator;
    unsigned d = (h.flags & kMeasureDenominator) ? h.keyDenominator : denominator;
    if (n != numerator || d != denominator) {
      JsonBeginObject(json);
      JsonKey(json, "measure");
      JsonInteger(json, m + 1LL);
      JsonKey(json, "numerator");
      JsonInteger(json, n);
      JsonKey(json, "denominator");
      JsonInteger(json, d);
      JsonEndObject(json);
    }
    numerator = n;
    denominator = d;
  }
  JsonEndArray(json);
}

// Each end-repeat goes back to the nearest begin-repeat at or before it, or
// to the first measure when there is none.
void DescribeRepeats(JsonText* json, const FileStruct& song) {
  JsonKey(json, "repeats");
  JsonBeginArray(json);
  uint32_t begin = 0;
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const MeasureHeader& h = song.measureHeaders[m];
    if (h.flags & kMeasureBeginRepeat) begin = m;
    if (!(h.flags & kMeasureEndRepeat)) continue;
    JsonBeginObject(json);
    JsonKey(json, "firstMeasure");
    JsonInteger(json, begin + 1LL);
    JsonKey(json, "lastMeasure");
    JsonInteger(json, m + 1LL);
    JsonKey(json, "repeatCount");
    JsonInteger(json, h.repeatCount);
    JsonEndObject(json);
  }
  JsonEndArray(json);
}

void DescribeMarkers(JsonText* json, const FileStruct& song) {
  JsonKey(json, "markers");
  JsonBeginArray(json);
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const MeasureMarker* marker = song.measureHeaders[m].marker;
    if (!marker) continue;
    JsonBeginObject(json);
    JsonKey(json, "measure");
    JsonInteger(json, m + 1LL);
    JsonKey(json, "text");
    JsonSongText(json, marker->text);
    JsonKey(json, "color");  // the four bytes in file order
    JsonBeginArray(json);
    for (int b = 0; b < 4; ++b) JsonInteger(json, (marker->color >> (8 * b)) & 0xFF);
    JsonEndArray(json);
    JsonEndObject(json);
  }
  JsonEndArray(json);
}

// The extras, read through the handle so every format answers alike.
void DescribeDirections(JsonText* json, const ORLIX_Song* handle) {
  static const char* const kNames[ORLIX_DIRECTION_COUNT] = {
      "coda", "double coda", "segno", "segno segno", "fine", "da capo", "da capo al coda",
      "da capo al double coda", "da capo al fine", "dal segno", "dal segno al coda",
      "dal segno al double coda", "dal segno al fine", "dal segno segno",
      "dal segno segno al coda", "dal segno segno al double coda", "dal segno segno al fine",
      "da coda", "da double coda"};
  JsonKey(json, "directions");
  JsonBeginArray(json);
  for (int sign = 0; sign < ORLIX_DIRECTION_COUNT; ++sign) {
    int measure = ORLIX_GetDirection(handle, sign);
    if (measure == 0) continue;
    JsonBeginObject(json);
    JsonKey(json, "name");
    JsonAsciiText(json, kNames[sign]);
    JsonKey(json, "measure");
    JsonInteger(json, measure);
    JsonEndObject(json);
  }
  JsonEndArray(json);
}

// Like the time signatures: the first measure's value, then each change.
void DescribeTripletFeels(JsonText* json, const ORLIX_Song* handle, const FileStruct& song) {
  static const char* const kNames[3] = {"none", "eighths", "sixteenths"};
  JsonKey(json, "tripletFeels");
  JsonBeginArray(json);
  int previous = -1;
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    int feel = ORLIX_GetMeasureTripletFeel(handle, m);
    if (feel == previous) continue;
    previous = feel;
    JsonBeginObject(json);
    JsonKey(json, "measure");
    JsonInteger(json, m + 1LL);
    JsonKey(json, "tripletFeel");
    if (feel >= 0 && feel < 3) {
      JsonAsciiText(json, kNames[feel]);
    } else {
      JsonInteger(json, feel);
    }
    JsonEndObject(json);
  }
  JsonEndArray(json);
}

void DescribeEndings(JsonText* json, const ORLIX_Song* handle, const FileStruct& song) {
  JsonKey(json, "endings");
  JsonBeginArray(json);
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    unsigned set = ORLIX_GetMeasureEndings(handle, m);
    if (set == 0) continue;
    JsonBeginObject(json);
    JsonKey(json, "measure");
    JsonInteger(json, m + 1LL);
    JsonKey(json, "endings");
    JsonBeginArray(json);
    for (unsigned k = 0; k < 32; ++k) {
      if (set & (1u << k)) JsonInteger(json, k + 1LL);
    }
    JsonEndArray(json);
    JsonEndObject(json);
  }
  JsonEndArray(json);
}

unsigned long long SecondVoiceNotes(const ORLIX_Song* handle, const FileStruct& song, uint32_t t) {
  unsigned long long notes = 0;
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    const TrackMeasure* cell = ORLIX_GetSecondVoice(handle, m, t);
    if (!cell) continue;
    for (uint32_t b = 0; b < cell->beatCount; ++b) {
      for (unsigned bits = cell->beats[b].strings & 0x7Fu; bits; bits &= bits - 1) ++notes;
    }
  }
  return notes;
}

void DescribeTrack(JsonText* json, const ORLIX_Song* handle, const FileStruct& song, uint32_t t,
                   unsigned long long notes) {
  const Track& track = song.tracks[t];
  JsonBeginObject(json);
  JsonKey(json, "number");
  JsonInteger(json, t + 1LL);
  JsonKey(json, "name");
  JsonSongText(json, track.name);
  JsonKey(json, "strings");
  JsonInteger(json, track.stringCount);
  JsonKey(json, "tuning");
  JsonBeginArray(json);
  for (uint32_t s = 0; s < StringsShown(track); ++s) {
    char name[16];
    NoteName(track.tuning[s], name, sizeof name);
    JsonAsciiText(json, name);
  }
  JsonEndArray(json);
  JsonKey(json, "tuningMidi");
  JsonBeginArray(json);
  for (uint32_t s = 0; s < StringsShown(track); ++s) JsonInteger(json, track.tuning[s]);
  JsonEndArray(json);
  JsonKey(json, "port");
  JsonInteger(json, track.midiPort);
  JsonKey(json, "channel");
  JsonInteger(json, track.midiChannel);
  JsonKey(json, "effectsChannel");
  JsonInteger(json, track.effectsMidiChannel);
  JsonKey(json, "program");
  if (const MidiChannel* entry = TrackChannelEntry(&song, &track)) {
    JsonInteger(json, entry->instrument & 0xFF);
  } else {
    JsonNull(json);
  }
  JsonKey(json, "frets");
  JsonInteger(json, track.fretCount);
  JsonKey(json, "capo");
  JsonInteger(json, track.capoHeight);
  JsonKey(json, "bank");
  JsonInteger(json, ORLIX_GetTrackBank(handle, t));
  JsonKey(json, "notes");
  JsonInteger(json, static_cast<long long>(notes));
  JsonKey(json, "secondVoiceNotes");
  JsonInteger(json, static_cast<long long>(SecondVoiceNotes(handle, song, t)));
  JsonEndObject(json);
}

void Describe(JsonText* json, const ORLIX_Song* handle, const FileStruct& song,
              const ORLIX_MidiOptions* options, const char* encoding,
              const unsigned long long* notes) {
  JsonBeginObject(json);
  JsonKey(json, "format");
  JsonInteger(json, ORLIX_GetFormat(handle));
  JsonKey(json, "version");
  JsonSongText(json, song.version);
  JsonKey(json, "encoding");
  JsonAsciiText(json, encoding);
  JsonKey(json, "playback");
  JsonAsciiText(json, PlaybackName(options));
  DescribeTexts(json, song);
  JsonKey(json, "tempo");
  JsonInteger(json, song.tempo);
  JsonKey(json, "key");
  JsonInteger(json, song.key);
  JsonKey(json, "measureCount");
  JsonInteger(json, song.measureCount);
  DescribeTimeSignatures(json, song);
  DescribeRepeats(json, song);
  DescribeMarkers(json, song);
  DescribeTripletFeels(json, handle, song);
  DescribeEndings(json, handle, song);
  DescribeDirections(json, handle);
  JsonKey(json, "tracks");
  JsonBeginArray(json);
  for (uint32_t t = 0; t < song.trackCount; ++t) DescribeTrack(json, handle, song, t, notes[t + 1]);
  JsonEndArray(json);
  JsonEndObject(json);
}

}  // namespace

}  // namespace Tolvenar

extern "C" int ORLIX_DescribeSong(const ORLIX_Song* handle, const ORLIX_MidiOptions* options,
                                  const char* encoding, char** text, size_t* size,
                                  ORLIX_Error* error) {
  using namespace Tolvenar;
  using orlix_handle::ReportError;
  if (text) *text = nullptr;
  if (size) *size = 0;
  const FileStruct* song = ORLIX_GetSong(handle);
  if (!song || !text || !size) {
    return ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "no %s given",
                       !song ? "song" : "text or size");
  }
  if (!encoding) encoding = kDefaultEncoding;
  JsonText json;
  if (!InitJsonText(&json, encoding)) {
    FreeJsonText(&json);
    char quoted[164];
    QuoteForMessage(encoding, quoted, sizeof quoted);
    return ReportError(error, ORLIX_ERROR_ARGUMENT, -1, "unknown text encoding \"%s\"", quoted);
  }
  // The counts come from the MIDI the conversion writes, so they agree
  // with it by construction, whatever rules decide which notes sound.
  unsigned char* midi = nullptr;
  size_t midiSize = 0;
  if (!ORLIX_ToMidi(handle, options, &midi, &midiSize, error)) {
    FreeJsonText(&json);
    return 0;
  }
  size_t chunkCount = static_cast<size_t>(song->trackCount) + 1;
  unsigned long long* notes =
      chunkCount <= SIZE_MAX / sizeof(unsigned long long)
          ? static_cast<unsigned long long*>(calloc(chunkCount, sizeof(unsigned long long)))
          : nullptr;
  bool allocated = notes != nullptr;
  int counted = allocated && CountNoteOns(midi, midiSize, static_cast<uint32_t>(chunkCount), notes);
  ORLIX_DestroyMidiBuffer(midi);
  if (!counted) {
    free(notes);
    FreeJsonText(&json);
    return allocated ? ReportError(error, ORLIX_ERROR_BAD_DATA, -1,
                                   "the conversion's MIDI could not be read back")
                     : ReportError(error, ORLIX_ERROR_OUT_OF_MEMORY, -1, "out of memory");
  }
  Describe(&json, handle, *song, options, encoding, notes);
  free(notes);
  if (json.failed) {
    FreeJsonText(&json);
    return ReportError(error, ORLIX_ERROR_OUT_OF_MEMORY, -1, "out of memory for the description");
  }
  *text = json.data;
  *size = json.size;
  json.data = nullptr;
  FreeJsonText(&json);
  orlix_handle::ReportSuccess(error);
  return 1;
}

extern "C" void ORLIX_DestroyDescription(char* text) { free(text); }
