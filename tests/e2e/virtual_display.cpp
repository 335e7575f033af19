#include "virtual_display.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool have_program(const char* name) {
  const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace

// Xvfb picks a free display number itself (-displayfd) and tells it through a pipe, so
// tests that start displays side by side never end up sharing one.
VirtualDisplay::VirtualDisplay() {
  if (!have_program("Xvfb") || !have_program("xdotool")) return;
  int ends[2];
  if (pipe(ends) != 0) return;
  const std::string fd = std::to_string(ends[1]);
  const char* argv[] = {"Xvfb",      "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                        "-nolisten", "tcp",        nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, ends[0]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
  pid_t pid = -1;
  const int failed =
      posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (failed) {
    close(ends[0]);
    failure_ = std::string("Xvfb could not be started: ") + std::strerror(failed);
    return;
  }
  std::string number;
  pollfd ready = {ends[0], POLLIN, 0};
  char c = 0;
  while (poll(&ready, 1, 10000) == 1 && read(ends[0], &c, 1) == 1 && c != '\n') number += c;
  close(ends[0]);
  if (c != '\n' || number.empty() || waitpid(pid, nullptr, WNOHANG) != 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    failure_ = "Xvfb named no display within 10 s (it said \"" + number + "\")";
    return;
  }
  pid_ = pid;
  name_ = ":" + number;
}

void require_display(const VirtualDisplay& display) {
  if (display.available()) return;
  if (!display.failure().empty()) FAIL() << display.failure();
  GTEST_SKIP() << "no Xvfb or xdotool to show windows on";
}

VirtualDisplay::~VirtualDisplay() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

// Each helper has a limit: xdotool's --sync and import wait for the server, which a
// stuck display would leave waiting for ever. A helper that fails says so in the test.
VirtualDisplay::Result VirtualDisplay::x(const std::string& arguments) const {
  const std::string command = "DISPLAY=" + name_ + " timeout 10 " + arguments + " 2>/dev/null";
  Result result;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.out += buffer;
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  return result;
}

VirtualDisplay::Result VirtualDisplay::must(const std::string& arguments) const {
  const Result result = x(arguments);
  if (result.status != 0)
    ADD_FAILURE() << arguments << ": status " << result.status
                  << (result.status == 124 ? " (not done within 10 s)" : "");
  return result;
}

std::vector<std::string> VirtualDisplay::windows(const std::string& title_pattern) const {
  const std::string search = "xdotool search --onlyvisible --name '" + title_pattern + "'";
  const Result result = x(search);
  // Status 1 is xdotool's "none found".
  if (result.status != 0 && result.status != 1)
    ADD_FAILURE() << search << ": status " << result.status;
  std::istringstream ids(result.out);
  std::vector<std::string> found;
  for (std::string id; ids >> id;) found.push_back(id);
  return found;
}

std::string VirtualDisplay::wait_for_window(const std::string& title_pattern,
                                            std::chrono::milliseconds timeout) const {
  for (auto waited = 0ms; waited < timeout; waited += 100ms) {
    const std::vector<std::string> found = windows(title_pattern);
    if (!found.empty()) return found.front();
    std::this_thread::sleep_for(100ms);
  }
  // No window: say whether the display itself is gone (asked without reaping it, so
  // that the destructor's kill cannot reach another process of the same number).
  siginfo_t ended = {};
  if (pid_ > 0 && waitid(P_PID, pid_, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
      ended.si_pid == pid_)
    ADD_FAILURE() << "Xvfb " << name_ << " has ended";
  return "";
}

bool VirtualDisplay::wait_until_gone(const std::string& title_pattern,
                                     std::chrono::milliseconds timeout) const {
  for (auto waited = 0ms; waited < timeout; waited += 100ms) {
    if (windows(title_pattern).empty()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

void VirtualDisplay::press(const std::string& window, const std::string& key) const {
  // Through XTEST to the focused window: GTK ignores keys sent to a window directly.
  must("xdotool windowfocus --sync " + window + " key " + key);
}

std::pair<int, int> VirtualDisplay::size_of(const std::string& window) const {
  std::istringstream shell(must("xdotool getwindowgeometry --shell " + window).out);
  int width = 0, height = 0;
  for (std::string line; std::getline(shell, line);) {
    if (line.rfind("WIDTH=", 0) == 0) width = std::stoi(line.substr(6));
    if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
  }
  return {width, height};
}

bool VirtualDisplay::screenshot(const std::string& png_file, const std::string& window) const {
  return must("import -window " + window + " '" + png_file + "'").status == 0 &&
         fs::exists(png_file);
}

}  // namespace e2e
