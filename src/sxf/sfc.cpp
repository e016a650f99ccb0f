// Reading a feature comment file: a large one in two parts side by side,
// the second part's reader stitched onto the first's where the file was
// split; its bytes fed in large blocks.
#include "sxf/sfc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/translate.h"
#include "sxf/sfc_internal.h"

namespace dlvr::sxf {
namespace sfc_detail {

bool TSfcReader::EndRange() {
  if (stopped_) return false;
  text_ = buf_.View();
  if (text_.find("/*", pos_) != std::string_view::npos) return false;
  if (text_.substr(pos_).find(kEndMarker) != std::string_view::npos) sawEnd_ = true;
  pos_ = text_.size();
  LineAt(pos_);
  return true;
}

void TSfcReader::Adopt(TSfcReader& part) {
  const long lines = LineAt(pos_) - 1;
  part.LineAt(part.pos_);
  const std::size_t offset = arena_.Adopt(part.arena_);
  // The part's primitives in their order, put in the current group up to
  // each of its deferred features, which is then read here.
  std::size_t span = 0, within = 0, taken = 0;
  auto takeTo = [&](std::size_t n) {
    while (taken < n && span < part.cur_.Spans.size()) {
      const TSpan& s = part.cur_.Spans[span];
      const std::size_t k = std::min(s.Count - within, n - taken);
      cur_.AppendSpan({offset + s.First + within, k});
      within += k;
      taken += k;
      if (within == s.Count) ++span, within = 0;
    }
  };
  for (const TDeferred& d : part.deferred_) {
    takeTo(d.At);
    args_.Items.clear();
    args_.Bad = false;
    for (const TDeferred::TPiece& a : d.Args)
      args_.Items.push_back({std::string_view(d.Text).substr(a.From, a.Size), a.String});
    curId_ = d.Id;
    Dispatch(d.Kind, d.Name, d.Line + lines);
  }
  takeTo(part.cur_.Size);
  part.cur_ = TGroup{};
  for (const auto& [name, count] : part.drawing_.Skipped) drawing_.Skipped[name] += count;
  if (part.drawing_.Stop.Broken) Fail(part.drawing_.Stop.Line + lines, std::move(part.drawing_.Stop.Reason));
  line_ = part.line_ + lines;
  afterCr_ = part.afterCr_;
  sawEnd_ = sawEnd_ || part.sawEnd_;
  stopped_ = part.stopped_;
}

// Out of memory while the file was read: what was read up to there is drawn.
void TSfcReader::OutOfMemory() noexcept {
  stopped_ = true;
  LineAt(pos_);
  buf_.Clear();
  text_ = {};
  pos_ = counted_ = 0;
  StopForMemory(drawing_, [] { return Tr("SxfReader", "メモリが足りないため読み込みを打ち切りました"); });
}

}  // namespace sfc_detail

namespace {

using sfc_detail::TSfcReader;

// A file of this size or more is read in two parts side by side.
constexpr std::size_t kTwoPartBytes = std::size_t{1} << 20;
constexpr std::size_t kReadBytes = std::size_t{4} << 20;
constexpr std::size_t kSmallReadBytes = std::size_t{64} << 10;
constexpr std::size_t kToEnd = static_cast<std::size_t>(-1);

// Feeds the bytes [from, to) of `fd` to `reader` in large blocks, read
// straight into the reader's buffer (a drawing's file runs to hundreds of
// megabytes, of which the reader holds only the feature being read and the
// block ahead); to the end of the file, the last bytes told as such, when
// `to` is kToEnd (`size` the file's size when it was opened). False on a
// read error.
bool FeedFile(TSfcReader& reader, int fd, std::size_t from, std::size_t to, std::size_t size) {
  std::size_t at = from;
  while (true) {
    if (reader.Stopped()) return true;
    // (A small file asks for no more room than it needs.)
    const std::size_t want = to == kToEnd ? std::clamp(size > at ? size - at : 0, kSmallReadBytes, kReadBytes)
                                          : std::min(kReadBytes, to - at);
    if (want == 0) return true;
    char* room = reader.Room(want);
    const ssize_t got = ::pread(fd, room, want, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0 && to != kToEnd) return true;
    reader.Fed(static_cast<std::size_t>(got), got == 0);
    if (got == 0) return true;
    at += static_cast<std::size_t>(got);
  }
}

// Where the second part of a large file starts: at the first comment that
// opens after one closes past the middle; 0 when there is none near it or
// the machine has one processor.
std::size_t SplitPoint(int fd, std::size_t size) {
  if (std::thread::hardware_concurrency() < 2) return 0;
  constexpr std::size_t kWindow = std::size_t{1} << 20;
  std::unique_ptr<char[]> window(new char[kWindow]);
  const ssize_t got = ::pread(fd, window.get(), kWindow, static_cast<off_t>(size / 2));
  if (got <= 0) return 0;
  const std::string_view w(window.get(), static_cast<std::size_t>(got));
  const std::size_t close = w.find("*/");
  const std::size_t open = close == std::string_view::npos ? close : w.find("/*", close + 2);
  return open == std::string_view::npos ? 0 : size / 2 + open;
}

}  // namespace

TDrawing ReadSfcBytes(std::string_view bytes) { return ReadSfcInPieces(bytes, bytes.size()); }

TDrawing ReadSfcInPieces(std::string_view bytes, std::size_t piece, std::size_t maxPrimitives) {
  TBudget budget;
  budget.Primitives = maxPrimitives;
  return ReadSfcInPieces(bytes, piece, budget);
}

TDrawing ReadSfcInPieces(std::string_view bytes, std::size_t piece, const TBudget& budget) {
  TSfcReader reader(budget);
  piece = std::max<std::size_t>(piece, 1);
  try {
    std::size_t at = 0;
    do {
      const std::size_t n = std::min(piece, bytes.size() - at);
      reader.Feed(bytes.substr(at, n), at + n == bytes.size());
      at += n;
    } while (at < bytes.size());
  } catch (const std::bad_alloc&) {
    reader.OutOfMemory();
  }
  return reader.Finish();
}

TDrawing ReadSfc(const std::string& path, const TBudget& budget) {
  TSfcReader reader(budget);
  // Opened without blocking and judged on the opened file itself, so that a
  // FIFO or device in place of a drawing is refused rather than waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    reader.Fail(0, fd < 0 ? Tr("SxfReader", "ファイルを開けません") : Tr("SxfReader", "通常のファイルではありません"));
    TDrawing drawing = reader.Finish();
    drawing.Stop.Line = 0;
    return drawing;
  }
  try {
    const auto size = static_cast<std::size_t>(st.st_size);
    std::size_t from = 0;
    bool whole = false;
    if (const std::size_t split = size >= kTwoPartBytes ? SplitPoint(fd, size) : 0) {
      // The second part is read on a thread of its own while this one
      // reads the first; when the split turns out to lie inside a comment
      // (a text holding "*/"), the first part's reader reads on alone.
      TSfcReader second(budget);
      second.BeginPart();
      std::thread worker;
      try {
        worker = std::thread([&second, fd, split, size] {
          try {
            if (!FeedFile(second, fd, split, kToEnd, size)) second.PartFailed = true;
          } catch (...) {
            second.PartFailed = true;
          }
        });
      } catch (const std::system_error&) {
        // No thread: one reader reads it all.
      }
      struct TJoin {
        std::thread& T;
        ~TJoin() {
          if (T.joinable()) T.join();
        }
      } join{worker};
      if (worker.joinable()) {
        const bool read = FeedFile(reader, fd, 0, split, size);
        worker.join();
        if (!read) {
          reader.Fail(0, Tr("SxfReader", "ファイルを読み込めません"));
          whole = true;
        } else if (reader.EndRange() && !second.PartFailed) {
          reader.Adopt(second);
          whole = true;
        } else {
          from = split;
        }
      }
    }
    if (!whole && !reader.Stopped() && !FeedFile(reader, fd, from, kToEnd, size))
      reader.Fail(0, Tr("SxfReader", "ファイルを読み込めません"));
  } catch (const std::bad_alloc&) {
    reader.OutOfMemory();
  }
  ::close(fd);
  return reader.Finish();
}

}  // namespace dlvr::sxf
