// frame_mark IMAGE: prints which virtual camera and frame an image file shows.
#include <cstdio>

#include "frame_decoder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::puts("usage: frame_mark IMAGE");
    return 2;
  }
  const auto mark = vcam::read_frame_mark(argv[1]);
  if (!mark) {
    std::printf("%s: no virtual camera frame\n", argv[1]);
    return 1;
  }
  std::printf("%s: camera %d, frame %d\n", argv[1], mark->camera, mark->frame);
  return 0;
}
