#include "panes/photo_view.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <map>

#include "components/form_control.h"
#include "components/qt_string.h"
#include "panes/delivery_check.h"
#include "components/preview_view.h"
#include "delivery/store.h"
#include "i18n/ui_language.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// The thumbnail box of a grid cell, in device-independent pixels.
const QSize kThumbBox(160, 120);
// The most groups the tree shows.
constexpr int kMaxGroups = 5000;

// Between a photo's title, file name and date in the full view's title.
QString TitleSeparator() {
  return QCoreApplication::translate("TfrmPhotoView", "　", "between title, file name and date");
}

// "1, 3" for media numbers.
QString Numbers(const std::vector<int>& numbers) {
  QStringList list;
  for (int n : numbers) list << QString::number(n);
  return list.join(QStringLiteral(", "));
}

// "10,000".
QString Grouped(long long n) {
  QLocale locale = QLocale::c();
  locale.setNumberOptions(QLocale::DefaultNumberOptions);
  return locale.toString(n);
}

// Runs `work` on the global pool and hands its result to `done` on the GUI
// thread, unless `owner` has gone by then.
template <class T, class Work, class Done>
void RunInBackground(QObject* owner, Work work, Done done) {
  auto* watcher = new QFutureWatcher<T>(owner);
  QObject::connect(watcher, &QFutureWatcher<T>::finished, owner, [watcher, done] {
    watcher->deleteLater();
    done(watcher->result());
  });
  watcher->setFuture(QtConcurrent::run(std::move(work)));
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString()) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

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

// "2400 × 1600（384万画素）": the pixels counted in ten thousands, as
// Japanese counts them; in English in millions ("2400 × 1600 (3.8 MP)").
QString PixelText(int w, int h) {
  const double pixels = double(w) * h;
  const QString count = InstalledUiLanguage() == UiLanguage::Japanese ? QString::number(pixels / 10000.0, 'f', 0)
                                                                      : QString::number(pixels / 1e6, 'f', 1);
  return QCoreApplication::translate("TfrmPhotoView", "%1 × %2（%3万画素）")
      .arg(QString::number(w), QString::number(h), count);
}

// Where a details row holds a path: shortened in the middle, on one line,
// so that the file name at its end stays in sight.
constexpr int kPathRole = Qt::UserRole + 5;
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
  lvwPhotos = new QListView(pgGrid);
  lvwPhotos->setObjectName("lvwPhotos");
  lvwPhotos->setViewMode(QListView::IconMode);
  lvwPhotos->setMovement(QListView::Static);
  lvwPhotos->setResizeMode(QListView::Adjust);
  lvwPhotos->setUniformItemSizes(true);
  lvwPhotos->setSelectionMode(QAbstractItemView::SingleSelection);
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

