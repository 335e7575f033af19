// capture.exe and camprobe.exe on virtual cameras, through DirectShow as Wine provides
// it: the virtual camera is preloaded into the Unix side of this test program and so of
// every program it starts, where Wine's capture reaches the cameras. Windows are found
// by title and keys posted to them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "camera_rig.h"
#include "frame_decoder.h"
#include "held_file.h"
#include "jpeg_tables.h"
#include "read_file.h"
#include "screenshot.h"
#include "window_search.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::CameraRig;
using e2e::Cameras;
using e2e::Finished;
using e2e::Program;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kCapture = CAPTURE_PROGRAM;
const std::string kCamprobe = CAMPROBE_PROGRAM;

// Waits up to `limit` for the program's top-level window of exactly this title.
HWND wait_for_window(const Program& program, const std::string& title,
                     std::chrono::milliseconds limit) {
  return wintest::wait_for_window({program.id(), std::wstring(title.begin(), title.end()), L""},
                                  limit);
}

// The size of the picture the window shows, once it shows one of `width` by `height`
// (up to `limit`); OpenCV's window takes the picture's size at the first picture.
SIZE picture_size(HWND window, LONG width, LONG height, std::chrono::milliseconds limit) {
  RECT area = {};
  for (auto waited = 0ms; waited < limit; waited += 50ms) {
    // The picture sits in a child window of its own size.
    HWND picture = GetWindow(window, GW_CHILD);
    GetClientRect(picture ? picture : window, &area);
    if (area.right - area.left == width && area.bottom - area.top == height) break;
    std::this_thread::sleep_for(50ms);
  }
  return {area.right - area.left, area.bottom - area.top};
}

// A key as the window's message loop receives it from the keyboard.
void press(HWND window, char key) {
  PostMessageA(window, WM_CHAR, static_cast<WPARAM>(key), 1);
}

class WindowsCameras : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = e2e::why_no_virtual_camera(); !why.empty()) GTEST_SKIP() << why;
  }
  CameraRig rig_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(WindowsCameras, CamprobeCountsUpToSixCameras) {
  for (const auto& [cameras, counted] : {std::pair{0, 0}, {1, 1}, {3, 3}, {7, 6}}) {
    const Finished probe = rig_.run(kCamprobe, {"-n"}, cameras);
    EXPECT_EQ(probe.out, "nCam = " + std::to_string(counted) + "\r\n") << cameras << " cameras";
    EXPECT_EQ(probe.ending, 0);
    EXPECT_EQ(probe.err, "");
  }
}

TEST_F(WindowsCameras, TheCountAsksEveryCountedCameraForTheSizeGiven) {
  const Finished probe = rig_.run(kCamprobe, {"-n", "-w", "320", "-h", "240"}, 2);
  EXPECT_EQ(probe.out, "nCam = 2\r\n");
  for (const char* camera : {"0.", "1."}) {
    bool sized = false;
    for (const std::string& line : rig_.log_with("size 320x240"))
      sized |= line.rfind(camera, 0) == 0;
    EXPECT_TRUE(sized) << "camera " << camera << " was not asked for 320x240";
  }
  rig_.expect_all_closed();
}

using SetUps = std::map<int, int>;

// DirectShow builds a camera's graph as it opens it, at the size asked for with the open:
// a size asked for afterwards would build it a second time.
TEST_F(WindowsCameras, EachCameraIsSetUpOnceAtAnySize) {
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
    const Finished probe = rig_.run(kCamprobe, args, 2);
    EXPECT_EQ(probe.ending, 0);
    EXPECT_EQ(rig_.setups(), setups);
  }
}

