// PDFs made to hold a reader up: each one small on disk (but the sparse
// one) and built so that a reader without bounds spins, recurses or
// allocates without end. Written at test time into a scratch folder.
#pragma once

#include <string>
#include <vector>

#include "support/fixtures.h"

namespace dlvr::test {

enum class THostilePdf {
  DeepPageTree,      // /Pages nodes 5,000 levels deep (some 500 KB)
  DeeperPageTree,    // 100,000 levels deep (some 10 MB)
  HugeCount,         // a page tree whose /Count says 2^31 - 1 pages
  CyclicPageTree,    // /Kids leading back to their own /Pages
  XrefPrevLoop,      // two cross-reference sections whose /Prev name each other
  BogusEncryption,   // an /Encrypt dictionary of impossible values
  SparseHuge,        // a PDF header and then 2 GB of nothing (a sparse file)
  FlateBomb,         // an object stream that inflates to 4 GB
};

// A PDF of the numbered objects given (1 ... n), with a cross-reference
// table and a trailer naming object 1 as the catalog; `trailerExtra` goes
// into the trailer dictionary.
std::string ClassicPdf(const std::vector<std::string>& objects, const std::string& trailerExtra = {});

// The name of the kind ("DeepPageTree", ...), for test names.
const char* HostilePdfName(THostilePdf kind);

// Writes the PDF of that kind into `dir` as <name>.PDF; its path.
std::string WriteHostilePdf(const ScratchDir& dir, THostilePdf kind);

}  // namespace dlvr::test
