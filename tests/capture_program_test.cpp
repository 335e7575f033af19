// The built capture program with the real OpenCV, on a machine without a camera: what a
// user at a console or a parent process reading the pipe sees.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "capture_help.h"
#include "program_run.h"

namespace cam::testing {
namespace {

namespace fs = std::filesystem;

const std::string kCapture = CAPTURE_PROGRAM;

TEST(CaptureProgram, HelpShowsTheNameAsTypedAndExitsWith255) {
  const ProgramRun by_path = run_program("'" + kCapture + "' -h");
  EXPECT_EQ(by_path.out, capture_help(kCapture, "\n"));
  EXPECT_EQ(by_path.status, 255);
  EXPECT_EQ(by_path.err, "");

  const fs::path folder = fs::path(kCapture).parent_path();
  const ProgramRun relative = run_program("cd '" + folder.string() + "' && ./capture -h");
  EXPECT_EQ(relative.out, capture_help("./capture", "\n"));
  EXPECT_EQ(relative.status, 255);
}

TEST(CaptureProgram, VersionAndRangeErrorExitWith255) {
  const ProgramRun version = run_program("'" + kCapture + "' -c 3 -v");
  EXPECT_EQ(version.out, "ver. 1.0\n");
  EXPECT_EQ(version.status, 255);

  const ProgramRun range = run_program("'" + kCapture + "' -c 16");
  EXPECT_EQ(range.out, "Over Cam No [<16]\n");
  EXPECT_EQ(range.status, 255);
  EXPECT_EQ(range.err, "");
}

TEST(CaptureProgram, ANameWithoutAnImageFormatIsRefused) {
  const ProgramRun run_result = run_program("'" + kCapture + "' -f shot.xyz");
  EXPECT_EQ(run_result.out, "can not save image shot.xyz\n");
  EXPECT_EQ(run_result.status, 255);
}

TEST(CaptureProgram, NoCameraIsReportedOnStandardOutputAlone) {
  if (camera_attached()) GTEST_SKIP() << "a camera is attached to this machine";
  const ProgramRun result = run_program("'" + kCapture + "'");
  EXPECT_EQ(result.out, "can not open capture camera\n");
  EXPECT_EQ(result.status, 255);
  // OpenCV's own warnings are silenced: the one line above is all a caller gets.
  EXPECT_EQ(result.err, "");

  const ProgramRun viewer = run_program("'" + kCapture + "' -a -n 2");
  EXPECT_EQ(viewer.out, "can not open capture camera 0\n");
  EXPECT_EQ(viewer.status, 255);
  EXPECT_EQ(viewer.err, "");
}

TEST(CaptureProgram, TheViewerWithNoCountEndsAtOnce) {
  const ProgramRun result = run_program("'" + kCapture + "' -a");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 0);
}

}  // namespace
}  // namespace cam::testing
