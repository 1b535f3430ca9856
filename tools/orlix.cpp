// The orlix command: converts song files into MIDI files and shows what a
// song holds.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "convert_batch.h"
#include "info_text.h"
#include "orlix/orlix.h"
#include "song_input.h"
#include "temporary_files.h"

#ifndef ORLIX_VERSION
#define ORLIX_VERSION "unknown"
#endif

namespace {

enum ExitStatus { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

const char kUsage[] =
    "Usage: orlix convert [-o OUT.mid | -d OUTDIR] [-j N] [--classic]\n"
    "                     [--max-size BYTES] SONG...\n"
    "       orlix info [--json] [--encoding NAME] [--classic] [--max-size BYTES] SONG\n"
    "       orlix --help | --version\n";

const char kHelp[] =
    "Converts Guitar Pro 3, 4 and 5 song files into Standard MIDI Files and\n"
    "shows what a song file holds. A SONG of - is read from standard input.\n"
    "\n"
    "Commands:\n"
    "  convert SONG...       write each song as a MIDI file (format 1, 480 ticks\n"
    "                        per quarter note) that plays it as the tablature\n"
    "                        sounds: ties held, dead, grace and let-ring notes,\n"
    "                        strokes, tremolo picking, trills, bends, slides,\n"
    "                        vibrato, harmonics, dynamics, alternate endings,\n"
    "                        second voices and musical directions; by default\n"
    "                        next to the song, with the extension .mid\n"
    "    -o, --output FILE   the MIDI file to write (one song only); - for\n"
    "                        standard output\n"
    "    -d, --directory DIR write the MIDI files into DIR\n"
    "    -j, --jobs N        convert N songs at a time (default: one for each\n"
    "                        online processor); the messages come in the order\n"
    "                        of the songs all the same\n"
    "    --classic           play the tablature plainly instead, as the flat\n"
    "                        interface's ORLIX_CreateMidiBuffer does\n"
    "    --max-size BYTES    refuse a song whose MIDI file would be larger\n"
    "                        (default 1G; K, M and G multiply by 1024)\n"
    "  info SONG             show the song's format, texts, tempo, key, measures,\n"
    "                        time signatures, repeats, markers and tracks, with\n"
    "                        the notes the conversion writes for each track\n"
    "    --json              as JSON (UTF-8), with the same fields\n"
    "    --encoding NAME     the character set of the song's texts, any name\n"
    "                        iconv knows (default WINDOWS-1252)\n"
    "    --classic           count the notes of the classic conversion\n"
    "    --max-size BYTES    as for convert (info converts to count the notes)\n"
    "\n"
    "Options:\n"
    "  -h, --help            show this help and exit\n"
    "  -V, --version         show the version and exit\n"
    "\n"
    "A bad song in a batch is reported and the others are still converted.\n"
    "Exit status: 0 when everything worked, 1 when a file could not be read,\n"
    "converted or written, 2 for a wrong command line.\n";

enum LongOnly { kMaxSize = 256, kJson, kEncoding, kClassic };

int UsageError(const std::string& message) {
  fprintf(stderr, "orlix: %s\n%s", message.c_str(), kUsage);
  fputs("Try 'orlix --help' for more information.\n", stderr);
  return kExitUsage;
}

void Report(const std::string& shownName, const std::string& message) {
  fprintf(stderr, "orlix: %s: %s\n", shownName.c_str(), message.c_str());
}

// Everything on stdout must have reached it.
int FinishStdout(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "orlix: standard output: %s\n", strerror(errno));
    return kExitFailure;
  }
  return status;
}

int ShowHelp() {
  fputs(kUsage, stdout);
  fputs("\n", stdout);
  fputs(kHelp, stdout);
  return FinishStdout(kExitOk);
}

int ShowVersion() {
  printf("orlix %s\n", ORLIX_VERSION);
  return FinishStdout(kExitOk);
}

// A decimal count, with units an optional K, M or G (powers of 1024); 0
// when it is not one or does not fit.
unsigned long long ParseCount(const char* text, bool units) {
  if (!isdigit(static_cast<unsigned char>(*text))) return 0;
  char* end = nullptr;
  errno = 0;
  unsigned long long value = strtoull(text, &end, 10);
  if (errno) return 0;
  int shift = 0;
  const char* unit = units && *end ? strchr("KMG", *end) : nullptr;
  if (unit && end[1] == '\0') {
    shift = 10 * static_cast<int>(unit - "KMG" + 1);
    ++end;
  }
  if (*end || value > (~0ULL >> shift)) return 0;
  return value << shift;
}

struct Arguments {
  std::string output, directory;
  unsigned jobs = 0;
  // 0: the library's default division and size limit.
  ORLIX_MidiOptions midi = {sizeof(ORLIX_MidiOptions), ORLIX_PLAYBACK_FULL, 0, 0};
  bool json = false;
  const char* encoding = nullptr;
  std::vector<std::string> inputs;
};

