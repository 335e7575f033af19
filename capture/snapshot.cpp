#include "snapshot.h"

#include "capture_options.h"

namespace cam {

namespace {

// The snapshot is kept at the best JPEG quality; other formats ignore it.
constexpr int kJpegQuality = 100;

enum class Preview { Keyed, CameraLost, NoWindow };

// Shows the camera until a key comes; `frame` is then the frame on screen.
Preview preview_until_key(CameraFacility& camera, Capture capture, const char* winName,
                          Frame& frame) {
  do {
    frame = camera.grab(capture);
    if (!frame) return Preview::CameraLost;
    if (!camera.show(winName, frame)) return Preview::NoWindow;  // the first show creates it
  } while (camera.wait_key(50) < 0);
  return Preview::Keyed;
}

}  // namespace

int run_snapshot(CameraFacility& camera, int camNo, const Argument& filename, std::FILE* out) {
  // Refused before a camera is opened, so nobody previews a picture that cannot be kept.
  if (!camera.can_write(filename.file)) {
    std::fprintf(out, "can not save image %s\n", filename.text.c_str());
    return -1;
  }
  Capture capture = camera.open(camNo, kPreviewSize);
  if (!capture) {
    std::fputs("can not open capture camera\n", out);
    return -1;
  }

  // A check that the camera delivers at all; this frame is never shown or written. On
  // this and the next failure the capture stays open: process exit takes it back.
  if (!camera.grab(capture)) {
    std::fprintf(out, "Can not open Camera %d\n", camNo);
    return -1;
  }

  char winName[128];
  std::snprintf(winName, sizeof winName, "CAM  %d", camNo);
  Frame frame;
  switch (preview_until_key(camera, capture, winName, frame)) {
    case Preview::Keyed:
      break;
    case Preview::CameraLost:
      // Status 1, unlike the other failures: the camera was lost mid-preview.
      std::fprintf(out, "Can not open Camera %d\n", camNo);
      return 1;
    case Preview::NoWindow:
      std::fputs("can not open a window\n", out);
      return -1;
  }
  camera.destroy_window(winName);

  // The frame stays valid after its window is gone: it belongs to the capture.
  const bool saved = camera.write(filename.file, frame, kJpegQuality);
  if (saved) {
    std::fprintf(out, "save_image %d\n", camNo);
  } else {
    std::fprintf(out, "can not save image %s\n", filename.text.c_str());
  }
  camera.release(capture);
  return saved ? 0 : -1;
}

}  // namespace cam
