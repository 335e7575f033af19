// The cases every platform's build must pass on virtual cameras, written once: on Linux
// through OpenCV's V4L2 backend, under Wine through its DirectShow. What differs is the
// platform's and comes from the rig: the line end, the status a parent sees for the
// programs' -1, the display. Each suite's name says the platform (CamerasOnLinux,
// CamerasOnWindows) and a failing row is named in its trace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "camera_rig.h"
#include "capture_help.h"
#include "display.h"
#include "frame_decoder.h"
#include "jpeg_tables.h"
#include "picture_checks.h"
#include "read_file.h"

#define JOIN(a, b) JOIN_(a, b)
#define JOIN_(a, b) a##b
#define SUITE(name) JOIN(name, E2E_PLATFORM)

namespace e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using SetUps = std::map<int, int>;

const std::string kCapture = CAPTURE_PROGRAM;
const std::string kCamprobe = CAMPROBE_PROGRAM;

std::string line(const std::string& text) {
  return text + kLineEnd;
}

// How many frames the log shows camera `camera` delivered, in any of its opens.
long frames_of(const CameraRig& rig, int camera) {
  const std::vector<std::string> frames = rig.log_with(" frame ");
  const std::string prefix = std::to_string(camera) + ".";
  return std::count_if(frames.begin(), frames.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// The size camera `camera` was last set to, e.g. "320x240"; "" when it never was.
std::string last_size(const CameraRig& rig, int camera) {
  std::string size;
  for (const std::string& entry : rig.log_of(camera))
    if (entry.find(" size ") != std::string::npos) size = entry.substr(entry.rfind(' ') + 1);
  return size;
}

class SUITE(Cameras) : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = why_no_virtual_camera(); !why.empty()) GTEST_SKIP() << why;
  }
  CameraRig rig_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

class SUITE(CamerasShown) : public SUITE(Cameras) {
 protected:
  void SetUp() override {
    SUITE(Cameras)::SetUp();
    if (!IsSkipped()) require_display(display_);
  }
  Display display_;
};

TEST(SUITE(Programs), EachRunWithNoCameraIsItsOneLineAndStatus) {
  if (const std::string why = why_no_virtual_camera(); !why.empty()) GTEST_SKIP() << why;
  const std::string capture_name = fs::path(kCapture).filename().string();
  CameraRig("no-camera")
      .expect_runs(
          {
              {kCapture,
               {"-h"},
               cam::testing::capture_help(capture_name, kLineEnd),
               kFailureStatus},
              {kCapture, {"-c", "3", "-v"}, line("ver. 1.0"), kFailureStatus},
              {kCapture, {"-c", "16"}, line("Over Cam No [<16]"), kFailureStatus},
              {kCapture, {"-f", "shot.xyz"}, line("can not save image shot.xyz"), kFailureStatus},
              {kCapture, {}, line("can not open capture camera"), kFailureStatus},
              {kCapture, {"-a", "-n", "2"}, line("can not open capture camera 0"), kFailureStatus},
              {kCapture, {"-a"}, "", 0},             // the viewer with no count ends at once
              {kCapture, {"-a", "-n", "0"}, "", 0},  // and so does one with no cameras
              // A missing camera is named as asked for, although camera 0 is missing too.
              {kCamprobe, {"-n"}, line("nCam = 0"), 0},
              {kCamprobe, {"-c", "1"}, line("error cn=1"), 0},
          },
          0);
}

// Each camera a run opens is started once, whatever size is asked for.
TEST_F(SUITE(Cameras), EachCameraIsStartedOnceAtAnySize) {
  const std::pair<std::vector<std::string>, SetUps> runs[] = {
      {{"-n"}, {{0, 1}, {1, 1}}},
      {{"-c", "0", "-f", "a.png"}, {{0, 1}}},
      {{"-c", "1", "-f", "b.png"}, {{0, 1}, {1, 1}}},
      {{"-n", "-w", "320", "-h", "240"}, {{0, 1}, {1, 1}}},
      {{"-c", "1", "-f", "b.png", "-w", "320", "-h", "240"}, {{0, 1}, {1, 1}}},
  };
  for (const auto& [args, setups] : runs) {
    SCOPED_TRACE(::testing::PrintToString(args));
    rig_.forget_log();
    EXPECT_EQ(rig_.run(kCamprobe, args, 2).ending, 0);
    EXPECT_EQ(rig_.setups(), setups);
  }
}

