#include "program_arguments.h"

namespace cam {

// Names are bytes here: passed on as given, also where they are no valid UTF-8.
ProgramArguments::ProgramArguments(int argc, char** argv) : vector_(argv, argv + argc) {
  vector_.push_back(nullptr);
}

std::filesystem::path ProgramArguments::file_name(const char* text) const {
  return std::filesystem::path(text);
}

}  // namespace cam
