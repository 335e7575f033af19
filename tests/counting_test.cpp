// camprobe -n: the count line, where counting stops, and every counted camera released.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace cam::testing {
namespace {

using ::testing::ElementsAre;

TEST(Counting, NoCameraGivesACountOfZero) {
  FakeFacility camera;
  EXPECT_EQ(run_camprobe_with(camera, {"-n"}), ended(0, "nCam = 0"));
  EXPECT_THAT(camera.calls, ElementsAre("open 0 at 640x480 -> none"));
}

TEST(Counting, SizesEveryCameraThenReleasesEachOnceInOrder) {
  FakeFacility camera(3);
  EXPECT_EQ(run_camprobe_with(camera, {"-n", "-w", "320", "-h", "240"}), ended(0, "nCam = 3"));
  const std::vector<std::string> expected = {
      "open 0 at 320x240 -> #1",
      "open 1 at 320x240 -> #2",
      "open 2 at 320x240 -> #3",
      "open 3 at 320x240 -> none",
      "release #1",
      "release #2",
      "release #3",
  };
  EXPECT_EQ(camera.calls, expected);
}

TEST(Counting, StopsAtTheFirstCameraThatDoesNotOpen) {
  FakeFacility camera(2);
  camera.cameras[3] = {};  // behind the gap: never reached
  EXPECT_EQ(run_camprobe_with(camera, {"-n"}), ended(0, "nCam = 2"));
  EXPECT_THAT(camera.calls_starting("open"),
              ElementsAre("open 0 at 640x480 -> #1", "open 1 at 640x480 -> #2",
                          "open 2 at 640x480 -> none"));
  EXPECT_THAT(camera.calls_starting("release"), ElementsAre("release #1", "release #2"));
}

TEST(Counting, ARepeatedCaptureEndsTheCountAndIsReleasedOnlyOnce) {
  FakeFacility camera(4);
  camera.cameras[2].repeats_previous = true;
  EXPECT_EQ(run_camprobe_with(camera, {"-n"}), ended(0, "nCam = 2"));
  const std::vector<std::string> expected = {
      "open 0 at 640x480 -> #1",
      "open 1 at 640x480 -> #2",
      "open 2 at 640x480 -> #2 (repeated)",
      "release #1",
      "release #2",
  };
  EXPECT_EQ(camera.calls, expected);
}

TEST(Counting, StopsAfterSixProbesSoCameraSixIsNeverOpened) {
  FakeFacility camera(8);
  EXPECT_EQ(run_camprobe_with(camera, {"-n"}), ended(0, "nCam = 6"));
  EXPECT_THAT(
      camera.calls_starting("open"),
      ElementsAre("open 0 at 640x480 -> #1", "open 1 at 640x480 -> #2", "open 2 at 640x480 -> #3",
                  "open 3 at 640x480 -> #4", "open 4 at 640x480 -> #5", "open 5 at 640x480 -> #6"));
  EXPECT_THAT(camera.calls_starting("release"),
              ElementsAre("release #1", "release #2", "release #3", "release #4", "release #5",
                          "release #6"));
}

TEST(Counting, TheLineIsFlushedBeforeTheToolReturns) {
  FakeFacility camera(1);
  CapturedOutput output;
  // A buffer the size of the stream keeps everything back until a flush.
  static char buffer[1 << 16];
  std::setvbuf(output.stream(), buffer, _IOFBF, sizeof buffer);
  ASSERT_EQ(run_camprobe(arguments_of({"camprobe", "-n"}), camera, output.stream()), 0);
  EXPECT_EQ(output.flushed_text(), lines({"nCam = 1"}));
}

}  // namespace
}  // namespace cam::testing
