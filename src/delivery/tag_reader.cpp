#include "delivery/tag_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/fileio.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// How much of a file is read at a time, at least.
constexpr std::size_t kPieceBytes = 1 << 20;
// Passed lines are dropped once they hold this much text and half the buffer.
constexpr std::size_t kDropBytes = 1 << 16;

}  // namespace

struct TTagReader::TSource {
  explicit TSource(int fd) : Fd(fd) {}
  TSource(const TSource&) = delete;
  TSource& operator=(const TSource&) = delete;
  ~TSource() { ::close(Fd); }
  const int Fd;
};

bool TTagReader::LoadFromFile(const std::string& path) {
  LoadFromText(std::string());
  // Opened without blocking and judged on the opened file itself, so that a
  // FIFO or device put in place of a file is refused rather than waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  auto source = std::make_shared<TSource>(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > kMaxWholeFileBytes)
    return false;
  source_ = std::move(source);
  Reset();
  if (failed_) {  // the first read failed: the file cannot be read
    LoadFromText(std::string());
    return false;
  }
  return true;
}

void TTagReader::LoadFromText(std::string text) {
  source_.reset();
  sourceEnd_ = true;
  pendingSize_ = 0;
  buffer_ = std::move(text);
  lines_.clear();
  firstLine_ = 0;
  AddLines(0);
  textLines_.clear();
  tag_.clear();
  Reset();
}

void TTagReader::Reset() {
  depth_ = 0;
  lineIndex_ = 0;
  column_ = 1;
  errorFound_ = false;
  failed_ = false;
  if (!source_) return;
  // A file is read again from its start.
  sourceOffset_ = 0;
  sourceEnd_ = false;
  pendingSize_ = 0;
  buffer_.clear();
  lines_.clear();
  firstLine_ = 0;
  textLines_.clear();
  ReadMore();
}

bool TTagReader::ReadMore() {
  if (!source_ || sourceEnd_) return false;
  const bool head = sourceOffset_ == 0;
  // Reads until the bytes pending hold a line feed, or the file ends. The
  // pending buffer only ever grows: its size is its room, pendingSize_ the
  // bytes in it.
  while (true) {
    const std::size_t old = pendingSize_;
    if (pending_.size() < old + kPieceBytes) pending_.resize(old + kPieceBytes);
    const ssize_t n = ::pread(source_->Fd, pending_.data() + old, kPieceBytes, static_cast<off_t>(sourceOffset_));
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) {
      sourceOffset_ += static_cast<std::uint64_t>(n);
      pendingSize_ += static_cast<std::size_t>(n);
    }
    // A read error, or a file grown past the limit while it is read.
    if (n < 0 || sourceOffset_ > kMaxWholeFileBytes) {
      failed_ = true;
      sourceEnd_ = true;
      pendingSize_ = 0;
      return false;
    }
    if (n == 0) {
      sourceEnd_ = true;
      break;
    }
    if (std::memchr(pending_.data() + old, '\n', static_cast<std::size_t>(n))) break;
  }
  std::size_t from = 0;
  if (head) {
    // The encoding is the whole file's, told by its start.
    const std::string_view start(pending_.data(), pendingSize_);
    sourceUtf8_ = DeclaresUtf8(start);
    if (sourceUtf8_ && pendingSize_ >= 3 && static_cast<unsigned char>(pending_[0]) == 0xEF) from = 3;
  }
  // Whole lines only, but for the file's last: a line feed is never part of
  // a character, so the pieces decode as the whole file would.
  std::size_t cut = pendingSize_;
  if (!sourceEnd_) cut = std::string_view(pending_.data(), pendingSize_).rfind('\n') + 1;
  const std::size_t base = buffer_.size();
  AppendDeliveryPiece(buffer_, std::string_view(pending_.data() + from, cut - from), sourceUtf8_);
  std::memmove(pending_.data(), pending_.data() + cut, pendingSize_ - cut);
  pendingSize_ -= cut;
  AddLines(base);
  return true;
}

