#include "search/indexer.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>

namespace dlvr::search {

void IndexContents(TSearchIndex& index, const std::vector<std::size_t>& pending, const TExtractors& extractors,
                   const TIndexOptions& options, const std::atomic<bool>* cancel) {
  std::atomic<std::size_t> next{0};
  std::size_t done = 0;
  std::mutex progressMutex;
  const auto reader = [&] {
    if (options.LowPriority) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    while (!(cancel && *cancel)) {
      const std::size_t k = next++;
      if (k >= pending.size()) break;
      const std::size_t position = pending[k];
      const TSearchFile& file = index.Files()[position];
      std::string reason;
      std::vector<TUnit> units = ReadContents(file, file.Root, extractors, cancel, reason);
      if (cancel && *cancel) break;  // a read cut short stays pending
      index.Store(position, units, reason);
      if (options.Progress) {
        std::lock_guard lock(progressMutex);
        options.Progress(++done, pending.size());
      }
    }
  };
  const int threads = std::max(1, std::min<int>(options.Threads, static_cast<int>(pending.size())));
  std::vector<std::thread> others;
  try {
    for (int i = 1; i < threads; ++i) others.emplace_back(reader);
  } catch (...) {
    // No more threads: the ones there are do the work.
  }
  reader();
  for (std::thread& t : others) t.join();
  index.Flush();
}

void BuildIndex(TSearchIndex& index, std::vector<TSearchFile> files, const TExtractors& extractors,
                const TIndexOptions& options, const std::atomic<bool>* cancel) {
  const std::vector<std::size_t> pending = index.Begin(std::move(files));
  IndexContents(index, pending, extractors, options, cancel);
}

}  // namespace dlvr::search
