#include "search/query.h"

namespace dlvr::search {
namespace {

constexpr std::string_view kWideBlank = "\xE3\x80\x80";  // U+3000
// U+201C, U+201D and U+FF02: the quotes a Japanese keyboard gives.
constexpr std::string_view kWideQuotes[] = {"\xE2\x80\x9C", "\xE2\x80\x9D", "\xEF\xBC\x82"};

// The length of the blank or quote at `pos`, 0 when there is none.
std::size_t BlankAt(std::string_view s, std::size_t pos) {
  const char c = s[pos];
  if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') return 1;
  return s.substr(pos, kWideBlank.size()) == kWideBlank ? kWideBlank.size() : 0;
}

std::size_t QuoteAt(std::string_view s, std::size_t pos) {
  if (s[pos] == '"') return 1;
  for (std::string_view q : kWideQuotes)
    if (s.substr(pos, q.size()) == q) return q.size();
  return 0;
}

}  // namespace

TQuery ParseQuery(std::string_view text, bool kanaAlike) {
  TQuery query;
  query.KanaAlike = kanaAlike;
  std::string term;
  bool quoted = false;
  const auto flush = [&] {
    if (!term.empty()) query.Terms.push_back(term);
    term.clear();
  };
  for (std::size_t pos = 0; pos < text.size();) {
    if (const std::size_t q = QuoteAt(text, pos)) {
      flush();
      quoted = !quoted;
      pos += q;
      continue;
    }
    if (!quoted) {
      if (const std::size_t b = BlankAt(text, pos)) {
        flush();
        pos += b;
        continue;
      }
    }
    term += text[pos++];
  }
  flush();
  return query;
}

}  // namespace dlvr::search
