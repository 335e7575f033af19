#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "read_file.h"

extern char** environ;

namespace e2e {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env, const std::string& folder,
                           const std::string& errors_folder)
    : err_path_(errors_folder + "/stderr-XXXXXX") {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (env.count(entry.substr(0, entry.find('='))) == 0) environment.push_back(entry);
  }
  // An empty value takes the variable away.
  for (const auto& [name, value] : env)
    if (!value.empty()) environment.push_back(name + "=" + value);
  std::vector<char*> envp, args;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy = argv;
  for (std::string& a : argv_copy) args.push_back(a.data());
  args.push_back(nullptr);

  const int err_fd = mkostemp(&err_path_[0], O_CLOEXEC);
  if (err_fd < 0) return;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    close(err_fd);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  close(err_fd);
  out_fd_ = pipe_fds[0];
}

ChildProcess::~ChildProcess() {
  if (running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
  std::remove(err_path_.c_str());
}

void ChildProcess::drain(int milliseconds) {
  if (out_fd_ < 0) return;
  pollfd p = {out_fd_, POLLIN, 0};
  if (poll(&p, 1, milliseconds) <= 0) return;
  char buffer[4096];
  const ssize_t n = read(out_fd_, buffer, sizeof buffer);
  if (n > 0) {
    out_.append(buffer, static_cast<std::size_t>(n));
  } else {
    close(out_fd_);  // the child closed its end
    out_fd_ = -1;
  }
}

std::string ChildProcess::read_line(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (out_.find('\n', line_start_) == std::string::npos && out_fd_ >= 0 &&
         std::chrono::steady_clock::now() < end)
    drain(20);
  const std::size_t newline = out_.find('\n', line_start_);
  const std::size_t stop = newline == std::string::npos ? out_.size() : newline + 1;
  std::string line = out_.substr(line_start_, stop - line_start_);
  line_start_ = stop;
  return line;
}

std::ostream& operator<<(std::ostream& out, Ending ending) {
  switch (ending.kind) {
    case Ending::Kind::Exited:
      return out << "exited with status " << ending.number;
    case Ending::Kind::Killed:
      return out << "killed by SIG" << (sigabbrev_np(ending.number) ? sigabbrev_np(ending.number) : "?")
                 << " (signal " << ending.number << ")";
    case Ending::Kind::StillRunning:
      break;
  }
  return out << "still running at the time limit";
}

bool ChildProcess::running() {
  if (pid_ <= 0 || ending_) return false;
  int raw = 0;
  if (waitpid(pid_, &raw, WNOHANG) != pid_) return true;
  ending_ = WIFEXITED(raw) ? Ending::exited(WEXITSTATUS(raw)) : Ending::killed_by(WTERMSIG(raw));
  return false;
}

void ChildProcess::send(int signal) {
  if (running()) kill(pid_, signal);
}

Ending ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return Ending{};
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (running() && std::chrono::steady_clock::now() < end) drain(20);
  if (running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    ending_ = Ending{};
  }
  // What the child wrote before it ended; a grandchild keeping the pipe open ends this.
  for (int waits = 0; out_fd_ >= 0 && waits < 50; ++waits) drain(20);
  return *ending_;
}

std::string ChildProcess::errors() const {
  return cam::testing::read_file(err_path_);
}

}  // namespace e2e
