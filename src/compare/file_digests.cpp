#include "compare/file_digests.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/paths.h"

namespace dlvr {
namespace {

// Reads of 1 MiB: few system calls, and the hash keeps up with the disk.
constexpr std::size_t kDigestBlock = std::size_t{1} << 20;

bool InsideCanonical(const std::string& path, const std::string& root) {
  return !root.empty() && (path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                                             (root.back() == '/' || path[root.size()] == '/')));
}

void WalkMediumFolder(const std::string& folder, const std::string& relative, const std::string& root, int mediaNo,
                      std::vector<TMediumFile>& out) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::pair<std::string, unsigned char>> entries;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    entries.emplace_back(e->d_name, e->d_type);
  }
  ::closedir(dir);
  for (auto& [name, type] : entries) {
    const std::string full = folder + "/" + name;
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    struct stat st {};
    if (type == DT_DIR) {
      WalkMediumFolder(full, rel, root, mediaNo, out);
      continue;
    }
    if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) continue;
    if (::lstat(full.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      WalkMediumFolder(full, rel, root, mediaNo, out);
      continue;
    }
    if (S_ISLNK(st.st_mode)) {
      // A link counts only when it leads to a regular file inside the medium.
      if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !InsideCanonical(CanonicalPath(full), root))
        continue;
    } else if (!S_ISREG(st.st_mode)) {
      continue;
    }
    out.push_back({rel, full, static_cast<std::uint64_t>(st.st_size), mediaNo});
  }
}

// One file's digest; false with `why` when it cannot be read.
bool DigestOneFile(const std::string& path, unsigned char* buffer, EVP_MD_CTX* ctx, TSha256& digest, std::string& why,
                   const std::atomic<bool>* cancel) {
  // Never blocks on a fifo put in place of the file since the walk.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "not a regular file";
    ::close(fd);
    return false;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  bool ok = EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) == 1;
  while (ok) {
    if (cancel && cancel->load()) {
      why = "cancelled";
      ok = false;
      break;
    }
    const ssize_t n = ::read(fd, buffer, kDigestBlock);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      why = std::strerror(errno);
      ok = false;
      break;
    }
    ok = EVP_DigestUpdate(ctx, buffer, static_cast<std::size_t>(n)) == 1;
  }
  ::close(fd);
  unsigned int length = 0;
  if (ok) ok = EVP_DigestFinal_ex(ctx, digest.data(), &length) == 1 && length == digest.size();
  if (!ok && why.empty()) why = "digest failed";
  return ok;
}

}  // namespace

std::vector<TMediumFile> ListMediumFiles(const std::string& folder, int mediaNo) {
  std::vector<TMediumFile> out;
  std::string start = folder;
  while (start.size() > 1 && start.back() == '/') start.pop_back();
  const std::string root = CanonicalPath(start);
  if (root.empty()) return out;
  WalkMediumFolder(start, std::string(), root, mediaNo, out);
  std::sort(out.begin(), out.end(), [](const TMediumFile& a, const TMediumFile& b) { return a.Relative < b.Relative; });
  return out;
}

void DigestFiles(std::vector<TDigestJob>& jobs, int threads, const std::atomic<bool>* cancel) {
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kDigestBlock]);
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      TDigestJob& job = jobs[i];
      job.Why.clear();
      job.Done = ctx && job.Path && DigestOneFile(*job.Path, buffer.get(), ctx.get(), job.Digest, job.Why, cancel);
      if (!ctx) job.Why = "no digest context";
    }
  };
  const int extra = std::max(1, threads) - 1;
  std::vector<std::thread> workers;
  for (int t = 0; t < extra && static_cast<std::size_t>(t + 1) < jobs.size(); ++t) workers.emplace_back(work);
  work();
  for (std::thread& w : workers) w.join();
}

}  // namespace dlvr
