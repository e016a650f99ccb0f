// Toolbar icons the desktop's style lacks at toolbar size, or draws for
// light toolbars only. Each is painted when a button asks for it, at the
// size and pixel ratio asked for, so it is as large as its neighbours and
// follows a later change of the application's palette. GUI thread only.
#pragma once

#include <QIcon>
#include <QPalette>

namespace dlvr {

// Whether a palette is dark: its window colour has a lightness under half.
bool IsDarkPalette(const QPalette& palette);

// A photograph: sky, sun and hills in a white frame.
QIcon PhotoIcon();

// `icon` as it is on a light window; on a dark one (the application's
// palette, asked at every paint) with a light outline around its shape, so
// that a black glyph reads on a dark toolbar.
QIcon OutlinedIcon(const QIcon& icon);

}  // namespace dlvr
