// capture -a: every camera from 0 to maxCamNo - 1 live, each in its own window.
#pragma once

#include <cstdio>

#include "camera_facility.h"

namespace cam {

// Opens the cameras in order at 640 by 480 with windows "CAM  <i> " (trailing space),
// then shows one frame of each in turn with a 50 ms key wait until a key comes; then
// releases every camera and destroys every window. Returns 0, or -1 when a camera cannot
// be opened or stops delivering (what was opened is then left to process exit).
// At most kCaptureSlots cameras: the entry refuses a larger maxCamNo.
int run_viewer(CameraFacility& camera, int maxCamNo, std::FILE* out);

}  // namespace cam
