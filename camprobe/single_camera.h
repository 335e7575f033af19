// camprobe without -n: one camera at a chosen frame size, viewed or saved.
#pragma once

#include <cstdio>

#include "camera_facility.h"
#include "camprobe_options.h"

namespace cam {

// Opens cameras 0 to camNo, one per slot, and sizes camera camNo. Without a file name it
// shows that camera in the window "Capture" until Esc; with one, it writes the camera's
// first frame there and shows nothing. Failures are one line on `out`: "error cn=<camNo>"
// for a camera number past the slots, a camera that did not open or a save with no
// frame; "error file=<filename>" for a name with no writable image format (before any
// camera opens) or a failed write. Returns 0 on every path.
int run_single_camera(CameraFacility& camera, const CamprobeOptions& options, std::FILE* out);

}  // namespace cam
