// What the parts of the Part 21 reader share: the classes of characters,
// the byte source with its look-ahead and line count, and the tokenizer
// that the grammar reads its tokens from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/translate.h"
#include "sxf/part21.h"

namespace dlvr::sxf::p21::part21_detail {

inline int HexDigit(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

inline bool IsKeywordStart(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '!'; }
inline bool IsKeywordChar(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}
inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// A number scanned where it stands: at most this many characters (and a
// few signs), so the bytes ahead hold all of it.
inline constexpr std::size_t kLongestNumber = 400;
enum class TNumberScan { Ok, Bad, BadExponent, TooLong };
// Scans the number at the start of `ahead` (a sign, digits, a point, an
// exponent) as the tokenizer reads one: `n` the characters it takes (also
// when it is no number), `real` whether it has a point or an exponent,
// `value` converted exactly when Ok.
TNumberScan ScanNumber(std::string_view ahead, std::size_t& n, bool& real, double& value);

// Why reading stopped when the file could not be read.
inline std::string ReadFailedText() { return Tr("SxfReader", "ファイルを読み込めません"); }

// A byte source that keeps a few bytes of look-ahead across chunk ends and
// counts lines.
class TSource {
 public:
  TSource(const TReadFn& read, std::size_t chunk, long firstLine = 1)
      : read_(read), chunk_(chunk ? chunk : 1), line_(firstLine) {}

  // The byte `k` places ahead, or -1 past the end.
  int Peek(std::size_t k = 0) {
    if (pos_ + k < buf_.size()) [[likely]]
      return static_cast<unsigned char>(buf_[pos_ + k]);
    return Fill(k + 1) ? static_cast<unsigned char>(buf_[pos_ + k]) : -1;
  }
  // Consumes one byte, counting line breaks (LF, CR LF, or a lone CR).
  void Advance() {
    const char c = buf_[pos_++];
    if (c > '\r') [[likely]]
      return;
    if (c == '\n' || (c == '\r' && Peek() != '\n')) ++line_;
  }
  long Line() const { return line_; }
  bool ReadFailed() const { return failed_; }
  // The bytes read ahead, at least `need` of them unless the input ends
  // before: a token is scanned in place there.
  std::string_view Ahead(std::size_t need) {
    if (buf_.size() - pos_ < need) Fill(need);
    return {buf_.data() + pos_, buf_.size() - pos_};
  }
  // Consumes `n` bytes known to hold no line break.
  void Skip(std::size_t n) { pos_ += n; }

 private:
  [[gnu::noinline]] bool Fill(std::size_t need) {
    // At the end nothing more comes: the bytes left stay where they are.
    if (end_) return buf_.size() - pos_ >= need;
    if (pos_ > 0) {
      buf_.erase(0, pos_);
      pos_ = 0;
    }
    while (buf_.size() < need && !end_) {
      std::size_t old = buf_.size();
      buf_.resize(old + chunk_);
      long got = read_(buf_.data() + old, chunk_);
      if (got <= 0) {
        buf_.resize(old);
        end_ = true;
        failed_ = got < 0;
      } else {
        buf_.resize(old + static_cast<std::size_t>(got));
      }
    }
    return buf_.size() >= need;
  }

  const TReadFn& read_;
  std::size_t chunk_;
  std::string buf_;
  std::size_t pos_ = 0;
  bool end_ = false;
  bool failed_ = false;
  long line_ = 1;
};

enum class TTok { End, Error, Keyword, Integer, Real, String, Enum, Ref, Binary, Dollar, Star, Open, Close, Comma, Semicolon, Equals };

struct TToken {
  TTok Kind = TTok::End;
  std::string Text;
  double Number = 0;
  long Ref = 0;
  long Line = 0;
};

class TLexer {
 public:
  TLexer(TSource& src, THandler& handler) : src_(src), handler_(handler) {}

  TToken Next();

 private:
  static std::string Shown(int c);
  TToken& Single(TToken& t, TTok kind);
  TToken& Fail(TToken& t, std::string reason);

  // Skips white space and comments (handing each comment out). False with
  // an error token on an unclosed or oversized comment.
  bool SkipBlanks(TToken& t);
  TToken& Reference(TToken& t);
  TToken& String(TToken& t);

  // A string that closes within the bytes read ahead and holds no line
  // break, taken in place: false (nothing consumed) for any other.
  bool PlainString(TToken& t);
  static constexpr std::size_t kPlainStringAhead = 4096;
  TToken& Binary(TToken& t);
  TToken& Enumeration(TToken& t);

  // A number is scanned where it stands (at most 400 bytes and a few
  // signs, so the bytes ahead hold all of it) and converted from there.
  TToken& Number(TToken& t);
  TToken& Keyword(TToken& t);

  TSource& src_;
  THandler& handler_;
  std::string comment_;
  std::string raw_;
};

}  // namespace dlvr::sxf::p21::part21_detail
