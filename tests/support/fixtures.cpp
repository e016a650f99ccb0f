#include "support/fixtures.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace dlvr::test {

ScratchDir::ScratchDir() : path_(MakeTempDir("dlvr_test_")) {
  if (path_.empty()) throw std::runtime_error("cannot create a scratch folder");
}

ScratchDir::~ScratchDir() {
  SetTreeReadOnly(path_, false);
  RemoveTree(path_);
}

std::string ScratchDir::operator/(const std::string& relative) const { return JoinPath(path_, relative); }

std::string ScratchDir::WriteBytes(const std::string& relative, const std::string& bytes) const {
  std::string path = *this / relative;
  fs::create_directories(fs::path(path).parent_path());
  if (!WriteWholeFile(path, bytes)) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string ScratchDir::WriteSjis(const std::string& relative, const std::string& utf8, bool crlf) const {
  std::string text;
  for (char c : utf8) {
    if (c == '\n' && crlf) text += "\r\n";
    else text.push_back(c);
  }
  return WriteBytes(relative, Utf8ToCp932(text));
}

std::string ScratchDir::MakeDir(const std::string& relative) const {
  std::string path = *this / relative;
  fs::create_directories(path);
  return path;
}

void SetTreeReadOnly(const std::string& path, bool readOnly) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return;
  auto apply = [&](const fs::path& p) {
    bool dir = fs::is_directory(p, ec);
    fs::perms perms = readOnly ? (dir ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_read)
                               : (dir ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(p, perms, ec);
  };
  if (!readOnly) apply(path);
  for (auto it = fs::recursive_directory_iterator(path, ec); it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!readOnly) apply(it->path());
  }
  if (readOnly) {
    std::vector<fs::path> all;
    for (auto it = fs::recursive_directory_iterator(path, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
      all.push_back(it->path());
    for (auto it = all.rbegin(); it != all.rend(); ++it) apply(*it);
    apply(path);
  }
}

void CopyTree(const std::string& from, const std::string& to) {
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::vector<std::string> TreeSnapshot(const std::string& path) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(path, ec); it != fs::recursive_directory_iterator(); it.increment(ec)) {
    struct stat st {};
    ::stat(it->path().c_str(), &st);
    out.push_back(it->path().string() + " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) +
                  "." + std::to_string(st.st_mtim.tv_nsec));
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string SamplePath(const std::string& name) { return std::string(DLVR_SOURCE_DIR) + "/samples/" + name; }

ScriptedPrompts::ScriptedPrompts() { SetPromptService(this); }
ScriptedPrompts::~ScriptedPrompts() { SetPromptService(nullptr); }

DialogAnswer ScriptedPrompts::Show(const MessageRequest& request) {
  Shown.push_back(request);
  if (OnShow) OnShow(request);
  if (Shown.size() <= Answers.size()) return Answers[Shown.size() - 1];
  return Fallback;
}

struct LoopbackListener::Impl {
  int fd = -1;
  int port = 0;
  std::atomic<bool> stop{false};
  std::atomic<int> connections{0};
  std::thread thread;
};

LoopbackListener::LoopbackListener() : d_(new Impl) {
  d_->fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(d_->fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(d_->fd, 8) != 0)
    throw std::runtime_error("no loopback listener");
  socklen_t len = sizeof a;
  getsockname(d_->fd, reinterpret_cast<sockaddr*>(&a), &len);
  d_->port = ntohs(a.sin_port);
  d_->thread = std::thread([d = d_] {
    while (!d->stop) {
      pollfd p{d->fd, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      int c = accept(d->fd, nullptr, nullptr);
      if (c < 0) continue;
      ++d->connections;
      close(c);
    }
  });
}

LoopbackListener::~LoopbackListener() {
  d_->stop = true;
  d_->thread.join();
  close(d_->fd);
  delete d_;
}

std::string LoopbackListener::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(d_->port) + path;
}

int LoopbackListener::Connections() const {
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  return d_->connections;
}

long MaxRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

ScratchTmpdir::ScratchTmpdir() {
  const char* old = std::getenv("TMPDIR");
  if (old) old_ = old;
  hadOld_ = old != nullptr;
  ::setenv("TMPDIR", Path().c_str(), 1);
}

ScratchTmpdir::~ScratchTmpdir() {
  if (hadOld_) ::setenv("TMPDIR", old_.c_str(), 1);
  else ::unsetenv("TMPDIR");
}

FixedDrives::FixedDrives() { SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; }); }
FixedDrives::~FixedDrives() { SetDriveTypeOverride(nullptr); }

}  // namespace dlvr::test
