// capture.exe and camprobe.exe as a Windows parent runs them: standard output read through
// a pipe, byte for byte, line ends included. They run on the virtual camera with no camera
// in it (CTest says VCAM_COUNT=0), whatever cameras the machine has.
#include <gtest/gtest.h>

#include "capture_help.h"
#include "virtual_camera_preload.h"
#include "windows_parent.h"

namespace {

using wintest::ProgramRun;
using wintest::run;

const char kCapture[] = CAPTURE_PROGRAM;
const char kCamprobe[] = CAMPROBE_PROGRAM;

class WithNoCamera : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = wintest::why_no_virtual_camera(); !why.empty()) GTEST_SKIP() << why;
  }
};
using WindowsCapture = WithNoCamera;
using WindowsCamprobe = WithNoCamera;

TEST_F(WindowsCapture, HelpAndVersionEndEachLineWithCrLfAndReturnMinusOne) {
  const ProgramRun help = run(kCapture, "capture.exe -h");
  EXPECT_EQ(help.out, cam::testing::capture_help("capture.exe", "\r\n"));
  EXPECT_EQ(help.status, -1);
  EXPECT_EQ(help.err, "");

  const ProgramRun version = run(kCapture, "capture.exe -v");
  EXPECT_EQ(version.out, "ver. 1.0\r\n");
  EXPECT_EQ(version.status, -1);
}

TEST_F(WindowsCapture, NoCameraIsOneLineOnStandardOutput) {
  const ProgramRun result = run(kCapture, "capture.exe");
  EXPECT_EQ(result.out, "can not open capture camera\r\n");
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.err, "");
}

TEST_F(WindowsCapture, TheViewerWithNoCamerasEndsAtOnce) {
  const ProgramRun result = run(kCapture, "capture.exe -a -n 0");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 0);
}

TEST_F(WindowsCamprobe, CountsNoCameraInOneLine) {
  const ProgramRun result = run(kCamprobe, "camprobe.exe -n");
  EXPECT_EQ(result.out, "nCam = 0\r\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
}

TEST_F(WindowsCamprobe, AMissingCameraIsReportedWithStatusZero) {
  const ProgramRun result = run(kCamprobe, "camprobe.exe -c 1");
  EXPECT_EQ(result.out, "error cn=1\r\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
}

}  // namespace
