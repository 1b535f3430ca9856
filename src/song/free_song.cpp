// Release of a song: the whole record, its information texts and its body
// (measure headers, tracks and the measure grid).
#include <cstdlib>

#include "song/song_internal.h"

namespace Tolvenar {

void FreeSongInfo(SongInfo* info) {
  char** texts[] = {&info->title,  &info->subtitle,  &info->interpret, &info->album,
                    &info->author, &info->copyright, &info->tabAuthor, &info->instructions};
  for (char** text : texts) {
    free(*text);
    *text = nullptr;
  }
  if (info->noticeLines) {
    for (uint32_t i = 0; i < info->noticeLineCount; ++i) free(info->noticeLines[i]);
    free(info->noticeLines);
    info->noticeLines = nullptr;
  }
}

static void FreeMeasureHeaders(FileStruct* song, uint32_t measureCount) {
  if (!song->measureHeaders) return;
  for (uint32_t m = 0; m < measureCount; ++m) {
    MeasureMarker* marker = song->measureHeaders[m].marker;
    if (!marker) continue;
    free(marker->text);
    free(marker);
    song->measureHeaders[m].marker = nullptr;
  }
  free(song->measureHeaders);
  song->measureHeaders = nullptr;
}

static void FreeTracks(FileStruct* song, uint32_t trackCount) {
  if (!song->tracks) return;
  for (uint32_t t = 0; t < trackCount; ++t) {
    free(song->tracks[t].name);
    song->tracks[t].name = nullptr;
  }
  free(song->tracks);
  song->tracks = nullptr;
}

static void FreeMeasureGrid(FileStruct* song, uint32_t measureCount, uint32_t trackCount) {
  if (!song->measures) return;
  for (uint32_t m = 0; m < measureCount; ++m) {
    TrackMeasure* row = song->measures[m];
    if (!row) continue;
    for (uint32_t t = 0; t < trackCount; ++t) {
      TrackMeasure* cell = &row[t];
      if (!cell->beats) continue;
      FreeBeats(cell->beats, cell->beatCount);
      free(cell->beats);
      cell->beats = nullptr;
    }
    free(row);
    song->measures[m] = nullptr;
  }
  free(song->measures);
  song->measures = nullptr;
}

void FreeSongBody(FileStruct* song, uint32_t measureCount, uint32_t trackCount) {
  FreeMeasureHeaders(song, measureCount);
  FreeTracks(song, trackCount);
  FreeMeasureGrid(song, measureCount, trackCount);
}

void FreeFileStruct(FileStruct* song) {
  if (!song) return;
  FreeSongBody(song, song->measureCount, song->trackCount);
  free(song->version);
  song->version = nullptr;
  FreeSongInfo(&song->info);
  for (char*& line : song->lyricsLines) {
    free(line);
    line = nullptr;
  }
}

}  // namespace Tolvenar
