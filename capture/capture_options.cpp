#include "capture_options.h"

#include <cstring>

#include "number_reader.h"

namespace cam {

CaptureRequest parse_capture_options(const std::vector<Argument>& arguments,
                                     CaptureOptions& options) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const char* word = arguments[i].text.c_str();
    const Argument* value = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
    if (std::strcmp(word, "-c") == 0) {
      if (value != nullptr) options.camNo = read_int(value->text.c_str());
    } else if (std::strcmp(word, "-f") == 0) {
      if (value != nullptr) options.filename = *value;
    } else if (std::strcmp(word, "-n") == 0) {
      if (value != nullptr) options.maxCamNo = read_int(value->text.c_str());
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
