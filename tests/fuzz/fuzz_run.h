// One fuzzed run of a tool: the input picks the cameras, their frames and the keys, and
// gives the command line; the tool's logic then runs on the fake facility.
//
// Input layout: five bytes of scenario, then the arguments, separated by NUL or newline
// bytes (so no argument holds a line break and every output line can be judged alone).
#pragma once

#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "fake_facility.h"

namespace cam::fuzzing {

using ToolEntry = int (*)(int, const char* const*, CameraFacility&, std::FILE*);

struct FuzzRun {
  int status = 0;
  std::string output;
  testing::FakeFacility camera;
};

// Sets the fake up from the input's scenario bytes and runs `entry` on its arguments.
// Every run ends: once the scripted keys are used up, every wait returns Esc.
void run_fuzzed(ToolEntry entry, const char* program, const std::uint8_t* data, std::size_t size,
                FuzzRun& run);

// Aborts with the input's story when `holds` is false, which libFuzzer reports as a crash
// and keeps the input of.
void require(bool holds, const char* what, const FuzzRun& run);

// Checks every line of the run's output against the forms the tool prints, and that the
// output ends with a complete line.
void require_known_lines(const FuzzRun& run, const std::vector<std::regex>& forms);

// Checks what the tool did with its cameras: at most `most_opens` opens, each of an index
// in [lowest, highest] when more than one camera was opened; no frame used after its
// capture moved on or was released, none the cameras never gave; no capture released
// twice.
void require_sound_camera_use(const FuzzRun& run, int most_opens, int lowest, int highest);

}  // namespace cam::fuzzing
