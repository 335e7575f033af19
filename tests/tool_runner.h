// Runs a tool's logic on the fake with a command line, as the tool's entry would.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "fake_facility.h"
#include "run_camprobe.h"
#include "run_capture.h"
#include "test_support.h"

namespace cam::testing {

struct ToolResult {
  int status;
  std::string output;
};

using ToolEntry = int (*)(const std::vector<Argument>&, CameraFacility&, std::FILE*);

// Arguments as Linux passes them: each names the file its text spells.
inline std::vector<Argument> arguments_of(const std::vector<const char*>& texts) {
  std::vector<Argument> arguments;
  for (const char* text : texts) arguments.push_back({text, text});
  return arguments;
}

inline ToolResult run_tool(ToolEntry entry, const char* program, FakeFacility& camera,
                           std::vector<Argument> args) {
  args.insert(args.begin(), {program, program});
  CapturedOutput output;
  const int status = entry(args, camera, output.stream());
  return {status, output.text()};
}

inline ToolResult run_capture_with(FakeFacility& camera, const std::vector<const char*>& args) {
  return run_tool(run_capture, "capture", camera, arguments_of(args));
}

inline ToolResult run_camprobe_with(FakeFacility& camera, const std::vector<const char*>& args) {
  return run_tool(run_camprobe, "camprobe", camera, arguments_of(args));
}

}  // namespace cam::testing
