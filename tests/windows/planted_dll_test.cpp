// DLLs planted where Windows looks for one that a program loads by its name alone: beside
// the program, in the folder it runs in and in a folder on the search path, under the
// names of OpenCV's plugins and of what else a program here could load by name. A user
// unpacks the package anywhere, the Downloads folder among them, where such a file may
// wait. No planted DLL may run in any mode of any program. Each decoy notes its loads
// (decoy_dll.cpp), and a program that loads one by name is caught by the same notes
// (load_by_name.cpp), or the tests fail: notes that nothing writes would prove nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "camera_rig.h"
#include "display.h"
#include "read_file.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::CameraRig;
using e2e::finished;
using ::testing::IsEmpty;

const fs::path kDecoy = DECOY_DLL;

// OpenCV's plugin loaders look for "opencv_<module>_<backend><version>.dll", with "_64"
// before ".dll" in a 64-bit program, beside the program and then by the name alone
// (opencv2/core/utils/plugin_loader.private.hpp and the back-end registries of core,
// videoio and highgui). Both widths' names are planted in every build.
std::vector<std::string> opencv_plugin_names() {
  const std::pair<const char*, std::vector<const char*>> loaders[] = {
      {"core_parallel", {"onetbb", "tbb", "openmp"}},
      {"videoio", {"ffmpeg", "gstreamer", "intel_mfx", "msmf", "ueye"}},
      {"highgui", {"gtk", "gtk2", "gtk3", "qt", "win32"}},
  };
  std::vector<std::string> names;
  for (const auto& [module, backends] : loaders)
    for (const char* backend : backends)
      for (const char* width : {"", "_64"})
        names.push_back(std::string("opencv_") + module + "_" + backend + OPENCV_VERSION_DIGITS +
                        width + ".dll");
  return names;
}

// Every name planted: OpenCV's plugins, and the GCC runtime DLLs whose functions the
// static runtime takes from one of that name once it is loaded already (libgcc's
// frame registration asks GetModuleHandle first, and loads by name only then).
std::vector<std::string> planted_names() {
  std::vector<std::string> names = opencv_plugin_names();
  names.insert(names.end(), {"libgcc_s_dw2-1.dll", "libgcc_s_seh-1.dll", "libgcj-16.dll"});
  return names;
}

// Where a DLL sought by name is looked for, as a user's machine may have it.
enum class Place { BesideTheProgram, CurrentFolder, SearchPath };
const Place kPlaces[] = {Place::BesideTheProgram, Place::CurrentFolder, Place::SearchPath};

std::string name_of(Place place) {
  switch (place) {
    case Place::BesideTheProgram:
      return "beside the program";
    case Place::CurrentFolder:
      return "in the current folder";
    case Place::SearchPath:
      return "on the search path";
  }
  return "";
}

std::string environment_variable(const char* name) {
  char value[32768] = "";
  const DWORD size = GetEnvironmentVariableA(name, value, sizeof value);
  return size < sizeof value ? std::string(value, size) : "";
}

// The decoys and the programs among them, in the rig's folder, which is the folder the
// programs run in: the programs are copied into a folder of their own below it, and
// another is put first on the search path.
class Planting {
 public:
  explicit Planting(const CameraRig& rig)
      : current_(rig.file("")), programs_(rig.file("programs")), search_(rig.file("on-path")) {
    fs::create_directories(programs_);
    fs::create_directories(search_);
  }

  fs::path folder(Place place) const {
    switch (place) {
      case Place::BesideTheProgram:
        return programs_;
      case Place::CurrentFolder:
        return current_;
      case Place::SearchPath:
        return search_;
    }
    return {};
  }

  void plant(Place place) const {
    for (const std::string& name : planted_names())
      fs::copy_file(kDecoy, folder(place) / name, fs::copy_options::overwrite_existing);
  }

  // The built program, copied among the decoys planted beside the program.
  std::string program(const fs::path& built) const {
    const fs::path copy = programs_ / built.filename();
    fs::copy_file(built, copy, fs::copy_options::overwrite_existing);
    return copy.u8string();
  }

  // A file in the folder on the search path (a stand-in for a program found there).
  fs::path on_search_path(const std::string& name) const { return search_ / name; }

  e2e::Environment environment() const {
    return {{"PATH", search_.u8string() + ";" + environment_variable("PATH")}};
  }

  // Runs `program` (one of those copied here) to its end, in the rig's folder.
  e2e::Finished run(const CameraRig& rig, const std::string& program,
                    const std::vector<std::string>& args) const {
    return rig.start(program, args, 0, environment())->finish(30s);
  }

  // Each load the decoys noted, as "NAME PLACE by PROGRAM" (the program's file name);
  // the notes are then removed, so that the next run's are its own.
  std::vector<std::string> loads() const {
    std::vector<std::string> loads;
    for (Place place : kPlaces) {
      for (const std::string& name : planted_names()) {
        const fs::path note = folder(place) / (name + ".loaded");
        std::string text = cam::testing::read_file(note);
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1)
          loads.push_back(name + " " + name_of(place) + " by " +
                          fs::u8path(text.substr(start, end - start)).filename().u8string());
        fs::remove(note);
      }
    }
    return loads;
  }

 private:
  fs::path current_, programs_, search_;
};

