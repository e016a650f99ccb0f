// The Part 21 grammar: the sections of an exchange structure, its header
// entities and data instances (simple and complex), their values and
// lists, read from the tokenizer and handed to the handler; where reading
// broke and why; a whole file, a text, or a portion of either.
#include "sxf/part21.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "platform/translate.h"
#include "sxf/part21_internal.h"

namespace dlvr::sxf::p21 {
namespace {

using part21_detail::IsDigit;
using part21_detail::IsKeywordChar;
using part21_detail::IsKeywordStart;
using part21_detail::ReadFailedText;
using part21_detail::ScanNumber;
using part21_detail::TNumberScan;
using part21_detail::TLexer;
using part21_detail::TSource;
using part21_detail::TTok;
using part21_detail::TToken;

// Why reading stopped when no ';' follows a keyword or an entity name.
std::string NoSemicolonAfter(const std::string& what) { return Arg(Tr("SxfReader", "%1 の後に ';' がありません"), {what}); }

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
      if (QuickInstance()) {
        if (!handler_.OnInstance(std::move(inst_))) return false;
        continue;
      }
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

  // -- a plain instance read straight from the bytes ahead -------------------
  // Most instances stand on a line of their own with nothing but numbers,
  // references, names, plain strings and lists in them: such a simple
  // instance is read from the bytes ahead without tokens, into the values
  // the tokens would give. Anything else (a line break, a comment, a
  // binary, a complex instance, the end of the bytes ahead, any error) is
  // left to the tokens: false, nothing consumed but the blanks before it.
  static constexpr std::size_t kQuickAhead = 16384;

  static bool QuickBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ' && c != '\n' && c != '\r';
  }
  static void QuickBlanks(std::string_view a, std::size_t& i) {
    while (i < a.size() && QuickBlank(a[i])) ++i;
  }
  // A keyword (no '!' name) taken upper case into `out`.
  static bool QuickName(std::string_view a, std::size_t& i, std::string& out) {
    std::size_t j = i;
    if (j >= a.size() || a[j] == '!' || !IsKeywordStart(static_cast<unsigned char>(a[j]))) return false;
    while (j < a.size() && IsKeywordChar(static_cast<unsigned char>(a[j]))) {
      if (j - i >= 257) return false;
      ++j;
    }
    out.assign(a.data() + i, j - i);
    for (char& c : out)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    i = j;
    return true;
  }
  // '#' and at most 11 digits.
  static bool QuickReference(std::string_view a, std::size_t& i, long& n) {
    std::size_t j = i + 1;
    n = 0;
    while (j < a.size() && IsDigit(static_cast<unsigned char>(a[j]))) {
      if (j - i > 11) return false;
      n = n * 10 + (a[j] - '0');
      ++j;
    }
    if (j == i + 1) return false;
    i = j;
    return true;
  }
  static void QuickPlain(TValue& v, TValueKind kind) {
    v.Kind = kind;
    v.Number = 0;
    v.Ref = 0;
    v.Text.clear();
    v.Items.clear();
  }

