// The program's arguments: as the tools' logic reads them, and as the platform's file
// functions take a file name among them.
//
// Linux passes arguments as bytes: both are the bytes given, whatever their encoding.
// Windows hands a console program's main() its arguments converted from the Unicode
// command line into the ANSI code page, which replaces the characters outside it, swaps
// some for look-alikes (Ł becomes L, a fullwidth quotation mark a plain one) and so may
// even move the arguments' boundaries. There the arguments are split from the Unicode
// command line with the runtime's own rules; the logic reads each converted to the ANSI
// code page, byte for byte what main() would have had for it, so every option word,
// number and printed name is as before; a file name is opened by its Unicode text.
// One implementation per platform: program_arguments_posix.cpp, _windows.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace cam {

class ProgramArguments {
 public:
  ProgramArguments(int argc, char** argv);
  // The vector points into this object, which therefore stays where it was made.
  ProgramArguments(const ProgramArguments&) = delete;
  ProgramArguments& operator=(const ProgramArguments&) = delete;

  int count() const { return static_cast<int>(vector_.size()) - 1; }
  // Ended by a null pointer, as main()'s.
  const char* const* vector() const { return vector_.data(); }

  // The file that `text` names. `text` is one of vector()'s own arguments (the logic
  // keeps a file name given on the command line as the argument itself, never a copy),
  // or a name of the program's own in the ANSI code page, such as a default.
  std::filesystem::path file_name(const char* text) const;

 private:
  std::vector<std::string> texts_;            // Windows: each argument in the ANSI code page
  std::vector<const char*> vector_;           // the logic's arguments, then a null pointer
  std::vector<std::filesystem::path> names_;  // Windows: each argument as a file name
};

}  // namespace cam
