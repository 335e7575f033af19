// The built capture and camprobe with the real OpenCV and no camera, run as a user at a
// console or the Java application runs them: the one line read from a pipe, the status,
// nothing on standard error (OpenCV's own warnings are silenced).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "camera_rig.h"
#include "capture_help.h"

namespace e2e {
namespace {

const std::string kCapture = CAPTURE_PROGRAM;
const std::string kCamprobe = CAMPROBE_PROGRAM;

TEST(Programs, EachRunWithNoCameraIsItsOneLineAndStatus) {
  CameraRig("no-camera").expect_runs({
      {kCapture, {"-c", "3", "-v"}, "ver. 1.0\n", 255},
      {kCapture, {"-c", "16"}, "Over Cam No [<16]\n", 255},
      {kCapture, {"-f", "shot.xyz"}, "can not save image shot.xyz\n", 255},
      {kCapture, {}, "can not open capture camera\n", 255},
      {kCapture, {"-a", "-n", "2"}, "can not open capture camera 0\n", 255},
      {kCapture, {"-a"}, "", 0},  // the viewer with no count ends at once
      // A missing camera is named as asked for, although camera 0 is missing too.
      {kCamprobe, {"-n"}, "nCam = 0\n", 0},
      {kCamprobe, {"-c", "1"}, "error cn=1\n", 0},
  }, 0);
}

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
