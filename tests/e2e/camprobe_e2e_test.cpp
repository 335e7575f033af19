// What the real camprobe does on Linux's virtual cameras beyond the cases every platform
// shares (camera_cases_e2e_test.cpp): V4L2's nodes, the count line before the exit, file
// names as bytes, no display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "camera_rig.h"
#include "frame_decoder.h"
#include "picture_checks.h"

namespace e2e {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kCamprobe = CAMPROBE_PROGRAM;
constexpr bool kOwnWindowToolkit = OWN_WINDOW_TOOLKIT;

// Runs camprobe -n on `cameras` and checks the line, then that every camera opened was
// closed by the time the line came. camprobe is held at its exit until the line has been
// read, so a line left in its buffer (which the exit would flush) never comes in time.
void expect_count(const Cameras& cameras, const std::string& line, const CameraRig& rig,
                  const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {"-n"};
  args.insert(args.end(), extra.begin(), extra.end());
  const std::string release = rig.folder() + "/release";
  auto probe = rig.start(kCamprobe, args, Cameras(cameras).hold_exit_until(release));
  EXPECT_EQ(probe->read_line(5s), line);
  EXPECT_TRUE(probe->running());
  EXPECT_EQ(rig.log_ending(" open").size(), rig.log_ending(" close").size());
  std::ofstream{release};
  EXPECT_EQ(probe->finish(15s), finished(0, line));
}

TEST(CamprobeCount, TheLineComesBeforeTheExitWithEveryCameraClosed) {
  for (int count : {0, 3}) {
    SCOPED_TRACE(count);
    CameraRig rig("count-" + std::to_string(count));
    expect_count({count}, "nCam = " + std::to_string(count) + "\n", rig);
  }
  CameraRig rig("count-7");
  expect_count({7}, "nCam = 6\n", rig);
  EXPECT_THAT(rig.log_of(6), IsEmpty()) << "camera 6 must never be opened";
}

// A camera that is there but cannot be opened ends the count; nodes after it are never
// asked. Looking it up and opening it both fail.
TEST(CamprobeCount, StopsAtACameraThatCannotBeOpened) {
  CameraRig rig("count-failing");
  expect_count(Cameras(5).metadata("1").failing("3"), "nCam = 2\n", rig);
  EXPECT_THAT(rig.log_with("open"),
              ElementsAre("0.1 open", "2.1 open", "3 open failed", "3 open failed"));
  EXPECT_THAT(rig.log_of(4), IsEmpty());
}

// Every UVC webcam brings a second node that carries only metadata. Cameras are the nodes
// that capture, in node order; node numbers left free by an unplugged camera are skipped.
TEST(CamprobeCount, CountsCaptureNodesOnlyAndSkipsGaps) {
  CameraRig rig("count-webcams");
  expect_count(Cameras(4).metadata("1,3"), "nCam = 2\n", rig);
  for (int node : {1, 3}) {
    // Asked what it is, never opened as a camera, never streamed.
    EXPECT_THAT(rig.log_of(node), Each(std::to_string(node) + " looked up")) << node;
  }

  CameraRig unplugged("count-after-unplug");
  expect_count(Cameras(6).absent("0,1").metadata("3,5"), "nCam = 2\n", unplugged);
  EXPECT_THAT(unplugged.log_ending(" open"), ElementsAre("2.1 open", "4.1 open"));
}

// Both are refused before any camera is asked what it is.
TEST(CamprobeRefusals, ACameraPastTheSlotsOrANameWithoutAFormatOpensNothing) {
  const std::pair<std::vector<std::string>, std::string> refusals[] = {
      {{"-c", "7"}, "error cn=7\n"}, {{"-f", "shot.xyz"}, "error file=shot.xyz\n"}};
  for (const auto& [args, line] : refusals) {
    CameraRig rig("refused" + args[0]);
    auto probe = rig.start(kCamprobe, args, 8);
    EXPECT_EQ(probe->finish(10s), finished(0, line));
    EXPECT_THAT(rig.log(), IsEmpty()) << line;
  }
}

// One frame of the camera asked for, with no display at all (a window would fail to
// open): the file named holds it, nothing else is left, and only that camera streamed.
TEST(CamprobeSave, WritesOneFrameOfTheCameraAskedForWithoutAWindow) {
  const Save saves[] = {
      {"camera-1",
       2,
       {"-c", "1", "-f", "shot.png", "-w", "320", "-h", "240"},
       "shot.png",
       1,
       320,
       240},
      // Camera 1 is the second webcam, whose capture node comes after the first one's
      // metadata node.
      {"second-webcam",
       Cameras(4).metadata("1,3"),
       {"-c", "1", "-f", "shot.png"},
       "shot.png",
       2,
       640,
       480},
      // Names are bytes on Linux: one that is no valid UTF-8 (café in Latin-1) is the
      // file written, byte for byte.
      {"latin1-name", 1, {"-f", "caf\xe9.png"}, "caf\xe9.png", 0, 640, 480},
  };
  for (const Save& save : saves) {
    SCOPED_TRACE(save.row);
    CameraRig rig(std::string("save-") + save.row);
    expect_save(rig, save);
    EXPECT_THAT(rig.log_with("stream on"),
                ElementsAre(std::to_string(save.camera) + ".1 stream on"));
  }
}

TEST(CamprobeView, WithoutADisplayEndsAtOnceAndClosesTheCamera) {
  if (!kOwnWindowToolkit)
    GTEST_SKIP() << "[system-qt-exits] the distribution's Qt ends the process itself";
  CameraRig rig("view-no-display");
  auto probe = rig.start(kCamprobe, {}, {1});
  EXPECT_EQ(probe->finish(10s), finished(0, "error window=Capture\n"));
  EXPECT_THAT(rig.log_with("close"), ElementsAre("0.1 close"));
}

}  // namespace
}  // namespace e2e
