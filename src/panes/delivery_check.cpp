#include "panes/delivery_check.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "check/report_layout.h"
#include "components/drawing_canvas.h"
#include "components/grid_mode.h"
#include "components/legible_color.h"
#include "panes/list_window.h"
#include "delivery/prompts.h"

namespace dlvr {
namespace {

constexpr int kColumns = 5;
constexpr int kRowHeight = 16;
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

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The places a text takes in half-width characters (beyond ASCII: two).
int HalfWidthPlaces(const QString& text) {
  int places = 0;
  for (const QChar c : text) places += c.unicode() < 0x80 ? 1 : 2;
  return places;
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

QString CanonicalOrClean(const QString& path) {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
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
  Grid = AddListGrid(this, layout, kColumns, kRowHeight, ssBoth);

  cscFindings = new TCellSizeControl(this);
  cscFindings->setObjectName("cscFindings");
  cscFindings->SetStringGrid(Grid);
  cscFindings->SetDefaultRowLines(-kRowHeight);
  // The severity column fits its heading and the severities' names in the
  // language shown (「情報」 takes 4 half-width places, "Information" 11).
  int severityChars = 7;
  for (const QString& name : {ColumnHeaders().front(), Q(SeverityName(TSeverity::Error)),
                              Q(SeverityName(TSeverity::Warning)), Q(SeverityName(TSeverity::Info))})
    severityChars = std::max(severityChars, HalfWidthPlaces(name) + 1);
  cscFindings->SetEachColChars({severityChars, 8, 36, 20, 60});
  cscFindings->SetFixedColStrings(ColumnHeaders());
  cscFindings->Apply();

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(true);
  lblCount = new QLabel(StatusBar1);
  lblCount->setObjectName("lblCount");
  StatusBar1->addWidget(lblCount, 1);
  layout->addWidget(StatusBar1);

  Grid->OnSetCellAtr = [this](int col, int row, TCellAtr& atr) { GridSetCellAtr(col, row, atr); };
  Grid->OnSetWinCtrl = [](int, int, int, QWidget*& ctrl, QRect&, bool&) { ctrl = nullptr; };

  connect(tlbPrint, &QToolButton::clicked, this, &TfrmDeliveryCheck::tlbPrintClick);
  connect(tlbCsv, &QToolButton::clicked, this, [this] { ExportClick(false); });
  connect(tlbPdf, &QToolButton::clicked, this, [this] { ExportClick(true); });
  connect(tblClose, &QToolButton::clicked, this, &QDialog::reject);
  Grid->viewport()->installEventFilter(this);
  connect(Grid, &TExtGrid3::FontMetricsChanged, this, [this] {
    cscFindings->Apply();
    FitLastColumn();
  });

  int width = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
  for (int c = 0; c < kColumns; ++c) width += Grid->ColWidth(c) + Grid->GridLineWidth();
  setMinimumSize(480, 276);
  resize(width, 480);
}

TfrmDeliveryCheck::~TfrmDeliveryCheck() = default;

int TfrmDeliveryCheck::ShowFindings(QWidget* parent, const std::vector<TFinding>& findings,
                                    const QStringList& mediaFolders, bool stopped) {
  // Information alone (a PDF's page count) is no problem: the delivery is sound.
  if (!HasProblem(findings)) {
    Inform((stopped
                ? QCoreApplication::translate("TfrmDeliveryCheck",
                                              "電子納品チェックを中止しました。中止までに問題は見つかりませんでした。")
                : QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェックで問題は見つかりませんでした。"))
               .toStdString());
    return 0;
  }
  TfrmDeliveryCheck form(parent);
  form.Fill(findings, mediaFolders, stopped);
  return form.exec();
}

void TfrmDeliveryCheck::Fill(const std::vector<TFinding>& findings, const QStringList& mediaFolders, bool stopped) {
  findings_ = findings;
  mediaFolders_ = mediaFolders;
  stopped_ = stopped;
  setWindowTitle(QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェック") +
                 (stopped ? StoppedSuffix() : QString()));
  Label1->setText(
      stopped
          ? QCoreApplication::translate("TfrmDeliveryCheck",
                                        "電子納品チェックを中止しました。中止までに以下の問題が見つかりました。")
          : QCoreApplication::translate("TfrmDeliveryCheck", "電子納品チェックの結果、以下の問題が見つかりました。"));
  const int rows = static_cast<int>(findings.size()) + 1;
  Grid->SetRowCount(std::max(2, rows));
  for (int c = 0; c < kColumns; ++c) Grid->SetCell(c, 1, QString());
  for (int i = 1; i < rows; ++i) {
    const TFinding& f = findings[static_cast<std::size_t>(i - 1)];
    const QString cells[kColumns] = {Q(SeverityName(f.Severity)), Shown(f.Medium), Shown(f.Path), Shown(f.Rule),
                                     Shown(f.Found)};
    for (int c = 0; c < kColumns; ++c) Grid->SetCell(c, i, cells[c]);
  }
  // The rule column grows to the longest rule shown (English names run
  // longer than the Japanese ones it is sized for), up to 30 places.
  QList<int> chars = cscFindings->EachColChars();
  int ruleChars = chars.value(3);
  for (const TFinding& f : findings) ruleChars = std::max(ruleChars, std::min(30, HalfWidthPlaces(Q(f.Rule))));
  if (chars.size() > 3 && ruleChars != chars[3]) {
    chars[3] = ruleChars;
    cscFindings->SetEachColChars(chars);
    cscFindings->Apply();
    FitLastColumn();
  }
  lblCount->setText(Q(FindingCountText(findings)) + (stopped ? StoppedSuffix() : QString()));
  Grid->MoveTo(0, 1, false);
  Grid->SetTopRow(1);
  Grid->RefreshVertScrollBar();
  Grid->viewport()->update();
}

QString TfrmDeliveryCheck::ReportTitle() const { return ReportName() + (stopped_ ? StoppedSuffix() : QString()); }

void TfrmDeliveryCheck::GridSetCellAtr(int col, int row, TCellAtr& atr) {
  if (row == 0) {
    for (auto& l : atr.Line) l.Alignment = taCenter;
    return;
  }
  if (col == 1)
    for (auto& l : atr.Line) l.Alignment = taCenter;
  const std::size_t i = static_cast<std::size_t>(row - 1);
  if (col == 0 && i < findings_.size() && findings_[i].Severity == TSeverity::Error) {
    for (auto& l : atr.Line) {
      // Red on a light palette, a light red on a dark one.
      l.FontColor = IsDark(atr.Color) ? QColor(0xff, 0x6b, 0x6b) : QColor(0xC0, 0, 0);
      l.Font = Grid->font();
      l.Font.setBold(true);
    }
  }
}

bool TfrmDeliveryCheck::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Grid->viewport() && e->type() == QEvent::Resize) FitLastColumn();
  return QDialog::eventFilter(watched, e);
}

void TfrmDeliveryCheck::FitLastColumn() {
  const int last = kColumns - 1;
  int others = 0;
  for (int c = 0; c < last; ++c) others += Grid->ColWidth(c) + Grid->GridLineWidth();
  const int wanted = cscFindings->ColWidthFor(cscFindings->EachColChars().value(last));
  Grid->SetColWidth(last, std::max(wanted, Grid->ClientWidth() - others - Grid->GridLineWidth()));
}

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
  // The folder the file goes into, as it is reached on disk.
  const QString target = CanonicalOrClean(QFileInfo(path).absolutePath());
  for (const QString& folder : folders) {
    if (folder.isEmpty()) continue;
    QString f = CanonicalOrClean(folder);
    if (target == f) return true;
    if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
    if (target.startsWith(f)) return true;
  }
  return false;
}

bool TfrmDeliveryCheck::TargetAllowed(const QString& path) {
  if (!InsideFolders(path, mediaFolders_)) return true;
  Ask(QCoreApplication::translate("TfrmDeliveryCheck",
                                  "電子納品のフォルダには書き出せません。\r別の場所を選んでください。")
          .toStdString(),
      MsgIcon::Warning, MsgButtons::Ok, DialogAnswer::Ok);
  return false;
}

bool TfrmDeliveryCheck::ExportCsv(const QString& path) {
  if (!TargetAllowed(path)) return false;
  // Written beside the file and renamed over it: an old file stays whole
  // when writing fails, and a link is replaced, never written through.
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(FindingsCsv(findings_)) >= 0 && file.commit()) {
    StatusBar1->showMessage(
        QCoreApplication::translate("TfrmDeliveryCheck", "%1 に書き出しました。").arg(QDir::toNativeSeparators(path)),
        5000);
    return true;
  }
  Ask(QCoreApplication::translate("TfrmDeliveryCheck", "ファイルに書き出せませんでした。\r%1").arg(path).toStdString(),
      MsgIcon::Error, MsgButtons::Ok, DialogAnswer::Ok);
  return false;
}

