// Folding texts for search, as a Japanese reader expects two texts to be
// "the same": Unicode compatibility normalisation with case folding
// (full-width and half-width letters, digits and katakana alike, Latin case
// ignored), control characters as blanks, a run of blanks as one, and
// hiragana as katakana when asked. Uses ICU; no Qt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dlvr::search {

// The folded form of a UTF-8 text. With `kanaAlike` hiragana become the
// katakana of the same sound. Invalid UTF-8 folds to U+FFFD. "" for "".
std::string FoldText(std::string_view utf8, bool kanaAlike);

// FoldText with where each folded byte came from: `origin` gets
// folded.size() + 1 entries, the byte offset in `utf8` of the piece each
// folded byte was made from (the last one utf8.size()). A piece is the
// smallest run that folds on its own (a base letter with its marks, a
// half-width kana with its sound mark).
std::string FoldTextMapped(std::string_view utf8, bool kanaAlike, std::vector<std::uint32_t>& origin);

}  // namespace dlvr::search
