// The characters of a management file the guideline does not allow:
// half-width katakana, machine-dependent and user-defined characters, rows
// JIS X 0208 leaves empty, and full-width digits and Latin letters.
#include <cstdint>
#include <cstring>
#include <set>

#include "check/extended_check_internal.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

// The kind of a double-byte character of CP932 the guideline does not
// allow (as written here, an "ExtendedCheck" text), or nullptr. (Lead byte,
// trail byte.)
const char* ForbiddenDoubleByte(unsigned lead, unsigned trail, TSeverity& severity) {
  const unsigned code = lead << 8 | trail;
  severity = TSeverity::Error;
  if (lead == 0x87 && trail <= 0x9C) return DLVR_TR_NOOP("ExtendedCheck", "機種依存文字（NEC 特殊文字）");
  if (code >= 0xED40 && code <= 0xEEFC) return DLVR_TR_NOOP("ExtendedCheck", "機種依存文字（NEC 選定 IBM 拡張文字）");
  if (code >= 0xFA40 && code <= 0xFC4B) return DLVR_TR_NOOP("ExtendedCheck", "機種依存文字（IBM 拡張文字）");
  if (lead >= 0xF0 && lead <= 0xF9) return DLVR_TR_NOOP("ExtendedCheck", "外字（ユーザー定義領域）");
  if ((lead >= 0x85 && lead <= 0x88 && code < 0x889F) || (lead >= 0xEB && lead <= 0xEF))
    return DLVR_TR_NOOP("ExtendedCheck", "JIS X 0208 にない文字");
  severity = TSeverity::Warning;
  if (code >= 0x824F && code <= 0x8258) return DLVR_TR_NOOP("ExtendedCheck", "全角数字（半角で書きます）");
  if ((code >= 0x8260 && code <= 0x8279) || (code >= 0x8281 && code <= 0x829A)) return DLVR_TR_NOOP("ExtendedCheck", "全角英字（半角で書きます）");
  return nullptr;
}

// ScanCharacters of a text handed over in pieces, each ending after a line
// feed (the last one anywhere): no character and no start tag's name spans
// two pieces, as a line feed is never the trail byte of a character.
// Whether any of eight ASCII bytes `v` is `byte`.
constexpr bool HasByte(std::uint64_t v, unsigned char byte) {
  const std::uint64_t x = v ^ (0x0101010101010101ull * byte);
  return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// The lead bytes of every pair ForbiddenDoubleByte may name: row 0x82
// (full-width digits and letters), 0x85-0x88 and 0xEB on.
constexpr bool MayBeForbiddenLead(unsigned lead) { return lead == 0x82 || (lead >= 0x85 && lead <= 0x88) || lead >= 0xEB; }

// What the character scan does with a byte where a character starts: 0 a
// single byte passed by, 1 the lead byte of a pair none of which is named,
// 2 anything else (a line feed, '<', a lead byte of named pairs, half-width
// katakana), looked at closely.
struct TScanByteClasses {
  unsigned char Of[256] = {};
  constexpr TScanByteClasses() {
    for (unsigned c = 0; c < 256; ++c) {
      const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      Of[c] = c == '\n' || c == '<' || (c >= 0xA1 && c <= 0xDF) || (lead && MayBeForbiddenLead(c)) ? 2 : lead ? 1 : 0;
    }
  }
};
constexpr TScanByteClasses kScanByteClasses;

// Whether the pair of lead byte 0x82 and `trail` may be named (full-width
// digits and Latin letters); the rest of that row (hiragana, most of all)
// never is.
constexpr bool MayBeForbiddenIn82(unsigned trail) {
  return (trail >= 0x4F && trail <= 0x58) || (trail >= 0x60 && trail <= 0x79) || (trail >= 0x81 && trail <= 0x9A);
}

class TCharacterScan {
 public:
  explicit TCharacterScan(std::size_t most) : most_(most) {}

  void Add(std::string_view b) {
    for (std::size_t i = 0; i < b.size();) {
      // Characters no rule names go by without a closer look: pairs whose
      // lead byte names none (0x82 but for its full-width digits and
      // letters), single bytes but a line feed, '<' and half-width katakana.
      {
        const auto* p = reinterpret_cast<const unsigned char*>(b.data());
        const std::size_t n = b.size();
        std::size_t k = i;
        int passed = 0;
        for (;;) {
          if (k >= n) break;
          const unsigned c = p[k];
          const unsigned cls = kScanByteClasses.Of[c];
          if (cls == 0) {
            ++k;
          } else if (k + 1 < n && (cls == 1 || (c == 0x82 && !MayBeForbiddenIn82(p[k + 1])))) {
            k += 2;
          } else {
            break;
          }
          ++passed;
        }
        column_ += passed;
        i = k;
        if (i >= b.size()) break;
      }
      // Plain ASCII (no line feed, no '<') goes by eight bytes at a time.
      if (i + 8 <= b.size()) {
        std::uint64_t v;
        std::memcpy(&v, b.data() + i, 8);
        if ((v & 0x8080808080808080ull) == 0 && !HasByte(v, '\n') && !HasByte(v, '<')) {
          column_ += 8;
          i += 8;
          continue;
        }
      }
      const auto c = static_cast<unsigned char>(b[i]);
      ++column_;
      if (c == '\n') {
        ++line_;
        column_ = 0;
        ++i;
        continue;
      }
      if (c == '<') {
        // A start tag names the element whose text follows.
        std::size_t j = i + 1;
        if (j < b.size() && b[j] != '/' && b[j] != '?' && b[j] != '!') {
          std::size_t k = j;
          while (k < b.size() && b[k] != '>' && b[k] != ' ' && b[k] != '/' && b[k] != '\t' && b[k] != '\r' &&
                 b[k] != '\n')
            ++k;
          element_.assign(b.substr(j, k - j));
        }
        ++i;
        continue;
      }
      const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      if (lead && i + 1 < b.size()) {
        const auto t = static_cast<unsigned char>(b[i + 1]);
        TSeverity severity;
        if (MayBeForbiddenLead(c))
          if (const char* kind = ForbiddenDoubleByte(c, t, severity)) Found(severity, b.substr(i, 2), kind);
        i += 2;
        continue;
      }
      if (c >= 0xA1 && c <= 0xDF) Found(TSeverity::Error, b.substr(i, 1), DLVR_TR_NOOP("ExtendedCheck", "半角カナ"));
      ++i;
    }
  }

  std::vector<TCharacterFinding> Take(std::size_t* more) {
    if (more) *more = extra_;
    return std::move(out_);
  }

 private:
  void Found(TSeverity s, std::string_view bytes, const char* kind) {
    // A run of characters of one kind in one element is one finding.
    if (!out_.empty() && out_.back().Line == line_ && lastEnd_ == column_ && out_.back().Kind == kind &&
        out_.back().Element == Cp932ToUtf8(element_)) {
      out_.back().Character += Cp932ToUtf8(bytes);
      ++lastEnd_;
      return;
    }
    if (out_.size() >= most_) {
      ++extra_;
      return;
    }
    out_.push_back({s, line_, column_, Cp932ToUtf8(element_), Cp932ToUtf8(bytes), kind});
    lastEnd_ = column_ + 1;
  }

  const std::size_t most_;
  std::vector<TCharacterFinding> out_;
  std::size_t extra_ = 0;
  int line_ = 1, column_ = 0;
  std::string element_;  // raw bytes, converted when a finding names it
  int lastEnd_ = -1;     // the column after the last finding's characters
};

}  // namespace

