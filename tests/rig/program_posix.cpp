#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "program.h"

extern char** environ;

namespace e2e {

struct Program::Process {
  pid_t pid = -1;
  int out = -1;  // the pipe's reading end, until the program closes its own
};

namespace {

// This process's environment with `changes` made.
std::vector<std::string> environment_with(const Environment& changes) {
  std::vector<std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (changes.count(entry.substr(0, entry.find('='))) == 0) entries.push_back(entry);
  }
  for (const auto& [name, value] : changes)
    if (!value.empty()) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

Program::Program(const std::filesystem::path& file, const std::vector<std::string>& argv,
                 const Environment& environment, const std::filesystem::path& folder,
                 const std::filesystem::path& errors_folder)
    : process_(std::make_unique<Process>()) {
  std::vector<std::string> entries = environment_with(environment), args = argv;
  std::string errors = (errors_folder / "stderr-XXXXXX").string();
  const int err_fd = mkostemp(errors.data(), O_CLOEXEC);
  if (err_fd < 0) return;
  errors_ = errors;
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
  // A file named without a folder is looked for on the PATH.
  if (posix_spawnp(&process_->pid, file.c_str(), &actions, nullptr, pointers_to(args).data(),
                   pointers_to(entries).data()) != 0)
    process_->pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  close(err_fd);
  process_->out = pipe_fds[0];
}

Program::~Program() {
  if (running()) kill_now();
  if (process_->out >= 0) close(process_->out);
  if (!errors_.empty()) std::remove(errors_.c_str());
}

bool Program::started() const { return process_->pid > 0; }

unsigned long Program::id() const { return static_cast<unsigned long>(process_->pid); }

bool Program::output_open() const { return process_->out >= 0; }

void Program::drain(int milliseconds) {
  if (process_->out < 0) return;
  pollfd p = {process_->out, POLLIN, 0};
  if (poll(&p, 1, milliseconds) <= 0) return;
  char buffer[4096];
  const ssize_t n = read(process_->out, buffer, sizeof buffer);
  if (n > 0) {
    out_.append(buffer, static_cast<std::size_t>(n));
  } else {
    close(process_->out);
    process_->out = -1;
  }
}

bool Program::running() {
  if (!started() || ending_) return false;
  int raw = 0;
  if (waitpid(process_->pid, &raw, WNOHANG) != process_->pid) return true;
  ending_ = WIFEXITED(raw) ? Ending::exited(WEXITSTATUS(raw)) : Ending::killed_by(WTERMSIG(raw));
  return false;
}

void Program::kill_now() {
  kill(process_->pid, SIGKILL);
  waitpid(process_->pid, nullptr, 0);
}

Environment camera_environment(const std::filesystem::path& runtime_folder) {
  return {
      {"LD_PRELOAD", VIRTUAL_CAMERA_LIBRARY},
      // The toolkit's runtime files go with the test's folder.
      {"XDG_RUNTIME_DIR", runtime_folder.string()},
      // No window unless the test gives a display.
      {"DISPLAY", ""},
      {"WAYLAND_DISPLAY", ""},
  };
}

const char* const kLineEnd = "\n";
const int kFailureStatus = 255;

std::string why_no_virtual_camera() { return ""; }  // it is built with the tests

std::string unix_name(const std::filesystem::path& file) { return file.string(); }

}  // namespace e2e
