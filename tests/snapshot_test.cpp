// capture's default mode: the preview, the snapshot and their failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace cam::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(Snapshot, PreviewsUntilAKeyThenWritesTheFrameOnScreenAtQuality100) {
  FakeFacility camera(3);
  camera.key_after(2, 'x');
  EXPECT_EQ(run_capture_with(camera, {"-c", "2", "-f", "shot.jpg"}), ended(0, "save_image 2"));
  const std::vector<std::string> expected = {
      "check [shot.jpg] -> yes",
      "open 2 at 640x480 -> #1",
      "grab #1 -> cam2.1",  // the check frame, never shown
      "grab #1 -> cam2.2",
      "show [CAM  2] cam2.2",
      "wait 50 -> -1",
      "grab #1 -> cam2.3",
      "show [CAM  2] cam2.3",
      "wait 50 -> -1",
      "grab #1 -> cam2.4",
      "show [CAM  2] cam2.4",
      "wait 50 -> 120",
      "destroy [CAM  2]",
      "write [shot.jpg] cam2.4 jpeg quality 100",
      "release #1",
  };
  EXPECT_EQ(camera.calls, expected);
}

TEST(Snapshot, WithNoOptionsUsesCameraZeroAndTestTif) {
  FakeFacility camera(1);
  camera.key_after(0, 0);  // a key code of 0 is a key too
  EXPECT_EQ(run_capture_with(camera, {}), ended(0, "save_image 0"));
  EXPECT_THAT(camera.calls_starting("show"), ElementsAre("show [CAM  0] cam0.2"));
  EXPECT_THAT(camera.calls_starting("write"),
              ElementsAre("write [test.tif] cam0.2 jpeg quality 100"));
}

TEST(Snapshot, ACameraThatCannotBeOpenedIsReportedWithoutItsNumber) {
  FakeFacility camera(1);
  EXPECT_EQ(run_capture_with(camera, {"-c", "5"}), ended(-1, "can not open capture camera"));
  EXPECT_THAT(camera.calls, ElementsAre("check [test.tif] -> yes", "open 5 at 640x480 -> none"));
}

TEST(Snapshot, ACameraThatNeverDeliversFailsBeforeAnyWindow) {
  FakeFacility camera;
  camera.cameras[1].frames = 0;
  EXPECT_EQ(run_capture_with(camera, {"-c", "1"}), ended(-1, "Can not open Camera 1"));
  EXPECT_THAT(camera.calls_starting("show"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("release"), IsEmpty());  // left to process exit
}

TEST(Snapshot, ACameraLostDuringThePreviewEndsWithStatusOne) {
  FakeFacility camera;
  camera.cameras[0].frames = 3;  // the check frame and two previews
  EXPECT_EQ(run_capture_with(camera, {"-f", "out.png"}), ended(1, "Can not open Camera 0"));
  EXPECT_THAT(camera.calls_starting("show"),
              ElementsAre("show [CAM  0] cam0.2", "show [CAM  0] cam0.3"));
  // Nothing is written, released or destroyed: process exit takes the camera back.
  EXPECT_THAT(camera.calls_starting("write"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("release"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("destroy"), IsEmpty());
}

TEST(Snapshot, ANameTheWriterCannotWriteIsRefusedBeforeAnyCameraOpens) {
  for (const char* name : {"shot.xyz", "shot", "folder.d/shot", "shot."}) {
    FakeFacility camera(1);
    EXPECT_EQ(run_capture_with(camera, {"-f", name}),
              ended(-1, "can not save image " + std::string(name)));
    EXPECT_THAT(camera.calls_starting("open"), IsEmpty()) << name;
  }
}

TEST(Snapshot, AFailedWriteIsReportedInsteadOfConfirmed) {
  FakeFacility camera(1);
  camera.key_after(1, 'k');
  camera.write_fails = true;
  EXPECT_EQ(run_capture_with(camera, {"-f", "missing/dir/shot.jpg"}),
            ended(-1, "can not save image missing/dir/shot.jpg"));
  EXPECT_THAT(camera.calls_starting("release"), ElementsAre("release #1"));
}

TEST(Snapshot, ALongFileNameIsUsedWhole) {
  const std::string name = std::string(1000, 'n') + ".png";
  FakeFacility camera(1);
  camera.key_after(0, 'k');
  const ToolResult result = run_capture_with(camera, {"-f", name.c_str()});
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(camera.calls_starting("write"),
              ElementsAre("write [" + name + "] cam0.2 jpeg quality 100"));
}

TEST(Snapshot, TitlesCarryTheCameraNumberAsGiven) {
  FakeFacility camera;
  camera.cameras[-12] = {};
  camera.key_after(0, 'k');
  EXPECT_EQ(run_capture_with(camera, {"-c", "-12"}), ended(0, "save_image -12"));
  EXPECT_THAT(camera.calls_starting("destroy"), ElementsAre("destroy [CAM  -12]"));
}

// Without a display nobody can see the preview or press its key: the run ends at once
// instead of waiting for ever, and no file is written.
TEST(Snapshot, NoWindowEndsThePreviewAtOnceAndWritesNothing) {
  FakeFacility camera(1);
  camera.no_windows = true;
  EXPECT_EQ(run_capture_with(camera, {"-f", "shot.png"}), ended(-1, "can not open a window"));
  EXPECT_THAT(camera.calls_starting("show"), ElementsAre("show [CAM  0] cam0.2 -> failed"));
  EXPECT_THAT(camera.calls_starting("wait"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("write"), IsEmpty());
}

// On Windows an argument's text (in the ANSI code page) and the file it names (its Unicode
// text) may differ: the file written is the one named, the line printed shows the text.
TEST(Snapshot, TheFileIsTheOneTheArgumentNamesAndTheLineShowsItsText) {
  const Argument name = {"cafe.png", std::filesystem::u8path(u8"caf\u00e9.png")};
  for (const bool fails : {false, true}) {
    FakeFacility camera(1);
    camera.key_after(0, 'x');
    camera.write_fails = fails;
    const ToolResult result = run_tool(run_capture, "capture", camera, {{"-f", "-f"}, name});
    EXPECT_EQ(result, fails ? ended(-1, "can not save image cafe.png") : ended(0, "save_image 0"));
    EXPECT_THAT(camera.calls_starting("check"), ElementsAre(u8"check [caf\u00e9.png] -> yes"));
    EXPECT_THAT(camera.calls_starting("write"),
                ElementsAre(std::string(u8"write [caf\u00e9.png] cam0.2 jpeg quality 100") +
                            (fails ? " -> failed" : "")));
  }
}

}  // namespace
}  // namespace cam::testing
