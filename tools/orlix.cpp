// The orlix command: converts song files into MIDI files and shows what a
// song holds.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "orlix/tolvenar.h"
#include "output_file.h"
#include "song_file.h"
#include "song_info.h"

#ifndef ORLIX_VERSION
#define ORLIX_VERSION "unknown"
#endif

namespace {

enum ExitStatus { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

const char kUsage[] =
    "Usage: orlix convert [-o OUT.mid | -d OUTDIR] SONG.gp4...\n"
    "       orlix info [--json] SONG.gp4\n"
    "       orlix --help | --version\n";

const char kHelp[] =
    "Converts Guitar Pro 4 song files into Standard MIDI Files and shows what\n"
    "a song file holds.\n"
    "\n"
    "Commands:\n"
    "  convert SONG.gp4...   write each song as a MIDI file (format 1, 480 ticks\n"
    "                        per quarter note); by default next to the song, with\n"
    "                        the extension .mid\n"
    "    -o, --output FILE   the MIDI file to write (one song only)\n"
    "    -d, --directory DIR write the MIDI files into DIR; a bad song is\n"
    "                        reported and the others are still converted\n"
    "  info SONG.gp4         show the song's texts, tempo, key, measures, time\n"
    "                        signatures, repeats, markers and tracks\n"
    "    --json              as JSON (UTF-8; song texts are read as Windows-1252)\n"
    "\n"
    "Options:\n"
    "  -h, --help            show this help and exit\n"
    "  -V, --version         show the version and exit\n"
    "\n"
    "Exit status: 0 when everything worked, 1 when a file could not be read,\n"
    "converted or written, 2 for a wrong command line.\n";

int UsageError(const std::string& message) {
  fprintf(stderr, "orlix: %s\n%s", message.c_str(), kUsage);
  fputs("Try 'orlix --help' for more information.\n", stderr);
  return kExitUsage;
}

void Report(const std::string& file, const std::string& message) {
  fprintf(stderr, "orlix: %s: %s\n", file.c_str(), message.c_str());
}

// Everything on stdout must have reached it.
int FinishStdout(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "orlix: standard output: %s\n", strerror(errno));
    return kExitFailure;
  }
  return status;
}

bool IsHelp(const char* arg) { return !strcmp(arg, "-h") || !strcmp(arg, "--help"); }
bool IsVersion(const char* arg) { return !strcmp(arg, "-V") || !strcmp(arg, "--version"); }