void TfrmPhotoView::BuildFilterBar(QWidget* bar) {
  auto* h = new QHBoxLayout(bar);
  h->setContentsMargins(0, 0, 0, 0);
  h->addWidget(MakeLabel(bar, "lblFilter", QCoreApplication::translate("TfrmPhotoView", "絞り込み(&F):")));
  edtFilter = new QLineEdit(bar);
  edtFilter->setObjectName("edtFilter");
  edtFilter->setPlaceholderText(
      QCoreApplication::translate("TfrmPhotoView", "写真タイトル・撮影箇所・工種・種別・細別・ファイル名"));
  edtFilter->setClearButtonEnabled(true);
  edtFilter->setMinimumWidth(220);
  bar->findChild<QLabel*>("lblFilter")->setBuddy(edtFilter);
  h->addWidget(edtFilter, 1);
  h->addSpacing(8);
  auto dateEdit = [bar](const char* name) {
    auto* d = new QDateEdit(bar);
    d->setObjectName(QString::fromLatin1(name));
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    d->setEnabled(false);
    return d;
  };
  chkDateFrom = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "撮影日"), bar);
  chkDateFrom->setObjectName("chkDateFrom");
  dtpFrom = dateEdit("dtpFrom");
  chkDateTo = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "～"), bar);
  chkDateTo->setObjectName("chkDateTo");
  dtpTo = dateEdit("dtpTo");
  h->addWidget(chkDateFrom);
  h->addWidget(dtpFrom);
  h->addWidget(chkDateTo);
  h->addWidget(dtpTo);
  h->addSpacing(8);
  chkRepresentative = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "代表写真のみ(&R)"), bar);
  chkRepresentative->setObjectName("chkRepresentative");
  chkFrequency = new QCheckBox(QCoreApplication::translate("TfrmPhotoView", "提出頻度写真のみ(&Q)"), bar);
  chkFrequency->setObjectName("chkFrequency");
  h->addWidget(chkRepresentative);
  h->addWidget(chkFrequency);
  h->addSpacing(8);
  auto* sortLabel = MakeLabel(bar, "lblSort", QCoreApplication::translate("TfrmPhotoView", "並び順(&O):"));
  cbxSort = new QComboBox(bar);
  cbxSort->setObjectName("cbxSort");
  cbxSort->addItems({QCoreApplication::translate("TfrmPhotoView", "シリアル番号順"),
                     QCoreApplication::translate("TfrmPhotoView", "撮影年月日順"),
                     QCoreApplication::translate("TfrmPhotoView", "写真タイトル順")});
  sortLabel->setBuddy(cbxSort);
  h->addWidget(sortLabel);
  h->addWidget(cbxSort);

  connect(edtFilter, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
  for (QCheckBox* c : {chkRepresentative, chkFrequency}) connect(c, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
  connect(chkDateFrom, &QCheckBox::toggled, dtpFrom, &QWidget::setEnabled);
  connect(chkDateTo, &QCheckBox::toggled, dtpTo, &QWidget::setEnabled);
  for (QCheckBox* c : {chkDateFrom, chkDateTo}) connect(c, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
  for (QDateEdit* d : {dtpFrom, dtpTo}) connect(d, &QDateEdit::dateChanged, this, [this] { ApplyFilter(); });
  connect(cbxSort, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { UpdateRows(); });
}

void TfrmPhotoView::BuildFullPage() {
  pgFull = new QWidget(stkView);
  pgFull->setObjectName("pgFull");
  pgFull->setFocusPolicy(Qt::StrongFocus);
  auto* v = new QVBoxLayout(pgFull);
  v->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout;
  auto button = [this](const char* name, const QString& caption, const QString& tip) {
    auto* b = new QPushButton(caption, pgFull);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
  };
  btnBack = button("btnBack", QCoreApplication::translate("TfrmPhotoView", "一覧に戻る"),
                   QCoreApplication::translate("TfrmPhotoView", "一覧に戻る (Esc)"));
  btnPrev = button("btnPrev", QCoreApplication::translate("TfrmPhotoView", "◀ 前の写真"),
                   QCoreApplication::translate("TfrmPhotoView", "前の写真 (←)"));
  btnNext = button("btnNext", QCoreApplication::translate("TfrmPhotoView", "次の写真 ▶"),
                   QCoreApplication::translate("TfrmPhotoView", "次の写真 (→)"));
  lblPosition = MakeLabel(pgFull, "lblPosition");
  lblFullTitle = MakeLabel(pgFull, "lblFullTitle");
  lblFullTitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
  bar->addWidget(btnBack);
  bar->addWidget(btnPrev);
  bar->addWidget(btnNext);
  bar->addWidget(lblPosition);
  bar->addSpacing(12);
  bar->addWidget(lblFullTitle, 1);
  v->addLayout(bar);
  lblFullNote = MakeLabel(pgFull, "lblFullNote");
  lblFullNote->setAlignment(Qt::AlignCenter);
  lblFullNote->setWordWrap(true);
  lblFullNote->hide();
  v->addWidget(lblFullNote);
  pvwPhoto = new TPreviewView(pgFull);
  pvwPhoto->setObjectName("pvwPhoto");
  v->addWidget(pvwPhoto, 1);
  stkView->addWidget(pgFull);
  connect(btnBack, &QPushButton::clicked, this, &TfrmPhotoView::CloseFull);
  connect(btnPrev, &QPushButton::clicked, this, [this] { Step(-1); });
  connect(btnNext, &QPushButton::clicked, this, [this] { Step(1); });
  // The keys of the full view reach it wherever the focus is inside it.
  pgFull->installEventFilter(this);
  for (QWidget* w : pgFull->findChildren<QWidget*>()) w->installEventFilter(this);
  // The preview makes its widgets afresh for every photo.
  connect(pvwPhoto, &TPreviewView::NavigateComplete, this, [this] {
    for (QWidget* w : pvwPhoto->findChildren<QWidget*>()) w->installEventFilter(this);
  });
}

// ---------------------------------------------------------------------------
// Reading and checking

void TfrmPhotoView::Refresh() {
  const int generation = ++generation_;
  TMdlTreeView& view = model_.View;
  std::vector<TPhotoMedium> media;
  reachable_.clear();
  for (const TMdlTreeView::TLoadedMedium& m : view.ReachableMedia()) {
    media.push_back({m.MediaNo, m.Folder});
    reachable_.push_back(m.MediaNo);
  }
  unreachable_.clear();
  for (int n : view.LoadedMedia())
    if (std::find(reachable_.begin(), reachable_.end(), n) == reachable_.end()) unreachable_.push_back(n);
  notLoaded_.clear();
  period_ = {};
  QString title = QCoreApplication::translate("TfrmPhotoView", "写真閲覧");
  const DeliveryStore& store = view.Store();
  if (store.IndexRecords.size() > fkIndex) {
    const TMdlTreeNodeIndex& index = store.IndexRecords[fkIndex];
    period_ = {index.StartDate, index.EndDate};
    const long total = std::max(1L, WholeNumber(index.MediaCount));
    const std::vector<int>& loaded = view.LoadedMedia();
    for (int n = 1; n <= total && !loaded.empty(); ++n)
      if (std::find(loaded.begin(), loaded.end(), n) == loaded.end()) notLoaded_.push_back(n);
    if (!index.KojiName.empty()) title += QStringLiteral(" - ") + Q(index.KojiName);
  }
  setWindowTitle(title);
  lblPeriod->setText(
      QCoreApplication::translate("TfrmPhotoView", "工期: %1 ～ %2")
          .arg(period_.Start.empty() ? QCoreApplication::translate("TfrmPhotoView", "（なし）") : Q(period_.Start),
               period_.End.empty() ? QCoreApplication::translate("TfrmPhotoView", "（なし）") : Q(period_.End)));

  // What was shown goes at once.
  CloseFull();
  loading_ = true;
  checking_ = false;
  store_.reset();
  findings_.clear();
  index_.Build({});
  listModel_->SetStore(nullptr, {});
  tvwGroups->clear();
  tblChecks->setRowCount(0);
  lblChecks->setText(QCoreApplication::translate("TfrmPhotoView", "写真チェック"));
  ShowDetails(-1);
  lblNotice->setText(QCoreApplication::translate("TfrmPhotoView", "写真管理ファイルを読み込んでいます..."));
  lblNotice->show();
  UpdateCount();

  // The records and what filtering and sorting need of them.
  RunInBackground<TRead>(
      this,
      [media] {
        auto store = std::make_shared<TPhotoStore>();
        store->Load(media);
        auto index = std::make_shared<TPhotoIndex>();
        index->Build(store->Records());
        return TRead{store, index};
      },
      [this, generation](const TRead& read) {
        if (generation == generation_) StoreRead(read);
      });
}

void TfrmPhotoView::StoreRead(const TRead& read) {
  loading_ = false;
  store_ = read.Store;
  index_ = *read.Index;
  listModel_->SetStore(store_, reachable_);
  // The date range starts as the photos' own.
  QDate first, last;
  for (int i = 0; i < index_.Count(); ++i) {
    const QDate d = index_.Date(i);
    if (!d.isValid()) continue;
    if (!first.isValid() || d < first) first = d;
    if (!last.isValid() || d > last) last = d;
  }
  {
    QSignalBlocker a(dtpFrom), b(dtpTo);
    if (!chkDateFrom->isChecked()) dtpFrom->setDate(first.isValid() ? first : QDate::currentDate());
    if (!chkDateTo->isChecked()) dtpTo->setDate(last.isValid() ? last : QDate::currentDate());
  }
  ApplyFilter();
  UpdateNotice();
  if (!pendingPhoto_.isEmpty()) ShowPhotoFile(pendingPhoto_, pendingMedium_);
  emit Loaded();
  StartCheck();
}

void TfrmPhotoView::StartCheck() {
  if (store_->Empty()) {
    FillChecks();
    emit Checked();
    return;
  }
  checking_ = true;
  lblChecks->setText(QCoreApplication::translate("TfrmPhotoView", "写真チェック: 確認しています..."));
  const int generation = generation_;
  RunInBackground<std::vector<TPhotoFinding>>(
      this, [store = store_, period = period_] { return CheckPhotos(*store, period); },
      [this, generation](const std::vector<TPhotoFinding>& findings) {
        if (generation != generation_) return;
        checking_ = false;
        findings_ = findings;
        FillChecks();
        emit Checked();
      });
}

void TfrmPhotoView::FillChecks() {
  tblChecks->setRowCount(static_cast<int>(findings_.size()));
  for (std::size_t i = 0; i < findings_.size(); ++i) {
    const TPhotoFinding& f = findings_[i];
    const int row = static_cast<int>(i);
    auto* name = new QTableWidgetItem(Q(f.FileName));
    name->setData(Qt::UserRole, f.Record);
    name->setData(Qt::UserRole + 1, Q(f.Path));
    tblChecks->setItem(row, 0, name);
    tblChecks->setItem(row, 1, new QTableWidgetItem(Q(f.Field)));
    auto* state = new QTableWidgetItem(Q(f.State));
    state->setToolTip(Q(f.State));
    tblChecks->setItem(row, 2, state);
  }
  // Each record's findings mark its thumbnail.
  std::vector<int> counts(store_ ? store_->Records().size() : 0, 0);
  for (const TPhotoFinding& f : findings_)
    if (f.Record >= 0 && static_cast<std::size_t>(f.Record) < counts.size()) ++counts[static_cast<std::size_t>(f.Record)];
  listModel_->SetFindingCounts(std::move(counts));
  for (QToolButton* b : {tlbChecksPrint, tlbChecksCsv, tlbChecksPdf}) b->setEnabled(!findings_.empty());
  lblChecks->setText(findings_.empty()
                         ? QCoreApplication::translate("TfrmPhotoView", "写真チェック: 指摘はありません。")
                         : QCoreApplication::translate("TfrmPhotoView", "写真チェック: %1件").arg(findings_.size()));
}

void TfrmPhotoView::UpdateNotice() {
  QStringList lines;
  if (store_->Empty())
    lines << QCoreApplication::translate("TfrmPhotoView",
                                         "読み込まれたメディアに写真管理ファイル（PHOTO.XML）がありません。");
  for (const TPhotoFile& f : store_->Files())
    if (f.Broken)
      lines << QCoreApplication::translate(
                   "TfrmPhotoView", "%1 は %2行目で読めなくなりました（%3）。それまでに読めた%4件を表示しています。")
                   .arg(Q(f.XmlPath), QString::number(f.BrokenLine), Q(f.BrokenReason), QString::number(f.RecordCount));
  // Photos whose file is on a medium that is not loaded, or no longer in its drive.
  std::map<int, int> elsewhere;
  for (std::size_t i = 0; i < store_->Records().size(); ++i)
    if (!store_->Records()[i].Exists && listModel_->State(static_cast<int>(i)) == TPhotoListModel::Elsewhere)
      ++elsewhere[static_cast<int>(WholeNumber(store_->Records()[i].MediaNo))];
  if (!unreachable_.empty())
    lines << QCoreApplication::translate("TfrmPhotoView",
                                         "%1枚目のメディアは、読み込んだ後にドライブで別のメディアと入れ替えられたため"
                                         "、その写真は表示できません。")
                 .arg(Numbers(unreachable_));
  for (auto [medium, count] : elsewhere) {
    const bool swapped = std::find(unreachable_.begin(), unreachable_.end(), medium) != unreachable_.end();
    lines << QCoreApplication::translate("TfrmPhotoView", "%1件の写真のファイルは%2枚目のメディアにあります（%3）。")
                 .arg(QString::number(count), QString::number(medium),
                      swapped ? QCoreApplication::translate("TfrmPhotoView", "ドライブから取り出されています")
                              : QCoreApplication::translate("TfrmPhotoView", "読み込まれていません"));
  }
  lblNotice->setText(lines.join(u'\n'));
  lblNotice->setVisible(!lines.isEmpty());
}

// ---------------------------------------------------------------------------
// Filter, groups and rows

void TfrmPhotoView::ApplyFilter() {
  filter_.Text = edtFilter->text();
  filter_.From = chkDateFrom->isChecked() ? dtpFrom->date() : QDate();
  filter_.To = chkDateTo->isChecked() ? dtpTo->date() : QDate();
  filter_.RepresentativeOnly = chkRepresentative->isChecked();
  filter_.FrequencyOnly = chkFrequency->isChecked();
  RebuildGroups();
  UpdateRows();
}

void TfrmPhotoView::RebuildGroups() {
  const QStringList selected = filter_.Group;
  QSignalBlocker block(tvwGroups);
  tvwGroups->clear();
  if (!store_) return;
  auto* root = new QTreeWidgetItem(tvwGroups);
  root->setData(0, Qt::UserRole, QStringList());
  QHash<QString, QTreeWidgetItem*> nodes;
  QHash<QTreeWidgetItem*, int> counts;
  const QStringList levelNames = {
      QCoreApplication::translate("TfrmPhotoView", "写真-大分類"),
      QCoreApplication::translate("TfrmPhotoView", "写真区分"), QCoreApplication::translate("TfrmPhotoView", "工種"),
      QCoreApplication::translate("TfrmPhotoView", "種別"), QCoreApplication::translate("TfrmPhotoView", "細別")};
  // Groups stand in the order they first come in the file, whatever the
  // filter; those it leaves empty go.
  std::vector<bool> passes(static_cast<std::size_t>(index_.Count()));
  for (int i : index_.Select(filter_, true)) passes[static_cast<std::size_t>(i)] = true;
  counts[root] = 0;
  bool cut = false;
  for (int i = 0; i < index_.Count(); ++i) {
    const bool counted = passes[static_cast<std::size_t>(i)];
    counts[root] += counted;
    const QStringList& group = index_.Group(i);
    QTreeWidgetItem* parent = root;
    QString key;
    for (int k = 0; k < group.size(); ++k) {
      key += group[k] + QChar(0x1f);
      auto it = nodes.find(key);
      if (it == nodes.end()) {
        // A file with very many groups: the tree stops growing, the
        // photos still count in the groups above.
        if (nodes.size() >= kMaxGroups) {
          cut = true;
          break;
        }
        auto* node = new QTreeWidgetItem(parent);
        node->setData(0, Qt::UserRole, group.mid(0, k + 1));
        node->setToolTip(0, levelNames[k] + QStringLiteral(": ") + group[k]);
        it = nodes.insert(key, node);
      }
      counts[*it] += counted;
      parent = *it;
    }
  }
  // An empty group's descendants are empty too and go with it.
  std::vector<QTreeWidgetItem*> empty;
  for (QTreeWidgetItem* node : std::as_const(nodes))
    if (counts.value(node) == 0 && (node->parent() == root || counts.value(node->parent()) > 0)) empty.push_back(node);
  nodes.removeIf([&](const auto& entry) { return counts.value(entry.value()) == 0; });
  for (QTreeWidgetItem* node : empty) delete node;
  root->setText(0, QCoreApplication::translate("TfrmPhotoView", "すべての写真 (%1)").arg(counts.value(root)));
  if (cut) {
    auto* more = new QTreeWidgetItem(root);
    more->setText(0, QCoreApplication::translate("TfrmPhotoView", "（グループが%1を超えるため、以降は省略しています）")
                         .arg(kMaxGroups));
    more->setFlags(Qt::ItemIsEnabled);
    more->setData(0, Qt::UserRole, QStringList());
  }
  for (QTreeWidgetItem* node : std::as_const(nodes))
    node->setText(0, QStringLiteral("%1 (%2)").arg(node->data(0, Qt::UserRole).toStringList().back(),
                                                   QString::number(counts.value(node))));
  // Open down to the 工種.
  root->setExpanded(true);
  for (QTreeWidgetItem* node : std::as_const(nodes))
    if (node->data(0, Qt::UserRole).toStringList().size() < 3) node->setExpanded(true);
  // The group chosen before, while it still holds photos.
  QTreeWidgetItem* current = root;
  if (!selected.isEmpty()) {
    QTreeWidgetItem* found = nodes.value(selected.join(QChar(0x1f)) + QChar(0x1f));
    if (found) current = found;
  }
  filter_.Group = current->data(0, Qt::UserRole).toStringList();
  for (QTreeWidgetItem* p = current->parent(); p; p = p->parent()) p->setExpanded(true);
  tvwGroups->setCurrentItem(current);
}

bool TfrmPhotoView::SelectGroup(const QStringList& path) {
  QTreeWidgetItemIterator it(tvwGroups);
  for (; *it; ++it)
    if ((*it)->data(0, Qt::UserRole).toStringList() == path) {
      tvwGroups->setCurrentItem(*it);
      return true;
    }
  return false;
}

void TfrmPhotoView::UpdateRows() {
  const int keep = CurrentRecord();
  std::vector<int> rows = store_ ? index_.Select(filter_) : std::vector<int>();
  index_.Sort(rows, static_cast<TPhotoSort>(std::max(0, cbxSort->currentIndex())));
  listModel_->SetRows(std::move(rows));
  int row = listModel_->RowOf(keep);
  if (row < 0 && listModel_->rowCount() > 0) row = 0;
  if (row >= 0) {
    lvwPhotos->setCurrentIndex(listModel_->index(row));
    lvwPhotos->scrollTo(listModel_->index(row));
  } else {
    ShowDetails(-1);
  }
  if (FullShown()) {
    if (row >= 0)
      ShowFullRecord(listModel_->RecordAt(row));
    else
      CloseFull();
  }
  UpdateCount();
}

void TfrmPhotoView::UpdateCount() {
  const int total = store_ ? static_cast<int>(store_->Records().size()) : 0;
  lblCount->setText(QCoreApplication::translate("TfrmPhotoView", "表示 %1 / 全 %2 枚")
                        .arg(Grouped(listModel_->rowCount()), Grouped(total)));
}

bool TfrmPhotoView::ShowPhotoFile(const QString& relativePath, int medium) {
  if (loading_ || !store_) {
    pendingPhoto_ = relativePath;
    pendingMedium_ = medium;
    return false;
  }
  // (`relativePath` may be the pending path itself: read before it goes.)
  const std::string wanted = relativePath.toStdString();
  pendingPhoto_.clear();
  const std::size_t slash = wanted.find_last_of('/');
  const std::string name = slash == std::string::npos ? wanted : wanted.substr(slash + 1);
  // The file's path ends in the path asked for, on its medium.
  auto same = [&](const std::string& path, const std::string& fileName, int fileIndex) {
    if (!EqualsNoCase(fileName, name)) return false;
    const auto& files = store_->Files();
    if (fileIndex >= 0 && static_cast<std::size_t>(fileIndex) < files.size()) {
      const TPhotoFile& f = files[static_cast<std::size_t>(fileIndex)];
      if (medium > 0 && f.MediaNo > 0 && f.MediaNo != medium && path.empty()) return false;
    }
    return path.empty() || (path.size() >= wanted.size() &&
                            EqualsNoCase(std::string_view(path).substr(path.size() - wanted.size()), wanted));
  };
  const auto& records = store_->Records();
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t i = 0; i < records.size(); ++i) {
      const TPhotoRecord& r = records[i];
      bool hit = pass == 0 ? same(r.Path, r.FileName, r.FileIndex) : false;
      if (pass == 1)
        for (const TPhotoReference& ref : r.References) hit = hit || same(ref.Path, ref.FileName, r.FileIndex);
      if (hit && ShowRecord(static_cast<int>(i))) {
        lvwPhotos->setFocus();
        return true;
      }
    }
  return false;
}

std::vector<TFinding> TfrmPhotoView::FindingsForReport() const {
  std::vector<TFinding> out;
  out.reserve(findings_.size());
  for (const TPhotoFinding& f : findings_) {
    TFinding r;
    r.Severity = f.Warning ? TSeverity::Warning : TSeverity::Error;
    std::string path = f.Path.empty() ? f.FileName : f.Path;
    // Paths relative to their medium, as the delivery check gives them.
    if (store_)
      for (const TPhotoFile& file : store_->Files())
        if (!file.MediumFolder.empty() && path.rfind(file.MediumFolder, 0) == 0) {
          path = path.substr(file.MediumFolder.size());
          if (file.MediaNo > 0) r.Medium = std::to_string(file.MediaNo);
          break;
        }
    r.Path = path;
    r.Rule = f.Field;
    r.Found = f.State;
    out.push_back(std::move(r));
  }
  return out;
}

void TfrmPhotoView::ChecksExport(int kind) {
  TFindingExport e;
  e.Findings = FindingsForReport();
  if (!model_.View.MediaFolder().empty()) e.MediaFolders << Q(model_.View.MediaFolder());
  for (const auto& m : model_.View.ReachableMedia()) e.MediaFolders << Q(m.Folder);
  e.Name = QCoreApplication::translate("TfrmPhotoView", "写真チェック結果");
  e.Parent = this;
  if (kind == 0)
    e.PrintClick();
  else
    e.ExportClick(kind == 2);
}

int TfrmPhotoView::CurrentRecord() const { return listModel_->RecordAt(lvwPhotos->currentIndex().row()); }

bool TfrmPhotoView::ShowRecord(int record) {
  if (!store_ || record < 0 || static_cast<std::size_t>(record) >= store_->Records().size()) return false;
  if (listModel_->RowOf(record) < 0) {
    // The group or the filter hides it: every photo is shown again.
    for (QCheckBox* c : {chkDateFrom, chkDateTo, chkRepresentative, chkFrequency}) {
      QSignalBlocker block(c);
      c->setChecked(false);
    }
    dtpFrom->setEnabled(false);
    dtpTo->setEnabled(false);
    {
      QSignalBlocker block(edtFilter);
      edtFilter->clear();
    }
    filter_.Group.clear();
    ApplyFilter();
  }
  const QModelIndex index = listModel_->index(listModel_->RowOf(record));
  if (!index.isValid()) return false;
  CloseFull();
  lvwPhotos->setCurrentIndex(index);
  lvwPhotos->scrollTo(index, QAbstractItemView::PositionAtCenter);
  return true;
}

// ---------------------------------------------------------------------------
// Details

void TfrmPhotoView::AddDetail(const QString& label, const QString& value, const QColor& ink, bool path) {
  const int row = tblDetails->rowCount();
  tblDetails->insertRow(row);
  auto* l = new QTableWidgetItem(label);
  l->setForeground(palette().color(QPalette::PlaceholderText));
  tblDetails->setItem(row, 0, l);
  auto* v = new QTableWidgetItem(value);
  v->setToolTip(value);
  if (ink.isValid()) v->setForeground(ink);
  v->setData(kPathRole, path);
  tblDetails->setItem(row, 1, v);
}

void TfrmPhotoView::ShowDetails(int record) {
  tblDetails->setRowCount(0);
  lstReferences->clear();
  factsRecord_ = -1;
  if (!store_ || record < 0 || static_cast<std::size_t>(record) >= store_->Records().size()) return;
  const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(record)];
  using Field = std::pair<const char*, std::string TPhotoRecord::*>;
  auto add = [&](std::initializer_list<Field> fields) {
    for (const auto& [label, member] : fields)
      AddDetail(QCoreApplication::translate("TfrmPhotoView", label), Q(r.*member));
  };
  add({{QT_TRANSLATE_NOOP("TfrmPhotoView", "シリアル番号"), &TPhotoRecord::Serial},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真ファイル名"), &TPhotoRecord::FileName},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真ファイル日本語名"), &TPhotoRecord::JapaneseName},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "メディア番号"), &TPhotoRecord::MediaNo},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真-大分類"), &TPhotoRecord::MajorClass},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真区分"), &TPhotoRecord::Division},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "工種"), &TPhotoRecord::WorkType},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "種別"), &TPhotoRecord::Kind},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "細別"), &TPhotoRecord::Detail},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "写真タイトル"), &TPhotoRecord::Title}});
  for (const std::string& s : r.ClassSpares)
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "工種区分予備"), Q(s));
  for (const TPhotoReference& ref : r.References) {
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "参考図ファイル名"), Q(ref.FileName));
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "参考図ファイル日本語名"), Q(ref.JapaneseName));
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "参考図タイトル"), Q(ref.Title));
    for (const std::string& s : ref.Spares)
      AddDetail(QCoreApplication::translate("TfrmPhotoView", "付加情報予備"), Q(s));
  }
  add({{QT_TRANSLATE_NOOP("TfrmPhotoView", "撮影箇所"), &TPhotoRecord::Place},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "撮影年月日"), &TPhotoRecord::Date},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "代表写真"), &TPhotoRecord::Representative},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "提出頻度写真"), &TPhotoRecord::Frequency},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "施工管理値"), &TPhotoRecord::ControlValue},
       {QT_TRANSLATE_NOOP("TfrmPhotoView", "請負者説明文"), &TPhotoRecord::Explanation}});
  // Elements the reader does not know, as they stand.
  for (const TPhotoExtra& e : r.Extra) AddDetail(Q(e.Element), Q(e.Value));
  switch (listModel_->State(record)) {
    case TPhotoListModel::Missing:
      AddDetail(QCoreApplication::translate("TfrmPhotoView", "ファイル"),
                QCoreApplication::translate("TfrmPhotoView", "ファイルがありません。"), QColor(0xc6, 0x28, 0x28));
      break;
    case TPhotoListModel::Elsewhere:
      AddDetail(QCoreApplication::translate("TfrmPhotoView", "ファイル"),
                QCoreApplication::translate("TfrmPhotoView", "%1枚目のメディアにあります（読み込まれていません）。")
                    .arg(WholeNumber(r.MediaNo)),
                QColor(0x2f, 0x5f, 0xb3));
      break;
    default:
      AddDetail(QCoreApplication::translate("TfrmPhotoView", "ファイル"), Q(r.Path), QColor(), true);
  }
  if (static_cast<std::size_t>(r.FileIndex) < store_->Files().size())
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "写真管理ファイル"),
              QCoreApplication::translate("TfrmPhotoView", "%1（%2行目）")
                  .arg(Q(store_->Files()[static_cast<std::size_t>(r.FileIndex)].XmlPath), QString::number(r.Line)),
              QColor(), true);
  tblDetails->resizeColumnToContents(0);

  for (std::size_t i = 0; i < r.References.size(); ++i) {
    const TPhotoReference& ref = r.References[i];
    QString caption = Q(!ref.Title.empty() ? ref.Title : !ref.JapaneseName.empty() ? ref.JapaneseName : ref.FileName);
    if (!ref.FileName.empty())
      caption = QCoreApplication::translate("TfrmPhotoView", "%1（%2）").arg(caption, Q(ref.FileName));
    auto* item = new QListWidgetItem(caption, lstReferences);
    item->setData(Qt::UserRole, static_cast<int>(i));
    if (ref.Path.empty()) {
      item->setText(caption + QCoreApplication::translate("TfrmPhotoView", " ［ファイルなし］"));
      item->setForeground(QColor(0xc6, 0x28, 0x28));
    }
  }

  // The image's own facts come from the file, off the GUI thread.
  if (!r.Exists) return;
  factsRecord_ = record;
  const int generation = generation_;
  RunInBackground<TImageFacts>(
      this, [path = r.Path] { return ReadImageFacts(path); },
      [this, record, generation](const TImageFacts& facts) {
        if (generation == generation_ && record == factsRecord_) ShowFacts(facts);
      });
}

