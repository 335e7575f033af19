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

void parse_camprobe_options(const std::vector<Argument>& arguments, CamprobeOptions& options) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const char* word = arguments[i].text.c_str();
    const Argument* value = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
    if (std::strcmp(word, "-c") == 0) {
      if (value != nullptr) options.camNo = first_digit(value->text.c_str());
    } else if (std::strcmp(word, "-f") == 0) {
      options.filename.reset();
      if (value != nullptr) options.filename = *value;
    } else if (std::strcmp(word, "-n") == 0) {
      options.countMode = true;
    } else if (std::strcmp(word, "-w") == 0) {
      if (value != nullptr) options.frameWidth = read_int(value->text.c_str());
    } else if (std::strcmp(word, "-h") == 0) {
      if (value != nullptr) options.frameHeight = read_int(value->text.c_str());
    }
  }
}

}  // namespace cam
