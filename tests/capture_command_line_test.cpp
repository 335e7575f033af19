// capture's command line: help, version, the range test and how options are read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capture_help.h"
#include "tool_runner.h"

namespace cam::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(CaptureHelp, PrintsTheProgramNameAsGivenThenSevenLinesAndOpensNothing) {
  FakeFacility camera;
  CapturedOutput output;
  EXPECT_EQ(run_capture(arguments_of({"./bin/capture", "-c", "3", "-h"}), camera, output.stream()),
            -1);
  EXPECT_EQ(output.text(), capture_help("./bin/capture", text_line_end()));
  EXPECT_THAT(camera.calls, IsEmpty());
}

TEST(CaptureHelp, EndsTheScanSoLaterOptionsAreNotLookedAt) {
  FakeFacility camera;
  EXPECT_EQ(run_capture_with(camera, {"-h", "-v"}),
            (ToolResult{-1, capture_help("capture", text_line_end())}));
}

TEST(CaptureVersion, PrintsOneLineWithStatusMinusOne) {
  FakeFacility camera(1);
  EXPECT_EQ(run_capture_with(camera, {"-c", "2", "-a", "-v", "-h"}), ended(-1, "ver. 1.0"));
  EXPECT_THAT(camera.calls, IsEmpty());
}

TEST(CaptureVersion, AValueIsAlsoExaminedAsAnOption) {
  FakeFacility camera;
  EXPECT_EQ(run_capture_with(camera, {"-f", "-v"}), ended(-1, "ver. 1.0"));
}

struct RangeCase {
  std::vector<const char*> args;
  bool refused;
};

// Names each case by its command line in test listings and failures.
void PrintTo(const RangeCase& c, std::ostream* out) {
  for (const char* arg : c.args) *out << arg << ' ';
  *out << (c.refused ? "refused" : "accepted");
}

class CaptureRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(CaptureRange, RefusesCameraNumbersAndCountsPastTheSlotTables) {
  FakeFacility camera(16);
  camera.key_after(0, 'q');
  const ToolResult result = run_capture_with(camera, GetParam().args);
  if (GetParam().refused) {
    EXPECT_EQ(result, ended(-1, "Over Cam No [<16]"));
    EXPECT_THAT(camera.calls, IsEmpty());
  } else {
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(camera.calls_starting("open"), ::testing::Not(IsEmpty()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureRange,
    ::testing::Values(RangeCase{{"-c", "15"}, false}, RangeCase{{"-c", "16"}, true},
                      RangeCase{{"-c", "2147483647"}, true},
                      // Beyond 32 bits: saturates, never wraps round to camera 0.
                      RangeCase{{"-c", "4294967296"}, true},
                      RangeCase{{"-c", "99999999999999999999"}, true},
                      // The viewer never uses -c, but the test applies to it.
                      RangeCase{{"-a", "-c", "20"}, true}, RangeCase{{"-a", "-n", "16"}, false},
                      RangeCase{{"-a", "-n", "17"}, true},
                      RangeCase{{"-a", "-n", "4294967312"}, true},
                      // Without -a the count plays no part.
                      RangeCase{{"-n", "17"}, false}));

TEST(CaptureCameraNumber, NegativeNumbersPassAndReachTheFacilityUnchanged) {
  FakeFacility camera;
  EXPECT_EQ(run_capture_with(camera, {"-c", "-1"}), ended(-1, "can not open capture camera"));
  EXPECT_THAT(camera.calls_starting("open"), ElementsAre("open -1 at 640x480 -> none"));
}

TEST(CaptureCameraNumber, IsReadTheWayAtoiReadsIt) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"12abc", "open 12 at 640x480 -> none"},
      {"abc", "open 0 at 640x480 -> none"},
      {"  +7", "open 7 at 640x480 -> none"},
      {"", "open 0 at 640x480 -> none"},
      {"3.9", "open 3 at 640x480 -> none"},
      {"-0", "open 0 at 640x480 -> none"},
      {"-4294967296", "open -2147483648 at 640x480 -> none"},
  };
  for (const auto& [value, open] : cases) {
    FakeFacility camera;
    run_capture_with(camera, {"-c", value});
    EXPECT_THAT(camera.calls_starting("open"), ElementsAre(open)) << "-c " << value;
  }
}