TEST_F(SUITE(Cameras), CamprobeCountsUpToSixCameras) {
  for (const auto& [cameras, counted] : {std::pair{0, 0}, {1, 1}, {3, 3}, {7, 6}}) {
    SCOPED_TRACE(std::to_string(cameras) + " cameras");
    rig_.forget_log();
    const Finished probe = rig_.run(kCamprobe, {"-n"}, cameras);
    EXPECT_EQ(probe, finished(0, line("nCam = " + std::to_string(counted))));
    EXPECT_EQ(probe.err, "");
    rig_.expect_all_closed();
  }
}

// Each counted camera is started once, at the size asked for; one that lacks it still
// counts.
TEST_F(SUITE(Cameras), TheCountAsksEveryCountedCameraForTheSizeGiven) {
  EXPECT_EQ(rig_.run(kCamprobe, {"-n", "-w", "320", "-h", "240"}, 3),
            finished(0, line("nCam = 3")));
  for (int camera : {0, 1, 2}) EXPECT_EQ(last_size(rig_, camera), "320x240") << "camera " << camera;
  EXPECT_EQ(rig_.setups(), (SetUps{{0, 1}, {1, 1}, {2, 1}}));
  rig_.expect_all_closed();

  rig_.forget_log();
  EXPECT_EQ(rig_.run(kCamprobe, {"-n", "-w", "320", "-h", "240"}, Cameras(2).sizes("640x480")),
            finished(0, line("nCam = 2")));
  EXPECT_EQ(rig_.setups(), (SetUps{{0, 1}, {1, 1}}));
}

// One frame of the camera asked for, at the size asked for or the nearest the camera
// has, with no window: the file named holds it, and nothing else is left. Each camera
// opened is started once.
TEST_F(SUITE(Cameras), CamprobeSavesOneFrameOfTheCameraAskedFor) {
  const Save saves[] = {
      {"png", 2, {"-c", "1", "-f", "shot.png", "-w", "320", "-h", "240"}, "shot.png", 1, 320, 240},
      {"jpg", 2, {"-c", "1", "-f", "shot.jpg", "-w", "320", "-h", "240"}, "shot.jpg", 1, 320, 240},
      {"tif", 2, {"-c", "1", "-f", "shot.tif", "-w", "320", "-h", "240"}, "shot.tif", 1, 320, 240},
      // A camera without the size asked for gives the nearest it has.
      {"size-not-offered",
       Cameras(2).sizes("640x480,1280x720"),
       {"-c", "1", "-f", "shot.png", "-w", "320", "-h", "240"},
       "shot.png",
       1,
       640,
       480},
      // Camera 0, opened on the way with no size asked, starts at the size it has.
      {"only-320x240",
       Cameras(2).sizes("320x240"),
       {"-c", "1", "-f", "shot.png"},
       "shot.png",
       1,
       320,
       240},
  };
  for (const Save& save : saves) {
    SCOPED_TRACE(save.row);
    expect_save(rig_, save);
    EXPECT_EQ(rig_.setups(), (SetUps{{0, 1}, {1, 1}}));
    fs::remove(rig_.file(save.name));
  }
}

TEST_F(SUITE(Cameras), CamprobeReportsACameraThatIsNotThere) {
  EXPECT_EQ(rig_.run(kCamprobe, {"-c", "1", "-f", "shot.png"}, 1), finished(0, line("error cn=1")));
  EXPECT_FALSE(fs::exists(rig_.file("shot.png")));
}

