// Cameras that fail and files that cannot be written, on the real programs: every run
// ends with its line and status, and a file already at the target path survives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include "camera_rig.h"
#include "display.h"
#include "frame_decoder.h"
#include "read_file.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

const std::string kCapture = CAPTURE_PROGRAM;
const std::string kCamprobe = CAMPROBE_PROGRAM;
const std::string kEarlier = "an earlier picture, which must survive";
#ifdef __SANITIZE_ADDRESS__
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

using cam::testing::read_file;

// Sends a signal to the program if it still runs.
void send(Program& program, int signal) {
  if (program.running()) kill(static_cast<pid_t>(program.id()), signal);
}

// Puts the earlier picture at the rig's `name`.
void put_earlier(const CameraRig& rig, const std::string& name) {
  std::ofstream(rig.folder() + "/" + name, std::ios::binary) << kEarlier;
}

void expect_earlier_intact(const CameraRig& rig, const std::string& name) {
  EXPECT_EQ(read_file(rig.folder() + "/" + name), kEarlier);
  EXPECT_THAT(rig.files_left(), ElementsAre(name)) << "a partial or temporary file was left";
}

class FaultsOnDisplay : public ::testing::Test {
 protected:
  void SetUp() override { require_display(display_); }
  Display display_;
};

// A camera unplugged while capture shows it ends the run with its line; a picture at
// the snapshot's name survives.
TEST_F(FaultsOnDisplay, UnpluggedDuringCapturesWindows) {
  struct Unplugged {
    const char* row;
    std::vector<std::string> args;
    Cameras cameras;
    int status;
    std::string line;
  };
  const Unplugged runs[] = {
      {"preview", {"-f", "shot.png"}, Cameras(1).frames("0:8"), 1, "Can not open Camera 0\n"},
      {"all-camera-viewer",
       {"-a", "-n", "2"},
       Cameras(2).frames("1:8"),
       255,
       "Can not open Camera 1\n"},
  };
  for (const Unplugged& run : runs) {
    SCOPED_TRACE(run.row);
    CameraRig rig(std::string("fault-unplug-") + run.row);
    put_earlier(rig, "shot.png");
    auto capture = rig.start(kCapture, run.args, run.cameras, display_.environment());
    EXPECT_EQ(capture->finish(15s), finished(run.status, run.line));
    expect_earlier_intact(rig, "shot.png");
  }
}

// camprobe's view shows nothing once the camera is gone, but still ends with Esc.
TEST_F(FaultsOnDisplay, UnpluggedDuringCamprobesView) {
  CameraRig rig("fault-unplug-view");
  auto probe = rig.start(kCamprobe, {}, Cameras(1).frames("0:8"), display_.environment());
  const Window window = display_.wait_for_window(*probe, "Capture", 15s);
  ASSERT_TRUE(window) << probe->errors();
  ASSERT_TRUE(rig.wait_for_log("frame 8", 1, 5s));
  // The view goes on asking the camera that is gone for frames, and does not end.
  ASSERT_TRUE(rig.wait_for_log(" gone", 10, 5s));
  EXPECT_TRUE(probe->running()) << probe->errors();
  display_.press(window, kEsc);
  EXPECT_EQ(probe->finish(10s), finished(0, ""));
  EXPECT_THAT(rig.log_with("close"), ElementsAre("0.1 close"));
}

TEST_F(FaultsOnDisplay, CaptureIntoAMissingFolder) {
  CameraRig rig("fault-missing-folder-capture");
  auto capture = rig.start(kCapture, {"-f", "nosuch/shot.png"}, {1}, display_.environment());
  const Window window = display_.wait_for_window(*capture, "CAM  0", 15s);
  ASSERT_TRUE(window) << capture->errors();
  // The preview is running, so the window takes keys: a key sent as it first appears
  // can be lost on a busy machine.
  ASSERT_TRUE(rig.wait_for_log(" frame ", 3, 10s));
  display_.press(window, 'x');
  EXPECT_EQ(capture->finish(10s), finished(255, "can not save image nosuch/shot.png\n"));
  EXPECT_THAT(rig.files_left(), IsEmpty());
}

