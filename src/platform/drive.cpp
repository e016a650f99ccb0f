#include "platform/drive.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <utility>

#include "platform/paths.h"

namespace dlvr {
namespace {

std::mutex g_mutex;
std::function<DriveType(const std::string&)> g_driveOverride;
std::function<bool(const std::string&)> g_readyOverride;
thread_local std::function<DriveType(const std::string&)> t_driveOverride;

// Mount points in /proc/self/mountinfo escape blanks and a few other bytes
// as \ooo octal sequences.
std::string UnescapeMount(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      int v = 0;
      bool ok = true;
      for (int k = 1; k <= 3; ++k) {
        if (i + k >= s.size() || s[i + k] < '0' || s[i + k] > '7') {
          ok = false;
          break;
        }
        v = v * 8 + (s[i + k] - '0');
      }
      if (ok) {
        out.push_back(static_cast<char>(v));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

std::string ExistingAncestor(std::string path) {
  path = AbsolutePath(path);
  struct stat st {};
  while (!path.empty() && ::stat(path.c_str(), &st) != 0) {
    std::size_t p = path.find_last_of('/');
    if (p == std::string::npos || p == 0) return "/";
    path.resize(p);
  }
  return path.empty() ? "/" : AbsolutePath(path);
}

bool DeviceRemovable(const std::string& majMin) {
  std::string base = "/sys/dev/block/" + majMin;
  for (const char* rel : {"/removable", "/../removable"}) {
    std::ifstream f(base + rel);
    int v = 0;
    if (f >> v) return v == 1;
  }
  return false;
}

DriveType RealDriveType(const std::string& rawPath) {
  std::string path = ExistingAncestor(ToSlashes(rawPath));
  std::ifstream mi("/proc/self/mountinfo");
  if (!mi) return DriveType::Fixed;
  std::ostringstream text;
  text << mi.rdbuf();
  TMountEntry mount = FindMount(text.str(), path);
  if (mount.MountPoint.empty()) return DriveType::Fixed;
  return ClassifyMount(mount.FsType, DeviceRemovable(mount.Device));
}

}  // namespace

TMountEntry FindMount(const std::string& mountInfo, const std::string& path) {
  TMountEntry best;
  std::istringstream mi(mountInfo);
  std::string line;
  while (std::getline(mi, line)) {
    std::istringstream ls(line);
    std::string id, parent, majMin, root, mount;
    if (!(ls >> id >> parent >> majMin >> root >> mount)) continue;
    std::string tok;
    while (ls >> tok && tok != "-") {
    }
    std::string fsType;
    ls >> fsType;
    mount = UnescapeMount(mount);
    bool covers = mount == "/" || path == mount || (path.size() > mount.size() && path.compare(0, mount.size(), mount) == 0 && path[mount.size()] == '/');
    // Later lines mount over earlier ones on the same point.
    if (covers && mount.size() >= best.MountPoint.size()) best = {mount, fsType, majMin};
  }
  return best;
}

DriveType ClassifyMount(const std::string& fsType, bool removableDevice) {
  if (fsType == "iso9660" || fsType == "udf") return DriveType::CdRom;
  static const char* const kRemote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs", "afs", "9p"};
  for (const char* r : kRemote)
    if (fsType == r) return DriveType::Remote;
  if (removableDevice) return DriveType::Removable;
  return DriveType::Fixed;
}

DriveType GetDriveType(const std::string& path) {
  if (t_driveOverride) return t_driveOverride(path);
  std::function<DriveType(const std::string&)> fn;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    fn = g_driveOverride;
  }
  if (fn) return fn(path);
  return RealDriveType(path);
}

bool QueryMediaReady(const std::string& path) {
  std::function<bool(const std::string&)> fn;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    fn = g_readyOverride;
  }
  if (fn) return fn(path);
  struct statvfs sv {};
  return !path.empty() && ::statvfs(ToSlashes(path).c_str(), &sv) == 0;
}

void SetDriveTypeOverride(std::function<DriveType(const std::string&)> fn) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_driveOverride = std::move(fn);
}

void SetThreadDriveTypeOverride(std::function<DriveType(const std::string&)> fn) { t_driveOverride = std::move(fn); }

void SetMediaReadyOverride(std::function<bool(const std::string&)> fn) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_readyOverride = std::move(fn);
}

}  // namespace dlvr
