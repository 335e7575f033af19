/* A virtual camera for the end-to-end tests, loaded with LD_PRELOAD into an unmodified
 * program. It stands in for /dev/video0 to /dev/video<N-1> at the kernel interface that
 * OpenCV's V4L2 backend uses (open, the capture ioctls, mmap, select, poll, close) and
 * passes every other path and descriptor through untouched. Any other /dev/video<k> is
 * absent, so a camera on the machine cannot leak into a test.
 *
 * Wine's DirectShow capture reaches it too, from Wine's Unix side: it lists the cameras
 * with stat() (a camera is a character device), opens and asks each, and reads whole
 * frames with read(). The same source is built for 64-bit and 32-bit processes; with
 * $LIB in LD_PRELOAD each process loads its own width.
 *
 * Set by the environment, or by a vcam.env file in the working folder (below):
 *   VCAM_COUNT=N        nodes /dev/video0 to /dev/video<N-1>, each a camera (default none)
 *   VCAM_ABSENT=1,..    node numbers left out, as the kernel leaves a gap where a
 *                       camera was unplugged
 *   VCAM_META=1,3       nodes that carry only metadata, as the second node of every
 *                       UVC webcam: the device can capture video, the node cannot, and
 *                       every video-capture request on it fails with EINVAL
 *   VCAM_FAIL=2,5       nodes that exist but cannot be opened (no permission)
 *   VCAM_BUSY=0,..      cameras another program has: open fails with EBUSY; under
 *                       Wine, as a Windows camera, it stays listed and fails to start
 *   VCAM_FRAMES=1:5,..  camera 1 delivers 5 frames per open, then behaves as unplugged
 *                       (each request for a frame then logs "<camera>.<open> gone")
 *   VCAM_SILENT=0,..    cameras that open but never deliver a frame (OpenCV waits
 *                       OPENCV_VIDEOIO_V4L_SELECT_TIMEOUT seconds for one)
 *   VCAM_SIZES=640x480,.. the only frame sizes the cameras give, the first the size each
 *                       open starts at; any other size asked for gets the nearest of
 *                       them, as a webcam's driver answers. Unset: any size from 32x16 to
 *                       1920x1080, starting at 640x480
 *   VCAM_START_MS=300   each open's first frame size takes this long to set, as a real
 *                       camera takes time to start (a DirectShow set-up sets it once)
 *   VCAM_LOG=file       lines "<camera>.<open> open|set up|size WxH|stream on|frame F|close"
 *                       ("set up" before an open's first size: the camera starts, as a
 *                       DirectShow graph is built), "<camera> open failed" or
 *                       "<camera> busy", "<camera> looked up"
 *                       for an open that only asked what the node is (QUERYCAP), and
 *                       "<camera>.<open> refused <request>" for a video-capture request
 *                       made of a metadata node
 *   VCAM_HOLD_EXIT=file a program that looked for a camera waits at its exit, before its
 *                       streams are flushed, until `file` exists (10 s at most): a test
 *                       sees only what the program wrote out by itself
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
#include <time.h>
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
  int open_number; /* 0 while the open has only asked what the node is */
  int metadata; /* a metadata node: it answers QUERYCAP and refuses video capture */
  unsigned width, height;
  int streaming;
  int started; /* its first frame size has been set */
  unsigned delivered;
  unsigned buffer_count;
  struct buffer buffers[MAX_BUFFERS];
  unsigned char* read_frame; /* what read() paints into, at the current size */
  struct timespec next_read; /* read() paces frames at the camera's rate */
  time_t silent_until;       /* when a silent camera gives up under read() */
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

/* ---- frame sizes ---- */

/* The sizes the cameras list to a program that asks (Wine offers exactly these), the
 * size an open starts at first. VCAM_SIZES, when set, is also all they can give. */
static const unsigned usual_sizes[][2] = {{640, 480}, {320, 240}, {160, 120},
                                          {800, 600}, {1280, 720}, {1920, 1080}};
