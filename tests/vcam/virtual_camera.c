/* A virtual camera for the end-to-end tests, loaded with LD_PRELOAD into an unmodified
 * program. It stands in for /dev/video0 to /dev/video<N-1> at the kernel interface that
 * OpenCV's V4L2 backend uses (open, the capture ioctls, mmap, select, poll, close) and
 * passes every other path and descriptor through untouched. Any other /dev/video<k> is
 * absent, so a camera on the machine cannot leak into a test.
 *
 * Set by the environment:
 *   VCAM_COUNT=N        cameras 0 to N-1 (default none)
 *   VCAM_FAIL=2,5       cameras whose open fails, as if missing
 *   VCAM_BUSY=0,..      cameras whose open fails with EBUSY, as when another program
 *                       has them
 *   VCAM_FRAMES=1:5,..  camera 1 delivers 5 frames per open, then behaves as unplugged
 *   VCAM_SILENT=0,..    cameras that open but never deliver a frame (OpenCV waits
 *                       OPENCV_VIDEOIO_V4L_SELECT_TIMEOUT seconds for one)
 *   VCAM_LOG=file       lines "<camera>.<open> open|size WxH|stream on|frame F|close",
 *                       and "<camera> open failed" or "<camera> busy"
 * Frames are BGR24, marked as frame_code.h says. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <unistd.h>

#include "frame_code.h"

#define MAX_FDS 4096
#define MAX_BUFFERS 8
#define MAX_CAMERAS 64

struct buffer {
  unsigned char* start;
  size_t length;
  int queued;
  int done;
};

struct device {
  pid_t owner; /* a forked child inherits the table but not the camera */
  int camera;
  int open_number;
  unsigned width, height;
  int streaming;
  unsigned delivered;
  unsigned buffer_count;
  struct buffer buffers[MAX_BUFFERS];
};

static struct device* devices[MAX_FDS];
static int opens_of[MAX_CAMERAS];
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;

/* ---- the environment ---- */

static int env_int(const char* name, int fallback) {
  const char* value = getenv(name);
  return value && *value ? atoi(value) : fallback;
}

/* Whether `camera` is in a list like "2,5". */
static int listed(const char* name, int camera) {
  const char* list = getenv(name);
  for (const char* p = list; p && *p;) {
    if (atoi(p) == camera) return 1;
    p = strchr(p, ',');
    if (p) ++p;
  }
  return 0;
}

/* K from "camera:K,...", or -1 when the camera delivers without end. */
static long frame_limit(int camera) {
  const char* list = getenv("VCAM_FRAMES");
  for (const char* p = list; p && *p;) {
    const char* colon = strchr(p, ':');
    if (!colon) break;
    if (atoi(p) == camera) return atol(colon + 1);
    p = strchr(colon, ',');
    if (p) ++p;
  }
  return -1;
}

/* ---- the log ---- */

static int (*real_open)(const char*, int, ...);
static int (*real_close)(int);
static int (*real_ioctl)(int, unsigned long, ...);
static void* (*real_mmap)(void*, size_t, int, int, int, off_t);
static int (*real_munmap)(void*, size_t);
static int (*real_select)(int, fd_set*, fd_set*, fd_set*, struct timeval*);
static int (*real_poll)(struct pollfd*, nfds_t, int);

static void find_real_functions(void) {
  if (real_open) return;
  real_close = (int (*)(int))dlsym(RTLD_NEXT, "close");
  real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
  real_mmap = (void* (*)(void*, size_t, int, int, int, off_t))dlsym(RTLD_NEXT, "mmap");
  real_munmap = (int (*)(void*, size_t))dlsym(RTLD_NEXT, "munmap");
  real_select =
      (int (*)(int, fd_set*, fd_set*, fd_set*, struct timeval*))dlsym(RTLD_NEXT, "select");
  real_poll = (int (*)(struct pollfd*, nfds_t, int))dlsym(RTLD_NEXT, "poll");
  real_open = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
}

