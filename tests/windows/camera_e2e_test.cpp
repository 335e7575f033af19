// What capture.exe and camprobe.exe do on virtual cameras under Wine beyond the cases
// every platform shares (e2e/camera_cases_e2e_test.cpp): DirectShow's faults, files that
// a viewer holds, names in any language. The virtual camera is preloaded into the Unix
// side of this test program and so of every program it starts, where Wine's capture
// reaches the cameras.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "camera_rig.h"
#include "display.h"
#include "frame_decoder.h"
#include "held_file.h"
#include "picture_checks.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::CameraRig;
using e2e::Cameras;
using e2e::expect_snapshot;
using e2e::Finished;
using e2e::finished;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kCapture = CAPTURE_PROGRAM;
const std::string kCamprobe = CAMPROBE_PROGRAM;

class WindowsCameras : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = e2e::why_no_virtual_camera(); !why.empty()) GTEST_SKIP() << why;
  }
  CameraRig rig_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  e2e::Display display_;
};

// DirectShow hands back a picture of the right size when no frame came in time; the
// tools must not take it for a frame.
TEST_F(WindowsCameras, ASilentCameraGivesNoPicture) {
  EXPECT_EQ(rig_.run(kCamprobe, {"-c", "0", "-f", "shot.png"}, Cameras(1).silent("0")),
            finished(0, "error cn=0\r\n"));
  EXPECT_FALSE(fs::exists(rig_.file("shot.png")));
}

// A viewer of the earlier pictures holds them open, sharing reading and writing but not
// deletion, so neither can be replaced by a rename: the new pictures go into the files.
TEST_F(WindowsCameras, BothToolsWriteIntoFilesAViewerHolds) {
  const wintest::HeldFile saved(rig_.file("saved.png"), "earlier", wintest::kLikeJava);
  const wintest::HeldFile shot(rig_.file("shot.png"), "earlier", wintest::kLikeJava);
  ASSERT_TRUE(saved.held() && shot.held());
  EXPECT_EQ(rig_.run(kCamprobe, {"-c", "1", "-f", "saved.png"}, 2), finished(0, ""));
  const auto mark = vcam::read_frame_mark(rig_.file("saved.png"));
  ASSERT_TRUE(mark.has_value());
  EXPECT_EQ(mark->camera, 1);
  expect_snapshot(rig_, display_, {"-f", "shot.png"}, 0, "shot.png");
}

TEST_F(WindowsCameras, ACameraUnpluggedDuringThePreviewIsReported) {
  EXPECT_EQ(rig_.run(kCapture, {}, Cameras(1).frames("0:30"), 30s),
            finished(1, "Can not open Camera 0\r\n"));
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
    EXPECT_EQ(rig_.run(kCamprobe, {"-c", "1", "-f", name}, 2), finished(0, ""));
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
  EXPECT_EQ(save, finished(0, "error file=" + shown + "\r\n"));
  EXPECT_THAT(rig_.files_left(), IsEmpty());
}

// Two names that read alike in the code page (café is cafe in 932) are two files all the
// same: the last -f wins, and the file written is the one it names.
TEST_F(WindowsFileNames, OfTwoNamesThatReadAlikeTheLastIsWritten) {
  const std::string plain = "cafe.png", accented = u8"caf\u00e9.png";
  for (const auto& [first, last] : {std::pair{plain, accented}, std::pair{accented, plain}}) {
    SCOPED_TRACE(last);
    EXPECT_EQ(rig_.run(kCamprobe, {"-c", "1", "-f", first, "-f", last}, 2), finished(0, ""));
    EXPECT_THAT(rig_.files_left(), ElementsAre(last));
    fs::remove(rig_.file(last));
  }
}

TEST_F(WindowsFileNames, CapturesSnapshotTakesANameOutsideTheCodePage) {
  expect_snapshot(rig_, display_, {"-f", u8"사진.png"}, 0, u8"사진.png");
  EXPECT_THAT(rig_.files_left(), ElementsAre(u8"사진.png"));
}

}  // namespace
