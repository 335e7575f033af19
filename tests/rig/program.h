// A program started as a parent process starts one: in a folder of the test's choosing,
// its standard input empty, its standard output read through a pipe and its standard
// error kept in a file. On Linux a child (posix_spawn); on Windows a process started
// with a Unicode command line, as a Java runtime starts one (program_posix.cpp,
// program_windows.cpp).
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// How a program ended, told apart as a test needs it: it exited with a status, a signal
// killed it, or it was still running when the wait ran out (and was killed then).
struct Ending {
  enum class Kind { Exited, Killed, StillRunning };
  Kind kind = Kind::StillRunning;
  int number = 0;  // the exit status (0 to 255 on Linux, any on Windows), or the signal

  static Ending exited(int status) { return {Kind::Exited, status}; }
  static Ending killed_by(int signal) { return {Kind::Killed, signal}; }
  friend bool operator==(Ending a, Ending b) { return a.kind == b.kind && a.number == b.number; }
  // So that EXPECT_EQ(program->wait(10s), 0) reads "exited with status 0".
  friend bool operator==(Ending a, int status) { return a == exited(status); }
  friend std::ostream& operator<<(std::ostream& out, Ending ending);
};

// How a program run to its end ended and what it printed: what a parent sees of it. Two
// are equal when they ended alike and printed alike; standard error is shown beside, to
// explain a failure.
struct Finished {
  Ending ending;
  std::string out;
  std::string err;
  friend bool operator==(const Finished& a, const Finished& b) {
    return a.ending == b.ending && a.out == b.out;
  }
  friend std::ostream& operator<<(std::ostream& out, const Finished& finished);
};

// A program that exited with `status` after printing exactly `out`.
inline Finished finished(int status, std::string out) {
  return {Ending::exited(status), std::move(out), ""};
}

// What a parent sees of every program here: the end of each line printed, and the status
// a program's return of -1 comes as (255 on Linux, -1 on Windows).
extern const char* const kLineEnd;
extern const int kFailureStatus;

// Changes to the environment a program inherits: an empty value removes a variable.
using Environment = std::map<std::string, std::string>;

class Program {
 public:
  // Runs `file` (on Linux, one named without a folder is looked for on the PATH) with
  // the arguments `argv`, the first of them its name as typed.
  Program(const std::filesystem::path& file, const std::vector<std::string>& argv,
          const Environment& environment, const std::filesystem::path& folder,
          const std::filesystem::path& errors_folder);
  ~Program();  // kills the program if it still runs
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const;
  unsigned long id() const;  // the process id
  bool running();
  // Reads standard output until a whole line has come (returned with its line end), the
  // program closes it, or the time is up.
  std::string read_line(std::chrono::milliseconds timeout);
  // Waits up to `timeout` for the program to end, and says how it did; one still running
  // then is killed.
  Ending wait(std::chrono::milliseconds timeout);
  // Waits as wait() does, and says how it ended with everything it printed.
  Finished finish(std::chrono::milliseconds timeout);
  // Everything read from standard output so far, including by wait().
  const std::string& output() const { return out_; }
  std::string errors() const;

 private:
  struct Process;  // the platform's handles
  // Reads what standard output has, waiting up to `milliseconds` for some; at its end,
  // closes it.
  void drain(int milliseconds);
  bool output_open() const;
  void kill_now();

  std::unique_ptr<Process> process_;
  std::optional<Ending> ending_;  // once the program has ended
  std::string out_;
  std::filesystem::path errors_;
  std::size_t line_start_ = 0;
};

// What the platform gives every program on the virtual cameras: the camera's library
// and a runtime folder of the test's own on Linux; nothing under Wine, where CTest
// preloads the camera into the test program, whose Unix side every program shares.
Environment camera_environment(const std::filesystem::path& runtime_folder);
// Why the virtual camera cannot stand in for the machine's cameras here, or "".
std::string why_no_virtual_camera();
// The name by which the virtual camera, a Linux library, finds `file`.
std::string unix_name(const std::filesystem::path& file);

}  // namespace e2e