// A camera that lacks the size asked for still opens, once, and gives the nearest size
// it has; one opened without a size (a slot before the camera asked for) starts at
// whatever size it has.
TEST_F(WindowsCameras, ACameraWithoutTheSizeAskedForGivesTheNearestItHas) {
  struct Save {
    const char* sizes;
    std::vector<std::string> args;
    std::string name;
    int camera;
    int width;
    int height;
    SetUps setups;
  };
  const Save saves[] = {
      {"640x480",
       {"-c", "0", "-f", "a.png", "-w", "320", "-h", "240"},
       "a.png",
       0,
       640,
       480,
       {{0, 1}}},
      {"320x240", {"-c", "1", "-f", "b.png"}, "b.png", 1, 320, 240, {{0, 1}, {1, 1}}},
  };
  for (const Save& save : saves) {
    SCOPED_TRACE(save.sizes);
    rig_.forget_log();
    const Finished probe = rig_.run(kCamprobe, save.args, Cameras(2).sizes(save.sizes));
    EXPECT_EQ(probe.out, "");
    EXPECT_EQ(probe.ending, 0);
    const auto mark = vcam::read_frame_mark(rig_.file(save.name));
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(mark->camera, save.camera);
    EXPECT_EQ(mark->width, save.width);
    EXPECT_EQ(mark->height, save.height);
    EXPECT_EQ(rig_.setups(), save.setups);
  }
  rig_.forget_log();
  const Finished count =
      rig_.run(kCamprobe, {"-n", "-w", "320", "-h", "240"}, Cameras(2).sizes("640x480"));
  EXPECT_EQ(count.out, "nCam = 2\r\n");
  EXPECT_EQ(rig_.setups(), (SetUps{{0, 1}, {1, 1}}));
}

TEST_F(WindowsCameras, CamprobeSavesCameraOnesFrameInEachFormat) {
  for (const std::string name : {"shot.png", "shot.jpg", "shot.tif"}) {
    const Finished save = rig_.run(kCamprobe, {"-c", "1", "-f", name}, 2);
    EXPECT_EQ(save.out, "") << name;
    EXPECT_EQ(save.ending, 0);
    const auto mark = vcam::read_frame_mark(rig_.file(name));
    ASSERT_TRUE(mark.has_value()) << name;
    EXPECT_EQ(mark->camera, 1) << name;
  }
}

TEST_F(WindowsCameras, CamprobeReportsACameraThatIsNotThere) {
  const Finished save = rig_.run(kCamprobe, {"-c", "1", "-f", "shot.png"}, 1);
  EXPECT_EQ(save.out, "error cn=1\r\n");
  EXPECT_EQ(save.ending, 0);
  EXPECT_FALSE(fs::exists(rig_.file("shot.png")));
}

// The preview of camera `camera` until a key; the file written shows that camera, in a
// frame that came after the first (the one that showed the camera works).
void expect_snapshot(const CameraRig& rig, const std::vector<std::string>& args, int camera,
                     const std::string& file, const Cameras& cameras = 2,
                     const std::string& picture = "") {
  rig.forget_log();
  auto capture = rig.start(kCapture, args, cameras);
  const std::string title = "CAM  " + std::to_string(camera);
  const HWND window = wait_for_window(*capture, title, 30s);
  ASSERT_NE(window, nullptr) << "no window " << title << ": " << capture->output();
  const SIZE size = picture_size(window, 640, 480, 10s);
  EXPECT_EQ(size.cx, 640);
  EXPECT_EQ(size.cy, 480);
  ASSERT_TRUE(rig.wait_for_log(" frame ", 10, 10s)) << "no 10 frames within 10 s";
  if (!picture.empty()) {  // the preview as a user sees it, title bar and all
    fs::create_directories(ARTEFACT_FOLDER);
    EXPECT_TRUE(save_window_picture(window, fs::path(ARTEFACT_FOLDER) / picture));
  }
  press(window, 'x');
  EXPECT_EQ(capture->wait(10s), 0) << "10 s after the key";
  EXPECT_EQ(capture->output(), "save_image " + std::to_string(camera) + "\r\n");
  const auto mark = vcam::read_frame_mark(rig.file(file));
  ASSERT_TRUE(mark.has_value()) << file;
  EXPECT_EQ(mark->camera, camera);
  EXPECT_GT(mark->frame, 1);
  rig.expect_all_closed();
  EXPECT_EQ(rig.setups(), (SetUps{{camera, 1}}));
}

TEST_F(WindowsCameras, CapturesSnapshotIsTheFrameOnScreenAsTif) {
  expect_snapshot(rig_, {}, 0, "test.tif", 2, "capture-preview.bmp");
}

TEST_F(WindowsCameras, CapturesSnapshotIsTheFrameOnScreenAsJpegAtQuality100) {
  expect_snapshot(rig_, {"-f", "shot.jpg"}, 0, "shot.jpg");
  const std::vector<int> tables =
      cam::testing::quantisation_values(cam::testing::read_file(rig_.file("shot.jpg")));
  ASSERT_GE(tables.size(), 64u);
  EXPECT_EQ(std::count(tables.begin(), tables.end(), 1), static_cast<long>(tables.size()));
}

