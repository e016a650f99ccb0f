// PDFs (told by content): their facts are read first in a worker process,
// under its time and memory limits, so that a file that holds the reader
// up never reaches the GUI thread; then every page one below the other,
// with the page number (typed, Enter jumps), previous and next page, the
// first and last page (Ctrl+Home, Ctrl+End), fit to width or page, and
// zoom (a choice, typed, buttons, Ctrl with the wheel).
#pragma once

#include <memory>

#include "components/preview_renderer.h"

namespace dlvr {

std::unique_ptr<TPreviewRenderer> MakePdfRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                  const TPreviewSniff& sniff);

}  // namespace dlvr
