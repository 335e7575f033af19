// Where each program starts: the platform's entry splits the command line into
// Arguments and hands them to the program's own program_main(), whose status it returns.
// One implementation per platform: program_entry_posix.cpp (main()) and
// program_entry_windows.cpp (wmain(), linked with -municode), picked by the build.
#pragma once

#include <vector>

#include "argument.h"

namespace cam {

// Defined by each program in its main.cpp.
int program_main(const std::vector<Argument>& arguments);

}  // namespace cam
