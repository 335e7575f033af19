// The integrator's example, docs/CamtoolsExample.java, run as the Java application runs
// it, with camprobe on the virtual cameras: what it reports in each case the guide lists.
#include <gtest/gtest.h>

#include <string>

#include "camera_rig.h"
#include "frame_decoder.h"

namespace e2e {
namespace {

struct Case {
  const char* name;
  Cameras cameras;
  const char* picture;
  const char* report;  // what the example prints
  int status;
};

TEST(JavaExample, ReportsWhatCamprobeAnswered) {
  if (std::string(JAVA_EXAMPLE_CLASSES).empty())
    GTEST_SKIP() << "no JDK (javac) to build docs/CamtoolsExample.java with";
  const Case cases[] = {
      {"two-cameras", 2, "shot.png", "cameras: 2\nsaved shot.png\n", 0},
      {"no-camera", 0, "shot.png", "cameras: 0\nno camera to save a frame of\n", 1},
      {"unwritable-name", 1, "nosuch/shot.png", "cameras: 1\ncannot write nosuch/shot.png\n", 1},
      {"silent-camera", Cameras(1).silent("0"), "shot.png",
       "cameras: 1\ncamera 0 gave no picture\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CameraRig rig(std::string("java-example-") + c.name);
    auto java = rig.start(
        JAVA_PROGRAM,
        {"-cp", JAVA_EXAMPLE_CLASSES, "CamtoolsExample", CAMPROBE_PROGRAM, rig.folder(), c.picture},
        c.cameras);
    EXPECT_EQ(java->finish(60s), finished(c.status, c.report));
    const auto mark = vcam::read_frame_mark(rig.folder() + "/" + c.picture);
    EXPECT_EQ(mark.has_value(), c.status == 0) << "the picture was written, or not, as reported";
  }
}

}  // namespace
}  // namespace e2e
