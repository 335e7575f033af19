// Runs a built program as a parent process would: standard output read through a pipe,
// standard error kept apart, no display, and no camera whatever the machine has: the
// virtual camera stands in for every /dev/video node, with none there.
#pragma once

#include <string>

namespace cam::testing {

struct ProgramRun {
  int status = -1;  // the exit status as a parent sees it (0 to 255), -1 if none
  std::string out;
  std::string err;
};

// Runs `command_line` through the shell with DISPLAY and WAYLAND_DISPLAY unset, no
// camera and standard input empty.
ProgramRun run_program(const std::string& command_line);

// Runs `command_line` and checks what a parent sees: exactly `out` on standard output,
// `status`, and nothing on standard error.
void expect_run(const std::string& command_line, const std::string& out, int status);

}  // namespace cam::testing
