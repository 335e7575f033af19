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

using ToolEntry = int (*)(int, const char* const*, CameraFacility&, std::FILE*);

inline ToolResult run_tool(ToolEntry entry, const char* program, FakeFacility& camera,
                           std::vector<const char*> args) {
  args.insert(args.begin(), program);
  args.push_back(nullptr);  // argv ends with a null pointer, as the runtime passes it
  CapturedOutput output;
  const int status = entry(static_cast<int>(args.size()) - 1, args.data(), camera, output.stream());
  return {status, output.text()};
}

inline ToolResult run_capture_with(FakeFacility& camera, std::vector<const char*> args) {
  return run_tool(run_capture, "capture", camera, std::move(args));
}

inline ToolResult run_camprobe_with(FakeFacility& camera, std::vector<const char*> args) {
  return run_tool(run_camprobe, "camprobe", camera, std::move(args));
}

}  // namespace cam::testing
