// Benchmarks of load, conversion and serialisation on generated songs, the
// demo song and a long repeat walk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "orlix/orlix.h"
#include "orlix/tolvenar.h"
#include "song_generator.h"

using namespace Tolvenar;

namespace {

constexpr ORLIX_MidiOptions kClassicPlayback = {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_CLASSIC, 480, 0};
constexpr ORLIX_MidiOptions kFullPlayback = {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_FULL, 480, 0};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
  }
  return bytes;
}

bool Load(const std::vector<uint8_t>& bytes, FileStruct* song) {
  FILE* stream = fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb");
  if (!stream) return false;
  int ok = LoadFileStruct(song, stream);
  fclose(stream);
  return ok == 1;
}

// The whole export path: load from memory, convert, serialise, release.
void RunExport(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  size_t outputBytes = 0;
  for (auto _ : state) {
    FileStruct song;
    if (!Load(bytes, &song)) {
      state.SkipWithError("song did not load");
      return;
    }
    MidiFileStruct midi;
    InitMidiFileStruct(&midi, song.trackCount + 1, 480);
    ToMidi(&song, &midi, 30);
    Byte* buffer = nullptr;
    outputBytes = CreateMidiBuffer(&midi, &buffer);
    benchmark::DoNotOptimize(buffer);
    DestroyMidiBuffer(buffer);
    FreeMidiFileStruct(&midi);
    FreeFileStruct(&song);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["song_bytes"] = static_cast<double>(bytes.size());
  state.counters["midi_bytes"] = static_cast<double>(outputBytes);
}

// The generated song of the benchmark's arguments (measures, tracks).
std::vector<uint8_t> GeneratedBytes(const benchmark::State& state) {
  return orlix_bench::GeneratedSong(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)))
      .data;
}

bool LoadGenerated(benchmark::State& state, FileStruct* song) {
  if (Load(GeneratedBytes(state), song)) return true;
  state.SkipWithError("song did not load");
  return false;
}

