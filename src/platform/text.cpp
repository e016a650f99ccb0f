#include "platform/text.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

namespace dlvr {
namespace {

// Double-byte table: index (lead - 0x80) * 256 + trail -> BMP code point
// (0 = unmapped). Single bytes above 0x7F have their own table. The reverse
// table maps a BMP code point to its CP932 code (0 = none, except U+0000).
struct Cp932Tables {
  std::array<char16_t, 128> single{};           // bytes 0x80..0xFF
  std::vector<char16_t> dbcs;                   // (lead-0x80)*256 + trail
  std::vector<std::uint16_t> reverse;           // code point -> code
};

bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

char32_t DecodeWithIconv(iconv_t cd, const unsigned char* in, std::size_t len) {
  char inbuf[2];
  std::memcpy(inbuf, in, len);
  char outbuf[8];
  char* ip = inbuf;
  char* op = outbuf;
  std::size_t il = len;
  std::size_t ol = sizeof outbuf;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0) return 0;
  if (op - outbuf != 4) return 0;
  char32_t cp;
  std::memcpy(&cp, outbuf, 4);
  return cp;
}

// Which of two codes Windows writes for a character that has both: the JIS
// rows first, then NEC row 13, then the IBM extensions (0xFA-0xFC), and the
// NEC-selected copies of the IBM extensions (0xED-0xEE) last.
int CodeRank(std::uint16_t code) {
  unsigned lead = code >> 8;
  if (lead == 0xED || lead == 0xEE) return 3;
  if (lead >= 0xFA) return 2;
  if (lead == 0x87) return 1;
  return 0;
}

const Cp932Tables& Tables() {
  static Cp932Tables tables;
  static std::once_flag once;
  std::call_once(once, [] {
    tables.dbcs.assign(128 * 256, 0);
    tables.reverse.assign(0x10000, 0);
    iconv_t cd = iconv_open("UTF-32LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-32LE", "WINDOWS-31J");
    // Half-width katakana are fixed; they are also the fallback when iconv
    // is not available.
    for (unsigned b = 0xA1; b <= 0xDF; ++b) tables.single[b - 0x80] = static_cast<char16_t>(0xFF61 + (b - 0xA1));
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
          if (!IsTrailByte(static_cast<unsigned char>(trail))) continue;
          unsigned char in[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
          char32_t cp = DecodeWithIconv(cd, in, 2);
          if (cp == 0 || cp > 0xFFFF) continue;
          tables.dbcs[(lead - 0x80) * 256 + trail] = static_cast<char16_t>(cp);
        }
      }
      iconv_close(cd);
    }
    for (unsigned b = 0xA1; b <= 0xDF; ++b) tables.reverse[tables.single[b - 0x80]] = static_cast<std::uint16_t>(b);
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        char16_t cp = tables.dbcs[(lead - 0x80) * 256 + trail];
        if (cp == 0) continue;
        auto code = static_cast<std::uint16_t>(lead * 256 + trail);
        std::uint16_t& slot = tables.reverse[cp];
        if (cp < 0x80) continue;  // never let a double byte stand for ASCII
        if (slot == 0 || (slot > 0xFF && CodeRank(code) < CodeRank(slot))) slot = code;
      }
    }
  });
  return tables;
}

}  // namespace

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char32_t NextCodePoint(std::string_view s, std::size_t& pos) {
  auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int n;
  char32_t cp;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    n = 1; cp = b0 & 0x1F; min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 2; cp = b0 & 0x0F; min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 3; cp = b0 & 0x07; min = 0x10000;
  } else {
    ++pos;
    return kReplacementChar;
  }
  if (pos + n >= s.size()) {
    ++pos;
    return kReplacementChar;
  }
  for (int i = 1; i <= n; ++i) {
    auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return kReplacementChar;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacementChar;
  }
  pos += n + 1;
  return cp;
}

