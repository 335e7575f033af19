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

// Where Windows looks for a DLL that anything in the process loads later by its name
// alone (a library's plugin, a system DLL's own delayed load): System32 alone. The
// program's folder, the current folder and the search path are folders a user may
// write to, an unpacked download among them, and a DLL of a sought name left there
// would run inside the program. COM loads a camera's filter by its registered full path
// with LOAD_WITH_ALTERED_SEARCH_PATH, and then Windows looks for the filter's own DLLs
// beside it first, as before.
void limit_dll_search() {
  // Windows 7 has it only with update KB2533623, so it is looked up, not imported.
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const auto set_default = reinterpret_cast<SetDefault>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Without it, the current folder at least leaves the search.
  SetDllDirectoryW(L"");
}

}  // namespace

// The standard Unicode entry: the runtime splits the Unicode command line by the same
// rules as main()'s arguments (quotes, backslashes, its wildcard choice).
int wmain(int argc, wchar_t** argv) {
  limit_dll_search();
  std::vector<cam::Argument> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back({to_ansi(argv[i]), std::wstring(argv[i])});
  return cam::program_main(arguments);
}