void BM_Load(benchmark::State& state) {
  std::vector<uint8_t> bytes = GeneratedBytes(state);
  for (auto _ : state) {
    FileStruct song;
    if (!Load(bytes, &song)) state.SkipWithError("song did not load");
    FreeFileStruct(&song);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_Convert(benchmark::State& state) {
  FileStruct song;
  if (!LoadGenerated(state, &song)) return;
  for (auto _ : state) {
    MidiFileStruct midi;
    InitMidiFileStruct(&midi, song.trackCount + 1, 480);
    ToMidi(&song, &midi, 30);
    benchmark::DoNotOptimize(midi.tracks);
    FreeMidiFileStruct(&midi);
  }
  FreeFileStruct(&song);
}

void BM_Serialise(benchmark::State& state) {
  FileStruct song;
  if (!LoadGenerated(state, &song)) return;
  MidiFileStruct midi;
  InitMidiFileStruct(&midi, song.trackCount + 1, 480);
  ToMidi(&song, &midi, 30);
  for (auto _ : state) {
    Byte* buffer = nullptr;
    benchmark::DoNotOptimize(CreateMidiBuffer(&midi, &buffer));
    DestroyMidiBuffer(buffer);
  }
  FreeMidiFileStruct(&midi);
  FreeFileStruct(&song);
}

void BM_ExportGenerated(benchmark::State& state) {
  RunExport(state, GeneratedBytes(state));
}

void BM_ExportLongRepeat(benchmark::State& state) { RunExport(state, orlix_bench::LongRepeatSong().data); }

void BM_ExportFile(benchmark::State& state, const std::string& path) {
  std::vector<uint8_t> bytes = ReadFile(path);
  if (bytes.empty()) {
    state.SkipWithError(("cannot read " + path).c_str());
    return;
  }
  RunExport(state, bytes);
}

// The handle path: open from memory, classic conversion, close.
void BM_OpenConvertClose(benchmark::State& state, const std::string& path) {
  std::vector<uint8_t> bytes = ReadFile(path);
  if (bytes.empty()) {
    state.SkipWithError(("cannot read " + path).c_str());
    return;
  }
  size_t outputBytes = 0;
  for (auto _ : state) {
    ORLIX_Song* song = ORLIX_OpenMemory(bytes.data(), bytes.size(), nullptr);
    unsigned char* buffer = nullptr;
    if (!song || !ORLIX_ToMidi(song, &kClassicPlayback, &buffer, &outputBytes, nullptr)) {
      state.SkipWithError("song did not open or convert");
      ORLIX_Close(song);
      return;
    }
    benchmark::DoNotOptimize(buffer);
    ORLIX_DestroyMidiBuffer(buffer);
    ORLIX_Close(song);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["song_bytes"] = static_cast<double>(bytes.size());
  state.counters["midi_bytes"] = static_cast<double>(outputBytes);
}

// The conversion alone of an open song into a buffer, and its release, in
// the given playback: the two playbacks side by side on the same song.
void RunConvertHandle(benchmark::State& state, const std::string& path, const ORLIX_MidiOptions& options) {
  std::vector<uint8_t> bytes = ReadFile(path);
  ORLIX_Song* song = bytes.empty() ? nullptr : ORLIX_OpenMemory(bytes.data(), bytes.size(), nullptr);
  if (!song) {
    state.SkipWithError(("cannot open " + path).c_str());
    return;
  }
  size_t outputBytes = 0;
  for (auto _ : state) {
    unsigned char* buffer = nullptr;
    if (!ORLIX_ToMidi(song, &options, &buffer, &outputBytes, nullptr)) {
      state.SkipWithError("song did not convert");
      break;
    }
    benchmark::DoNotOptimize(buffer);
    ORLIX_DestroyMidiBuffer(buffer);
  }
  ORLIX_Close(song);
  state.counters["midi_bytes"] = static_cast<double>(outputBytes);
}

void BM_ConvertClassic(benchmark::State& state, const std::string& path) {
  RunConvertHandle(state, path, kClassicPlayback);
}

void BM_ConvertFull(benchmark::State& state, const std::string& path) {
  RunConvertHandle(state, path, kFullPlayback);
}

// The load alone of a song file, from memory, and its release.
void BM_LoadFile(benchmark::State& state, const std::string& path) {
  std::vector<uint8_t> bytes = ReadFile(path);
  for (auto _ : state) {
    FileStruct song;
    if (!Load(bytes, &song)) {
      state.SkipWithError(("cannot load " + path).c_str());
      return;
    }
    FreeFileStruct(&song);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// What the song model alone costs for a song, with no parsing and no
// conversion: every cell's beat array allocated and zeroed, a note-effects
// record allocated for each note that has one, every beat read once, and
// all of it freed. An export can be no faster than this on the machine.
void BM_ModelFloor(benchmark::State& state, const std::string& path) {
  std::vector<uint8_t> bytes = ReadFile(path);
  FileStruct song;
  if (bytes.empty() || !Load(bytes, &song)) {
    state.SkipWithError(("cannot load " + path).c_str());
    return;
  }
  std::vector<uint32_t> beatCounts;
  std::vector<uint32_t> effectsCounts;
  for (uint32_t m = 0; m < song.measureCount; ++m) {
    for (uint32_t t = 0; t < song.trackCount; ++t) {
      const TrackMeasure& cell = song.measures[m][t];
      uint32_t effects = 0;
      for (uint32_t b = 0; b < cell.beatCount; ++b)
        for (const Note& note : cell.beats[b].notes) effects += note.effects != nullptr;
      beatCounts.push_back(cell.beatCount);
      effectsCounts.push_back(effects);
    }
  }
  FreeFileStruct(&song);
  std::vector<Beat*> arrays(beatCounts.size());
  std::vector<void*> records;
  static const Beat kEmptyBeat{};
  for (auto _ : state) {
    records.clear();
    for (size_t c = 0; c < beatCounts.size(); ++c) {
      arrays[c] = static_cast<Beat*>(malloc((beatCounts[c] ? beatCounts[c] : 1) * sizeof(Beat)));
      // Copied from an empty beat as the reader does: wide stores, not rep stos.
      for (uint32_t b = 0; b < beatCounts[c]; ++b) memcpy(&arrays[c][b], &kEmptyBeat, sizeof(Beat));
      for (uint32_t e = 0; e < effectsCounts[c]; ++e) records.push_back(calloc(1, sizeof(NoteEffects)));
    }
    uintptr_t seen = 0;
    for (size_t c = 0; c < beatCounts.size(); ++c)
      for (uint32_t b = 0; b < beatCounts[c]; ++b)
        for (const Note& note : arrays[c][b].notes) seen |= reinterpret_cast<uintptr_t>(note.effects);
    benchmark::DoNotOptimize(seen);
    for (Beat* beats : arrays) free(beats);
    for (void* record : records) free(record);
  }
}

void SizeArguments(benchmark::internal::Benchmark* b) {
  for (int measures : {10, 100, 1000, 10000})
    for (int tracks : {1, 8}) b->Args({measures, tracks});
  b->ArgNames({"measures", "tracks"});
}

}  // namespace

BENCHMARK(BM_Load)->Apply(SizeArguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Convert)->Apply(SizeArguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Serialise)->Apply(SizeArguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExportGenerated)->Apply(SizeArguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExportLongRepeat)->Unit(benchmark::kMillisecond)->MinTime(0.05);
BENCHMARK_CAPTURE(BM_ExportFile, demo, std::string(ORLIX_SOURCE_DIR "/examples/demo.gp4"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ExportFile, real_song,
                  std::string(ORLIX_SOURCE_DIR "/../shared/corpus/gp4/fade-to-black.gp4"))
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(BM_OpenConvertClose, real_song,
                  std::string(ORLIX_SOURCE_DIR "/../shared/corpus/gp4/fade-to-black.gp4"))
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(BM_ConvertClassic, real_song,
                  std::string(ORLIX_SOURCE_DIR "/../shared/corpus/gp4/fade-to-black.gp4"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ConvertFull, real_song,
                  std::string(ORLIX_SOURCE_DIR "/../shared/corpus/gp4/fade-to-black.gp4"))
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(BM_LoadFile, real_song,
                  std::string(ORLIX_SOURCE_DIR "/../shared/corpus/gp4/fade-to-black.gp4"))
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(BM_ModelFloor, real_song,
                  std::string(ORLIX_SOURCE_DIR "/../shared/corpus/gp4/fade-to-black.gp4"))
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
