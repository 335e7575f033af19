// Starts a console program as a Windows parent does (CreateProcessW with a Unicode command
// line, as a Java runtime starts one; standard output and error through pipes) and
// collects what it printed and its exit status.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

namespace wintest {

struct ProgramRun {
  long status = -1;  // -1 also when it did not start; `started` tells which
  bool started = false;
  bool ended = false;  // false: killed at the time limit
  std::string out;
  std::string err;
};

class RunningProgram {
 public:
  // `command` is the whole command line in UTF-8, its first word the name as typed;
  // `folder` is the working folder, or "" for this process's own.
  RunningProgram(const std::string& program, const std::string& command,
                 const std::string& folder = "");
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool running() const;
  // Waits up to `limit` for the program to end (killing it then), and returns the run.
  ProgramRun finish(std::chrono::milliseconds limit = std::chrono::seconds(60));
  DWORD id() const { return process_.dwProcessId; }

 private:
  PROCESS_INFORMATION process_ = {};
  ProgramRun run_;
  std::thread out_reader_, err_reader_;
  HANDLE out_ = nullptr, err_ = nullptr;
};

// UTF-8 text as Windows' Unicode functions take it.
std::wstring wide(const std::string& utf8);

// Runs a program to its end.
ProgramRun run(const std::string& program, const std::string& command,
               const std::string& folder = "");

}  // namespace wintest
