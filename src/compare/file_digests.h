// The files of a delivery's media and their SHA-256 digests, for comparing
// two deliveries by content. The walk lists regular files only, and a link
// only when it leads to a regular file inside its medium (links to folders
// are not followed, so a walk never loops or leaves the medium). Digests are
// computed on worker threads, each reading its files in large blocks.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dlvr {

// A file found on a medium.
struct TMediumFile {
  std::string Relative;  // path below the medium folder, '/' separators, as on disk
  std::string Full;      // the path to open
  std::uint64_t Size = 0;
  int MediaNo = 0;
};

// Every file below `folder` (a medium's folder), sorted by Relative.
std::vector<TMediumFile> ListMediumFiles(const std::string& folder, int mediaNo);

using TSha256 = std::array<unsigned char, 32>;

// The digest of one file to compute: filled in by DigestFiles.
struct TDigestJob {
  const std::string* Path = nullptr;
  TSha256 Digest{};
  bool Done = false;  // false when the file could not be read
  std::string Why;    // why not, in English (system error text)
};

// Computes every job's digest on `threads` threads (at least one). Runs on
// the caller's thread and the workers it starts; touches nothing but the
// jobs. Once `cancel` (when given) is set, no further block is read: the
// jobs left are not Done, their Why "cancelled".
void DigestFiles(std::vector<TDigestJob>& jobs, int threads, const std::atomic<bool>* cancel = nullptr);

}  // namespace dlvr
