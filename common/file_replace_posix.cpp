#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "file_replace.h"

namespace cam {

namespace {

// The folder a path names its file in, as open() takes it.
std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// An unnamed file in the target's folder: a run killed while writing it leaves nothing
// behind. -1 where the file system cannot make one; the named temporary is used then.
int create_unnamed(const std::string& target) {
  return open(folder_of(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// Gives an unnamed file a temporary name beside the target, for the rename.
bool name_unnamed(int fd, const std::string& target, std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return true;
    }
    if (errno != EEXIST) break;
  }
  name.clear();
  return false;
}

// Creates a temporary file of our own beside the target. The name carries the process id
// and an attempt number, so a temporary left by a killed run is never reused or trusted.
int create_temporary(const std::string& target, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    // 0666 lets the umask decide, as it would for a file opened the ordinary way.
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool write_all(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Replacing a file should not change who may read it.
void keep_permissions_of(const char* target, int fd) {
  struct stat existing;
  if (stat(target, &existing) == 0 && S_ISREG(existing.st_mode)) {
    fchmod(fd, existing.st_mode & 07777);
  }
}

}  // namespace

bool replace_file(const char* path, const unsigned char* data, std::size_t size) {
  std::string temporary;
  int fd = create_unnamed(path);
  const bool unnamed = fd >= 0;
  if (!unnamed) fd = create_temporary(path, temporary);
  if (fd < 0) return false;
  keep_permissions_of(path, fd);
  bool ok = write_all(fd, data, size) && fsync(fd) == 0;
  // Named only once whole, so that even a name left by a kill holds a complete image.
  if (ok && unnamed) ok = name_unnamed(fd, path, temporary);
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path) == 0;
  if (!ok && !temporary.empty()) unlink(temporary.c_str());
  return ok;
}

}  // namespace cam
