#include "single_camera.h"

namespace cam {

namespace {

constexpr char kWindow[] = "Capture";
constexpr int kEsc = 27;

// Fills slots 0 to camNo with cameras 0 to camNo, camera camNo asked for `size` and the
// others left at their own. False when one of them did not open; those that did stay
// open for process exit to take back.
bool open_slots(CameraFacility& camera, Capture* slots, int camNo, FrameSize size) {
  for (int k = 0; k <= camNo; ++k) {
    slots[k] = camera.open(k, k == camNo ? std::optional(size) : std::nullopt);
    if (!slots[k]) return false;
  }
  return true;
}

// A pass without a frame shows nothing but still waits, so Esc ends even a dead view.
// Without a window nobody could press Esc, so that ends the view at once.
void view_until_esc(CameraFacility& camera, Capture& capture, std::FILE* out) {
  bool shown = camera.create_window(kWindow);
  while (shown) {
    const Frame frame = camera.grab(capture);
    if (frame && !camera.show(kWindow, frame)) shown = false;
    if (shown && camera.wait_key(2) == kEsc) break;
  }
  if (!shown) std::fprintf(out, "error window=%s\n", kWindow);
  camera.release(capture);
  camera.destroy_window(kWindow);
}

// Only the first frame is ever written, in the image writer's default quality.
void save_first_frame(CameraFacility& camera, Capture& capture, int camNo, const Argument& filename,
                      std::FILE* out) {
  const Frame frame = camera.grab(capture);
  if (!frame) {
    std::fprintf(out, "error cn=%d\n", camNo);
    return;  // the capture stays open for process exit, as after a failed open
  }
  if (!camera.write(filename.file, frame, std::nullopt)) {
    std::fprintf(out, "error file=%s\n", filename.text.c_str());
  }
  camera.release(capture);
}

}  // namespace

int run_single_camera(CameraFacility& camera, const CamprobeOptions& options, std::FILE* out) {
  const int camNo = options.camNo;
  if (camNo < 0 || camNo >= kProbeSlots) {
    std::fprintf(out, "error cn=%d\n", camNo);
    return 0;
  }
  // Refused before a camera opens, so a bad name costs no camera start-up.
  if (options.filename && !camera.can_write(options.filename->file)) {
    std::fprintf(out, "error file=%s\n", options.filename->text.c_str());
    return 0;
  }
  Capture slots[kProbeSlots];
  if (!open_slots(camera, slots, camNo, FrameSize{options.frameWidth, options.frameHeight})) {
    std::fprintf(out, "error cn=%d\n", camNo);
    return 0;
  }
  if (options.filename) {
    save_first_frame(camera, slots[camNo], camNo, *options.filename, out);
  } else {
    view_until_esc(camera, slots[camNo], out);
  }
  return 0;
}

}  // namespace cam
