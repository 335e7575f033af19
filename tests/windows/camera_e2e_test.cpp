// capture.exe and camprobe.exe on virtual cameras, through DirectShow as Wine provides
// it: the virtual camera is preloaded into the Unix side of this test program and so of
// every program it starts, where Wine's capture reaches the cameras. A program started
// under Wine keeps its parent's Unix environment, so each test gives its cameras in a
// file vcam.env in the folder it starts the programs in. Windows are found by title and
// keys posted to them.
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

#include "camera_settings.h"
#include "frame_decoder.h"
#include "held_file.h"
#include "jpeg_tables.h"
#include "read_file.h"
#include "screenshot.h"
#include "test_folder.h"
#include "virtual_camera_preload.h"
#include "window_search.h"
#include "windows_parent.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using vcam::Cameras;
using wintest::ProgramRun;
using wintest::RunningProgram;

const std::string kCapture = CAPTURE_PROGRAM;
const std::string kCamprobe = CAMPROBE_PROGRAM;

// The Unix name of a Windows path, through Wine; "" when not under Wine.
std::string unix_name(const fs::path& path) {
  using Convert = char*(CDECL*)(const wchar_t*);
  static const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return "";
  char* name = convert(path.wstring().c_str());
  if (name == nullptr) return "";
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

std::vector<std::string> lines_of(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A folder of the test's own, the cameras' log in it, and the environment that puts the
// programs on the cameras.
class Rig {
 public:
  explicit Rig(const std::string& name)
      : folder_(cam::testing::new_test_folder("camtools-e2e-" + name)) {}
  ~Rig() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Why this rig cannot run here, or "".
  std::string missing() const {
    if (unix_name(folder_).empty()) return "not under Wine: the virtual camera needs its Unix side";
    return wintest::why_no_virtual_camera();
  }

  ProgramRun run(const std::string& program, const std::string& command, const Cameras& cameras,
                 std::chrono::milliseconds limit = 30s) const {
    set_cameras(cameras);
    const ProgramRun run = RunningProgram(program, command, folder_.u8string()).finish(limit);
    EXPECT_TRUE(run.ended) << command << ": still running after " << limit.count() << " ms";
    return run;
  }
  std::unique_ptr<RunningProgram> start(const std::string& program, const std::string& command,
                                        const Cameras& cameras) const {
    set_cameras(cameras);
    return std::make_unique<RunningProgram>(program, command, folder_.u8string());
  }

  std::vector<std::string> log_with(const std::string& text) const {
    std::vector<std::string> found;
    for (const std::string& line : lines_of(folder_ / "cameras.log"))
      if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
  }
  // Waits up to `limit` for `count` log lines with `text`.
  bool wait_for_log(const std::string& text, size_t count, std::chrono::milliseconds limit) const {
    for (auto waited = 0ms; waited < limit; waited += 50ms) {
      if (log_with(text).size() >= count) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
  // How often each camera was set up: an open of it that set its frame size, which is
  // DirectShow building the camera's graph. Wine's listing of the devices opens them too,
  // but only to ask what they are.
  std::map<int, int> setups() const {
    std::map<int, std::set<std::string>> opens;
    for (const std::string& line : log_with(" size "))
      opens[std::stoi(line)].insert(line.substr(0, line.find(' ')));
    std::map<int, int> counted;
    for (const auto& [camera, ids] : opens) counted[camera] = static_cast<int>(ids.size());
    return counted;
  }
  // Starts the cameras' log afresh, for what the next run asks of them alone.
  void forget_log() const { fs::remove(folder_ / "cameras.log"); }
  // Every camera opened was closed again, as a release does (an exit closes none).
  void expect_all_closed() const {
    for (const std::string& open : log_with(" open")) {
      const std::string closed = open.substr(0, open.find(' ')) + " close";
      EXPECT_THAT(log_with(" close"), Contains(closed)) << open;
    }
  }
  // The file of this UTF-8 name in the rig's folder.
  fs::path file(const std::string& name) const { return folder_ / fs::u8path(name); }
  // Every file in the rig's folder and below, by its UTF-8 name relative to the folder.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder_))
      if (entry.is_regular_file())
        names.push_back(entry.path().lexically_relative(folder_).u8string());
    return names;
  }

 private:
  void set_cameras(const Cameras& cameras) const {
    std::ofstream settings(folder_ / "vcam.env", std::ios::binary);
    for (const auto& [name, value] : cameras.settings()) settings << name << "=" << value << "\n";
    settings << "VCAM_LOG=" << unix_name(folder_ / "cameras.log") << "\n";
  }

  fs::path folder_;
};

// Waits up to `limit` for the program's top-level window of exactly this title.
HWND wait_for_window(const RunningProgram& program, const std::string& title,
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
void press(HWND window, char key) { PostMessageA(window, WM_CHAR, static_cast<WPARAM>(key), 1); }

class WindowsCameras : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = rig_.missing(); !why.empty()) GTEST_SKIP() << why;
  }
  Rig rig_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(WindowsCameras, CamprobeCountsUpToSixCameras) {
  for (const auto& [cameras, counted] : {std::pair{0, 0}, {1, 1}, {3, 3}, {7, 6}}) {
    const ProgramRun probe = rig_.run(kCamprobe, "camprobe.exe -n", cameras);
    EXPECT_EQ(probe.out, "nCam = " + std::to_string(counted) + "\r\n") << cameras << " cameras";
    EXPECT_EQ(probe.status, 0);
    EXPECT_EQ(probe.err, "");
  }
}

TEST_F(WindowsCameras, TheCountAsksEveryCountedCameraForTheSizeGiven) {
  const ProgramRun probe = rig_.run(kCamprobe, "camprobe.exe -n -w 320 -h 240", 2);
  EXPECT_EQ(probe.out, "nCam = 2\r\n");
  for (const char* camera : {"0.", "1."}) {
    bool sized = false;
    for (const std::string& line : rig_.log_with("size 320x240")) sized |= line.rfind(camera, 0) == 0;
    EXPECT_TRUE(sized) << "camera " << camera << " was not asked for 320x240";
  }
  rig_.expect_all_closed();
}

// DirectShow builds a camera's graph at 640x480 as it opens it: a frame size asked for
// afterwards sets it up again only when the size is another.
TEST_F(WindowsCameras, EachCameraIsSetUpOnceAtTheSizeItHas) {
  using SetUps = std::map<int, int>;
  const std::pair<const char*, SetUps> runs[] = {
      {"camprobe.exe -n", {{0, 1}, {1, 1}}},
      {"camprobe.exe -c 0 -f a.png", {{0, 1}}},
      {"camprobe.exe -c 1 -f b.png", {{0, 1}, {1, 1}}},
      {"camprobe.exe -n -w 320 -h 240", {{0, 2}, {1, 2}}},
      {"camprobe.exe -c 1 -f b.png -w 320 -h 240", {{0, 1}, {1, 2}}},
  };
  for (const auto& [command, setups] : runs) {
    rig_.forget_log();
    const ProgramRun probe = rig_.run(kCamprobe, command, 2);
    EXPECT_EQ(probe.status, 0) << command;
    EXPECT_EQ(rig_.setups(), setups) << command;
  }
}

TEST_F(WindowsCameras, CamprobeSavesCameraOnesFrameInEachFormat) {
  for (const std::string name : {"shot.png", "shot.jpg", "shot.tif"}) {
    const ProgramRun save = rig_.run(kCamprobe, "camprobe.exe -c 1 -f " + name, 2);
    EXPECT_EQ(save.out, "") << name;
    EXPECT_EQ(save.status, 0);
    const auto mark = vcam::read_frame_mark(rig_.file(name));
    ASSERT_TRUE(mark.has_value()) << name;
    EXPECT_EQ(mark->camera, 1) << name;
  }
}

TEST_F(WindowsCameras, CamprobeReportsACameraThatIsNotThere) {
  const ProgramRun save = rig_.run(kCamprobe, "camprobe.exe -c 1 -f shot.png", 1);
  EXPECT_EQ(save.out, "error cn=1\r\n");
  EXPECT_EQ(save.status, 0);
  EXPECT_FALSE(fs::exists(rig_.file("shot.png")));
}

// The preview of camera `camera` until a key; the file written shows that camera, in a
// frame that came after the first (the one that showed the camera works).
void expect_snapshot(const Rig& rig, const std::string& command, int camera,
                     const std::string& file, const Cameras& cameras = 2,
                     const std::string& picture = "") {
  rig.forget_log();
  auto capture = rig.start(kCapture, command, cameras);
  const std::string title = "CAM  " + std::to_string(camera);
  const HWND window = wait_for_window(*capture, title, 30s);
  ASSERT_NE(window, nullptr) << "no window " << title << ": " << capture->finish(0ms).out;
  const SIZE size = picture_size(window, 640, 480, 10s);
  EXPECT_EQ(size.cx, 640);
  EXPECT_EQ(size.cy, 480);
  ASSERT_TRUE(rig.wait_for_log(" frame ", 10, 10s)) << "no 10 frames within 10 s";
  if (!picture.empty()) {  // the preview as a user sees it, title bar and all
    fs::create_directories(ARTEFACT_FOLDER);
    EXPECT_TRUE(save_window_picture(window, fs::path(ARTEFACT_FOLDER) / picture));
  }
  press(window, 'x');
  const ProgramRun run = capture->finish(10s);
  EXPECT_TRUE(run.ended) << "still running 10 s after the key";
  EXPECT_EQ(run.out, "save_image " + std::to_string(camera) + "\r\n");
  EXPECT_EQ(run.status, 0);
  const auto mark = vcam::read_frame_mark(rig.file(file));
  ASSERT_TRUE(mark.has_value()) << file;
  EXPECT_EQ(mark->camera, camera);
  EXPECT_GT(mark->frame, 1);
  rig.expect_all_closed();
  EXPECT_EQ(rig.setups(), (std::map<int, int>{{camera, 1}}));
}

TEST_F(WindowsCameras, CapturesSnapshotIsTheFrameOnScreenAsTif) {
  expect_snapshot(rig_, "capture.exe", 0, "test.tif", 2, "capture-preview.bmp");
}

TEST_F(WindowsCameras, CapturesSnapshotIsTheFrameOnScreenAsJpegAtQuality100) {
  expect_snapshot(rig_, "capture.exe -f shot.jpg", 0, "shot.jpg");
  const std::vector<int> tables =
      cam::testing::quantisation_values(cam::testing::read_file(rig_.file("shot.jpg")));
  ASSERT_GE(tables.size(), 64u);
  EXPECT_EQ(std::count(tables.begin(), tables.end(), 1), static_cast<long>(tables.size()));
}

TEST_F(WindowsCameras, TheViewerShowsBothCamerasAndEndsOnAKey) {
  auto capture = rig_.start(kCapture, "capture.exe -a -n 2", 2);
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
  const ProgramRun run = capture->finish(20s);
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 0);
  rig_.expect_all_closed();
  EXPECT_EQ(rig_.setups(), (std::map<int, int>{{0, 1}, {1, 1}}));
}

TEST_F(WindowsCameras, CamprobesViewKeepsOnUntilEsc) {
  auto probe = rig_.start(kCamprobe, "camprobe.exe -w 320 -h 240", 1);
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
  const ProgramRun run = probe->finish(20s);
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 0);
}

