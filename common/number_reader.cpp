#include "number_reader.h"

#include <climits>

namespace cam {

namespace {

// The C locale's white space, which is what atoi skips; isspace() would follow the
// process locale and take a signed char as an index.
bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

int read_int(const char* text) {
  if (text == nullptr) return 0;
  while (is_space(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;

  // Accumulate as a negative number: its range reaches INT_MIN, the positive one does not.
  int value = 0;
  for (; is_digit(*text); ++text) {
    const int digit = *text - '0';
    if (value < (INT_MIN + digit) / 10) return negative ? INT_MIN : INT_MAX;
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == INT_MIN ? INT_MAX : -value;
}

}  // namespace cam
