// camprobe without -n: the view until Esc, the one-frame save and their failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace cam::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kEsc = 27;

TEST(CamprobeView, ShowsCameraZeroAt640By480UntilEsc) {
  FakeFacility camera(1);
  camera.key_after(1, kEsc);
  EXPECT_EQ(run_camprobe_with(camera, {}), ended(0));
  const std::vector<std::string> expected = {
      "open 0 at 640x480 -> #1", "create [Capture]", "grab #1 -> cam0.1",
      "show [Capture] cam0.1",   "wait 2 -> -1",     "grab #1 -> cam0.2",
      "show [Capture] cam0.2",   "wait 2 -> 27",     "release #1",
      "destroy [Capture]",
  };
  EXPECT_EQ(camera.calls, expected);
}

TEST(CamprobeView, KeysOtherThanEscLeaveItRunning) {
  FakeFacility camera(1);
  camera.keys = {'q', -1, 0, 13, 27 + 256, kEsc};
  run_camprobe_with(camera, {});
  EXPECT_EQ(camera.calls_starting("show").size(), 6u);
  EXPECT_THAT(camera.calls_starting("release"), ElementsAre("release #1"));
}

TEST(CamprobeView, APassWithoutAFrameShowsNothingButStillWaitsForEsc) {
  FakeFacility camera(1, /*frames=*/1);
  camera.key_after(2, kEsc);
  EXPECT_EQ(run_camprobe_with(camera, {}), ended(0));
  const std::vector<std::string> expected = {
      "create [Capture]", "grab #1 -> cam0.1", "show [Capture] cam0.1", "wait 2 -> -1",
      "grab #1 -> none",  "wait 2 -> -1",      "grab #1 -> none",       "wait 2 -> 27",
      "release #1",       "destroy [Capture]",
  };
  const std::vector<std::string> after_open(camera.calls.begin() + 1, camera.calls.end());
  EXPECT_EQ(after_open, expected);
}

TEST(CamprobeView, OpensEverySlotUpToTheCameraButSizesAndReleasesOnlyThatOne) {
  FakeFacility camera(6);
  camera.key_after(0, kEsc);
  EXPECT_EQ(run_camprobe_with(camera, {"-c", "5", "-w", "1280", "-h", "720"}), ended(0));
  const std::vector<std::string> expected = {
      "open 0 -> #1",     "open 1 -> #2",      "open 2 -> #3",
      "open 3 -> #4",     "open 4 -> #5",      "open 5 at 1280x720 -> #6",
      "create [Capture]", "grab #6 -> cam5.1", "show [Capture] cam5.1",
      "wait 2 -> 27",     "release #6",        "destroy [Capture]",
  };
  EXPECT_EQ(camera.calls, expected);
}

TEST(CamprobeOpenFailure, ReportsTheCameraAskedForEvenWhenAnEarlierSlotFailed) {
  FakeFacility camera(1);
  camera.cameras[2] = {};
  EXPECT_EQ(run_camprobe_with(camera, {"-c", "2"}), ended(0, "error cn=2"));
  // Nothing released: process exit takes the opened camera back.
  EXPECT_THAT(camera.calls, ElementsAre("open 0 -> #1", "open 1 -> none"));
}

TEST(CamprobeOpenFailure, AMissingCameraIsReportedBeforeAnyWindowOrFile) {
  FakeFacility camera(1);
  EXPECT_EQ(run_camprobe_with(camera, {"-c", "1"}), ended(0, "error cn=1"));
  EXPECT_THAT(camera.calls, ElementsAre("open 0 -> #1", "open 1 at 640x480 -> none"));

  FakeFacility none;
  EXPECT_EQ(run_camprobe_with(none, {"-f", "shot.png"}), ended(0, "error cn=0"));
  EXPECT_THAT(none.calls_starting("write"), IsEmpty());
}

TEST(CamprobeSave, WritesTheFirstFrameWithNoParametersAndShowsNothing) {
  FakeFacility camera(2);
  EXPECT_EQ(run_camprobe_with(camera, {"-c", "1", "-f", "shot.png", "-w", "320", "-h", "240"}),
            ended(0));
  const std::vector<std::string> expected = {
      "check [shot.png] -> yes",
      "open 0 -> #1",
      "open 1 at 320x240 -> #2",
      "grab #2 -> cam1.1",
      "write [shot.png] cam1.1 default quality",
      "release #2",
  };
  EXPECT_EQ(camera.calls, expected);
}

TEST(CamprobeSave, ANameWithNoWritableFormatIsRefusedBeforeAnyCameraOpens) {
  for (const char* name : {"shot.xyz", "shot", "-n.", ""}) {
    SCOPED_TRACE(std::string("-f \"") + name + "\"");
    FakeFacility camera(1);
    EXPECT_EQ(run_camprobe_with(camera, {"-f", name}), ended(0, std::string("error file=") + name));
    EXPECT_THAT(camera.calls, ElementsAre("check [" + std::string(name) + "] -> no"));
  }
}

TEST(CamprobeSave, AFailedWriteIsReportedWithTheNameAsGiven) {
  FakeFacility camera(1);
  camera.write_fails = true;
  EXPECT_EQ(run_camprobe_with(camera, {"-f", "no such dir/shot.jpg"}),
            ended(0, "error file=no such dir/shot.jpg"));
  EXPECT_THAT(camera.calls_starting("write"),
              ElementsAre("write [no such dir/shot.jpg] cam0.1 default quality -> failed"));
  EXPECT_THAT(camera.calls_starting("release"), ElementsAre("release #1"));
}

// On Windows an argument's text (in the ANSI code page) and the file it names (its Unicode
// text) may differ: the file written is the one named, the line printed shows the text.
TEST(CamprobeSave, TheFileIsTheOneTheArgumentNamesAndTheLineShowsItsText) {
  const Argument name = {"cafe.png", std::filesystem::u8path(u8"caf\u00e9.png")};
  for (const bool fails : {false, true}) {
    FakeFacility camera(1);
    camera.write_fails = fails;
    EXPECT_EQ(run_tool(run_camprobe, "camprobe", camera, {{"-f", "-f"}, name}),
              ended(0, fails ? "error file=cafe.png" : ""));
    EXPECT_THAT(camera.calls_starting("check"), ElementsAre(u8"check [caf\u00e9.png] -> yes"));
    EXPECT_THAT(camera.calls_starting("write"),
                ElementsAre(std::string(u8"write [caf\u00e9.png] cam0.1 default quality") +
                            (fails ? " -> failed" : "")));
  }
}

TEST(CamprobeSave, ACameraThatGivesNoFrameWritesNothingAndReportsTheCamera) {
  FakeFacility camera(4, /*frames=*/0);
  EXPECT_EQ(run_camprobe_with(camera, {"-c", "3", "-f", "shot.tif"}), ended(0, "error cn=3"));
  EXPECT_THAT(camera.calls_starting("grab"), ElementsAre("grab #4 -> none"));
  EXPECT_THAT(camera.calls_starting("write"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("create"), IsEmpty());
}

TEST(CamprobeView, NoWindowEndsTheViewAtOnceAndGivesTheCameraBack) {
  FakeFacility camera(1);
  camera.no_windows = true;
  EXPECT_EQ(run_camprobe_with(camera, {}), ended(0, "error window=Capture"));
  const std::vector<std::string> after_open(camera.calls.begin() + 1, camera.calls.end());
  EXPECT_THAT(after_open,
              ElementsAre("create [Capture] -> failed", "release #1", "destroy [Capture]"));
}

}  // namespace
}  // namespace cam::testing