// What Windows shows that Linux does not.

// DirectShow hands back a picture of the right size when no frame came in time; the
// tools must not take it for a frame.
TEST_F(WindowsCameras, ASilentCameraGivesNoPicture) {
  const ProgramRun save = rig_.run(kCamprobe, "camprobe.exe -c 0 -f shot.png", Cameras(1).silent("0"));
  EXPECT_EQ(save.out, "error cn=0\r\n");
  EXPECT_EQ(save.status, 0);
  EXPECT_FALSE(fs::exists(rig_.file("shot.png")));
}

TEST_F(WindowsCameras, ABusyCameraKeepsItsNumberAndFailsToStart) {
  const Cameras busy_first = Cameras(2).busy("0");
  const ProgramRun count = rig_.run(kCamprobe, "camprobe.exe -n", busy_first);
  EXPECT_EQ(count.out, "nCam = 0\r\n");
  const ProgramRun capture = rig_.run(kCapture, "capture.exe", busy_first);
  EXPECT_EQ(capture.out, "can not open capture camera\r\n");
  EXPECT_EQ(capture.status, -1);
  // Camera 1 is still camera 1.
  expect_snapshot(rig_, "capture.exe -c 1 -f one.png", 1, "one.png", busy_first);
}

// A viewer of the earlier pictures holds them open, sharing reading and writing but not
// deletion, so neither can be replaced by a rename: the new pictures go into the files.
TEST_F(WindowsCameras, BothToolsWriteIntoFilesAViewerHolds) {
  const wintest::HeldFile saved(rig_.file("saved.png"), "earlier", wintest::kLikeJava);
  const wintest::HeldFile shot(rig_.file("shot.png"), "earlier", wintest::kLikeJava);
  ASSERT_TRUE(saved.held() && shot.held());
  const ProgramRun save = rig_.run(kCamprobe, "camprobe.exe -c 1 -f saved.png", 2);
  EXPECT_EQ(save.out, "");
  EXPECT_EQ(save.status, 0);
  const auto mark = vcam::read_frame_mark(rig_.file("saved.png"));
  ASSERT_TRUE(mark.has_value());
  EXPECT_EQ(mark->camera, 1);
  expect_snapshot(rig_, "capture.exe -f shot.png", 0, "shot.png");
}

