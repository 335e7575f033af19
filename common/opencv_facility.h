// The facility the programs run on: OpenCV's capture, window and image-file functions.
#pragma once

#include <memory>

#include "camera_facility.h"

namespace cam {

// Silences OpenCV's own log output, so that the tools' lines are all a caller reads.
// OpenCV's exceptions stop inside the facility and come out as a failed open, no frame,
// no key or a failed write.
std::unique_ptr<CameraFacility> make_opencv_facility();

}  // namespace cam
