#include "windows_parent.h"

namespace wintest {

namespace {

void read_all(HANDLE pipe, std::string* bytes) {
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes->append(buffer, n);
}

}  // namespace

std::wstring wide(const std::string& utf8) {
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

RunningProgram::RunningProgram(const std::string& program, const std::string& command,
                               const std::string& folder) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out_write = nullptr, err_write = nullptr;
  if (!CreatePipe(&out_, &out_write, &inherit, 0)) return;
  if (!CreatePipe(&err_, &err_write, &inherit, 0)) return;
  SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  std::wstring command_line = wide(command);  // CreateProcessW may write into it
  const std::wstring working_folder = wide(folder);
  run_.started =
      CreateProcessW(wide(program).c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     folder.empty() ? nullptr : working_folder.c_str(), &startup, &process_);
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (!run_.started) return;
  out_reader_ = std::thread(read_all, out_, &run_.out);
  err_reader_ = std::thread(read_all, err_, &run_.err);
}

RunningProgram::~RunningProgram() {
  if (run_.started && !run_.ended) finish(std::chrono::milliseconds(0));
  if (out_) CloseHandle(out_);
  if (err_) CloseHandle(err_);
}

bool RunningProgram::running() const {
  return run_.started && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

ProgramRun RunningProgram::finish(std::chrono::milliseconds limit) {
  if (!run_.started || run_.ended || !process_.hProcess) return run_;
  run_.ended =
      WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
  if (!run_.ended) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, INFINITE);
  }
  out_reader_.join();
  err_reader_.join();
  DWORD status = 0;
  GetExitCodeProcess(process_.hProcess, &status);
  run_.status = static_cast<long>(status);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
  process_.hProcess = nullptr;
  ProgramRun result = run_;
  run_.ended = true;  // the destructor has nothing left to do
  return result;
}

ProgramRun run(const std::string& program, const std::string& command, const std::string& folder) {
  RunningProgram running(program, command, folder);
  return running.finish();
}

}  // namespace wintest
