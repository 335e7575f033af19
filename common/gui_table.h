// The window functions of the GUI module, as a plain C table.
//
// On Linux the GUI toolkit is only loaded when a program first needs a window: the
// module holding highgui and GTK is loaded then. C types alone cross the boundary, so
// the module and the program share no C++ objects, allocators or OpenCV state.
#pragma once

#include <stddef.h>

extern "C" {

struct GuiTable {
  // 0 on success; -1 when no window can be made (no display, no toolkit).
  int (*create_window)(const char* title);
  // Shows 8-bit BGR (or grey) pixels, rows `step` bytes apart, creating the window if it
  // does not exist yet. 0 on success, -1 when nothing could be shown.
  int (*show)(const char* title, const unsigned char* data, int width, int height,
              int channels, size_t step);
  void (*destroy_window)(const char* title);
  // The key pressed within `milliseconds` (Esc is 27), or -1.
  int (*wait_key)(int milliseconds);
};

// The module's one entry point.
const GuiTable* camtools_gui_table(void);

}  // extern "C"
