// camprobe's whole path from an argument vector to its status, on scripted cameras.
#include "fuzz_run.h"
#include "run_camprobe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const cam::fuzzing::ToolRules camprobe = {
      cam::run_camprobe,
      "camprobe",
      {0},
      {"error window=Capture"},
      {
          std::regex("nCam = [0-6]"),
          std::regex("error cn=-?[0-9]+"),
          std::regex("error file=[\\s\\S]*"),  // the name as given
      },
      1,
      // Counting probes six slots at most; the single-camera modes open slots 0 to camNo.
      6, 0, 5,
  };
  return cam::fuzzing::fuzz_one(camprobe, data, size);
}
