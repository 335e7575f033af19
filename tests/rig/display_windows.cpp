#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <thread>

#include "display.h"
#include "screenshot.h"
#include "window_search.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

HWND handle_of(const Window& window) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::stoull(window.id)));
}

Window window_of(HWND handle) {
  if (handle == nullptr) return {};
  return {std::to_string(reinterpret_cast<std::uintptr_t>(handle))};
}

std::wstring wide(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

// Wine's desktop, on the X display Wine was started on.
struct Display::Server {};

Display::Display() {
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') server_ = std::make_unique<Server>();
}

Display::~Display() = default;

bool Display::available() const {
  return server_ != nullptr;
}

// Programs started from a Wine program share its desktop.
Environment Display::environment() const {
  return {};
}

void require_display(const Display& display) {
  if (!display.available()) GTEST_SKIP() << "no X display for Wine to show windows on";
}

Window Display::wait_for_window(const Program& program, const std::string& title,
                                std::chrono::milliseconds timeout) const {
  return window_of(wintest::wait_for_window({program.id(), wide(title), L""}, timeout));
}

bool Display::shows(const Program& program, const std::string& title) const {
  return static_cast<bool>(wait_for_window(program, title, 0ms));
}

// As the window's message loop receives a key from the keyboard.
void Display::press(const Window& window, char key) const {
  PostMessageA(handle_of(window), WM_CHAR, static_cast<WPARAM>(key), 1);
}

// OpenCV's window shows its picture in a child window of the picture's size.
std::string Display::wait_for_picture(const Window& window, int width, int height,
                                      std::chrono::milliseconds timeout) const {
  RECT area = {};
  for (auto waited = 0ms; waited < timeout; waited += 50ms) {
    HWND picture = GetWindow(handle_of(window), GW_CHILD);
    GetClientRect(picture ? picture : handle_of(window), &area);
    if (area.right - area.left == width && area.bottom - area.top == height) return "";
    std::this_thread::sleep_for(50ms);
  }
  return "shows " + std::to_string(area.right - area.left) + "x" +
         std::to_string(area.bottom - area.top);
}

bool Display::keep_picture(const Window& window, const std::filesystem::path& folder,
                           const std::string& name) const {
  std::filesystem::create_directories(folder);
  return save_window_picture(handle_of(window), folder / (name + ".bmp"));
}

}  // namespace e2e
