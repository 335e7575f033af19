// The built capture program with the real OpenCV, with no camera: what a
// user at a console or a parent process reading the pipe sees.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "capture_help.h"
#include "program_run.h"

namespace cam::testing {
namespace {

namespace fs = std::filesystem;

const std::string kCapture = "'" CAPTURE_PROGRAM "'";

TEST(CaptureProgram, HelpShowsTheNameAsTypedAndExitsWith255) {
  expect_run(kCapture + " -h", capture_help(CAPTURE_PROGRAM, "\n"), 255);
  const fs::path folder = fs::path(CAPTURE_PROGRAM).parent_path();
  expect_run("cd '" + folder.string() + "' && ./capture -h", capture_help("./capture", "\n"), 255);
}

TEST(CaptureProgram, VersionAndRefusalsExitWith255) {
  expect_run(kCapture + " -c 3 -v", "ver. 1.0\n", 255);
  expect_run(kCapture + " -c 16", "Over Cam No [<16]\n", 255);
  expect_run(kCapture + " -f shot.xyz", "can not save image shot.xyz\n", 255);
}

// OpenCV's own warnings are silenced: the one line is all a caller gets.
TEST(CaptureProgram, NoCameraIsReportedOnStandardOutputAlone) {
  expect_run(kCapture, "can not open capture camera\n", 255);
  expect_run(kCapture + " -a -n 2", "can not open capture camera 0\n", 255);
}

TEST(CaptureProgram, TheViewerWithNoCountEndsAtOnce) {
  expect_run(kCapture + " -a", "", 0);
}

}  // namespace
}  // namespace cam::testing
