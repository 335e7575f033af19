#include <cstdio>

#include "opencv_facility.h"
#include "program_arguments.h"
#include "run_camprobe.h"

int main(int argc, char** argv) {
  const cam::ProgramArguments arguments(argc, argv);
  const auto camera = cam::make_opencv_facility(arguments);
  return cam::run_camprobe(arguments.count(), arguments.vector(), *camera, stdout);
}
