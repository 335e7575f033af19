// What a JPEG file says of its own quality.
#pragma once

#include <string>
#include <vector>

namespace cam::testing {

// The quantisation values of every table in a JPEG file's DQT segments, in order: all 1
// for quality 100.
std::vector<int> quantisation_values(const std::string& jpeg);

}  // namespace cam::testing
