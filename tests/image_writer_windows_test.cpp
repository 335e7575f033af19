// The image writer and a file another program holds open, as a viewer of the earlier
// snapshot does (java.io.FileInputStream shares reading and writing, not deletion).
#include <opencv2/imgcodecs.hpp>

#include "held_file.h"
#include "image_writer_fixture.h"

namespace cam {
namespace {

using wintest::HeldFile;
using wintest::kLikeJava;

TEST_F(ImageWriter, AFileHeldWithoutDeleteSharingGetsTheNewPictureInPlace) {
  const fs::path path = folder_ / "shot.png";
  {
    HeldFile reader(path, "earlier", kLikeJava);
    ASSERT_TRUE(reader.held());
    EXPECT_TRUE(write_image(path.string().c_str(), picture_.frame(), nullptr));
  }
  EXPECT_EQ(cv::norm(cv::imread(path.string()), picture_.mat(), cv::NORM_INF), 0);
  EXPECT_EQ(files(), std::vector<std::string>{"shot.png"});
}

TEST_F(ImageWriter, AFileHeldAgainstWritingIsAFailureThatKeepsIt) {
  const fs::path path = folder_ / "shot.png";
  {
    HeldFile reader(path, "earlier", FILE_SHARE_READ);
    ASSERT_TRUE(reader.held());
    EXPECT_FALSE(write_image(path.string().c_str(), picture_.frame(), nullptr));
  }
  EXPECT_EQ(read_file(path), "earlier");
  EXPECT_EQ(files(), std::vector<std::string>{"shot.png"});
}

}  // namespace
}  // namespace cam