#define MAX_SIZES 16

/* Reads VCAM_SIZES into `sizes`; the number read, 0 when it is unset or holds none. */
static unsigned only_sizes(unsigned sizes[MAX_SIZES][2]) {
  unsigned count = 0;
  for (const char* p = getenv("VCAM_SIZES"); p && *p && count < MAX_SIZES;) {
    unsigned w, h;
    if (sscanf(p, "%ux%u", &w, &h) == 2 && w > 0 && h > 0) {
      sizes[count][0] = w;
      sizes[count][1] = h;
      ++count;
    }
    p = strchr(p, ',');
    if (p) ++p;
  }
  return count;
}

/* The listed size number `index`; 0 past the end of the list. */
static int listed_size(unsigned index, unsigned* width, unsigned* height) {
  unsigned sizes[MAX_SIZES][2];
  const unsigned count = only_sizes(sizes);
  if (count == 0 && index < sizeof usual_sizes / sizeof usual_sizes[0]) {
    *width = usual_sizes[index][0];
    *height = usual_sizes[index][1];
    return 1;
  }
  if (index >= count) return 0;
  *width = sizes[index][0];
  *height = sizes[index][1];
  return 1;
}

static void start_size(unsigned* width, unsigned* height) { listed_size(0, width, height); }

static unsigned distance(unsigned a, unsigned b) { return a > b ? a - b : b - a; }

/* The size the camera gives for the size asked for. */
static void fit_size(const struct v4l2_format* f, unsigned* width, unsigned* height) {
  unsigned w = f->fmt.pix.width, h = f->fmt.pix.height;
  unsigned sizes[MAX_SIZES][2];
  const unsigned count = only_sizes(sizes);
  if (count > 0) {
    unsigned best = 0;
    for (unsigned i = 1; i < count; ++i)
      if (distance(sizes[i][0], w) + distance(sizes[i][1], h) <
          distance(sizes[best][0], w) + distance(sizes[best][1], h))
        best = i;
    *width = sizes[best][0];
    *height = sizes[best][1];
    return;
  }
  if (w < 32) w = 32;
  if (h < 16) h = 16;
  if (w > 1920) w = 1920;
  if (h > 1080) h = 1080;
  *width = w & ~1u;
  *height = h & ~1u;
}

/* ---- the device ---- */

/* Wine's programs (wine, wine64, their preloaders) see the camera as Windows would. */
static int in_wine(void) {
  static int answer = -1;
  if (answer < 0) {
    char path[256];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    path[n > 0 ? n : 0] = 0;
    const char* name = strrchr(path, '/');
    answer = strncmp(name ? name + 1 : path, "wine", 4) == 0;
  }
  return answer;
}

/* A program under Wine gets the Unix environment of the Wine process that started it,
 * not the Windows environment its parent gave it. So the settings can also come from a
 * file "vcam.env" (NAME=value lines) in the program's working folder, which a parent can
 * choose for each program it starts, on Linux as under Wine; the file's win over the
 * environment's. */
__attribute__((constructor)) static void settings_of_working_folder(void) {
  FILE* file = fopen("vcam.env", "r");
  if (!file) return;
  char line[512];
  while (fgets(line, sizeof line, file)) {
    line[strcspn(line, "\r\n")] = 0;
    char* equals = strchr(line, '=');
    if (!equals) continue;
    *equals = 0;
    setenv(line, equals + 1, 1);
  }
  fclose(file);
}

/* For VCAM_HOLD_EXIT. Exit handlers run in the reverse order of their registration, and
 * the C library's last flush of its streams comes after all of them. So this one is
 * registered at the program's first look at a camera, after its start-up: it then runs
 * before the handlers registered there, such as C++'s flush of its standard streams. */
static void hold_exit(void) {
  const char* release = getenv("VCAM_HOLD_EXIT");
  const struct timespec pause = {0, 10 * 1000 * 1000};
  for (int waits = 0; waits < 1000 && access(release, F_OK) != 0; ++waits) nanosleep(&pause, NULL);
}

