// What the logic tests share: a stream that captures a tool's lines, and the line end
// those lines carry on this platform.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>

namespace cam::testing {

// A text-mode stream in a file of its own, read back byte for byte, so the tests see the
// exact bytes a parent process would read, line ends included.
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::FILE* stream() const { return stream_; }
  // Everything written so far.
  std::string text();
  // Only what the tool itself has flushed out of the stream's buffer.
  std::string flushed_text() const;

 private:
  std::string path_;
  std::FILE* stream_ = nullptr;
};

// The platform's text line end: "\n", or "\r\n" on Windows.
const char* text_line_end();

// The given lines, each ended with the platform's text line end.
std::string lines(std::initializer_list<const char*> texts);

}  // namespace cam::testing