bool TfrmDeliveryCheck::ExportPdf(const QString& path) {
  if (!TargetAllowed(path)) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = WriteReportPdf(path, LayoutFindingReport(findings_, stopped_), ReportTitle());
  QApplication::restoreOverrideCursor();
  if (ok) {
    StatusBar1->showMessage(
        QCoreApplication::translate("TfrmDeliveryCheck", "%1 に書き出しました。").arg(QDir::toNativeSeparators(path)),
        5000);
    return true;
  }
  Ask(QCoreApplication::translate("TfrmDeliveryCheck", "ファイルに書き出せませんでした。\r%1").arg(path).toStdString(),
      MsgIcon::Error, MsgButtons::Ok, DialogAnswer::Ok);
  return false;
}

void TfrmDeliveryCheck::ExportClick(bool pdf) {
  const QString caption = pdf ? QCoreApplication::translate("TfrmDeliveryCheck", "PDF 出力")
                              : QCoreApplication::translate("TfrmDeliveryCheck", "CSV 出力");
  // Suggested in the home folder: never beside the delivery.
  const QString suggested =
      QDir::home().filePath(ReportName() + (pdf ? QStringLiteral(".pdf") : QStringLiteral(".csv")));
  const QString filter = pdf ? QStringLiteral("PDF (*.pdf)") : QStringLiteral("CSV (*.csv)");
  const QString path = AskSavePath ? AskSavePath(this, caption, suggested, filter)
                                   : QFileDialog::getSaveFileName(this, caption, suggested, filter);
  if (path.isEmpty()) return;
  if (pdf)
    ExportPdf(path);
  else
    ExportCsv(path);
}

bool TfrmDeliveryCheck::PrintOn(QPrinter& printer) {
  if (findings_.empty()) return false;
  // Printing to a file is writing a PDF: outside the delivery, beside the
  // file and renamed over it.
  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
    return ExportPdf(printer.outputFileName());
  printer.setDocName(ReportTitle());
  printer.setFullPage(true);  // positions count from the paper's corner
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  if (!PaintReportPages(printer, LayoutFindingReport(findings_, stopped_))) {
    printer.abort();
    return false;
  }
  return true;
}

void TfrmDeliveryCheck::tlbPrintClick() {
  if (findings_.empty()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  PrintOn(printer);
  QApplication::restoreOverrideCursor();
}

}  // namespace dlvr
