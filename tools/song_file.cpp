// Song loading (a failed load again through a counting stream), failure
// diagnosis, and conversion.
#include "song_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "counting_stream.h"

namespace {

const char* const kAcceptedVersions[] = {"FICHIER GUITAR PRO v4.00", "FICHIER GUITAR PRO v4.06"};

// The library reports only success or failure; the counting stream tells
// how far it read, and the header tells what kind of file it was.
std::string DiagnoseFailedLoad(const CountingStream& counting) {
  if (counting.size == 0) return "file is empty";
  unsigned char header[256];
  ssize_t got = pread(counting.fd, header, sizeof header, 0);
  size_t length = got > 0 ? header[0] : 0;
  if (got > 0 && static_cast<size_t>(got) >= 1 + length) {
    bool accepted = false;
    for (const char* version : kAcceptedVersions) {
      if (length == strlen(version) && memcmp(header + 1, version, length) == 0) accepted = true;
    }
    if (!accepted) {
      return "not a version 4 song file (header \"" + PrintableBytes(header + 1, length) + "\")";
    }
  }
  if (counting.furthest >= counting.size) {
    return "file ends early at byte " + std::to_string(counting.furthest) + " of " +
           std::to_string(counting.size) + " (truncated)";
  }
  return "unreadable data near byte " + std::to_string(counting.furthest);
}

}  // namespace

std::string PrintableBytes(const unsigned char* bytes, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] >= 0x20 && bytes[i] < 0x7F && bytes[i] != '"' && bytes[i] != '\\') {
      text.push_back(static_cast<char>(bytes[i]));
    } else {
      char escape[5];
      snprintf(escape, sizeof escape, "\\x%02X", bytes[i]);
      text.append(escape);
    }
  }
  return text;
}

int LoadSongFile(const char* path, Tolvenar::FileStruct* song, std::string* message) {
  memset(song, 0, sizeof *song);
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *message = std::string("cannot open: ") + strerror(errno);
    return 0;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    *message = std::string("cannot read: ") + strerror(errno);
    close(fd);
    return 0;
  }
  if (!S_ISREG(info.st_mode)) {
    *message = S_ISDIR(info.st_mode) ? "is a directory" : "not a regular file";
    close(fd);
    return 0;
  }
  // First a plain buffered stream, which serves the reader's many small
  // reads from memory; only a failed load is repeated through the exact
  // (unbuffered, so slower) counting stream to say where it went wrong.
  int countingFd = dup(fd);
  if (countingFd >= 0) {
    if (FILE* stream = fdopen(fd, "rb")) {
      setvbuf(stream, nullptr, _IOFBF, 64 * 1024);
      int loaded = Tolvenar::LoadFileStruct(song, stream);
      fclose(stream);
      if (loaded) {
        close(countingFd);
        return 1;
      }
    } else {
      close(fd);
    }
    fd = countingFd;
  }
  CountingStream counting;
  if (!OpenCountingStream(&counting, fd, static_cast<uint64_t>(info.st_size))) {
    *message = std::string("cannot read: ") + strerror(errno);
    return 0;
  }
  errno = 0;
  int loaded = Tolvenar::LoadFileStruct(song, counting.stream);
  if (!loaded) {
    // A failed system read is reported as such, not as bad data.
    *message = ferror(counting.stream) ? std::string("read error: ") + strerror(errno)
                                       : DiagnoseFailedLoad(counting);
  }
  CloseCountingStream(&counting);
  return loaded;
}

int ConvertSong(Tolvenar::FileStruct* song, Tolvenar::Byte** buffer, uint32_t* size,
                std::string* message) {
  *buffer = nullptr;
  *size = 0;
  // A Standard MIDI File counts its chunks in 16 bits.
  if (song->trackCount >= 0xFFFF) {
    *message = "too many tracks for a MIDI file (" + std::to_string(song->trackCount) + ")";
    return 0;
  }
  Tolvenar::MidiFileStruct midi;
  if (!Tolvenar::InitMidiFileStruct(&midi, song->trackCount + 1, 480)) {
    *message = "out of memory";
    return 0;
  }
  // 0: a chunk could not be closed (out of memory), so no file is written.
  if (Tolvenar::ToMidi(song, &midi, 30)) *size = Tolvenar::CreateMidiBuffer(&midi, buffer);
  Tolvenar::FreeMidiFileStruct(&midi);
  if (!*buffer || *size == 0) {
    if (*buffer) Tolvenar::DestroyMidiBuffer(*buffer);
    *buffer = nullptr;
    *size = 0;
    *message = "out of memory";
    return 0;
  }
  return 1;
}
