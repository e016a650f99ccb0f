// SXF drawings (.P21 / .SFC, told by content) in the drawing view, read off
// the GUI thread; a file that turns out not to be a drawing shows its facts
// and why. White or black paper carries from one drawing to the next.
#pragma once

#include <memory>

#include "components/preview_renderer.h"

namespace dlvr {

std::unique_ptr<TPreviewRenderer> MakeDrawingRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                      const TPreviewSniff& sniff);

}  // namespace dlvr
