// Where the end-to-end tests see the programs' windows and key into them, the same on
// both platforms: on Linux an Xvfb display of the test's own, driven with xdotool
// (display_x11.cpp); under Wine the desktop the test program runs on, driven through the
// Windows API (display_windows.cpp).
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "program.h"

namespace e2e {

// A window as the display knows it: an X window id, or a Windows window handle.
struct Window {
  std::string id;
  explicit operator bool() const { return !id.empty(); }
};

constexpr char kEsc = 27;

class Display {
 public:
  Display();  // on Linux, starts Xvfb on the first free display number
  ~Display();
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // False where windows cannot be shown: no Xvfb or xdotool, or the server did not come up.
  bool available() const;
  // Why a display that should be there is not; "" when it is, or is not installed.
  const std::string& failure() const { return failure_; }
  // What a program is given to show its windows here.
  Environment environment() const;

  // The window of exactly this title that `program` shows, once it is there; empty when
  // none came in time.
  Window wait_for_window(const Program& program, const std::string& title,
                         std::chrono::milliseconds timeout) const;
  // Whether `program` shows a window of exactly this title now.
  bool shows(const Program& program, const std::string& title) const;
  // Presses a key in the window as the keyboard would: a character, or kEsc.
  void press(const Window& window, char key) const;
  // Waits for the window to show a picture of `width` by `height` (a window can appear
  // before it takes its first picture's size): "" once it does, else the size it had
  // at the end, e.g. "shows 320x240". Under Wine the picture's own area is measured,
  // exactly; on X11 the window's inside, which a toolkit's bars (Qt's) make larger.
  std::string wait_for_picture(const Window& window, int width, int height,
                               std::chrono::milliseconds timeout) const;
  // A picture of the window as it is on screen, for a person to look at after a run,
  // named `name` with the platform's picture extension (.png, .bmp) in `folder`.
  bool keep_picture(const Window& window, const std::filesystem::path& folder,
                    const std::string& name) const;

 private:
  struct Server;  // the platform's display
  std::unique_ptr<Server> server_;
  std::string failure_;
};

// For a test's SetUp or start: skips the test where no display can be had here, and
// fails it where one should be but did not start, which is a fault of the machine that a
// skip would hide.
void require_display(const Display& display);

}  // namespace e2e
