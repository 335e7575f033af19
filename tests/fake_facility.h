// A scripted camera facility for the tools' logic: cameras that open or not and deliver a
// set number of frames, keys that come after a set number of waits, writes that succeed
// or fail. It records every call as one readable line, so a test can compare the whole
// conversation between a tool and its cameras.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "camera_facility.h"

namespace cam::testing {

struct FakeCamera {
  int frames = -1;  // frames delivered before the camera stops; -1 for no end
  // Its open hands back the capture the previous open handed out, as some capture
  // facilities do for a camera they cannot tell from the one before.
  bool repeats_previous = false;
};

class FakeFacility final : public CameraFacility {
 public:
  // Cameras 0 to attached - 1, each delivering `frames` frames.
  explicit FakeFacility(int attached = 0, int frames = -1) {
    for (int i = 0; i < attached; ++i) cameras[i].frames = frames;
  }

  // Cameras that can be opened, by index; any other index fails to open.
  std::map<int, FakeCamera> cameras;
  // What successive key waits return; once used up, every wait returns key_when_out.
  std::vector<int> keys;
  int key_when_out = -1;  // no key
  std::set<std::string> writable = {".jpg", ".tif", ".tiff", ".png", ".bmp"};
  bool write_fails = false;
  // No window can be made: every create and show fails, as with no display.
  bool no_windows = false;
  // One line per call, in order, e.g. "open 0 at 640x480 -> #1", "show [CAM  0] cam0.2";
  // an open without a size is "open 0 -> #1".
  std::vector<std::string> calls;
  // Frames used after their capture moved on or was released, frames no capture gave,
  // and captures released twice.
  int misuses = 0;

  // `waits` waits without a key, then `key`.
  void key_after(int waits, int key);
  // The calls whose line starts with `prefix`.
  std::vector<std::string> calls_starting(const std::string& prefix) const;

  Capture open(int index, std::optional<FrameSize> size) override;
  Frame grab(Capture capture) override;
  void release(Capture& capture) override;
  bool create_window(const char* title) override;
  bool show(const char* title, const Frame& frame) override;
  void destroy_window(const char* title) override;
  int wait_key(int milliseconds) override;
  bool can_write(const std::filesystem::path& file) override;
  bool write(const std::filesystem::path& file, const Frame& frame,
             std::optional<int> jpegQuality) override;

 private:
  struct OpenedCapture {
    int camera = 0;
    int grabs = 0;
    bool released = false;
    const unsigned char* latest = nullptr;  // the only frame of this capture still valid
  };
  struct DeliveredFrame {
    int capture = 0;
    std::string label;  // camera and frame number, e.g. "cam0.2"
    unsigned char pixels[2 * 2 * 3] = {};
  };

  void record(std::string line);
  // "cam0.2", marked "(stale)" when a later grab or a release has ended its life.
  std::string describe(const Frame& frame);

  std::vector<OpenedCapture> opened_;     // handle n is entry n - 1
  std::deque<DeliveredFrame> delivered_;  // a deque keeps every frame's pixels in place
  std::size_t next_key_ = 0;
};

}  // namespace cam::testing
