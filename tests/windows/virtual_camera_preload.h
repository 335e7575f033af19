// Whether the virtual camera stands in for the machine's cameras here: preloaded by CTest
// into this test program's Wine process, whose Unix side every program it starts shares.
#pragma once

#include <windows.h>

#include <string>

namespace wintest {

// Why the programs would see the machine's cameras instead, or "".
inline std::string why_no_virtual_camera() {
  char preload[4096] = "";
  const DWORD size = GetEnvironmentVariableA("LD_PRELOAD", preload, sizeof preload);
  if (size == 0 || size >= sizeof preload ||
      std::string(preload).find("libvirtual_camera.so") == std::string::npos)
    return "no virtual camera preloaded (the build was given no Linux build's tests/vcam)";
  return "";
}

}  // namespace wintest