TEST(CaptureOptions, TheLastOccurrenceWins) {
  FakeFacility camera;
  run_capture_with(camera, {"-c", "4", "-c", "5", "-f", "a.png", "-f", "b.jpg"});
  EXPECT_THAT(camera.calls_starting("open"), ElementsAre("open 5 at 640x480 -> none"));
  EXPECT_THAT(camera.calls_starting("check"), ElementsAre("check [b.jpg] -> yes"));
}

TEST(CaptureOptions, AValueTakingOptionGivenLastKeepsTheFieldsValue) {
  FakeFacility camera(3);
  camera.key_after(0, 'q');
  EXPECT_EQ(run_capture_with(camera, {"-c", "2", "-f", "a.png", "-n", "3", "-c"}).status, 0);
  EXPECT_THAT(camera.calls_starting("open"), ElementsAre("open 2 at 640x480 -> #1"));

  FakeFacility named(1);
  named.key_after(0, 'q');
  EXPECT_EQ(run_capture_with(named, {"-f", "a.png", "-f"}), ended(0, "save_image 0"));
  EXPECT_THAT(named.calls_starting("write"), ElementsAre("write [a.png] cam0.2 jpeg quality 100"));

  FakeFacility unnamed(1);
  unnamed.key_after(0, 'q');
  run_capture_with(unnamed, {"-f"});
  EXPECT_THAT(unnamed.calls_starting("write"),
              ElementsAre("write [test.tif] cam0.2 jpeg quality 100"));

  FakeFacility viewer(2);
  viewer.key_after(0, 'q');
  run_capture_with(viewer, {"-a", "-n", "2", "-n"});
  EXPECT_THAT(viewer.calls_starting("open"),
              ElementsAre("open 0 at 640x480 -> #1", "open 1 at 640x480 -> #2"));
}

TEST(CaptureOptions, WordsMatchWholeAndCaseSensitively) {
  FakeFacility camera;
  EXPECT_EQ(run_capture_with(camera, {"-C", "3", "-cx", "4", "-hv", "-V", "--h"}),
            ended(-1, "can not open capture camera"));
  EXPECT_THAT(camera.calls_starting("open"), ElementsAre("open 0 at 640x480 -> none"));
}

TEST(CaptureOptions, WindowOptionBehavesLikeNoOptions) {
  FakeFacility plain(1);
  FakeFacility with_w(1);
  plain.key_after(2, 'x');
  with_w.key_after(2, 'x');
  EXPECT_EQ(run_capture_with(plain, {}), run_capture_with(with_w, {"-w"}));
  EXPECT_EQ(plain.calls, with_w.calls);
}

TEST(CaptureOptions, CountWithoutAllOpensOnlyTheChosenCamera) {
  FakeFacility camera(4);
  camera.key_after(0, 'q');
  EXPECT_EQ(run_capture_with(camera, {"-n", "3", "-c", "2"}).status, 0);
  EXPECT_THAT(camera.calls_starting("open"), ElementsAre("open 2 at 640x480 -> #1"));
}

TEST(CaptureOptions, FileWithAllWritesNothingAndChecksNoName) {
  FakeFacility camera(1);
  camera.key_after(0, 'q');
  EXPECT_EQ(run_capture_with(camera, {"-f", "x.unknown", "-a", "-n", "1"}).status, 0);
  EXPECT_THAT(camera.calls_starting("check"), IsEmpty());
  EXPECT_THAT(camera.calls_starting("write"), IsEmpty());
}

}  // namespace
}  // namespace cam::testing
