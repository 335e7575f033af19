// The real image writer: formats by extension, JPEG quality, and files that survive a
// failed write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "image_writer_fixture.h"
#include "jpeg_tables.h"

namespace cam {
namespace {

using testing::quantisation_values;

TEST_F(ImageWriter, KnowsFormatsByExtension) {
  for (const char* name : {"a.jpg", "a.jpeg", "a.JPG", "a.tif", "a.tiff", "a.png", "a.bmp",
                           "dir.d/a.jpg", "../a.b.png"})
    EXPECT_TRUE(can_write_image(name)) << name;
  for (const char* name : {"a.xyz", "a", "a.", "", "jpg", "dir.jpg/a", "a.jpg~", "a.jpg/"})
    EXPECT_FALSE(can_write_image(name)) << name;
}

TEST_F(ImageWriter, WritesJpegAtQuality100WhenAsked) {
  const fs::path best = folder_ / "best.jpg";
  const fs::path plain = folder_ / "plain.jpg";
  ASSERT_TRUE(write_image(best, picture_.frame(), 100));
  ASSERT_TRUE(write_image(plain, picture_.frame(), std::nullopt));

  const std::vector<int> tables = quantisation_values(read_file(best));
  ASSERT_GE(tables.size(), 128u);  // luminance and chrominance
  EXPECT_EQ(std::count(tables.begin(), tables.end(), 1), static_cast<long>(tables.size()));

  // Without the parameter the writer's own default applies, which quantises coarser.
  const std::vector<int> defaults = quantisation_values(read_file(plain));
  ASSERT_FALSE(defaults.empty());
  EXPECT_GT(*std::max_element(defaults.begin(), defaults.end()), 1);
  EXPECT_EQ(cv::imread(best.string()).size(), picture_.mat().size());
}

TEST_F(ImageWriter, LosslessFormatsReadBackEqualToTheFrame) {
  for (const char* name : {"shot.tif", "shot.png", "shot.bmp"}) {
    const fs::path path = folder_ / name;
    // The JPEG parameter does not stop other formats from being written.
    ASSERT_TRUE(write_image(path, picture_.frame(), 100)) << name;
    const cv::Mat back = cv::imread(path.string(), cv::IMREAD_UNCHANGED);
    ASSERT_EQ(back.size(), picture_.mat().size()) << name;
    ASSERT_EQ(back.type(), CV_8UC3) << name;
    EXPECT_EQ(cv::norm(back, picture_.mat(), cv::NORM_INF), 0) << name;
  }
}

TEST_F(ImageWriter, HonoursTheRowStepOfTheFrame) {
  // A frame whose rows are padded, as a capture's buffer may be.
  const int step = TestPicture::kWidth * 3 + 16;
  std::vector<unsigned char> padded(static_cast<std::size_t>(step) * TestPicture::kHeight, 0xee);
  for (int y = 0; y < TestPicture::kHeight; ++y)
    std::copy_n(&picture_.pixels[y * TestPicture::kWidth * 3], TestPicture::kWidth * 3,
                &padded[static_cast<std::size_t>(y) * step]);
  const Frame frame{padded.data(), TestPicture::kWidth, TestPicture::kHeight, 3,
                    static_cast<std::size_t>(step)};
  const fs::path path = folder_ / "padded.png";
  ASSERT_TRUE(write_image(path, frame, std::nullopt));
  EXPECT_EQ(cv::norm(cv::imread(path.string()), picture_.mat(), cv::NORM_INF), 0);
}

TEST_F(ImageWriter, ReplacesALargerFileWhole) {
  const fs::path path = folder_ / "shot.png";
  write_bytes(path, std::string(1 << 20, 'x'));
  ASSERT_TRUE(write_image(path, picture_.frame(), std::nullopt));

  std::vector<unsigned char> expected;
  ASSERT_TRUE(cv::imencode(".png", picture_.mat(), expected));
  EXPECT_EQ(read_file(path), std::string(expected.begin(), expected.end()));
  EXPECT_EQ(files(), std::vector<std::string>{"shot.png"});  // no temporary left behind
}

TEST_F(ImageWriter, AFailedEncodeLeavesAnEarlierFileIntact) {
  const fs::path path = folder_ / "shot.jpg";
  write_bytes(path, "earlier picture");
  // JPEG has no two-channel form: the encoder refuses the frame.
  const Frame two_channels{picture_.pixels, 32, 48, 2, 64 * 3};
  EXPECT_FALSE(write_image(path, two_channels, 100));
  EXPECT_EQ(read_file(path), "earlier picture");
  EXPECT_EQ(files(), std::vector<std::string>{"shot.jpg"});
}

TEST_F(ImageWriter, AFailedRenameLeavesNoTemporaryBehind) {
  // A folder stands at the target path: the bytes are written, the rename is refused.
  const fs::path path = folder_ / "shot.png";
  fs::create_directory(path);
  write_bytes(path / "inside", "kept");
  EXPECT_FALSE(write_image(path, picture_.frame(), std::nullopt));
  EXPECT_EQ(read_file(path / "inside"), "kept");
  EXPECT_EQ(files(), std::vector<std::string>{"shot.png"});
}

TEST_F(ImageWriter, AMissingFolderOrNoFrameIsAFailure) {
  const fs::path path = folder_ / "missing" / "shot.png";
  EXPECT_FALSE(write_image(path, picture_.frame(), std::nullopt));
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
  EXPECT_FALSE(write_image(folder_ / "none.png", Frame{}, std::nullopt));
  EXPECT_FALSE(write_image(folder_ / "noextension", picture_.frame(), std::nullopt));
  EXPECT_TRUE(files().empty());
}

TEST_F(ImageWriter, KeepsThePermissionsOfTheFileItReplaces) {
  const fs::path path = folder_ / "shot.tif";
  write_bytes(path, "earlier");
  const fs::perms wanted = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(path, wanted);
  if ((fs::status(path).permissions() & fs::perms::all) != wanted) {
    GTEST_SKIP() << "[no-file-modes] this file system keeps no such permissions";
  }
  ASSERT_TRUE(write_image(path, picture_.frame(), std::nullopt));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, wanted);
}

}  // namespace
}  // namespace cam
