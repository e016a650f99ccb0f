// The walk of a medium (every entry under its folder, links never
// followed) and the pieces a relative path is made of.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "check/extended_check_internal.h"

namespace dlvr::extended_check_detail {
namespace {

// A walk stops after this many entries on one medium.
constexpr std::size_t kMaxEntries = 2'000'000;

// The entries of the open folder `fd` and, depth first, of its folders: a
// folder before what it holds; links and other non-folders never entered.
// Takes `fd`.
void WalkFolder(int fd, const std::string& prefix, int depth, std::vector<TEntry>& out, TCheckTextArena& paths) {
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return;
  }
  while (out.size() < kMaxEntries) {
    const dirent* d = ::readdir(dir);
    if (!d) break;
    const std::string_view name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    TEntry e;
    e.Path = paths.Keep(prefix, name);
    e.Depth = depth;
    e.Link = S_ISLNK(st.st_mode);
    e.Folder = S_ISDIR(st.st_mode);
    if (S_ISREG(st.st_mode)) e.Size = static_cast<std::uintmax_t>(st.st_size);
    out.push_back(e);
    if (e.Folder && depth < 32) {
      const int sub = ::openat(fd, d->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) WalkFolder(sub, std::string(e.Path) + "/", depth + 1, out, paths);
    }
  }
  ::closedir(dir);
}

}  // namespace

// Every entry under the medium's folder, links not followed; a folder
// before what it holds.
std::vector<TEntry> Walk(const std::string& root, TCheckTextArena& paths) {
  std::vector<TEntry> out;
  const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) WalkFolder(fd, std::string(), 0, out, paths);
  return out;
}

// True when `path` lies inside the folder `folder` (both relative).
bool InFolder(std::string_view path, std::string_view folder) {
  return path.size() > folder.size() && path[folder.size()] == '/' && path.substr(0, folder.size()) == folder;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
// The same, read in place.
std::string_view EntryFolderView(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}
std::string_view EntryNameView(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace dlvr::extended_check_detail
