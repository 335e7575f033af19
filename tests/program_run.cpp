#include "program_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "read_file.h"

namespace cam::testing {

namespace {

std::string read_all(std::FILE* in) {
  std::string bytes;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
  return bytes;
}

std::string error_path() {
  static std::atomic<int> count{0};
  return ::testing::TempDir() + "program-stderr-" + std::to_string(getpid()) + "-" +
         std::to_string(count++) + ".txt";
}

}  // namespace

ProgramRun run_program(const std::string& command_line) {
  const std::string err_path = error_path();
  const std::string full = "unset DISPLAY WAYLAND_DISPLAY; export LD_PRELOAD='" VIRTUAL_CAMERA_LIBRARY
                           "' VCAM_COUNT=0; " + command_line + " 2>'" + err_path + "' </dev/null";
  ProgramRun result;
  std::FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return result;
  result.out = read_all(pipe);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.err = read_file(err_path);
  std::remove(err_path.c_str());
  return result;
}

void expect_run(const std::string& command_line, const std::string& out, int status) {
  const ProgramRun run = run_program(command_line);
  EXPECT_EQ(run.out, out) << command_line;
  EXPECT_EQ(run.status, status) << command_line;
  EXPECT_EQ(run.err, "") << command_line;
}

}  // namespace cam::testing
