#include "image_writer.h"

#include <algorithm>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "file_replace.h"

namespace cam {

namespace {

// What follows the last dot of the file's own name, dot included, or "" when there is no
// such extension. OpenCV's own lookup would also take "dir.jpg/shot" or "shot.jpg~" as
// JPEG; a name is only taken at its word when it ends in letters and digits after a dot.
std::string extension_of(const char* filename) {
  const std::string name = filename;
  const std::size_t folder_end = name.find_last_of("/\\");
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || (folder_end != std::string::npos && dot < folder_end)) {
    return "";
  }
  const std::string extension = name.substr(dot);
  const bool plain =
      extension.size() > 1 && std::all_of(extension.begin() + 1, extension.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      });
  return plain ? extension : "";
}

}  // namespace

bool can_write_image(const char* filename) {
  const std::string extension = extension_of(filename);
  if (extension.empty()) return false;
  try {
    return cv::haveImageWriter("image" + extension);
  } catch (...) {
    return false;
  }
}

bool write_image(const char* filename, const Frame& frame, const int* params) {
  const std::string extension = extension_of(filename);
  if (!frame || extension.empty()) return false;

  std::vector<int> settings;
  for (const int* p = params; p != nullptr && p[0] != 0; p += 2) {
    settings.push_back(p[0]);
    settings.push_back(p[1]);
  }
  std::vector<unsigned char> bytes;
  try {
    // A header over the capture's own pixels: nothing is copied.
    const cv::Mat image(frame.height, frame.width, CV_8UC(frame.channels),
                        const_cast<unsigned char*>(frame.data), frame.step);
    if (!cv::imencode(extension, image, bytes, settings)) return false;
  } catch (...) {
    return false;
  }
  return replace_file(filename, bytes.data(), bytes.size());
}

}  // namespace cam
