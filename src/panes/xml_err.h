// The error list window: the rows of the data check, one per error, with
// repeated section, naming value and file name blanked, and the print
// command for the report. The list sorts, filters and groups by state
// (components/finding_list.h); double-click or Enter on a row reports it
// (FindingActivated) for the main window to show. The window is modeless
// and sizeable; one per main window, its placement kept under
// WinPos\frmXMLErr.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <array>
#include <string>
#include <vector>

#include "check/finding_target.h"
#include "components/finding_list.h"
#include "components/form_control.h"

namespace dlvr {

class TMdlTreeView;

class TfrmXMLErr : public QDialog {
  Q_OBJECT
 public:
  using TErrorRows = std::vector<std::array<std::string, 5>>;

  explicit TfrmXMLErr(QWidget* parent = nullptr);
  ~TfrmXMLErr() override;

  // The data check's result: "データは正常です。" for an empty list (null,
  // and a window still open from an earlier check closes); otherwise the
  // list in the parent's window (made when it has none, refilled and brought
  // to the front when it has), shown without blocking the parent.
  static TfrmXMLErr* ShowErrors(QWidget* parent, TMdlTreeView& view);

  // Fills the list with the errors, numbered from 1.
  void Fill(const TErrorRows& errors);
  const TErrorRows& Errors() const { return errors_; }

  // Shows the one line above the list for a delivery of a later edition
  // ("" hides it).
  void SetEditionNotice(const QString& notice);

  QLabel* Label1 = nullptr;
  QLabel* lblEditionNotice = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QToolButton* tlbPrint = nullptr;
  QToolButton* tblClose = nullptr;
  TFindingList* List = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QWidget* pnlBottom = nullptr;
  TFormControl* FMC = nullptr;

 signals:
  // Double-click or Enter on an error: the row and its texts.
  void FindingActivated(const dlvr::TFindingRef& finding);

 private:
  void tlbPrintClick();

  TErrorRows errors_;
};

}  // namespace dlvr
