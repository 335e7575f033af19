#include <cstdio>

#include "opencv_facility.h"
#include "program_entry.h"
#include "run_camprobe.h"

int cam::program_main(const std::vector<Argument>& arguments) {
  const auto camera = make_opencv_facility();
  return run_camprobe(arguments, *camera, stdout);
}
