#include <windows.h>

#include "program_arguments.h"

// Whether the runtime expanded wildcards in main()'s arguments: the Unicode split does
// the same, so both give the same arguments in the same places.
extern "C" int _dowildcard;

namespace {

struct RuntimeStartup {
  int new_mode;
};

}  // namespace

// The C runtime's own split of the Unicode command line: the rules main()'s arguments
// were split by (quotes, backslashes, the program's name), applied before any conversion.
extern "C" int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment,
                                      int expand_wildcards, RuntimeStartup* startup);

namespace cam {

namespace {

// As the system converts the command line for main(): characters outside the code page
// become its default character or, where it has one, a look-alike.
std::string to_ansi(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::string converted(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &converted[0], size, nullptr, nullptr);
  converted.resize(static_cast<std::size_t>(size) - 1);  // the conversion's own end
  return converted;
}

std::wstring from_ansi(const char* text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (size <= 0) return L"";
  std::wstring converted(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &converted[0], size);
  converted.resize(static_cast<std::size_t>(size) - 1);
  return converted;
}

}  // namespace

ProgramArguments::ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = nullptr;
  wchar_t** environment = nullptr;
  RuntimeStartup startup = {0};
  if (__wgetmainargs(&count, &wide, &environment, _dowildcard, &startup) == 0 && wide != nullptr) {
    for (int i = 0; i < count; ++i) {
      texts_.push_back(to_ansi(wide[i]));
      names_.emplace_back(std::wstring(wide[i]));
    }
  } else {
    // No Unicode split to be had: main()'s own arguments, as they always were.
    for (int i = 0; i < argc; ++i) {
      texts_.push_back(argv[i]);
      names_.emplace_back(from_ansi(argv[i]));
    }
  }
  for (const std::string& text : texts_) vector_.push_back(text.c_str());
  vector_.push_back(nullptr);
}

std::filesystem::path ProgramArguments::file_name(const char* text) const {
  // The argument itself, found by where it is: two arguments may read the same in the
  // code page (café and cafe both as cafe in Japanese Windows' 932) and still name two files.
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (vector_[i] == text) return names_[i];
  }
  return std::filesystem::path(from_ansi(text));
}

}  // namespace cam
