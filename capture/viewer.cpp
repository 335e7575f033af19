#include "viewer.h"

#include <algorithm>

#include "capture_options.h"

namespace cam {

namespace {

constexpr char kNoWindow[] = "can not open a window\n";

struct Viewer {
  Capture captures[kCaptureSlots];  // slot i holds camera i; empty once released
  int count = 0;
  char winName[128];

  // The viewer's titles end in a space, which tells them apart from the snapshot's.
  const char* title(int camera) {
    std::snprintf(winName, sizeof winName, "CAM  %d ", camera);
    return winName;
  }
};

bool open_all(CameraFacility& camera, Viewer& viewer, std::FILE* out) {
  for (int i = 0; i < viewer.count; ++i) {
    viewer.captures[i] = camera.open(i, kPreviewSize);
    if (!viewer.captures[i]) {
      std::fprintf(out, "can not open capture camera %d\n", i);
      return false;
    }
    if (!camera.create_window(viewer.title(i))) {
      std::fputs(kNoWindow, out);
      return false;
    }
  }
  return true;
}

// Gives slot i's capture back. A facility that hands out one capture for two cameras
// gets it back once: every slot holding it is emptied.
void release_slot(CameraFacility& camera, Viewer& viewer, int i) {
  const Capture capture = viewer.captures[i];
  camera.release(viewer.captures[i]);
  for (Capture& other : viewer.captures) {
    if (other == capture) other = Capture{};
  }
}

// Passes over the cameras in order until a key comes; the camera shown when it came is
// released at once.
bool view_until_key(CameraFacility& camera, Viewer& viewer, std::FILE* out) {
  for (;;) {
    for (int i = 0; i < viewer.count; ++i) {
      const Frame frame = camera.grab(viewer.captures[i]);
      if (!frame) {
        std::fprintf(out, "Can not open Camera %d\n", i);
        return false;
      }
      if (!camera.show(viewer.title(i), frame)) {
        std::fputs(kNoWindow, out);
        return false;
      }
      if (camera.wait_key(50) >= 0) {
        release_slot(camera, viewer, i);
        return true;
      }
    }
  }
}

void close_all(CameraFacility& camera, Viewer& viewer) {
  for (int i = 0; i < viewer.count; ++i) {
    if (viewer.captures[i]) release_slot(camera, viewer, i);
    camera.destroy_window(viewer.title(i));
  }
}

}  // namespace

int run_viewer(CameraFacility& camera, int maxCamNo, std::FILE* out) {
  Viewer viewer;
  // Never index past the slot tables, whatever the caller passes.
  viewer.count = std::clamp(maxCamNo, 0, kCaptureSlots);
  if (viewer.count == 0) return 0;  // nothing to view: a pass over no camera never ends
  if (!open_all(camera, viewer, out)) return -1;
  if (!view_until_key(camera, viewer, out)) return -1;
  close_all(camera, viewer);
  return 0;
}

}  // namespace cam
