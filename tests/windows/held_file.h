// A file held open by the test, as a viewer of the earlier snapshot holds it: reading,
// and sharing only what it is told (java.io.FileInputStream shares reading and writing,
// not deletion).
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace wintest {

class HeldFile {
 public:
  // Puts `contents` at `path` and holds it until the end of the scope.
  HeldFile(const std::filesystem::path& path, const std::string& contents, DWORD sharing) {
    std::ofstream(path, std::ios::binary) << contents;
    handle_ = CreateFileW(path.wstring().c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ~HeldFile() {
    if (held()) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// What java.io.FileInputStream shares on Windows.
constexpr DWORD kLikeJava = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace wintest