static void register_hold(void) {
  const char* release = getenv("VCAM_HOLD_EXIT");
  if (release && *release) atexit(hold_exit);
}

static void arm_exit_hold(void) {
  static pthread_once_t once = PTHREAD_ONCE_INIT;
  pthread_once(&once, register_hold);
}

/* Whether node `camera` exists for a program that looks for it (stat). */
static int present(int camera) {
  return camera >= 0 && camera < env_int("VCAM_COUNT", 0) && !listed("VCAM_ABSENT", camera);
}

static int camera_of_path(const char* path) {
  if (!path || strncmp(path, "/dev/video", 10) != 0) return -1;
  const char* digits = path + 10;
  if (*digits < '0' || *digits > '9') return -1;
  char* end;
  long n = strtol(digits, &end, 10);
  if (*end != 0 || n >= MAX_CAMERAS) return -1;
  arm_exit_hold();
  return (int)n;
}

static int open_device(int camera) {
  if (!present(camera) || listed("VCAM_FAIL", camera)) {
    note("%d open failed", camera);
    errno = present(camera) ? EACCES : ENOENT;
    return -1;
  }
  if (listed("VCAM_BUSY", camera) && !in_wine()) {
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
  d->metadata = listed("VCAM_META", camera);
  start_size(&d->width, &d->height);
  pthread_mutex_lock(&lock);
  devices[fd] = d;
  pthread_mutex_unlock(&lock);
  return fd;
}

/* An open counts, and is logged, from its first request beyond asking what the node is:
 * a program that opens a node only to ask (QUERYCAP) and closes it has looked it up,
 * which starts nothing, and the log says so in one line at the close. */
static void in_use(struct device* d) {
  if (d->open_number) return;
  pthread_mutex_lock(&lock);
  d->open_number = ++opens_of[d->camera];
  pthread_mutex_unlock(&lock);
  note("%d.%d open", d->camera, d->open_number);
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

static void describe_size(unsigned width, unsigned height, struct v4l2_format* f) {
  memset(&f->fmt.pix, 0, sizeof f->fmt.pix);
  f->fmt.pix.width = width;
  f->fmt.pix.height = height;
  f->fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
  f->fmt.pix.field = V4L2_FIELD_NONE;
  f->fmt.pix.bytesperline = width * 3;
  f->fmt.pix.sizeimage = width * height * 3;
  f->fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
}

static void set_format(struct device* d, struct v4l2_format* f) {
  const long start_ms = env_int("VCAM_START_MS", 0);
  if (!d->started) note("%d.%d set up", d->camera, d->open_number);
  if (!d->started && start_ms > 0) {
    const struct timespec start = {start_ms / 1000, start_ms % 1000 * 1000000};
    nanosleep(&start, NULL);
  }
  d->started = 1;
  fit_size(f, &d->width, &d->height);
  free(d->read_frame);
  d->read_frame = NULL;
  note("%d.%d size %ux%u", d->camera, d->open_number, d->width, d->height);
}

static void describe_format(const struct device* d, struct v4l2_format* f) {
  describe_size(d->width, d->height, f);
}

static int dequeue(struct device* d, struct v4l2_buffer* b) {
  if (!d->streaming) return fail(EINVAL);
  if (listed("VCAM_SILENT", d->camera)) return fail(EAGAIN);
  long limit = frame_limit(d->camera);
  if (limit >= 0 && d->delivered >= (unsigned long)limit) { /* unplugged */
    note("%d.%d gone", d->camera, d->open_number);
    return fail(ENODEV);
  }
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

/* The request as the kernel reads it: 32 bits, whatever sign extension the caller's
 * type gave it (Wine passes an int). */
static int device_ioctl(struct device* d, unsigned int request, void* arg) {
  if (request != VIDIOC_QUERYCAP) in_use(d);
  if (d->metadata && request != VIDIOC_QUERYCAP) {
    note("%d.%d refused 0x%08x", d->camera, d->open_number, request);
    return fail(EINVAL);
  }
  switch (request) {
    case VIDIOC_QUERYCAP: {
      struct v4l2_capability* c = arg;
      memset(c, 0, sizeof *c);
      strcpy((char*)c->driver, "vcam");
      snprintf((char*)c->card, sizeof c->card, "Virtual camera %d", d->camera);
      snprintf((char*)c->bus_info, sizeof c->bus_info, "virtual:%d", d->camera);
      c->version = 0x060000;
      const unsigned video = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_READWRITE;
      /* As uvcvideo answers: the whole device's capabilities on both nodes, each node's
       * own in device_caps. */
      c->device_caps = d->metadata ? V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING : video;
      c->capabilities = video | V4L2_CAP_META_CAPTURE | V4L2_CAP_DEVICE_CAPS;
      return 0;
    }
    case VIDIOC_G_INPUT:
      *(int*)arg = 0;
      return 0;
    case VIDIOC_G_FMT:
      describe_format(d, arg);
      return 0;
    case VIDIOC_TRY_FMT: {
      unsigned width, height;
      fit_size(arg, &width, &height);
      describe_size(width, height, arg);
      return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
      struct v4l2_frmsizeenum* e = arg;
      if (e->pixel_format != V4L2_PIX_FMT_BGR24) return fail(EINVAL);
      if (!listed_size(e->index, &e->discrete.width, &e->discrete.height)) return fail(EINVAL);
      e->type = V4L2_FRMSIZE_TYPE_DISCRETE;
      return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      struct v4l2_frmivalenum* e = arg;
      if (e->index > 0 || e->pixel_format != V4L2_PIX_FMT_BGR24) return fail(EINVAL);
      e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
      e->discrete.numerator = 1;
      e->discrete.denominator = 30;
      return 0;
    }
    case VIDIOC_S_FMT:
      /* Under Wine a busy camera fails here, where Windows fails to start it. */
      if (listed("VCAM_BUSY", d->camera)) {
        note("%d.%d busy", d->camera, d->open_number);
        return fail(EBUSY);
      }
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
    if (d->open_number)
      note("%d.%d close", d->camera, d->open_number);
    else
      note("%d looked up", d->camera);
    pthread_mutex_lock(&lock);
    devices[fd] = NULL;
    pthread_mutex_unlock(&lock);
    for (unsigned i = 0; i < MAX_BUFFERS; ++i) {
      if (d->buffers[i].start) real_munmap(d->buffers[i].start, d->buffers[i].length);
    }
    free(d->read_frame);
    free(d);
  }
  return real_close(fd);
}

/* The argument of an ioctl call, which is always one pointer for the requests served. */
#define IOCTL_ARGUMENT(last)   \
  va_list args;                \
  va_start(args, last);        \
  void* arg = va_arg(args, void*); \
  va_end(args);

int ioctl(int fd, unsigned long request, ...) {
  find_real_functions();
  IOCTL_ARGUMENT(request)
  struct device* d = device_of(fd);
  return d ? device_ioctl(d, (unsigned int)request, arg) : real_ioctl(fd, request, arg);
}

/* 32-bit programs built with 64-bit time (32-bit Wine) call this one. */
int __ioctl_time64(int fd, unsigned long request, ...) {
  static int (*real)(int, unsigned long, ...);
  IOCTL_ARGUMENT(request)
  struct device* d = device_of(fd);
  if (d) return device_ioctl(d, (unsigned int)request, arg);
  if (!real) real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "__ioctl_time64");
  return real ? real(fd, request, arg) : fail(ENOSYS);
}

/* ---- read(): whole frames, at the camera's rate ---- */

static void wait_until(const struct timespec* when) {
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, when, NULL) == EINTR) {
  }
}

