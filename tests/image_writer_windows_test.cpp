// The image writer and a file another program holds open, as a viewer of the earlier
// snapshot does (java.io.FileInputStream shares reading and writing, not deletion).
#include <opencv2/imgcodecs.hpp>

#include "held_file.h"
#include "image_writer_fixture.h"

namespace cam {
namespace {

using wintest::HeldFile;
using wintest::kLikeJava;

// The name is outside every ANSI code page, so the temporary, the rename's tries and the
// write in place all have to go by the Unicode name.
TEST_F(ImageWriter, AFileHeldWithoutDeleteSharingGetsTheNewPictureInPlace) {
  const fs::path path = folder_ / L"사진.png";
  {
    HeldFile reader(path, "earlier", kLikeJava);
    ASSERT_TRUE(reader.held());
    EXPECT_TRUE(write_image(path, picture_.frame(), nullptr));
  }
  const std::string bytes = read_file(path);
  const cv::Mat written =
      cv::imdecode(std::vector<uchar>(bytes.begin(), bytes.end()), cv::IMREAD_COLOR);
  EXPECT_EQ(cv::norm(written, picture_.mat(), cv::NORM_INF), 0);
  EXPECT_EQ(files(), std::vector<std::string>{u8"사진.png"});
}

TEST_F(ImageWriter, AFileHeldAgainstWritingIsAFailureThatKeepsIt) {
  const fs::path path = folder_ / "shot.png";
  {
    HeldFile reader(path, "earlier", FILE_SHARE_READ);
    ASSERT_TRUE(reader.held());
    EXPECT_FALSE(write_image(path, picture_.frame(), nullptr));
  }
  EXPECT_EQ(read_file(path), "earlier");
  EXPECT_EQ(files(), std::vector<std::string>{"shot.png"});
}

}  // namespace
}  // namespace cam
