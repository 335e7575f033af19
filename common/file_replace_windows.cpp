#include <windows.h>

#include <string>

#include "file_replace.h"

namespace cam {

namespace {

// Creates a temporary file of our own beside the target; the process id and an attempt
// number keep it apart from one that a killed run may have left. Names are Unicode
// throughout: the ANSI functions would lose what the code page cannot hold.
HANDLE create_temporary(const std::wstring& target, std::wstring& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(attempt);
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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

// Whether a failed rename may be only another program holding the target open without
// delete sharing: a viewer of the earlier picture, an indexer, a virus scanner.
bool held_by_another_program(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
         error == ERROR_LOCK_VIOLATION;
}

// Renames the temporary over the target. A scanner lets go within moments, so a held
// target is tried again for about a third of a second.
bool move_into_place(const std::wstring& temporary, const std::wstring& target) {
  const auto move = [&] {
    return MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  };
  for (const DWORD pause : {10, 20, 50, 100, 200}) {
    if (move()) return true;
    if (!held_by_another_program(GetLastError())) return false;
    Sleep(pause);
  }
  return move();
}

// Writes the contents into the existing target, for a reader that holds it for longer
// but shares writing (as java.io.FileInputStream does). Unlike the rename this is not
// all or nothing: a write that fails part way leaves the file damaged.
bool write_in_place(const std::wstring& target, const unsigned char* data, std::size_t size) {
  const HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = write_all(file, data, size) && SetEndOfFile(file) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  return ok;
}

}  // namespace

bool replace_file(const std::filesystem::path& path, const unsigned char* data, std::size_t size) {
  const std::wstring& target = path.native();
  std::wstring temporary;
  const HANDLE file = create_temporary(target, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = write_all(file, data, size) && FlushFileBuffers(file);
  written = CloseHandle(file) && written;
  if (written && move_into_place(temporary, target)) return true;
  const bool held = written && held_by_another_program(GetLastError());
  DeleteFileW(temporary.c_str());
  return held && write_in_place(target, data, size);
}

}  // namespace cam
