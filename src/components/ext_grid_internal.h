// What the parts of the grid (its geometry, painting, cursor and keys,
// in-place editor) share: the lines of a cell and the cell's padding.
#pragma once

#include <QString>

#include <algorithm>

#include "components/ext_grid.h"

namespace dlvr::ext_grid_detail {

inline const QString kCRLF = QStringLiteral("\r\n");
// Text stands this many pixels inside each edge of its cell.
inline constexpr int kCellPadding = 2;

inline int LinesOf(const TCellAtr& atr) { return std::clamp(atr.LineCount, 1, 4); }

inline bool Usable(const TCellAtr& atr, int line) {
  return line >= 0 && line < LinesOf(atr) && atr.Line[line].EditKind != ekNoCRLOut;
}

inline int FirstUsableLine(const TCellAtr& atr) {
  for (int i = 0; i < LinesOf(atr); ++i)
    if (Usable(atr, i)) return i;
  return 0;
}

inline int LastUsableLine(const TCellAtr& atr) {
  for (int i = LinesOf(atr) - 1; i >= 0; --i)
    if (Usable(atr, i)) return i;
  return LinesOf(atr) - 1;
}

}  // namespace dlvr::ext_grid_detail
