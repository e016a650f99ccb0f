// A dark desktop palette (the Fusion style's colours as a dark theme sets
// them), for tests and screenshots of the windows in dark colours.
#pragma once

#include <QPalette>

namespace dlvr::test {

QPalette DarkPalette();

}  // namespace dlvr::test
