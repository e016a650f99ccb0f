// The error list window: the rows of the data check, one per error, with
// repeated section, naming value and file name blanked, and the print
// command for the report.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <array>
#include <string>
#include <vector>

#include "components/cell_size_control.h"
#include "components/ext_grid.h"
#include "components/form_control.h"

namespace dlvr {

class TMdlTreeView;

class TfrmXMLErr : public QDialog {
  Q_OBJECT
 public:
  using TErrorRows = std::vector<std::array<std::string, 5>>;

  explicit TfrmXMLErr(QWidget* parent = nullptr);
  ~TfrmXMLErr() override;

  // The data check's result: "データは正常です。" for an empty list (0, no
  // window); otherwise the list in the window, shown modally.
  static int ShowErrors(QWidget* parent, TMdlTreeView& view);

  // Fills the grid with the errors (header row plus one row each).
  void Fill(const TErrorRows& errors);
  // The hint over a 分類名 or 項目名 longer than its column in bytes ("" for
  // none); the grid shows any other cut text whole as its own hint.
  QString CellHint(int col, int row) const;

  // Shows the one line above the list for a delivery of a later edition
  // ("" hides it).
  void SetEditionNotice(const QString& notice);

  QLabel* Label1 = nullptr;
  QLabel* lblEditionNotice = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QToolButton* tlbPrint = nullptr;
  QToolButton* tblClose = nullptr;
  TExtGrid3* Grid = nullptr;
  TCellSizeControl* cscErr = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QWidget* pnlBottom = nullptr;
  TFormControl* FMC = nullptr;

 private:
  // Resizing steps of one row of the grid (its shown height and line).
  void UpdateHeightStep();
  void tlbPrintClick();
  void GridSetCellAtr(int col, int row, TCellAtr& atr);

  TErrorRows errors_;
};

}  // namespace dlvr