namespace {

// The decoder's tables. Every entry holds the UTF-8 bytes of what a byte
// sequence decodes to in its low three bytes (in order, first byte lowest),
// how many of them there are in bits 24-27 and how many input bytes the
// sequence takes in bits 28-31, so that one four-byte store writes it and
// the lengths say how far to move.
//   lone[b]     a byte b (0x80-0xFF) that is not followed by a trail byte;
//               for a lead byte this is U+FFFD taking the lead alone
//   pair[i]     a byte b (0x80-0xFF) and the byte after it, i = (b - 0x80)
//               * 256 + next: for a lead byte the character, U+FFFD taking
//               both when the pair is unmapped, or lone[b] when `next`
//               cannot trail; lone[b] for any other byte
struct Cp932Decoder {
  std::array<std::uint32_t, 128> lone{};
  std::vector<std::uint32_t> pair;
};

constexpr std::uint32_t Entry(char32_t cp, unsigned taken) {
  std::uint32_t bytes = 0;
  unsigned len = 0;
  if (cp < 0x80) {
    bytes = cp;
    len = 1;
  } else if (cp < 0x800) {
    bytes = (0xC0 | (cp >> 6)) | ((0x80 | (cp & 0x3F)) << 8);
    len = 2;
  } else {
    bytes = (0xE0 | (cp >> 12)) | ((0x80 | ((cp >> 6) & 0x3F)) << 8) | ((0x80 | (cp & 0x3F)) << 16);
    len = 3;
  }
  return bytes | (len << 24) | (taken << 28);
}

const Cp932Decoder& Decoder() {
  static const Cp932Decoder decoder = [] {
    const Cp932Tables& t = Tables();
    Cp932Decoder d;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      const char16_t cp = IsLeadByte(static_cast<unsigned char>(b)) ? 0 : t.single[b - 0x80];
      d.lone[b - 0x80] = Entry(cp ? static_cast<char32_t>(cp) : kReplacementChar, 1);
    }
    d.pair.assign(128 * 256, 0);
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
      for (unsigned next = 0; next <= 0xFF; ++next) {
        std::uint32_t& e = d.pair[(lead - 0x80) * 256 + next];
        if (!IsLeadByte(static_cast<unsigned char>(lead)) || !IsTrailByte(static_cast<unsigned char>(next))) {
          e = d.lone[lead - 0x80];
          continue;
        }
        const char16_t cp = t.dbcs[(lead - 0x80) * 256 + next];
        e = Entry(cp ? static_cast<char32_t>(cp) : kReplacementChar, 2);
      }
    }
    return d;
  }();
  return decoder;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The number of UTF-8 bytes CP932 `bytes` decode to (walked as DecodeInto
// walks them).
std::size_t DecodedSize(const Cp932Decoder& d, const unsigned char* p, std::size_t n) {
  std::size_t size = 0;
  std::size_t i = 0;
  while (i < n) {
    while (i + 8 <= n) {
      std::uint64_t v;
      std::memcpy(&v, p + i, 8);
      const std::uint64_t high = v & kHighBits;
      if (high != 0) {
        const unsigned ascii = static_cast<unsigned>(std::countr_zero(high)) / 8;
        size += ascii;
        i += ascii;
        break;
      }
      size += 8;
      i += 8;
    }
    while (i < n && p[i] < 0x80) {
      ++size;
      ++i;
    }
    while (i + 1 < n && p[i] >= 0x80) {
      const std::uint32_t e = d.pair[((p[i] - 0x80u) << 8) | p[i + 1]];
      if ((e >> 28) != 2) break;
      size += (e >> 24) & 0xF;
      i += 2;
    }
    if (i < n && p[i] >= 0x80) {
      size += (d.lone[p[i] - 0x80u] >> 24) & 0xF;
      ++i;
    }
  }
  return size;
}

// Writes the UTF-8 of CP932 `bytes` (p, n) at `w` and returns the end:
// the characters that start from `at` on before `stop` (a pair begun before
// `stop` is taken whole); `at` is moved past them. Up to 8 bytes past the
// end of the decoded text may be written (the room must be there); the text
// itself is exact. ASCII runs go 8 bytes at a time; runs
// beyond ASCII a character at a time, where how far to move is a branch
// (mostly a pair) rather than a sum, so that the next character's bytes are
// read without waiting for this one's entry.
char* DecodeInto(const Cp932Decoder& d, const unsigned char* p, std::size_t n, std::size_t& at, std::size_t stop,
                 char* w) {
  std::size_t i = at;
  while (i < stop) {
    while (i + 8 <= stop) {
      std::uint64_t v;
      std::memcpy(&v, p + i, 8);
      std::memcpy(w, &v, 8);
      const std::uint64_t high = v & kHighBits;
      if (high != 0) {
        // The ASCII bytes before the first byte beyond ASCII are in place.
        const unsigned ascii = static_cast<unsigned>(std::countr_zero(high)) / 8;
        w += ascii;
        i += ascii;
        break;
      }
      w += 8;
      i += 8;
    }
    while (i < stop && p[i] < 0x80) *w++ = static_cast<char>(p[i++]);
    // Pairs, as long as they come: leaving the loop is the branch.
    while (i < stop && i + 1 < n && p[i] >= 0x80) {
      const std::uint32_t e = d.pair[((p[i] - 0x80u) << 8) | p[i + 1]];
      if ((e >> 28) != 2) break;
      std::memcpy(w, &e, 4);  // little-endian: the first byte lowest
      w += (e >> 24) & 0xF;
      i += 2;
    }
    // A byte beyond ASCII taken alone (not a lead byte, a lead byte without
    // its trail byte, or the last byte).
    if (i < stop && p[i] >= 0x80) {
      const std::uint32_t e = d.lone[p[i] - 0x80u];
      std::memcpy(w, &e, 4);
      w += (e >> 24) & 0xF;
      ++i;
    }
  }
  at = i;
  return w;
}

char* DecodeInto(const Cp932Decoder& d, const unsigned char* p, std::size_t n, char* w) {
  std::size_t at = 0;
  return DecodeInto(d, p, n, at, n, w);
}

static_assert(std::endian::native == std::endian::little, "the decoder's entries are stored little-endian");

// Room written past a decoded text's end.
constexpr std::size_t kDecodeSlack = 8;

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  const Cp932Decoder& d = Decoder();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  if (n <= 1024) {
    // Short texts: into a local buffer of the largest size, then one copy.
    char local[3 * 1024 + kDecodeSlack];
    return std::string(local, static_cast<std::size_t>(DecodeInto(d, p, n, local) - local));
  }
  // The exact size first, so that a long text is held in its own room.
  const std::size_t size = DecodedSize(d, p, n);
  std::string out(size + kDecodeSlack, '\0');
  DecodeInto(d, p, n, out.data());
  out.resize(size);
  return out;
}

