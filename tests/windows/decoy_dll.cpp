// Stands in for a DLL that someone left where a program might look for one by its name.
// Once loaded it notes so, and which program loaded it, in a file beside itself named as
// itself with ".loaded" added. The planted-DLL tests copy it under the names that no
// program here may load from such a folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t note[MAX_PATH + 8] = {};
  const DWORD size = GetModuleFileNameW(self, note, MAX_PATH);
  if (size == 0 || size >= MAX_PATH) return TRUE;
  lstrcatW(note, L".loaded");
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  char line[4 * MAX_PATH + 2] = {};
  int length =
      WideCharToMultiByte(CP_UTF8, 0, program, -1, line, sizeof line - 1, nullptr, nullptr);
  if (length <= 0) return TRUE;
  line[length - 1] = '\n';  // in place of the conversion's own end
  // Appended, so that every load is noted, also by programs that run at once.
  const HANDLE file = CreateFileW(note, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(file);
  return TRUE;
}
