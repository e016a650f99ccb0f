#include "panes/delivery_check.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "check/report_layout.h"
#include "components/drawing_canvas.h"
#include "components/form_control.h"
#include "components/qt_string.h"
#include "components/write_guard.h"
#include "panes/list_window.h"
#include "delivery/prompts.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

constexpr int kColumns = 5;
constexpr int kMinWidth = 480;
constexpr int kMinHeight = 276;
// Said wherever the findings are those made until the user stopped the check
// (the note the report's count line ends with).
QString StoppedSuffix() { return QString::fromStdString(StoppedNote()); }
// The title of the report, and the name a written one is offered under.
QString ReportName() { return QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェック結果"); }
// The grid's column headers, which the CSV's header row repeats.
QStringList ColumnHeaders() {
  return {QCoreApplication::translate("TfrmDeliveryCheck", "重要度"),
          QCoreApplication::translate("TfrmDeliveryCheck", "メディア"),
          QCoreApplication::translate("TfrmDeliveryCheck", "ファイル・フォルダ"),
          QCoreApplication::translate("TfrmDeliveryCheck", "規則"),
          QCoreApplication::translate("TfrmDeliveryCheck", "内容")};
}

// A cell shows control characters (a tab or line break in a file name) as
// spaces; the CSV keeps them.
QString Shown(const std::string& s) {
  QString out = Q(s);
  for (QChar& c : out)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
  return out;
}

QString CsvField(QString s) {
  if (!s.isEmpty() && QStringLiteral("=+-@").contains(s.front())) s.prepend(QLatin1Char('\''));
  if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\r')) &&
      !s.contains(QLatin1Char('\n')))
    return s;
  s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + s + QLatin1Char('"');
}

}  // namespace

