#include "panes/photo_view.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <algorithm>

#include "components/qt_string.h"
#include "delivery/prompts.h"
#include "panes/delivery_check.h"

#include "panes/photo_view_internal.h"

// The photo window's ledger (写真帳): which photos (every one, those the
// grid shows, those selected), how many a page, a group on a new page, the
// reference drawing's box; printed with a preview or written as PDF, never
// into the delivery.

namespace dlvr {

using namespace photo_view_detail;

QWidget* TfrmPhotoView::BuildLedgerBar(QWidget* parent) {
  auto* bar = new QWidget(parent);
  bar->setObjectName("pnlLedger");
  // The bar never widens the grid's pane: a narrow pane cuts it at the right.
  bar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  auto* h = new QHBoxLayout(bar);
  h->setContentsMargins(0, 0, 0, 0);
  h->addWidget(MakeLabel(bar, "lblLedger", QCoreApplication::translate("TfrmPhotoView", "写真帳:")));
  cbxLedgerScope = new QComboBox(bar);
  cbxLedgerScope->setObjectName("cbxLedgerScope");
  cbxLedgerScope->addItems({QCoreApplication::translate("TfrmPhotoView", "すべての写真"),
                            QCoreApplication::translate("TfrmPhotoView", "表示中の写真"),
                            QCoreApplication::translate("TfrmPhotoView", "選択した写真")});
  cbxLedgerPerPage = new QComboBox(bar);
  cbxLedgerPerPage->setObjectName("cbxLedgerPerPage");
  for (int n : {2, 3, 4}) cbxLedgerPerPage->addItem(QCoreApplication::translate("TfrmPhotoView", "1ページ %1 枚").arg(n), n);
  cbxLedgerPerPage->setCurrentIndex(1);
  chkLedgerGroupPage = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "グループごとに改ページ"), bar);
  chkLedgerGroupPage->setObjectName("chkLedgerGroupPage");
  chkLedgerDrawing = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "参考図を載せる"), bar);
  chkLedgerDrawing->setObjectName("chkLedgerDrawing");
  auto button = [&](const char* name, const QString& text, const QString& tip) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    return b;
  };
  tlbLedgerPrint = button("tlbLedgerPrint", QCoreApplication::translate("TfrmPhotoView", "印刷"),
                          QCoreApplication::translate("TfrmPhotoView", "写真帳を印刷します（印刷プレビュー）"));
  tlbLedgerPdf = button("tlbLedgerPdf", QCoreApplication::translate("TfrmPhotoView", "PDF 出力"),
                        QCoreApplication::translate("TfrmPhotoView", "写真帳を PDF ファイルに書き出します"));
  for (QWidget* w : std::initializer_list<QWidget*>{cbxLedgerScope, cbxLedgerPerPage, chkLedgerGroupPage,
                                                    chkLedgerDrawing, tlbLedgerPrint, tlbLedgerPdf})
    h->addWidget(w);
  h->addStretch(1);
  connect(tlbLedgerPrint, &QToolButton::clicked, this, [this] { LedgerPrintClick(); });
  connect(tlbLedgerPdf, &QToolButton::clicked, this, [this] { LedgerPdfClick(); });
  return bar;
}

std::vector<int> TfrmPhotoView::LedgerRecords() const {
  std::vector<int> rows;
  if (!store_) return rows;
  switch (cbxLedgerScope->currentIndex()) {
    case 0:
      for (int i = 0; i < index_.Count(); ++i) rows.push_back(i);
      break;
    case 1:
      rows = listModel_->Rows();
      break;
    default:
      for (const QModelIndex& i : lvwPhotos->selectionModel()->selectedIndexes()) rows.push_back(listModel_->RecordAt(i.row()));
      break;
  }
  index_.SortGrouped(rows, static_cast<TPhotoSort>(std::max(0, cbxSort->currentIndex())));
  return rows;
}

TPhotoLedgerOptions TfrmPhotoView::LedgerOptions() const {
  TPhotoLedgerOptions o;
  o.PerPage = cbxLedgerPerPage->currentData().toInt();
  o.GroupPerPage = chkLedgerGroupPage->isChecked();
  o.DrawingBox = chkLedgerDrawing->isChecked();
  const DeliveryStore& store = model_.View.Store();
  if (store.IndexRecords.size() > fkIndex) {
    o.ProjectName = Q(store.IndexRecords[fkIndex].KojiName);
    o.ProjectNumber = Q(store.IndexRecords[fkIndex].KojiNo);
  }
  return o;
}

