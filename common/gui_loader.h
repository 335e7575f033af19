// Where the window functions come from on this platform.
#pragma once

#include "gui_table.h"

namespace cam {

// The window functions, or null when no GUI can be had here. Called at the first window
// a program needs; what it loads stays loaded until the process ends.
const GuiTable* load_gui();

}  // namespace cam
