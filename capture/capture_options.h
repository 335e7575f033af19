// The command line of capture.
#pragma once

#include <vector>

#include "argument.h"
#include "camera_facility.h"

namespace cam {

// Cameras the tool can hold at once; also the bound on camera numbers and on -n.
constexpr int kCaptureSlots = 16;

// The frame size the snapshot and the viewer ask every camera for.
constexpr FrameSize kPreviewSize{640, 480};

struct CaptureOptions {
  int camNo = 0;                              // -c: the camera the snapshot opens
  Argument filename{"test.tif", "test.tif"};  // -f
  int maxCamNo = 0;                           // -n: the viewer opens cameras 0 to maxCamNo - 1
  bool openAll = false;                       // -a: run the viewer instead of the snapshot
};

enum class CaptureRequest { Run, Help, Version };

// Compares every argument after the program name with -c -f -n -a -w -v -h in turn and
// moves on by one argument only, so a value is also examined as an option in its own
// right (-f -v sets the file name to "-v", then asks for the version). Stops at the first
// -v or -h. A value-taking option given last has no value and leaves its field as it was.
CaptureRequest parse_capture_options(const std::vector<Argument>& arguments,
                                     CaptureOptions& options);

}  // namespace cam
