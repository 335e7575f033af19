// What every end-to-end test sets up, on Linux and under Wine alike: virtual cameras, a
// log of what they were asked, a folder of the test's own, and the programs started in
// it on those cameras.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera_settings.h"
#include "program.h"

namespace e2e {

using namespace std::chrono_literals;
using vcam::Cameras;

// A run and what a parent must see of it: exactly `out` on standard output, the status,
// nothing on standard error.
struct ExpectedRun {
  std::string program;
  std::vector<std::string> args;
  std::string out;
  int status;
};

class CameraRig {
 public:
  // A new folder of the test's own; it is removed at the end unless the test failed.
  explicit CameraRig(const std::string& test_name);
  ~CameraRig();
  CameraRig(const CameraRig&) = delete;
  CameraRig& operator=(const CameraRig&) = delete;

  // Starts `program` with `args` on the cameras, in the rig's folder, its environment
  // changed by `environment` (a display, say).
  std::unique_ptr<Program> start(const std::string& program, const std::vector<std::string>& args,
                                 const Cameras& cameras, const Environment& environment = {}) const;
  // Runs `program` to its end, up to `limit`.
  Finished run(const std::string& program, const std::vector<std::string>& args,
               const Cameras& cameras, std::chrono::milliseconds limit = 30s) const;
  // Runs each to its end on the cameras and checks it, naming the run in a failure.
  void expect_runs(const std::vector<ExpectedRun>& runs, const Cameras& cameras) const;

  // The camera log's lines so far.
  std::vector<std::string> log() const;
  // The log's lines that contain `text`.
  std::vector<std::string> log_with(const std::string& text) const;
  // The log's lines that end with `text`.
  std::vector<std::string> log_ending(const std::string& text) const;
  // The log's lines about camera `camera`.
  std::vector<std::string> log_of(int camera) const;
  // Waits up to `limit` until the log has `count` lines that contain `text`.
  bool wait_for_log(const std::string& text, std::size_t count,
                    std::chrono::milliseconds limit) const;
  // Starts the log afresh, for what the next run asks of the cameras alone.
  void forget_log() const;
  // How often each camera was set up, as the camera logs it: an open of it that set its
  // frame size. (Wine's listing of the devices opens them too, but only to ask what
  // they are.)
  std::map<int, int> setups() const;
  // Every camera opened was closed again, as a release does (an exit closes none).
  void expect_all_closed() const;

  // The folder, as text: the bytes on Linux, UTF-8 on Windows.
  const std::string& folder() const { return folder_text_; }
  // The file of this name (UTF-8 on Windows) in the folder.
  std::filesystem::path file(const std::string& name) const;
  // The files the runs left in the folder and below, by name relative to it (UTF-8 on
  // Windows), in name order, apart from the rig's own.
  std::vector<std::string> files_left() const;

 private:
  void set_cameras(const Cameras& cameras) const;

  std::filesystem::path folder_;
  std::string folder_text_;
};

}  // namespace e2e
