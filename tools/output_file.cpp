// Temporary file, checked writes, fsync, the old file's mode, rename into
// place.
#include "output_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "temporary_files.h"

namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Fail(std::string* message, const char* what, int fd, const std::string& temporary) {
  *message = std::string(what) + ": " + strerror(errno);
  if (fd >= 0) close(fd);
  DiscardTemporary(temporary);
  return 0;
}

// Devices, pipes and the like are written in place: renaming a temporary
// file over them would replace /dev/null or a FIFO with a regular file.
int WriteInPlace(const std::string& target, const unsigned char* data, size_t size,
                 std::string* message) {
  int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    *message = std::string("cannot open for writing: ") + strerror(errno);
    return 0;
  }
  if (!WriteAll(fd, data, size)) {
    *message = std::string("write failed: ") + strerror(errno);
    close(fd);
    return 0;
  }
  if (close(fd) != 0) {
    *message = std::string("write failed: ") + strerror(errno);
    return 0;
  }
  return 1;
}

}  // namespace

int WriteAll(int fd, const unsigned char* data, size_t size) {
  size_t written = 0;
  while (written < size) {
    ssize_t count = write(fd, data + written, size - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    written += static_cast<size_t>(count);
  }
  return 1;
}

int WriteFileAtomically(const std::string& requested, const unsigned char* data, size_t size,
                        mode_t newFileMode, std::string* message) {
  struct stat existing;
  bool replacing = stat(requested.c_str(), &existing) == 0;
  if (replacing && !S_ISREG(existing.st_mode)) {
    return WriteInPlace(requested, data, size, message);
  }
  // A symbolic link keeps pointing at the file it names: the new file
  // replaces the link's target, not the link.
  std::string target = requested;
  if (char* resolved = realpath(requested.c_str(), nullptr)) {
    target = resolved;
    free(resolved);
  }
  std::string directory = DirectoryOf(target);
  std::string temporary = directory + "/." + BaseNameOf(target) + ".XXXXXX";
  int fd = CreateTemporary(&temporary);
  if (fd < 0) {
    *message = std::string("cannot create a file in ") + directory + ": " + strerror(errno);
    return 0;
  }
  if (!WriteAll(fd, data, size)) return Fail(message, "write failed", fd, temporary);
  // mkstemp makes the file 0600. A replaced file keeps its mode, and its
  // owner where we may give it; when we may not, the file is ours.
  if (replacing && (existing.st_uid != geteuid() || existing.st_gid != getegid())) {
    int keptOwner = fchown(fd, existing.st_uid, existing.st_gid);
    (void)keptOwner;
  }
  mode_t mode = replacing ? existing.st_mode & 07777 : newFileMode;
  if (fchmod(fd, mode) != 0) return Fail(message, "cannot set the file mode", fd, temporary);
  if (fsync(fd) != 0) return Fail(message, "write failed", fd, temporary);
  if (close(fd) != 0) return Fail(message, "write failed", -1, temporary);
  if (RenameTemporary(temporary, target) != 0) {
    return Fail(message, "cannot rename the finished file into place", -1, temporary);
  }
  // Make the rename itself durable; a failure here loses nothing written.
  int directoryFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directoryFd >= 0) {
    fsync(directoryFd);
    close(directoryFd);
  }
  return 1;
}
