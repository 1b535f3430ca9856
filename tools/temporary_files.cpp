// The list of temporary files in flight and the thread that removes them
// when a signal ends the process.
#include "temporary_files.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <set>
#include <thread>
#include <unistd.h>

namespace {

// Creating, renaming and removing a listed file happen under the lock, so
// the signal thread, once it holds the lock, sees every file there is and
// no new one can appear.
std::mutex theLock;
std::set<std::string> theTemporaries;

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t TerminatingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kSignals) sigaddset(&set, signal);
  return set;
}

[[noreturn]] void WaitAndCleanUp(sigset_t set) {
  int received = SIGTERM;
  while (sigwait(&set, &received) != 0) {
  }
  theLock.lock();  // held until the end: nothing is created any more
  for (const std::string& path : theTemporaries) unlink(path.c_str());
  // Die by the signal, so the parent sees what happened.
  ::signal(received, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, received);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(received);
  _exit(128 + received);
}

}  // namespace

void RemoveTemporariesOnSignal() {
  sigset_t set = TerminatingSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(WaitAndCleanUp, set).detach();
}

int CreateTemporary(std::string* pathTemplate) {
  std::lock_guard<std::mutex> hold(theLock);
  int fd = mkostemp(&(*pathTemplate)[0], O_CLOEXEC);
  if (fd >= 0) theTemporaries.insert(*pathTemplate);
  return fd;
}

int RenameTemporary(const std::string& temporary, const std::string& target) {
  std::lock_guard<std::mutex> hold(theLock);
  int result = rename(temporary.c_str(), target.c_str());
  if (result == 0) theTemporaries.erase(temporary);
  return result;
}

void DiscardTemporary(const std::string& temporary) {
  std::lock_guard<std::mutex> hold(theLock);
  unlink(temporary.c_str());
  theTemporaries.erase(temporary);
}
