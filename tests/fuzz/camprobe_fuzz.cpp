// camprobe's whole path from an argument vector to its status, on scripted cameras.
#include <algorithm>

#include "fuzz_run.h"
#include "run_camprobe.h"

namespace {

const std::vector<std::regex>& camprobe_lines() {
  static const std::vector<std::regex> forms = {
      std::regex("nCam = [0-6]"),
      std::regex("error cn=-?[0-9]+"),
      std::regex("error file=[\\s\\S]*"),  // the name as given
      std::regex("error window=Capture"),
  };
  return forms;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace cam::fuzzing;
  FuzzRun run;
  run_fuzzed(cam::run_camprobe, "camprobe", data, size, run);
  require(run.status == 0, "a status other than 0", run);
  require_known_lines(run, camprobe_lines());
  // Counting probes six slots at most; the single-camera modes open slots 0 to camNo.
  require_sound_camera_use(run, 6, 0, 5);
  const std::size_t lines = std::count(run.output.begin(), run.output.end(), '\n');
  require(lines <= 1, "more than one line", run);
  return 0;
}
