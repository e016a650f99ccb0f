#include "panes/photo_view.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

#include "components/form_control.h"

#include "panes/photo_view_internal.h"

// The photo window's building: its panes and controls and how they are
// connected; showing, hiding and closing; its settings.

namespace dlvr {

using namespace photo_view_detail;

namespace {

// The thumbnail box of a grid cell, in device-independent pixels.
const QSize kThumbBox(160, 120);

QTableWidget* MakeTable(QWidget* parent, const char* name, const QStringList& headers) {
  auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  t->setObjectName(QString::fromLatin1(name));
  t->setHorizontalHeaderLabels(headers);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->verticalHeader()->hide();
  t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
  t->horizontalHeader()->setStretchLastSection(true);
  t->setWordWrap(false);
  return t;
}

// Where a details row holds a path: shortened in the middle, on one line,
// so that the file name at its end stays in sight.
class TDetailsDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!index.data(kPathRole).toBool()) return;
    option->textElideMode = Qt::ElideMiddle;
    option->features &= ~QStyleOptionViewItem::WrapText;
  }
};

}  // namespace

TfrmPhotoView::TfrmPhotoView(TViewerModel& model, QWidget* parent) : QWidget(parent, Qt::Window), model_(model) {
  setObjectName("frmPhotoView");
  setWindowTitle(QCoreApplication::translate("TfrmPhotoView", "写真閲覧"));
  loader_ = new TThumbnailLoader(kThumbBox, devicePixelRatioF(), this);
  listModel_ = new TPhotoListModel(*loader_, this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);
  auto* bar = new QWidget(this);
  bar->setObjectName("pnlFilter");
  BuildFilterBar(bar);
  layout->addWidget(bar);
  lblNotice = MakeLabel(this, "lblNotice");
  lblNotice->setWordWrap(true);
  lblNotice->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblNotice->setStyleSheet(QStringLiteral("QLabel { background: #fff6d5; color: #000000; border: 1px solid #e0c060; padding: 4px; }"));
  lblNotice->hide();
  layout->addWidget(lblNotice);

  splMain = new QSplitter(Qt::Vertical, this);
  splMain->setObjectName("splMain");
  splMain->setChildrenCollapsible(false);
  splTop = new QSplitter(Qt::Horizontal, splMain);
  splTop->setObjectName("splTop");
  splTop->setChildrenCollapsible(false);

  tvwGroups = new QTreeWidget(splTop);
  tvwGroups->setObjectName("tvwGroups");
  tvwGroups->setHeaderHidden(true);
  tvwGroups->setUniformRowHeights(true);

  stkView = new QStackedWidget(splTop);
  stkView->setObjectName("stkView");
  pgGrid = new QWidget(stkView);
  pgGrid->setObjectName("pgGrid");
  auto* gridLayout = new QVBoxLayout(pgGrid);
  gridLayout->setContentsMargins(0, 0, 0, 0);
  gridLayout->addWidget(BuildLedgerBar(pgGrid));
  lvwPhotos = new QListView(pgGrid);
  lvwPhotos->setObjectName("lvwPhotos");
  lvwPhotos->setViewMode(QListView::IconMode);
  lvwPhotos->setMovement(QListView::Static);
  lvwPhotos->setResizeMode(QListView::Adjust);
  lvwPhotos->setUniformItemSizes(true);
  lvwPhotos->setSelectionMode(QAbstractItemView::ExtendedSelection);  // the ledger prints a selection
  lvwPhotos->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  lvwPhotos->setMouseTracking(true);
  auto* delegate = new TPhotoItemDelegate(kThumbBox, lvwPhotos);
  lvwPhotos->setItemDelegate(delegate);
  lvwPhotos->setGridSize(delegate->CellSize(lvwPhotos->fontMetrics()) + QSize(4, 4));
  lvwPhotos->verticalScrollBar()->setSingleStep(lvwPhotos->gridSize().height() / 4);
  lvwPhotos->setModel(listModel_);
  lvwPhotos->viewport()->installEventFilter(this);
  gridLayout->addWidget(lvwPhotos);
  stkView->addWidget(pgGrid);
  BuildFullPage();

  auto* details = new QWidget(splTop);
  details->setObjectName("pnlDetails");
  auto* dl = new QVBoxLayout(details);
  dl->setContentsMargins(0, 0, 0, 0);
  dl->addWidget(MakeLabel(details, "lblDetails", QCoreApplication::translate("TfrmPhotoView", "写真情報")));
  tblDetails = MakeTable(
      details, "tblDetails",
      {QCoreApplication::translate("TfrmPhotoView", "項目"), QCoreApplication::translate("TfrmPhotoView", "内容")});
  tblDetails->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tblDetails->setWordWrap(true);
  tblDetails->setItemDelegate(new TDetailsDelegate(tblDetails));
  dl->addWidget(tblDetails, 3);
  dl->addWidget(MakeLabel(details, "lblReferences", QCoreApplication::translate("TfrmPhotoView", "参考図")));
  lstReferences = new QListWidget(details);
  lstReferences->setObjectName("lstReferences");
  dl->addWidget(lstReferences, 1);
  splTop->addWidget(tvwGroups);
  splTop->addWidget(stkView);
  splTop->addWidget(details);
  splTop->setStretchFactor(0, 0);
  splTop->setStretchFactor(1, 1);
  splTop->setStretchFactor(2, 0);
  splTop->setSizes({220, 620, 300});

  auto* checks = new QWidget(splMain);
  checks->setObjectName("pnlChecks");
  auto* cl = new QVBoxLayout(checks);
  cl->setContentsMargins(0, 0, 0, 0);
  auto* head = new QHBoxLayout;
  lblChecks = MakeLabel(checks, "lblChecks", QCoreApplication::translate("TfrmPhotoView", "写真チェック"));
  lblPeriod = MakeLabel(checks, "lblPeriod");
  head->addWidget(lblChecks);
  // The findings' report, as the delivery check prints and writes it.
  auto button = [&](const char* name, const QString& text, const QString& tip, int kind) {
    auto* b = new QToolButton(checks);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setEnabled(false);
    connect(b, &QToolButton::clicked, this, [this, kind] { ChecksExport(kind); });
    head->addWidget(b);
    return b;
  };
  tlbChecksPrint = button("tlbChecksPrint", QCoreApplication::translate("TfrmPhotoView", "印刷"),
                          QCoreApplication::translate("TfrmPhotoView", "写真チェックの指摘を印刷します"), 0);
  tlbChecksCsv = button("tlbChecksCsv", QCoreApplication::translate("TfrmPhotoView", "CSV 出力"),
                        QCoreApplication::translate("TfrmPhotoView", "写真チェックの指摘を CSV ファイルに書き出します"), 1);
  tlbChecksPdf = button("tlbChecksPdf", QCoreApplication::translate("TfrmPhotoView", "PDF 出力"),
                        QCoreApplication::translate("TfrmPhotoView", "写真チェックの指摘を PDF ファイルに書き出します"), 2);
  head->addStretch(1);
  head->addWidget(lblPeriod);
  cl->addLayout(head);
  tblChecks = MakeTable(
      checks, "tblChecks",
      {QCoreApplication::translate("TfrmPhotoView", "写真ファイル名"),
       QCoreApplication::translate("TfrmPhotoView", "項目名"), QCoreApplication::translate("TfrmPhotoView", "状態")});
  tblChecks->setColumnWidth(0, 140);
  tblChecks->setColumnWidth(1, 140);
  cl->addWidget(tblChecks);
  splMain->addWidget(splTop);
  splMain->addWidget(checks);
  splMain->setStretchFactor(0, 1);
  splMain->setStretchFactor(1, 0);
  splMain->setSizes({560, 150});
  layout->addWidget(splMain, 1);

  lblCount = MakeLabel(this, "lblCount");
  lblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  layout->addWidget(lblCount);

  visibleTimer_ = new QTimer(this);
  visibleTimer_->setObjectName("VisibleTimer");
  visibleTimer_->setSingleShot(true);
  visibleTimer_->setInterval(10);
  connect(visibleTimer_, &QTimer::timeout, this, &TfrmPhotoView::UpdateVisibleRows);
  connect(lvwPhotos->verticalScrollBar(), &QScrollBar::valueChanged, this, &TfrmPhotoView::ScheduleVisibleRows);
  connect(lvwPhotos->verticalScrollBar(), &QScrollBar::rangeChanged, this, &TfrmPhotoView::ScheduleVisibleRows);
  connect(listModel_, &QAbstractItemModel::modelReset, this, &TfrmPhotoView::ScheduleVisibleRows);
  connect(lvwPhotos->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { ShowDetails(listModel_->RecordAt(current.row())); });
  connect(lvwPhotos, &QAbstractItemView::activated, this, [this] { OpenFull(); });
  connect(tvwGroups, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    filter_.Group = item ? item->data(0, Qt::UserRole).toStringList() : QStringList();
    UpdateRows();
  });
  connect(lstReferences, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { ShowReference(item->data(Qt::UserRole).toInt()); });
  connect(lstReferences, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { ShowReference(item->data(Qt::UserRole).toInt()); });
  connect(tblChecks, &QAbstractItemView::activated, this, [this](const QModelIndex& i) { FindingActivated(i.row()); });

  resize(1120, 760);
  FrmCtrl = new TFormControl(this);
  FrmCtrl->MinClientWidth = 720;
  FrmCtrl->MinClientHeight = 480;
  FrmCtrl->MaxClientWidth = FrmCtrl->MaxClientHeight = 0;
  FrmCtrl->ApplyLimits();
  ReadSettings();
}

