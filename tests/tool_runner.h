// Runs a tool's logic on the fake with a command line, as the tool's entry would.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
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
  bool operator==(const ToolResult& other) const {
    return status == other.status && output == other.output;
  }
};

inline void PrintTo(const ToolResult& result, std::ostream* out) {
  *out << "status " << result.status << " after " << ::testing::PrintToString(result.output);
}

// A run that ended with `status` after printing `line`, or nothing when it is empty.
inline ToolResult ended(int status, const std::string& line = "") {
  return {status, line.empty() ? "" : lines({line.c_str()})};
}

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