QStringList TfrmPhotoView::LedgerMediaFolders() const {
  QStringList folders;
  if (!model_.View.MediaFolder().empty()) folders << Q(model_.View.MediaFolder());
  for (const auto& m : model_.View.ReachableMedia()) folders << Q(m.Folder);
  return folders;
}

bool TfrmPhotoView::WriteLedger(const QString& path) {
  const std::vector<int> rows = LedgerRecords();
  if (!store_ || rows.empty()) return false;
  if (TfrmDeliveryCheck::InsideFolders(path, LedgerMediaFolders())) {
    Ask(QCoreApplication::translate("TfrmPhotoView", "電子納品のフォルダには書き出せません。\r別の場所を選んでください。")
            .toStdString(),
        MsgIcon::Warning, MsgButtons::Ok, DialogAnswer::Ok);
    return false;
  }
  TPhotoLedgerOptions options = LedgerOptions();
  QProgressDialog progress(QCoreApplication::translate("TfrmPhotoView", "写真帳を書き出しています..."),
                           QCoreApplication::translate("TfrmPhotoView", "中止"), 0, 100, this);
  progress.setObjectName("dlgLedgerProgress");
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  options.Progress = [&progress](int done, int pages) {
    progress.setMaximum(pages);
    progress.setValue(done);
    return !progress.wasCanceled();
  };
  const TPhotoLedgerResult result = WritePhotoLedgerPdf(path, *store_, index_, rows, options);
  progress.reset();
  if (!result.Written && !progress.wasCanceled())
    Ask(QCoreApplication::translate("TfrmPhotoView", "ファイルに書き出せませんでした。\r%1").arg(path).toStdString(),
        MsgIcon::Error, MsgButtons::Ok, DialogAnswer::Ok);
  return result.Written;
}

void TfrmPhotoView::LedgerPdfClick() {
  if (LedgerRecords().empty()) return;
  const QString caption = QCoreApplication::translate("TfrmPhotoView", "写真帳の PDF 出力");
  // Suggested in the home folder: never beside the delivery.
  const QString suggested = QDir::home().filePath(QCoreApplication::translate("TfrmPhotoView", "写真帳") + ".pdf");
  const QString filter = QStringLiteral("PDF (*.pdf)");
  const QString path = TfrmDeliveryCheck::AskSavePath ? TfrmDeliveryCheck::AskSavePath(this, caption, suggested, filter)
                                                      : QFileDialog::getSaveFileName(this, caption, suggested, filter);
  if (!path.isEmpty()) WriteLedger(path);
}

namespace {

// The most photos the print preview takes: it keeps every page it shows,
// images and all, so a larger ledger goes to the print dialog alone and is
// printed a page at a time.
constexpr std::size_t kLedgerPreviewLimit = 150;

}  // namespace

void TfrmPhotoView::LedgerPrintClick() {
  const std::vector<int> rows = LedgerRecords();
  if (!store_ || rows.empty()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QCoreApplication::translate("TfrmPhotoView", "写真帳"));
  printer.setFullPage(true);  // positions count from the paper's corner
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  if (rows.size() > kLedgerPreviewLimit) {
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
      WriteLedger(printer.outputFileName());
      return;
    }
    TPhotoLedgerOptions options = LedgerOptions();
    QProgressDialog progress(QCoreApplication::translate("TfrmPhotoView", "写真帳を印刷しています..."),
                             QCoreApplication::translate("TfrmPhotoView", "中止"), 0, 100, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    options.Progress = [&progress](int done, int pages) {
      progress.setMaximum(pages);
      progress.setValue(done);
      return !progress.wasCanceled();
    };
    if (!PaintPhotoLedger(printer, *store_, index_, rows, options).Written) printer.abort();
    return;
  }
  QPrintPreviewDialog dialog(&printer, this);
  dialog.setObjectName("dlgLedgerPreview");
  dialog.setWindowTitle(QCoreApplication::translate("TfrmPhotoView", "写真帳の印刷"));
  const TPhotoLedgerOptions options = LedgerOptions();
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* target) {
    // Printing to a file is writing a PDF: outside the delivery, beside
    // the file and renamed over it.
    if (target->outputFormat() == QPrinter::PdfFormat && !target->outputFileName().isEmpty()) {
      WriteLedger(target->outputFileName());
      return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!PaintPhotoLedger(*target, *store_, index_, rows, options).Written) target->abort();
    QApplication::restoreOverrideCursor();
  });
  dialog.exec();
}

}  // namespace dlvr
