#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "display.h"

namespace e2e {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool have_program(const char* name) {
  const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

struct Result {
  int status = -1;  // 124: did not end within its limit; -1: did not run or end
  std::string out;
};

}  // namespace

struct Display::Server {
  std::unique_ptr<Program> xvfb;
  std::string name;  // e.g. ":93"

  // Runs an X client on this display, within a limit: xdotool's --sync and import wait
  // for the server, which a stuck display would leave waiting for ever.
  Result x(const std::string& arguments) const {
    const std::string command = "DISPLAY=" + name + " timeout 10 " + arguments + " 2>/dev/null";
    Result result;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[512];
      while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.out += buffer;
      const int raw = pclose(pipe);
      result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return result;
  }

  // The same for a client that must succeed: a failure fails the test, saying which.
  Result must(const std::string& arguments) const {
    const Result result = x(arguments);
    if (result.status != 0)
      ADD_FAILURE() << arguments << ": status " << result.status
                    << (result.status == 124 ? " (not done within 10 s)" : "");
    return result;
  }

  // The visible windows of exactly this title. Titles here need no escaping as patterns.
  std::vector<std::string> windows(const std::string& title) const {
    const std::string search = "xdotool search --onlyvisible --name '^" + title + "$'";
    const Result result = x(search);
    // Status 1 is xdotool's "none found".
    if (result.status != 0 && result.status != 1)
      ADD_FAILURE() << search << ": status " << result.status;
    std::istringstream ids(result.out);
    std::vector<std::string> found;
    for (std::string id; ids >> id;) found.push_back(id);
    return found;
  }
};

// Xvfb picks a free display number itself and tells it on its standard output
// (-displayfd 1), so tests that start displays side by side never end up sharing one.
// -noreset: it would reset whenever its last client leaves, and refuse a program that
// connects just then (scripts/lib/virtual_display.py, whose test shows it, says more).
Display::Display() {
  if (!have_program("Xvfb") || !have_program("xdotool")) return;
  auto xvfb = std::make_unique<Program>(
      "Xvfb",
      std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp", "-noreset"},
      Environment{}, "/", fs::temp_directory_path());
  const std::string line = xvfb->read_line(10s);
  const std::string number = line.substr(0, line.find('\n'));
  if (line.empty() || line.back() != '\n' || number.empty() || !xvfb->running()) {
    failure_ = xvfb->started() ? "Xvfb named no display within 10 s (it said \"" + number + "\")"
                               : "Xvfb could not be started";
    return;
  }
  server_ = std::make_unique<Server>(Server{std::move(xvfb), ":" + number});
}

Display::~Display() {
  if (server_ == nullptr) return;
  // Asked to end, the server removes its socket and lock file.
  if (server_->xvfb->running()) kill(static_cast<pid_t>(server_->xvfb->id()), SIGTERM);
  server_->xvfb->wait(10s);
}

bool Display::available() const {
  return server_ != nullptr;
}

Environment Display::environment() const {
  return {{"DISPLAY", server_ != nullptr ? server_->name : ""}};
}

void require_display(const Display& display) {
  if (display.available()) return;
  if (!display.failure().empty()) FAIL() << display.failure();
  GTEST_SKIP() << "no Xvfb or xdotool to show windows on";
}

// The display is the test's own, so a window of that title can only be the program's.
Window Display::wait_for_window(const Program&, const std::string& title,
                                std::chrono::milliseconds timeout) const {
  for (auto waited = 0ms; waited < timeout; waited += 100ms) {
    const std::vector<std::string> found = server_->windows(title);
    if (!found.empty()) return {found.front()};
    std::this_thread::sleep_for(100ms);
  }
  // No window: say whether the display itself is gone.
  if (!server_->xvfb->running()) ADD_FAILURE() << "Xvfb " << server_->name << " has ended";
  return {};
}

bool Display::shows(const Program&, const std::string& title) const {
  return !server_->windows(title).empty();
}

void Display::press(const Window& window, char key) const {
  const std::string name = key == kEsc ? "Escape" : std::string(1, key);
  // Through XTEST to the focused window: GTK ignores keys sent to a window directly.
  server_->must("xdotool windowfocus --sync " + window.id + " key " + name);
}

std::string Display::wait_for_picture(const Window& window, int width, int height,
                                      std::chrono::milliseconds timeout) const {
  int shown_width = 0, shown_height = 0;
  for (auto waited = 0ms; waited < timeout; waited += 100ms) {
    std::istringstream shell(server_->must("xdotool getwindowgeometry --shell " + window.id).out);
    for (std::string line; std::getline(shell, line);) {
      if (line.rfind("WIDTH=", 0) == 0) shown_width = std::stoi(line.substr(6));
      if (line.rfind("HEIGHT=", 0) == 0) shown_height = std::stoi(line.substr(7));
    }
    if (shown_width >= width && shown_height >= height) return "";
    std::this_thread::sleep_for(100ms);
  }
  return "shows " + std::to_string(shown_width) + "x" + std::to_string(shown_height);
}

bool Display::keep_picture(const Window& window, const fs::path& folder,
                           const std::string& name) const {
  fs::create_directories(folder);
  const fs::path file = folder / (name + ".png");
  return server_->must("import -window " + window.id + " '" + file.string() + "'").status == 0 &&
         fs::exists(file);
}

}  // namespace e2e
