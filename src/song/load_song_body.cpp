// The song body: measure headers and track records, then the measure grid.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

namespace {

// The name takes a length byte and a 40-byte field, whatever its length.
constexpr long kTrackNameFieldBytes = 41;

int ReadMeasureHeaderParts(MeasureHeader* header, FILE* stream) {
  struct {
    uint8_t bit;
    uint8_t* field;
  } const optionalBytes[] = {
      {kMeasureNumerator, &header->keyNumerator},
      {kMeasureDenominator, &header->keyDenominator},
      {kMeasureEndRepeat, &header->repeatCount},
      {kMeasureAltEnding, &header->altEndingCount},
  };
  for (const auto& part : optionalBytes) {
    if ((header->flags & part.bit) && !ReadU8(stream, part.field)) return 0;
  }
  if (header->flags & kMeasureMarker) {
    // Attached at once so the caller's release finds it whatever fails next.
    header->marker = static_cast<MeasureMarker*>(calloc(1, sizeof(MeasureMarker)));
    if (!header->marker) return 0;
    header->marker->text = ReadIntByteString(stream);
    if (!header->marker->text) return 0;
    // The colour bytes are kept as stored: first file byte lowest in memory.
    if (!ReadBytes(stream, &header->marker->color, sizeof header->marker->color)) return 0;
  }
  if (header->flags & kMeasureTonality) {
    if (!ReadU8(stream, &header->tonality)) return 0;
    if (!ReadU8(stream, &header->tonalityType)) return 0;
  }
  return 1;
}

int ReadTrackFields(Track* track, FILE* stream) {
  int32_t* numbers[] = {&track->stringCount, &track->tuning[0], &track->tuning[1],
                        &track->tuning[2],   &track->tuning[3], &track->tuning[4],
                        &track->tuning[5],   &track->tuning[6], &track->midiPort,
                        &track->midiChannel, &track->effectsMidiChannel, &track->fretCount,
                        &track->capoHeight};
  for (int32_t* number : numbers) {
    if (!ReadI32LE(stream, number)) return 0;
  }
  return ReadBytes(stream, &track->color, sizeof track->color);
}

}  // namespace

int LoadMeasureHeader(MeasureHeader* header, FILE* stream) {
  memset(header, 0, sizeof *header);
  if (!ReadU8(stream, &header->flags)) return 0;
  if (!ReadMeasureHeaderParts(header, stream)) {
    if (header->marker) {
      free(header->marker->text);
      free(header->marker);
      header->marker = nullptr;
    }
    return 0;
  }
  return 1;
}

int LoadTrack(Track* track, FILE* stream) {
  memset(track, 0, sizeof *track);
  if (!ReadU8(stream, &track->flags)) return 0;
  long nameField = ftell(stream);
  if (nameField < 0 || nameField > LONG_MAX - kTrackNameFieldBytes) return 0;
  track->name = ReadByteString(stream);
  if (!track->name) return 0;
  // A name longer than its field has read into the fields behind it; they
  // are still read from their fixed offsets.
  if (fseek(stream, nameField + kTrackNameFieldBytes, SEEK_SET) != 0 ||
      !ReadTrackFields(track, stream)) {
    free(track->name);
    track->name = nullptr;
    return 0;
  }
  return 1;
}

int LoadSongBody(FileStruct* song, FILE* stream, uint32_t measureCount, uint32_t trackCount) {
  song->measureHeaders = nullptr;
  song->tracks = nullptr;
  song->measures = nullptr;
  // Counts the rest of the file cannot back fail here, as their reads would,
  // before anything is allocated for them.
  if (!StreamCanHold(stream, measureCount, kMinMeasureHeaderBytes) ||
      !StreamCanHold(stream, trackCount, kTrackRecordBytes)) {
    return 0;
  }
  song->measureHeaders = static_cast<MeasureHeader*>(AllocArray(measureCount, sizeof(MeasureHeader)));
  if (!song->measureHeaders) {
    FreeSongBody(song, measureCount, trackCount);
    return 0;
  }
  song->tracks = static_cast<Track*>(AllocArray(trackCount, sizeof(Track)));
  if (!song->tracks) {
    FreeSongBody(song, measureCount, trackCount);
    return 0;
  }
  // A failing header or track releases only its own allocations; the caller
  // releases the arrays and the records read before it.
  for (uint32_t m = 0; m < measureCount; ++m) {
    if (!LoadMeasureHeader(&song->measureHeaders[m], stream)) return 0;
  }
  for (uint32_t t = 0; t < trackCount; ++t) {
    if (!LoadTrack(&song->tracks[t], stream)) return 0;
  }
  // TODO(grid): the measure grid reader plugs in here, releasing the whole
  // body itself when it fails:
  //   if (!LoadMeasureGrid(song, stream, measureCount, trackCount)) return 0;
  return 1;
}

}  // namespace Tolvenar
