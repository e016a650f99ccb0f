#include "sxf/part21.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <exception>
#include <thread>
#include <utility>

#include "platform/text.h"
#include "platform/translate.h"
#include "sxf/decimal.h"
#include "sxf/line_breaks.h"

namespace dlvr::sxf::p21 {
namespace {

int HexDigit(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

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

bool IsKeywordStart(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '!'; }
bool IsKeywordChar(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Why reading stopped when the file could not be read.
std::string ReadFailedText() { return Tr("SxfReader", "ファイルを読み込めません"); }

// Why reading stopped when no ';' follows a keyword or an entity name.
std::string NoSemicolonAfter(const std::string& what) { return Arg(Tr("SxfReader", "%1 の後に ';' がありません"), {what}); }

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

  TToken Next() {
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

 private:
  static std::string Shown(int c) {
    if (c > 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    static const char* hex = "0123456789ABCDEF";
    return std::string("0x") + hex[(c >> 4) & 15] + hex[c & 15];
  }

  TToken& Single(TToken& t, TTok kind) {
    src_.Advance();
    t.Kind = kind;
    return t;
  }
  TToken& Fail(TToken& t, std::string reason) {
    t.Kind = TTok::Error;
    t.Text = std::move(reason);
    return t;
  }

  // Skips white space and comments (handing each comment out). False with
  // an error token on an unclosed or oversized comment.
  bool SkipBlanks(TToken& t) {
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

  TToken& Reference(TToken& t) {
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

  TToken& String(TToken& t) {
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

  // A string that closes within the bytes read ahead and holds no line
  // break, taken in place: false (nothing consumed) for any other.
  bool PlainString(TToken& t) {
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
  static constexpr std::size_t kPlainStringAhead = 4096;

  TToken& Binary(TToken& t) {
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

  TToken& Enumeration(TToken& t) {
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

  // A number is scanned where it stands (at most 400 bytes and a few
  // signs, so the bytes ahead hold all of it) and converted from there.
  TToken& Number(TToken& t) {
    constexpr std::size_t kLongest = 400;
    const std::string_view ahead = src_.Ahead(kLongest + 8);
    std::size_t n = 0;
    bool real = false;
    auto at = [&](std::size_t k) { return k < ahead.size() ? static_cast<unsigned char>(ahead[k]) : -1; };
    auto done = [&](TToken& r) -> TToken& {
      src_.Skip(n);
      return r;
    };
    if (at(n) == '+' || at(n) == '-') ++n;
    if (!IsDigit(at(n)) && at(n) != '.') return done(Fail(t, Tr("SxfReader", "数値が正しくありません")));
    while (IsDigit(at(n)) && n < kLongest) ++n;
    if (at(n) == '.') {
      real = true;
      ++n;
      while (IsDigit(at(n)) && n < kLongest) ++n;
    }
    if (at(n) == 'E' || at(n) == 'e') {
      real = true;
      ++n;
      if (at(n) == '+' || at(n) == '-') ++n;
      if (!IsDigit(at(n))) return done(Fail(t, Tr("SxfReader", "数値の指数が正しくありません")));
      while (IsDigit(at(n)) && n < kLongest) ++n;
    }
    const std::string_view s = ahead.substr(0, n);
    if (n >= kLongest) return done(Fail(t, Tr("SxfReader", "数値が長すぎます")));
    if (s == "." || s == "+." || s == "-.") return done(Fail(t, Tr("SxfReader", "数値が正しくありません")));
    t.Kind = real ? TTok::Real : TTok::Integer;
    const std::string_view digits = s.substr(s[0] == '+' ? 1 : 0);
    if (!PlainDecimal(digits, t.Number) &&
        std::from_chars(digits.data(), digits.data() + digits.size(), t.Number).ec != std::errc())
      t.Number = std::strtod(std::string(s).c_str(), nullptr);
    return done(t);
  }

  TToken& Keyword(TToken& t) {
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

  TSource& src_;
  THandler& handler_;
  std::string comment_;
  std::string raw_;
};

// Where and why the read broke.
struct TBreak {
  long Line;
  std::string Reason;
};

class TParser {
 public:
  TParser(TSource& src, THandler& handler, TPortion portion = TPortion::Whole)
      : src_(src), lex_(src, handler), handler_(handler), portion_(portion) {}
  // A head portion ended where it was cut: between two instances of a data
  // section.
  bool AtCut() const { return atCut_; }

  TReadStop Run() {
    TReadStop stop;
    if (!File()) {
      if (!broken_.Reason.empty()) {
        stop.Broken = true;
        stop.Line = broken_.Line;
        stop.Reason = std::move(broken_.Reason);
      }
    }
    return stop;
  }

 private:
  // False when reading stopped: by a break (broken_ set) or by the handler.
  bool File() {
    TToken t;
    if (portion_ == TPortion::Tail) {
      // The rest of a data section, from an instance on.
      context_ = "DATA";
      if (!Instances()) return false;
      return Sections();
    }
    t = lex_.Next();
    if (t.Kind != TTok::Keyword || t.Text != "ISO-10303-21") {
      return Break(t, t.Kind == TTok::Error && t.Text == ReadFailedText()
                          ? t.Text
                          : Tr("SxfReader", "ISO 10303-21 の交換構造ではありません（先頭に ISO-10303-21; がありません）"));
    }
    if (!Expect(TTok::Semicolon, [&] { return NoSemicolonAfter("ISO-10303-21"); })) return false;
    return Sections();
  }

  // The sections up to END-ISO-10303-21.
  bool Sections() {
    for (;;) {
      TToken t = lex_.Next();
      if (t.Kind == TTok::End) return Break(t, Tr("SxfReader", "END-ISO-10303-21; の前でファイルが終わっています"));
      if (t.Kind == TTok::Error) return Break(t, t.Text);
      if (t.Kind != TTok::Keyword) return Break(t, Tr("SxfReader", "セクションの始まりがありません"));
      if (t.Text == "END-ISO-10303-21") {
        TToken s = lex_.Next();
        if (s.Kind != TTok::Semicolon && s.Kind != TTok::End)
          return Break(s, NoSemicolonAfter("END-ISO-10303-21"));
        return true;
      }
      if (!handler_.OnSection(t.Text, t.Line)) return false;
      bool ok = t.Text == "HEADER" ? Header() : t.Text == "DATA" ? Data(t) : OtherSection(t);
      if (!ok) return false;
      if (atCut_) return true;
    }
  }

  bool Header() {
    if (!Expect(TTok::Semicolon, [&] { return NoSemicolonAfter("HEADER"); })) return false;
    for (;;) {
      TToken t = lex_.Next();
      if (t.Kind == TTok::Keyword && t.Text == "ENDSEC")
        return Expect(TTok::Semicolon, [&] { return NoSemicolonAfter("ENDSEC"); });
      if (t.Kind == TTok::End) return Break(t, Tr("SxfReader", "ヘッダ部の途中でファイルが終わっています"));
      if (t.Kind != TTok::Keyword)
        return Break(t, t.Kind == TTok::Error ? t.Text : Tr("SxfReader", "ヘッダ部にエンティティ名がありません"));
      TRecord rec;
      rec.Name = std::move(t.Text);
      context_ = rec.Name;
      if (!Expect(TTok::Open, [&] { return Arg(Tr("SxfReader", "%1 の後に '(' がありません"), {rec.Name}); })) return false;
      if (!List(rec.Params, 1)) return false;
      if (!Expect(TTok::Semicolon, [&] { return NoSemicolonAfter(rec.Name); })) return false;
      if (!handler_.OnHeader(std::move(rec), t.Line)) return false;
    }
  }

  bool Data(const TToken& start) {
    TToken t = lex_.Next();
    if (t.Kind == TTok::Open) {  // DATA('name', ('schema'));
      std::vector<TValue> ignored;
      context_ = "DATA";
      if (!List(ignored, 1)) return false;
      t = lex_.Next();
    }
    if (t.Kind != TTok::Semicolon) return Break(t, NoSemicolonAfter("DATA"));
    return Instances();
  }

  // The instances of a data section through its ENDSEC;.
  bool Instances() {
    for (;;) {
      TToken t = lex_.Next();
      if (t.Kind == TTok::End && portion_ == TPortion::Head) {
        atCut_ = true;
        return true;
      }
      if (t.Kind == TTok::Keyword && t.Text == "ENDSEC")
        return Expect(TTok::Semicolon, [&] { return NoSemicolonAfter("ENDSEC"); });
      if (t.Kind == TTok::End) return Break(t, Tr("SxfReader", "データ部の途中でファイルが終わっています（ENDSEC; がありません）"));
      if (t.Kind == TTok::Error) return Break(t, t.Text);
      if (t.Kind != TTok::Ref) return Break(t, Tr("SxfReader", "インスタンスの始まり（#番号=）がありません"));
      // One instance is filled again and again, its records and values
      // kept for the next (unless the handler takes them away).
      TInstance& inst = inst_;
      inst.Id = t.Ref;
      inst.Line = t.Line;
      inst.Complex = false;
      records_ = 0;
      context_ = "#" + std::to_string(t.Ref);
      if (!Expect(TTok::Equals, [&] { return Arg(Tr("SxfReader", "%1 の後に '=' がありません"), {context_}); })) return false;
      t = lex_.Next();
      if (t.Kind == TTok::Keyword) {
        if (!Record(inst, std::move(t.Text))) return false;
      } else if (t.Kind == TTok::Open) {
        inst.Complex = true;
        for (;;) {
          t = lex_.Next();
          if (t.Kind == TTok::Close) break;
          if (t.Kind != TTok::Keyword) return Unexpected(t, Tr("SxfReader", "複合インスタンスにエンティティ名がありません"));
          if (!Record(inst, std::move(t.Text))) return false;
        }
        if (records_ == 0) return Break(t, Arg(Tr("SxfReader", "%1 の複合インスタンスが空です"), {context_}));
      } else {
        return Unexpected(t, Arg(Tr("SxfReader", "%1 にエンティティ名がありません"), {context_}));
      }
      if (!Expect(TTok::Semicolon,
                  [&] { return Arg(Tr("SxfReader", "%1 の後に ';' がありません（括弧の対応がとれていません）"), {context_}); }))
        return false;
      inst.Records.resize(records_);
      if (!handler_.OnInstance(std::move(inst))) return false;
    }
  }

  bool Record(TInstance& inst, std::string name) {
    TRecord& rec = records_ < inst.Records.size() ? inst.Records[records_] : inst.Records.emplace_back();
    ++records_;
    rec.Name = std::move(name);
    if (!Expect(TTok::Open, [&] { return Arg(Tr("SxfReader", "%1 の %2 の後に '(' がありません"), {context_, rec.Name}); }))
      return false;
    return List(rec.Params, 1);
  }

  // Skips an ANCHOR, REFERENCE or SIGNATURE section to its ENDSEC.
  bool OtherSection(const TToken& start) {
    for (;;) {
      TToken t = lex_.Next();
      if (t.Kind == TTok::Keyword && t.Text == "ENDSEC")
        return Expect(TTok::Semicolon, [&] { return NoSemicolonAfter("ENDSEC"); });
      if (t.Kind == TTok::End) return Break(t, Arg(Tr("SxfReader", "%1 セクションの途中でファイルが終わっています"), {start.Text}));
      if (t.Kind == TTok::Error) return Break(t, t.Text);
    }
  }

  // Reads the values of a list whose '(' was read, through its ')'.
  bool List(std::vector<TValue>& out, int depth) {
    if (depth > kMaxNesting) return Break(last_, Arg(Tr("SxfReader", "%1 の括弧の入れ子が深すぎます"), {context_}));
    // Values left in `out` by the instance before are filled again.
    std::size_t count = 0;
    TToken t = lex_.Next();
    if (t.Kind == TTok::Close) {
      out.clear();
      return true;
    }
    for (;;) {
      TValue& v = count < out.size() ? out[count] : out.emplace_back();
      ++count;
      if (!Value(v, t, depth)) return false;
      t = lex_.Next();
      if (t.Kind == TTok::Close) {
        out.resize(count);
        return true;
      }
      if (t.Kind == TTok::Semicolon) return Break(t, Arg(Tr("SxfReader", "%1 の括弧が閉じていません"), {context_}));
      if (t.Kind != TTok::Comma) return Unexpected(t, Arg(Tr("SxfReader", "%1 の値の後に ',' か ')' がありません"), {context_}));
      t = lex_.Next();
    }
  }

  bool Value(TValue& v, TToken& t, int depth) {
    last_.Line = t.Line;  // where a list that nests too deep starts
    // A token that is a value by itself: its number, reference or text.
    auto take = [&](TValueKind kind) {
      v.Kind = kind;
      v.Number = t.Number;
      v.Ref = t.Ref;
      v.Text.assign(t.Text);
      v.Items.clear();
      return true;
    };
    switch (t.Kind) {
      case TTok::Dollar: return take(TValueKind::Unset);
      case TTok::Star: return take(TValueKind::Derived);
      case TTok::Integer: return take(TValueKind::Integer);
      case TTok::Real: return take(TValueKind::Real);
      case TTok::String: return take(TValueKind::String);
      case TTok::Enum: return take(TValueKind::Enum);
      case TTok::Binary: return take(TValueKind::Binary);
      case TTok::Ref: return take(TValueKind::Ref);
      case TTok::Open:
        v.Kind = TValueKind::List;
        v.Number = 0;
        v.Ref = 0;
        v.Text.clear();
        return List(v.Items, depth + 1);
      case TTok::Keyword:
        v.Kind = TValueKind::Typed;
        v.Number = 0;
        v.Ref = 0;
        v.Text.assign(t.Text);
        if (!Expect(TTok::Open,
                    [&] { return Arg(Tr("SxfReader", "%1 の %2 の後に '(' がありません"), {context_, v.Text}); }))
          return false;
        return List(v.Items, depth + 1);
      case TTok::Semicolon:
        return Break(t, Arg(Tr("SxfReader", "%1 の括弧が閉じていません"), {context_}));
      default:
        return Unexpected(t, Arg(Tr("SxfReader", "%1 に値がありません"), {context_}));
    }
  }

  // The next token must be of `kind`; `reason` tells why not (made only then).
  template <class F>
  bool Expect(TTok kind, F&& reason) {
    TToken t = lex_.Next();
    if (t.Kind == kind) return true;
    return Unexpected(t, reason());
  }

  // A break at an unexpected token: the lexer's own reason, the end of the
  // file, a ';' inside an instance (parentheses left open), or `reason`.
  bool Unexpected(const TToken& t, const std::string& reason) {
    if (t.Kind == TTok::Error) return Break(t, t.Text);
    if (t.Kind == TTok::End) {
      return Break(t, context_.empty() ? Tr("SxfReader", "ファイルが途中で終わっています")
                                       : Arg(Tr("SxfReader", "ファイルが %1 の途中で終わっています"), {context_}));
    }
    return Break(t, reason);
  }

  bool Break(const TToken& t, std::string reason) {
    broken_.Line = t.Line ? t.Line : src_.Line();
    broken_.Reason = std::move(reason);
    return false;
  }

  TSource& src_;
  TLexer lex_;
  THandler& handler_;
  std::string context_;
  TToken last_;
  TInstance inst_;
  std::size_t records_ = 0;  // of inst_ filled so far
  TPortion portion_;
  bool atCut_ = false;
  TBreak broken_{0, {}};
};

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

TReadStop Parse(const TReadFn& read, THandler& handler, std::size_t chunk) {
  return ParsePortion(read, handler, TPortion::Whole, 1, nullptr, chunk);
}

TReadStop ParsePortion(const TReadFn& read, THandler& handler, TPortion portion, long firstLine, bool* atCut,
                       std::size_t chunk) {
  TSource src(read, chunk, firstLine);
  TParser parser(src, handler, portion);
  TReadStop stop = parser.Run();
  if (atCut) *atCut = parser.AtCut();
  return stop;
}

TReadStop ParseText(std::string_view text, THandler& handler, std::size_t chunk) {
  std::size_t pos = 0;
  TReadFn read = [&](char* buffer, std::size_t size) -> long {
    std::size_t take = std::min(size, text.size() - pos);
    std::copy(text.data() + pos, text.data() + pos + take, buffer);
    pos += take;
    return static_cast<long>(take);
  };
  return Parse(read, handler, std::min(chunk, std::max<std::size_t>(text.size(), 1)));
}

TReadStop ParseFile(const std::string& path, THandler& handler) {
  TReadStop stop;
  stop.Broken = true;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    stop.Reason = Tr("SxfReader", "ファイルを開けません");
    return stop;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    stop.Reason = Tr("SxfReader", "通常のファイルではありません");
    return stop;
  }
  TReadFn read = [fd](char* buffer, std::size_t size) -> long {
    for (;;) {
      ssize_t got = ::read(fd, buffer, size);
      if (got >= 0) return static_cast<long>(got);
      if (errno != EINTR) return -1;
    }
  };
  stop = Parse(read, handler);
  ::close(fd);
  return stop;
}

namespace {

// Reads exactly what pread gives at `at`, retried on EINTR: the count, 0 at
// the end, -1 on an error.
long ReadAt(int fd, char* buffer, std::size_t size, std::uint64_t at) {
  for (;;) {
    const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(at));
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The offset of the first instance that starts in the megabyte after
// `from`: a '#' that follows a ';' and blanks and is followed by digits,
// blanks and '='. 0 when there is none. (A string or comment may hold such
// text: the head read up to it finds out.)
std::uint64_t FindInstanceStart(int fd, std::uint64_t from, std::uint64_t size) {
  constexpr std::size_t kWindow = 1u << 20;
  std::string window(kWindow, '\0');
  const long got = ReadAt(fd, window.data(), kWindow, from);
  if (got <= 0) return 0;
  window.resize(static_cast<std::size_t>(got));
  for (std::size_t i = 0; i < window.size(); ++i) {
    if (window[i] != ';') continue;
    std::size_t j = i + 1;
    while (j < window.size() && IsBlank(window[j])) ++j;
    if (j >= window.size() || window[j] != '#') continue;
    const std::size_t hash = j++;
    const std::size_t digits = j;
    while (j < window.size() && IsDigit(static_cast<unsigned char>(window[j]))) ++j;
    if (j == digits) continue;
    while (j < window.size() && IsBlank(window[j])) ++j;
    if (j < window.size() && window[j] == '=' && from + hash < size) return from + hash;
  }
  return 0;
}

// The line the byte at `end` stands on, counted as the reader counts (LF,
// CR LF, or a lone CR end a line).
long LineAt(int fd, std::uint64_t end) {
  constexpr std::size_t kChunk = 1u << 20;
  std::string buffer(kChunk, '\0');
  long line = 1;
  bool afterCr = false;
  for (std::uint64_t at = 0; at < end;) {
    const long got = ReadAt(fd, buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end - at)), at);
    if (got <= 0) return -1;
    line += LineBreaks(std::string_view(buffer.data(), static_cast<std::size_t>(got)), afterCr);
    at += static_cast<std::uint64_t>(got);
  }
  // A CR just before `end` whose LF stands at `end` ends its line there.
  if (afterCr) {
    char next = 0;
    if (ReadAt(fd, &next, 1, end) == 1 && next == '\n') --line;
  }
  return line;
}

}  // namespace

bool ParseFileInTwo(const std::string& path, THandler& head, THandler& tail, TReadStop& stop,
                    std::uint64_t smallest) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const std::uint64_t size = regular ? static_cast<std::uint64_t>(st.st_size) : 0;
  const std::uint64_t cut = regular && size >= smallest ? FindInstanceStart(fd, size / 2, size) : 0;
  if (cut == 0) {
    ::close(fd);
    return false;
  }
  // The tail is read by a thread of its own from the cut on, its lines
  // counted first; the head up to the cut here.
  TReadStop tailStop, headStop;
  bool tailFailed = false, headFailed = false, atCut = false;
  std::thread other([&] {
    try {
      const long line = LineAt(fd, cut);
      if (line < 0) {
        tailFailed = true;
        return;
      }
      std::uint64_t at = cut;
      TReadFn read = [&](char* buffer, std::size_t size) -> long {
        const long got = ReadAt(fd, buffer, size, at);
        if (got > 0) at += static_cast<std::uint64_t>(got);
        return got;
      };
      tailStop = ParsePortion(read, tail, TPortion::Tail, line, nullptr);
    } catch (const std::exception&) {
      tailFailed = true;
    }
  });
  try {
    std::uint64_t at = 0;
    TReadFn read = [&](char* buffer, std::size_t size) -> long {
      const long got = ReadAt(fd, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, cut - at)), at);
      if (got > 0) at += static_cast<std::uint64_t>(got);
      return got;
    };
    headStop = ParsePortion(read, head, TPortion::Head, 1, &atCut);
  } catch (const std::exception&) {
    headFailed = true;
  }
  other.join();
  ::close(fd);
  if (headFailed || tailFailed || headStop.Broken || !atCut) return false;
  stop = std::move(tailStop);
  return true;
}

}  // namespace dlvr::sxf::p21
