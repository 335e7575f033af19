#include <windows.h>

#include <algorithm>
#include <atomic>

#include "program.h"

namespace e2e {

struct Program::Process {
  PROCESS_INFORMATION info = {};
  HANDLE out = nullptr;  // the pipe's reading end, until the program closes its own
};

namespace {

std::wstring wide(const std::string& utf8) {
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

// The command line a Java runtime makes of `argv`: an argument with a space or a tab in
// it is quoted, whole.
std::wstring command_line(const std::vector<std::string>& argv) {
  std::wstring line;
  for (const std::string& argument : argv) {
    const bool quoted = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    if (!line.empty()) line += L' ';
    line += quoted ? L"\"" + wide(argument) + L"\"" : wide(argument);
  }
  return line;
}

// This process's environment with `changes` made, as CreateProcessW takes one.
std::wstring environment_with(const Environment& changes) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
    const std::wstring text = entry;
    bool changed = false;
    for (const auto& change : changes) {  // a name in any case, as Windows takes PATH for Path
      const std::wstring name = wide(change.first) + L"=";
      changed |= _wcsnicmp(text.c_str(), name.c_str(), name.size()) == 0;
    }
    if (!changed) block += text + L'\0';
  }
  FreeEnvironmentStringsW(strings);
  for (const auto& [name, value] : changes)
    if (!value.empty()) block += wide(name) + L"=" + wide(value) + L'\0';
  return block + L'\0';
}

HANDLE inheritable(HANDLE handle) {
  SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return handle;
}

}  // namespace

Program::Program(const std::filesystem::path& file, const std::vector<std::string>& argv,
                 const Environment& environment, const std::filesystem::path& folder,
                 const std::filesystem::path& errors_folder)
    : process_(std::make_unique<Process>()) {
  static std::atomic<int> count{0};
  errors_ = errors_folder / ("stderr-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(count++));
  HANDLE out_write = nullptr;
  if (!CreatePipe(&process_->out, &out_write, nullptr, 0)) return;
  const HANDLE err = CreateFileW(errors_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, CREATE_ALWAYS, 0, nullptr);
  const HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable(in);
  startup.hStdOutput = inheritable(out_write);
  startup.hStdError = inheritable(err);
  std::wstring line = command_line(argv);  // CreateProcessW may write into it
  std::wstring block = environment_with(environment);
  if (!CreateProcessW(file.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                      block.data(), folder.c_str(), &startup, &process_->info))
    process_->info = {};
  for (HANDLE handle : {in, out_write, err}) CloseHandle(handle);
}

Program::~Program() {
  if (running()) kill_now();
  if (process_->out != nullptr) CloseHandle(process_->out);
  if (started()) {
    CloseHandle(process_->info.hThread);
    CloseHandle(process_->info.hProcess);
  }
  DeleteFileW(errors_.c_str());
}

bool Program::started() const { return process_->info.hProcess != nullptr; }

unsigned long Program::id() const { return process_->info.dwProcessId; }

bool Program::output_open() const { return process_->out != nullptr; }

void Program::drain(int milliseconds) {
  if (process_->out == nullptr) return;
  DWORD waiting = 0;
  if (!PeekNamedPipe(process_->out, nullptr, 0, nullptr, &waiting, nullptr)) {
    CloseHandle(process_->out);  // the program closed its end
    process_->out = nullptr;
    return;
  }
  if (waiting == 0) {
    Sleep(static_cast<DWORD>(milliseconds));
    return;
  }
  char buffer[4096];
  DWORD n = 0;
  if (ReadFile(process_->out, buffer, std::min<DWORD>(sizeof buffer, waiting), &n, nullptr))
    out_.append(buffer, n);
}

bool Program::running() {
  if (!started() || ending_) return false;
  if (WaitForSingleObject(process_->info.hProcess, 0) == WAIT_TIMEOUT) return true;
  DWORD status = 0;
  GetExitCodeProcess(process_->info.hProcess, &status);
  ending_ = Ending::exited(static_cast<int>(status));
  return false;
}

void Program::kill_now() {
  TerminateProcess(process_->info.hProcess, 99);
  WaitForSingleObject(process_->info.hProcess, INFINITE);
}

const char* const kLineEnd = "\r\n";
const int kFailureStatus = -1;

Environment camera_environment(const std::filesystem::path&) { return {}; }

std::string why_no_virtual_camera() {
  if (unix_name(std::filesystem::current_path()).empty())
    return "not under Wine: the virtual camera needs its Unix side";
  char preload[4096] = "";
  const DWORD size = GetEnvironmentVariableA("LD_PRELOAD", preload, sizeof preload);
  if (size == 0 || size >= sizeof preload ||
      std::string(preload).find("libvirtual_camera.so") == std::string::npos)
    return "no virtual camera preloaded (the build was given no Linux build's tests/vcam)";
  return "";
}

// Through Wine; "" when not under Wine.
std::string unix_name(const std::filesystem::path& file) {
  using Convert = char*(CDECL*)(const wchar_t*);
  static const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return "";
  char* name = convert(file.wstring().c_str());
  if (name == nullptr) return "";
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

}  // namespace e2e
