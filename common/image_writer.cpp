#include "image_writer.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "file_replace.h"

namespace cam {

namespace {

bool is_letter_or_digit(wchar_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// What follows the last dot of the file's own name, dot included, or "" when there is no
// such extension. OpenCV's own lookup would also take "dir.jpg/shot" or "shot.jpg~" as
// JPEG; a name is only taken at its word when it ends in letters and digits after a dot.
// Read off the name the file gets, not its code-page reading, where a look-alike could
// pass for an extension (fullwidth "shot.ｐｎｇ" reads "shot.png" in Western Windows').
std::string extension_of(const std::filesystem::path& file) {
  const auto& name = file.native();  // bytes on Linux, UTF-16 on Windows
  std::string extension;
  for (std::size_t at = name.size(); at > 0; --at) {
    const auto c = name[at - 1];
    if (c == '.') return extension.empty() ? "" : "." + extension;
    if (!is_letter_or_digit(static_cast<wchar_t>(c))) return "";  // a folder's dot, or none
    extension.insert(extension.begin(), static_cast<char>(c));
  }
  return "";
}

}  // namespace

bool can_write_image(const std::filesystem::path& file) {
  const std::string extension = extension_of(file);
  if (extension.empty()) return false;
  try {
    return cv::haveImageWriter("image" + extension);
  } catch (...) {
    return false;
  }
}

bool write_image(const std::filesystem::path& file, const Frame& frame,
                 std::optional<int> jpegQuality) {
  const std::string extension = extension_of(file);
  if (!frame || extension.empty()) return false;

  std::vector<int> settings;
  if (jpegQuality) settings = {cv::IMWRITE_JPEG_QUALITY, *jpegQuality};
  std::vector<unsigned char> bytes;
  try {
    // A header over the capture's own pixels: nothing is copied.
    const cv::Mat image(frame.height, frame.width, CV_8UC(frame.channels),
                        const_cast<unsigned char*>(frame.data), frame.step);
    if (!cv::imencode(extension, image, bytes, settings)) return false;
  } catch (...) {
    return false;
  }
  return replace_file(file, bytes.data(), bytes.size());
}

}  // namespace cam
