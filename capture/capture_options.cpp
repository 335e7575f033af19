#include "capture_options.h"

#include <cstring>

#include "number_reader.h"

namespace cam {

CaptureRequest parse_capture_options(int argc, const char* const* argv, CaptureOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (std::strcmp(word, "-c") == 0) {
      if (value != nullptr) options.camNo = read_int(value);
    } else if (std::strcmp(word, "-f") == 0) {
      if (value != nullptr) options.filename = value;
    } else if (std::strcmp(word, "-n") == 0) {
      if (value != nullptr) options.maxCamNo = read_int(value);
    } else if (std::strcmp(word, "-a") == 0) {
      options.openAll = true;
    } else if (std::strcmp(word, "-w") == 0) {
      // Listed in the help and accepted; the snapshot always previews in one window anyway.
    } else if (std::strcmp(word, "-v") == 0) {
      return CaptureRequest::Version;
    } else if (std::strcmp(word, "-h") == 0) {
      return CaptureRequest::Help;
    }
  }
  return CaptureRequest::Run;
}

}  // namespace cam
