#include "run_camprobe.h"

#include "camprobe_options.h"
#include "count_cameras.h"
#include "single_camera.h"

namespace cam {

int run_camprobe(const std::vector<Argument>& arguments, CameraFacility& camera, std::FILE* out) {
  CamprobeOptions options;
  parse_camprobe_options(arguments, options);
  if (options.countMode) {
    return count_cameras(camera, options.frameWidth, options.frameHeight, out);
  }
  return run_single_camera(camera, options, out);
}

}  // namespace cam
