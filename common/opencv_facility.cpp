#include "opencv_facility.h"

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>
#include <vector>

#include "gui_loader.h"
#include "image_writer.h"
#include "native_backend.h"

namespace cam {

namespace {

struct OpenCapture {
  cv::VideoCapture device;
  cv::Mat picture;    // reused by every grab, so the preview allocates nothing per frame
  cv::Mat converted;  // only for cameras that deliver more than 8 bits per channel
};

Frame view_of(const cv::Mat& picture) {
  return {picture.data, picture.cols, picture.rows, picture.channels(), picture.step[0]};
}

class OpenCvFacility final : public CameraFacility {
 public:
  Capture open(int index, std::optional<FrameSize> size) override {
    auto slot = std::make_unique<OpenCapture>();
    try {
      if (!open_native(slot->device, index, size)) return {};
    } catch (...) {
      return {};
    }
    captures_.push_back(std::move(slot));
    return Capture{static_cast<int>(captures_.size())};
  }

  Frame grab(Capture capture) override {
    OpenCapture* slot = find(capture);
    if (slot == nullptr) return {};
    try {
      // Not read(): through DirectShow a retrieve that times out waiting for the camera
      // still leaves a picture of the right size, and read() hands that blank picture
      // back as a frame. Only a retrieve that succeeded gives one.
      if (!slot->device.grab() || !slot->device.retrieve(slot->picture) || slot->picture.empty())
        return {};
      if (slot->picture.depth() == CV_8U) return view_of(slot->picture);
      const double scale = slot->picture.depth() == CV_16U ? 1.0 / 256 : 1.0;
      slot->picture.convertTo(slot->converted, CV_8U, scale);
      return view_of(slot->converted);
    } catch (...) {
      return {};
    }
  }

  void release(Capture& capture) override {
    if (OpenCapture* slot = find(capture)) {
      try {
        slot->device.release();
      } catch (...) {
      }
      captures_[capture.id - 1].reset();
    }
    capture = Capture{};
  }

  bool create_window(const char* title) override {
    const GuiTable* gui = windows();
    return gui != nullptr && gui->create_window(title) == 0;
  }

  bool show(const char* title, const Frame& frame) override {
    const GuiTable* gui = windows();
    if (gui == nullptr || !frame) return false;
    return gui->show(title, frame.data, frame.width, frame.height, frame.channels, frame.step) == 0;
  }

  void destroy_window(const char* title) override {
    if (gui_ != nullptr) gui_->destroy_window(title);
  }

  int wait_key(int milliseconds) override {
    const GuiTable* gui = windows();
    return gui != nullptr ? gui->wait_key(milliseconds) : -1;
  }

  bool can_write(const std::filesystem::path& file) override { return can_write_image(file); }

  bool write(const std::filesystem::path& file, const Frame& frame,
             std::optional<int> jpegQuality) override {
    return write_image(file, frame, jpegQuality);
  }

 private:
  // The window functions, loaded at the first call that needs them.
  const GuiTable* windows() {
    if (!gui_tried_) {
      gui_ = load_gui();
      gui_tried_ = true;
    }
    return gui_;
  }

  OpenCapture* find(Capture capture) const {
    if (capture.id <= 0 || capture.id > static_cast<int>(captures_.size())) return nullptr;
    return captures_[capture.id - 1].get();
  }

  // Handle n is entry n - 1. Entries are emptied on release, never reused, so a handle
  // stays unique to the capture it was handed out for.
  std::vector<std::unique_ptr<OpenCapture>> captures_;
  const GuiTable* gui_ = nullptr;
  bool gui_tried_ = false;
};

}  // namespace

std::unique_ptr<CameraFacility> make_opencv_facility() {
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  return std::make_unique<OpenCvFacility>();
}

}  // namespace cam