static void note(const char* format, ...) {
  const char* path = getenv("VCAM_LOG");
  if (!path) return;
  char line[256];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line - 1, format, args);
  va_end(args);
  if (n < 0) return;
  if (n > (int)sizeof line - 2) n = (int)sizeof line - 2;
  line[n++] = '\n';
  int fd = real_open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  (void)!write(fd, line, (size_t)n); /* one write per line: lines of processes never mix */
  real_close(fd);
}

/* ---- frames ---- */

static void paint(const struct device* d, unsigned char* pixels) {
  unsigned frame = d->delivered;
  for (unsigned y = 0; y < d->height; ++y) {
    unsigned char* row = pixels + (size_t)y * d->width * 3;
    for (unsigned x = 0; x < d->width; ++x) {
      int cell = vcam_cell_at((int)x, (int)y, (int)d->width, (int)d->height);
      unsigned char v = vcam_cell_is_light((unsigned)d->camera, frame, cell) ? VCAM_LIGHT : VCAM_DARK;
      row[3 * x] = v;
      row[3 * x + 1] = v;
      row[3 * x + 2] = v;
    }
  }
}

static size_t frame_bytes(const struct device* d) { return (size_t)d->width * d->height * 3; }

/* Buffers are spaced a page-rounded frame apart, as mmap offsets must be page-aligned. */
static size_t buffer_stride(const struct device* d) {
  size_t page = (size_t)sysconf(_SC_PAGESIZE);
  return (frame_bytes(d) + page - 1) / page * page;
}

/* ---- the device ---- */

static int camera_of_path(const char* path) {
  if (!path || strncmp(path, "/dev/video", 10) != 0) return -1;
  const char* digits = path + 10;
  if (*digits < '0' || *digits > '9') return -1;
  char* end;
  long n = strtol(digits, &end, 10);
  return *end == 0 && n < MAX_CAMERAS ? (int)n : -1;
}

static int open_device(int camera) {
  if (camera >= env_int("VCAM_COUNT", 0) || listed("VCAM_FAIL", camera)) {
    note("%d open failed", camera);
    errno = ENOENT;
    return -1;
  }
  if (listed("VCAM_BUSY", camera)) {
    note("%d busy", camera);
    errno = EBUSY;
    return -1;
  }
  /* An eventfd that is never signalled: select and poll on it wait, as on a camera that
   * has no frame ready. */
  int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return -1;
  if (fd >= MAX_FDS) {
    real_close(fd);
    errno = EMFILE;
    return -1;
  }
  struct device* d = calloc(1, sizeof *d);
  if (!d) {
    real_close(fd);
    errno = ENOMEM;
    return -1;
  }
  d->owner = getpid();
  d->camera = camera;
  d->width = 640;
  d->height = 480;
  pthread_mutex_lock(&lock);
  d->open_number = ++opens_of[camera];
  devices[fd] = d;
  pthread_mutex_unlock(&lock);
  note("%d.%d open", camera, d->open_number);
  return fd;
}

static struct device* device_of(int fd) {
  struct device* d = fd >= 0 && fd < MAX_FDS ? devices[fd] : NULL;
  return d && d->owner == getpid() ? d : NULL;
}

static void free_buffers(struct device* d) {
  for (unsigned i = 0; i < d->buffer_count; ++i) d->buffers[i].queued = d->buffers[i].done = 0;
  d->buffer_count = 0;
}

static int fail(int error) {
  errno = error;
  return -1;
}

static void set_format(struct device* d, struct v4l2_format* f) {
  unsigned w = f->fmt.pix.width, h = f->fmt.pix.height;
  if (w < 32) w = 32;
  if (h < 16) h = 16;
  if (w > 1920) w = 1920;
  if (h > 1080) h = 1080;
  d->width = w & ~1u;
  d->height = h & ~1u;
  note("%d.%d size %ux%u", d->camera, d->open_number, d->width, d->height);
}

static void describe_format(const struct device* d, struct v4l2_format* f) {
  memset(&f->fmt.pix, 0, sizeof f->fmt.pix);
  f->fmt.pix.width = d->width;
  f->fmt.pix.height = d->height;
  f->fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
  f->fmt.pix.field = V4L2_FIELD_NONE;
  f->fmt.pix.bytesperline = d->width * 3;
  f->fmt.pix.sizeimage = (unsigned)frame_bytes(d);
  f->fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
}

