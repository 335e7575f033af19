// Loads each DLL its arguments name, by the name alone, as a library loads a plugin, and
// prints a line for each: "NAME loaded" or "NAME not found". It is built twice: on the
// camera tools' own entry (load_by_name_limited), and on an entry that limits nothing
// (load_by_name, through plain_entry.cpp), as any program starts.
#include <windows.h>

#include <cstdio>

#include "program_entry.h"

int cam::program_main(const std::vector<Argument>& arguments) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const HMODULE module = LoadLibraryW(arguments[i].file.c_str());
    std::printf("%s %s\n", arguments[i].text.c_str(), module != nullptr ? "loaded" : "not found");
  }
  return 0;
}
