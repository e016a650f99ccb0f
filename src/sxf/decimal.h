// Numbers as drawing files write them, read exactly and without a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dlvr::sxf {

// A number as writers write it (a minus sign, at most 15 digits, a point):
// its digits as an integer divided by a power of ten, both exact, so that
// the one rounding of the division gives the nearest double, as from_chars
// does. False for anything else (an exponent, more digits, a plus sign, no
// digit at all), which is left to from_chars.
inline bool PlainDecimal(std::string_view s, double& out) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (s.empty()) return false;
  std::size_t i = 0;
  const bool negative = s.front() == '-';
  if (negative) ++i;
  std::uint64_t digits = 0;
  int count = 0, fraction = -1;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      if (++count > 15) return false;
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      if (fraction >= 0) ++fraction;
    } else if (c == '.' && fraction < 0) {
      fraction = 0;
    } else {
      return false;
    }
  }
  if (count == 0) return false;
  double v = static_cast<double>(digits);
  if (fraction > 0) v /= kPow10[fraction];
  out = negative ? -v : v;
  return true;
}

}  // namespace dlvr::sxf
