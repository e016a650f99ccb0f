#include "platform/fileio.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/paths.h"

namespace dlvr {

bool ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  if (!FileExists(path)) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  struct stat st {};
  if (::fstat(fileno(f), &st) == 0 && st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

bool WriteWholeFile(const std::string& path, std::string_view data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (std::fclose(f) == 0) && ok;
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
