// How a camera is opened on this platform: always with the platform's own capture
// backend (V4L2, DirectShow). OpenCV's default of trying every backend in turn takes a
// fifth of a second to fail with no camera and prints warnings of its own.
#pragma once

#include <opencv2/videoio.hpp>
#include <optional>

#include "camera_facility.h"

namespace cam {

// Opens camera `camera` in `device` and asks it for `size`, if one is given, so that it
// starts once. False when there is no such camera or it did not open. OpenCV's
// exceptions pass through.
bool open_native(cv::VideoCapture& device, int camera, const std::optional<FrameSize>& size);

}  // namespace cam
