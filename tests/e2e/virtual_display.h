// An Xvfb display of the test's own, and the window and key work done on it with xdotool.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "program.h"

namespace e2e {

class VirtualDisplay {
 public:
  VirtualDisplay();  // starts Xvfb on the first free display number
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // False when Xvfb or xdotool is missing or the server did not come up.
  bool available() const { return xvfb_ != nullptr; }
  // Why an installed Xvfb gave no display; "" when it did, or is not installed.
  const std::string& failure() const { return failure_; }
  const std::string& name() const { return name_; }  // e.g. ":93"
  // What a program is given to show its windows here.
  Environment environment() const { return {{"DISPLAY", name_}}; }

  // The windows whose title matches the extended regular expression, e.g. "^CAM  0$".
  std::vector<std::string> windows(const std::string& title_pattern) const;
  // The first such window once it is there; empty when none came in time.
  std::string wait_for_window(const std::string& title_pattern,
                              std::chrono::milliseconds timeout) const;
  // Whether no such window is left after at most `timeout`.
  bool wait_until_gone(const std::string& title_pattern, std::chrono::milliseconds timeout) const;
  // Sends a key (an X key name such as "x" or "Escape") to a window.
  void press(const std::string& window, const std::string& key) const;
  // Width and height of a window's inside once it is at least `width` by `height`: a
  // window can appear before the toolkit gives it the size of its picture. When it does
  // not grow that big in time, its last size ({0, 0} when it cannot be read).
  std::pair<int, int> wait_for_size(const std::string& window, int width, int height,
                                    std::chrono::milliseconds timeout) const;
  // A screenshot of a window, or of the whole screen, into a PNG file.
  bool screenshot(const std::string& png_file, const std::string& window = "root") const;

 private:
  struct Result {
    int status = -1;  // 124: did not end within its limit; -1: did not run or end
    std::string out;
  };
  // Runs a command on this display, within a limit.
  Result x(const std::string& arguments) const;
  // The same for a command that must succeed: a failure fails the test, saying which.
  Result must(const std::string& arguments) const;

  std::unique_ptr<Program> xvfb_;
  std::string name_;
  std::string failure_;
};

// For a test's SetUp or start: skips the test where Xvfb or xdotool is not installed, and
// fails it where they are but the server did not start, which is a fault of the machine
// that a skip would hide.
void require_display(const VirtualDisplay& display);

}  // namespace e2e