void TTagReader::AddLines(std::size_t from) {
  // Lines end at CR LF, LF or CR; the text after the last break is a line
  // of its own when it is not empty.
  const char* const text = buffer_.data();
  const std::size_t n = buffer_.size();
  std::size_t start = from;
  std::size_t i = from;
  while (i < n) {
    const char* p = text + i;
    const auto* lf = static_cast<const char*>(std::memchr(p, '\n', n - i));
    const auto* cr = static_cast<const char*>(std::memchr(p, '\r', lf ? static_cast<std::size_t>(lf - p) : n - i));
    const char* hit = cr ? cr : lf;
    if (!hit) break;
    i = static_cast<std::size_t>(hit - text);
    lines_.emplace_back(start, i - start);
    if (*hit == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
    start = ++i;
  }
  if (start < n) lines_.emplace_back(start, n - start);
}

bool TTagReader::HaveLine(std::size_t i) {
  while (i - firstLine_ >= lines_.size())
    if (!ReadMore()) return false;
  return true;
}

void TTagReader::DropPassedLines() {
  if (!source_) return;
  const std::size_t passed = std::min(static_cast<std::size_t>(lineIndex_) - firstLine_, lines_.size());
  const std::size_t bytes = passed < lines_.size() ? lines_[passed].first : buffer_.size();
  if (bytes < kDropBytes || bytes < buffer_.size() / 2) return;
  buffer_.erase(0, bytes);
  lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(passed));
  for (TPiece& l : lines_) l.first -= bytes;
  firstLine_ += passed;
}

void TTagReader::HandleTag(std::string_view tag) {
  if (tag.empty()) {
    failed_ = true;  // "<>"
    return;
  }
  char first = tag[0];
  if (first == '?' || first == '!') return;
  if (first == '/') {
    if (depth_ == 0) {
      failed_ = true;
      return;
    }
    const std::string& open = tagStack_[depth_ - 1];
    if (tag.size() == open.size() + 1 && tag.substr(1) == open)
      --depth_;
    else
      errorFound_ = true;
    return;
  }
  if (tag.back() == '/') return;
  if (depth_ == tagStack_.size())
    tagStack_.emplace_back(tag);
  else
    tagStack_[depth_].assign(tag);
  ++depth_;
}

void TTagReader::ReadNextTag() {
  textLines_.clear();
  tag_.clear();
  if (failed_) return;
  DropPassedLines();
  bool inTag = false;
  while (HaveLine(static_cast<std::size_t>(lineIndex_))) {
    const TPiece at = lines_[static_cast<std::size_t>(lineIndex_) - firstLine_];
    textLines_.emplace_back(at.first, 0);
    std::string_view line = Piece(at);
    const std::size_t len = line.size();
    while (static_cast<std::size_t>(column_) <= len) {
      std::size_t pos = static_cast<std::size_t>(column_ - 1);
      if (!inTag) {
        std::size_t lt = line.find('<', pos);
        if (lt == std::string_view::npos) {
          textLines_.back() = {at.first + pos, len - pos};
          column_ = static_cast<int>(len + 1);
          break;
        }
        textLines_.back() = {at.first + pos, lt - pos};
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
        HandleTag(line.substr(pos, gt - pos));
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
  while (firstNonEmpty < textLines_.size() && textLines_[firstNonEmpty].second == 0) ++firstNonEmpty;
  textLines_.erase(textLines_.begin(), textLines_.begin() + static_cast<std::ptrdiff_t>(firstNonEmpty));
}

std::vector<std::string> TTagReader::TextLines() const {
  std::vector<std::string> out;
  for (TPiece p : textLines_) out.emplace_back(Piece(p));
  return out;
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
  if (textLines_.size() == 1) return DecodeEntities(Piece(textLines_[0]));
  std::string out;
  for (TPiece item : textLines_) out += DecodeEntities(Piece(item));
  return out;
}

}  // namespace dlvr
