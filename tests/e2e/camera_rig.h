// What every end-to-end test sets up: virtual cameras, a log of what they were asked,
// a folder of the test's own, and the environment that puts the programs on them.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "virtual_display.h"

namespace e2e {

using namespace std::chrono_literals;

struct Cameras {
  Cameras(int count, std::string fail = "", std::string frames = "", std::string silent = "",
          std::string busy = "")
      : count(count),
        fail(std::move(fail)),
        frames(std::move(frames)),
        silent(std::move(silent)),
        busy(std::move(busy)) {}

  int count;           // cameras 0 to count - 1
  std::string fail;    // e.g. "2": cameras that fail to open
  std::string frames;  // e.g. "0:5": camera 0 stops after 5 frames
  std::string silent;  // e.g. "0": cameras that never deliver
  std::string busy;    // e.g. "0": cameras another program has open
};

class CameraRig {
 public:
  explicit CameraRig(const std::string& test_name);

  // Runs a tool (CAPTURE_PROGRAM or CAMPROBE_PROGRAM) on the cameras, on the display
  // when one is given, in the rig's folder.
  std::unique_ptr<ChildProcess> start(const std::string& program,
                                      const std::vector<std::string>& args, const Cameras& cameras,
                                      const VirtualDisplay* display = nullptr) const;
  // The camera log's lines so far.
  std::vector<std::string> log() const;
  // The log's lines that contain `text`.
  std::vector<std::string> log_with(const std::string& text) const;
  // The log's lines that end with `text`.
  std::vector<std::string> log_ending(const std::string& text) const;
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
  std::string log_;
};

}  // namespace e2e
