#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "file_replace.h"

namespace cam {

namespace {

// As many links in a row as the kernel follows before it gives up with ELOOP.
constexpr int kMostLinks = 40;

// The folder a path names its file in, as open() takes it.
std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// What the symbolic link at `path` holds; false when it is no link.
bool read_link(const std::string& path, std::string& contents) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = readlink(path.c_str(), &buffer[0], buffer.size());
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) < buffer.size()) {
      contents.assign(buffer, 0, static_cast<std::size_t>(length));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// The file a name stands for. A symbolic link (also a link to a link, relative or
// absolute) is followed, so the picture goes where the link points and the link stays
// a link; a dangling link's target is created. False for a loop of links.
bool resolve_links(const std::string& path, std::string& target) {
  target = path;
  for (int links = 0; links < kMostLinks; ++links) {
    std::string contents;
    if (!read_link(target, contents)) return true;
    // A relative link is relative to the folder it sits in.
    target = contents[0] == '/' ? contents : folder_of(target) + "/" + contents;
  }
  errno = ELOOP;
  return false;
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
void keep_permissions_of(const std::string& target, int fd) {
  struct stat existing;
  if (stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    fchmod(fd, existing.st_mode & 07777);
  }
}

// The bytes on disk in `fd`, with the permissions of the file they replace.
bool fill(int fd, const std::string& target, const unsigned char* data, std::size_t size) {
  keep_permissions_of(target, fd);
  return write_all(fd, data, size) && fsync(fd) == 0;
}

// A name beside the target that no other run uses: the process id and an attempt number,
// so a temporary left by a killed run is never reused or trusted.
std::string temporary_name(const std::string& target, int attempt) {
  return target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
}

// Gives the unnamed file `fd` a temporary name beside the target; "" when it cannot.
std::string name_unnamed(int fd, const std::string& target) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = temporary_name(target, attempt);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return name;
    if (errno != EEXIST) break;
  }
  return "";
}

// Writes the bytes to an unnamed file in the target's folder, which a run killed while
// writing cannot leave behind, and names it only once whole. Returns the name, or ""
// where that cannot be done: the file system makes no unnamed files, or there is no /proc
// to name one through (a chroot, some containers).
std::string write_unnamed(const std::string& target, const unsigned char* data, std::size_t size) {
  const int fd = open(folder_of(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return "";
  std::string name;
  if (fill(fd, target, data, size)) name = name_unnamed(fd, target);
  if (close(fd) != 0 && !name.empty()) {
    unlink(name.c_str());
    name.clear();
  }
  return name;
}

// Writes the bytes to a named temporary file beside the target. Returns its name, or ""
// when it could not be written (and then none is left).
std::string write_named(const std::string& target, const unsigned char* data, std::size_t size) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = temporary_name(target, attempt);
    // 0666 lets the umask decide, as it would for a file opened the ordinary way.
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return "";
    const bool filled = fill(fd, target, data, size);
    if (close(fd) == 0 && filled) return name;
    unlink(name.c_str());
    return "";
  }
  return "";
}

}  // namespace

bool replace_file(const std::filesystem::path& path, const unsigned char* data, std::size_t size) {
  std::string target;
  if (!resolve_links(path.native(), target)) return false;
  std::string temporary = write_unnamed(target, data, size);
  if (temporary.empty()) temporary = write_named(target, data, size);
  if (temporary.empty()) return false;
  if (rename(temporary.c_str(), target.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

}  // namespace cam
