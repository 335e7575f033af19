#include "fake_facility.h"

#include <cstring>
#include <stdexcept>

namespace cam::testing {

namespace {

// A tool that loops without end would hang the test run; a fake that stops answering
// turns it into a failure instead.
constexpr std::size_t kMostCalls = 100000;

std::string handle(Capture capture) {
  return capture ? "#" + std::to_string(capture.id) : std::string("none");
}

std::string number(double value) {
  std::string text = std::to_string(value);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

void FakeFacility::key_after(int waits, int key) {
  keys.assign(static_cast<std::size_t>(waits), -1);
  keys.push_back(key);
}

std::vector<std::string> FakeFacility::calls_starting(const std::string& prefix) const {
  std::vector<std::string> matching;
  for (const std::string& call : calls) {
    if (call.compare(0, prefix.size(), prefix) == 0) matching.push_back(call);
  }
  return matching;
}

void FakeFacility::record(std::string line) {
  if (calls.size() >= kMostCalls) throw std::runtime_error("the tool never stopped calling");
  calls.push_back(std::move(line));
}

std::string FakeFacility::describe(const Frame& frame) {
  if (!frame) return "none";
  for (const DeliveredFrame& delivered : delivered_) {
    if (delivered.pixels != frame.data) continue;
    const OpenedCapture& owner = opened_[delivered.capture - 1];
    const bool valid = !owner.released && owner.latest == frame.data;
    if (!valid) ++misuses;
    return delivered.label + (valid ? "" : "(stale)");
  }
  ++misuses;
  return "unknown";
}

Capture FakeFacility::open(int index, std::optional<FrameSize> size) {
  std::string call = "open " + std::to_string(index);
  if (size) call += " at " + number(size->width) + "x" + number(size->height);
  call += " -> ";
  if (cameras.count(index) == 0) {
    record(call + "none");
    return {};
  }
  if (cameras[index].repeats_previous && !opened_.empty()) {
    const Capture previous{static_cast<int>(opened_.size())};
    record(call + handle(previous) + " (repeated)");
    return previous;
  }
  opened_.push_back(OpenedCapture{index});
  const Capture capture{static_cast<int>(opened_.size())};
  record(call + handle(capture));
  return capture;
}

Frame FakeFacility::grab(Capture capture) {
  const std::string call = "grab " + handle(capture) + " -> ";
  if (!capture || capture.id > static_cast<int>(opened_.size()) ||
      opened_[capture.id - 1].released) {
    record(call + "none");
    return {};
  }
  OpenedCapture& source = opened_[capture.id - 1];
  const int limit = cameras[source.camera].frames;
  if (limit >= 0 && source.grabs >= limit) {
    source.latest = nullptr;
    record(call + "none");
    return {};
  }
  ++source.grabs;
  DeliveredFrame& delivered = delivered_.emplace_back();
  delivered.capture = capture.id;
  delivered.label = "cam" + std::to_string(source.camera) + "." + std::to_string(source.grabs);
  std::memset(delivered.pixels, source.camera * 16 + source.grabs % 16, sizeof delivered.pixels);
  source.latest = delivered.pixels;
  record(call + delivered.label);

  Frame frame;
  frame.data = delivered.pixels;
  frame.width = 2;
  frame.height = 2;
  frame.channels = 3;
  frame.step = 2 * 3;
  return frame;
}

void FakeFacility::release(Capture& capture) {
  std::string line = "release " + handle(capture);
  if (capture && capture.id <= static_cast<int>(opened_.size())) {
    OpenedCapture& opened = opened_[capture.id - 1];
    if (opened.released) {
      line += " (again)";
      ++misuses;
    }
    opened.released = true;
  }
  record(line);
  capture = Capture{};
}

bool FakeFacility::create_window(const char* title) {
  record("create [" + std::string(title) + "]" + (no_windows ? " -> failed" : ""));
  return !no_windows;
}

bool FakeFacility::show(const char* title, const Frame& frame) {
  record("show [" + std::string(title) + "] " + describe(frame) + (no_windows ? " -> failed" : ""));
  return !no_windows && frame;
}

void FakeFacility::destroy_window(const char* title) {
  record("destroy [" + std::string(title) + "]");
}

int FakeFacility::wait_key(int milliseconds) {
  const int key = next_key_ < keys.size() ? keys[next_key_++] : key_when_out;
  record("wait " + std::to_string(milliseconds) + " -> " + std::to_string(key));
  return key;
}

// Files are recorded by their names in UTF-8: the bytes given, on Linux.
bool FakeFacility::can_write(const std::filesystem::path& file) {
  const std::string name = file.u8string();
  const std::size_t dot = name.rfind('.');
  const bool known = dot != std::string::npos && writable.count(name.substr(dot)) > 0;
  record("check [" + name + "] -> " + (known ? "yes" : "no"));
  return known;
}

bool FakeFacility::write(const std::filesystem::path& file, const Frame& frame,
                         std::optional<int> jpegQuality) {
  std::string line = "write [" + file.u8string() + "] " + describe(frame);
  line += jpegQuality ? " jpeg quality " + std::to_string(*jpegQuality) : " default quality";
  record(line + (write_fails ? " -> failed" : ""));
  return !write_fails;
}

}  // namespace cam::testing
