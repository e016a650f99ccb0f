// Fuzzes the decoding of a management file's bytes and the tag reader.
//
// The input is taken as the raw bytes of a file: it is decoded the way a file
// is (CP932, or UTF-8 when declared), then walked tag by tag twice: once with
// ReadNextTag alone, once the way the file readers walk (ReadValue on every
// plain opening tag). Beyond the sanitizers, the walk checks what must hold
// for any input: it ends, every tag is exactly the text between a '<' and the
// next '>' of one line, no byte is handed out twice, and the tag stack only
// ever holds opening tags.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/tag_reader.h"
#include "fuzz_support.h"
#include "platform/text.h"

using dlvr::TTagReader;
using dlvr::fuzz::CountByte;
using dlvr::fuzz::IsValidUtf8;

namespace {

// Decoding keeps every byte below 0x40 where it was: such a byte is never the
// second byte of a CP932 character, nor part of a UTF-8 sequence, so line
// breaks and '<' '>' are never eaten or invented.
void CheckDecoding(std::string_view bytes, const std::string& text) {
  FUZZ_CHECK(IsValidUtf8(text));
  // One input byte gives at most one three-byte character.
  FUZZ_CHECK(text.size() <= 3 * bytes.size());
  for (char c : {'\0', '\t', '\n', '\r', ' ', '"', '&', '\'', '/', '<', '>', '?', '!', '='})
    FUZZ_CHECK(CountByte(bytes, c) == CountByte(text, c));

  std::string_view body = bytes;
  if (body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  if (dlvr::DeclaresUtf8(bytes)) {
    // Valid UTF-8 passes through unchanged.
    if (IsValidUtf8(body)) FUZZ_CHECK(text == body);
    return;
  }

  // CP932: what was decoded encodes back to bytes that decode to the same
  // text (a character with two codes may come back with the other one).
  const std::string_view replacement = "\xEF\xBF\xBD";
  if (text.find(replacement) == std::string::npos) {
    std::string encoded = dlvr::Utf8ToCp932(text);
    FUZZ_CHECK(encoded.size() == dlvr::Cp932Length(text));
    FUZZ_CHECK(dlvr::Cp932ToUtf8(encoded) == text);
  }
}

// Cutting at N bytes gives the longest prefix that fits, on a character
// boundary.
void CheckCut(const std::string& text, std::size_t maxBytes) {
  std::string cut = dlvr::CutAtBytes(text, maxBytes);
  FUZZ_CHECK(text.compare(0, cut.size(), cut) == 0);
  FUZZ_CHECK(dlvr::Cp932Length(cut) <= maxBytes);
  if (cut.size() < text.size()) {
    std::size_t pos = cut.size();
    char32_t next = dlvr::NextCodePoint(text, pos);
    FUZZ_CHECK(dlvr::Cp932Length(cut) + dlvr::Cp932CharLength(next) > maxBytes);
  }
}

// Escaping a text and decoding it again gives the text back: every pass of
// the decoder must leave alone what an earlier pass inserted.
void CheckEntities(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&apos;"; break;
      default: escaped += c;
    }
  }
  FUZZ_CHECK(TTagReader::DecodeEntities(escaped) == text);
  std::string decoded = TTagReader::DecodeEntities(text);
  FUZZ_CHECK(decoded.size() <= text.size());
  if (text.find('&') == std::string_view::npos) FUZZ_CHECK(decoded == text);
}

bool IsPlainOpening(const std::string& tag) {
  if (tag.empty()) return false;
  char first = tag[0];
  return first != '/' && first != '?' && first != '!' && tag.back() != '/';
}

// The state every position of a walk must satisfy.
void CheckTagState(const TTagReader& r) {
  const std::string& tag = r.Tag();
  FUZZ_CHECK(tag.find_first_of(">\r\n") == std::string::npos);
  for (const std::string& piece : r.TextLines()) FUZZ_CHECK(piece.find_first_of("<\r\n") == std::string::npos);
  std::string text = r.GetText();
  FUZZ_CHECK(text.find_first_of("\r\n") == std::string::npos);
  for (const std::string& open : r.TagStack()) FUZZ_CHECK(IsPlainOpening(open));
  FUZZ_CHECK(r.LineIndex() >= 0 && static_cast<std::size_t>(r.LineIndex()) <= r.LineCount());
  FUZZ_CHECK(r.Column() >= 1);
  if (tag.empty()) {
    FUZZ_CHECK(r.IsStopTag("anything"));
    return;
  }
  // Where the tag came from. Column() is the 1-based column of the next
  // character to read; a tag that ended its line moves the reader to the
  // start of the next line.
  std::size_t lineNo;
  std::size_t gt;
  if (r.Column() == 1) {
    FUZZ_CHECK(r.LineIndex() >= 1);
    lineNo = static_cast<std::size_t>(r.LineIndex() - 1);
    FUZZ_CHECK(!r.Line(lineNo).empty());
    gt = r.Line(lineNo).size() - 1;
  } else {
    lineNo = static_cast<std::size_t>(r.LineIndex());
    FUZZ_CHECK(lineNo < r.LineCount());
    gt = static_cast<std::size_t>(r.Column() - 2);
  }
  std::string_view line = r.Line(lineNo);
  FUZZ_CHECK(gt < line.size() && line[gt] == '>');
  FUZZ_CHECK(gt >= tag.size() + 1);
  std::size_t lt = gt - tag.size() - 1;
  FUZZ_CHECK(line[lt] == '<');
  FUZZ_CHECK(line.substr(lt + 1, tag.size()) == tag);
}

