// Reading a large exchange structure in two portions at once: the cut
// found at an instance near the middle, the tail's first line counted, the
// head read here and the tail on a thread of its own.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "sxf/line_breaks.h"
#include "sxf/part21.h"
#include "sxf/part21_internal.h"

namespace dlvr::sxf::p21 {
namespace {

using part21_detail::IsDigit;


// Reads exactly what pread gives at `at`, retried on EINTR: the count, 0 at
// the end, -1 on an error.
long ReadAt(int fd, char* buffer, std::size_t size, std::uint64_t at) {
  for (;;) {
    const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(at));
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The offset of the first instance that starts in the megabyte after
// `from`: a '#' that follows a ';' and blanks and is followed by digits,
// blanks and '='. 0 when there is none. (A string or comment may hold such
// text: the head read up to it finds out.)
std::uint64_t FindInstanceStart(int fd, std::uint64_t from, std::uint64_t size) {
  constexpr std::size_t kWindow = 1u << 20;
  std::string window(kWindow, '\0');
  const long got = ReadAt(fd, window.data(), kWindow, from);
  if (got <= 0) return 0;
  window.resize(static_cast<std::size_t>(got));
  for (std::size_t i = 0; i < window.size(); ++i) {
    if (window[i] != ';') continue;
    std::size_t j = i + 1;
    while (j < window.size() && IsBlank(window[j])) ++j;
    if (j >= window.size() || window[j] != '#') continue;
    const std::size_t hash = j++;
    const std::size_t digits = j;
    while (j < window.size() && IsDigit(static_cast<unsigned char>(window[j]))) ++j;
    if (j == digits) continue;
    while (j < window.size() && IsBlank(window[j])) ++j;
    if (j < window.size() && window[j] == '=' && from + hash < size) return from + hash;
  }
  return 0;
}

// The line the byte at `end` stands on, counted as the reader counts (LF,
// CR LF, or a lone CR end a line).
long LineAt(int fd, std::uint64_t end) {
  constexpr std::size_t kChunk = 1u << 20;
  std::string buffer(kChunk, '\0');
  long line = 1;
  bool afterCr = false;
  for (std::uint64_t at = 0; at < end;) {
    const long got = ReadAt(fd, buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end - at)), at);
    if (got <= 0) return -1;
    line += LineBreaks(std::string_view(buffer.data(), static_cast<std::size_t>(got)), afterCr);
    at += static_cast<std::uint64_t>(got);
  }
  // A CR just before `end` whose LF stands at `end` ends its line there.
  if (afterCr) {
    char next = 0;
    if (ReadAt(fd, &next, 1, end) == 1 && next == '\n') --line;
  }
  return line;
}

}  // namespace

bool ParseFileInTwo(const std::string& path, THandler& head, THandler& tail, TReadStop& stop,
                    std::uint64_t smallest) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const std::uint64_t size = regular ? static_cast<std::uint64_t>(st.st_size) : 0;
  // The cut a little past the middle: the tail's reader counts the head's
  // lines first and fills a fresh arena of the allocator, and takes some
  // 15 % longer a byte; so cut, the two end about together.
  const std::uint64_t cut = regular && size >= smallest ? FindInstanceStart(fd, size / 32 * 17, size) : 0;
  if (cut == 0) {
    ::close(fd);
    return false;
  }
  // The tail is read by a thread of its own from the cut on, its lines
  // counted first; the head up to the cut here.
  TReadStop tailStop, headStop;
  bool tailFailed = false, headFailed = false, atCut = false;
  std::thread other([&] {
    try {
      const long line = LineAt(fd, cut);
      if (line < 0) {
        tailFailed = true;
        return;
      }
      std::uint64_t at = cut;
      TReadFn read = [&](char* buffer, std::size_t size) -> long {
        const long got = ReadAt(fd, buffer, size, at);
        if (got > 0) at += static_cast<std::uint64_t>(got);
        return got;
      };
      tailStop = ParsePortion(read, tail, TPortion::Tail, line, nullptr);
      tail.OnPortionRead();
    } catch (const std::exception&) {
      tailFailed = true;
    }
  });
  try {
    std::uint64_t at = 0;
    TReadFn read = [&](char* buffer, std::size_t size) -> long {
      const long got = ReadAt(fd, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, cut - at)), at);
      if (got > 0) at += static_cast<std::uint64_t>(got);
      return got;
    };
    headStop = ParsePortion(read, head, TPortion::Head, 1, &atCut);
    head.OnPortionRead();
  } catch (const std::exception&) {
    headFailed = true;
  }
  other.join();
  ::close(fd);
  if (headFailed || tailFailed || headStop.Broken || !atCut) return false;
  stop = std::move(tailStop);
  return true;
}

}  // namespace dlvr::sxf::p21