void TfrmPhotoView::ShowFacts(const TImageFacts& facts) {
  AddDetail(
      QCoreApplication::translate("TfrmPhotoView", "画像形式"),
      facts.Format.empty() ? QCoreApplication::translate("TfrmPhotoView", "（不明）") : Q(AsciiUpper(facts.Format)));
  if (facts.Width > 0)
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "画素数"), PixelText(facts.Width, facts.Height));
  if (facts.Orientation > 1)
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "Exif 向き"), QString::number(facts.Orientation));
  if (!facts.DateTimeOriginal.empty())
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "Exif 撮影日時"), Q(facts.DateTimeOriginal));
  if (!facts.Software.empty())
    AddDetail(QCoreApplication::translate("TfrmPhotoView", "Exif ソフトウェア"), Q(facts.Software));
}

void TfrmPhotoView::FindingActivated(int row) {
  QTableWidgetItem* item = tblChecks->item(row, 0);
  if (!item) return;
  const int record = item->data(Qt::UserRole).toInt();
  if (record >= 0 && ShowRecord(record)) {
    lvwPhotos->setFocus();
    return;
  }
  // A file no record names: shown as it is.
  const QString path = item->data(Qt::UserRole + 1).toString();
  if (path.isEmpty()) return;
  stkView->setCurrentWidget(pgFull);
  fullRecord_ = -1;
  lblFullTitle->setText(
      QCoreApplication::translate("TfrmPhotoView", "写真管理ファイルにないファイル: %1").arg(item->text()));
  lblPosition->clear();
  lblFullNote->hide();
  pvwPhoto->Navigate(path);
  pgFull->setFocus();
}