static int dequeue(struct device* d, struct v4l2_buffer* b) {
  if (!d->streaming) return fail(EINVAL);
  if (listed("VCAM_SILENT", d->camera)) return fail(EAGAIN);
  long limit = frame_limit(d->camera);
  if (limit >= 0 && d->delivered >= (unsigned long)limit) return fail(ENODEV); /* unplugged */
  for (unsigned i = 0; i < d->buffer_count; ++i) {
    struct buffer* buf = &d->buffers[i];
    if (!buf->queued || !buf->start) continue;
    ++d->delivered;
    paint(d, buf->start);
    buf->queued = 0;
    memset(b, 0, sizeof *b);
    b->index = i;
    b->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b->memory = V4L2_MEMORY_MMAP;
    b->bytesused = (unsigned)frame_bytes(d);
    b->length = (unsigned)buffer_stride(d);
    b->m.offset = (unsigned)(i * buffer_stride(d));
    b->flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_DONE;
    b->sequence = d->delivered;
    note("%d.%d frame %u", d->camera, d->open_number, d->delivered);
    return 0;
  }
  return fail(EAGAIN); /* nothing queued to fill */
}

static int device_ioctl(struct device* d, unsigned long request, void* arg) {
  switch (request) {
    case VIDIOC_QUERYCAP: {
      struct v4l2_capability* c = arg;
      memset(c, 0, sizeof *c);
      strcpy((char*)c->driver, "vcam");
      snprintf((char*)c->card, sizeof c->card, "Virtual camera %d", d->camera);
      snprintf((char*)c->bus_info, sizeof c->bus_info, "virtual:%d", d->camera);
      c->version = 0x060000;
      c->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
      c->capabilities = c->device_caps | V4L2_CAP_DEVICE_CAPS;
      return 0;
    }
    case VIDIOC_G_INPUT:
      *(int*)arg = 0;
      return 0;
    case VIDIOC_G_FMT:
    case VIDIOC_TRY_FMT:
      describe_format(d, arg);
      return 0;
    case VIDIOC_S_FMT:
      if (d->streaming) return fail(EBUSY);
      set_format(d, arg);
      describe_format(d, arg);
      return 0;
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
      struct v4l2_streamparm* p = arg;
      memset(&p->parm, 0, sizeof p->parm);
      p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
      p->parm.capture.timeperframe.numerator = 1;
      p->parm.capture.timeperframe.denominator = 30;
      return 0;
    }
    case VIDIOC_REQBUFS: {
      struct v4l2_requestbuffers* r = arg;
      if (r->memory != V4L2_MEMORY_MMAP) return fail(EINVAL);
      if (d->streaming && r->count > 0) return fail(EBUSY);
      free_buffers(d);
      r->count = r->count > MAX_BUFFERS ? MAX_BUFFERS : r->count;
      d->buffer_count = r->count;
      return 0;
    }
    case VIDIOC_QUERYBUF: {
      struct v4l2_buffer* b = arg;
      if (b->index >= d->buffer_count) return fail(EINVAL);
      b->length = (unsigned)buffer_stride(d);
      b->m.offset = (unsigned)(b->index * buffer_stride(d));
      b->flags = d->buffers[b->index].start ? V4L2_BUF_FLAG_MAPPED : 0;
      return 0;
    }
    case VIDIOC_QBUF: {
      struct v4l2_buffer* b = arg;
      if (b->index >= d->buffer_count) return fail(EINVAL);
      d->buffers[b->index].queued = 1;
      return 0;
    }
    case VIDIOC_DQBUF:
      return dequeue(d, arg);
    case VIDIOC_STREAMON:
      if (!d->streaming) note("%d.%d stream on", d->camera, d->open_number);
      d->streaming = 1;
      return 0;
    case VIDIOC_STREAMOFF:
      d->streaming = 0;
      for (unsigned i = 0; i < d->buffer_count; ++i) d->buffers[i].queued = 0;
      return 0;
    default:
      return fail(EINVAL); /* no controls, inputs or standards */
  }
}

/* ---- the intercepted calls ---- */

