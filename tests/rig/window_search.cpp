#include "window_search.h"

#include <thread>

namespace wintest {

namespace {

struct Search {
  const WantedWindow* wanted;
  HWND found;
};

// A stdcall callback on 32-bit Windows, which a lambda is not.
BOOL CALLBACK look_at(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  const WantedWindow& wanted = *search->wanted;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t text[128] = {};
  if (owner != wanted.process_id || (wanted.visible && !IsWindowVisible(window))) return TRUE;
  GetWindowTextW(window, text, 128);
  if (!wanted.title.empty() && wanted.title != text) return TRUE;
  GetClassNameW(window, text, 128);
  if (!wanted.class_name.empty() && wanted.class_name != text) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND wait_for_window(const WantedWindow& wanted, std::chrono::milliseconds limit) {
  Search search = {&wanted, nullptr};
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (EnumWindows(look_at, reinterpret_cast<LPARAM>(&search)), search.found == nullptr) {
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return search.found;
}

}  // namespace wintest
