// capture's snapshot as a user takes one, checked the same way on every platform.
#pragma once

#include <string>
#include <vector>

#include "camera_rig.h"
#include "display.h"

namespace e2e {

// The preview of camera `camera` until a key; the file written shows that camera, in a
// frame that came after the first (the one that showed the camera works). The camera
// is started once, at 640x480. With `picture`, the preview is kept under that name in
// the artefacts folder.
void expect_snapshot(const CameraRig& rig, const Display& display,
                     const std::vector<std::string>& args, int camera, const std::string& file,
                     const Cameras& cameras = 2, const std::string& picture = "");

}  // namespace e2e
