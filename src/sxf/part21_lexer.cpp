// The Part 21 tokenizer: blanks and comments passed over (the comments
// handed to the handler), keywords, numbers, references, enumerations,
// binaries and strings scanned in place, and a string literal's quotes
// and escapes decoded to UTF-8.
#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "platform/text.h"
#include "platform/translate.h"
#include "sxf/decimal.h"
#include "sxf/part21_internal.h"

namespace dlvr::sxf::p21 {
namespace part21_detail {

TToken TLexer::Next() {
  // Every path returns `t` itself, so it is never copied.
  TToken t;
  if (!SkipBlanks(t)) return t;
  t.Line = src_.Line();
  int c = src_.Peek();
  if (c < 0) {
    t.Kind = src_.ReadFailed() ? TTok::Error : TTok::End;
    if (src_.ReadFailed()) t.Text = ReadFailedText();
    return t;
  }
  switch (c) {
    case '(': Single(t, TTok::Open); return t;
    case ')': Single(t, TTok::Close); return t;
    case ',': Single(t, TTok::Comma); return t;
    case ';': Single(t, TTok::Semicolon); return t;
    case '=': Single(t, TTok::Equals); return t;
    case '$': Single(t, TTok::Dollar); return t;
    case '*': Single(t, TTok::Star); return t;
    case '#': Reference(t); return t;
    case '\'': String(t); return t;
    case '"': Binary(t); return t;
    default: break;
  }
  if (c == '.' && IsKeywordStart(src_.Peek(1))) Enumeration(t);
  else if (IsDigit(c) || c == '+' || c == '-' || c == '.') Number(t);
  else if (IsKeywordStart(c)) Keyword(t);
  else Fail(t, Arg(Tr("SxfReader", "使えない文字があります（%1）"), {Shown(c)}));
  return t;
}

std::string TLexer::Shown(int c) {
  if (c > 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
  static const char* hex = "0123456789ABCDEF";
  return std::string("0x") + hex[(c >> 4) & 15] + hex[c & 15];
}

TToken& TLexer::Single(TToken& t, TTok kind) {
  src_.Advance();
  t.Kind = kind;
  return t;
}

TToken& TLexer::Fail(TToken& t, std::string reason) {
  t.Kind = TTok::Error;
  t.Text = std::move(reason);
  return t;
}

bool TLexer::SkipBlanks(TToken& t) {
  for (;;) {
    int c = src_.Peek();
    if (c >= 0 && c <= ' ') {
      src_.Advance();
      continue;
    }
    if (c == '/' && src_.Peek(1) == '*') {
      long line = src_.Line();
      src_.Advance();
      src_.Advance();
      comment_.clear();
      for (;;) {
        int d = src_.Peek();
        if (d < 0) {
          t.Line = line;
          Fail(t, Tr("SxfReader", "注釈が閉じていません"));
          return false;
        }
        if (d == '*' && src_.Peek(1) == '/') {
          src_.Advance();
          src_.Advance();
          break;
        }
        if (comment_.size() >= kMaxStringBytes) {
          t.Line = line;
          Fail(t, Tr("SxfReader", "注釈が長すぎます"));
          return false;
        }
        comment_ += static_cast<char>(d);
        src_.Advance();
      }
      handler_.OnComment(comment_, line);
      continue;
    }
    return true;
  }
}

TToken& TLexer::Reference(TToken& t) {
  src_.Advance();
  // A number too large is found by its 13th digit.
  const std::string_view ahead = src_.Ahead(16);
  std::size_t i = 0;
  if (ahead.empty() || !IsDigit(static_cast<unsigned char>(ahead[0])))
    return Fail(t, Tr("SxfReader", "'#' の後に番号がありません"));
  long n = 0;
  while (i < ahead.size() && IsDigit(static_cast<unsigned char>(ahead[i]))) {
    if (n > 99999999999L) {
      src_.Skip(i);
      return Fail(t, Tr("SxfReader", "インスタンス番号が大きすぎます"));
    }
    n = n * 10 + (ahead[i] - '0');
    ++i;
  }
  src_.Skip(i);
  t.Kind = TTok::Ref;
  t.Ref = n;
  return t;
}

TToken& TLexer::String(TToken& t) {
  src_.Advance();
  if (PlainString(t)) return t;
  raw_.clear();
  for (;;) {
    int c = src_.Peek();
    if (c < 0) return Fail(t, Tr("SxfReader", "文字列が閉じていません"));
    if (c == '\'') {
      if (src_.Peek(1) != '\'') {
        src_.Advance();
        break;
      }
      raw_ += "''";
      src_.Advance();
      src_.Advance();
      continue;
    }
    if (raw_.size() >= kMaxStringBytes) return Fail(t, Tr("SxfReader", "文字列が長すぎます"));
    // A line break inside a string is where the writer wrapped the line.
    if (c != '\n' && c != '\r') raw_ += static_cast<char>(c);
    src_.Advance();
  }
  t.Kind = TTok::String;
  bool plain = true;
  for (char c : raw_) plain = plain && c != '\\' && c != '\'' && static_cast<unsigned char>(c) < 0x80;
  t.Text = plain ? raw_ : DecodeString(raw_);
  return t;
}

bool TLexer::PlainString(TToken& t) {
  const std::string_view ahead = src_.Ahead(kPlainStringAhead);
  std::size_t i = 0;
  for (;; ++i) {
    if (i + 1 >= ahead.size()) return false;  // unknown whether a quote is doubled
    const char c = ahead[i];
    if (c == '\n' || c == '\r') return false;
    if (c != '\'') continue;
    if (ahead[i + 1] != '\'') break;
    ++i;
  }
  const std::string_view raw = ahead.substr(0, i);
  bool plain = true;
  for (char c : raw) plain = plain && c != '\\' && c != '\'' && static_cast<unsigned char>(c) < 0x80;
  t.Kind = TTok::String;
  if (plain) t.Text.assign(raw);
  else t.Text = DecodeString(raw);
  src_.Skip(i + 1);
  return true;
}

TToken& TLexer::Binary(TToken& t) {
  src_.Advance();
  for (;;) {
    int c = src_.Peek();
    if (c == '"') {
      src_.Advance();
      break;
    }
    if (c < 0 || HexDigit(c) < 0) return Fail(t, Tr("SxfReader", "バイナリ値が正しくありません"));
    if (t.Text.size() >= kMaxStringBytes) return Fail(t, Tr("SxfReader", "バイナリ値が長すぎます"));
    t.Text += static_cast<char>(c);
    src_.Advance();
  }
  t.Kind = TTok::Binary;
  return t;
}

TToken& TLexer::Enumeration(TToken& t) {
  src_.Advance();
  while (IsKeywordChar(src_.Peek())) {
    if (t.Text.size() > 256) return Fail(t, Tr("SxfReader", "列挙値が長すぎます"));
    t.Text += static_cast<char>(src_.Peek());
    src_.Advance();
  }
  if (src_.Peek() != '.') return Fail(t, Tr("SxfReader", "列挙値が '.' で閉じていません"));
  src_.Advance();
  t.Text = AsciiUpper(t.Text);
  t.Kind = TTok::Enum;
  return t;
}

TNumberScan ScanNumber(std::string_view ahead, std::size_t& n, bool& real, double& value) {
  n = 0;
  real = false;
  auto at = [&](std::size_t k) { return k < ahead.size() ? static_cast<unsigned char>(ahead[k]) : -1; };
  if (at(n) == '+' || at(n) == '-') ++n;
  if (!IsDigit(at(n)) && at(n) != '.') return TNumberScan::Bad;
  while (IsDigit(at(n)) && n < kLongestNumber) ++n;
  if (at(n) == '.') {
    real = true;
    ++n;
    while (IsDigit(at(n)) && n < kLongestNumber) ++n;
  }
  if (at(n) == 'E' || at(n) == 'e') {
    real = true;
    ++n;
    if (at(n) == '+' || at(n) == '-') ++n;
    if (!IsDigit(at(n))) return TNumberScan::BadExponent;
    while (IsDigit(at(n)) && n < kLongestNumber) ++n;
  }
  const std::string_view s = ahead.substr(0, n);
  if (n >= kLongestNumber) return TNumberScan::TooLong;
  if (s == "." || s == "+." || s == "-.") return TNumberScan::Bad;
  const std::string_view digits = s.substr(s[0] == '+' ? 1 : 0);
  if (!PlainDecimal(digits, value) &&
      std::from_chars(digits.data(), digits.data() + digits.size(), value).ec != std::errc())
    value = std::strtod(std::string(s).c_str(), nullptr);
  return TNumberScan::Ok;
}

TToken& TLexer::Number(TToken& t) {
  const std::string_view ahead = src_.Ahead(kLongestNumber + 8);
  std::size_t n = 0;
  bool real = false;
  const TNumberScan scan = ScanNumber(ahead, n, real, t.Number);
  src_.Skip(n);
  switch (scan) {
    case TNumberScan::Ok: t.Kind = real ? TTok::Real : TTok::Integer; return t;
    case TNumberScan::BadExponent: return Fail(t, Tr("SxfReader", "数値の指数が正しくありません"));
    case TNumberScan::TooLong: return Fail(t, Tr("SxfReader", "数値が長すぎます"));
    case TNumberScan::Bad: break;
  }
  return Fail(t, Tr("SxfReader", "数値が正しくありません"));
}

TToken& TLexer::Keyword(TToken& t) {
  constexpr std::size_t kLongest = 257;
  const std::string_view ahead = src_.Ahead(kLongest + 2);
  std::size_t n = 0;
  while (n < ahead.size() && (IsKeywordChar(static_cast<unsigned char>(ahead[n])) || (n == 0 && ahead[n] == '!'))) {
    if (n >= kLongest) {
      src_.Skip(n);
      return Fail(t, Tr("SxfReader", "名前が長すぎます"));
    }
    ++n;
  }
  t.Text.assign(ahead.substr(0, n));
  src_.Skip(n);
  for (char& c : t.Text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  t.Kind = TTok::Keyword;
  return t;
}

}  // namespace part21_detail

namespace {

using part21_detail::HexDigit;

// The value of `count` hex digits at raw[pos], or -1.
long HexValue(std::string_view raw, std::size_t pos, std::size_t count) {
  if (pos + count > raw.size()) return -1;
  long v = 0;
  for (std::size_t i = 0; i < count; ++i) {
    int d = HexDigit(static_cast<unsigned char>(raw[pos + i]));
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

}  // namespace

std::string DecodeString(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  char alphabet = 'A';
  std::size_t i = 0, n = raw.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(raw[i]);
    if (c == '\'') {
      out += '\'';
      i += (i + 1 < n && raw[i + 1] == '\'') ? 2 : 1;
      continue;
    }
    if (c >= 0x80) {
      // UTF-8 where the bytes are UTF-8, otherwise a CP932 character (whose
      // second byte may be a backslash, so it is taken here, not as an escape).
      std::size_t p = i;
      char32_t cp = NextCodePoint(raw, p);
      if (cp != kReplacementChar || p - i > 1) {
        out.append(raw.substr(i, p - i));
        i = p;
      } else {
        std::size_t len = (IsLeadByte(c) && i + 1 < n) ? 2 : 1;
        out += Cp932ToUtf8(raw.substr(i, len));
        i += len;
      }
      continue;
    }
    if (c != '\\') {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    std::string_view rest = raw.substr(i);
    if (rest.starts_with("\\\\")) {
      out += '\\';
      i += 2;
    } else if (rest.starts_with("\\X\\")) {
      long v = HexValue(raw, i + 3, 2);
      if (v < 0) {
        out += '\\';
        ++i;
        continue;
      }
      AppendUtf8(out, static_cast<char32_t>(v));
      i += 5;
    } else if (rest.starts_with("\\X2\\") || rest.starts_with("\\X4\\")) {
      std::size_t width = rest[2] == '2' ? 4 : 8;
      i += 4;
      char32_t high = 0;  // a pending high surrogate
      while (i < n && raw[i] != '\\') {
        long v = HexValue(raw, i, width);
        if (v < 0) break;
        i += width;
        char32_t u = static_cast<char32_t>(v);
        if (width == 4 && u >= 0xD800 && u <= 0xDBFF) {
          if (high) AppendUtf8(out, kReplacementChar);
          high = u;
          continue;
        }
        if (width == 4 && u >= 0xDC00 && u <= 0xDFFF) {
          AppendUtf8(out, high ? 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00) : kReplacementChar);
          high = 0;
          continue;
        }
        if (high) AppendUtf8(out, kReplacementChar);
        high = 0;
        AppendUtf8(out, (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) ? kReplacementChar : u);
      }
      if (high) AppendUtf8(out, kReplacementChar);
      // Past the closing \X0\ (or whatever stopped the run).
      if (raw.substr(i).starts_with("\\X0\\")) {
        i += 4;
      } else {
        while (i < n && raw[i] != '\\' && raw[i] != '\'') ++i;
      }
    } else if (rest.size() >= 4 && rest.starts_with("\\S\\")) {
      unsigned char b = static_cast<unsigned char>(rest[3]);
      AppendUtf8(out, alphabet == 'A' && b < 0x80 ? static_cast<char32_t>(b + 0x80) : kReplacementChar);
      i += 4;
    } else if (rest.size() >= 4 && rest[1] == 'P' && rest[3] == '\\' && rest[2] >= 'A' && rest[2] <= 'I') {
      alphabet = rest[2];
      i += 4;
    } else if (rest.starts_with("\\N\\") || rest.starts_with("\\F\\")) {
      i += 3;  // print control directives: nothing to show
    } else {
      out += '\\';
      ++i;
    }
  }
  return out;
}

}  // namespace dlvr::sxf::p21