// V4L2 says a camera is busy when it is opened: each run looks camera 0 up, then tries
// to open it, and both find it busy. (What the runs print is a case every platform
// shares.)
TEST(Faults, ABusyCameraIsOnlyLookedUpAndTried) {
  CameraRig rig("fault-busy");
  for (const std::string& program : {kCapture, kCamprobe}) {
    auto run = rig.start(program, {"-f", "shot.png"}, Cameras(2).busy("0"));
    EXPECT_TRUE(run->wait(10s) == Ending::exited(program == kCapture ? 255 : 0)) << program;
  }
  auto count = rig.start(kCamprobe, {"-n"}, Cameras(2).busy("0"));
  EXPECT_EQ(count->wait(10s), 0);
  EXPECT_THAT(rig.log(), AllOf(SizeIs(6), Each("0 busy")));
}

// A save that fails is its line and status 0, and changes nothing: an earlier picture at
// the name survives whole, and no partial or temporary file is left.
TEST(Faults, ASaveThatFailsChangesNothing) {
  struct Save {
    const char* row;
    std::string program;
    std::vector<std::string> args;
    Cameras cameras;
    std::string line;
    bool earlier;  // whether a picture is at the name first
  };
  const Save saves[] = {
      {"silent-camera",
       kCamprobe,
       {"-f", "shot.png"},
       Cameras(1).silent("0"),
       "error cn=0\n",
       true},
      {"missing-folder",
       kCamprobe,
       {"-f", "nosuch/shot.png"},
       1,
       "error file=nosuch/shot.png\n",
       false},
      // The write runs out of room part way: a file size limit (SIGXFSZ ignored, so the
      // write fails with EFBIG) stands in for a full disk on any machine.
      {"file-size-limit",
       "/bin/sh",
       {"-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" \"$@\"", kCamprobe, "-w", "1920", "-h",
        "1080", "-f", "shot.png"},
       1,
       "error file=shot.png\n",
       true},
  };
  for (const Save& save : saves) {
    SCOPED_TRACE(save.row);
    CameraRig rig(std::string("fault-") + save.row);
    if (save.earlier) put_earlier(rig, "shot.png");
    auto probe = rig.start(save.program, save.args, save.cameras);
    EXPECT_EQ(probe->finish(15s), finished(0, save.line));
    if (save.earlier)
      expect_earlier_intact(rig, "shot.png");
    else
      EXPECT_THAT(rig.files_left(), IsEmpty());
  }
}

// The unshare options for a mount namespace of the test's own: as root, a mount namespace;
// otherwise a user namespace too, where this user is root, as most kernels allow.
std::vector<std::string> own_mounts() {
  if (geteuid() == 0) return {"-m"};
  return {"-r", "-m"};
}

// Why no mount namespace can be made here, or a tmpfs mounted in one; "" when they can.
// Asked on its own, so that a failure of what a test then runs there is never taken for
// the machine's limit.
std::string why_no_own_mounts(const CameraRig& rig) {
  std::vector<std::string> args = own_mounts();
  args.insert(args.end(), {"/bin/sh", "-c", "mount -t tmpfs tmpfs runtime"});
  auto probe = rig.start("/usr/bin/unshare", args, {0});
  const Ending ending = probe->wait(15s);
  if (ending == 0) return "";
  std::ostringstream why;
  why << "no mount namespace with a tmpfs of its own here (unshare " << ending
      << "): " << probe->errors();
  return why.str();
}

// Runs `script` under sh -e, with camprobe as $0 and the earlier picture's text as
// $earlier, in a mount namespace of its own: what it mounts ends with it. Returns its
// output, or nothing where no namespace or mount can be made here; `why` then says so.
// Anything else that fails in it fails the test.
std::optional<std::string> run_with_own_mounts(const CameraRig& rig, std::string& why,
                                               const std::string& script) {
  why = why_no_own_mounts(rig);
  if (!why.empty()) return std::nullopt;
  std::vector<std::string> args = own_mounts();
  args.insert(args.end(), {"/bin/sh", "-ec", "earlier='" + kEarlier + "'\n" + script, kCamprobe});
  auto run = rig.start("/usr/bin/unshare", args, {1});
  EXPECT_EQ(run->wait(15s), 0) << run->errors();
  return run->output();
}

// A real full file system: a small tmpfs.
TEST(Faults, AWriteIntoAFullFileSystem) {
  CameraRig rig("fault-full-tmpfs");
  fs::create_directories(rig.folder() + "/full");
  std::string why;
  const auto output = run_with_own_mounts(rig, why, R"(mount -t tmpfs -o size=64k tmpfs full
printf '%s' "$earlier" > full/shot.png
head -c 1000000 /dev/zero > full/filler 2>/dev/null || true  # until it is full
"$0" -w 1920 -h 1080 -f full/shot.png; echo "status $?"
cat full/shot.png; echo; ls full
)");
  if (!output) GTEST_SKIP() << why;
  EXPECT_EQ(*output, "error file=full/shot.png\nstatus 0\n" + kEarlier + "\nfiller\nshot.png\n");
}

