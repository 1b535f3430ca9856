// The flat MIDI export: the loaded song as a Standard MIDI File in memory.
#include <climits>
#include <cstdint>

#include "orlix/orlix.h"

namespace {

constexpr uint32_t kDivision = 480;   // ticks per quarter note
constexpr uint32_t kResolution = 30;  // ticks per sixty-fourth: 480 / 16
// The file header counts its chunks in 16 bits, the conductor included.
constexpr uint32_t kMaxSongTracks = 65534;

}  // namespace

extern "C" int ORLIX_CreateMidiBuffer(unsigned char** buffer, int* size) {
  Tolvenar::FileStruct* song = theFileStruct;
  if (song == nullptr || song->trackCount > kMaxSongTracks) return 0;
  Tolvenar::MidiFileStruct file;
  if (!Tolvenar::InitMidiFileStruct(&file, song->trackCount + 1, kDivision)) return 0;
  int closed = Tolvenar::ToMidi(song, &file, kResolution);
  Tolvenar::Byte* bytes = nullptr;
  // A chunk left without its end of track would make an invalid file: no
  // buffer then, as when the buffer itself cannot be allocated.
  uint32_t length = closed ? Tolvenar::CreateMidiBuffer(&file, &bytes) : 0;
  Tolvenar::FreeMidiFileStruct(&file);
  // The size is reported as an int: a larger file cannot be handed over.
  if (length > static_cast<uint32_t>(INT_MAX)) {
    Tolvenar::DestroyMidiBuffer(bytes);
    return 0;
  }
  *buffer = bytes;
  *size = static_cast<int>(length);
  return 1;
}

extern "C" void ORLIX_DestroyMidiBuffer(unsigned char* buffer) { Tolvenar::DestroyMidiBuffer(buffer); }
