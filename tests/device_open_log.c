/* A preload library that notes every attempt to open a video device, so a test can tell
 * which cameras a real program tried. It appends each such path, one per line, to the
 * file DEVICE_OPEN_LOG names, then lets the open go ahead unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void note(const char* path) {
  const char* log = getenv("DEVICE_OPEN_LOG");
  if (log == NULL || path == NULL || strncmp(path, "/dev/video", 10) != 0) return;
  /* The log itself is opened by the real open, found past this library. */
  int (*real_open)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
  int fd = real_open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char line[4096];
  int n = snprintf(line, sizeof line, "%s\n", path);
  if (n > 0 && (size_t)n < sizeof line) (void)!write(fd, line, (size_t)n);
  close(fd);
}

static mode_t mode_of(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(args, int) : 0;
}

#define FORWARD_OPEN(name)                                                   \
  int name(const char* path, int flags, ...) {                               \
    va_list args;                                                            \
    va_start(args, flags);                                                   \
    mode_t mode = mode_of(flags, args);                                      \
    va_end(args);                                                            \
    note(path);                                                              \
    int (*real)(const char*, int, ...) =                                     \
        (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, #name);             \
    return real(path, flags, mode);                                          \
  }

#define FORWARD_OPENAT(name)                                                 \
  int name(int dir, const char* path, int flags, ...) {                      \
    va_list args;                                                            \
    va_start(args, flags);                                                   \
    mode_t mode = mode_of(flags, args);                                      \
    va_end(args);                                                            \
    note(path);                                                              \
    int (*real)(int, const char*, int, ...) =                                \
        (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, #name);        \
    return real(dir, path, flags, mode);                                     \
  }

FORWARD_OPEN(open)
FORWARD_OPEN(open64)
FORWARD_OPENAT(openat)
FORWARD_OPENAT(openat64)
