// The construction information pane and the item information pane: one row
// per field value, beside its label, need mark, representation and length.
#pragma once

#include <QComboBox>

#include <functional>
#include <string>
#include <vector>

#include "components/cell_size_control.h"
#include "components/ext_grid.h"
#include "check/tree_ini.h"
#include "delivery/records.h"
#include "panes/pane.h"

class QGroupBox;
class QLabel;

namespace dlvr {

// While the delivery is compared with an earlier one: the earlier value of a
// field of `item` (null: the construction information) named as the
// comparison names it ("打合せ簿名称", "工種[2]", "オリジナルファイル情報[1] /
// オリジナルファイル内容"); false when that field did not change.
using TOldValueFn = std::function<bool(const TTreeItem* item, const std::string& field, std::string& old)>;

// A field's value as a cell of any pane shows it: "old → new" where
// `oldValueOf` knows an earlier value under `field` (or `alt`, when given),
// a dash for an empty side; else the value itself.
QString ComparedValue(const TOldValueFn& oldValueOf, const TTreeItem* item, const std::string& value,
                      const std::string& field, const std::string& alt = std::string());

// The line over a pane that shows a record the delivery no longer has
// (object name lblCompareRemoved): the values below are the earlier
// delivery's, greyed. Hidden until a removed record is shown.
QLabel* MakeRemovedRecordNote(QWidget* parent);
// The text colour of such values in a grid: grey, as the tree greys the
// record's item.
QColor RemovedValueColor(const QWidget* grid);

// What both panes share: the six-column grid, its sizes, the row lists and
// the cell colours. The grid's vertical scroll bar is always shown (disabled
// while there is nothing to scroll), and the value column takes the width
// the other columns leave beside it.
class TInfoPaneBase : public TPane {
  Q_OBJECT
 public:
  TInfoPaneBase(TViewerModel& model, QWidget* parent);

  TExtGrid3* Grid = nullptr;
  TCellSizeControl* cscInfo = nullptr;
  // Per data row (index row - 1): 0 the MaxLength, 1 the value's line count,
  // 2 unused; -1 when not set.
  std::vector<int> RowLists[3];
  // While the delivery is compared with an earlier one: a changed field's
  // value shows as "old → new" (ComparedValue).
  TOldValueFn OldValueOf;
  // Characters per line of the value column at the last fill.
  int LineChars() const { return lineChars_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;
  // The width of the value column (the pane's width less the grid's frame,
  // the scroll bar and the other shown columns with their grid lines) and
  // the characters per line it holds.
  void SizeValueColumn();
  void ResetRows(int dataRows);
  // Fills the label cells of a row and sizes it by the value's byte length.
  void FillLabels(int row, const std::string& tag, const std::string& info, const std::string& mask, long maxLength,
                  const std::string& needs);
  void SetCellAtr(int col, int row, TCellAtr& atr);
  void FinishFill();
  // While a removed record is shown: its values greyed.
  bool removedShown_ = false;
  // A field's value as its cell shows it: "old → new" where OldValueOf
  // knows an earlier value under `field` (or `alt`, when given).
  QString ShownValue(const TTreeItem* item, const std::string& value, const std::string& field,
                     const std::string& alt = std::string()) const;
  int lineChars_ = 15;
};

class TfrmKojInfo : public TInfoPaneBase {
  Q_OBJECT
 public:
  explicit TfrmKojInfo(TViewerModel& model, QWidget* parent = nullptr);
  // Rebuilds every row from the construction information table, and the
  // panel of unknown elements from the store.
  void Fill();
  void Refresh() override { Fill(); }
  void ShowNode(TTreeItem* item) override { current_ = item; }

  // Below the rows, only while INDEX_C.XML holds elements no row shows: the
  // panel "読み込み対象外の項目" with a grid of their paths and values
  // (both columns selectable; a cut text shows whole as the cell's hint),
  // and a line telling how many more there are when the list is bounded.
  QGroupBox* grpUnknown = nullptr;
  QLabel* lblUnknownOmitted = nullptr;
  TExtGrid3* grdUnknown = nullptr;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void FillUnknown();
  // The path column takes two fifths of the grid, the value the rest.
  void FitUnknownColumns();
  std::vector<TUnknownElement> unknownShown_;
};

class TfrmInfo : public TInfoPaneBase {
  Q_OBJECT
 public:
  explicit TfrmInfo(TViewerModel& model, QWidget* parent = nullptr);
  // Shows an item (null: the item shown last).
  void Fill(TTreeItem* item);
  void ShowNode(TTreeItem* item) override;
  void Refresh() override { Fill(nullptr); }
  // Shows a record the delivery no longer has: record `number` of `table`
  // (the earlier delivery's values), greyed under lblCompareRemoved, until
  // an item is shown again.
  void ShowRemoved(TTreeIni* table, int number);
  bool ShowingRemoved() const { return removedShown_; }

  QComboBox* cbxInfo = nullptr;
  QLabel* lblCompareRemoved = nullptr;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  // The rows of record `number` of `table`; a changed value as "old → new"
  // when `item` is given.
  void FillRows(TTreeIni* table, int number, const TTreeItem* item);
  TTreeIni* removedTable_ = nullptr;
  int removedNumber_ = -1;
};

}  // namespace dlvr