// Parses the options after the command name. Returns -1 to go on, or the
// exit status (help, version, a wrong command line).
int ParseArguments(int count, char** args, const char* shortOptions, const option* longOptions,
                   Arguments* arguments) {
  opterr = 0;
  for (int c; (c = getopt_long(count, args, shortOptions, longOptions, nullptr)) != -1;) {
    const char* given = args[optind - 1];
    unsigned long long number;
    switch (c) {
      case 'h':
        return ShowHelp();
      case 'V':
        return ShowVersion();
      case 'o':
      case 'd':
        if (!*optarg) {
          return UsageError(std::string("option -") + static_cast<char>(c) + " needs a name");
        }
        (c == 'o' ? arguments->output : arguments->directory) = optarg;
        break;
      case 'j':
        number = ParseCount(optarg, false);
        if (number < 1 || number > 1024) {
          return UsageError("-j takes a number of jobs from 1 to 1024");
        }
        arguments->jobs = static_cast<unsigned>(number);
        break;
      case kMaxSize:
        number = ParseCount(optarg, true);
        if (number < 1 || number > SIZE_MAX) {
          return UsageError("--max-size takes a number of bytes from 1 to " +
                            std::to_string(SIZE_MAX));
        }
        arguments->midi.maxBytes = static_cast<size_t>(number);
        break;
      case kJson:
        arguments->json = true;
        break;
      case kEncoding:
        arguments->encoding = optarg;
        break;
      case kClassic:
        arguments->midi.playback = ORLIX_PLAYBACK_CLASSIC;
        break;
      case ':':
        return UsageError("option " + ShownName(given) + " needs a value");
      default:
        return UsageError("unknown option " + ShownName(given));
    }
  }
  for (int i = optind; i < count; ++i) arguments->inputs.push_back(args[i]);
  return -1;
}

int Convert(int count, char** args) {
  static const option kOptions[] = {
      {"output", required_argument, nullptr, 'o'},
      {"directory", required_argument, nullptr, 'd'},
      {"jobs", required_argument, nullptr, 'j'},
      {"max-size", required_argument, nullptr, kMaxSize},
      {"classic", no_argument, nullptr, kClassic},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, 'V'},
      {nullptr, 0, nullptr, 0}};
  Arguments arguments;
  int status = ParseArguments(count, args, ":o:d:j:hV", kOptions, &arguments);
  if (status >= 0) return status;
  const std::vector<std::string>& inputs = arguments.inputs;
  if (inputs.empty()) return UsageError("convert needs a song file");
  if (!arguments.output.empty() && !arguments.directory.empty()) {
    return UsageError("-o and -d cannot be used together");
  }
  if (!arguments.output.empty() && inputs.size() > 1) {
    return UsageError("-o takes one song; use -d for several");
  }
  size_t fromStandardInput = 0;
  for (const std::string& input : inputs) fromStandardInput += input == "-";
  if (fromStandardInput > 1) return UsageError("standard input can be read once only");
  if (fromStandardInput && arguments.output.empty()) {
    return UsageError("a song from standard input needs -o");
  }
  if (!arguments.directory.empty()) {
    struct stat info;
    if (stat(arguments.directory.c_str(), &info) != 0) {
      Report(ShownName(arguments.directory), strerror(errno));
      return kExitFailure;
    }
    if (!S_ISDIR(info.st_mode)) {
      Report(ShownName(arguments.directory), "not a directory");
      return kExitFailure;
    }
  }

  ConvertSettings settings;
  settings.output = arguments.output;
  settings.directory = arguments.directory;
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  settings.jobs = arguments.jobs         ? arguments.jobs
                  : processors > 0 ? static_cast<unsigned>(processors)
                                   : 1;
  settings.midi = arguments.midi;
  // Read once here: umask cannot be read without setting it, which other
  // threads creating files must not see.
  mode_t mask = umask(0);
  umask(mask);
  settings.newFileMode = 0666 & ~mask;

  RemoveTemporariesOnSignal();
  ConvertCounts counts = ConvertBatch(inputs, settings);
  if (inputs.size() > 1 || !arguments.directory.empty()) {
    printf("orlix: %u converted, %u failed\n", counts.converted, counts.failed);
  }
  return FinishStdout(counts.failed ? kExitFailure : kExitOk);
}

int Info(int count, char** args) {
  static const option kOptions[] = {{"json", no_argument, nullptr, kJson},
                                    {"encoding", required_argument, nullptr, kEncoding},
                                    {"max-size", required_argument, nullptr, kMaxSize},
                                    {"classic", no_argument, nullptr, kClassic},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  Arguments arguments;
  int status = ParseArguments(count, args, ":hV", kOptions, &arguments);
  if (status >= 0) return status;
  if (arguments.inputs.size() != 1) return UsageError("info takes exactly one song file");
  const std::string& input = arguments.inputs[0];

  std::string message;
  ORLIX_Song* song = OpenSongInput(input, &message);
  if (!song) {
    Report(InputName(input), message);
    return kExitFailure;
  }
  ORLIX_Error error;
  char* description = nullptr;
  size_t size = 0;
  int described =
      ORLIX_DescribeSong(song, &arguments.midi, arguments.encoding, &description, &size, &error);
  ORLIX_Close(song);
  if (!described) {
    // The only argument the library can refuse here is the encoding.
    if (error.kind == ORLIX_ERROR_ARGUMENT) return UsageError(error.message);
    Report(InputName(input), error.message);
    return kExitFailure;
  }
  std::string text;
  if (arguments.json) {
    fwrite(description, 1, size, stdout);
  } else if (DescriptionAsText(description, size, &text)) {
    fwrite(text.data(), 1, text.size(), stdout);
  } else {
    ORLIX_DestroyDescription(description);
    Report(InputName(input), "the library's description is not JSON");
    return kExitFailure;
  }
  ORLIX_DestroyDescription(description);
  return FinishStdout(kExitOk);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("no command given");
  const std::string command = argv[1];
  if (command == "-h" || command == "--help") return ShowHelp();
  if (command == "-V" || command == "--version") return ShowVersion();
  // getopt_long takes the command's name for the program's.
  if (command == "convert") return Convert(argc - 1, argv + 1);
  if (command == "info") return Info(argc - 1, argv + 1);
  return UsageError("unknown command '" + ShownName(command) + "'");
}
