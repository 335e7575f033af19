#include "picture_checks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "frame_decoder.h"

namespace e2e {

void expect_save(const CameraRig& rig, const Save& save) {
  rig.forget_log();
  EXPECT_EQ(rig.run(CAMPROBE_PROGRAM, save.args, save.cameras), finished(0, ""));
  EXPECT_THAT(rig.files_left(), ::testing::ElementsAre(save.name));
  const auto mark = vcam::read_frame_mark(rig.file(save.name));
  ASSERT_TRUE(mark.has_value());
  EXPECT_EQ(mark->camera, save.camera);
  EXPECT_EQ(mark->width, save.width);
  EXPECT_EQ(mark->height, save.height);
}

void expect_snapshot(const CameraRig& rig, const Display& display,
                     const std::vector<std::string>& args, int camera, const std::string& file,
                     const Cameras& cameras, const std::string& picture) {
  rig.forget_log();
  auto capture = rig.start(CAPTURE_PROGRAM, args, cameras, display.environment());
  const std::string title = "CAM  " + std::to_string(camera);
  const Window window = display.wait_for_window(*capture, title, 30s);
  ASSERT_TRUE(window) << "no window " << title << ": " << capture->output() << capture->errors();
  EXPECT_EQ(display.wait_for_picture(window, 640, 480, 10s), "");
  ASSERT_TRUE(rig.wait_for_log(" frame ", 5, 10s)) << "no 5 frames within 10 s";
  if (!picture.empty()) {
    EXPECT_TRUE(display.keep_picture(window, ARTEFACT_FOLDER, picture));
  }
  display.press(window, 'x');
  EXPECT_EQ(capture->finish(10s), finished(0, "save_image " + std::to_string(camera) + kLineEnd))
      << "10 s after the key";
  const auto mark = vcam::read_frame_mark(rig.file(file));
  ASSERT_TRUE(mark.has_value()) << file;
  EXPECT_EQ(mark->camera, camera);
  EXPECT_GT(mark->frame, 1);
  rig.expect_all_closed();
  EXPECT_EQ(rig.setups(), (std::map<int, int>{{camera, 1}}));
}

}  // namespace e2e
