// capture's help, as a user or a parent reads it: the line with the name the program was
// started by, then seven lines. The one copy the tests compare against.
#pragma once

#include <string>

namespace cam::testing {

inline const char* const kCaptureHelpLines[] = {
    "-c camNo",
    "-f filename [need .tif/.jpg]",
    "-n  n [n is max cam no.]",
    "-a  [Open all cam.]",
    "-v  [version.]",
    "-w  [Open one window.]",
    "-h  [help]",
};

// The help of a program started as `name`, each line ended by `line_end`.
inline std::string capture_help(const std::string& name, const std::string& line_end) {
  std::string text = name + " ver. 1.0" + line_end;
  for (const char* line : kCaptureHelpLines) text += line + line_end;
  return text;
}

}  // namespace cam::testing
