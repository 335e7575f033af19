// The built camprobe program with the real OpenCV, on a machine without a camera, run as
// the Java application runs it: a child process whose one line it reads from a pipe.
#include <gtest/gtest.h>

#include <string>

#include "program_run.h"

namespace cam::testing {
namespace {

const std::string kCamprobe = CAMPROBE_PROGRAM;

TEST(CamprobeProgram, CountsNoCameraInOneLineAndStatusZero) {
  if (camera_attached()) GTEST_SKIP() << "a camera is attached to this machine";
  const ProgramRun run = run_program("'" + kCamprobe + "' -n");
  EXPECT_EQ(run.out, "nCam = 0\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");  // OpenCV's own warnings are silenced
}

TEST(CamprobeProgram, AMissingCameraIsReportedWithStatusZero) {
  if (camera_attached()) GTEST_SKIP() << "a camera is attached to this machine";
  // Camera 0 is missing too; the line names the camera asked for.
  const ProgramRun run = run_program("'" + kCamprobe + "' -c 1");
  EXPECT_EQ(run.out, "error cn=1\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
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
