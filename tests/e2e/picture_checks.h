// The pictures the programs save, checked the same way by every test that has one saved:
// camprobe's headless save and capture's snapshot.
#pragma once

#include <string>
#include <vector>

#include "camera_rig.h"
#include "display.h"

namespace e2e {

// A save of one frame by camprobe: the file named holds a frame of `camera` at this
// size, and nothing else is left in the folder.
struct Save {
  const char* row;  // named in a failure
  Cameras cameras;
  std::vector<std::string> args;
  std::string name;
  int camera;
  int width;
  int height;
};

// Runs the save in the rig's folder (a fresh log first) and checks it: no line, status
// 0, and the file. The file stays for the caller's own checks.
void expect_save(const CameraRig& rig, const Save& save);

// The preview of camera `camera` until a key; the file written shows that camera, in a
// frame that came after the first (the one that showed the camera works). The camera
// is started once, at 640x480. With `picture`, the preview is kept under that name in
// the artefacts folder.
void expect_snapshot(const CameraRig& rig, const Display& display,
                     const std::vector<std::string>& args, int camera, const std::string& file,
                     const Cameras& cameras = 2, const std::string& picture = "");

}  // namespace e2e
