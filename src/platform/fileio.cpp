#include "platform/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/paths.h"

namespace dlvr {

TReadStatus ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& out, bool refuseLink) {
  out.clear();
  // Opened without blocking and judged on the opened file itself, so that a
  // FIFO or device put in place of a file is refused rather than waited on.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (refuseLink ? O_NOFOLLOW : 0));
  if (fd < 0) return refuseLink && errno == ELOOP ? TReadStatus::Link : TReadStatus::Unreadable;
  struct stat st {};
  TReadStatus status = TReadStatus::Ok;
  if (::fstat(fd, &st) != 0)
    status = TReadStatus::Unreadable;
  else if (!S_ISREG(st.st_mode))
    status = TReadStatus::NotRegular;
  else if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
    status = TReadStatus::TooLarge;
  try {
    if (status == TReadStatus::Ok) out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[1 << 16];
    while (status == TReadStatus::Ok) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) status = TReadStatus::Unreadable;
      if (n <= 0) break;
      // A file that grows while it is read is held to the same limit.
      if (out.size() + static_cast<std::size_t>(n) > maxBytes)
        status = TReadStatus::TooLarge;
      else
        out.append(buf, static_cast<std::size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    status = TReadStatus::Unreadable;
  }
  ::close(fd);
  if (status != TReadStatus::Ok) {
    out.clear();
    out.shrink_to_fit();
  }
  return status;
}

TReadStatus ReadFileInLines(const std::string& path, std::uint64_t maxBytes,
                            const std::function<void(std::string_view)>& piece, bool refuseLink) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (refuseLink ? O_NOFOLLOW : 0));
  if (fd < 0) return refuseLink && errno == ELOOP ? TReadStatus::Link : TReadStatus::Unreadable;
  struct TClose {
    ~TClose() { ::close(Fd); }
    int Fd;
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return TReadStatus::Unreadable;
  if (!S_ISREG(st.st_mode)) return TReadStatus::NotRegular;
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return TReadStatus::TooLarge;
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  std::uint64_t total = 0;
  try {
    std::string buffer;
    for (;;) {
      const std::size_t kept = buffer.size();
      buffer.resize(kept + kBlock);
      ssize_t n;
      do n = ::read(fd, buffer.data() + kept, kBlock);
      while (n < 0 && errno == EINTR);
      if (n < 0) return TReadStatus::Unreadable;
      buffer.resize(kept + static_cast<std::size_t>(n));
      // A file that grows while it is read is held to the same limit.
      if ((total += static_cast<std::uint64_t>(n)) > maxBytes) return TReadStatus::TooLarge;
      if (n == 0) {
        if (!buffer.empty()) piece(buffer);
        return TReadStatus::Ok;
      }
      const std::size_t cut = buffer.rfind('\n');
      if (cut == std::string::npos || cut < kept) continue;  // no line ends yet
      piece(std::string_view(buffer).substr(0, cut + 1));
      buffer.erase(0, cut + 1);
    }
  } catch (const std::bad_alloc&) {
    return TReadStatus::Unreadable;
  }
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  return ReadRegularFile(path, kMaxWholeFileBytes, out) == TReadStatus::Ok;
}

bool WriteWholeFile(const std::string& path, std::string_view data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

bool ReplaceWholeFile(const std::string& path, std::string_view data) {
  std::string temp = path + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < data.size();) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  // The mode of the file replaced, else readable by all as a new document.
  struct stat old {};
  ok = ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temp.c_str());
  return ok;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      start = ++i;
      continue;
    }
    // Skip quickly to the next line break.
    const void* hit = nullptr;
    std::size_t rest = n - i;
    const char* p = text.data() + i;
    const void* lf = std::memchr(p, '\n', rest);
    const void* cr = std::memchr(p, '\r', lf ? static_cast<const char*>(lf) - p : rest);
    hit = cr ? cr : lf;
    if (!hit) {
      i = n;
      break;
    }
    i = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
  }
  if (start < n) lines.push_back(text.substr(start));
  return lines;
}

namespace {
std::mutex g_dirMutex;
std::string g_programDir;
}  // namespace

std::string ProgramDir() {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  if (g_programDir.empty()) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
      buf[n] = '\0';
      g_programDir = ExtractFilePath(buf);
    } else {
      g_programDir = "./";
    }
  }
  return g_programDir;
}

void SetProgramDir(const std::string& dir) {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  g_programDir = WithTrailingSlash(dir);
}

}  // namespace dlvr
