// capture's default mode: preview one camera until a key, then write what was on screen.
#pragma once

#include <cstdio>

#include "argument.h"
#include "camera_facility.h"

namespace cam {

// Opens camera `camNo` at 640 by 480, previews it in the window "CAM  <camNo>" until a
// key, writes the frame on screen at that moment to `filename` (JPEG at quality 100) and
// confirms with "save_image <camNo>". Returns 0; -1 when the name or the camera is
// refused or the write fails; 1 when the camera stops delivering during the preview.
int run_snapshot(CameraFacility& camera, int camNo, const Argument& filename, std::FILE* out);

}  // namespace cam
