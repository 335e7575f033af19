// The built capture and camprobe with the real OpenCV, beyond the runs with no camera that
// every platform shares (e2e/camera_cases_e2e_test.cpp): help under the name as typed,
// and what a count loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "camera_rig.h"
#include "capture_help.h"

namespace e2e {
namespace {

const std::string kCapture = CAPTURE_PROGRAM;
const std::string kCamprobe = CAMPROBE_PROGRAM;

TEST(CaptureProgram, HelpShowsTheNameAsTypedAndExitsWith255) {
  CameraRig rig("help");
  const std::filesystem::path folder = std::filesystem::path(kCapture).parent_path();
  for (const std::string& typed : {kCapture, std::string("./capture")}) {
    Program help(kCapture, {typed, "-h"}, camera_environment(rig.folder()), folder, rig.folder());
    EXPECT_EQ(help.wait(10s), 255) << typed;
    EXPECT_EQ(help.output(), cam::testing::capture_help(typed, "\n"));
  }
}

// The count is what a parent waits for: it must not pay for a window toolkit it never uses.
TEST(CamprobeProgram, CountingLoadsNoWindowToolkit) {
  CameraRig rig("count-libraries");
  auto count = rig.start(kCamprobe, {"-n"}, 0, {{"LD_DEBUG", "libs"}});
  EXPECT_EQ(count->wait(10s), 0);
  const std::string loaded = count->errors();
  ASSERT_NE(loaded.find("libc.so.6"), std::string::npos) << "the loader's log is missing";
  EXPECT_EQ(loaded.find("libgtk"), std::string::npos);
  EXPECT_EQ(loaded.find("libQt"), std::string::npos);
}

}  // namespace
}  // namespace e2e