static ssize_t read_frame(struct device* d, void* data, size_t size) {
  if (!d->streaming) note("%d.%d stream on", d->camera, d->open_number);
  d->streaming = 1;
  if (listed("VCAM_SILENT", d->camera)) {
    /* Nothing comes. Wine retries at once and for ever, and a program cannot end while
     * its capture does: so the camera gives up with an error after 3 s, by which time
     * any program has long given up waiting. A short pause keeps the retries from
     * spinning. */
    struct timespec now, pause = {0, 10 * 1000 * 1000};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (!d->silent_until) d->silent_until = now.tv_sec + 3;
    if (now.tv_sec >= d->silent_until) return fail(EIO);
    nanosleep(&pause, NULL);
    return fail(EAGAIN);
  }
  long limit = frame_limit(d->camera);
  if (limit >= 0 && d->delivered >= (unsigned long)limit) { /* unplugged */
    note("%d.%d gone", d->camera, d->open_number);
    return fail(ENODEV);
  }
  if (!d->read_frame && !(d->read_frame = malloc(frame_bytes(d)))) return fail(ENOMEM);
  wait_until(&d->next_read);
  clock_gettime(CLOCK_MONOTONIC, &d->next_read);
  d->next_read.tv_nsec += 1000000000L / 30;
  if (d->next_read.tv_nsec >= 1000000000L) {
    d->next_read.tv_nsec -= 1000000000L;
    ++d->next_read.tv_sec;
  }
  ++d->delivered;
  paint(d, d->read_frame);
  note("%d.%d frame %u", d->camera, d->open_number, d->delivered);
  size_t n = size < frame_bytes(d) ? size : frame_bytes(d);
  memcpy(data, d->read_frame, n);
  return (ssize_t)n;
}

