#include "camprobe_options.h"

#include <cstring>

#include "number_reader.h"

namespace cam {

namespace {

// "12" gives 1, "/" gives -1, "" gives -48 and a byte of 0x80 or above a negative number,
// on every platform: the byte is read as signed whatever the compiler's char is.
int first_digit(const char* value) {
  return static_cast<signed char>(value[0]) - '0';
}

}  // namespace

void parse_camprobe_options(int argc, const char* const* argv, CamprobeOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (std::strcmp(word, "-c") == 0) {
      if (value != nullptr) options.camNo = first_digit(value);
    } else if (std::strcmp(word, "-f") == 0) {
      options.filename = value;
    } else if (std::strcmp(word, "-n") == 0) {
      options.countMode = true;
    } else if (std::strcmp(word, "-w") == 0) {
      if (value != nullptr) options.frameWidth = read_int(value);
    } else if (std::strcmp(word, "-h") == 0) {
      if (value != nullptr) options.frameHeight = read_int(value);
    }
  }
}

}  // namespace cam
