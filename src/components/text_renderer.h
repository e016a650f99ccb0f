// Plain text files (.TXT, .CSV, .LOG, .DTD, .INI, and XML that is not
// well-formed) in a read-only source view, decoded as UTF-8 when they are
// valid UTF-8 and as CP932 otherwise; a large file shows its first part.
#pragma once

#include <memory>

#include "components/preview_renderer.h"

class QPlainTextEdit;
class QWidget;

namespace dlvr {

std::unique_ptr<TPreviewRenderer> MakeTextRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                   const TPreviewSniff& sniff);
// The read-only source view text is shown in ("TextView").
QPlainTextEdit* NewPreviewTextView();
// Fills `view` with the file's text, decoded (its first part when it is
// large, which the note then says); returns the text.
QString FillPreviewTextView(TPreviewHost& host, const TPreviewFile& file, QPlainTextEdit* view);

}  // namespace dlvr
