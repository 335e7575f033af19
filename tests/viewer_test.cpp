// capture -a: opening every camera, viewing in passes, and closing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace cam::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(Viewer, OpensInOrderViewsInPassesAndClosesEverythingOnAKey) {
  FakeFacility camera(2);
  camera.key_after(2, 'q');  // the key comes while camera 0 is shown in the second pass
  EXPECT_EQ(run_capture_with(camera, {"-a", "-n", "2", "-f", "x.jpg"}), ended(0));
  const std::vector<std::string> expected = {
      "open 0 at 640x480 -> #1",
      "create [CAM  0 ]",
      "open 1 at 640x480 -> #2",
      "create [CAM  1 ]",
      "grab #1 -> cam0.1",
      "show [CAM  0 ] cam0.1",
      "wait 50 -> -1",
      "grab #2 -> cam1.1",
      "show [CAM  1 ] cam1.1",
      "wait 50 -> -1",
      "grab #1 -> cam0.2",
      "show [CAM  0 ] cam0.2",
      "wait 50 -> 113",     // the key ends the viewing
      "release #1",         // the camera shown, at once
      "destroy [CAM  0 ]",  // closing: slot 0 is already empty
      "release #2",
      "destroy [CAM  1 ]",
  };
  EXPECT_EQ(camera.calls, expected);
}

TEST(Viewer, WithoutACountOpensNothingAndEndsAtOnce) {
  for (std::vector<const char*> args : {std::vector<const char*>{"-a"},
                                        {"-a", "-n", "0"},
                                        {"-a", "-n", "-3"},
                                        {"-a", "-n", "-2147483648"}}) {
    FakeFacility camera(2);
    EXPECT_EQ(run_capture_with(camera, args), ended(0));
    EXPECT_THAT(camera.calls, IsEmpty());
  }
}

TEST(Viewer, AMissingCameraEndsTheOpeningAndLeavesTheOthersOpen) {
  FakeFacility camera(2);
  EXPECT_EQ(run_capture_with(camera, {"-a", "-n", "3"}),
            ended(-1, "can not open capture camera 2"));
  EXPECT_THAT(camera.calls_starting("create"), ElementsAre("create [CAM  0 ]", "create [CAM  1 ]"));
  EXPECT_THAT(camera.calls_starting("open"),
              ElementsAre("open 0 at 640x480 -> #1", "open 1 at 640x480 -> #2",
                          "open 2 at 640x480 -> none"));
  EXPECT_THAT(camera.calls_starting("release"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("grab"), IsEmpty());
}

TEST(Viewer, ACameraThatStopsDeliveringEndsTheViewer) {
  FakeFacility camera(3);
  camera.cameras[1].frames = 2;
  EXPECT_EQ(run_capture_with(camera, {"-a", "-n", "3"}), ended(-1, "Can not open Camera 1"));
  EXPECT_THAT(camera.calls_starting("grab #2"),
              ElementsAre("grab #2 -> cam1.1", "grab #2 -> cam1.2", "grab #2 -> none"));
  EXPECT_THAT(camera.calls_starting("release"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("destroy"), IsEmpty());
}

TEST(Viewer, AKeyOnTheLastCameraReleasesEachCameraExactlyOnce) {
  FakeFacility camera(16);
  camera.key_after(15, 27);
  EXPECT_EQ(run_capture_with(camera, {"-a", "-n", "16"}).status, 0);
  const std::vector<std::string> releases = camera.calls_starting("release");
  ASSERT_EQ(releases.size(), 16u);
  EXPECT_EQ(releases.front(), "release #16");  // the camera shown when the key came
  for (int id = 1; id <= 15; ++id) EXPECT_EQ(releases[id], "release #" + std::to_string(id));
  EXPECT_EQ(camera.calls.back(), "destroy [CAM  15 ]");
  EXPECT_THAT(camera.calls_starting("grab"), ::testing::SizeIs(16));
}

TEST(Viewer, NoWindowStopsTheOpeningAtTheFirstCamera) {
  FakeFacility camera(3);
  camera.no_windows = true;
  EXPECT_EQ(run_capture_with(camera, {"-a", "-n", "3"}), ended(-1, "can not open a window"));
  EXPECT_THAT(camera.calls_starting("open"), ElementsAre("open 0 at 640x480 -> #1"));
  EXPECT_THAT(camera.calls_starting("grab"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("wait"), IsEmpty());
}

TEST(Viewer, ACaptureHandedOutForTwoCamerasIsReleasedOnce) {
  FakeFacility camera(3);
  camera.cameras[1].repeats_previous = true;  // camera 1 gets camera 0's capture
  camera.key_after(3, 'q');
  EXPECT_EQ(run_capture_with(camera, {"-a", "-n", "3"}).status, 0);
  EXPECT_THAT(camera.calls_starting("release"), ElementsAre("release #1", "release #2"));
  EXPECT_EQ(camera.misuses, 0);
}

}  // namespace
}  // namespace cam::testing
