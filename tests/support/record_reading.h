// The song's record readers driven over a stdio stream, as the record tests
// use them: a reader context is opened on the stream for one record and
// closed after it (the stream then stands just after what was read), and a
// record that failed is released at once, so each call either yields a
// whole record or leaves nothing allocated. The same holds for a whole song
// read from memory with one allocation per record.
#ifndef ORLIX_TESTS_RECORD_READING_H
#define ORLIX_TESTS_RECORD_READING_H

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "song/song_internal.h"

namespace orlix_test {

// One reader context over a stream, closed with the object.
class StreamReader {
 public:
  explicit StreamReader(FILE* stream) { Tolvenar::OpenStreamReader(&in_, stream); }
  ~StreamReader() { Tolvenar::CloseReader(&in_); }
  StreamReader(const StreamReader&) = delete;
  StreamReader& operator=(const StreamReader&) = delete;
  Tolvenar::SongReader* get() { return &in_; }

 private:
  Tolvenar::SongReader in_;
};

template <typename Record, typename Release>
Record* ReadAttachment(FILE* stream, int (*load)(Record**, Tolvenar::SongReader*), Release release) {
  Record* record = nullptr;
  StreamReader in(stream);
  if (!load(&record, in.get())) {
    release(&record);
    return nullptr;
  }
  return record;
}

inline Tolvenar::ChordDiagram* LoadChordDiagram(FILE* stream) {
  return ReadAttachment(stream, &Tolvenar::LoadChordDiagram, &Tolvenar::FreeChordDiagram);
}
inline Tolvenar::BeatEffects* LoadBeatEffects(FILE* stream) {
  return ReadAttachment(stream, &Tolvenar::LoadBeatEffects, &Tolvenar::FreeBeatEffects);
}
inline Tolvenar::BendCurve* LoadBendCurve(FILE* stream) {
  return ReadAttachment(stream, &Tolvenar::LoadBendCurve, &Tolvenar::FreeBendCurve);
}
inline Tolvenar::NoteEffects* LoadNoteEffects(FILE* stream) {
  return ReadAttachment(stream, &Tolvenar::LoadNoteEffects, &Tolvenar::FreeNoteEffects);
}
inline Tolvenar::MixTableChange* LoadMixTableChange(FILE* stream) {
  return ReadAttachment(stream, &Tolvenar::LoadMixTableChange, [](Tolvenar::MixTableChange** mix) {
    free(*mix);
    *mix = nullptr;
  });
}

inline int LoadBeat(Tolvenar::Beat* beat, FILE* stream) {
  StreamReader in(stream);
  if (Tolvenar::LoadBeat(beat, in.get())) return 1;
  Tolvenar::FreeBeat(beat);
  return 0;
}

inline int LoadNote(Tolvenar::Note* note, FILE* stream) {
  StreamReader in(stream);
  if (Tolvenar::LoadNote(note, in.get())) return 1;
  Tolvenar::FreeNote(note);
  return 0;
}

inline int LoadMeasureHeader(Tolvenar::MeasureHeader* header, FILE* stream) {
  StreamReader in(stream);
  if (Tolvenar::LoadMeasureHeader(header, in.get())) return 1;
  if (header->marker) {
    free(header->marker->text);
    free(header->marker);
    header->marker = nullptr;
  }
  return 0;
}

inline int LoadTrack(Tolvenar::Track* track, FILE* stream) {
  StreamReader in(stream);
  if (Tolvenar::LoadTrack(track, in.get())) return 1;
  free(track->name);
  track->name = nullptr;
  return 0;
}

// The grid of a song whose headers and tracks are in place; a failure
// releases the whole body, as the song's load does.
inline int LoadMeasureGrid(Tolvenar::FileStruct* song, FILE* stream, uint32_t measureCount,
                           uint32_t trackCount) {
  StreamReader in(stream);
  if (Tolvenar::LoadMeasureGrid(song, in.get(), measureCount, trackCount)) return 1;
  Tolvenar::FreeSongBody(song, measureCount, trackCount);
  return 0;
}

// A whole song from memory as the classic entry points read it (one
// allocation per record), but opening every format the handles open; a
// failed read is released at once and leaves its error in *error.
inline int ReadSongOnePerRecord(const void* bytes, size_t size, Tolvenar::FileStruct* song,
                                Tolvenar::ReadError* error) {
  memset(song, 0, sizeof *song);
  Tolvenar::SongReader in;
  Tolvenar::OpenMemoryReader(&in, bytes, size);
  in.acceptsHandleFormats = true;
  int read = Tolvenar::ReadSong(song, &in);
  *error = in.error;
  if (!read) Tolvenar::FreeFileStruct(song);
  return read;
}

}  // namespace orlix_test

#endif
