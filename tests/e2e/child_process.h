// A program run as a child with extra environment, its standard output read through a
// pipe and its standard error kept in a file, as a parent process runs the tools.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace e2e {

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
  // Waits for the child to end and returns its exit status (0 to 255); -1 when it was
  // still running after `timeout` (it is then killed) or died of a signal.
  int wait(std::chrono::milliseconds timeout);
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
  int status_ = -2;
  std::string out_;
  std::string err_path_;
  std::size_t line_start_ = 0;
};

}  // namespace e2e