class PlantedDlls : public ::testing::Test {
 protected:
  // Decoys in every place, and the positive control: a load by name is seen.
  void plant_everywhere() {
    for (Place place : kPlaces) planting_.plant(place);
    const std::string control = planting_.program(LOAD_BY_NAME_PROGRAM);
    ASSERT_EQ(planting_.run(rig_, control, {opencv_plugin_names().front()}).ending, 0);
    ASSERT_THAT(planting_.loads(), ::testing::SizeIs(1)) << "the decoys noted no load";
  }

  CameraRig rig_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  Planting planting_{rig_};
};

// The positive control, in each place alone: a program that loads a plugin by its name
// runs the decoy, and the notes show it. The camera tools' own entry limits the search to
// Windows' own folder first thing, so the same load on that entry finds none of them.
TEST_F(PlantedDlls, ALoadByNameFindsEachPlaceButNotOnTheToolsEntry) {
  const std::string plugin = opencv_plugin_names().front();
  const std::string control = planting_.program(LOAD_BY_NAME_PROGRAM);
  const std::string limited = planting_.program(LIMITED_LOAD_BY_NAME_PROGRAM);
  for (Place place : kPlaces) {
    SCOPED_TRACE(name_of(place));
    planting_.plant(place);
    EXPECT_EQ(planting_.run(rig_, control, {plugin}),
              finished(0, plugin + " loaded" + e2e::kLineEnd));
    EXPECT_THAT(planting_.loads(),
                ::testing::ElementsAre(plugin + " " + name_of(place) + " by load_by_name.exe"));
    EXPECT_EQ(planting_.run(rig_, limited, {plugin}),
              finished(0, plugin + " not found" + e2e::kLineEnd));
    EXPECT_THAT(planting_.loads(), IsEmpty());
    for (const std::string& name : planted_names()) fs::remove(planting_.folder(place) / name);
  }
}

// One run of a camera tool in one of its modes: the window it shows, if any, gets `key`
// once its camera delivers.
struct ModeRun {
  const char* mode;
  fs::path program;
  std::vector<std::string> args;
  std::string window;
  char key;
  std::string out;
};

class PlantedDllsShown : public PlantedDlls {
 protected:
  void SetUp() override {
    if (const std::string why = e2e::why_no_virtual_camera(); !why.empty()) GTEST_SKIP() << why;
    e2e::require_display(display_);
  }
  e2e::Display display_;
};

TEST_F(PlantedDllsShown, NoneRunsInAnyModeOfTheCameraTools) {
  ASSERT_NO_FATAL_FAILURE(plant_everywhere());
  const std::string end = e2e::kLineEnd;
  const ModeRun runs[] = {
      {"count", CAMPROBE_PROGRAM, {"-n"}, "", 0, "nCam = 2" + end},
      {"save", CAMPROBE_PROGRAM, {"-c", "1", "-f", "saved.png"}, "", 0, ""},
      {"view", CAMPROBE_PROGRAM, {"-c", "1"}, "Capture", e2e::kEsc, ""},
      {"snapshot",
       CAPTURE_PROGRAM,
       {"-c", "1", "-f", "shot.jpg"},
       "CAM  1",
       'x',
       "save_image 1" + end},
      {"viewer", CAPTURE_PROGRAM, {"-a", "-n", "2"}, "CAM  1 ", 'x', ""},
  };
  for (const ModeRun& run : runs) {
    SCOPED_TRACE(run.mode);
    rig_.forget_log();
    auto program = rig_.start(planting_.program(run.program), run.args, 2, planting_.environment());
    if (!run.window.empty()) {
      const e2e::Window window = display_.wait_for_window(*program, run.window, 30s);
      ASSERT_TRUE(window) << "no window " << run.window << ": " << program->errors();
      // Shown for a few frames first: OpenCV's parallel work begins with the pictures.
      ASSERT_TRUE(rig_.wait_for_log(" frame ", 5, 10s)) << "no 5 frames within 10 s";
      display_.press(window, run.key);
    }
    EXPECT_EQ(program->finish(30s), finished(0, run.out));
    EXPECT_THAT(planting_.loads(), IsEmpty());
  }
}

TEST_F(PlantedDlls, NoneRunsWhenTheLauncherStartsJava) {
  ASSERT_NO_FATAL_FAILURE(plant_everywhere());
  fs::copy_file(JAVAW_STANDIN_PROGRAM, planting_.on_search_path("javaw.exe"));
  const fs::path log = rig_.file("standin.log");
  e2e::Environment environment = planting_.environment();
  environment["STANDIN_LOG"] = log.u8string();
  auto launcher = rig_.start(planting_.program(QUELVAR_PROGRAM), {}, 0, environment);
  EXPECT_EQ(launcher->wait(20s), 0);
  // The stand-in runs until it is released, and notes that it ended.
  std::ofstream(log.string() + ".release").close();
  std::string noted;
  for (auto waited = 0ms; waited < 20s && noted.find("ended") == std::string::npos;
       waited += 100ms) {
    std::this_thread::sleep_for(100ms);
    noted = cam::testing::read_file(log);
  }
  EXPECT_THAT(noted, ::testing::HasSubstr("arg=Quelvar.jar\nended\n"));
  EXPECT_THAT(planting_.loads(), IsEmpty());
}

}  // namespace
