// The window functions are linked into the program: on Windows they cost nothing at
// start, the window system being part of every process already.
#include "gui_loader.h"

namespace cam {

const GuiTable* load_gui() { return camtools_gui_table(); }

}  // namespace cam
