#include "camera_rig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "test_folder.h"

namespace e2e {

namespace fs = std::filesystem;

namespace {

// The rig's own entries in its folder: the cameras' settings and log, and what the
// programs leave that is not the test's subject (their toolkit's runtime files, each
// one's standard error).
const char kSettings[] = "vcam.env";
const char kLog[] = "cameras.log";
const char kRuntime[] = "runtime";

}  // namespace

CameraRig::CameraRig(const std::string& test_name)
    : folder_(cam::testing::new_test_folder("camtools-e2e-" + test_name)),
      folder_text_(folder_.u8string()) {
  fs::create_directories(folder_ / kRuntime);
  fs::permissions(folder_ / kRuntime, fs::perms::owner_all);
}

CameraRig::~CameraRig() {
  if (::testing::Test::HasFailure()) {
    ::testing::Test::RecordProperty("kept_folder", folder_text_);  // to look into
    return;
  }
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

// The virtual camera reads its settings from this file in the program's working folder:
// a program under Wine does not get the environment its Windows parent gives it.
void CameraRig::set_cameras(const Cameras& cameras) const {
  std::ofstream settings(folder_ / kSettings, std::ios::binary);
  for (const auto& [name, value] : cameras.settings()) settings << name << "=" << value << "\n";
  settings << "VCAM_LOG=" << unix_name(folder_ / kLog) << "\n"
           // A camera that never delivers is given up after 1 s instead of 10 (V4L2).
           << "OPENCV_VIDEOIO_V4L_SELECT_TIMEOUT=1\n";
}

std::unique_ptr<Program> CameraRig::start(const std::string& program,
                                          const std::vector<std::string>& args,
                                          const Cameras& cameras,
                                          const Environment& environment) const {
  set_cameras(cameras);
  Environment changes = camera_environment(folder_ / kRuntime);
  for (const auto& [name, value] : environment) changes[name] = value;
  std::vector<std::string> argv = {fs::path(program).filename().string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return std::make_unique<Program>(program, argv, changes, folder_, folder_ / kRuntime);
}

Finished CameraRig::run(const std::string& program, const std::vector<std::string>& args,
                        const Cameras& cameras, std::chrono::milliseconds limit) const {
  const Finished finished = start(program, args, cameras)->finish(limit);
  EXPECT_FALSE(finished.ending == Ending{})
      << program << ": still running after " << limit.count() << " ms";
  return finished;
}

void CameraRig::expect_runs(const std::vector<ExpectedRun>& runs, const Cameras& cameras) const {
  for (const ExpectedRun& expected : runs) {
    SCOPED_TRACE(expected.program + " " + ::testing::PrintToString(expected.args));
    const Finished finished = run(expected.program, expected.args, cameras);
    EXPECT_EQ(finished, e2e::finished(expected.status, expected.out));
    EXPECT_EQ(finished.err, "");
  }
}

fs::path CameraRig::file(const std::string& name) const { return folder_ / fs::u8path(name); }

std::vector<std::string> CameraRig::files_left() const {
  std::vector<std::string> names;
  for (auto entry = fs::recursive_directory_iterator(folder_); entry != fs::end(entry); ++entry) {
    const std::string name = entry->path().lexically_relative(folder_).u8string();
    if (name == kRuntime) entry.disable_recursion_pending();
    if (!entry->is_directory() && name != kSettings && name != kLog) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> CameraRig::log() const {
  std::ifstream in(folder_ / kLog);
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

std::vector<std::string> CameraRig::log_of(int camera) const {
  const std::string number = std::to_string(camera);
  std::vector<std::string> matching;
  for (const std::string& line : log())
    if (line.compare(0, number.size(), number) == 0 && line.size() > number.size() &&
        (line[number.size()] == '.' || line[number.size()] == ' '))
      matching.push_back(line);
  return matching;
}

bool CameraRig::wait_for_log(const std::string& text, std::size_t count,
                             std::chrono::milliseconds limit) const {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (log_with(text).size() < count && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(20ms);
  return log_with(text).size() >= count;
}

void CameraRig::forget_log() const { fs::remove(folder_ / kLog); }

std::map<int, int> CameraRig::setups() const {
  std::map<int, int> counted;
  for (const std::string& line : log_ending(" set up")) ++counted[std::stoi(line)];
  return counted;
}

void CameraRig::expect_all_closed() const {
  for (const std::string& open : log_with(" open")) {
    const std::string closed = open.substr(0, open.find(' ')) + " close";
    EXPECT_THAT(log_with(" close"), ::testing::Contains(closed)) << open;
  }
}

}  // namespace e2e
