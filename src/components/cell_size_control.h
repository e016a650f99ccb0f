// TCellSizeControl: sizes the columns and rows of a grid in characters and
// text lines of the grid's font, and writes its header texts.
//
// Column width from a character count n: n > 0 is the width of n "0"
// characters plus 4 pixels of cell padding, n < 0 is -n pixels, 0 is the
// grid's default width (64 pixels when it is the default itself). Row height
// from a line count n: n > 0 is n x (text height of "0" + 2) + 2, n < 0 is
// -n pixels, 0 is the grid's default height (24 pixels for the default).
// The grid shows no row lower than one text line of its font
// (TExtGrid3::MinRowHeight), so a pixel height below that is raised there.
//
// The sizes and texts are applied whenever the grid is set and whenever one
// of the lists or defaults changes; call Apply() again after changing the
// grid's font.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

namespace dlvr {

class TExtGrid3;

class TCellSizeControl : public QObject {
  Q_OBJECT
 public:
  explicit TCellSizeControl(QObject* parent = nullptr);

  TExtGrid3* StringGrid() const { return grid_; }
  void SetStringGrid(TExtGrid3* grid);

  QList<int> EachColChars() const { return colChars_; }
  void SetEachColChars(const QList<int>& chars);
  QList<int> EachRowLines() const { return rowLines_; }
  void SetEachRowLines(const QList<int>& lines);
  int DefaultColChars() const { return defColChars_; }
  void SetDefaultColChars(int chars);
  int DefaultRowLines() const { return defRowLines_; }
  void SetDefaultRowLines(int lines);

  // Texts of row 0, one per column, and of column 0, one per row. The two
  // lists share their first entry (cell 0, 0): setting one replaces the
  // other's first entry, or adds it when the other is empty.
  QStringList FixedColStrings() const { return colStrings_; }
  void SetFixedColStrings(const QStringList& strings);
  QStringList FixedRowStrings() const { return rowStrings_; }
  void SetFixedRowStrings(const QStringList& strings);

  // Pixel sizes for the grid's font (0 when there is no grid).
  int ColWidthFor(int chars) const;
  int RowHeightFor(int lines) const;

  void Apply();

 private:
  QPointer<TExtGrid3> grid_;
  QList<int> colChars_, rowLines_;
  int defColChars_ = 10, defRowLines_ = 1;
  QStringList colStrings_, rowStrings_;
};

}  // namespace dlvr
