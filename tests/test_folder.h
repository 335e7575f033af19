// A new folder for one test's files. Its name is the test's, with a random part, so two
// runs of one suite (two build trees, say) never share a folder.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace cam::testing {

inline std::filesystem::path new_test_folder(const std::string& name) {
  static std::mt19937 random{std::random_device{}()};
  std::filesystem::path folder;
  do {
    folder = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(random()));
  } while (!std::filesystem::create_directories(folder));
  return folder;
}

}  // namespace cam::testing
