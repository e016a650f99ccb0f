// Finding the deliveries under a folder for dlvr scan: the media (a
// folder holding INDEX_C.XML is one, not searched further; links are not
// followed), their records and the bytes of their management files, and
// the media grouped into deliveries.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "delivery/records.h"
#include "delivery/sibling_media.h"

namespace dlvr::scan {

// Folders deeper than this under the scanned one are not searched.
constexpr int kMaxDepth = 32;

struct TMedium {
  std::string Folder;  // absolute, without a trailing '/'
  std::string Rel;     // relative to ROOT, "." for ROOT itself
  std::string Index;   // its INDEX_C.XML
  bool ViaLink = false;  // that is a link that stays inside the folder
  TMdlTreeNodeIndex Record;
  std::uint64_t Weight = 0;
  std::vector<TSiblingMedium> Siblings;  // when the record tells of further media
  bool SiblingsRead = false;
};

struct TDelivery {
  std::string Rel;  // the first medium's
  std::string KojiNo, KojiName;
  std::vector<std::string> Folders;  // by medium number
  std::uint64_t Weight = 0;          // bytes of its management files
};

// Calls fn(0) ... fn(n - 1) on up to `jobs` threads, the calling one among
// them, and returns when every call has. fn must be safe to run beside itself.
template <typename Fn>
void ParallelFor(std::size_t n, int jobs, const Fn& fn) {
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < n; i = next++) fn(i);
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < jobs && static_cast<std::size_t>(t) < n; ++t) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no further thread: the ones there do it all
    }
  }
  work();
  for (std::thread& h : helpers) h.join();
}

// The media under `dir` (see FindMedia in scan_media.cpp); their records
// are read later, by ReadMedia.
void FindMedia(const std::string& dir, const std::string& rel, int depth, std::vector<TMedium>& media,
               std::ostream& err, int jobs = 1);
// Each medium's record and management bytes, on `jobs` threads.
void ReadMedia(std::vector<TMedium>& media, int jobs);
// The deliveries of the media found, sorted by folder.
std::vector<TDelivery> GroupMedia(std::vector<TMedium>& media);

}  // namespace dlvr::scan