ssize_t read(int fd, void* data, size_t size) {
  struct device* d = device_of(fd);
  if (d) in_use(d);
  if (d && d->metadata) {
    note("%d.%d refused read", d->camera, d->open_number);
    return fail(EINVAL);
  }
  if (d) return read_frame(d, data, size);
  static ssize_t (*real)(int, void*, size_t);
  if (!real) real = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
  return real(fd, data, size);
}

/* ---- stat(): a camera is a character device ---- */

/* Every stat variant of the C library, for a camera path, answers what it answers for
 * /dev/null (a character device) or fails as for a missing file. The variants' structs
 * differ; passing the caller's own through keeps each in its own layout. */
#define STAT_VARIANT(name, ...)                                      \
  static int (*real_##name)(__VA_ARGS__);                            \
  static const char* stat_path_##name(const char* path) {           \
    if (!real_##name) real_##name = dlsym(RTLD_NEXT, #name);         \
    int camera = camera_of_path(path);                               \
    if (camera < 0) return path;                                     \
    return present(camera) ? "/dev/null" : NULL;                     \
  }

STAT_VARIANT(stat, const char*, void*)
int stat(const char* path, void* buffer) {
  const char* answered = stat_path_stat(path);
  return answered ? real_stat(answered, buffer) : fail(ENOENT);
}
STAT_VARIANT(stat64, const char*, void*)
int stat64(const char* path, void* buffer) {
  const char* answered = stat_path_stat64(path);
  return answered ? real_stat64(answered, buffer) : fail(ENOENT);
}
STAT_VARIANT(__stat64_time64, const char*, void*)
int __stat64_time64(const char* path, void* buffer) {
  const char* answered = stat_path___stat64_time64(path);
  return answered ? real___stat64_time64(answered, buffer) : fail(ENOENT);
}
STAT_VARIANT(__xstat, int, const char*, void*)
int __xstat(int version, const char* path, void* buffer) {
  const char* answered = stat_path___xstat(path);
  return answered ? real___xstat(version, answered, buffer) : fail(ENOENT);
}
STAT_VARIANT(__xstat64, int, const char*, void*)
int __xstat64(int version, const char* path, void* buffer) {
  const char* answered = stat_path___xstat64(path);
  return answered ? real___xstat64(version, answered, buffer) : fail(ENOENT);
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

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off64_t offset) {
  return mmap(address, length, protection, flags, fd, (off_t)offset);
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
