// Plain text files (.TXT, .CSV, .LOG, .DTD, .INI, and XML that is not
// well-formed) in a read-only source view, decoded as UTF-8 when they are
// valid UTF-8 and as CP932 otherwise; a large file shows its first part.
#pragma once

#include <memory>

#include "components/preview_renderer.h"

class QPlainTextEdit;
class QRect;
class QTextEdit;
class QWidget;

namespace dlvr {

std::unique_ptr<TPreviewRenderer> MakeTextRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                   const TPreviewSniff& sniff);
// The read-only source view text is shown in ("TextView").
QPlainTextEdit* NewPreviewTextView();
// Fills `view` with the file's text, decoded (its first part when it is
// large, which the note then says); returns the text.
QString FillPreviewTextView(TPreviewHost& host, const TPreviewFile& file, QPlainTextEdit* view);
// Scrolls `view` to its line `line` (1-based) and highlights the whole
// line, the cursor at `text` in it (at the line's start when the line
// lacks it); false when the view has no such line.
bool MarkPreviewTextLine(QPlainTextEdit* view, int line, const QString& text);
// Where the line marked in `view` stands on the screen (global
// coordinates; empty for none).
QRect PreviewTextMarkArea(const QPlainTextEdit* view);
// In a rich text view (an HTML page as shown): scrolls to the first place
// of `text` (any case) and highlights it; false when the page lacks it.
bool MarkPreviewRichText(QTextEdit* view, const QString& text);
QRect PreviewRichTextMarkArea(const QTextEdit* view);

}  // namespace dlvr