static int open_any(const char* path, int flags, mode_t mode) {
  find_real_functions();
  int camera = camera_of_path(path);
  if (camera >= 0) return open_device(camera);
  return real_open(path, flags, mode);
}

#define MODE_ARGUMENT(flags, last)                                      \
  mode_t mode = 0;                                                      \
  if ((flags) & (O_CREAT | O_TMPFILE)) {                                \
    va_list args;                                                       \
    va_start(args, last);                                               \
    mode = (mode_t)va_arg(args, int);                                   \
    va_end(args);                                                       \
  }

int open(const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, flags)
  return open_any(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, flags)
  return open_any(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, flags)
  find_real_functions();
  if (camera_of_path(path) >= 0) return open_device(camera_of_path(path));
  int (*real)(int, const char*, int, ...) = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, "openat");
  return real(dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, flags)
  return openat(dir, path, flags, mode);
}

int close(int fd) {
  find_real_functions();
  struct device* d = device_of(fd);
  if (d) {
    note("%d.%d close", d->camera, d->open_number);
    pthread_mutex_lock(&lock);
    devices[fd] = NULL;
    pthread_mutex_unlock(&lock);
    for (unsigned i = 0; i < MAX_BUFFERS; ++i) {
      if (d->buffers[i].start) real_munmap(d->buffers[i].start, d->buffers[i].length);
    }
    free(d);
  }
  return real_close(fd);
}

int ioctl(int fd, unsigned long request, ...) {
  find_real_functions();
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  struct device* d = device_of(fd);
  if (d) return device_ioctl(d, request, arg);
  return real_ioctl(fd, request, arg);
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  find_real_functions();
  struct device* d = device_of(fd);
  if (!d) return real_mmap(address, length, protection, flags, fd, offset);
  size_t stride = buffer_stride(d);
  size_t index = (size_t)offset / stride;
  if ((size_t)offset % stride != 0 || index >= d->buffer_count || length > stride) {
    errno = EINVAL;
    return MAP_FAILED;
  }
  /* The caller maps read-only; the camera writes, so the pages are its own. */
  void* start = real_mmap(NULL, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (start == MAP_FAILED) return start;
  d->buffers[index].start = start;
  d->buffers[index].length = length;
  return start;
}

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  return mmap(address, length, protection, flags, fd, offset);
}

int munmap(void* address, size_t length) {
  find_real_functions();
  pthread_mutex_lock(&lock);
  for (int fd = 0; fd < MAX_FDS; ++fd) {
    struct device* d = devices[fd];
    if (!d) continue;
    for (unsigned i = 0; i < MAX_BUFFERS; ++i) {
      if (d->buffers[i].start == address) d->buffers[i].start = NULL;
    }
  }
  pthread_mutex_unlock(&lock);
  return real_munmap(address, length);
}

/* A camera with a queued buffer and frames to give is ready at once; any other waits. */
static int ready(int fd) {
  struct device* d = device_of(fd);
  if (!d || !d->streaming || listed("VCAM_SILENT", d->camera)) return 0;
  for (unsigned i = 0; i < d->buffer_count; ++i) {
    if (d->buffers[i].queued) return 1;
  }
  return 0;
}

int select(int n, fd_set* readable, fd_set* writable, fd_set* failed, struct timeval* timeout) {
  find_real_functions();
  if (readable) {
    for (int fd = 0; fd < n && fd < MAX_FDS; ++fd) {
      if (FD_ISSET(fd, readable) && ready(fd)) {
        FD_ZERO(readable);
        FD_SET(fd, readable);
        if (writable) FD_ZERO(writable);
        if (failed) FD_ZERO(failed);
        return 1;
      }
    }
  }
  return real_select(n, readable, writable, failed, timeout);
}

int poll(struct pollfd* fds, nfds_t n, int timeout) {
  find_real_functions();
  int count = 0;
  for (nfds_t i = 0; i < n; ++i) {
    fds[i].revents = ready(fds[i].fd) ? (short)(fds[i].events & (POLLIN | POLLRDNORM)) : 0;
    count += fds[i].revents != 0;
  }
  return count > 0 ? count : real_poll(fds, n, timeout);
}
