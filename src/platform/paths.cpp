#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/text.h"

namespace dlvr {

std::string ToSlashes(std::string_view path) {
  std::string out(path);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

std::string WithTrailingSlash(std::string_view folder) {
  std::string out = ToSlashes(folder);
  if (out.empty() || out.back() != '/') out.push_back('/');
  return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return ToSlashes(name);
  std::string out = WithTrailingSlash(folder);
  std::string rest = ToSlashes(name);
  std::size_t i = 0;
  while (i < rest.size() && rest[i] == '/') ++i;
  out.append(rest, i, std::string::npos);
  return out;
}

std::string ExtractFileName(std::string_view path) {
  std::size_t p = path.find_last_of("/\\:");
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFilePath(std::string_view path) {
  std::size_t p = path.find_last_of("/\\");
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileExt(std::string_view path) {
  std::string name = ExtractFileName(path);
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string FileNameWithoutExt(std::string_view path) {
  std::string name = ExtractFileName(path);
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// True when the canonical path `path` is `root` or lies below it; false
// when either is "" (could not be resolved).
bool IsWithin(const std::string& path, const std::string& root) {
  if (path.empty() || root.empty()) return false;
  if (root == "/") return true;
  return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

std::vector<std::string> ListEntries(const std::string& folder, bool wantDirs) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* e = ::readdir(dir)) {
    std::string name(e->d_name);
    if (name == "." || name == "..") continue;
    std::string full = JoinPath(folder, name);
    if (wantDirs ? DirExists(full) : FileExists(full)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::string ResolveCase(std::string_view path) {
  TCaseResolver resolver;
  return resolver.Resolve(path);
}

TCaseResolver::Listing& TCaseResolver::ListingOf(const std::string& folder) {
  auto it = listings_.find(folder);
  if (it != listings_.end()) return it->second;
  Listing names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(dir)) {
      const std::string_view name(e->d_name);
      if (name == "." || name == "..") continue;
      names.Types.emplace(name, e->d_type);
    }
    ::closedir(dir);
  }
  return listings_.emplace(folder, std::move(names)).first->second;
}

const std::unordered_map<std::string, std::string>& TCaseResolver::ByUpperOf(Listing& listing) {
  if (!listing.UpperMade) {
    listing.ByUpper.reserve(listing.Types.size());
    for (const auto& entry : listing.Types) {
      const std::string& name = entry.first;
      auto [slot, added] = listing.ByUpper.emplace(AsciiUpper(name), name);
      if (!added && name < slot->second) slot->second = name;
    }
    listing.UpperMade = true;
  }
  return listing.ByUpper;
}

std::string TCaseResolver::FileIn(const std::string& resolvedFolder, const std::string& name) {
  if (!IsPlainFileName(name)) return std::string();
  if (!last_.Lookups || resolvedFolder != last_.Given) {
    last_.Given = resolvedFolder;
    last_.Folder = resolvedFolder.empty() ? "." : ToSlashes(resolvedFolder);
    last_.Lookups = &lookups_[last_.Folder];
    last_.Names = nullptr;
  }
  const std::string& folder = last_.Folder;
  // A folder asked for many names: its listing tells a regular file, spelled
  // as asked, without an lstat. Anything else (a link, a type the file system
  // does not give, a name not listed as spelled) is looked at as before.
  if (++*last_.Lookups > kListAfter) {
    if (!last_.Names) last_.Names = &ListingOf(folder);
    auto type = last_.Names->Types.find(name);
    if (type != last_.Names->Types.end() && type->second == DT_REG)
      return FolderInside(folder) ? JoinPath(resolvedFolder, name) : std::string();
  }
  bool present = false;
  std::string path = Admit(folder, JoinPath(resolvedFolder, name), present);
  if (present) return path;
  const auto& byUpper = ByUpperOf(ListingOf(folder));
  auto hit = byUpper.find(AsciiUpper(name));
  if (hit == byUpper.end() || hit->second == name) return std::string();
  return Admit(folder, JoinPath(resolvedFolder, hit->second), present);
}

std::string TCaseResolver::Admit(const std::string& folder, const std::string& path, bool& present) {
  struct stat st {};
  present = false;
  if (::lstat(path.c_str(), &st) != 0) return std::string();
  if (S_ISREG(st.st_mode)) {
    present = true;
    return FolderInside(folder) ? path : std::string();
  }
  if (!S_ISLNK(st.st_mode) || !FileExists(path)) return std::string();
  present = true;
  return IsWithin(CanonicalPath(path), CanonicalRoot(folder)) ? path : std::string();
}

const std::string& TCaseResolver::CanonicalRoot(const std::string& folder) {
  if (root_.empty()) {
    // Each folder is its own root.
    canonicalRoot_ = CanonicalPath(folder);
    return canonicalRoot_;
  }
  if (!rootResolved_) {
    canonicalRoot_ = CanonicalPath(ResolveCase(root_));
    rootResolved_ = true;
  }
  return canonicalRoot_;
}

bool TCaseResolver::FolderInside(const std::string& folder) {
  if (root_.empty()) return true;
  auto it = folderInside_.find(folder);
  if (it != folderInside_.end()) return it->second;
  bool inside = IsWithin(CanonicalPath(folder), CanonicalRoot(folder));
  folderInside_.emplace(folder, inside);
  return inside;
}

std::string TCaseResolver::Resolve(std::string_view rawPath) {
  std::string path = ToSlashes(rawPath);
  if (path.empty() || Exists(path)) return path;
  std::string result;
  std::size_t pos = 0;
  if (path[0] == '/') {
    result = "/";
    pos = 1;
  }
  bool resolving = true;
  while (pos <= path.size()) {
    std::size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    std::string comp = path.substr(pos, next - pos);
    if (!comp.empty()) {
      std::string candidate = result + comp;
      if (resolving && comp != "." && comp != ".." && !Exists(candidate)) {
        std::string folder = result.empty() ? "." : result;
        const auto& byUpper = ByUpperOf(ListingOf(folder));
        auto hit = byUpper.find(AsciiUpper(comp));
        if (hit != byUpper.end())
          candidate = result + hit->second;
        else
          resolving = false;
      }
      result = candidate;
      if (next < path.size()) result.push_back('/');
    } else if (next < path.size() && !result.empty() && result.back() != '/') {
      result.push_back('/');
    }
    pos = next + 1;
  }
  return result;
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("/\\") == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::optional<std::string> FileInFolder(std::string_view folder, std::string_view name, const std::string& root) {
  if (!IsPlainFileName(name)) return std::nullopt;
  std::string path = ResolveCase(JoinPath(folder, name));
  if (!FileExists(path) || LeadsOutside(path, root.empty() ? ExtractFilePath(path) : root)) return std::nullopt;
  return path;
}

std::vector<std::string> ListFiles(const std::string& folder) { return ListEntries(folder, false); }
std::vector<std::string> ListFolders(const std::string& folder) { return ListEntries(folder, true); }

std::string AbsolutePath(const std::string& path) {
  std::string canonical = CanonicalPath(path);
  return canonical.empty() ? path : canonical;
}

std::string CanonicalPath(const std::string& path) {
  if (path.empty()) return std::string();
  // The kernel resolves the whole path in one walk when it is opened without
  // being read (O_PATH: no fifo blocks, no read permission is needed), and
  // names what it found through /proc. realpath() instead asks readlink of
  // every leading part in turn, a walk that grows with the square of the
  // depth. It is still asked where /proc cannot answer (not mounted, a name
  // too long, a file removed meanwhile).
  const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0 && (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)) return std::string();
  if (fd >= 0) {
    char link[40];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(link, buf, sizeof buf);
    ::close(fd);
    constexpr std::string_view kDeleted = " (deleted)";
    const std::string_view name(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n > 0 && static_cast<std::size_t>(n) < sizeof buf && buf[0] == '/' && !name.ends_with(kDeleted))
      return std::string(name);
  }
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

bool LeadsOutside(const std::string& path, const std::string& root) {
  const std::string real = CanonicalPath(path);
  if (real.empty()) return false;
  // A path that is its own canonical form passes through no link, and no
  // folder along it is one: an absolute root it starts with is canonical
  // too, and spelled as on disk. Most paths of a delivery are such; the
  // root is then not resolved again.
  std::string_view given = root;
  while (given.size() > 1 && given.back() == '/') given.remove_suffix(1);
  if (!given.empty() && given[0] == '/' && (real == path || real + "/" == path) && IsWithin(real, std::string(given)))
    return false;
  return !IsWithin(real, CanonicalPath(ResolveCase(root.empty() ? "." : root)));
}

bool IsSystemFolder(const std::string& folder) {
  const std::string path = AbsolutePath(folder) + "/";
  for (const char* top : {"/usr/", "/bin/", "/sbin/", "/lib/", "/lib64/", "/opt/", "/snap/"})
    if (path.rfind(top, 0) == 0) return true;
  return false;
}

}  // namespace dlvr