TfrmDeliveryCheck::TfrmDeliveryCheck(QWidget* parent) : QDialog(parent) {
  setObjectName("frmDeliveryCheck");
  setWindowTitle(QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェック"));
  setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Label1 = AddListHeading(
      this, layout,
      QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェックの結果、以下の問題が見つかりました。"));
  ToolBar1 = AddListToolBar(this, layout);
  tlbPrint = AddListButton(ToolBar1, "tlbPrint", QCoreApplication::translate("TfrmDeliveryCheck", "    印刷    "),
                           QCoreApplication::translate("TfrmDeliveryCheck", "印刷 (Ctrl+P)"));
  tlbPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  tlbCsv = AddListButton(ToolBar1, "tlbCsv", QCoreApplication::translate("TfrmDeliveryCheck", "CSV 出力"),
                         QCoreApplication::translate("TfrmDeliveryCheck", "CSV ファイルに書き出します"));
  tlbPdf = AddListButton(ToolBar1, "tlbPdf", QCoreApplication::translate("TfrmDeliveryCheck", "PDF 出力"),
                         QCoreApplication::translate("TfrmDeliveryCheck", "PDF ファイルに書き出します"));
  ToolBar1->addSeparator();
  tblClose = AddListButton(ToolBar1, "tblClose", QCoreApplication::translate("TfrmDeliveryCheck", "閉じる"),
                           QCoreApplication::translate("TfrmDeliveryCheck", "閉じる"));

  List = new TFindingList(this);
  TFindingColumns columns;
  columns.Headers = ColumnHeaders();
  columns.Severity = 0;
  columns.Medium = 1;
  columns.Rule = 3;
  columns.PathColumns = {2};
  columns.SeverityNames = {Q(SeverityName(TSeverity::Error)), Q(SeverityName(TSeverity::Warning)),
                           Q(SeverityName(TSeverity::Info))};
  List->SetColumns(columns);
  layout->addWidget(List, 1);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(true);
  lblCount = new QLabel(StatusBar1);
  lblCount->setObjectName("lblCount");
  StatusBar1->addWidget(lblCount, 1);
  layout->addWidget(StatusBar1);

  export_.Parent = this;
  export_.Status = StatusBar1;
  connect(tlbPrint, &QToolButton::clicked, this, [this] { export_.PrintClick(); });
  connect(tlbCsv, &QToolButton::clicked, this, [this] { export_.ExportClick(false); });
  connect(tlbPdf, &QToolButton::clicked, this, [this] { export_.ExportClick(true); });
  connect(tblClose, &QToolButton::clicked, this, &QDialog::reject);
  connect(List, &TFindingList::Activated, this, [this](int row) {
    if (row >= 0 && row < static_cast<int>(export_.Findings.size()))
      emit FindingActivated(TFindingRef::OfDelivery(export_.Findings[static_cast<std::size_t>(row)]));
  });

  resize(std::max(kMinWidth, List->WantedWidth()), 480);
  FMC = new TFormControl(this);
  FMC->setObjectName("FMC");
  FMC->MinClientWidth = kMinWidth;
  FMC->MinClientHeight = kMinHeight;
  FMC->MaxClientWidth = FMC->MaxClientHeight = 0;
  FMC->ApplyLimits();
}

TfrmDeliveryCheck::~TfrmDeliveryCheck() = default;

TfrmDeliveryCheck* TfrmDeliveryCheck::ShowFindings(QWidget* parent, const std::vector<TFinding>& findings,
                                                   const QStringList& mediaFolders, bool stopped) {
  TfrmDeliveryCheck* form =
      parent ? parent->findChild<TfrmDeliveryCheck*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  // Information alone (a PDF's page count) is no problem: the delivery is sound.
  if (!HasProblem(findings)) {
    if (form) form->close();  // what an earlier check found is gone
    Inform((stopped
                ? QCoreApplication::translate("TfrmDeliveryCheck",
                                              "電子納品チェックを中止しました。中止までに問題は見つかりませんでした。")
                : QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェックで問題は見つかりませんでした。"))
               .toStdString());
    return nullptr;
  }
  const bool made = !form;
  if (made) {
    form = new TfrmDeliveryCheck(parent);
    form->setAttribute(Qt::WA_DeleteOnClose);
  }
  form->Fill(findings, mediaFolders, stopped);
  if (made) {
    // Every column whole, within the screen.
    const QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    const int most = screen ? screen->availableGeometry().width() * 9 / 10 : form->width();
    form->resize(std::max(kMinWidth, std::min(form->List->WantedWidth(), most)), form->height());
  }
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

void TfrmDeliveryCheck::Fill(const std::vector<TFinding>& findings, const QStringList& mediaFolders, bool stopped) {
  export_.Findings = findings;
  export_.MediaFolders = mediaFolders;
  export_.Stopped = stopped;
  setWindowTitle(QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェック") +
                 (stopped ? StoppedSuffix() : QString()));
  Label1->setText(
      stopped
          ? QCoreApplication::translate("TfrmDeliveryCheck",
                                        "電子納品チェックを中止しました。中止までに以下の問題が見つかりました。")
          : QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェックの結果、以下の問題が見つかりました。"));
  std::vector<TFindingRow> rows;
  rows.reserve(findings.size());
  for (const TFinding& f : findings) {
    TFindingRow row;
    row.Cells = QStringList{Q(SeverityName(f.Severity)), Shown(f.Medium), Shown(f.Path), Shown(f.Rule), Shown(f.Found)};
    row.Severity = static_cast<int>(f.Severity);
    rows.push_back(std::move(row));
  }
  List->SetRows(std::move(rows));
  lblCount->setText(Q(FindingCountText(findings)) + (stopped ? StoppedSuffix() : QString()));
}

bool TfrmDeliveryCheck::ExportCsv(const QString& path) { return export_.ExportCsv(path); }
bool TfrmDeliveryCheck::ExportPdf(const QString& path) { return export_.ExportPdf(path); }
bool TfrmDeliveryCheck::PrintOn(QPrinter& printer) { return export_.PrintOn(printer); }

QByteArray TfrmDeliveryCheck::FindingsCsv(const std::vector<TFinding>& findings) {
  // The header row as the window's (the file is for people to read).
  QString text;
  for (const QString& header : ColumnHeaders()) {
    if (!text.isEmpty()) text += QLatin1Char(',');
    text += CsvField(header);
  }
  text += QStringLiteral("\r\n");
  for (const TFinding& f : findings) {
    const QString fields[] = {Q(SeverityName(f.Severity)), Q(f.Medium), Q(f.Path), Q(f.Rule), Q(f.Found)};
    for (int c = 0; c < kColumns; ++c) {
      if (c > 0) text += QLatin1Char(',');
      text += CsvField(fields[c]);
    }
    text += QStringLiteral("\r\n");
  }
  return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool TfrmDeliveryCheck::InsideFolders(const QString& path, const QStringList& folders) {
  return PathInsideFolders(path, folders);
}

QString TFindingExport::Title() const {
  return (Name.isEmpty() ? ReportName() : Name) + (Stopped ? StoppedSuffix() : QString());
}

bool TFindingExport::TargetAllowed(const QString& path) const {
  if (!TfrmDeliveryCheck::InsideFolders(path, MediaFolders)) return true;
  Ask(QCoreApplication::translate("TfrmDeliveryCheck",
                                  "電子納品のフォルダには書き出せません。\r別の場所を選んでください。")
          .toStdString(),
      MsgIcon::Warning, MsgButtons::Ok, DialogAnswer::Ok);
  return false;
}

namespace {

// The report's pages under a title of its own (the delivery check's
// stays as laid out).
std::vector<TReportPage> ReportPages(const TFindingExport& e) {
  std::vector<TReportPage> pages = LayoutFindingReport(e.Findings, e.Stopped);
  if (e.Name.isEmpty()) return pages;
  const std::string own = Tr("ReportLayout", "電子納品チェック結果");
  for (TReportPage& page : pages)
    for (auto& text : page.Texts)
      if (text.Text == own) text.Text = e.Name.toStdString();
  return pages;
}

void Written(const TFindingExport& e, const QString& path) {
  if (e.Status)
    e.Status->showMessage(
        QCoreApplication::translate("TfrmDeliveryCheck", "%1 に書き出しました。").arg(QDir::toNativeSeparators(path)),
        5000);
}

void NotWritten(const QString& path) {
  Ask(QCoreApplication::translate("TfrmDeliveryCheck", "ファイルに書き出せませんでした。\r%1").arg(path).toStdString(),
      MsgIcon::Error, MsgButtons::Ok, DialogAnswer::Ok);
}

}  // namespace

bool TFindingExport::ExportCsv(const QString& path) const {
  if (!TargetAllowed(path)) return false;
  // Written beside the file and renamed over it: an old file stays whole
  // when writing fails, and a link is replaced, never written through.
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(TfrmDeliveryCheck::FindingsCsv(Findings)) >= 0 && file.commit()) {
    Written(*this, path);
    return true;
  }
  NotWritten(path);
  return false;
}

bool TFindingExport::ExportPdf(const QString& path) const {
  if (!TargetAllowed(path)) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = WriteReportPdf(path, ReportPages(*this), Title());
  QApplication::restoreOverrideCursor();
  if (ok) {
    Written(*this, path);
    return true;
  }
  NotWritten(path);
  return false;
}

void TFindingExport::ExportClick(bool pdf) const {
  const QString caption = pdf ? QCoreApplication::translate("TfrmDeliveryCheck", "PDF 出力")
                              : QCoreApplication::translate("TfrmDeliveryCheck", "CSV 出力");
  // Suggested in the home folder: never beside the delivery.
  const QString suggested = QDir::home().filePath((Name.isEmpty() ? ReportName() : Name) +
                                                  (pdf ? QStringLiteral(".pdf") : QStringLiteral(".csv")));
  const QString filter = pdf ? QStringLiteral("PDF (*.pdf)") : QStringLiteral("CSV (*.csv)");
  const QString path = TfrmDeliveryCheck::AskSavePath
                           ? TfrmDeliveryCheck::AskSavePath(Parent, caption, suggested, filter)
                           : QFileDialog::getSaveFileName(Parent, caption, suggested, filter);
  if (path.isEmpty()) return;
  if (pdf)
    ExportPdf(path);
  else
    ExportCsv(path);
}

bool TFindingExport::PrintOn(QPrinter& printer) const {
  if (Findings.empty()) return false;
  // Printing to a file is writing a PDF: outside the delivery, beside the
  // file and renamed over it.
  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
    return ExportPdf(printer.outputFileName());
  printer.setDocName(Title());
  printer.setFullPage(true);  // positions count from the paper's corner
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  if (!PaintReportPages(printer, ReportPages(*this))) {
    printer.abort();
    return false;
  }
  return true;
}

void TFindingExport::PrintClick() const {
  if (Findings.empty()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  QPrintDialog dialog(&printer, Parent);
  if (dialog.exec() != QDialog::Accepted) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  PrintOn(printer);
  QApplication::restoreOverrideCursor();
}

}  // namespace dlvr

#include "moc_delivery_check.cpp"
