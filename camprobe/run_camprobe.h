// The whole of camprobe from its arguments to its exit status.
#pragma once

#include <cstdio>
#include <vector>

#include "argument.h"
#include "camera_facility.h"

namespace cam {

// Counts the cameras (-n) or runs the single-camera view or save. Every line goes to
// `out`. Returns 0 on every path: a caller learns of failures from the output alone.
int run_camprobe(const std::vector<Argument>& arguments, CameraFacility& camera, std::FILE* out);

}  // namespace cam
