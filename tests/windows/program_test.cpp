// capture.exe and camprobe.exe as a Windows parent runs them, with no camera: standard
// output read through a pipe, byte for byte, line ends included.
#include <gtest/gtest.h>

#include "camera_rig.h"
#include "capture_help.h"

namespace {

using e2e::CameraRig;
using e2e::Finished;

const char kCapture[] = CAPTURE_PROGRAM;
const char kCamprobe[] = CAMPROBE_PROGRAM;

struct Case {
  const char* program;
  std::vector<std::string> args;
  std::string out;
  int status;
};

TEST(WindowsPrograms, EachRunWithNoCameraIsItsOneLineAndStatus) {
  if (const std::string why = e2e::why_no_virtual_camera(); !why.empty()) GTEST_SKIP() << why;
  const Case cases[] = {
      {kCapture, {"-h"}, cam::testing::capture_help("capture.exe", "\r\n"), -1},
      {kCapture, {"-v"}, "ver. 1.0\r\n", -1},
      {kCapture, {}, "can not open capture camera\r\n", -1},
      {kCapture, {"-a", "-n", "0"}, "", 0},  // the viewer with no cameras ends at once
      {kCamprobe, {"-n"}, "nCam = 0\r\n", 0},
      {kCamprobe, {"-c", "1"}, "error cn=1\r\n", 0},
  };
  CameraRig rig("no-camera");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + ::testing::PrintToString(c.args));
    const Finished run = rig.run(c.program, c.args, 0);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.ending, c.status);
    EXPECT_EQ(run.err, "");
  }
}

}  // namespace