TEST_F(WindowsCameras, ACameraUnpluggedDuringThePreviewIsReported) {
  const ProgramRun run = rig_.run(kCapture, "capture.exe", Cameras(1).frames("0:30"), 30s);
  EXPECT_EQ(run.out, "Can not open Camera 0\r\n");
  EXPECT_EQ(run.status, 1);
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
      u8"café.png",   // 1252: in the code page; 932: would become cafe.png
      u8"Łódź.png",   // 1252: would become Lódz.png; 932: outside it
      u8"写真.png",   // 1252: outside; 932: in the code page
      u8"사진.png",   // outside both
      u8"사진\\shot.png",  // in a folder outside both
      // Fullwidth quotation marks. Converted first, as on Windows 1252, they would be
      // quotes that end the name and pass -c 0 as an option.
      u8"＂ -c 0 ＂.png",
  };
  fs::create_directory(rig_.file(u8"사진"));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const ProgramRun save = rig_.run(kCamprobe, "camprobe.exe -c 1 -f \"" + name + "\"", 2);
    EXPECT_EQ(save.out, "");
    EXPECT_EQ(save.status, 0);
    EXPECT_THAT(rig_.files(), UnorderedElementsAre("cameras.log", name, "vcam.env"));
    const auto mark = vcam::read_frame_mark(rig_.file(name));
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(mark->camera, 1);
    fs::remove(rig_.file(name));
  }
}

