// An entry as any program's: the arguments as the runtime splits them, and nothing done
// before the program's own code runs. The planted-DLL tests' positive control starts here.
#include "program_entry.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<cam::Argument> arguments;
  for (int i = 0; i < argc; ++i) {
    const std::filesystem::path file = argv[i];
    arguments.push_back({file.string(), file});
  }
  return cam::program_main(arguments);
}
