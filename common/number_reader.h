// Reads a whole number the way atoi does, without atoi's undefined behaviour.
#pragma once

namespace cam {

// Skips leading white space, takes an optional sign and the decimal digits that follow,
// and ignores the rest: "12abc" gives 12, text that starts with no number gives 0.
// A value beyond the 32-bit range saturates at the range's end instead of wrapping,
// so "4294967296" can never come back as camera 0.
int read_int(const char* text);

}  // namespace cam
