// What the real capture does on Linux's virtual cameras beyond the cases every platform
// shares (camera_cases_e2e_test.cpp): webcams' nodes, faults, no display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "camera_rig.h"
#include "display.h"
#include "frame_decoder.h"
#include "picture_checks.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kCapture = CAPTURE_PROGRAM;
constexpr bool kOwnWindowToolkit = OWN_WINDOW_TOOLKIT;

// The number of the last frame the log shows delivered.
int last_frame(const CameraRig& rig) {
  const std::vector<std::string> frames = rig.log_with(" frame ");
  return frames.empty() ? 0 : std::stoi(frames.back().substr(frames.back().rfind(' ') + 1));
}

class CaptureOnDisplay : public ::testing::Test {
 protected:
  void SetUp() override { require_display(display_); }
  Display display_;
};

// The file holds the frame on screen when the key came: the last one the camera
// delivered, as nothing reads the camera between the key and the write. (Under Wine the
// capture graph keeps reading, so this holds on Linux alone.)
TEST_F(CaptureOnDisplay, ASnapshotIsTheLastFrameDeliveredBeforeTheKey) {
  CameraRig rig("snapshot-last-frame");
  expect_snapshot(rig, display_, {"-f", "shot.png"}, 0, "shot.png", 1);
  const auto mark = vcam::read_frame_mark(rig.file("shot.png"));
  ASSERT_TRUE(mark.has_value());
  EXPECT_EQ(mark->frame, last_frame(rig));
  EXPECT_GT(mark->frame, 2);
  EXPECT_THAT(rig.log_with("close"), ElementsAre("0.1 close"));
}

// Two webcams, each with its metadata node: the viewer opens their capture nodes.
TEST_F(CaptureOnDisplay, TheViewerShowsTwoWebcamsAndEndsOnAKey) {
  CameraRig rig("viewer");
  auto capture =
      rig.start(kCapture, {"-a", "-n", "2"}, Cameras(4).metadata("1,3"), display_.environment());
  EXPECT_TRUE(display_.wait_for_window(*capture, "CAM  0 ", 15s)) << capture->errors();
  const Window second = display_.wait_for_window(*capture, "CAM  1 ", 15s);
  ASSERT_TRUE(second);
  EXPECT_THAT(rig.log_ending(" open"), ElementsAre("0.1 open", "2.1 open"));
  // Once both cameras are shown, so that the key reaches a viewer that reads keys.
  ASSERT_TRUE(rig.wait_for_log("2.1 frame ", 3, 10s)) << "camera 1 showed no frame within 10 s";
  display_.press(second, 'x');
  EXPECT_EQ(capture->finish(10s), finished(0, ""));
  EXPECT_EQ(rig.log_ending(" close").size(), 2u);
}

TEST_F(CaptureOnDisplay, TheViewerReportsTheFirstCameraThatIsMissing) {
  CameraRig rig("viewer-missing");
  auto capture = rig.start(kCapture, {"-a", "-n", "3"}, {2}, display_.environment());
  EXPECT_EQ(capture->finish(15s), finished(255, "can not open capture camera 2\n"));
  EXPECT_THAT(rig.log_with("open"), ElementsAre("0.1 open", "1.1 open"));
}

TEST_F(CaptureOnDisplay, ACameraThatNeverDeliversIsReportedAndNoWindowShown) {
  CameraRig rig("silent");
  auto capture = rig.start(kCapture, {}, Cameras(1).silent("0"), display_.environment());
  bool window_seen = false;
  for (auto waited = 0ms; capture->running() && waited < 15s; waited += 100ms) {
    window_seen = window_seen || display_.shows(*capture, "CAM  0");
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(capture->finish(0s), finished(255, "Can not open Camera 0\n")) << "within 15 s";
  EXPECT_FALSE(window_seen);
  EXPECT_FALSE(fs::exists(rig.folder() + "/test.tif"));
}

TEST_F(CaptureOnDisplay, ACameraLostDuringThePreviewEndsWithStatusOne) {
  CameraRig rig("unplugged");
  auto capture = rig.start(kCapture, {}, Cameras(1).frames("0:8"), display_.environment());
  EXPECT_EQ(capture->finish(15s), finished(1, "Can not open Camera 0\n"));
  EXPECT_EQ(last_frame(rig), 8);
  EXPECT_FALSE(fs::exists(rig.folder() + "/test.tif"));
}

// Without a display the preview cannot be seen or keyed: the run must end, not wait.
TEST(CaptureWithoutDisplay, TheSnapshotEndsAtOnceAndWritesNothing) {
  if (!kOwnWindowToolkit)
    GTEST_SKIP() << "[system-qt-exits] the distribution's Qt ends the process itself";
  CameraRig rig("no-display-snapshot");
  auto capture = rig.start(kCapture, {"-f", "shot.png"}, {1});
  EXPECT_EQ(capture->finish(10s), finished(255, "can not open a window\n"));
  EXPECT_FALSE(fs::exists(rig.folder() + "/shot.png"));
}

TEST(CaptureWithoutDisplay, TheViewerEndsAtOnce) {
  if (!kOwnWindowToolkit)
    GTEST_SKIP() << "[system-qt-exits] the distribution's Qt ends the process itself";
  CameraRig rig("no-display-viewer");
  auto capture = rig.start(kCapture, {"-a", "-n", "2"}, {2});
  EXPECT_EQ(capture->finish(10s), finished(255, "can not open a window\n"));
  EXPECT_THAT(rig.log_with(" open"), ElementsAre("0.1 open"));
}

}  // namespace
}  // namespace e2e
