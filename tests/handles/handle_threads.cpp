// Song handles from several threads at once, through the public header only:
// four threads open, read, convert and close songs, two of them converting
// one shared handle, and every buffer must equal the single-threaded one.
// Built with ThreadSanitizer by the tsan preset.
#include <pthread.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "orlix/orlix.h"
#include "support/song_file.h"

namespace {

using orlix_test::Bytes;

constexpr int kThreads = 4;
constexpr int kRounds = 12;

struct Song {
  Bytes file;
  std::vector<unsigned char> midi;  // the single-threaded conversion
};

std::vector<Song> songs;
ORLIX_Song* shared = nullptr;
size_t sharedSong = 0;

// A longer song than the record sampler: 64 measures of two tracks with a
// repeat and tempo changes, so conversions overlap for a while.
Bytes LongerSong() {
  orlix_test::SongFile song;
  song.tracks.resize(2);
  song.tracks[1].channel = 3;
  song.tracks[1].effectsChannel = 4;
  for (int m = 0; m < 64; ++m) {
    orlix_test::MeasureHeaderRecord header;
    if (m % 16 == 0) header.flags = 0x04;
    if (m % 16 == 15) header.flags = 0x08;
    song.measures.push_back(header);
    std::vector<orlix_test::BeatRecord> lead, bass;
    for (int b = 0; b < 8; ++b) lead.push_back(orlix_test::NotesBeat(1, {{b % 6, (m + b) % 12}}));
    bass.push_back(orlix_test::NotesBeat(-1, {{5, m % 5}}));
    song.cells.push_back({lead, bass});
  }
  return song.bytes();
}

bool Convert(const ORLIX_Song* handle, std::vector<unsigned char>* out) {
  ORLIX_MidiOptions options;
  std::memset(&options, 0, sizeof options);
  options.size = sizeof options;
  options.playback = ORLIX_PLAYBACK_CLASSIC;
  unsigned char* buffer = nullptr;
  size_t size = 0;
  if (!ORLIX_ToMidi(handle, &options, &buffer, &size, nullptr)) return false;
  out->assign(buffer, buffer + size);
  ORLIX_DestroyMidiBuffer(buffer);
  return true;
}

// Opens, reads and converts one song and closes it again.
bool RoundTrip(const Song& song) {
  ORLIX_Song* handle = ORLIX_OpenMemory(song.file.data.data(), song.file.size(), nullptr);
  if (!handle) return false;
  const Tolvenar::FileStruct* records = ORLIX_GetSong(handle);
  bool ok = records->trackCount > 0 && records->info.title != nullptr;
  std::vector<unsigned char> midi;
  ok = ok && Convert(handle, &midi) && midi == song.midi;
  ORLIX_Close(handle);
  return ok;
}

void* Work(void* argument) {
  long index = reinterpret_cast<long>(argument);
  long failures = 0;
  for (int round = 0; round < kRounds; ++round) {
    if (index < 2) {
      std::vector<unsigned char> midi;
      if (!Convert(shared, &midi) || midi != songs[sharedSong].midi) ++failures;
    } else {
      if (!RoundTrip(songs[(index + round) % songs.size()])) ++failures;
    }
  }
  return reinterpret_cast<void*>(failures);
}

}  // namespace

int main(int argc, char** argv) {
  songs.push_back({orlix_test::EveryRecordSong().bytes(), {}});
  songs.push_back({LongerSong(), {}});
  for (int i = 1; i < argc; ++i) {  // real songs named on the command line
    FILE* in = std::fopen(argv[i], "rb");
    if (!in) continue;
    Song song;
    int c;
    while ((c = std::getc(in)) != EOF) song.file.u8(static_cast<uint8_t>(c));
    std::fclose(in);
    songs.push_back(song);
  }
  for (Song& song : songs) {
    ORLIX_Song* handle = ORLIX_OpenMemory(song.file.data.data(), song.file.size(), nullptr);
    if (!handle || !Convert(handle, &song.midi)) {
      std::fprintf(stderr, "handle_threads: a song failed single-threaded\n");
      return 1;
    }
    ORLIX_Close(handle);
  }
  sharedSong = songs.size() - 1;
  shared = ORLIX_OpenMemory(songs[sharedSong].file.data.data(), songs[sharedSong].file.size(), nullptr);
  if (!shared) return 1;

  pthread_t threads[kThreads];
  for (long i = 0; i < kThreads; ++i) pthread_create(&threads[i], nullptr, Work, reinterpret_cast<void*>(i));
  long failures = 0;
  for (pthread_t thread : threads) {
    void* result = nullptr;
    pthread_join(thread, &result);
    failures += reinterpret_cast<long>(result);
  }
  ORLIX_Close(shared);
  std::printf("handle_threads: %d threads x %d rounds over %zu songs, %ld buffers differ\n", kThreads,
              kRounds, songs.size(), failures);
  return failures == 0 ? 0 : 1;
}
