#include "count_cameras.h"

#include "camprobe_options.h"

namespace cam {

int count_cameras(CameraFacility& camera, double frameWidth, double frameHeight, std::FILE* out) {
  Capture slots[kProbeSlots];
  Capture prevCapture;
  int nCam = 0;
  for (int k = 0; k < kProbeSlots; ++k) {
    slots[k] = camera.open(k, FrameSize{frameWidth, frameHeight});
    if (!slots[k]) break;
    // The same capture again is the same camera again: it is not counted, and as the
    // capture of slot k - 1 it is released once, below.
    if (slots[k] == prevCapture) break;
    prevCapture = slots[k];
    ++nCam;
  }
  for (int k = 0; k < nCam; ++k) camera.release(slots[k]);
  std::fprintf(out, "nCam = %d\n", nCam);
  std::fflush(out);
  return 0;
}

}  // namespace cam
