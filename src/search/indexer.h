// Reading a delivery's files into its index: the pending files' contents
// (TSearchIndex::Begin) read by a few threads at once and stored as each
// is read, so that questions asked meanwhile answer from what is in.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "search/index.h"
#include "search/sources.h"

namespace dlvr::search {

struct TIndexOptions {
  int Threads = 2;           // readers at once (each PDF read runs in a worker process of its own)
  bool LowPriority = false;  // the readers (and the PDF workers they start) run at a lower priority
  // Told after each file: files done and all pending ones. Called from the
  // reading threads, one call at a time.
  std::function<void(std::size_t done, std::size_t total)> Progress;
};

// Reads the contents of the files at `pending` (positions in index.Files())
// and stores them. Returns when every one is stored, or soon after
// `*cancel` turns true (the files not read stay pending). Blocks the
// calling thread; never throws.
void IndexContents(TSearchIndex& index, const std::vector<std::size_t>& pending, const TExtractors& extractors,
                   const TIndexOptions& options = {}, const std::atomic<bool>* cancel = nullptr);

// The whole index of a loaded delivery's files, built on the calling
// thread: Begin with `files`, then IndexContents, then Flush.
void BuildIndex(TSearchIndex& index, std::vector<TSearchFile> files, const TExtractors& extractors,
                const TIndexOptions& options = {}, const std::atomic<bool>* cancel = nullptr);

}  // namespace dlvr::search
