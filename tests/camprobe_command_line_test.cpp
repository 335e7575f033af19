// camprobe's command line, seen through what the tool then does with its cameras.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace cam::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(CamprobeCameraNumber, IsTheFirstCharacterOfItsValueOnly) {
  FakeFacility camera(6);
  camera.key_after(0, 27);
  EXPECT_EQ(run_camprobe_with(camera, {"-c", "12"}), ended(0));
  EXPECT_THAT(camera.calls_starting("open"),
              ElementsAre("open 0 -> #1", "open 1 at 640x480 -> #2"));
}

TEST(CamprobeCameraNumber, AFirstCharacterOutsideZeroToFiveIsRefusedBeforeAnyOpen) {
  struct Case {
    const char* value;
    const char* line;
  };
  const Case cases[] = {
      {"6", "error cn=6"},      {"9", "error cn=9"},   {"/", "error cn=-1"},
      {"A", "error cn=17"},     {"", "error cn=-48"},  {"\x80", "error cn=-176"},
      {"\xff", "error cn=-49"}, {"-1", "error cn=-3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("-c \"") + c.value + "\"");
    FakeFacility camera(10);
    EXPECT_EQ(run_camprobe_with(camera, {"-c", c.value, "-f", "x.png"}), ended(0, c.line));
    EXPECT_THAT(camera.calls, IsEmpty());
  }
}

TEST(CamprobeOptions, ValueOptionsGivenLastKeepTheirValues) {
  FakeFacility camera(3);
  camera.key_after(0, 27);
  run_camprobe_with(camera, {"-c", "2", "-w", "320", "-h", "200", "-c"});
  EXPECT_THAT(camera.calls_starting("open"),
              ElementsAre("open 0 -> #1", "open 1 -> #2", "open 2 at 320x200 -> #3"));

  FakeFacility sized(1);
  sized.key_after(0, 27);
  run_camprobe_with(sized, {"-w", "320", "-h", "200", "-w"});
  EXPECT_THAT(sized.calls_starting("open"), ElementsAre("open 0 at 320x200 -> #1"));

  FakeFacility height_last(1);
  run_camprobe_with(height_last, {"-n", "-h"});
  EXPECT_THAT(height_last.calls_starting("open"),
              ElementsAre("open 0 at 640x480 -> #1", "open 1 at 640x480 -> none"));
}

TEST(CamprobeOptions, SizesAreWholeNumbersReadLikeAtoi) {
  FakeFacility camera(1);
  camera.key_after(0, 27);
  run_camprobe_with(camera, {"-w", "wide", "-h", " 240.9px"});
  EXPECT_THAT(camera.calls_starting("open"), ElementsAre("open 0 at 0x240 -> #1"));

  FakeFacility huge(1);
  huge.key_after(0, 27);
  run_camprobe_with(huge, {"-w", "99999999999", "-h", "-99999999999"});
  EXPECT_THAT(huge.calls_starting("open"), ElementsAre("open 0 at 2147483647x-2147483648 -> #1"));
}

TEST(CamprobeOptions, MinusNCountsWhateverElseIsGiven) {
  FakeFacility camera(1);
  EXPECT_EQ(run_camprobe_with(camera, {"-c", "2", "-f", "x.jpg", "-n"}), ended(0, "nCam = 1"));
  EXPECT_THAT(camera.calls_starting("check"), IsEmpty());
}

TEST(CamprobeOptions, AValueIsAlsoReadAsAnOptionSoMinusFMinusNCounts) {
  FakeFacility camera(2);
  EXPECT_EQ(run_camprobe_with(camera, {"-f", "-n"}), ended(0, "nCam = 2"));
  EXPECT_THAT(camera.calls_starting("write"), IsEmpty());
}

TEST(CamprobeOptions, AnFGivenLastTakesAnEarlierNameAwaySoTheViewRuns) {
  FakeFacility camera(1);
  camera.key_after(0, 27);
  EXPECT_EQ(run_camprobe_with(camera, {"-f", "x.jpg", "-f"}), ended(0));
  EXPECT_THAT(camera.calls_starting("create"), ElementsAre("create [Capture]"));
  EXPECT_THAT(camera.calls_starting("check"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("write"), IsEmpty());
}

TEST(CamprobeOptions, WordsMatchWholeAndCaseSensitivelyAndOthersAreIgnored) {
  FakeFacility camera(1);
  camera.key_after(0, 27);
  EXPECT_EQ(run_camprobe_with(camera, {"-N", "-n1", "--n", "-C", "3", "x", "-v"}), ended(0));
  EXPECT_THAT(camera.calls_starting("open"), ElementsAre("open 0 at 640x480 -> #1"));
}

}  // namespace
}  // namespace cam::testing