  static bool QuickValue(std::string_view a, std::size_t& i, TValue& v, int depth) {
    if (i >= a.size()) return false;
    const char c = a[i];
    switch (c) {
      case '$': QuickPlain(v, TValueKind::Unset); ++i; return true;
      case '*': QuickPlain(v, TValueKind::Derived); ++i; return true;
      case '#': {
        long n = 0;
        if (!QuickReference(a, i, n)) return false;
        QuickPlain(v, TValueKind::Ref);
        v.Ref = n;
        return true;
      }
      case '\'': {
        // As the tokens take a string closed on its line.
        std::size_t j = i + 1;
        for (;; ++j) {
          if (j + 1 >= a.size()) return false;
          if (a[j] == '\n' || a[j] == '\r') return false;
          if (a[j] != '\'') continue;
          if (a[j + 1] != '\'') break;
          ++j;
        }
        const std::string_view raw = a.substr(i + 1, j - i - 1);
        bool plain = true;
        for (char r : raw) plain = plain && r != '\\' && r != '\'' && static_cast<unsigned char>(r) < 0x80;
        QuickPlain(v, TValueKind::String);
        if (plain) v.Text.assign(raw);
        else v.Text = DecodeString(raw);
        i = j + 1;
        return true;
      }
      case '(':
        v.Kind = TValueKind::List;
        v.Number = 0;
        v.Ref = 0;
        v.Text.clear();
        ++i;
        return QuickList(a, i, v.Items, depth + 1);
      default: break;
    }
    if (c == '.' && i + 1 < a.size() && IsKeywordStart(static_cast<unsigned char>(a[i + 1]))) {
      std::size_t j = i + 1;
      while (j < a.size() && IsKeywordChar(static_cast<unsigned char>(a[j]))) {
        if (j - i - 1 > 256) return false;
        ++j;
      }
      if (j == i + 1 || j >= a.size() || a[j] != '.') return false;
      QuickPlain(v, TValueKind::Enum);
      v.Text.assign(a.data() + i + 1, j - i - 1);
      for (char& e : v.Text)
        if (e >= 'a' && e <= 'z') e = static_cast<char>(e - 'a' + 'A');
      i = j + 1;
      return true;
    }
    if (IsDigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.') {
      std::size_t n = 0;
      bool real = false;
      double number = 0;
      if (ScanNumber(a.substr(i), n, real, number) != TNumberScan::Ok) return false;
      QuickPlain(v, real ? TValueKind::Real : TValueKind::Integer);
      v.Number = number;
      i += n;
      return true;
    }
    // A typed value: NAME(...).
    std::size_t j = i;
    if (!QuickName(a, j, v.Text)) return false;
    QuickBlanks(a, j);
    if (j >= a.size() || a[j] != '(') return false;
    v.Kind = TValueKind::Typed;
    v.Number = 0;
    v.Ref = 0;
    i = j + 1;
    return QuickList(a, i, v.Items, depth + 1);
  }

  // The values of a list whose '(' is read, through its ')'.
  static bool QuickList(std::string_view a, std::size_t& i, std::vector<TValue>& out, int depth) {
    if (depth > kMaxNesting) return false;
    QuickBlanks(a, i);
    if (i < a.size() && a[i] == ')') {
      ++i;
      out.clear();
      return true;
    }
    std::size_t count = 0;
    for (;;) {
      TValue& v = count < out.size() ? out[count] : out.emplace_back();
      ++count;
      if (!QuickValue(a, i, v, depth)) return false;
      QuickBlanks(a, i);
      if (i >= a.size()) return false;
      if (a[i] == ')') {
        ++i;
        out.resize(count);
        return true;
      }
      if (a[i] != ',') return false;
      ++i;
      QuickBlanks(a, i);
    }
  }

  bool QuickInstance() {
    // The blanks before it, as the tokens pass them over.
    for (int c = src_.Peek(); c >= 0 && c <= ' '; c = src_.Peek()) src_.Advance();
    const std::string_view a = src_.Ahead(kQuickAhead);
    std::size_t i = 0;
    long id = 0;
    if (a.empty() || a[0] != '#' || !QuickReference(a, i, id)) return false;
    QuickBlanks(a, i);
    if (i >= a.size() || a[i] != '=') return false;
    ++i;
    QuickBlanks(a, i);
    TInstance& inst = inst_;
    TRecord& rec = inst.Records.empty() ? inst.Records.emplace_back() : inst.Records[0];
    if (!QuickName(a, i, rec.Name)) return false;
    QuickBlanks(a, i);
    if (i >= a.size() || a[i] != '(') return false;
    ++i;
    if (!QuickList(a, i, rec.Params, 1)) return false;
    QuickBlanks(a, i);
    if (i >= a.size() || a[i] != ';') return false;
    inst.Records.resize(1);
    inst.Id = id;
    inst.Line = src_.Line();
    inst.Complex = false;
    records_ = 1;
    // What a break after it would name, as the tokens leave it.
    char name[24] = {'#'};
    context_.assign(name, static_cast<std::size_t>(std::to_chars(name + 1, name + sizeof name, id).ptr - name));
    src_.Skip(i + 1);
    return true;
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

TReadStop Parse(const TReadFn& read, THandler& handler, std::size_t chunk) {
  return ParsePortion(read, handler, TPortion::Whole, 1, nullptr, chunk);
}

TReadStop ParsePortion(const TReadFn& read, THandler& handler, TPortion portion, long firstLine, bool* atCut,
                       std::size_t chunk, long* endLine) {
  TSource src(read, chunk, firstLine);
  TParser parser(src, handler, portion);
  TReadStop stop = parser.Run();
  if (atCut) *atCut = parser.AtCut();
  if (endLine) *endLine = src.Line();
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

}  // namespace dlvr::sxf::p21