std::vector<TCharacterFinding> ScanCharacters(std::string_view b, std::size_t most, std::size_t* more) {
  TCharacterScan scan(most);
  scan.Add(b);
  return scan.Take(more);
}

namespace extended_check_detail {

bool ScanFileCharacters(const std::string& path, std::size_t most, std::vector<TCharacterFinding>& found,
                        std::size_t& more) {
  TCharacterScan scan(most);
  const bool read = ReadFileInLines(path, kMaxWholeFileBytes, [&scan](std::string_view piece) { scan.Add(piece); },
                                    true) == TReadStatus::Ok;
  if (read) found = scan.Take(&more);
  return read;
}

void JudgeCharacters(const std::string& medium, const char* file, const std::vector<TCharacterFinding>& found,
                     std::size_t more, const std::set<std::string>& judgedFields, TFindingSink& sink) {
  for (const TCharacterFinding& c : found) {
    // A full-width letter in a field the data check finds at fault is
    // its error already, not also a warning here.
    if (c.Severity == TSeverity::Warning && !c.Element.empty() &&
        judgedFields.count(std::string(file) + '\n' + Tr("FieldNames", c.Element)))
      continue;
    const std::string line = std::to_string(c.Line), column = std::to_string(c.Column);
    const std::string kind = Tr("ExtendedCheck", c.Kind);
    sink.Add(c.Severity, medium, file, kCharacters,
             c.Element.empty()
                 ? Arg(Tr("ExtendedCheck", "%1 行 %2 文字目: 「%3」は%4"), {line, column, c.Character, kind})
                 : Arg(Tr("ExtendedCheck", "%1 行 %2 文字目（%3）: 「%4」は%5"),
                       {line, column, c.Element, c.Character, kind}));
  }
  if (more > 0)
    sink.Add(TSeverity::Error, medium, file, kCharacters,
             Arg(Tr("ExtendedCheck", "ほかに %1 文字あります"), {std::to_string(more)}));
}

}  // namespace extended_check_detail
}  // namespace dlvr
