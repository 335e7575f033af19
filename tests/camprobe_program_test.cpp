// The built camprobe program with the real OpenCV, with no camera, run as
// the Java application runs it: a child process whose one line it reads from a pipe.
#include <gtest/gtest.h>

#include <string>

#include "program_run.h"

namespace cam::testing {
namespace {

const std::string kCamprobe = "'" CAMPROBE_PROGRAM "'";

// OpenCV's own warnings are silenced: the line is all a caller gets. A missing camera
// is named as asked for, although camera 0 is missing too.
TEST(CamprobeProgram, NoCameraIsOneLineAndStatusZero) {
  expect_run(kCamprobe + " -n", "nCam = 0\n", 0);
  expect_run(kCamprobe + " -c 1", "error cn=1\n", 0);
}

// The count is what a parent waits for: it must not pay for a window toolkit it never uses.
TEST(CamprobeProgram, CountingLoadsNoWindowToolkit) {
  const ProgramRun run = run_program("LD_DEBUG=libs " + kCamprobe + " -n");
  EXPECT_EQ(run.status, 0);
  ASSERT_NE(run.err.find("libc.so.6"), std::string::npos) << "the loader's log is missing";
  EXPECT_EQ(run.err.find("libgtk"), std::string::npos);
  EXPECT_EQ(run.err.find("libQt"), std::string::npos);
}

}  // namespace
}  // namespace cam::testing
