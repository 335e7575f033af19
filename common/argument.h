// One argument of a program's command line, as the tools use it.
#pragma once

#include <filesystem>
#include <string>

namespace cam {

// What the logic reads and prints, and the file the argument names, travelling together
// from the entry to the file: nothing looks a name up again by its text or its place.
//
// Linux passes arguments as bytes, and both are the bytes given. Windows gives a Unicode
// command line: `text` is the argument in the ANSI code page, byte for byte what main()
// would have had (characters outside it replaced or swapped for look-alikes, so two
// arguments may read alike), while `file` keeps its Unicode text.
struct Argument {
  std::string text;
  std::filesystem::path file;
};

}  // namespace cam
