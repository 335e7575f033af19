// A program run as a child with extra environment, its standard output read through a
// pipe and its standard error kept in a file, as a parent process runs the tools.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace e2e {

// How a child ended, told apart as a test needs it: it exited with a status, a signal
// killed it, or it was still running when the wait ran out (and was killed then).
struct Ending {
  enum class Kind { Exited, Killed, StillRunning };
  Kind kind = Kind::StillRunning;
  int number = 0;  // the exit status (0 to 255), or the signal

  static Ending exited(int status) { return {Kind::Exited, status}; }
  static Ending killed_by(int signal) { return {Kind::Killed, signal}; }
  friend bool operator==(Ending a, Ending b) { return a.kind == b.kind && a.number == b.number; }
  // So that EXPECT_EQ(child->wait(10s), 0) reads "exited with status 0".
  friend bool operator==(Ending a, int status) { return a == exited(status); }
  friend std::ostream& operator<<(std::ostream& out, Ending ending);
};

class ChildProcess {
 public:
  // Starts argv[0] (a path) in `folder`, with this process's environment changed by `env`
  // (an empty value removes a variable). Standard error goes to a new file in
  // `errors_folder`, a folder of the test's own.
  ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& folder, const std::string& errors_folder);
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // Reads standard output until a whole line has come (returned with its line end), the
  // child closes it, or the time is up.
  std::string read_line(std::chrono::milliseconds timeout);
  // Waits up to `timeout` for the child to end, and says how it did; one still running
  // then is killed.
  Ending wait(std::chrono::milliseconds timeout);
  bool running();
  // Sends a signal to the child if it still runs.
  void send(int signal);
  // Everything read from standard output so far, including by wait().
  const std::string& output() const { return out_; }
  std::string errors() const;

 private:
  void drain(int milliseconds);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::optional<Ending> ending_;  // once the child has ended
  std::string out_;
  std::string err_path_;
  std::size_t line_start_ = 0;
};

}  // namespace e2e