TEST_F(WindowsCameras, TheViewerShowsBothCamerasAndEndsOnAKey) {
  auto capture = rig_.start(kCapture, {"-a", "-n", "2"}, 2);
  const HWND first = wait_for_window(*capture, "CAM  0 ", 30s);
  const HWND second = wait_for_window(*capture, "CAM  1 ", 30s);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  // Once both cameras are shown, so that the key reaches a viewer that reads keys. (Wine
  // opens a camera more than once, so camera 1's frames may come from any of its opens.)
  const auto frames_of_camera_1 = [this] {
    const std::vector<std::string> frames = rig_.log_with(" frame ");
    return std::count_if(frames.begin(), frames.end(),
                         [](const std::string& line) { return line.rfind("1.", 0) == 0; });
  };
  for (auto waited = 0ms; frames_of_camera_1() < 3 && waited < 10s; waited += 50ms)
    std::this_thread::sleep_for(50ms);
  ASSERT_GE(frames_of_camera_1(), 3) << "camera 1 showed no 3 frames within 10 s";
  press(second, 'x');
  EXPECT_EQ(capture->wait(20s), 0);
  EXPECT_EQ(capture->output(), "");
  rig_.expect_all_closed();
  EXPECT_EQ(rig_.setups(), (SetUps{{0, 1}, {1, 1}}));
}

TEST_F(WindowsCameras, CamprobesViewKeepsOnUntilEsc) {
  auto probe = rig_.start(kCamprobe, {"-w", "320", "-h", "240"}, 1);
  const HWND window = wait_for_window(*probe, "Capture", 30s);
  ASSERT_NE(window, nullptr);
  const SIZE size = picture_size(window, 320, 240, 10s);
  EXPECT_EQ(size.cx, 320);
  EXPECT_EQ(size.cy, 240);
  press(window, 'x');
  // Frames still come well after the key: the view did not end.
  const size_t frames_then = rig_.log_with(" frame ").size();
  ASSERT_TRUE(rig_.wait_for_log(" frame ", frames_then + 10, 20s));
  EXPECT_TRUE(probe->running());
  press(window, 27);
  EXPECT_EQ(probe->wait(20s), 0);
  EXPECT_EQ(probe->output(), "");
}

// What Windows shows that Linux does not.

// DirectShow hands back a picture of the right size when no frame came in time; the
// tools must not take it for a frame.
TEST_F(WindowsCameras, ASilentCameraGivesNoPicture) {
  const Finished save = rig_.run(kCamprobe, {"-c", "0", "-f", "shot.png"}, Cameras(1).silent("0"));
  EXPECT_EQ(save.out, "error cn=0\r\n");
  EXPECT_EQ(save.ending, 0);
  EXPECT_FALSE(fs::exists(rig_.file("shot.png")));
}

TEST_F(WindowsCameras, ABusyCameraKeepsItsNumberAndFailsToStart) {
  const Cameras busy_first = Cameras(2).busy("0");
  const Finished count = rig_.run(kCamprobe, {"-n"}, busy_first);
  EXPECT_EQ(count.out, "nCam = 0\r\n");
  const Finished capture = rig_.run(kCapture, {}, busy_first);
  EXPECT_EQ(capture.out, "can not open capture camera\r\n");
  EXPECT_EQ(capture.ending, -1);
  // Camera 1 is still camera 1.
  expect_snapshot(rig_, {"-c", "1", "-f", "one.png"}, 1, "one.png", busy_first);
}

// A viewer of the earlier pictures holds them open, sharing reading and writing but not
// deletion, so neither can be replaced by a rename: the new pictures go into the files.
TEST_F(WindowsCameras, BothToolsWriteIntoFilesAViewerHolds) {
  const wintest::HeldFile saved(rig_.file("saved.png"), "earlier", wintest::kLikeJava);
  const wintest::HeldFile shot(rig_.file("shot.png"), "earlier", wintest::kLikeJava);
  ASSERT_TRUE(saved.held() && shot.held());
  const Finished save = rig_.run(kCamprobe, {"-c", "1", "-f", "saved.png"}, 2);
  EXPECT_EQ(save.out, "");
  EXPECT_EQ(save.ending, 0);
  const auto mark = vcam::read_frame_mark(rig_.file("saved.png"));
  ASSERT_TRUE(mark.has_value());
  EXPECT_EQ(mark->camera, 1);
  expect_snapshot(rig_, {"-f", "shot.png"}, 0, "shot.png");
}

