#include "components/cell_size_control.h"

#include "components/ext_grid.h"

namespace dlvr {

namespace {

// Padding added to the text width of a column.
constexpr int kColPadding = 4;
// Defaults of the grid when a default count is 0.
constexpr int kDefaultColWidth = 64;
constexpr int kDefaultRowHeight = 24;

void ShareFirst(const QStringList& from, QStringList& to) {
  if (from.isEmpty()) return;
  if (to.isEmpty())
    to.append(from.first());
  else
    to.first() = from.first();
}

}  // namespace

TCellSizeControl::TCellSizeControl(QObject* parent) : QObject(parent) {}

void TCellSizeControl::SetStringGrid(TExtGrid3* grid) {
  grid_ = grid;
  Apply();
}

void TCellSizeControl::SetEachColChars(const QList<int>& chars) {
  colChars_ = chars;
  Apply();
}

void TCellSizeControl::SetEachRowLines(const QList<int>& lines) {
  rowLines_ = lines;
  Apply();
}

void TCellSizeControl::SetDefaultColChars(int chars) {
  defColChars_ = chars;
  Apply();
}

void TCellSizeControl::SetDefaultRowLines(int lines) {
  defRowLines_ = lines;
  Apply();
}

void TCellSizeControl::SetFixedColStrings(const QStringList& strings) {
  colStrings_ = strings;
  ShareFirst(colStrings_, rowStrings_);
  Apply();
}

void TCellSizeControl::SetFixedRowStrings(const QStringList& strings) {
  rowStrings_ = strings;
  ShareFirst(rowStrings_, colStrings_);
  Apply();
}

int TCellSizeControl::ColWidthFor(int chars) const {
  if (!grid_) return 0;
  if (chars > 0) return grid_->TextWidth0(chars) + kColPadding;
  if (chars < 0) return -chars;
  return grid_->DefaultColWidth();
}

int TCellSizeControl::RowHeightFor(int lines) const {
  if (!grid_) return 0;
  if (lines > 0) return lines * (grid_->TextHeight0() + 2) + 2;
  if (lines < 0) return -lines;
  return grid_->DefaultRowHeight();
}

void TCellSizeControl::Apply() {
  if (!grid_) return;
  TExtGrid3& g = *grid_;
  g.SetDefaultColWidth(defColChars_ == 0 ? kDefaultColWidth : ColWidthFor(defColChars_));
  g.SetDefaultRowHeight(defRowLines_ == 0 ? kDefaultRowHeight : RowHeightFor(defRowLines_));
  for (int c = 0; c < g.ColCount() && c < colChars_.size(); ++c) g.SetColWidth(c, ColWidthFor(colChars_[c]));
  for (int r = 0; r < g.RowCount() && r < rowLines_.size(); ++r) g.SetRowHeight(r, RowHeightFor(rowLines_[r]));
  if (g.RowCount() > 0)
    for (int c = 0; c < g.ColCount() && c < colStrings_.size(); ++c) g.SetCell(c, 0, colStrings_[c]);
  if (g.ColCount() > 0)
    for (int r = 0; r < g.RowCount() && r < rowStrings_.size(); ++r) g.SetCell(0, r, rowStrings_[r]);
}

}  // namespace dlvr

#include "moc_cell_size_control.cpp"
