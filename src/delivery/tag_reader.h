// A small line-oriented XML tokenizer for the management files.
//
// It builds no document tree and validates nothing: it walks the file tag by
// tag, keeps a stack of the open element names, collects the character data
// between two tags and decodes the five predefined entities when a value is
// taken. A tag must lie within one line; the whole text between '<' and '>'
// is the tag, so an opening tag with attributes is pushed with them.
//
// A file is read a piece at a time as the walk goes on (each piece cut just
// after a line feed, decoded on its own): the reader holds the lines from
// the one the current walk step started in, never the whole file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dlvr {

class TTagReader {
 public:
  TTagReader() = default;

  // Opens the file (its lines decoded to UTF-8 as they are reached), then
  // Reset. False when the file cannot be read: not a regular file, larger
  // than kMaxWholeFileBytes, not permitted (the reader is then empty). A
  // read error later on stops the walk there as a failure.
  bool LoadFromFile(const std::string& path);

  // Loads lines from decoded text (UTF-8), then Reset.
  void LoadFromText(std::string text);

  // Empties the tag stack and starts again at the first line (a file is
  // read again from its start).
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

  // The lines met so far (all of them once the walk has reached the end).
  std::size_t LineCount() const { return firstLine_ + lines_.size(); }
  int LineIndex() const { return lineIndex_; }
  int Column() const { return column_; }
  // Copies of the character data pieces and of the open element names.
  std::vector<std::string> TextLines() const;
  std::vector<std::string> TagStack() const { return {tagStack_.begin(), tagStack_.begin() + static_cast<std::ptrdiff_t>(depth_)}; }

  // Entity decoding of one piece of text: &lt; &gt; &quot; &apos; &amp;, in
  // that order, each pass never re-examining what it inserted.
  static std::string DecodeEntities(std::string_view s);

 private:
  struct TSource;
  // A stretch of buffer_: offset and length (offsets, so that a copied
  // reader, or a buffer that grows, stays valid).
  using TPiece = std::pair<std::size_t, std::size_t>;

  void HandleTag(std::string_view tag);
  std::string_view Piece(TPiece p) const { return std::string_view(buffer_).substr(p.first, p.second); }
  // Makes line `i` (absolute) available; false past the last line.
  bool HaveLine(std::size_t i);
  // Decodes the next piece of the file into buffer_ and lines_.
  bool ReadMore();
  // Adds the lines of buffer_ from offset `from` (a line's start) on.
  void AddLines(std::size_t from);
  // Drops the lines before the current one when they hold much text.
  void DropPassedLines();

  // The file being read (null for text), shared by copies of the reader:
  // each copy reads at its own offset.
  std::shared_ptr<TSource> source_;
  std::uint64_t sourceOffset_ = 0;
  bool sourceUtf8_ = false;
  bool sourceEnd_ = true;
  // Raw bytes read past the last line feed, kept for the next piece: the
  // first pendingSize_ bytes of pending_ (whose size is the room it has).
  std::string pending_;
  std::size_t pendingSize_ = 0;

  std::string buffer_;
  // Each line in buffer_; lines_[0] is line firstLine_ of the file.
  std::vector<TPiece> lines_;
  std::size_t firstLine_ = 0;
  int lineIndex_ = 0;
  int column_ = 1;
  bool errorFound_ = false;
  bool failed_ = false;
  // Pieces of the text (each the character data of one line, which is
  // always one contiguous stretch), and the names of the open elements
  // (the first depth_; the strings beyond keep their room for reuse).
  std::vector<TPiece> textLines_;
  std::vector<std::string> tagStack_;
  std::size_t depth_ = 0;
  std::string tag_;
};

}  // namespace dlvr
