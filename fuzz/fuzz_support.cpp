#include "fuzz_support.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/tempfs.h"

namespace dlvr::fuzz {

WorkDir::WorkDir() : path_(MakeTempDir("dlvr-fuzz-")) {
  if (path_.empty()) {
    std::fprintf(stderr, "cannot create a temporary folder\n");
    std::abort();
  }
}

WorkDir::~WorkDir() { RemoveTree(path_); }

OpenWatch::OpenWatch(const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  inotify_add_watch(fd_, folder.c_str(), IN_OPEN);
}

OpenWatch::~OpenWatch() {
  if (fd_ >= 0) close(fd_);
}

bool OpenWatch::Opened() const {
  bool opened = false;
  alignas(inotify_event) char buf[4096];
  ssize_t n;
  while ((n = read(fd_, buf, sizeof buf)) > 0) {
    for (char* p = buf; p < buf + n;) {
      auto* e = reinterpret_cast<inotify_event*>(p);
      if ((e->mask & IN_OPEN) && !(e->mask & IN_ISDIR)) opened = true;
      p += sizeof(inotify_event) + e->len;
    }
  }
  return opened;
}

void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "\n*** invariant failed at %s:%d: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    char32_t cp;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      len = 2; cp = b0 & 0x1F; min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3; cp = b0 & 0x0F; min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      len = 4; cp = b0 & 0x07; min = 0x10000;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (std::size_t k = 1; k < len; ++k) {
      auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

std::size_t CountByte(std::string_view s, char c) {
  std::size_t count = 0;
  for (char x : s) count += (x == c);
  return count;
}

std::size_t CountText(std::string_view s, std::string_view what) {
  if (what.empty()) return 0;
  std::size_t count = 0;
  for (std::size_t pos = s.find(what); pos != std::string_view::npos; pos = s.find(what, pos + what.size())) ++count;
  return count;
}

}  // namespace dlvr::fuzz