TEST_F(WindowsCameras, ACameraUnpluggedDuringThePreviewIsReported) {
  const Finished run = rig_.run(kCapture, {}, Cameras(1).frames("0:30"), 30s);
  EXPECT_EQ(run.out, "Can not open Camera 0\r\n");
  EXPECT_EQ(run.ending, 1);
  EXPECT_FALSE(fs::exists(rig_.file("test.tif")));
}

// Names in any language, passed as a Java runtime passes them: in a Unicode command line.
// main() would get them in the ANSI code page, where what the code page lacks is lost and
// some characters are swapped for look-alikes. CTest runs these in a Western (1252) and a
// Japanese (932) code page, which Wine takes from the locale in LC_ALL.
class WindowsFileNames : public WindowsCameras {
 protected:
  void SetUp() override {
    WindowsCameras::SetUp();
    if (IsSkipped()) return;
    const char* locale = std::getenv("LC_ALL");
    const bool japanese = locale != nullptr && std::string(locale).rfind("ja_JP", 0) == 0;
    code_page_ = japanese ? 932 : 1252;
    ASSERT_EQ(GetACP(), code_page_) << "LC_ALL=" << (locale ? locale : "");
  }
  UINT code_page_ = 0;
};

TEST_F(WindowsFileNames, EachNameIsTheFileWrittenAndNoOther) {
  const std::string names[] = {
      u8"café.png",        // 1252: in the code page; 932: would become cafe.png
      u8"Łódź.png",        // 1252: would become Lódz.png; 932: outside it
      u8"写真.png",        // 1252: outside; 932: in the code page
      u8"사진.png",        // outside both
      u8"사진\\shot.png",  // in a folder outside both
      // Fullwidth quotation marks. Converted first, as on Windows 1252, they would be
      // quotes that end the name and pass -c 0 as an option.
      u8"＂ -c 0 ＂.png",
  };
  fs::create_directory(rig_.file(u8"사진"));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Finished save = rig_.run(kCamprobe, {"-c", "1", "-f", name}, 2);
    EXPECT_EQ(save.out, "");
    EXPECT_EQ(save.ending, 0);
    EXPECT_THAT(rig_.files_left(), ElementsAre(name));
    const auto mark = vcam::read_frame_mark(rig_.file(name));
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(mark->camera, 1);
    fs::remove(rig_.file(name));
  }
}

// The failure line names the file as the console shows it, in the ANSI code page.
TEST_F(WindowsFileNames, ANameThatCannotBeWrittenIsReportedAndChangesNothing) {
  const Finished save = rig_.run(kCamprobe, {"-c", "1", "-f", u8"없음\\café.png"}, 2);
  const std::string shown = code_page_ == 932 ? "??\\cafe.png" : "??\\caf\xe9.png";
  EXPECT_EQ(save.out, "error file=" + shown + "\r\n");
  EXPECT_EQ(save.ending, 0);
  EXPECT_THAT(rig_.files_left(), IsEmpty());
}

// Two names that read alike in the code page (café is cafe in 932) are two files all the
// same: the last -f wins, and the file written is the one it names.
TEST_F(WindowsFileNames, OfTwoNamesThatReadAlikeTheLastIsWritten) {
  const std::string plain = "cafe.png", accented = u8"caf\u00e9.png";
  for (const auto& [first, last] : {std::pair{plain, accented}, std::pair{accented, plain}}) {
    SCOPED_TRACE(last);
    const Finished save = rig_.run(kCamprobe, {"-c", "1", "-f", first, "-f", last}, 2);
    EXPECT_EQ(save.out, "");
    EXPECT_EQ(save.ending, 0);
    EXPECT_THAT(rig_.files_left(), ElementsAre(last));
    fs::remove(rig_.file(last));
  }
}

TEST_F(WindowsFileNames, CapturesSnapshotTakesANameOutsideTheCodePage) {
  expect_snapshot(rig_, {"-f", u8"사진.png"}, 0, u8"사진.png");
  EXPECT_THAT(rig_.files_left(), ElementsAre(u8"사진.png"));
}

}  // namespace
