#include "virtual_display.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace e2e {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool have_program(const char* name) {
  const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace

// Xvfb picks a free display number itself and tells it on its standard output
// (-displayfd 1), so tests that start displays side by side never end up sharing one.
VirtualDisplay::VirtualDisplay() {
  if (!have_program("Xvfb") || !have_program("xdotool")) return;
  auto server = std::make_unique<Program>(
      "Xvfb", std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24",
                                     "-nolisten", "tcp"},
      Environment{}, "/", fs::temp_directory_path());
  const std::string line = server->read_line(10s);
  const std::string number = line.substr(0, line.find('\n'));
  if (line.empty() || line.back() != '\n' || number.empty() || !server->running()) {
    failure_ = server->started() ? "Xvfb named no display within 10 s (it said \"" + number + "\")"
                                 : "Xvfb could not be started";
    return;
  }
  xvfb_ = std::move(server);
  name_ = ":" + number;
}

void require_display(const VirtualDisplay& display) {
  if (display.available()) return;
  if (!display.failure().empty()) FAIL() << display.failure();
  GTEST_SKIP() << "no Xvfb or xdotool to show windows on";
}

VirtualDisplay::~VirtualDisplay() {
  // Asked to end, the server removes its socket and lock file.
  if (xvfb_ != nullptr && xvfb_->running()) kill(static_cast<pid_t>(xvfb_->id()), SIGTERM);
  if (xvfb_ != nullptr) xvfb_->wait(10s);
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
  // No window: say whether the display itself is gone.
  if (xvfb_ != nullptr && !xvfb_->running()) ADD_FAILURE() << "Xvfb " << name_ << " has ended";
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

std::pair<int, int> VirtualDisplay::wait_for_size(const std::string& window, int width,
                                                  int height,
                                                  std::chrono::milliseconds timeout) const {
  std::pair<int, int> size{0, 0};
  for (auto waited = 0ms; waited < timeout; waited += 100ms) {
    std::istringstream shell(must("xdotool getwindowgeometry --shell " + window).out);
    for (std::string line; std::getline(shell, line);) {
      if (line.rfind("WIDTH=", 0) == 0) size.first = std::stoi(line.substr(6));
      if (line.rfind("HEIGHT=", 0) == 0) size.second = std::stoi(line.substr(7));
    }
    if (size.first >= width && size.second >= height) break;
    std::this_thread::sleep_for(100ms);
  }
  return size;
}

bool VirtualDisplay::screenshot(const std::string& png_file, const std::string& window) const {
  return must("import -window " + window + " '" + png_file + "'").status == 0 &&
         fs::exists(png_file);
}

}  // namespace e2e
