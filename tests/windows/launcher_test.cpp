// QuelvarWin started as a user starts it, with a stand-in Java runtime on the search path
// or none, under Wine. The error box is found by its owner process, read back, kept as a
// screenshot and dismissed with the Enter key.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "program.h"
#include "read_file.h"
#include "screenshot.h"
#include "test_folder.h"
#include "window_search.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kLauncher = QUELVAR_PROGRAM;
const fs::path kStandIn = JAVAW_STANDIN_PROGRAM;
const fs::path kArtefacts = ARTEFACT_FOLDER;

// A folder of its own for one test.
fs::path fresh_folder(const std::string& name) {
  return cam::testing::new_test_folder("quelvar-test-" + name);
}

using cam::testing::read_file;

// The launcher started in `folder` with `search_path` as PATH and arguments of its own.
std::unique_ptr<e2e::Program> start_launcher(const fs::path& folder,
                                             const std::wstring& search_path, const fs::path& log) {
  auto launch = std::make_unique<e2e::Program>(
      kLauncher, std::vector<std::string>{"QuelvarWin.exe", "-jar", "Other.jar", "--ignored"},
      e2e::Environment{{"PATH", fs::path(search_path).u8string()}, {"STANDIN_LOG", log.u8string()}},
      folder, log.parent_path());
  EXPECT_TRUE(launch->started()) << "the launcher did not start: " << GetLastError();
  return launch;
}

// Windows' own folders, where no javaw.exe is.
std::wstring system_path() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(system) + L";" + windows;
}

TEST(Launcher, StartsJavaWithTheApplicationWithoutWaitingAndReturnsZero) {
  const fs::path root = fresh_folder("start");
  const fs::path app = root / "app";
  const fs::path runtime = root / "jre" / "bin";
  fs::create_directories(app);
  fs::create_directories(runtime);
  fs::copy_file(kStandIn, runtime / "javaw.exe");
  const fs::path log = root / "standin.log";

  const auto launch = start_launcher(app, runtime.wstring() + L";" + system_path(), log);
  // The stand-in runs until it is released: the launcher must return while it runs.
  EXPECT_EQ(launch->wait(10s), 0);
  EXPECT_EQ(read_file(log).find("ended"), std::string::npos) << read_file(log);
  std::ofstream(log.string() + ".release").close();

  std::string noted;
  for (auto waited = 0ms; waited < 20s; waited += 100ms) {
    noted = read_file(log);
    if (noted.find("ended") != std::string::npos) break;
    std::this_thread::sleep_for(100ms);
  }
  const std::string expected = "folder=" + app.string() +
                               "\n"
                               "command=javaw.exe -splash:splash.png -jar Quelvar.jar\n"
                               "arg=javaw.exe\n"
                               "arg=-splash:splash.png\n"
                               "arg=-jar\n"
                               "arg=Quelvar.jar\n"
                               "ended\n";
  EXPECT_EQ(noted, expected);
}

std::wstring text_of(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// The texts of the box's visible buttons, in order.
std::wstring buttons_of(HWND box) {
  std::wstring buttons;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t class_name[64] = {};
    GetClassNameW(child, class_name, 64);
    if (_wcsicmp(class_name, L"Button") == 0 && IsWindowVisible(child))
      buttons += L"[" + text_of(child) + L"]";
  }
  return buttons;
}

// Enter on the box's OK button, which has the focus: the box's own loop takes it as it
// takes a person's key. Posted to the button, not typed as input, which goes to whatever
// window is in front, another test's box or preview when tests run side by side.
void press_enter(HWND box) {
  const HWND button = GetDlgItem(box, IDOK);
  PostMessageW(button, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(button, WM_KEYUP, VK_RETURN, 0xC0000001);
}

bool have_display() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != 0;
}

// Starts the launcher with `search_path`, checks the box it shows, keeps a picture of it
// and dismisses it; the status must then be 1.
void expect_box(const std::wstring& search_path, const std::wstring& message, const char* picture) {
  const fs::path root = fresh_folder(picture);
  const auto launch = start_launcher(root, search_path, root / "standin.log");
  const HWND box = wintest::wait_for_window({launch->id(), L"", L"#32770", true}, 20s);
  ASSERT_NE(box, nullptr) << "no message box appeared";
  EXPECT_EQ(text_of(box), L"\u30A8\u30E9\u30FC");  // エラー
  EXPECT_EQ(text_of(GetDlgItem(box, 0xFFFF)), message);
  EXPECT_EQ(buttons_of(box), L"[OK]");  // style 0: OK alone
  EXPECT_TRUE(wait_until_drawn(GetDlgItem(box, 0xFFFF), 10s)) << "the message was never drawn";
  fs::create_directories(kArtefacts);
  EXPECT_TRUE(save_window_picture(box, kArtefacts / picture));
  press_enter(box);
  EXPECT_EQ(launch->wait(10s), 1);
}

TEST(LauncherBox, NoJavaOnTheSearchPathSaysTheRuntimeIsNotInstalled) {
  if (!have_display()) GTEST_SKIP() << "no display for the message box";
  // JAVA の実行環境がインストールされていないようです
  expect_box(system_path(),
             L"JAVA \u306E\u5B9F\u884C\u74B0\u5883\u304C\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB"
             L"\u3055\u308C\u3066\u3044\u306A\u3044\u3088\u3046\u3067\u3059",
             "launcher-no-java.bmp");
}

TEST(LauncherBox, AJavawThatIsNoProgramIsAnUnexpectedError) {
  if (!have_display()) GTEST_SKIP() << "no display for the message box";
  const fs::path bad = fresh_folder("bad-runtime");
  std::ofstream(bad / "javaw.exe") << "not a program\n";
  // 予期しないエラーが発生しました
  expect_box(bad.wstring() + L";" + system_path(),
             L"\u4E88\u671F\u3057\u306A\u3044\u30A8\u30E9\u30FC\u304C\u767A\u751F\u3057\u307E"
             L"\u3057\u305F",
             "launcher-unexpected-error.bmp");
}

}  // namespace