void AppendCp932AsUtf8(std::string& out, std::string_view bytes) {
  const Cp932Decoder& d = Decoder();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  // A block at a time, each given room for the most it can take (three
  // bytes a byte: a lone byte beyond ASCII decodes to three) and then given
  // back to its size: the room made and not used stays small and warm.
  constexpr std::size_t kBlock = 16 * 1024;
  std::size_t at = 0;
  while (at < n) {
    const std::size_t stop = std::min(n, at + kBlock);
    const std::size_t base = out.size();
    out.resize(base + 3 * (stop - at) + kDecodeSlack);
    char* end = DecodeInto(d, p, n, at, stop, out.data() + base);
    out.resize(static_cast<std::size_t>(end - out.data()));
  }
}

namespace {
// The reverse table, looked up once per process rather than once per character.
const std::uint16_t* ReverseTable() {
  static const std::uint16_t* table = Tables().reverse.data();
  return table;
}
}  // namespace

int Cp932Code(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp > 0xFFFF) return -1;
  std::uint16_t code = ReverseTable()[cp];
  return code ? code : -1;
}

bool IsCp932Char(char32_t cp) { return Cp932Code(cp) >= 0; }

std::size_t Cp932CharLength(char32_t cp) {
  int code = Cp932Code(cp);
  return code > 0xFF ? 2 : 1;
}