struct WalkResult {
  std::vector<std::string> tags;
  bool failed = false;
  bool errorFound = false;
};

// Walks with ReadNextTag alone and checks the tag stack after every step.
WalkResult PlainWalk(TTagReader& r, std::size_t textSize, std::size_t ltCount) {
  WalkResult result;
  std::size_t consumed = 0;
  int prevLine = r.LineIndex();
  int prevColumn = r.Column();
  while (true) {
    std::vector<std::string> stackBefore = r.TagStack();
    bool errorBefore = r.ErrorFound();
    r.ReadNextTag();
    CheckTagState(r);
    const std::string& tag = r.Tag();
    for (const std::string& piece : r.TextLines()) consumed += piece.size();
    if (tag.empty()) break;
    result.tags.push_back(tag);
    // Every tag uses up its own '<'; a byte is never handed out twice.
    FUZZ_CHECK(result.tags.size() <= ltCount);
    consumed += tag.size() + 2;
    FUZZ_CHECK(consumed <= textSize);
    // The reader only moves forward.
    FUZZ_CHECK(r.LineIndex() > prevLine || (r.LineIndex() == prevLine && r.Column() > prevColumn));
    prevLine = r.LineIndex();
    prevColumn = r.Column();

    const std::vector<std::string>& stack = r.TagStack();
    if (IsPlainOpening(tag)) {
      FUZZ_CHECK(stack.size() == stackBefore.size() + 1);
      FUZZ_CHECK(stack.back() == tag);
    } else if (tag[0] == '/') {
      FUZZ_CHECK(!stackBefore.empty());  // otherwise the walk had failed
      if (std::string_view(tag).substr(1) == stackBefore.back()) {
        FUZZ_CHECK(stack.size() + 1 == stackBefore.size());
      } else {
        FUZZ_CHECK(stack == stackBefore);
        FUZZ_CHECK(r.ErrorFound());
      }
    } else {
      FUZZ_CHECK(stack == stackBefore);
    }
    if (errorBefore) FUZZ_CHECK(r.ErrorFound());
  }
  result.failed = r.Failed();
  result.errorFound = r.ErrorFound();
  // At the end of a walk that did not fail, every line has been read.
  if (!r.Failed()) FUZZ_CHECK(static_cast<std::size_t>(r.LineIndex()) == r.LineCount());
  // Reading on past the end or a failure gives nothing more.
  r.ReadNextTag();
  FUZZ_CHECK(r.Tag().empty());
  FUZZ_CHECK(r.Failed() == result.failed);
  return result;
}

// Walks the way the file readers do: ReadValue on each plain opening tag.
void ValueWalk(TTagReader& r, std::size_t ltCount) {
  std::size_t steps = 0;
  r.ReadNextTag();
  while (!r.IsStopTag("")) {
    CheckTagState(r);
    FUZZ_CHECK(++steps <= ltCount);
    std::string tag = r.Tag();
    if (IsPlainOpening(tag) && tag.find(' ') == std::string::npos) {
      std::string value = r.ReadValue(tag);
      CheckTagState(r);
      FUZZ_CHECK(++steps <= ltCount + 1);
      if (r.Tag() == "/" + tag)
        FUZZ_CHECK(value == r.GetText());
      else
        FUZZ_CHECK(value.empty());
      FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos);
      if (r.Tag().empty()) break;
      if (r.ErrorFound()) break;
    }
    r.ReadNextTag();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string text = dlvr::DecodeDeliveryText(bytes);
  CheckDecoding(bytes, text);
  CheckCut(text, size % 61);
  CheckEntities(text);

  const std::size_t ltCount = CountByte(text, '<');
  TTagReader r;
  r.LoadFromText(text);
  FUZZ_CHECK(r.Tag().empty() && r.TagStack().empty() && !r.Failed() && !r.ErrorFound());
  WalkResult first = PlainWalk(r, text.size(), ltCount);

  // A walk after Reset sees the same tags, unless the first one failed (a
  // failure stops the reader until new text is loaded).
  if (!first.failed) {
    r.Reset();
    WalkResult second = PlainWalk(r, text.size(), ltCount);
    FUZZ_CHECK(second.tags == first.tags);
    FUZZ_CHECK(second.errorFound == first.errorFound);
  }

  TTagReader v;
  v.LoadFromText(text);
  ValueWalk(v, ltCount);
  return 0;
}
