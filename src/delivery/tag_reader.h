// A small line-oriented XML tokenizer for the management files.
//
// It builds no document tree and validates nothing: it walks the file tag by
// tag, keeps a stack of the open element names, collects the character data
// between two tags and decodes the five predefined entities when a value is
// taken. A tag must lie within one line; the whole text between '<' and '>'
// is the tag, so an opening tag with attributes is pushed with them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dlvr {

class TTagReader {
 public:
  TTagReader() = default;

  // Loads the file's lines (decoded to UTF-8), then Reset. False when the
  // file cannot be read (the reader is then empty).
  bool LoadFromFile(const std::string& path);

  // Loads lines from decoded text (UTF-8), then Reset.
  void LoadFromText(std::string text);

  // Empties the tag stack and starts again at the first line.
  void Reset();

  // Advances to the next tag. Afterwards Tag() holds its text (empty at the
  // end of the file) and the character data before it is kept for GetText.
  void ReadNextTag();

  // True when the current tag equals `name` byte-wise, or there is no tag
  // (end of file), or a structural error or failure has been met.
  bool IsStopTag(std::string_view name) const;

  // Reads the next tag; when it is "/" + name, returns the text before it,
  // otherwise the empty string.
  std::string ReadValue(std::string_view name);

  // The character data met before the current tag: the lines joined with no
  // separator, each entity-decoded; blanks are kept.
  std::string GetText() const;

  const std::string& Tag() const { return tag_; }
  bool ErrorFound() const { return errorFound_; }
  // Set by a closing tag met while nothing is open, or by an empty tag "<>".
  // Reading stops there; the file readers report the file as failed.
  bool Failed() const { return failed_; }

  std::size_t LineCount() const { return lines_.size(); }
  std::string_view Line(std::size_t i) const { return std::string_view(buffer_).substr(lines_[i].first, lines_[i].second); }
  int LineIndex() const { return lineIndex_; }
  int Column() const { return column_; }
  // Copies of the character data pieces and of the open element names.
  std::vector<std::string> TextLines() const { return {textLines_.begin(), textLines_.end()}; }
  std::vector<std::string> TagStack() const { return {tagStack_.begin(), tagStack_.end()}; }

  // Entity decoding of one piece of text: &lt; &gt; &quot; &apos; &amp;, in
  // that order, each pass never re-examining what it inserted.
  static std::string DecodeEntities(std::string_view s);

 private:
  void HandleTag();

  std::string buffer_;
  // Offset and length of each line in buffer_ (offsets, so that a copied
  // reader stays valid).
  std::vector<std::pair<std::size_t, std::size_t>> lines_;
  int lineIndex_ = 0;
  int column_ = 1;
  bool errorFound_ = false;
  bool failed_ = false;
  // Pieces of the loaded text (each the character data of one line, which is
  // always one contiguous stretch), and the names of the open elements.
  std::vector<std::string_view> textLines_;
  std::vector<std::string_view> tagStack_;
  std::string tag_;
  // The tag as a piece of the loaded text (a tag always lies in one line).
  std::string_view tagView_;
};

}  // namespace dlvr