// A snapshot name that links into another file system, as to a web server's folder: the
// picture goes there, written beside its target (a rename cannot cross file systems),
// and the link stays.
TEST(Links, ALinkIntoAnotherFileSystemIsWrittenThrough) {
  CameraRig rig("link-other-file-system");
  fs::create_directories(rig.folder() + "/published");
  fs::create_symlink("published/latest.png", rig.folder() + "/shot.png");
  std::string why;
  const auto output = run_with_own_mounts(rig, why, R"(mount -t tmpfs tmpfs published
printf '%s' "$earlier" > published/latest.png
"$0" -f shot.png; echo "status $?"
ls published; cp published/latest.png copy.png
)");
  if (!output) GTEST_SKIP() << why;
  EXPECT_EQ(*output, "status 0\nlatest.png\n");
  const auto mark = vcam::read_frame_mark(rig.folder() + "/copy.png");
  ASSERT_TRUE(mark.has_value()) << "the link's target does not hold the new picture";
  EXPECT_EQ(mark->camera, 0);
  EXPECT_EQ(fs::read_symlink(rig.folder() + "/shot.png"), "published/latest.png");
}

// In a chroot or container without /proc, the unnamed temporary cannot be named; a named
// one does instead.
TEST(Faults, ASaveWithoutProc) {
  if (kAddressSanitizer)
    GTEST_SKIP() << "[asan-needs-proc] AddressSanitizer cannot run a program without /proc";
  CameraRig rig("fault-no-proc");
  put_earlier(rig, "shot.png");
  std::string why;
  const auto output = run_with_own_mounts(rig, why, R"(mount -t tmpfs tmpfs /proc
"$0" -f shot.png; echo "status $?"
test -e /proc/self/fd || echo 'no /proc'
)");
  if (!output) GTEST_SKIP() << why;
  EXPECT_EQ(*output, "status 0\nno /proc\n");
  const auto mark = vcam::read_frame_mark(rig.folder() + "/shot.png");
  ASSERT_TRUE(mark.has_value());
  EXPECT_EQ(mark->camera, 0);
  EXPECT_THAT(rig.files_left(), ElementsAre("shot.png"));
}

// What a killed save left at the target: the earlier file or a whole new picture of
// camera 0 (a torn file fails the test). A temporary is left only by a kill between
// naming the finished file and the rename; it holds a whole picture and its name is
// never used again. Removes it, so each run starts alike.
enum class Left { Earlier, NewPicture };
Left check_what_a_kill_left(const CameraRig& rig, const std::string& name,
                            const std::string& when) {
  for (const std::string& left : rig.files_left()) {
    if (left == name) continue;
    EXPECT_EQ(left.rfind(name + ".tmp-", 0), 0u) << left << " left behind " << when;
    EXPECT_TRUE(vcam::read_frame_mark(rig.folder() + "/" + left).has_value()) << left;
    fs::remove(rig.folder() + "/" + left);
  }
  if (read_file(rig.folder() + "/" + name) == kEarlier) return Left::Earlier;
  const auto mark = vcam::read_frame_mark(rig.folder() + "/" + name);
  EXPECT_TRUE(mark.has_value() && mark->camera == 0) << "a torn file " << when;
  return Left::NewPicture;
}

