#include "cli/json.h"

#include "platform/text.h"

namespace dlvr {
namespace {

// nlohmann's writer takes valid UTF-8 only. What it cannot hold is carried
// through it in code points of the last private-use block, which JsonText
// turns back afterwards:
//   U+10FF80..U+10FFFF  the byte 0x80..0xFF that starts no valid sequence
//   U+10FF01            the next code point is the delivery's own (one of
//                       this block, which would otherwise be read as a mark)
//   U+10FF02            at the start of a string: the string is a number's text
constexpr char32_t kMarkBase = 0x10FF00;
constexpr char32_t kMarkVerbatim = 0x10FF01;
constexpr char32_t kMarkNumber = 0x10FF02;

bool IsMark(char32_t cp) { return cp >= kMarkBase && cp <= 0x10FFFF; }

}  // namespace

Json JsonString(std::string_view text) {
  bool plain = true;
  for (std::size_t pos = 0; pos < text.size() && plain;) {
    const std::size_t from = pos;
    const char32_t cp = NextCodePoint(text, pos);
    plain = !(cp == kReplacementChar && pos - from == 1) && !IsMark(cp);
  }
  if (plain) return Json(std::string(text));
  std::string carried;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t from = pos;
    const char32_t cp = NextCodePoint(text, pos);
    if (cp == kReplacementChar && pos - from == 1) {
      AppendUtf8(carried, kMarkBase + static_cast<unsigned char>(text[from]));
      continue;
    }
    if (IsMark(cp)) AppendUtf8(carried, kMarkVerbatim);
    carried.append(text, from, pos - from);
  }
  return Json(std::move(carried));
}

Json JsonStrings(const std::vector<std::string>& texts) {
  Json array = Json::array();
  for (const std::string& t : texts) array.push_back(JsonString(t));
  return array;
}

Json JsonNumberText(std::string_view digits) {
  std::string carried;
  AppendUtf8(carried, kMarkNumber);
  carried.append(digits);
  return Json(std::move(carried));
}

std::string JsonText(const Json& value, int indent) {
  // A string put in without JsonString and not UTF-8 is written with U+FFFD
  // rather than thrown at.
  const std::string dumped = value.dump(indent, ' ', false, Json::error_handler_t::replace);
  std::string out;
  if (dumped.find_first_of("\x7f\xf4") == std::string::npos) {
    out = dumped;
  } else {
    out.reserve(dumped.size());
    for (std::size_t pos = 0; pos < dumped.size();) {
      const std::size_t from = pos;
      const char32_t cp = NextCodePoint(dumped, pos);
      if (cp == 0x7F) {
        out += "\\u007f";
      } else if (cp == kMarkVerbatim) {
        const std::size_t next = pos;
        NextCodePoint(dumped, pos);
        out.append(dumped, next, pos - next);
      } else if (cp == kMarkNumber) {
        // "<mark>1.500" loses its quotes.
        if (!out.empty() && out.back() == '"') out.pop_back();
        const std::size_t end = dumped.find('"', pos);
        out.append(dumped, pos, end - pos);
        pos = end == std::string::npos ? dumped.size() : end + 1;
      } else if (cp >= kMarkBase + 0x80 && cp <= 0x10FFFF) {
        out.push_back(static_cast<char>(cp - kMarkBase));
      } else {
        out.append(dumped, from, pos - from);
      }
    }
  }
  if (indent >= 0) out.push_back('\n');
  return out;
}

}  // namespace dlvr
