// The number reader: atoi's rules, with saturation where atoi's behaviour is undefined.
#include <gtest/gtest.h>

#include <climits>

#include "number_reader.h"

namespace cam {
namespace {

TEST(ReadInt, FollowsAtoiOnOrdinaryText) {
  EXPECT_EQ(read_int("0"), 0);
  EXPECT_EQ(read_int("15"), 15);
  EXPECT_EQ(read_int("-1"), -1);
  EXPECT_EQ(read_int("+42"), 42);
  EXPECT_EQ(read_int(" \t\n\v\f\r 7"), 7);
  EXPECT_EQ(read_int("12abc"), 12);
  EXPECT_EQ(read_int("007"), 7);
  EXPECT_EQ(read_int("1 2"), 1);
}

TEST(ReadInt, GivesZeroForTextWithoutANumber) {
  EXPECT_EQ(read_int(""), 0);
  EXPECT_EQ(read_int("abc"), 0);
  EXPECT_EQ(read_int("-"), 0);
  EXPECT_EQ(read_int("+-3"), 0);
  EXPECT_EQ(read_int("- 3"), 0);
  EXPECT_EQ(read_int("\xa0"
                     "5"),
            0);  // not white space in the C locale
  EXPECT_EQ(read_int(nullptr), 0);
}

TEST(ReadInt, ReachesBothEndsOfTheRangeExactly) {
  EXPECT_EQ(read_int("2147483647"), INT_MAX);
  EXPECT_EQ(read_int("-2147483648"), INT_MIN);
  EXPECT_EQ(read_int("2147483646"), INT_MAX - 1);
  EXPECT_EQ(read_int("-2147483647"), INT_MIN + 1);
}

TEST(ReadInt, SaturatesInsteadOfWrapping) {
  EXPECT_EQ(read_int("2147483648"), INT_MAX);
  EXPECT_EQ(read_int("-2147483649"), INT_MIN);
  EXPECT_EQ(read_int("4294967296"), INT_MAX);   // wraps to 0 in a 32-bit multiply
  EXPECT_EQ(read_int("4294967312"), INT_MAX);   // wraps to 16
  EXPECT_EQ(read_int("-4294967295"), INT_MIN);  // wraps to 1
  EXPECT_EQ(read_int("99999999999999999999999999999"), INT_MAX);
  EXPECT_EQ(read_int("00000000000000000000000000012"), 12);
}

}  // namespace
}  // namespace cam