// ---------------------------------------------------------------------------
// The full view

bool TfrmPhotoView::FullShown() const { return stkView->currentWidget() == pgFull; }

void TfrmPhotoView::OpenFull() {
  const int record = CurrentRecord();
  if (record < 0) return;
  stkView->setCurrentWidget(pgFull);
  ShowFullRecord(record);
  pgFull->setFocus();
}

void TfrmPhotoView::CloseFull() {
  if (!FullShown()) return;
  stkView->setCurrentWidget(pgGrid);
  fullRecord_ = -1;
  pvwPhoto->Navigate(QString());  // the photo's pixmap goes
  lvwPhotos->setFocus();
  if (lvwPhotos->currentIndex().isValid()) lvwPhotos->scrollTo(lvwPhotos->currentIndex());
  ScheduleVisibleRows();
}

void TfrmPhotoView::ShowFullRecord(int record) {
  if (!store_ || record < 0) return;
  fullRecord_ = record;
  const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(record)];
  const int row = listModel_->RowOf(record), count = listModel_->rowCount();
  lblPosition->setText(QStringLiteral("%1 / %2").arg(row + 1).arg(count));
  btnPrev->setEnabled(row > 0);
  btnNext->setEnabled(row >= 0 && row + 1 < count);
  lblFullTitle->setText(QStringList{Q(r.Title), Q(r.FileName), Q(r.Date)}.join(TitleSeparator()));
  switch (listModel_->State(record)) {
    case TPhotoListModel::Missing:
      lblFullNote->setText(
          QCoreApplication::translate("TfrmPhotoView", "写真ファイル %1 がありません。").arg(Q(r.FileName)));
      break;
    case TPhotoListModel::Elsewhere:
      lblFullNote->setText(
          QCoreApplication::translate("TfrmPhotoView",
                                      "写真ファイル %1 は%2枚目のメディアにあります（読み込まれていません）。")
              .arg(Q(r.FileName), QString::number(WholeNumber(r.MediaNo))));
      break;
    default:
      lblFullNote->clear();
  }
  lblFullNote->setVisible(!lblFullNote->text().isEmpty());
  pvwPhoto->Navigate(r.Exists ? Q(r.Path) : QString());
}

