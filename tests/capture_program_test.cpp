// The built capture program with the real OpenCV, on a machine without a camera: what a
// user at a console or a parent process reading the pipe sees.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string read_all(std::FILE* in) {
  std::string bytes;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
  return bytes;
}

// Runs a shell command line with no display, reading standard output through a pipe as a
// parent would and keeping standard error apart.
ProgramRun run(const std::string& command_line) {
  const std::string err_path = ::testing::TempDir() + "capture-program-stderr.txt";
  const std::string full =
      "unset DISPLAY WAYLAND_DISPLAY; " + command_line + " 2>'" + err_path + "' </dev/null";
  ProgramRun result;
  std::FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return result;
  result.out = read_all(pipe);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(err_path, std::ios::binary);
  result.err.assign(std::istreambuf_iterator<char>(err), {});
  return result;
}

const std::string kCapture = CAPTURE_PROGRAM;

const char kHelpLines[] =
    "-c camNo\n"
    "-f filename [need .tif/.jpg]\n"
    "-n  n [n is max cam no.]\n"
    "-a  [Open all cam.]\n"
    "-v  [version.]\n"
    "-w  [Open one window.]\n"
    "-h  [help]\n";

bool camera_attached() {
  return fs::exists("/dev/video0");
}

TEST(CaptureProgram, HelpShowsTheNameAsTypedAndExitsWith255) {
  const ProgramRun by_path = run("'" + kCapture + "' -h");
  EXPECT_EQ(by_path.out, kCapture + " ver. 1.0\n" + kHelpLines);
  EXPECT_EQ(by_path.status, 255);
  EXPECT_EQ(by_path.err, "");

  const fs::path folder = fs::path(kCapture).parent_path();
  const ProgramRun relative = run("cd '" + folder.string() + "' && ./capture -h");
  EXPECT_EQ(relative.out, std::string("./capture ver. 1.0\n") + kHelpLines);
  EXPECT_EQ(relative.status, 255);
}

TEST(CaptureProgram, VersionAndRangeErrorExitWith255) {
  const ProgramRun version = run("'" + kCapture + "' -c 3 -v");
  EXPECT_EQ(version.out, "ver. 1.0\n");
  EXPECT_EQ(version.status, 255);

  const ProgramRun range = run("'" + kCapture + "' -c 16");
  EXPECT_EQ(range.out, "Over Cam No [<16]\n");
  EXPECT_EQ(range.status, 255);
  EXPECT_EQ(range.err, "");
}

TEST(CaptureProgram, ANameWithoutAnImageFormatIsRefused) {
  const ProgramRun run_result = run("'" + kCapture + "' -f shot.xyz");
  EXPECT_EQ(run_result.out, "can not save image shot.xyz\n");
  EXPECT_EQ(run_result.status, 255);
}

TEST(CaptureProgram, NoCameraIsReportedOnStandardOutputAlone) {
  if (camera_attached()) GTEST_SKIP() << "a camera is attached to this machine";
  const ProgramRun result = run("'" + kCapture + "'");
  EXPECT_EQ(result.out, "can not open capture camera\n");
  EXPECT_EQ(result.status, 255);
  // OpenCV's own warnings are silenced: the one line above is all a caller gets.
  EXPECT_EQ(result.err, "");

  const ProgramRun viewer = run("'" + kCapture + "' -a -n 2");
  EXPECT_EQ(viewer.out, "can not open capture camera 0\n");
  EXPECT_EQ(viewer.status, 255);
  EXPECT_EQ(viewer.err, "");
}

TEST(CaptureProgram, TheViewerWithNoCountEndsAtOnce) {
  const ProgramRun result = run("'" + kCapture + "' -a");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 0);
}

}  // namespace
