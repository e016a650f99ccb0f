// TfrmBaseInfo: the modal, read-only dialog "基礎情報" listing the base
// information of the loaded delivery's management file: media number and
// count, the folder names of the document classes and the software that
// wrote the delivery.
//
// Controls (object names): pnlGrid holding the grid grdBase (3 columns:
// category, item name, value; 18 rows with the header) sized by cscBase;
// over the category column the clipping panel pnlDispFxd holding
// pnlFixdShadow with the raised panels pnlFxdBase "基礎情報" (rows 1 … 12)
// and pnlFxdSoft "ソフトウェア\n情報" (rows 13 … 17), which scroll with the
// rows; the button panel pnlButton (41 px) with btnClose "閉じる"; FrmCtrl
// keeps the placement under the form name "frmBaseInfo".
//
// Values are wrapped into the value column at whole characters: a value
// wider than the column is cut into pieces of as many CP932 bytes as the
// column holds "0"s, one byte fewer where the last byte would split a
// double-byte character. A row shows only its own number of lines.
#pragma once

#include <QDialog>
#include <QStringList>

#include <array>

#include "components/cell_size_control.h"
#include "components/ext_grid.h"
#include "components/form_control.h"

class QLabel;
class QPushButton;

namespace dlvr {

class TMdlTreeView;

class TfrmBaseInfo : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDataRows = 17;
  static constexpr int kMinClientWidth = 733;
  static constexpr int kMinClientHeight = 406;
  static constexpr int kButtonPanelHeight = 41;

  TfrmBaseInfo(TMdlTreeView& model, QWidget* parent = nullptr);
  ~TfrmBaseInfo() override;

  // Creates the dialog, shows it modally and releases it.
  static void ShowBaseInfo(QWidget* parent, TMdlTreeView& model);

  // The text lines of a data row (1 … 17): 1, 2 or 3.
  static int RowLines(int row);
  // The label of a data row; "\r" separates its two lines.
  static QString RowLabel(int row);

  // The value as it is cut for a value column `width` pixels wide, in the
  // grid's font: every piece, before the row's line count applies.
  QStringList WrapValue(const QString& value, int width) const;
  // The 17 values as read from the management record.
  const std::array<QString, kDataRows>& Values() const { return values_; }

  QWidget* pnlGrid = nullptr;
  TExtGrid3* grdBase = nullptr;
  TCellSizeControl* cscBase = nullptr;
  QWidget* pnlDispFxd = nullptr;
  QWidget* pnlFixdShadow = nullptr;
  QLabel* pnlFxdBase = nullptr;
  QLabel* pnlFxdSoft = nullptr;
  QWidget* pnlButton = nullptr;
  QPushButton* btnClose = nullptr;
  QLabel* lblEdition = nullptr;  // the guideline edition of the delivery
  TFormControl* FrmCtrl = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void FormShow();
  void ReadValues();
  void WriteLabels();
  void WrapValues();
  void pnlGridResize();
  void grdBaseTopLeftChanged();
  void grdBaseSetCellAtr(int col, int row, TCellAtr& atr);

  TMdlTreeView& model_;
  std::array<QString, kDataRows> values_;
};

}  // namespace dlvr