TfrmPhotoView::~TfrmPhotoView() { WriteSettings(); }

void TfrmPhotoView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ScheduleVisibleRows();
}

void TfrmPhotoView::hideEvent(QHideEvent* event) {
  loader_->Cancel();
  QWidget::hideEvent(event);
}

void TfrmPhotoView::closeEvent(QCloseEvent* event) {
  loader_->Cancel();
  WriteSettings();
  QWidget::closeEvent(event);
}

void TfrmPhotoView::ReadSettings() {
  auto sizes = [](const QString& text) {
    QList<int> list;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
      bool ok = false;
      const int v = part.toInt(&ok);
      if (!ok || v <= 0 || v > 10000) return QList<int>();
      list << v;
    }
    return list;
  };
  const QList<int> top = sizes(ExRg.ReadString(QStringLiteral("SplitTop"), QString()));
  if (top.size() == splTop->count()) splTop->setSizes(top);
  const QList<int> main = sizes(ExRg.ReadString(QStringLiteral("SplitMain"), QString()));
  if (main.size() == splMain->count()) splMain->setSizes(main);
  cbxSort->setCurrentIndex(std::clamp(ExRg.ReadInteger(QStringLiteral("Sort"), 0), 0, cbxSort->count() - 1));
  // The ledger's layout (photos a page: 2, 3, 4).
  cbxLedgerPerPage->setCurrentIndex(std::clamp(ExRg.ReadInteger(QStringLiteral("LedgerPerPage"), 3) - 2, 0, 2));
  chkLedgerGroupPage->setChecked(ExRg.ReadInteger(QStringLiteral("LedgerGroupPage"), 0) != 0);
  chkLedgerDrawing->setChecked(ExRg.ReadInteger(QStringLiteral("LedgerDrawing"), 0) != 0);
  settingsRead_ = true;
}

void TfrmPhotoView::WriteSettings() {
  if (!settingsRead_) return;
  auto text = [](const QList<int>& sizes) {
    QStringList parts;
    for (int v : sizes) parts << QString::number(v);
    return parts.join(u',');
  };
  ExRg.WriteString(QStringLiteral("SplitTop"), text(splTop->sizes()));
  ExRg.WriteString(QStringLiteral("SplitMain"), text(splMain->sizes()));
  ExRg.WriteInteger(QStringLiteral("Sort"), cbxSort->currentIndex());
  ExRg.WriteInteger(QStringLiteral("LedgerPerPage"), cbxLedgerPerPage->currentIndex() + 2);
  ExRg.WriteInteger(QStringLiteral("LedgerGroupPage"), chkLedgerGroupPage->isChecked() ? 1 : 0);
  ExRg.WriteInteger(QStringLiteral("LedgerDrawing"), chkLedgerDrawing->isChecked() ? 1 : 0);
}

}  // namespace dlvr

#include "moc_photo_view.cpp"
