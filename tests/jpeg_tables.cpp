#include "jpeg_tables.h"

namespace cam::testing {

std::vector<int> quantisation_values(const std::string& jpeg) {
  std::vector<int> values;
  std::size_t at = 2;  // past the start-of-image marker
  while (at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xff) {
    const unsigned char marker = static_cast<unsigned char>(jpeg[at + 1]);
    const std::size_t length =
        (static_cast<unsigned char>(jpeg[at + 2]) << 8) | static_cast<unsigned char>(jpeg[at + 3]);
    if (marker == 0xda) break;  // the compressed data starts: no more tables
    if (marker == 0xdb) {
      for (std::size_t t = at + 4; t < at + 2 + length;) {
        const bool wide = (static_cast<unsigned char>(jpeg[t]) >> 4) != 0;
        ++t;
        for (int i = 0; i < 64; ++i, t += wide ? 2 : 1) {
          int value = static_cast<unsigned char>(jpeg[t]);
          if (wide) value = (value << 8) | static_cast<unsigned char>(jpeg[t + 1]);
          values.push_back(value);
        }
      }
    }
    at += 2 + length;
  }
  return values;
}

}  // namespace cam::testing
