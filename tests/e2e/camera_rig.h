// What every end-to-end test sets up: virtual cameras, a log of what they were asked,
// a folder of the test's own, and the environment that puts the programs on them.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera_settings.h"
#include "child_process.h"
#include "virtual_display.h"

namespace e2e {

using namespace std::chrono_literals;
using vcam::Cameras;

class CameraRig {
 public:
  // A new folder of the test's own; it is removed at the end unless the test failed.
  explicit CameraRig(const std::string& test_name);
  ~CameraRig();
  CameraRig(const CameraRig&) = delete;
  CameraRig& operator=(const CameraRig&) = delete;

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
  // The log's lines about node `node`.
  std::vector<std::string> log_of(int node) const;
  // Waits up to `limit` until the log has `count` lines that contain `text`.
  bool wait_for_log(const std::string& text, std::size_t count,
                    std::chrono::milliseconds limit) const;
  const std::string& folder() const { return folder_; }
  // What the runs left in the folder, in name order, apart from the rig's own log and
  // runtime folder.
  std::vector<std::string> files_left() const;

 private:
  std::string folder_;
  std::string log_;
};

}  // namespace e2e
