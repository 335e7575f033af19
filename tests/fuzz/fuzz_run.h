// The driver both fuzz targets share: the input picks the cameras, their frames and the
// keys, and gives the command line; the tool's logic runs on the fake facility; then the
// run is checked against what the tool may do. Each target gives only its rules.
//
// Input layout: five bytes of scenario, then the arguments, separated by NUL or newline
// bytes (so no argument holds a line break and every output line can be judged alone).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "argument.h"
#include "camera_facility.h"

namespace cam::fuzzing {

using ToolEntry = int (*)(const std::vector<Argument>&, CameraFacility&, std::FILE*);

// What one tool may do, whatever its input.
struct ToolRules {
  ToolEntry entry;
  const char* program;                  // argument 0
  std::vector<int> statuses;            // the statuses it returns
  std::vector<std::string> lines;       // lines it prints as they are
  std::vector<std::regex> line_forms;   // lines that carry a number or a name
  std::size_t most_lines;               // how many lines one run prints at most; 0: no limit
  // At most `most_opens` cameras opened, each numbered from `lowest` to `highest` when
  // more than one is opened.
  int most_opens, lowest, highest;
};

// Runs the tool on one input and checks the run: its status, every output line, a last
// line that is complete, and its use of the cameras (no frame used after its capture
// moved on or was released, none the cameras never gave, no capture released twice).
// A broken rule aborts with the input's story, which libFuzzer reports as a crash and
// keeps the input of. Every run ends: once the scripted keys are used up, every wait
// returns Esc.
int fuzz_one(const ToolRules& rules, const std::uint8_t* data, std::size_t size);

}  // namespace cam::fuzzing
