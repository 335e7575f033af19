#include <opencv2/videoio.hpp>

#include "native_backend.h"

namespace cam {

int native_capture_api() {
  return cv::CAP_V4L2;
}

}  // namespace cam
