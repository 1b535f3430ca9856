// The batch: each song's output and its clashes worked out first, in input
// order; the conversions then run on a pool of threads; the results are
// reported in input order as they become available.
#include "convert_batch.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "orlix/orlix.h"
#include "output_file.h"
#include "song_input.h"

namespace {

struct Job {
  std::string input;
  std::string target;  // "-": standard output
  std::string report;  // the line for standard error, empty when it worked
  bool done = false;
};

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// song.gp4 -> song.mid; a name without an extension gets .mid added.
std::string WithMidiExtension(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) return path + ".mid";
  return path.substr(0, dot) + ".mid";
}

std::string TargetFor(const std::string& input, const ConvertSettings& settings) {
  if (!settings.output.empty()) return settings.output;
  if (!settings.directory.empty()) {
    return settings.directory + "/" + WithMidiExtension(BaseName(input));
  }
  return WithMidiExtension(input);
}

// What a path names, whatever it is called: device and inode for a file
// that exists, else the path through its resolved folder. "" when unknown.
std::string Identity(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    return "i" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  }
  char* folder = realpath(DirectoryOf(path).c_str(), nullptr);
  if (!folder) return "";
  std::string identity = "p" + std::string(folder) + "/" + BaseName(path);
  free(folder);
  return identity;
}

std::string ReportLine(const std::string& shownName, const std::string& message) {
  return "orlix: " + shownName + ": " + message + "\n";
}

// Refusals known before anything runs, so that they do not depend on which
// thread gets to a file first.
void PlanTargets(std::vector<Job>* jobs, const ConvertSettings& settings) {
  std::set<std::string> inputs, claimed;
  for (const Job& job : *jobs) {
    if (job.input == "-") continue;
    std::string identity = Identity(job.input);
    if (identity[0] == 'i') inputs.insert(identity);
  }
  for (Job& job : *jobs) {
    job.target = TargetFor(job.input, settings);
    if (job.target == "-") continue;
    std::string target = Identity(job.target);
    if (target.empty()) continue;  // the write will say why
    if (job.input != "-" && target == Identity(job.input)) {
      job.report =
          ReportLine(ShownName(job.target), "is the input file; refusing to write over it");
    } else if (inputs.count(target)) {
      job.report = ReportLine(ShownName(job.target),
                              "is an input of this run; refusing to write over it");
    } else if (!claimed.insert(target).second) {
      job.report = ReportLine(InputName(job.input),
                              "its output " + ShownName(job.target) +
                                  " is also the output of an earlier song of this run; skipped");
    }
  }
}

void Convert(Job* job, const ConvertSettings& settings) {
  std::string message;
  ORLIX_Song* song = OpenSongInput(job->input, &message);
  if (!song) {
    job->report = ReportLine(InputName(job->input), message);
    return;
  }
  ORLIX_Error error;
  unsigned char* midi = nullptr;
  size_t size = 0;
  int converted = ORLIX_ToMidi(song, &settings.midi, &midi, &size, &error);
  ORLIX_Close(song);
  if (!converted) {
    job->report = ReportLine(InputName(job->input), error.message);
    return;
  }
  if (job->target == "-") {
    if (!WriteAll(STDOUT_FILENO, midi, size)) {
      job->report = ReportLine("standard output", std::string("write failed: ") + strerror(errno));
    }
  } else if (!WriteFileAtomically(job->target, midi, size, settings.newFileMode, &message)) {
    job->report = ReportLine(ShownName(job->target), message);
  }
  ORLIX_DestroyMidiBuffer(midi);
}

}  // namespace

ConvertCounts ConvertBatch(const std::vector<std::string>& inputs,
                           const ConvertSettings& settings) {
  std::vector<Job> jobs(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) jobs[i].input = inputs[i];
  PlanTargets(&jobs, settings);

  std::mutex lock;
  std::condition_variable finished;
  std::atomic<size_t> next{0};
  auto work = [&]() {
    for (size_t i; (i = next++) < jobs.size();) {
      if (jobs[i].report.empty()) Convert(&jobs[i], settings);
      std::lock_guard<std::mutex> hold(lock);
      jobs[i].done = true;
      finished.notify_all();
    }
  };
  std::vector<std::thread> pool;
  size_t threads = settings.jobs < jobs.size() ? settings.jobs : jobs.size();
  if (threads > 1) {
    for (size_t t = 0; t < threads; ++t) pool.emplace_back(work);
  }

  ConvertCounts counts = {0, 0};
  for (Job& job : jobs) {
    if (pool.empty()) {
      if (job.report.empty()) Convert(&job, settings);
    } else {
      std::unique_lock<std::mutex> hold(lock);
      finished.wait(hold, [&job] { return job.done; });
    }
    if (job.report.empty()) {
      ++counts.converted;
    } else {
      ++counts.failed;
      fputs(job.report.c_str(), stderr);
    }
  }
  for (std::thread& thread : pool) thread.join();
  return counts;
}
