// capture's whole path from an argument vector to its status, on scripted cameras.
#include "capture_help.h"
#include "fuzz_run.h"
#include "run_capture.h"

namespace {

std::vector<std::string> capture_lines() {
  std::vector<std::string> lines = {"capture ver. 1.0", "ver. 1.0", "Over Cam No [<16]",
                                    "can not open a window"};
  lines.insert(lines.end(), std::begin(cam::testing::kCaptureHelpLines),
               std::end(cam::testing::kCaptureHelpLines));
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const cam::fuzzing::ToolRules capture = {
      cam::run_capture,
      "capture",
      {0, -1, 1},
      capture_lines(),
      {
          std::regex("can not save image [\\s\\S]*"),  // the name as given
          std::regex("can not open capture camera( [0-9]+)?"),
          std::regex("Can not open Camera -?[0-9]+"),
          std::regex("save_image -?[0-9]+"),
      },
      0,
      // The viewer opens cameras 0 to 15 at most; the snapshot one camera of any number.
      16, 0, 15,
  };
  return cam::fuzzing::fuzz_one(capture, data, size);
}
