#include "run_capture.h"

#include "capture_options.h"
#include "snapshot.h"
#include "viewer.h"

namespace cam {

namespace {

void print_help(std::FILE* out, const char* program) {
  std::fprintf(out, "%s ver. 1.0\n", program);
  std::fputs(
      "-c camNo\n"
      "-f filename [need .tif/.jpg]\n"
      "-n  n [n is max cam no.]\n"
      "-a  [Open all cam.]\n"
      "-v  [version.]\n"
      "-w  [Open one window.]\n"
      "-h  [help]\n",
      out);
}

// Negative camera numbers pass: they go to the capture facility unchanged. The camera
// number is checked with -a too, although the viewer does not use it.
bool in_range(const CaptureOptions& options) {
  if (options.camNo >= kCaptureSlots) return false;
  return !options.openAll || options.maxCamNo <= kCaptureSlots;
}

}  // namespace

int run_capture(const std::vector<Argument>& arguments, CameraFacility& camera, std::FILE* out) {
  CaptureOptions options;
  switch (parse_capture_options(arguments, options)) {
    case CaptureRequest::Help:
      print_help(out, arguments.empty() ? "" : arguments[0].text.c_str());
      return -1;  // the same status as a failure, as callers have always seen it
    case CaptureRequest::Version:
      std::fputs("ver. 1.0\n", out);
      return -1;
    case CaptureRequest::Run:
      break;
  }
  if (!in_range(options)) {
    std::fputs("Over Cam No [<16]\n", out);
    return -1;
  }
  if (options.openAll) return run_viewer(camera, options.maxCamNo, out);
  return run_snapshot(camera, options.camNo, options.filename, out);
}

}  // namespace cam
