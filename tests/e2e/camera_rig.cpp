#include "camera_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "test_folder.h"

namespace e2e {

namespace fs = std::filesystem;

CameraRig::CameraRig(const std::string& test_name)
    : folder_(cam::testing::new_test_folder("e2e-" + test_name).string()),
      log_(folder_ + "/cameras.log") {
  // What the children leave that is not the test's subject: their toolkit's runtime
  // files and each one's standard error.
  fs::create_directories(folder_ + "/runtime");
  fs::permissions(folder_ + "/runtime", fs::perms::owner_all);
}

CameraRig::~CameraRig() {
  if (::testing::Test::HasFailure()) {
    ::testing::Test::RecordProperty("kept_folder", folder_);  // to look into
    return;
  }
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::unique_ptr<ChildProcess> CameraRig::start(const std::string& program,
                                               const std::vector<std::string>& args,
                                               const Cameras& cameras,
                                               const VirtualDisplay* display) const {
  std::map<std::string, std::string> env = {
      {"LD_PRELOAD", VIRTUAL_CAMERA_LIBRARY},
      {"VCAM_LOG", log_},
      // A camera that never delivers is given up after 1 s instead of 10.
      {"OPENCV_VIDEOIO_V4L_SELECT_TIMEOUT", "1"},
      {"XDG_RUNTIME_DIR", folder_ + "/runtime"},
      {"DISPLAY", display != nullptr ? display->name() : ""},
  };
  env.insert(cameras.settings().begin(), cameras.settings().end());
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  return std::make_unique<ChildProcess>(argv, env, folder_, folder_ + "/runtime");
}

std::vector<std::string> CameraRig::files_left() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    const std::string name = entry.path().filename().string();
    if (name != "cameras.log" && name != "runtime") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> CameraRig::log() const {
  std::ifstream in(log_);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> CameraRig::log_with(const std::string& text) const {
  std::vector<std::string> matching;
  for (const std::string& line : log())
    if (line.find(text) != std::string::npos) matching.push_back(line);
  return matching;
}

std::vector<std::string> CameraRig::log_ending(const std::string& text) const {
  std::vector<std::string> matching;
  for (const std::string& line : log())
    if (line.size() >= text.size() &&
        line.compare(line.size() - text.size(), text.size(), text) == 0)
      matching.push_back(line);
  return matching;
}

std::vector<std::string> CameraRig::log_of(int node) const {
  const std::string number = std::to_string(node);
  std::vector<std::string> matching;
  for (const std::string& line : log())
    if (line.compare(0, number.size(), number) == 0 && line.size() > number.size() &&
        (line[number.size()] == '.' || line[number.size()] == ' '))
      matching.push_back(line);
  return matching;
}

bool CameraRig::wait_for_log(const std::string& text, std::size_t count,
                             std::chrono::milliseconds limit) const {
  for (auto waited = 0ms; waited < limit; waited += 20ms) {
    if (log_with(text).size() >= count) return true;
    std::this_thread::sleep_for(20ms);
  }
  return log_with(text).size() >= count;
}

}  // namespace e2e
