#include "program.h"

#include "read_file.h"

namespace e2e {

std::ostream& operator<<(std::ostream& out, Ending ending) {
  switch (ending.kind) {
    case Ending::Kind::Exited:
      return out << "exited with status " << ending.number;
    case Ending::Kind::Killed:
      return out << "killed by signal " << ending.number;
    case Ending::Kind::StillRunning:
      break;
  }
  return out << "still running at the time limit";
}

std::ostream& operator<<(std::ostream& out, const Finished& finished) {
  out << finished.ending << " after printing \"" << finished.out << '"';
  if (!finished.err.empty()) out << ", and on standard error \"" << finished.err << '"';
  return out;
}

Finished Program::finish(std::chrono::milliseconds timeout) {
  const Ending ending = wait(timeout);
  return {ending, out_, errors()};
}

std::string Program::read_line(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (out_.find('\n', line_start_) == std::string::npos && output_open() &&
         std::chrono::steady_clock::now() < end)
    drain(20);
  const std::size_t newline = out_.find('\n', line_start_);
  const std::size_t stop = newline == std::string::npos ? out_.size() : newline + 1;
  std::string line = out_.substr(line_start_, stop - line_start_);
  line_start_ = stop;
  return line;
}

Ending Program::wait(std::chrono::milliseconds timeout) {
  if (!started()) return Ending{};
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (running() && std::chrono::steady_clock::now() < end) drain(20);
  if (running()) {
    kill_now();
    ending_ = Ending{};
  }
  // What it wrote before it ended; a grandchild keeping the pipe open ends this.
  for (int waits = 0; output_open() && waits < 50; ++waits) drain(20);
  return *ending_;
}

std::string Program::errors() const { return cam::testing::read_file(errors_); }

}  // namespace e2e
