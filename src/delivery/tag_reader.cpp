#include "delivery/tag_reader.h"

#include "platform/fileio.h"
#include "platform/text.h"

namespace dlvr {

bool TTagReader::LoadFromFile(const std::string& path) {
  std::string bytes;
  bool ok = ReadWholeFile(path, bytes);
  LoadFromText(ok ? DecodeDeliveryText(bytes) : std::string());
  return ok;
}

void TTagReader::LoadFromText(std::string text) {
  buffer_ = std::move(text);
  lines_.clear();
  for (std::string_view l : SplitLines(buffer_))
    lines_.emplace_back(static_cast<std::size_t>(l.data() - buffer_.data()), l.size());
  textLines_.clear();
  tag_.clear();
  Reset();
}

void TTagReader::Reset() {
  tagStack_.clear();
  lineIndex_ = 0;
  column_ = 1;
  errorFound_ = false;
  failed_ = false;
}

void TTagReader::HandleTag() {
  if (tag_.empty()) {
    failed_ = true;  // "<>"
    return;
  }
  char first = tag_[0];
  if (first == '?' || first == '!') return;
  if (first == '/') {
    if (tagStack_.empty()) {
      failed_ = true;
      return;
    }
    std::string_view open = tagStack_.back();
    if (tag_.size() == open.size() + 1 && std::string_view(tag_).substr(1) == open)
      tagStack_.pop_back();
    else
      errorFound_ = true;
    return;
  }
  if (tag_.back() != '/') tagStack_.push_back(tagView_);
}

void TTagReader::ReadNextTag() {
  textLines_.clear();
  tag_.clear();
  if (failed_) return;
  bool inTag = false;
  const int lineCount = static_cast<int>(lines_.size());
  while (lineIndex_ < lineCount) {
    textLines_.emplace_back();
    std::string_view line = Line(static_cast<std::size_t>(lineIndex_));
    const std::size_t len = line.size();
    while (static_cast<std::size_t>(column_) <= len) {
      std::size_t pos = static_cast<std::size_t>(column_ - 1);
      if (!inTag) {
        std::size_t lt = line.find('<', pos);
        if (lt == std::string_view::npos) {
          textLines_.back() = line.substr(pos);
          column_ = static_cast<int>(len + 1);
          break;
        }
        textLines_.back() = line.substr(pos, lt - pos);
        inTag = true;
        column_ = static_cast<int>(lt + 2);
      } else {
        std::size_t gt = line.find('>', pos);
        if (gt == std::string_view::npos) {
          tag_.append(line.substr(pos));
          column_ = static_cast<int>(len + 1);
          break;
        }
        tag_.append(line.substr(pos, gt - pos));
        tagView_ = line.substr(pos, gt - pos);
        HandleTag();
        if (failed_) {
          tag_.clear();
          return;
        }
        column_ = static_cast<int>(gt + 2);
        if (static_cast<std::size_t>(column_) > len) {
          column_ = 1;
          ++lineIndex_;
        }
        return;
      }
    }
    // End of the line: a tag left open here is lost.
    ++lineIndex_;
    column_ = 1;
    inTag = false;
    tag_.clear();
  }
  std::size_t firstNonEmpty = 0;
  while (firstNonEmpty < textLines_.size() && textLines_[firstNonEmpty].empty()) ++firstNonEmpty;
  textLines_.erase(textLines_.begin(), textLines_.begin() + static_cast<std::ptrdiff_t>(firstNonEmpty));
}

bool TTagReader::IsStopTag(std::string_view name) const {
  return tag_ == name || tag_.empty() || errorFound_ || failed_;
}

std::string TTagReader::ReadValue(std::string_view name) {
  ReadNextTag();
  if (tag_.size() == name.size() + 1 && tag_[0] == '/' && std::string_view(tag_).substr(1) == name) return GetText();
  return std::string();
}

namespace {

std::string ReplaceAll(std::string_view s, std::string_view from, char to) {
  std::string out;
  out.reserve(s.size());
  std::size_t pos = 0;
  while (true) {
    std::size_t hit = s.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(s.substr(pos, hit - pos));
    out.push_back(to);
    pos = hit + from.size();
  }
  out.append(s.substr(pos));
  return out;
}

}  // namespace

std::string TTagReader::DecodeEntities(std::string_view s) {
  if (s.find('&') == std::string_view::npos) return std::string(s);
  std::string r = ReplaceAll(s, "&lt;", '<');
  r = ReplaceAll(r, "&gt;", '>');
  r = ReplaceAll(r, "&quot;", '"');
  r = ReplaceAll(r, "&apos;", '\'');
  return ReplaceAll(r, "&amp;", '&');
}

std::string TTagReader::GetText() const {
  if (textLines_.size() == 1) return DecodeEntities(textLines_[0]);
  std::string out;
  for (std::string_view item : textLines_) out += DecodeEntities(item);
  return out;
}

}  // namespace dlvr
