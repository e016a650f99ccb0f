// Text that stays readable on any background: a dark desktop palette gives
// light text, which vanishes on the light cell colours a grid or a note sets
// of its own.
#pragma once

#include <QColor>

namespace dlvr {

// The contrast ratio of two colours by their relative luminance (1 to 21).
double ContrastRatio(const QColor& a, const QColor& b);

// `text` when it reads well enough on `background` (a ratio of at least
// 2.5, which every colour pair the windows choose on a light palette meets);
// otherwise a grey turns black or white, and a colour keeps its hue, made
// lighter or darker away from the background until the ratio reaches 4.5
// (black or white when no shade of it does).
QColor LegibleOn(const QColor& text, const QColor& background);

// True when `c` is a dark colour (a dark palette's base or window).
bool IsDark(const QColor& c);

}  // namespace dlvr
