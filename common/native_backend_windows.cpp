#include <opencv2/videoio.hpp>

#include "native_backend.h"

namespace cam {

int native_capture_api() {
  return cv::CAP_DSHOW;
}

int native_device_of(int camera) {
  return camera;
}

}  // namespace cam
