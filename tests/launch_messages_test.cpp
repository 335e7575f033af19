// The launcher's texts, checked code point by code point so that a wrong source or
// execution character set cannot slip through as mojibake.
#include <gtest/gtest.h>

#include <string>

#include "launch_messages.h"

namespace quelvar {
namespace {

TEST(LaunchMessages, TheCaptionIsErrorInJapanese) {
  EXPECT_EQ(std::wstring(kErrorCaption), (std::wstring{0x30A8, 0x30E9, 0x30FC}));  // エラー
}

TEST(LaunchMessages, EachErrorNumberHasItsText) {
  // JAVA の実行環境がインストールされていないようです
  EXPECT_EQ(std::wstring(launch_error_message(2)),
            L"JAVA \u306E\u5B9F\u884C\u74B0\u5883\u304C\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB"
            L"\u3055\u308C\u3066\u3044\u306A\u3044\u3088\u3046\u3067\u3059");
  // メモリ不足です
  EXPECT_EQ(std::wstring(launch_error_message(12)), L"\u30E1\u30E2\u30EA\u4E0D\u8DB3\u3067\u3059");
  // 引数リストが 1024 バイトを超えてます
  EXPECT_EQ(std::wstring(launch_error_message(7)),
            L"\u5F15\u6570\u30EA\u30B9\u30C8\u304C 1024 \u30D0\u30A4\u30C8\u3092\u8D85\u3048"
            L"\u3066\u307E\u3059");
}

TEST(LaunchMessages, AnyOtherNumberIsAnUnexpectedError) {
  // 予期しないエラーが発生しました
  const std::wstring unexpected =
      L"\u4E88\u671F\u3057\u306A\u3044\u30A8\u30E9\u30FC\u304C\u767A\u751F\u3057\u307E\u3057"
      L"\u305F";
  for (int number : {0, 1, 3, 8, 13, 22, -1, 1000}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(std::wstring(launch_error_message(number)), unexpected);
  }
}

}  // namespace
}  // namespace quelvar
