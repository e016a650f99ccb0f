// Counting the lines of a drawing file's text, as both readers count them.
#pragma once

#include <algorithm>
#include <string_view>

namespace dlvr::sxf {

// The line breaks in `s` (LF, CR LF, or a lone CR, as in files written on
// any system); `afterCr` tells that the byte before `s` was a CR, whose LF
// is no line of its own, and is left telling it of the last byte of `s`.
inline long LineBreaks(std::string_view s, bool& afterCr) {
  if (s.empty()) return 0;
  long n = 0;
  if (s.find('\r') == std::string_view::npos) {
    n = static_cast<long>(std::count(s.begin(), s.end(), '\n'));
    if (afterCr && s[0] == '\n') --n;
  } else {
    bool cr = afterCr;
    for (const char c : s) {
      if (c == '\r' || (c == '\n' && !cr)) ++n;
      cr = c == '\r';
    }
  }
  afterCr = s.back() == '\r';
  return n;
}

}  // namespace dlvr::sxf