void TfrmPhotoView::ShowReference(int i) {
  const int record = CurrentRecord();
  if (!store_ || record < 0) return;
  const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(record)];
  if (i < 0 || static_cast<std::size_t>(i) >= r.References.size()) return;
  const TPhotoReference& ref = r.References[static_cast<std::size_t>(i)];
  stkView->setCurrentWidget(pgFull);
  fullRecord_ = record;
  lblPosition->clear();
  lblFullTitle->setText(QCoreApplication::translate("TfrmPhotoView", "参考図: %1")
                            .arg(QStringList{Q(ref.Title), Q(ref.FileName)}.join(TitleSeparator()).trimmed()));
  lblFullNote->setText(
      ref.Path.empty()
          ? QCoreApplication::translate("TfrmPhotoView", "参考図ファイル %1 がありません。").arg(Q(ref.FileName))
          : QString());
  lblFullNote->setVisible(ref.Path.empty());
  pvwPhoto->Navigate(Q(ref.Path));
}

void TfrmPhotoView::Step(int delta) {
  const int count = listModel_->rowCount();
  const int current = listModel_->RowOf(FullShown() && fullRecord_ >= 0 ? fullRecord_ : CurrentRecord());
  if (count == 0 || current < 0) return;
  const int row = std::clamp(current + delta, 0, count - 1);
  if (row != current || (FullShown() && fullRecord_ != CurrentRecord())) {
    lvwPhotos->setCurrentIndex(listModel_->index(row));
    lvwPhotos->scrollTo(listModel_->index(row));
  }
  if (FullShown()) ShowFullRecord(listModel_->RecordAt(row));
}

