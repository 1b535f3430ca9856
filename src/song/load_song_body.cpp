// The song body: measure headers and track records, then the measure grid.
#include <cstring>

#include "song/song_internal.h"

namespace Tolvenar {

namespace {

// The name takes a length byte and a 40-byte field, whatever its length.
constexpr size_t kTrackNameFieldBytes = 41;

// Version 5 ends a header with the beam groups (with a time signature), the
// ending mask, the measure's triplet feel and a padding byte.
int ReadVersion5MeasureTail(MeasureHeader* header, SongReader* in) {
  constexpr size_t kBeamGroupBytes = 4;
  if ((header->flags & (kMeasureNumerator | kMeasureDenominator)) && !SkipBytes(in, kBeamGroupBytes)) return 0;
  const uint8_t* tail;
  if (!TakeBytes(in, 3, &tail)) return 0;
  uint8_t mask = (header->flags & kMeasureAltEnding) ? tail[0] : 0;
  header->altEndingCount = EndingNumberOfMask(mask);
  if (SongExtras* extras = in->extras) {
    extras->measureEndings[in->place.measure] = mask;
    extras->measureTripletFeel[in->place.measure] = tail[1];
  }
  return 1;
}

int ReadMeasureHeaderParts(MeasureHeader* header, SongReader* in) {
  const bool v5 = ReadsVersion5(in);
  // Version 5 stores the ending after the beam groups, as a mask.
  struct {
    uint8_t bit;
    uint8_t* field;
  } const optionalBytes[] = {
      {kMeasureNumerator, &header->keyNumerator},
      {kMeasureDenominator, &header->keyDenominator},
      {kMeasureEndRepeat, &header->repeatCount},
      {v5 ? uint8_t{0} : uint8_t{kMeasureAltEnding}, &header->altEndingCount},
  };
  for (const auto& part : optionalBytes) {
    if ((header->flags & part.bit) && !ReadU8(in, part.field)) return 0;
  }
  // Version 5 counts plays, the records count repeats.
  if (v5 && header->repeatCount > 0) --header->repeatCount;
  if (header->flags & kMeasureMarker) {
    header->marker = static_cast<MeasureMarker*>(NewRecord(in, sizeof(MeasureMarker)));
    if (!header->marker) return 0;
    if (!ReadIntByteString(in, &header->marker->text)) return 0;
    // The colour bytes are kept as stored: first file byte lowest in memory.
    if (!ReadBytes(in, &header->marker->color, sizeof header->marker->color)) return 0;
  }
  if (header->flags & kMeasureTonality) {
    if (!ReadU8(in, &header->tonality)) return 0;
    if (!ReadU8(in, &header->tonalityType)) return 0;
  }
  return v5 ? ReadVersion5MeasureTail(header, in) : 1;
}

int ReadTrackFields(Track* track, SongReader* in) {
  int32_t* numbers[] = {&track->stringCount, &track->tuning[0], &track->tuning[1],
                        &track->tuning[2],   &track->tuning[3], &track->tuning[4],
                        &track->tuning[5],   &track->tuning[6], &track->midiPort,
                        &track->midiChannel, &track->effectsMidiChannel, &track->fretCount,
                        &track->capoHeight};
  for (int32_t* number : numbers) {
    if (!ReadI32LE(in, number)) return 0;
  }
  return ReadBytes(in, &track->color, sizeof track->color);
}

// Version 5 follows the track record with display, playback and
// sound-engine settings, of which only the MIDI bank is kept.
int ReadVersion5TrackTail(SongReader* in) {
  constexpr size_t kTrackTail500Bytes = 45;
  constexpr size_t kTrackTail510Bytes = 49;
  constexpr size_t kBankByte = 3;
  const bool v510 = ReadsVersion510(in);
  const uint8_t* tail;
  if (!TakeBytes(in, v510 ? kTrackTail510Bytes : kTrackTail500Bytes, &tail)) return 0;
  if (in->extras) in->extras->trackBank[in->place.track] = tail[kBankByte];
  // The sound-engine effect's name and category.
  return !v510 || (SkipIntByteString(in) && SkipIntByteString(in));
}

// The track name: a length byte and up to 255 bytes, in a field of 41
// bytes. A name longer than the field runs into the fields behind it,
// which are still read from their own offsets, so the whole name is
// peeked and only the field is taken.
int ReadTrackName(Track* track, SongReader* in) {
  const uint8_t* field;
  if (!PeekBytes(in, 1, &field)) return 0;
  size_t length = field[0];
  size_t peeked = 1 + length > kTrackNameFieldBytes ? 1 + length : kTrackNameFieldBytes;
  if (!PeekBytes(in, peeked, &field)) return 0;
  track->name = static_cast<char*>(NewArrayUninitialised(in, length + 1, 1));
  if (!track->name) return 0;
  memcpy(track->name, field + 1, length);
  track->name[length] = '\0';
  in->at += kTrackNameFieldBytes;
  return 1;
}

}  // namespace

int LoadMeasureHeader(MeasureHeader* header, SongReader* in) {
  memset(header, 0, sizeof *header);
  if (!ReadU8(in, &header->flags)) return 0;
  return ReadMeasureHeaderParts(header, in);
}

int LoadTrack(Track* track, SongReader* in) {
  memset(track, 0, sizeof *track);
  if (!ReadU8(in, &track->flags)) return 0;
  if (!ReadTrackName(track, in) || !ReadTrackFields(track, in)) return 0;
  return ReadsVersion5(in) ? ReadVersion5TrackTail(in) : 1;
}

int LoadSongBody(FileStruct* song, SongReader* in, uint32_t measureCount, uint32_t trackCount) {
  song->measureHeaders = nullptr;
  song->tracks = nullptr;
  song->measures = nullptr;
  const bool v5 = ReadsVersion5(in);
  // Counts the rest of the file cannot back fail here, as their reads would,
  // before anything is allocated for them.
  if (!InputCanHold(in, measureCount, v5 ? kMinMeasureHeader5Bytes : kMinMeasureHeaderBytes) ||
      !InputCanHold(in, trackCount, kTrackRecordBytes)) {
    return 0;
  }
  song->measureHeaders = static_cast<MeasureHeader*>(NewArray(in, measureCount, sizeof(MeasureHeader)));
  if (!song->measureHeaders) return 0;
  song->tracks = static_cast<Track*>(NewArray(in, trackCount, sizeof(Track)));
  if (!song->tracks) return 0;
  if (in->extras && !NewSongExtras(in, measureCount, trackCount)) return 0;
  for (uint32_t m = 0; m < measureCount; ++m) {
    in->place.measure = m;
    if (!LoadMeasureHeader(&song->measureHeaders[m], in)) return 0;
  }
  if (v5) {
    // The song-wide byte the records hold: eighths when the first measure swings them.
    song->tripletFeel = measureCount > 0 && in->extras && in->extras->measureTripletFeel[0] == kTripletFeelEighths;
  } else if (in->extras) {
    KeepExtrasOfRecords(in->extras, song);
  }
  for (uint32_t t = 0; t < trackCount; ++t) {
    in->place.track = t;
    if (!LoadTrack(&song->tracks[t], in)) return 0;
  }
  return LoadMeasureGrid(song, in, measureCount, trackCount);
}

}  // namespace Tolvenar
