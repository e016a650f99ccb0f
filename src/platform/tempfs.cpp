#include "platform/tempfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>
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

namespace {

// Removes the entry `name` of the folder `dirFd`: a file or link by
// unlinking it, a folder (opened without following a link) with its
// content.
bool RemoveEntryAt(int dirFd, const char* name) {
  if (::unlinkat(dirFd, name, 0) == 0 || errno == ENOENT) return true;
  if (errno != EISDIR && errno != EPERM) return false;
  int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string n(e->d_name);
    if (n != "." && n != "..") names.push_back(std::move(n));
  }
  bool ok = true;
  for (const std::string& n : names) ok = RemoveEntryAt(::dirfd(dir), n.c_str()) && ok;
  ::closedir(dir);
  if (::unlinkat(dirFd, name, AT_REMOVEDIR) != 0 && errno != ENOENT) ok = false;
  return ok;
}

// The process's private work folder. Never destroyed, so that an exit
// handler or the signal thread may use it while the program ends.
struct TWorkFolderState {
  std::mutex Mutex;
  std::string Folder;  // with '/'; "" when there is none
  int LockFd = -1;
  pid_t Owner = 0;     // the process that made it
  bool ExitHookSet = false;
};

TWorkFolderState& WorkState() {
  static TWorkFolderState* state = new TWorkFolderState;
  return *state;
}

void RemoveLocked(TWorkFolderState& s) {
  if (s.Owner == ::getpid() && !s.Folder.empty()) RemoveTree(s.Folder);
  if (s.LockFd >= 0) ::close(s.LockFd);
  s.Folder.clear();
  s.LockFd = -1;
}

bool IsRealFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool RemoveTree(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty() || p == "/") return false;
  return RemoveEntryAt(AT_FDCWD, p.c_str());
}

std::string PrivateWorkFolder() {
  TWorkFolderState& s = WorkState();
  std::lock_guard<std::mutex> guard(s.Mutex);
  if (s.Owner != ::getpid()) {
    // Made by the parent of a forked child: the parent's, not ours.
    if (s.LockFd >= 0) ::close(s.LockFd);
    s.Folder.clear();
    s.LockFd = -1;
  }
  if (!s.Folder.empty() && IsRealFolder(s.Folder)) return s.Folder;
  if (!s.Folder.empty()) RemoveLocked(s);  // removed from under us
  std::string folder = MakeTempDir(kWorkFolderPrefix);
  if (folder.empty()) return "";
  int fd = ::open((folder + kWorkFolderLock).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (fd >= 0) ::close(fd);
    RemoveTree(folder);
    return "";
  }
  s.Folder = folder;
  s.LockFd = fd;
  s.Owner = ::getpid();
  if (!s.ExitHookSet) {
    s.ExitHookSet = true;
    std::atexit([] { RemovePrivateWorkFolder(); });
  }
  return s.Folder;
}

void RemovePrivateWorkFolder() {
  TWorkFolderState& s = WorkState();
  std::lock_guard<std::mutex> guard(s.Mutex);
  if (s.Owner == ::getpid()) RemoveLocked(s);
}

int RemoveStaleWorkFolders(const std::string& parent) {
  const std::string base = parent.empty() ? TempFolder() : WithTrailingSlash(parent);
  DIR* dir = ::opendir(base.c_str());
  if (!dir) return 0;
  const std::string prefix = kWorkFolderPrefix;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string n(e->d_name);
    if (n.size() > prefix.size() && n.compare(0, prefix.size(), prefix) == 0) names.push_back(std::move(n));
  }
  const int baseFd = ::dirfd(dir);
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  for (const std::string& name : names) {
    // The folder itself, never through a link, and only the user's own.
    int folderFd = ::openat(baseFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0) continue;
    struct stat st {};
    if (::fstat(folderFd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
      ::close(folderFd);
      continue;
    }
    int lockFd = ::openat(folderFd, kWorkFolderLock, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    ::close(folderFd);
    struct stat lockSt {};
    bool stale;
    if (lockFd >= 0 && ::fstat(lockFd, &lockSt) == 0 && S_ISREG(lockSt.st_mode))
      stale = ::flock(lockFd, LOCK_EX | LOCK_NB) == 0;  // the owner is gone
    else
      stale = now - st.st_mtime > 60;  // being made, or left before its lock was
    if (stale && RemoveEntryAt(baseFd, name.c_str())) ++removed;
    if (lockFd >= 0) ::close(lockFd);
  }
  ::closedir(dir);
  return removed;
}

namespace {

int gSignalPipe = -1;

void OnEndSignal(int sig) {
  const int saved = errno;
  const unsigned char b = static_cast<unsigned char>(sig);
  [[maybe_unused]] ssize_t n = ::write(gSignalPipe, &b, 1);
  errno = saved;
}

// The signal thread: waits for a signal's byte, removes the folder, then
// ends the process by that signal.
void EndOnSignal(int readFd) {
  unsigned char b = 0;
  ssize_t n;
  do n = ::read(readFd, &b, 1);
  while (n < 0 && errno == EINTR);
  if (n != 1) return;
  const int sig = b;
  RemovePrivateWorkFolder();
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);
}

}  // namespace

void RemoveWorkFolderOnSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    gSignalPipe = fds[1];
    std::thread(EndOnSignal, fds[0]).detach();
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
      struct sigaction sa {};
      sa.sa_handler = OnEndSignal;
      sigemptyset(&sa.sa_mask);
      sa.sa_flags = SA_RESTART;
      ::sigaction(sig, &sa, nullptr);
    }
  });
}

}  // namespace dlvr
