#include <windows.h>

#include <string>

#include "file_replace.h"

namespace cam {

namespace {

// Creates a temporary file of our own beside the target; the process id and an attempt
// number keep it apart from one that a killed run may have left.
HANDLE create_temporary(const std::string& target, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    // File names arrive in the ANSI code page, as the command line gave them.
    const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool write_all(HANDLE file, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

bool replace_file(const char* path, const unsigned char* data, std::size_t size) {
  std::string temporary;
  const HANDLE file = create_temporary(path, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = write_all(file, data, size) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  ok = ok &&
       MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileA(temporary.c_str());
  return ok;
}

}  // namespace cam
