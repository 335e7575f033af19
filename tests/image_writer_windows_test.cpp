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
// write in place all have to go by the Unicode name. The earlier file is longer than the
// picture: the write in place must leave the picture alone, none of the earlier tail.
TEST_F(ImageWriter, AFileHeldWithoutDeleteSharingGetsTheNewPictureInPlace) {
  const fs::path path = folder_ / L"사진.png";
  {
    HeldFile reader(path, std::string(1 << 20, 'x'), kLikeJava);
    ASSERT_TRUE(reader.held());
    EXPECT_TRUE(write_image(path, picture_.frame(), std::nullopt));
  }
  std::vector<unsigned char> expected;
  ASSERT_TRUE(cv::imencode(".png", picture_.mat(), expected));
  EXPECT_EQ(read_file(path), std::string(expected.begin(), expected.end()));
  EXPECT_EQ(files(), std::vector<std::string>{u8"사진.png"});
}

TEST_F(ImageWriter, AFileHeldAgainstWritingIsAFailureThatKeepsIt) {
  const fs::path path = folder_ / "shot.png";
  {
    HeldFile reader(path, "earlier", FILE_SHARE_READ);
    ASSERT_TRUE(reader.held());
    EXPECT_FALSE(write_image(path, picture_.frame(), std::nullopt));
  }
  EXPECT_EQ(read_file(path), "earlier");
  EXPECT_EQ(files(), std::vector<std::string>{"shot.png"});
}

}  // namespace
}  // namespace cam
