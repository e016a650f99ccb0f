// The findings window of the full delivery check: one row per finding with
// its severity (errors in red), medium, file or folder, rule and what was
// found, the counts in the status bar, and the commands that print the
// findings or write them as CSV or PDF outside the delivery. The list
// sorts, filters and groups by rule (components/finding_list.h);
// double-click or Enter on a finding reports it (FindingActivated) for the
// main window to show. The window is modeless and sizeable; one per main
// window, its placement kept under WinPos\frmDeliveryCheck.
//
// TFindingExport is the print, CSV and PDF part on its own, which the photo
// window uses for its findings too.
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
#include "check/finding_target.h"
#include "components/finding_list.h"

class QPrinter;

namespace dlvr {

class TFormControl;

// Prints findings or writes them as CSV or PDF, never into the delivery.
// The report is the delivery check's layout under `Title` (the title on
// its pages replaced when it is not the delivery check's).
struct TFindingExport {
  std::vector<TFinding> Findings;
  QStringList MediaFolders;  // the loaded media, which files never go into
  bool Stopped = false;
  QString Name;  // the report's title and the name a written one is offered under ("" the delivery check's)
  QWidget* Parent = nullptr;  // of the dialogs
  QStatusBar* Status = nullptr;  // told where a file was written

  // The report's title, with the stopped note.
  QString Title() const;
  bool ExportCsv(const QString& path) const;
  bool ExportPdf(const QString& path) const;
  bool PrintOn(QPrinter& printer) const;
  // The commands: the print dialog, the save dialog.
  void PrintClick() const;
  void ExportClick(bool pdf) const;

 private:
  bool TargetAllowed(const QString& path) const;
};

class TfrmDeliveryCheck : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmDeliveryCheck(QWidget* parent = nullptr);
  ~TfrmDeliveryCheck() override;

  // The check's result: "電子納品チェックで問題は見つかりませんでした。" for
  // no errors or warnings (null, no window, and one still open from an
  // earlier check closes; information alone is no problem); otherwise the
  // findings in the parent's window (made when it has none, refilled and
  // brought to the front when it has), shown without blocking the parent.
  // `mediaFolders`: the loaded media, which files never go into.
  // `stopped`: the user stopped the check, the findings are those made
  // until then; the message, the caption, the heading and the count line
  // say so.
  static TfrmDeliveryCheck* ShowFindings(QWidget* parent, const std::vector<TFinding>& findings,
                                         const QStringList& mediaFolders, bool stopped = false);

  // The file chosen to write to ("" when none); the save dialog unless a
  // test sets it.
  static inline std::function<QString(QWidget*, const QString& caption, const QString& suggested,
                                      const QString& filter)>
      AskSavePath;

  // Fills the list (one row each) and the counts.
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
  TFindingList* List = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* lblCount = nullptr;
  TFormControl* FMC = nullptr;

  const std::vector<TFinding>& Findings() const { return export_.Findings; }

 signals:
  // Double-click or Enter on a finding.
  void FindingActivated(const dlvr::TFindingRef& finding);

 private:
  TFindingExport export_;
};

}  // namespace dlvr
