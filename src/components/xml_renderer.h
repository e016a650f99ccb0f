// XML files (.XML, .XSL, .XSD, or markup that starts as XML): with an
// xml-stylesheet instruction, transformed with libxslt (the stylesheet
// resolved beside the file by the delivery's path rules) and shown as HTML,
// fifty records a page with paging; without one, as a collapsible element
// tree (bounded in depth and items, and saying so); not well-formed, as
// text. A large file is prepared off the GUI thread, its first page shown
// before it is read to the end.
#pragma once

#include <memory>

#include "components/preview_renderer.h"

namespace dlvr {

std::unique_ptr<TPreviewRenderer> MakeXmlRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                  const TPreviewSniff& sniff);

}  // namespace dlvr