std::string Utf8ToCp932(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = NextCodePoint(utf8, pos);
    int code = Cp932Code(cp);
    if (code < 0) {
      out.push_back('?');
    } else if (code > 0xFF) {
      out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    } else {
      out.push_back(static_cast<char>(code));
    }
  }
  return out;
}

std::size_t Cp932Length(std::string_view utf8) {
  std::size_t len = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
      ++pos;
      ++len;
      continue;
    }
    len += Cp932CharLength(NextCodePoint(utf8, pos));
  }
  return len;
}

std::string CutAtBytes(std::string_view utf8, std::size_t maxBytes) {
  std::size_t len = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    std::size_t start = pos;
    std::size_t w = Cp932CharLength(NextCodePoint(utf8, pos));
    if (len + w > maxBytes) return std::string(utf8.substr(0, start));
    len += w;
  }
  return std::string(utf8);
}

std::size_t CodePointCount(std::string_view utf8) {
  std::size_t count = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    NextCodePoint(utf8, pos);
    ++count;
  }
  return count;
}

std::string AsciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

long LeadingNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    neg = s[i] == '-';
    ++i;
  }
  long v = 0;
  bool any = false;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    any = true;
    if (v < 100000000000L) v = v * 10 + (s[i] - '0');
    ++i;
  }
  if (!any) return 0;
  return neg ? -v : v;
}

long WholeNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  std::size_t digits = i;
  while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9') ++digits;
  if (digits == i || digits != s.size()) return 0;
  return LeadingNumber(s);
}

bool DeclaresUtf8(std::string_view bytes) {
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
      static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF)
    return true;
  if (!StartsWith(bytes, "<?xml")) return false;
  std::size_t end = bytes.find("?>");
  if (end == std::string_view::npos || end > 200) return false;
  std::string decl = AsciiLower(bytes.substr(0, end));
  std::size_t enc = decl.find("encoding");
  if (enc == std::string::npos) return false;
  std::size_t q = decl.find_first_of("\"'", enc);
  if (q == std::string::npos) return false;
  std::string_view rest = std::string_view(decl).substr(q + 1);
  return StartsWith(rest, "utf-8") || StartsWith(rest, "utf8");
}

std::string DecodeDeliveryPiece(std::string_view bytes, bool utf8) {
  if (!utf8) return Cp932ToUtf8(bytes);
  std::string out;
  out.reserve(bytes.size());
  AppendDeliveryPiece(out, bytes, true);
  return out;
}

void AppendDeliveryPiece(std::string& out, std::string_view bytes, bool utf8) {
  if (!utf8) {
    AppendCp932AsUtf8(out, bytes);
    return;
  }
  // Re-encode so that invalid UTF-8 becomes U+FFFD like invalid CP932 does.
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t run = pos;
    while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80) ++run;
    out.append(bytes.data() + pos, run - pos);
    pos = run;
    if (pos >= bytes.size()) break;
    std::size_t before = pos;
    char32_t cp = NextCodePoint(bytes, pos);
    if (cp == kReplacementChar && pos - before == 1)
      AppendUtf8(out, cp);
    else
      out.append(bytes.data() + before, pos - before);
  }
}

std::string DecodeDeliveryText(std::string_view bytes) {
  if (DeclaresUtf8(bytes)) {
    std::size_t start = 0;
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF) start = 3;
    return DecodeDeliveryPiece(bytes.substr(start), true);
  }
  return Cp932ToUtf8(bytes);
}

}  // namespace dlvr
