// The window functions over OpenCV's highgui. Built into the GUI module on Linux, linked
// into the programs directly elsewhere.
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/highgui.hpp>

#include "gui_table.h"

namespace {

int create_window(const char* title) {
  try {
    cv::namedWindow(title, cv::WINDOW_AUTOSIZE);
    return 0;
  } catch (...) {
    return -1;
  }
}

int show(const char* title, const unsigned char* data, int width, int height, int channels,
         size_t step) {
  try {
    const cv::Mat picture(height, width, CV_8UC(channels), const_cast<unsigned char*>(data),
                          step);
    cv::imshow(title, picture);
    return 0;
  } catch (...) {
    return -1;
  }
}

void destroy_window(const char* title) {
  try {
    cv::destroyWindow(title);
  } catch (...) {
  }
}

int wait_key(int milliseconds) {
  try {
    return cv::waitKey(milliseconds);
  } catch (...) {
    return -1;
  }
}

constexpr GuiTable kTable = {create_window, show, destroy_window, wait_key};

}  // namespace

extern "C" const GuiTable* camtools_gui_table(void) {
  // A module carries its own copy of OpenCV's logger, silenced here like the program's.
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  return &kTable;
}
