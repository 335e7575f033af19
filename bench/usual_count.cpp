// The camera count as it is usually written with OpenCV: the default backend order,
// opening cameras until one fails (at most six, as camprobe probes). The benchmark's
// baseline for camprobe -n.
#include <cstdio>

#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>

int main() {
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  int count = 0;
  while (count < 6) {
    cv::VideoCapture camera(count);
    if (!camera.isOpened()) break;
    ++count;
  }
  std::printf("nCam = %d\n", count);
  return 0;
}
