// The texts are wide literals, so the compiler stores them as UTF-16 on Windows and the
// box reads the same whatever the system's code page.
#include "launch_messages.h"

namespace quelvar {

namespace {

// The runtime library's numbers, spelled out: the tests build this file on Linux too,
// where <errno.h> numbers some of them differently.
constexpr int kNoSuchFile = 2;    // ENOENT
constexpr int kOutOfMemory = 12;  // ENOMEM
constexpr int kTooManyArgs = 7;   // E2BIG

}  // namespace

const wchar_t kErrorCaption[] = L"エラー";

const wchar_t* launch_error_message(int error_number) {
  if (error_number == kNoSuchFile) return L"JAVA の実行環境がインストールされていないようです";
  if (error_number == kOutOfMemory) return L"メモリ不足です";
  if (error_number == kTooManyArgs) return L"引数リストが 1024 バイトを超えてます";
  return L"予期しないエラーが発生しました";
}

}  // namespace quelvar
