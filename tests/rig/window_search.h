// Waits for a top-level window of one process, by its title or by its class, as the
// tests under Wine find the windows of the programs they start.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace wintest {

struct WantedWindow {
  DWORD process_id;
  std::wstring title;       // exactly this title, or any when empty
  std::wstring class_name;  // exactly this class, or any when empty
  bool visible = false;     // only a visible window
};

// The window, once the process has one; null when none came within `limit`.
HWND wait_for_window(const WantedWindow& wanted, std::chrono::milliseconds limit);

}  // namespace wintest
