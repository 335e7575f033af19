// capture.exe and camprobe.exe as a Windows parent runs them, with no camera: standard
// output read through a pipe, byte for byte, line ends included.
#include <gtest/gtest.h>

#include "camera_rig.h"
#include "capture_help.h"

namespace {

using e2e::CameraRig;

const char kCapture[] = CAPTURE_PROGRAM;
const char kCamprobe[] = CAMPROBE_PROGRAM;

TEST(WindowsPrograms, EachRunWithNoCameraIsItsOneLineAndStatus) {
  if (const std::string why = e2e::why_no_virtual_camera(); !why.empty()) GTEST_SKIP() << why;
  CameraRig("no-camera").expect_runs({
      {kCapture, {"-h"}, cam::testing::capture_help("capture.exe", "\r\n"), -1},
      {kCapture, {"-v"}, "ver. 1.0\r\n", -1},
      {kCapture, {}, "can not open capture camera\r\n", -1},
      {kCapture, {"-a", "-n", "0"}, "", 0},  // the viewer with no cameras ends at once
      {kCamprobe, {"-n"}, "nCam = 0\r\n", 0},
      {kCamprobe, {"-c", "1"}, "error cn=1\r\n", 0},
  }, 0);
}

}  // namespace
