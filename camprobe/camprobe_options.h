// The command line of camprobe.
#pragma once

#include <optional>
#include <vector>

#include "argument.h"

namespace cam {

// Capture slots the tool holds: the most cameras it counts, and the camera numbers its
// single-camera mode accepts (0 to kProbeSlots - 1).
constexpr int kProbeSlots = 6;

struct CamprobeOptions {
  int camNo = 0;                     // -c: the camera the single-camera mode uses
  std::optional<Argument> filename;  // -f; none shows the view
  bool countMode = false;            // -n: count the cameras instead
  double frameWidth = 640;           // -w
  double frameHeight = 480;          // -h: the frame height here, not a help request
};

// Compares every argument after the program name with -c -f -n -w -h in turn and moves on
// by one argument only, so a value is also examined as an option (-f -n names the file
// "-n" and turns counting on). -c reads the first character of its value alone, as a
// signed byte minus '0'. A -f given last takes the file name away; -c, -w or -h given
// last leave their fields as they were.
void parse_camprobe_options(const std::vector<Argument>& arguments, CamprobeOptions& options);

}  // namespace cam
