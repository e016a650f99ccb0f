#include "panes/pane.h"

#include "components/cell_size_control.h"
#include "components/ext_grid.h"

namespace dlvr {

TExtGrid3* MakeFieldGrid(QWidget* parent, int rows) {
  auto* grid = new TExtGrid3(parent);
  grid->setObjectName("Grid");
  QFont font(QStringLiteral("ＭＳ ゴシック"));
  font.setPixelSize(12);
  grid->setFont(font);
  grid->SetColCount(6);
  grid->SetRowCount(rows);
  grid->SetFixedRows(1);
  grid->SetFixedCols(0);
  grid->SetScrollBars(ssVertical);
  return grid;
}

TCellSizeControl* MakeFieldSizes(QObject* owner, const char* name, TExtGrid3* grid, int labelChars, int maskChars) {
  auto* csc = new TCellSizeControl(owner);
  csc->setObjectName(name);
  csc->SetStringGrid(grid);
  csc->SetEachColChars({labelChars, 1, 2, 1, maskChars, 3});
  csc->SetDefaultColChars(10);
  csc->SetDefaultRowLines(1);
  csc->SetFixedColStrings({"項   目   名", "", "", "情       報", "データ表現"});
  csc->Apply();
  return csc;
}

}  // namespace dlvr