// The failure line names the file as the console shows it, in the ANSI code page.
TEST_F(WindowsFileNames, ANameThatCannotBeWrittenIsReportedAndChangesNothing) {
  const ProgramRun save = rig_.run(kCamprobe, u8"camprobe.exe -c 1 -f 없음\\café.png", 2);
  const std::string shown = code_page_ == 932 ? "??\\cafe.png" : "??\\caf\xe9.png";
  EXPECT_EQ(save.out, "error file=" + shown + "\r\n");
  EXPECT_EQ(save.status, 0);
  EXPECT_THAT(rig_.files(), UnorderedElementsAre("cameras.log", "vcam.env"));
}

// Two names that read alike in the code page (café is cafe in 932) are two files all the
// same: the last -f wins, and the file written is the one it names.
TEST_F(WindowsFileNames, OfTwoNamesThatReadAlikeTheLastIsWritten) {
  const std::string plain = "cafe.png", accented = u8"caf\u00e9.png";
  for (const auto& [first, last] : {std::pair{plain, accented}, std::pair{accented, plain}}) {
    SCOPED_TRACE(last);
    const ProgramRun save =
        rig_.run(kCamprobe, "camprobe.exe -c 1 -f " + first + " -f " + last, 2);
    EXPECT_EQ(save.out, "");
    EXPECT_EQ(save.status, 0);
    EXPECT_THAT(rig_.files(), UnorderedElementsAre("cameras.log", last, "vcam.env"));
    fs::remove(rig_.file(last));
  }
}

TEST_F(WindowsFileNames, CapturesSnapshotTakesANameOutsideTheCodePage) {
  expect_snapshot(rig_, u8"capture.exe -f 사진.png", 0, u8"사진.png");
  EXPECT_THAT(rig_.files(), UnorderedElementsAre("cameras.log", u8"사진.png", "vcam.env"));
}

}  // namespace
