#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "file_replace.h"

namespace cam {

namespace {

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
  const int fd = create_temporary(path, temporary);
  if (fd < 0) return false;
  keep_permissions_of(path, fd);
  bool ok = write_all(fd, data, size) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace cam
