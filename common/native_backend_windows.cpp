#include <climits>
#include <cmath>
#include <vector>

#include "native_backend.h"

namespace cam {

namespace {

// A size as OpenCV's open parameters take it: whole pixels, within int's range.
int whole_pixels(double value) {
  if (!(value > INT_MIN)) return INT_MIN;  // NaN too: a size the backend ignores
  if (value >= INT_MAX) return INT_MAX;
  return static_cast<int>(std::lround(value));
}

}  // namespace

// DirectShow lists capture devices only, so a camera's number is its device number.
// The size goes with the open: the patched DirectShow capture sets the camera up at it
// straight away, where a size set afterwards would stop it and set it up again.
bool open_native(cv::VideoCapture& device, int camera, const std::optional<FrameSize>& size) {
  if (camera < 0) return false;
  std::vector<int> params;
  if (size) {
    params = {cv::CAP_PROP_FRAME_WIDTH, whole_pixels(size->width), cv::CAP_PROP_FRAME_HEIGHT,
              whole_pixels(size->height)};
  }
  return device.open(camera, cv::CAP_DSHOW, params);
}

}  // namespace cam
