// Filling a plain-text view with a large text without holding the window
// up, and the font source text is shown in. GUI thread only.
#pragma once

#include <QString>

#include <functional>

class QPlainTextEdit;

namespace dlvr {

// Puts `text` into the view in pieces at line ends: the first piece at once
// (the caret at the start), the rest from the event loop, a piece a turn.
// A later fill of the same view stops an earlier one. `done` runs once the
// whole text is in (at once for a short text).
void FillPlainTextInPieces(QPlainTextEdit* view, const QString& text, std::function<void()> done = {});

// A fixed-pitch Japanese font (IPAGothic's glyphs are all one width, so
// every "<" has one shape) with tabs four columns wide.
void UseSourceFont(QPlainTextEdit* view);

}  // namespace dlvr
