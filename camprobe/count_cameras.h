// camprobe -n: how many cameras, numbered from 0 without a gap, can be opened.
#pragma once

#include <cstdio>

#include "camera_facility.h"

namespace cam {

// Opens camera 0, 1, ... (at most kProbeSlots of them) at the given frame size until one
// fails to open or hands back the capture of the one before, releases every camera it
// counted, then prints "nCam = <count>" and flushes `out` at once, for a parent that
// waits on the pipe for that line. Returns 0.
int count_cameras(CameraFacility& camera, double frameWidth, double frameHeight, std::FILE* out);

}  // namespace cam