void TfrmPhotoView::Zoom(const char* button) {
  // The preview's image renderer has the zoom; its buttons do the work.
  if (auto* b = pvwPhoto->findChild<QPushButton*>(QString::fromLatin1(button)); b && b->isVisible()) b->click();
}

bool TfrmPhotoView::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (event->type() == QEvent::KeyPress && widget && FullShown() && (widget == pgFull || pgFull->isAncestorOf(widget))) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool onButton = qobject_cast<QPushButton*>(widget) != nullptr;
    switch (key->key()) {
      case Qt::Key_Left:
      case Qt::Key_PageUp:
        Step(-1);
        return true;
      case Qt::Key_Right:
      case Qt::Key_PageDown:
        Step(1);
        return true;
      case Qt::Key_Space:
        if (onButton) break;
        Step(1);
        return true;
      case Qt::Key_Home:
        Step(-listModel_->rowCount());
        return true;
      case Qt::Key_End:
        Step(listModel_->rowCount());
        return true;
      case Qt::Key_Escape:
      case Qt::Key_Backspace:
        CloseFull();
        return true;
      case Qt::Key_Plus:
      case Qt::Key_Equal:
        Zoom("btnImageZoomIn");
        return true;
      case Qt::Key_Minus:
        Zoom("btnImageZoomOut");
        return true;
      case Qt::Key_0:
      case Qt::Key_Asterisk:
        Zoom("btnImageFit");
        return true;
      default:
        break;
    }
  }
  // Ctrl with the wheel zooms the photo.
  if (event->type() == QEvent::Wheel && widget && FullShown() && pgFull->isAncestorOf(widget) &&
      (static_cast<QWheelEvent*>(event)->modifiers() & Qt::ControlModifier)) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta != 0) Zoom(delta > 0 ? "btnImageZoomIn" : "btnImageZoomOut");
    return true;
  }
  if (watched == lvwPhotos->viewport() && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
    ScheduleVisibleRows();
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Thumbnails near the screen

void TfrmPhotoView::ScheduleVisibleRows() {
  if (!visibleTimer_->isActive()) visibleTimer_->start();
}

void TfrmPhotoView::UpdateVisibleRows() {
  const int count = listModel_->rowCount();
  if (count == 0 || !lvwPhotos->isVisible() || FullShown()) {
    listModel_->SetVisibleRows(-1, -1);
    return;
  }
  auto rect = [this](int row) { return lvwPhotos->visualRect(listModel_->index(row)); };
  // Not laid out yet: the view does that on its next turn.
  if (rect(0).isEmpty()) {
    visibleTimer_->start();
    return;
  }
  // Rows run left to right, top to bottom: the first whose cell reaches
  // into the viewport, the last whose cell starts above its bottom.
  const int height = lvwPhotos->viewport()->height();
  int lo = 0, hi = count - 1;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (rect(mid).bottom() < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  const int first = lo;
  hi = count - 1;
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    if (rect(mid).top() < height)
      lo = mid;
    else
      hi = mid - 1;
  }
  listModel_->SetVisibleRows(first, lo);
}

// ---------------------------------------------------------------------------
// Window

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
}

}  // namespace dlvr
