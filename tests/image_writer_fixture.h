// What the image writer's tests share: a picture to write, a folder of each test's own,
// and the files in it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "image_writer.h"
#include "read_file.h"
#include "test_folder.h"

namespace cam {

namespace fs = std::filesystem;
using testing::read_file;

// A picture with detail in every channel, so lossy and lossless writes differ.
struct TestPicture {
  static constexpr int kWidth = 64, kHeight = 48, kChannels = 3;
  unsigned char pixels[kWidth * kHeight * kChannels];

  TestPicture() {
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        unsigned char* p = &pixels[(y * kWidth + x) * kChannels];
        p[0] = static_cast<unsigned char>(x * 4);
        p[1] = static_cast<unsigned char>(y * 5);
        p[2] = static_cast<unsigned char>((x * y) ^ 0x5a);
      }
  }
  Frame frame() const { return {pixels, kWidth, kHeight, kChannels, kWidth * kChannels}; }
  cv::Mat mat() const {
    return cv::Mat(kHeight, kWidth, CV_8UC3, const_cast<unsigned char*>(pixels));
  }
};

inline void write_bytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class ImageWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::new_test_folder(
        std::string("image-writer-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { fs::remove_all(folder_); }

  // The names in the test's folder, or in `sub` inside it, in order (UTF-8 on Windows).
  std::vector<std::string> files(const fs::path& sub = {}) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_ / sub))
      names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_;
  TestPicture picture_;
};

}  // namespace cam
