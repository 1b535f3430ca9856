// Runs the fuzz target over files and folders named on the command line, so
// a GCC build replays the seeds and every past finding as a test.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static bool ReplayFile(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    perror(path.c_str());
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(f);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

int main(int argc, char** argv) {
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat info;
    if (stat(argv[i], &info) != 0) {
      perror(argv[i]);
      return 1;
    }
    if (S_ISDIR(info.st_mode)) {
      DIR* dir = opendir(argv[i]);
      if (!dir) return 1;
      while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        if (!ReplayFile(std::string(argv[i]) + "/" + entry->d_name)) return 1;
        ++files;
      }
      closedir(dir);
    } else {
      if (!ReplayFile(argv[i])) return 1;
      ++files;
    }
  }
  printf("replayed %d inputs\n", files);
  return 0;
}
