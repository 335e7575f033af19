// The tools' only way to the outside world: cameras, windows, keys and image files.
//
// The programs hand their logic an implementation backed by OpenCV; the tests hand it a
// scripted fake. Nothing here names OpenCV, so the logic builds without its headers.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

namespace cam {

// One opened camera. Empty (id 0) means the open failed or the capture was released.
// Two handles are equal only if the facility handed back the same capture.
struct Capture {
  int id = 0;

  explicit operator bool() const { return id != 0; }
  friend bool operator==(Capture a, Capture b) { return a.id == b.id; }
  friend bool operator!=(Capture a, Capture b) { return a.id != b.id; }
};

// The picture the last grab left in its capture: 8 bits per channel in BGR order, rows
// `step` bytes apart. It belongs to the capture and stays valid until the next grab on
// that capture or its release, so the tools never free frames. No data means no frame.
struct Frame {
  const unsigned char* data = nullptr;
  int width = 0;
  int height = 0;
  int channels = 0;
  std::size_t step = 0;

  explicit operator bool() const { return data != nullptr; }
};

// A frame size to ask a camera for, in pixels, as the tools' options hold it.
struct FrameSize {
  double width = 0;
  double height = 0;
};

class CameraFacility {
 public:
  virtual ~CameraFacility() = default;

  // Opens camera `index` with the platform's native capture backend, asking it for
  // `size` when one is given; without one it keeps the size it starts at. What the camera
  // makes of the size is not reported: one that cannot give it gives what it can. The
  // size comes with the open because a camera started at one size and then asked for
  // another may have to be stopped and started again.
  virtual Capture open(int index, std::optional<FrameSize> size) = 0;
  // The next picture, or no frame when the camera gives none or the handle is empty.
  virtual Frame grab(Capture capture) = 0;
  // Gives the camera back and empties the handle.
  virtual void release(Capture& capture) = 0;

  // Windows are known by their titles and take the size of the frame shown in them.
  // False when no window can be made here (no display, no window system).
  virtual bool create_window(const char* title) = 0;
  // Creates the window first if it does not exist yet. False when the frame could not be
  // shown: no frame, or no window can be made here.
  virtual bool show(const char* title, const Frame& frame) = 0;
  virtual void destroy_window(const char* title) = 0;
  // Waits up to `milliseconds` for a key in any window while the windows repaint.
  // Returns the key code (Esc is 27), or a negative value when no key came in time.
  virtual int wait_key(int milliseconds) = 0;

  // Whether the file's extension names a format the image writer can write.
  virtual bool can_write(const std::filesystem::path& file) = 0;
  // Writes the frame in the format the extension names, a JPEG at `jpegQuality` (0 to
  // 100) when one is given and at the writer's default otherwise; other formats ignore
  // it. Returns false when nothing was written; a file already at that path is then
  // intact.
  virtual bool write(const std::filesystem::path& file, const Frame& frame,
                     std::optional<int> jpegQuality) = 0;
};

}  // namespace cam
