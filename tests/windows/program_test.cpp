// capture.exe and camprobe.exe as a Windows parent runs them: standard output read through
// a pipe, byte for byte, line ends included. Wine shows the programs no camera.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

struct ProgramRun {
  long status = -1;
  std::string out;
  std::string err;
};

std::string read_all(HANDLE pipe) {
  std::string bytes;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  return bytes;
}

// Starts `program` with the command line `command` (its first word the name as typed).
ProgramRun run(const char* program, std::string command) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  ProgramRun result;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return result;
  if (!CreatePipe(&err_read, &err_write, &inherit, 0)) return result;
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process = {};
  const bool started = CreateProcessA(program, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (started) {
    result.out = read_all(out_read);  // the outputs are a few lines: no pipe fills up
    result.err = read_all(err_read);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    result.status = static_cast<long>(status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out_read);
  CloseHandle(err_read);
  return result;
}

const char kCapture[] = CAPTURE_PROGRAM;
const char kCamprobe[] = CAMPROBE_PROGRAM;

TEST(WindowsCapture, HelpAndVersionEndEachLineWithCrLfAndReturnMinusOne) {
  const ProgramRun help = run(kCapture, "capture.exe -h");
  EXPECT_EQ(help.out,
            "capture.exe ver. 1.0\r\n"
            "-c camNo\r\n"
            "-f filename [need .tif/.jpg]\r\n"
            "-n  n [n is max cam no.]\r\n"
            "-a  [Open all cam.]\r\n"
            "-v  [version.]\r\n"
            "-w  [Open one window.]\r\n"
            "-h  [help]\r\n");
  EXPECT_EQ(help.status, -1);
  EXPECT_EQ(help.err, "");

  const ProgramRun version = run(kCapture, "capture.exe -v");
  EXPECT_EQ(version.out, "ver. 1.0\r\n");
  EXPECT_EQ(version.status, -1);
}

TEST(WindowsCapture, NoCameraIsOneLineOnStandardOutput) {
  const ProgramRun result = run(kCapture, "capture.exe");
  EXPECT_EQ(result.out, "can not open capture camera\r\n");
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.err, "");
}

TEST(WindowsCapture, TheViewerWithNoCamerasEndsAtOnce) {
  const ProgramRun result = run(kCapture, "capture.exe -a -n 0");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 0);
}

TEST(WindowsCamprobe, CountsNoCameraInOneLine) {
  const ProgramRun result = run(kCamprobe, "camprobe.exe -n");
  EXPECT_EQ(result.out, "nCam = 0\r\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
}

TEST(WindowsCamprobe, AMissingCameraIsReportedWithStatusZero) {
  const ProgramRun result = run(kCamprobe, "camprobe.exe -c 1");
  EXPECT_EQ(result.out, "error cn=1\r\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
}

}  // namespace
