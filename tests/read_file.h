// The whole of a file, byte for byte, as the tests compare it; "" when it cannot be read.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace cam::testing {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace cam::testing
