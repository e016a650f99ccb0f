// A search query as a user types it: words separated by blanks (full-width
// blanks too), every one required; "a phrase" in double quotes (full-width
// quotes too) stays together, blanks and all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dlvr::search {

struct TQuery {
  // The terms as typed (a phrase without its quotes), in order; none for a
  // query of blanks only.
  std::vector<std::string> Terms;
  // Hiragana and katakana match each other.
  bool KanaAlike = false;
};

// Splits a query into its terms. An unclosed quote runs to the end; empty
// quotes give no term.
TQuery ParseQuery(std::string_view text, bool kanaAlike = false);

}  // namespace dlvr::search