// A camera another program has is not opened, and a picture already at the name is
// left as it was.
TEST_F(SUITE(Cameras), ABusyCameraIsNotOpened) {
  std::ofstream(rig_.file("shot.png"), std::ios::binary) << "earlier";
  rig_.expect_runs(
      {{kCapture, {"-f", "shot.png"}, line("can not open capture camera"), kFailureStatus},
       {kCamprobe, {"-n"}, line("nCam = 0"), 0},
       {kCamprobe, {"-f", "shot.png"}, line("error cn=0"), 0}},
      Cameras(2).busy("0"));
  EXPECT_EQ(cam::testing::read_file(rig_.file("shot.png")), "earlier");
}

TEST_F(SUITE(CamerasShown), TheCameraAfterABusyOneKeepsItsNumber) {
  expect_snapshot(rig_, display_, {"-c", "1", "-f", "one.png"}, 1, "one.png", Cameras(2).busy("0"));
}

TEST_F(SUITE(CamerasShown), CapturesSnapshotIsTheFrameOnScreenAsTif) {
  expect_snapshot(rig_, display_, {}, 0, "test.tif", 2, "capture-preview");
}

TEST_F(SUITE(CamerasShown), CapturesSnapshotIsTheFrameOnScreenAsJpegAtQuality100) {
  expect_snapshot(rig_, display_, {"-c", "1", "-f", "shot.jpg"}, 1, "shot.jpg");
  const std::vector<int> tables =
      cam::testing::quantisation_values(cam::testing::read_file(rig_.file("shot.jpg")));
  ASSERT_GE(tables.size(), 64u);
  EXPECT_EQ(std::count(tables.begin(), tables.end(), 1), static_cast<long>(tables.size()));
}

TEST_F(SUITE(CamerasShown), TheViewerShowsEveryCameraAndEndsOnAKey) {
  auto capture = rig_.start(kCapture, {"-a", "-n", "2"}, 2, display_.environment());
  EXPECT_TRUE(display_.wait_for_window(*capture, "CAM  0 ", 30s)) << capture->errors();
  const Window second = display_.wait_for_window(*capture, "CAM  1 ", 30s);
  ASSERT_TRUE(second);
  // Once both cameras are shown, so that the key reaches a viewer that reads keys.
  for (auto waited = 0ms; frames_of(rig_, 1) < 3 && waited < 10s; waited += 50ms)
    std::this_thread::sleep_for(50ms);
  ASSERT_GE(frames_of(rig_, 1), 3) << "camera 1 showed no 3 frames within 10 s";
  display_.press(second, 'x');
  EXPECT_EQ(capture->finish(20s), finished(0, ""));
  rig_.expect_all_closed();
  EXPECT_EQ(rig_.setups(), (SetUps{{0, 1}, {1, 1}}));
}

TEST_F(SUITE(CamerasShown), CamprobesViewKeepsOnUntilEscAndNotUntilAnyOtherKey) {
  auto probe = rig_.start(kCamprobe, {"-w", "320", "-h", "240"}, 1, display_.environment());
  const Window window = display_.wait_for_window(*probe, "Capture", 30s);
  ASSERT_TRUE(window) << probe->errors();
  EXPECT_EQ(display_.wait_for_picture(window, 320, 240, 10s), "");
  EXPECT_EQ(rig_.setups(), (SetUps{{0, 1}}));
  // Once the view runs, so that a key sent as the window first appears is not lost and
  // taken for one the view ignored.
  ASSERT_TRUE(rig_.wait_for_log(" frame ", 3, 10s)) << "no frame within 10 s";
  display_.press(window, 'x');
  // Frames still come well after the key: the view did not end.
  const std::size_t frames_then = rig_.log_with(" frame ").size();
  EXPECT_TRUE(rig_.wait_for_log(" frame ", frames_then + 10, 20s));
  EXPECT_TRUE(probe->running()) << "a key other than Esc ended the view\n" << probe->errors();
  display_.press(window, kEsc);
  EXPECT_EQ(probe->finish(20s), finished(0, "")) << probe->errors();
  rig_.expect_all_closed();
}

}  // namespace
}  // namespace e2e
