#include <cstdio>

#include "opencv_facility.h"
#include "program_arguments.h"
#include "run_capture.h"

int main(int argc, char** argv) {
  const cam::ProgramArguments arguments(argc, argv);
  const auto camera = cam::make_opencv_facility(arguments);
  return cam::run_capture(arguments.count(), arguments.vector(), *camera, stdout);
}
