#include "platform/tempfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/paths.h"

namespace dlvr {

std::string TempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = (env && *env && DirExists(env)) ? env : "/tmp";
  return WithTrailingSlash(dir);
}

std::string MakeTempDir(const std::string& prefix, const std::string& parent) {
  std::string base = parent.empty() ? TempFolder() : WithTrailingSlash(parent);
  std::string templ = base + prefix + "XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) return "";
  return WithTrailingSlash(buf.data());
}

std::string MakeTempFile(const std::string& prefix, const std::string& ext, const std::string& parent) {
  std::string base = parent.empty() ? TempFolder() : WithTrailingSlash(parent);
  std::string templ = base + prefix + "XXXXXX" + ext;
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  int fd = ::mkstemps(buf.data(), static_cast<int>(ext.size()));
  if (fd < 0) return "";
  ::close(fd);
  return buf.data();
}

bool RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  return !ec;
}

}  // namespace dlvr
