#include "program_entry.h"

// Names are bytes here: passed on as given, also where they are no valid UTF-8.
int main(int argc, char** argv) {
  std::vector<cam::Argument> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back({argv[i], argv[i]});
  return cam::program_main(arguments);
}
