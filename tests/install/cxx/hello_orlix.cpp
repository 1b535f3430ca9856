// Built against an installed liborlix with find_package(orlix): loads a song
// through the namespaced interface and converts it.
#include <orlix/tolvenar.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  FILE* stream = std::fopen(argv[1], "rb");
  if (!stream) return 1;
  Tolvenar::FileStruct song;
  int loaded = Tolvenar::LoadFileStruct(&song, stream);
  std::fclose(stream);
  if (!loaded) return 1;
  Tolvenar::MidiFileStruct midi;
  Tolvenar::InitMidiFileStruct(&midi, song.trackCount + 1, 480);
  Tolvenar::ToMidi(&song, &midi, 30);
  Tolvenar::Byte* buffer = nullptr;
  std::uint32_t size = Tolvenar::CreateMidiBuffer(&midi, &buffer);
  std::printf("%u measures, %u bytes of MIDI\n", song.measureCount, size);
  Tolvenar::DestroyMidiBuffer(buffer);
  Tolvenar::FreeMidiFileStruct(&midi);
  Tolvenar::FreeFileStruct(&song);
  return size ? 0 : 1;
}
