// The built camprobe program with the real OpenCV, on a machine without a camera, run as
// the Java application runs it: a child process whose one line it reads from a pipe.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "program_run.h"

namespace cam::testing {
namespace {

const std::string kCamprobe = CAMPROBE_PROGRAM;

// Runs camprobe with the device-open log preloaded and returns the video devices it
// tried to open, one per line.
std::string devices_opened_by(const std::string& args, ProgramRun& run) {
  // A log of each test's own: tests may run side by side.
  const std::string log = ::testing::TempDir() + "camprobe-devices-" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::remove(log.c_str());
  run = run_program("DEVICE_OPEN_LOG='" + log + "' LD_PRELOAD='" DEVICE_OPEN_LOG_LIBRARY "' '" +
                    kCamprobe + "' " + args);
  std::ifstream in(log);
  std::string opened(std::istreambuf_iterator<char>(in), {});
  std::remove(log.c_str());
  return opened;
}

TEST(CamprobeProgram, CountsNoCameraInOneLineAndStatusZero) {
  if (camera_attached()) GTEST_SKIP() << "a camera is attached to this machine";
  ProgramRun run;
  EXPECT_EQ(devices_opened_by("-n", run), "");  // no video node at all: none to open
  EXPECT_EQ(run.out, "nCam = 0\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");  // OpenCV's own warnings are silenced
}

TEST(CamprobeProgram, AParentReadingThePipeGetsTheCountLine) {
  if (camera_attached()) GTEST_SKIP() << "a camera is attached to this machine";
  std::FILE* pipe = popen(("'" + kCamprobe + "' -n 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[64] = {};
  const bool got_line = std::fgets(line, sizeof line, pipe) != nullptr;
  const int status = pclose(pipe);
  ASSERT_TRUE(got_line);
  EXPECT_STREQ(line, "nCam = 0\n");
  EXPECT_EQ(status, 0);
}

TEST(CamprobeProgram, AMissingCameraIsReportedWithStatusZero) {
  if (camera_attached()) GTEST_SKIP() << "a camera is attached to this machine";
  ProgramRun run;
  // Camera 0 is missing too; the line names the camera asked for.
  EXPECT_EQ(devices_opened_by("-c 1", run), "");
  EXPECT_EQ(run.out, "error cn=1\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}

TEST(CamprobeProgram, ACameraNumberPastTheSlotsOpensNothing) {
  ProgramRun run;
  EXPECT_EQ(devices_opened_by("-c 7", run), "");
  EXPECT_EQ(run.out, "error cn=7\n");
  EXPECT_EQ(run.status, 0);
}

TEST(CamprobeProgram, ANameWithoutAnImageFormatOpensNothing) {
  ProgramRun run;
  EXPECT_EQ(devices_opened_by("-f shot.xyz", run), "");
  EXPECT_EQ(run.out, "error file=shot.xyz\n");
  EXPECT_EQ(run.status, 0);
}

// The count is what a parent waits for: it must not pay for a window toolkit it never uses.
TEST(CamprobeProgram, CountingLoadsNoWindowToolkit) {
  const ProgramRun run = run_program("LD_DEBUG=libs '" + kCamprobe + "' -n");
  EXPECT_EQ(run.status, 0);
  ASSERT_NE(run.err.find("libc.so.6"), std::string::npos) << "the loader's log is missing";
  EXPECT_EQ(run.err.find("libgtk"), std::string::npos);
  EXPECT_EQ(run.err.find("libQt"), std::string::npos);
}

}  // namespace
}  // namespace cam::testing
