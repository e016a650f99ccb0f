#include "search/fold.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include "platform/text.h"

namespace dlvr::search {
namespace {

const icu::Normalizer2* FoldNormalizer() {
  UErrorCode status = U_ZERO_ERROR;
  static const icu::Normalizer2* n = icu::Normalizer2::getNFKCCasefoldInstance(status);
  return U_SUCCESS(status) ? n : nullptr;
}

// Hiragana to katakana (the small and voiced ones and the iteration marks
// too); control characters to a blank. The characters that Windows'
// Japanese code page and the JIS tables map to different code points (the
// wave dash, the minus sign, the double bar and the long dash) as one: a
// record decoded through the code page, a PDF's text and a word typed on a
// Linux desktop write them differently. The full-width forms have become
// ~ and - already (NFKC).
char32_t FoldSearchChar(char32_t c, bool kanaAlike) {
  if (c < 0x20 || c == 0x7F) return U' ';
  switch (c) {
    case 0x301C: return U'~';      // 〜 as ～
    case 0x2212: return U'-';      // − as －
    case 0x2225: return 0x2016;    // ∥ as ‖
    case 0x2015: return 0x2014;    // ― as —
    default: break;
  }
  if (kanaAlike && ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E)) return c + 0x60;
  return c;
}

// Appends the UTF-8 of a normalised UTF-16 piece, each character folded;
// a blank after a blank is dropped (a line break of CR LF is one blank).
void AppendFolded(std::string& out, const icu::UnicodeString& piece, bool kanaAlike) {
  for (int32_t i = 0; i < piece.length();) {
    const UChar32 c = piece.char32At(i);
    i += U16_LENGTH(c);
    const char32_t folded = FoldSearchChar(static_cast<char32_t>(c), kanaAlike);
    if (folded == U' ' && !out.empty() && out.back() == ' ') continue;
    AppendUtf8(out, folded);
  }
}

// The UTF-16 of a UTF-8 text, invalid bytes as U+FFFD.
icu::UnicodeString Utf16Of(std::string_view utf8) {
  icu::UnicodeString s;
  for (std::size_t pos = 0; pos < utf8.size();) s.append(static_cast<UChar32>(NextCodePoint(utf8, pos)));
  return s;
}

}  // namespace

std::string FoldText(std::string_view utf8, bool kanaAlike) {
  std::string out;
  if (utf8.empty()) return out;
  const icu::Normalizer2* n = FoldNormalizer();
  const icu::UnicodeString source = Utf16Of(utf8);
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString folded = n ? n->normalize(source, status) : source;
  out.reserve(utf8.size() + utf8.size() / 8);
  AppendFolded(out, U_SUCCESS(status) ? folded : source, kanaAlike);
  return out;
}

std::string FoldTextMapped(std::string_view utf8, bool kanaAlike, std::vector<std::uint32_t>& origin) {
  std::string out;
  origin.clear();
  const icu::Normalizer2* n = FoldNormalizer();
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    // One piece: a character and those after it that have no boundary
    // before them.
    const std::size_t start = pos;
    icu::UnicodeString piece;
    piece.append(static_cast<UChar32>(NextCodePoint(utf8, pos)));
    while (pos < utf8.size()) {
      std::size_t next = pos;
      const char32_t c = NextCodePoint(utf8, next);
      if (!n || n->hasBoundaryBefore(static_cast<UChar32>(c))) break;
      piece.append(static_cast<UChar32>(c));
      pos = next;
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString folded = n ? n->normalize(piece, status) : piece;
    const std::size_t before = out.size();
    AppendFolded(out, U_SUCCESS(status) ? folded : piece, kanaAlike);
    origin.insert(origin.end(), out.size() - before, static_cast<std::uint32_t>(start));
  }
  origin.push_back(static_cast<std::uint32_t>(utf8.size()));
  return out;
}

}  // namespace dlvr::search
