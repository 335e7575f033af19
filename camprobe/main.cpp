#include <cstdio>

#include "opencv_facility.h"
#include "run_camprobe.h"

int main(int argc, char** argv) {
  const auto camera = cam::make_opencv_facility();
  return cam::run_camprobe(argc, argv, *camera, stdout);
}
