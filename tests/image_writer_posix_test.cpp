// The image writer and symbolic links: a snapshot name that is a link is written where
// the link points, and the link stays as it was.
#include <gmock/gmock.h>

#include <opencv2/imgcodecs.hpp>

#include "image_writer_fixture.h"

namespace cam {
namespace {

using ::testing::ElementsAre;

class ImageWriterLinks : public ImageWriter {
 protected:
  void SetUp() override {
    ImageWriter::SetUp();
    fs::create_directory(folder_ / "published");
  }
  // Writes the picture through `name` in the test's folder.
  bool write_through(const std::string& name) {
    return write_image(folder_ / name, picture_.frame(), std::nullopt);
  }
  bool holds_the_picture(const fs::path& path) const {
    const cv::Mat back = cv::imread(path.string());
    return back.size() == picture_.mat().size() &&
           cv::norm(back, picture_.mat(), cv::NORM_INF) == 0;
  }
};

TEST_F(ImageWriterLinks, ARelativeLinkIsWrittenThroughAndKept) {
  write_bytes(folder_ / "published" / "latest.png", "earlier");
  fs::create_symlink("published/latest.png", folder_ / "shot.png");
  ASSERT_TRUE(write_through("shot.png"));
  EXPECT_TRUE(holds_the_picture(folder_ / "published" / "latest.png"));
  EXPECT_EQ(fs::read_symlink(folder_ / "shot.png"), "published/latest.png");
  EXPECT_THAT(files("published"), ElementsAre("latest.png"));
  EXPECT_THAT(files(), ElementsAre("published", "shot.png"));
}

// An absolute link to a relative one, as a user's link to a web server's: each relative
// link counts from its own folder.
TEST_F(ImageWriterLinks, AChainOfLinksIsFollowedToItsEnd) {
  write_bytes(folder_ / "published" / "latest.png", "earlier");
  fs::create_symlink("latest.png", folder_ / "published" / "current.png");
  fs::create_symlink(folder_ / "published" / "current.png", folder_ / "shot.png");
  ASSERT_TRUE(write_through("shot.png"));
  EXPECT_TRUE(holds_the_picture(folder_ / "published" / "latest.png"));
  EXPECT_EQ(fs::read_symlink(folder_ / "published" / "current.png"), "latest.png");
  EXPECT_EQ(fs::read_symlink(folder_ / "shot.png"), folder_ / "published" / "current.png");
  EXPECT_THAT(files("published"), ElementsAre("current.png", "latest.png"));
}

TEST_F(ImageWriterLinks, ADanglingLinksTargetIsCreated) {
  fs::create_symlink("published/first.png", folder_ / "shot.png");
  ASSERT_TRUE(write_through("shot.png"));
  EXPECT_TRUE(holds_the_picture(folder_ / "published" / "first.png"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "shot.png"));
}

TEST_F(ImageWriterLinks, ALoopOfLinksIsAFailureThatChangesNothing) {
  fs::create_symlink("b.png", folder_ / "a.png");
  fs::create_symlink("a.png", folder_ / "b.png");
  EXPECT_FALSE(write_through("a.png"));
  EXPECT_THAT(files(), ElementsAre("a.png", "b.png", "published"));
  EXPECT_EQ(fs::read_symlink(folder_ / "a.png"), "b.png");
}

}  // namespace
}  // namespace cam
