#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "read_file.h"

namespace cam::testing {

namespace {

// Text-mode standard output turns "\n" into this; the build says which platform it is.
#ifndef TEXT_LINE_END
#define TEXT_LINE_END "\n"
#endif

// Test programs run side by side: a random part keeps their files apart, a count keeps
// one program's apart.
std::string unique_path() {
  static const unsigned long long run =
      (static_cast<unsigned long long>(std::random_device{}()) << 32) ^ std::random_device{}();
  static std::atomic<int> count{0};
  return ::testing::TempDir() + "captured-output-" + std::to_string(run) + "-" +
         std::to_string(count++) + ".txt";
}

}  // namespace

CapturedOutput::CapturedOutput() : path_(unique_path()), stream_(std::fopen(path_.c_str(), "w")) {
  if (stream_ == nullptr) ADD_FAILURE() << "cannot create " << path_;
}

CapturedOutput::~CapturedOutput() {
  if (stream_ != nullptr) std::fclose(stream_);
  std::remove(path_.c_str());
}

std::string CapturedOutput::text() {
  if (stream_ == nullptr) return "";
  std::fflush(stream_);
  return flushed_text();
}

std::string CapturedOutput::flushed_text() const {
  return read_file(path_);
}

const char* text_line_end() {
  return TEXT_LINE_END;
}

std::string lines(std::initializer_list<const char*> texts) {
  std::string joined;
  for (const char* text : texts) joined += std::string(text) + TEXT_LINE_END;
  return joined;
}

}  // namespace cam::testing