// Takes the value of an option given as "-o VALUE", "-oVALUE", "--output
// VALUE" or "--output=VALUE". Returns 1 when args[*i] is that option.
int OptionValue(int count, char** args, int* i, const char* shortName, const char* longName,
                const char** value, std::string* error) {
  const char* arg = args[*i];
  size_t longLength = strlen(longName);
  if (!strcmp(arg, shortName) || !strcmp(arg, longName)) {
    if (*i + 1 >= count) {
      *error = std::string("option ") + arg + " needs a value";
      return 1;
    }
    *value = args[++*i];
    return 1;
  }
  if (!strncmp(arg, shortName, 2) && arg[2] != '\0' && arg[1] != '-') {
    *value = arg + 2;
    return 1;
  }
  if (!strncmp(arg, longName, longLength) && arg[longLength] == '=') {
    *value = arg + longLength + 1;
    return 1;
  }
  return 0;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// song.gp4 -> song.mid; a name without an extension gets .mid added.
std::string WithMidiExtension(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) return path + ".mid";
  return path.substr(0, dot) + ".mid";
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Converts one song; reports its failure and returns 0, or returns 1.
// written holds the outputs of this run: two songs of one name in a batch
// must not silently replace each other.
int ConvertOne(const std::string& input, const std::string& target,
               std::set<std::string>* written) {
  if (SameFile(input, target)) {
    Report(target, "is the input file; refusing to write over it");
    return 0;
  }
  Tolvenar::FileStruct song;
  std::string message;
  if (!LoadSongFile(input.c_str(), &song, &message)) {
    Report(input, message);
    return 0;
  }
  Tolvenar::Byte* buffer = nullptr;
  uint32_t size = 0;
  int converted = ConvertSong(&song, &buffer, &size, &message);
  Tolvenar::FreeFileStruct(&song);
  if (!converted) {
    Report(input, message);
    return 0;
  }
  if (written->count(target)) {
    Tolvenar::DestroyMidiBuffer(buffer);
    Report(input, "its output " + target + " was already written in this run; skipped");
    return 0;
  }
  int saved = WriteFileAtomically(target, buffer, size, &message);
  Tolvenar::DestroyMidiBuffer(buffer);
  if (!saved) {
    Report(target, message);
    return 0;
  }
  written->insert(target);
  return 1;
}

int Convert(int count, char** args) {
  const char* output = nullptr;
  const char* directory = nullptr;
  std::vector<std::string> inputs;
  bool options = true;
  for (int i = 0; i < count; ++i) {
    const char* arg = args[i];
    std::string error;
    if (options && arg[0] == '-' && arg[1] != '\0') {
      if (!strcmp(arg, "--")) {
        options = false;
      } else if (OptionValue(count, args, &i, "-o", "--output", &output, &error) ||
                 OptionValue(count, args, &i, "-d", "--directory", &directory, &error)) {
        if (!error.empty()) return UsageError(error);
      } else {
        return UsageError(std::string("unknown option ") + arg);
      }
      continue;
    }
    inputs.push_back(arg);
  }
  if (inputs.empty()) return UsageError("convert needs a song file");
  if (output && directory) return UsageError("-o and -d cannot be used together");
  if (output && inputs.size() > 1) return UsageError("-o takes one song; use -d for several");
  if (output && !*output) return UsageError("-o needs a file name");
  if (directory) {
    struct stat info;
    if (stat(directory, &info) != 0) {
      Report(directory, strerror(errno));
      return kExitFailure;
    }
    if (!S_ISDIR(info.st_mode)) {
      Report(directory, "not a directory");
      return kExitFailure;
    }
  }

  unsigned converted = 0, failed = 0;
  std::set<std::string> targets;
  for (const std::string& input : inputs) {
    std::string target = output      ? std::string(output)
                         : directory ? std::string(directory) + "/" + WithMidiExtension(BaseName(input))
                                     : WithMidiExtension(input);
    if (ConvertOne(input, target, &targets)) {
      ++converted;
    } else {
      ++failed;
    }
  }
  if (inputs.size() > 1 || directory) {
    printf("orlix: %u converted, %u failed\n", converted, failed);
  }
  return FinishStdout(failed ? kExitFailure : kExitOk);
}

int Info(int count, char** args) {
  bool json = false;
  std::vector<std::string> inputs;
  bool options = true;
  for (int i = 0; i < count; ++i) {
    const char* arg = args[i];
    if (options && arg[0] == '-' && arg[1] != '\0') {
      if (!strcmp(arg, "--")) {
        options = false;
      } else if (!strcmp(arg, "--json")) {
        json = true;
      } else {
        return UsageError(std::string("unknown option ") + arg);
      }
      continue;
    }
    inputs.push_back(arg);
  }
  if (inputs.size() != 1) return UsageError("info takes exactly one song file");
  Tolvenar::FileStruct song;
  std::string message;
  if (!LoadSongFile(inputs[0].c_str(), &song, &message)) {
    Report(inputs[0], message);
    return kExitFailure;
  }
  std::string text = json ? SongInfoJson(song) : SongInfoText(song);
  Tolvenar::FreeFileStruct(&song);
  fwrite(text.data(), 1, text.size(), stdout);
  return FinishStdout(kExitOk);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("no command given");
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--")) break;
    if (IsHelp(argv[i])) {
      fputs(kUsage, stdout);
      fputs("\n", stdout);
      fputs(kHelp, stdout);
      return FinishStdout(kExitOk);
    }
    if (IsVersion(argv[i])) {
      printf("orlix %s\n", ORLIX_VERSION);
      return FinishStdout(kExitOk);
    }
  }
  if (!strcmp(argv[1], "convert")) return Convert(argc - 2, argv + 2);
  if (!strcmp(argv[1], "info")) return Info(argc - 2, argv + 2);
  return UsageError(std::string("unknown command '") + argv[1] + "'");
}
