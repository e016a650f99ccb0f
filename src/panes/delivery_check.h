// The findings window of the full delivery check: one row per finding with
// its severity (errors in red), medium, file or folder, rule and what was
// found, the counts in the status bar, and the commands that print the
// findings or write them as CSV or PDF outside the delivery.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <QStringList>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <vector>

#include "check/extended_check.h"
#include "components/cell_size_control.h"
#include "components/ext_grid.h"

class QPrinter;

namespace dlvr {

class TfrmDeliveryCheck : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmDeliveryCheck(QWidget* parent = nullptr);
  ~TfrmDeliveryCheck() override;

  // The check's result: "電子納品チェックで問題は見つかりませんでした。" for
  // no errors or warnings (0, no window; information alone is no problem);
  // otherwise the findings in the window, shown modally. `mediaFolders`: the loaded media, which files never go into.
  // `stopped`: the user stopped the check, the findings are those made
  // until then; the message, the caption, the heading and the count line
  // say so.
  static int ShowFindings(QWidget* parent, const std::vector<TFinding>& findings, const QStringList& mediaFolders,
                          bool stopped = false);

  // The file chosen to write to ("" when none); the save dialog unless a
  // test sets it.
  static inline std::function<QString(QWidget*, const QString& caption, const QString& suggested,
                                      const QString& filter)>
      AskSavePath;

  // Fills the grid (header row plus one row each) and the counts.
  void Fill(const std::vector<TFinding>& findings, const QStringList& mediaFolders = {}, bool stopped = false);

  // The findings as CSV: a header row, fields quoted where needed, CR LF
  // after every record, UTF-8 after a byte order mark. A field that a
  // spreadsheet would take for a formula (=, +, -, @ first) gets a leading
  // apostrophe.
  static QByteArray FindingsCsv(const std::vector<TFinding>& findings);
  // Whether `path` lies in one of the media folders (or is one), after
  // following links as far as they exist.
  static bool InsideFolders(const QString& path, const QStringList& folders);

  // The export commands with a given target: false (after a message) for a
  // target in the delivery or a file that could not be written.
  bool ExportCsv(const QString& path);
  bool ExportPdf(const QString& path);
  // Prints the report on a printer set up by the print dialog; printing to
  // a PDF file is ExportPdf of that file.
  bool PrintOn(QPrinter& printer);

  QLabel* Label1 = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QToolButton* tlbPrint = nullptr;
  QToolButton* tlbCsv = nullptr;
  QToolButton* tlbPdf = nullptr;
  QToolButton* tblClose = nullptr;
  TExtGrid3* Grid = nullptr;
  TCellSizeControl* cscFindings = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* lblCount = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void GridSetCellAtr(int col, int row, TCellAtr& atr);
  // The last column takes the width the others leave.
  void FitLastColumn();
  void tlbPrintClick();
  void ExportClick(bool pdf);
  // Refuses (with a message) a target in the delivery.
  bool TargetAllowed(const QString& path);

  // The title of the printed and written report.
  QString ReportTitle() const;

  std::vector<TFinding> findings_;
  QStringList mediaFolders_;
  bool stopped_ = false;
};

}  // namespace dlvr
