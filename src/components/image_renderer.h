// Images (any format the image reader knows, by content) fitted to the view
// (a small one at its own size), turned as their EXIF orientation says,
// with zoom in and out; sharp on screens of any pixel ratio.
#pragma once

#include <memory>

#include "components/preview_renderer.h"

namespace dlvr {

std::unique_ptr<TPreviewRenderer> MakeImageRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                    const TPreviewSniff& sniff);

}  // namespace dlvr
