#include <windows.h>

#include "program_entry.h"

namespace {

// As the system converts the command line for main(): characters outside the code page
// become its default character or, where it has one, a look-alike. Each argument is
// converted after the split, so a character that converts to a quote (a fullwidth one)
// cannot move the arguments' boundaries.
std::string to_ansi(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::string converted(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &converted[0], size, nullptr, nullptr);
  converted.resize(static_cast<std::size_t>(size) - 1);  // the conversion's own end
  return converted;
}

}  // namespace

// The standard Unicode entry: the runtime splits the Unicode command line by the same
// rules as main()'s arguments (quotes, backslashes, its wildcard choice).
int wmain(int argc, wchar_t** argv) {
  std::vector<cam::Argument> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back({to_ansi(argv[i]), std::wstring(argv[i])});
  return cam::program_main(arguments);
}
