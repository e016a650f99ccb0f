// Reading a large exchange structure in two portions at once: the cut
// found at an instance near the middle, the head read here and the tail on
// a thread of its own, its lines counted from the cut and told the head's
// once both are read.
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

}  // namespace

bool ParseFileInTwo(const std::string& path, THandler& head, THandler& tail, TReadStop& stop,
                    std::uint64_t smallest) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const std::uint64_t size = regular ? static_cast<std::uint64_t>(st.st_size) : 0;
  // The cut a little past the middle: the tail's reader fills a fresh
  // arena of the allocator and takes some 15 % longer a byte; so cut, the
  // two end about together (and the view's peak is 15 MB below that of a
  // cut at 33/64).
  const std::uint64_t cut = regular && size >= smallest ? FindInstanceStart(fd, size / 32 * 17, size) : 0;
  if (cut == 0) {
    ::close(fd);
    return false;
  }
  // The tail is read by a thread of its own from the cut on, its lines
  // counted from 1 there (the head's reader counts the lines before); the
  // head up to the cut here.
  TReadStop tailStop, headStop;
  bool tailFailed = false, headFailed = false, atCut = false;
  long cutLine = 0;
  std::thread other([&] {
    try {
      std::uint64_t at = cut;
      TReadFn read = [&](char* buffer, std::size_t size) -> long {
        const long got = ReadAt(fd, buffer, size, at);
        if (got > 0) at += static_cast<std::uint64_t>(got);
        return got;
      };
      tailStop = ParsePortion(read, tail, TPortion::Tail, 1, nullptr);
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
    // Read to the cut, the head's count of lines is the line the cut
    // stands on (a '#': a CR just before it ends a line).
    headStop = ParsePortion(read, head, TPortion::Head, 1, &atCut, std::size_t{1} << 20, &cutLine);
    head.OnPortionRead();
  } catch (const std::exception&) {
    headFailed = true;
  }
  other.join();
  ::close(fd);
  if (headFailed || tailFailed || headStop.Broken || !atCut) return false;
  tail.OnLinesBefore(cutLine - 1);
  stop = std::move(tailStop);
  if (stop.Broken) stop.Line += cutLine - 1;
  return true;
}

}  // namespace dlvr::sxf::p21