// A save killed at any moment leaves at the target either the earlier file or a whole
// new picture, never a torn one, and nothing a later run trips over. The picture is a
// 6 MB BMP, so its write takes a while.
//
// Kills inside the write are certain: a file size limit kills the writer (SIGXFSZ) at
// set points of it. Other kills come at moments drawn with a fixed seed, from the start
// to twice the time a save takes to replace the file. camprobe is held at its exit, so
// every kill lands, and kills before and after the rename must both have happened.
//
// The test keeps inside CTest's limit for it (120 s): every wait is cut to what is left
// of 100 s, and a kill run starts only while there is time for it and the last run.
TEST(Interrupted, ASaveKilledAtAnyMomentLeavesAWholeFile) {
  using std::chrono::microseconds;
  using std::chrono::milliseconds;
  using std::chrono::steady_clock;
  const auto deadline = steady_clock::now() + 100s;
  const auto within = [&](milliseconds limit) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now());
    return std::clamp(left, 0ms, limit);
  };
  CameraRig rig("interrupted-save");
  const std::vector<std::string> args = {"-w", "1920", "-h", "1080", "-f", "shot.bmp"};
  const Cameras held = Cameras(1).hold_exit_until(rig.folder() + "/never");

  for (const int blocks : {1, 4000, 12000}) {  // of 512 bytes, in a file of 6.2 MB
    put_earlier(rig, "shot.bmp");
    std::vector<std::string> limited = {
        "-c", "ulimit -f " + std::to_string(blocks) + "; exec \"$0\" \"$@\"", kCamprobe};
    limited.insert(limited.end(), args.begin(), args.end());
    auto probe = rig.start("/bin/sh", limited, held);
    EXPECT_EQ(probe->wait(within(10s)), Ending::killed_by(SIGXFSZ)) << "at " << blocks << " blocks";
    EXPECT_EQ(check_what_a_kill_left(rig, "shot.bmp", "at " + std::to_string(blocks) + " blocks"),
              Left::Earlier);
  }

  // How long a save takes to replace the file, here and now.
  put_earlier(rig, "shot.bmp");
  const auto start = steady_clock::now();
  auto timed = rig.start(kCamprobe, args, held);
  const milliseconds timing_limit = within(10s);
  for (auto waited = 0ms;
       read_file(rig.folder() + "/shot.bmp") == kEarlier && waited < timing_limit; waited += 1ms)
    std::this_thread::sleep_for(1ms);
  const auto replace_time = steady_clock::now() - start;
  send(*timed, SIGKILL);
  timed->wait(within(10s));

  // 24 kills from the start to twice that time. A loaded machine may save slower later
  // on, or faster: then up to 16 more kills aim at the side of the rename that none has
  // reached yet, later and later (doubling) or earlier and earlier (halving). No kill
  // comes later than 8 s, well inside the 10 s camprobe is held at its exit.
  constexpr long kLatestUs = 8'000'000;
  std::mt19937 random(20261208);
  long from_us = 0;
  long to_us = std::clamp(
      2 * static_cast<long>(std::chrono::duration_cast<microseconds>(replace_time).count()), 1000L,
      kLatestUs);
  std::map<Left, int> kills;
  std::string stopped;  // why the runs stopped early, if they did
  for (int run = 0; run < 40; ++run) {
    const bool both = kills[Left::Earlier] > 0 && kills[Left::NewPicture] > 0;
    if (run >= 24 && both) break;
    if (run >= 24 && kills[Left::NewPicture] == 0) {
      from_us = to_us;
      to_us = std::min(2 * to_us, kLatestUs);
    } else if (run >= 24) {
      from_us = 0;
      to_us /= 2;
    }
    // This run's kill and wait, and the last run's wait, must fit in what is left.
    if (within(100s) < microseconds(to_us) + 20s) {
      stopped = " (no time was left for run " + std::to_string(run) + ")";
      break;
    }
    put_earlier(rig, "shot.bmp");
    auto probe = rig.start(kCamprobe, args, held);
    // The moment of the kill is what this test varies, not a wait for something.
    std::this_thread::sleep_for(
        microseconds(std::uniform_int_distribution<long>(from_us, to_us)(random)));
    const int signal = run % 2 == 0 ? SIGKILL : SIGTERM;
    send(*probe, signal);
    EXPECT_EQ(probe->wait(within(10s)), Ending::killed_by(signal)) << "run " << run;
    ++kills[check_what_a_kill_left(rig, "shot.bmp", "by run " + std::to_string(run))];
  }
  RecordProperty("killed_before_the_rename", kills[Left::Earlier]);
  RecordProperty("killed_after_the_rename", kills[Left::NewPicture]);
  EXPECT_GT(kills[Left::Earlier], 0) << "no kill landed before the rename" << stopped;
  EXPECT_GT(kills[Left::NewPicture], 0) << "no kill landed after the rename" << stopped;

  auto later = rig.start(kCamprobe, args, 1);
  EXPECT_EQ(later->finish(within(10s)), finished(0, ""));
  ASSERT_TRUE(vcam::read_frame_mark(rig.folder() + "/shot.bmp").has_value());
  EXPECT_THAT(rig.files_left(), ElementsAre("shot.bmp"));
}

}  // namespace
}  // namespace e2e
