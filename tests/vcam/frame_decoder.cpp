#include "frame_decoder.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "read_file.h"

extern "C" {
#include "frame_code.h"
}

namespace vcam {

namespace {

// Whether a cell is light, judged by the middle half of it, where JPEG's ringing at the
// cell's edges does not reach.
bool cell_is_light(const cv::Mat& grey, int cell) {
  const int column = cell % VCAM_COLUMNS, row = cell / VCAM_COLUMNS;
  const int x0 = column * grey.cols / VCAM_COLUMNS, x1 = (column + 1) * grey.cols / VCAM_COLUMNS;
  const int y0 = row * grey.rows / VCAM_ROWS, y1 = (row + 1) * grey.rows / VCAM_ROWS;
  const cv::Rect middle(x0 + (x1 - x0) / 4, y0 + (y1 - y0) / 4, (x1 - x0) / 2, (y1 - y0) / 2);
  return cv::mean(grey(middle))[0] > (VCAM_DARK + VCAM_LIGHT) / 2.0;
}

}  // namespace

std::optional<FrameMark> read_frame_mark(const std::filesystem::path& image_file) {
  std::string bytes = cam::testing::read_file(image_file);
  if (bytes.empty()) return std::nullopt;
  const cv::Mat encoded(1, static_cast<int>(bytes.size()), CV_8U, &bytes[0]);
  const cv::Mat picture = cv::imdecode(encoded, cv::IMREAD_GRAYSCALE);
  if (picture.empty() || picture.cols < 2 * VCAM_COLUMNS || picture.rows < 2 * VCAM_ROWS)
    return std::nullopt;
  unsigned bits = 0;
  for (int cell = 0; cell < VCAM_COLUMNS * VCAM_ROWS; ++cell)
    bits = bits << 1 | (cell_is_light(picture, cell) ? 1u : 0u);
  const unsigned camera = (bits >> 26) & 0xf, frame = (bits >> 10) & 0xffff;
  for (int cell = 0; cell < VCAM_COLUMNS * VCAM_ROWS; ++cell) {
    const bool light = (bits >> (31 - cell)) & 1u;
    if (light != static_cast<bool>(vcam_cell_is_light(camera, frame, cell))) return std::nullopt;
  }
  return FrameMark{static_cast<int>(camera), static_cast<int>(frame), picture.cols, picture.rows};
}

}  // namespace vcam
