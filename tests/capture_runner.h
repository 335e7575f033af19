// Runs capture's logic on the fake with a command line, as its entry would.
#pragma once

#include <string>
#include <vector>

#include "fake_facility.h"
#include "run_capture.h"
#include "test_support.h"

namespace cam::testing {

struct ToolResult {
  int status;
  std::string output;
};

inline ToolResult run_capture_with(FakeFacility& camera, std::vector<const char*> args) {
  args.insert(args.begin(), "capture");
  args.push_back(nullptr);  // argv ends with a null pointer, as the runtime passes it
  CapturedOutput output;
  const int status =
      run_capture(static_cast<int>(args.size()) - 1, args.data(), camera, output.stream());
  return {status, output.text()};
}

}  // namespace cam::testing
