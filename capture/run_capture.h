// The whole of capture from its arguments to its exit status.
#pragma once

#include <cstdio>
#include <vector>

#include "argument.h"
#include "camera_facility.h"

namespace cam {

// Answers -h and -v, refuses a camera number (or, with -a, a camera count) past the slot
// tables, then runs the viewer (-a) or the snapshot. Every line goes to `out`. Returns
// the exit status: 0 when the mode completed, -1 for help, version and failures, 1 when
// the snapshot's camera stopped delivering.
int run_capture(const std::vector<Argument>& arguments, CameraFacility& camera, std::FILE* out);

}  // namespace cam
