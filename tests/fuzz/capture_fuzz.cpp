// capture's whole path from an argument vector to its status, on scripted cameras.
#include "fuzz_run.h"
#include "run_capture.h"

namespace {

const std::vector<std::regex>& capture_lines() {
  static const std::vector<std::regex> forms = {
      std::regex("capture ver\\. 1\\.0"),
      std::regex("-c camNo"),
      std::regex("-f filename \\[need \\.tif/\\.jpg\\]"),
      std::regex("-n  n \\[n is max cam no\\.\\]"),
      std::regex("-a  \\[Open all cam\\.\\]"),
      std::regex("-v  \\[version\\.\\]"),
      std::regex("-w  \\[Open one window\\.\\]"),
      std::regex("-h  \\[help\\]"),
      std::regex("ver\\. 1\\.0"),
      std::regex("Over Cam No \\[<16\\]"),
      std::regex("can not save image [\\s\\S]*"),  // the name as given
      std::regex("can not open capture camera( [0-9]+)?"),
      std::regex("Can not open Camera -?[0-9]+"),
      std::regex("save_image -?[0-9]+"),
      std::regex("can not open a window"),
  };
  return forms;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace cam::fuzzing;
  FuzzRun run;
  run_fuzzed(cam::run_capture, "capture", data, size, run);
  require(run.status == 0 || run.status == -1 || run.status == 1, "an unknown status", run);
  require_known_lines(run, capture_lines());
  // The viewer opens cameras 0 to 15 at most; the snapshot one camera of any number.
  require_sound_camera_use(run, 16, 0, 15);
  return 0;
}
