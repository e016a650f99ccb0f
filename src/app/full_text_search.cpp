#include "app/full_text_search.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>

#include "app/find_windows.h"
#include "check/finding_target.h"
#include "check/viewer_model.h"
#include "components/pdf_search_text.h"
#include "components/preview_renderer.h"
#include "components/preview_view.h"
#include "components/qt_string.h"
#include "model/tree_view.h"
#include "platform/tempfs.h"
#include "search/indexer.h"
#include "search/query.h"
#include "search/sources.h"

namespace dlvr {

// ---------------------------------------------------------------------------
// The index on its worker.

struct TFullTextIndex::TJob {
  std::unique_ptr<search::TSearchIndex> Index = std::make_unique<search::TSearchIndex>();
  std::string File;  // "" in memory
  std::atomic<bool> Cancel{false};
  std::atomic<bool> Begun{false};  // the files' list is in: questions may be asked
  std::atomic<bool> Ended{false};
  std::atomic<bool> Posted{false};
  std::thread Thread;
  // The job before, ended and let go of by this job's thread.
  std::shared_ptr<TJob> Previous;
};

TFullTextIndex::TFullTextIndex(QObject* parent) : QObject(parent) {}

TFullTextIndex::~TFullTextIndex() {
  if (!job_) return;
  job_->Cancel = true;
  if (job_->Thread.joinable()) job_->Thread.join();
  const std::string file = job_->File;
  job_.reset();
  if (!file.empty()) std::remove(file.c_str());
}

void TFullTextIndex::Start(TMdlTreeView& view) {
  std::shared_ptr<TJob> previous = std::move(job_);
  if (previous) previous->Cancel = true;
  // What the model says of the files, now: the next load replaces the
  // model, so the worker never reads it. The disk is looked at there.
  search::TDeliveryListing listing;
  const std::string identity = view.DeliveryIdentity();
  if (!identity.empty()) listing = search::ListDeliveryFiles(view);
  if (listing.Files.empty() && listing.PhotosAt == search::TDeliveryListing::kNoPhotos) {
    // Nothing to index; the job before still has to end and go.
    if (previous) {
      auto last = std::make_shared<TJob>();
      last->Previous = std::move(previous);
      last->Ended = true;
      last->Thread = std::thread([raw = last.get()] {
        raw->Previous->Thread.join();
        if (!raw->Previous->File.empty()) std::remove(raw->Previous->File.c_str());
        raw->Previous.reset();
      });
      job_ = std::move(last);
    }
    emit Started();
    emit Progressed();
    return;
  }
  auto job = std::make_shared<TJob>();
  // One file per delivery: the same delivery loaded again finds its texts.
  const std::string work = PrivateWorkFolder();
  if (!work.empty()) {
    QByteArray key = QByteArray::fromStdString(identity);
    for (const search::TListedFile& f : listing.Files) key += '\n' + QByteArray::fromStdString(f.File.Root);
    job->File = work + "fulltext-" +
                QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16).toStdString() + ".db";
  }
  job->Previous = std::move(previous);
  auto post = [this, weak = std::weak_ptr<TJob>(job)] {
    const std::shared_ptr<TJob> j = weak.lock();
    if (!j || j->Posted.exchange(true)) return;
    QMetaObject::invokeMethod(this, [this, j] { Deliver(j); }, Qt::QueuedConnection);
  };
  job->Thread = std::thread([raw = job.get(), listing = std::move(listing), post]() mutable {
    if (raw->Previous) {
      raw->Previous->Thread.join();
      raw->Previous->Index.reset();
      if (!raw->Previous->File.empty() && raw->Previous->File != raw->File) std::remove(raw->Previous->File.c_str());
      raw->Previous.reset();
    }
    std::vector<search::TSearchFile> files;
    if (!raw->Cancel) files = search::SettleDeliveryFiles(std::move(listing), &raw->Cancel, true);
    if (!raw->Cancel) {
      if (!raw->Index->Open(raw->File)) raw->Index->Open(std::string());
      // A post a quarter second at most: the GUI thread reads the account itself.
      auto last = std::make_shared<std::atomic<long long>>(0);
      const auto progress = [post, last] {
        const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count();
        if (now - last->load() < 250) return;
        *last = now;
        post();
      };
      // Questions answer from the first portion of names and fields on.
      raw->Index->BetweenPortions = [progress](std::size_t) { progress(); };
      raw->Begun = true;
      post();
      const std::vector<std::size_t> pending = raw->Index->Begin(std::move(files), &raw->Cancel, search::ReadSizeAndTime);
      post();
      if (BeforeContents && !raw->Cancel) BeforeContents();
      search::TIndexOptions options;
      options.Threads = 2;
      options.LowPriority = true;
      options.Progress = [progress](std::size_t, std::size_t) { progress(); };
      search::IndexContents(*raw->Index, pending, SearchExtractors(), options, &raw->Cancel);
      raw->Index->Flush();
    }
    raw->Ended = true;
    post();
  });
  job_ = std::move(job);
  emit Started();
  emit Progressed();
}

void TFullTextIndex::Deliver(const std::shared_ptr<TJob>& job) {
  // Cleared before the state is read: a post dropped while this one was on
  // its way changed nothing that is not read now.
  job->Posted = false;
  if (job == job_) emit Progressed();
}

void TFullTextIndex::Cancel() {
  if (job_) job_->Cancel = true;
}

std::vector<search::TSearchHit> TFullTextIndex::Find(const search::TQuery& query, std::size_t limit) const {
  if (!job_ || !job_->Begun) return {};
  return job_->Index->Find(query, limit);
}

search::TAccount TFullTextIndex::Account() const {
  if (!job_ || !job_->Begun) return {};
  return job_->Index->Account();
}

bool TFullTextIndex::Running() const { return job_ && !job_->Ended && !job_->Cancel; }

QString TFullTextIndex::IndexFile() const { return job_ ? Q(job_->File) : QString(); }

QLabel* AddFullTextIndexLabel(QStatusBar* bar, TFullTextIndex* index) {
  auto* label = new QLabel(bar);
  label->setObjectName("lblFullTextIndex");
  label->hide();
  bar->addPermanentWidget(label);
  QObject::connect(index, &TFullTextIndex::Progressed, label, [label, index] {
    const search::TAccount account = index->Account();
    label->setVisible(index->Running());
    label->setText(QCoreApplication::translate("TfrmMain", "全文索引 %1 / %2")
                       .arg(account.Indexed)
                       .arg(account.Files));
  });
  return label;
}

// ---------------------------------------------------------------------------
// The window.

namespace {

enum TFullTextRole : int {
  kFullTextHitRole = Qt::UserRole + 1,  // a hit row's file, medium, kind, number and hit text
  kFullTextMarkStart,                    // the hit's characters in the context
  kFullTextMarkLength,
};

// The context column of a hit row: its text with the hit on a marker's
// yellow, legible in light and dark palettes alike.
class TFullTextHitDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QVariant start = index.data(kFullTextMarkStart);
    if (!start.isValid()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget).adjusted(2, 0, -2, 0);
    const int from = std::clamp(start.toInt(), 0, int(text.size()));
    const int length = std::clamp(index.data(kFullTextMarkLength).toInt(), 0, int(text.size()) - from);
    const QFontMetrics fm(opt.font);
    const QColor ink = opt.palette.color(QPalette::Active, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                               : QPalette::Text);
    painter->save();
    painter->setClipRect(room);
    painter->setFont(opt.font);
    int x = room.left();
    const int baseline = room.top() + (room.height() + fm.ascent() - fm.descent()) / 2;
    auto piece = [&](const QString& s, bool marked) {
      const int w = fm.horizontalAdvance(s);
      if (marked) {
        painter->fillRect(QRect(x, room.top() + 1, w, room.height() - 2), QColor(0xff, 0xe0, 0x40));
        painter->setPen(Qt::black);
      } else {
        painter->setPen(ink);
      }
      painter->drawText(x, baseline, s);
      x += w;
    };
    // A hit past the column's width keeps a third of the room before it,
    // the text cut in front of that.
    QString before = text.left(from);
    const QString hit = text.mid(from, length);
    if (fm.horizontalAdvance(before) + fm.horizontalAdvance(hit) > room.width() && !before.isEmpty()) {
      const int keep = std::max(0, (room.width() - fm.horizontalAdvance(hit)) / 3);
      const QString ellipsis(QChar(0x2026));
      while (!before.isEmpty() && fm.horizontalAdvance(ellipsis + before) > keep) before.remove(0, 1);
      before.prepend(ellipsis);
    }
    piece(before, false);
    piece(hit, true);
    piece(text.mid(from + length), false);
    painter->restore();
  }
};

// Where a hit stands, as the list says it.
QString FullTextWhere(const search::TSearchHit& hit) {
  switch (hit.Kind) {
    case search::TWhere::Page: return QCoreApplication::translate("TfrmFullTextSearch", "%1 ページ").arg(hit.Number);
    case search::TWhere::Line: return QCoreApplication::translate("TfrmFullTextSearch", "%1 行目").arg(hit.Number);
    case search::TWhere::Field: return Q(hit.Label);
    case search::TWhere::Drawing: return QCoreApplication::translate("TfrmFullTextSearch", "図面の文字");
    case search::TWhere::Name: break;
  }
  return QCoreApplication::translate("TfrmFullTextSearch", "ファイル名");
}

// Why a file was not searched, in the user's language: the engine's reason
// with its detail (in parentheses or after a colon) kept as it is.
QString FullTextReason(const std::string& reason) {
  struct TKnown {
    const char* Engine;
    const char* Shown;
  };
  static const TKnown kKnown[] = {
      {"encrypted", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "暗号化されています")},
      {"broken", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "壊れています")},
      {"time limit", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "時間内に読み終わりませんでした")},
      {"too large", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "大きすぎます")},
      {"cancelled", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "中止されました")},
      {"no PDF reader", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "PDF を読めません")},
      {"index full", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "索引が上限に達しました")},
      {"unreadable", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "読めません")},
      {"link out of the delivery", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "納品物の外へのリンクです")},
      {"not a regular file", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "通常のファイルではありません")},
      {"not a PDF", QT_TRANSLATE_NOOP("TfrmFullTextSearch", "PDF ではありません")},
  };
  const TKnown* best = nullptr;
  for (const TKnown& k : kKnown) {
    const std::string engine = k.Engine;
    if (reason.compare(0, engine.size(), engine) != 0) continue;
    const bool whole = reason.size() == engine.size() || reason[engine.size()] == ' ' || reason[engine.size()] == ':';
    if (whole && (!best || engine.size() > std::string(best->Engine).size())) best = &k;
  }
  if (!best) return Q(reason);
  QString shown = QCoreApplication::translate("TfrmFullTextSearch", best->Shown);
  QString rest = Q(reason.substr(std::string(best->Engine).size())).trimmed();
  if (rest.startsWith(u':')) rest = rest.mid(1).trimmed();
  if (rest.startsWith(u'(') && rest.endsWith(u')')) rest = rest.mid(1, rest.size() - 2);
  return rest.isEmpty() ? shown : QStringLiteral("%1 (%2)").arg(shown, rest);
}

// A file's row caption: its place, and the medium when there are several.
QString FullTextFileCaption(const search::TSearchHit& hit, bool media) {
  const QString file = Q(hit.File);
  return media ? QCoreApplication::translate("TfrmFullTextSearch", "%1 (媒体 %2)").arg(file).arg(hit.Medium) : file;
}

}  // namespace

TfrmFullTextSearch::TfrmFullTextSearch(TFindHost& main, TFullTextIndex& index)
    : QDialog(main.FindOwner()), main_(main), index_(index) {
  setObjectName("frmFullTextSearch");
  setWindowTitle(QCoreApplication::translate("TfrmFullTextSearch", "全文検索"));
  setModal(false);
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);

  lblFullText = new QLabel(QCoreApplication::translate("TfrmFullTextSearch", "検索する語(&W):"), this);
  lblFullText->setObjectName("lblFullText");
  edtFullText = new QLineEdit(this);
  edtFullText->setObjectName("edtFullText");
  edtFullText->setClearButtonEnabled(true);
  edtFullText->setPlaceholderText(
      QCoreApplication::translate("TfrmFullTextSearch", "語を空白で区切るとすべてを含む箇所、\"…\" で語句"));
  lblFullText->setBuddy(edtFullText);
  btnFullTextFind = new QPushButton(QCoreApplication::translate("TfrmFullTextSearch", "検索(&S)"), this);
  btnFullTextFind->setObjectName("btnFullTextFind");
  btnFullTextFind->setAutoDefault(false);
  lblFullTextState = new QLabel(this);
  lblFullTextState->setObjectName("lblFullTextState");
  lblFullTextState->setWordWrap(true);
  tvwFullTextHits = new QTreeWidget(this);
  tvwFullTextHits->setObjectName("tvwFullTextHits");
  tvwFullTextHits->setColumnCount(2);
  tvwFullTextHits->setHeaderLabels({QCoreApplication::translate("TfrmFullTextSearch", "場所"),
                                    QCoreApplication::translate("TfrmFullTextSearch", "内容")});
  tvwFullTextHits->setRootIsDecorated(true);
  tvwFullTextHits->setUniformRowHeights(true);
  tvwFullTextHits->setAllColumnsShowFocus(true);
  tvwFullTextHits->setItemDelegateForColumn(1, new TFullTextHitDelegate(tvwFullTextHits));
  tvwFullTextHits->header()->setStretchLastSection(true);
  tvwFullTextHits->setColumnWidth(0, 260);
  lblFullTextNotSearched = new QLabel(this);
  lblFullTextNotSearched->setObjectName("lblFullTextNotSearched");
  lstFullTextNotSearched = new QTreeWidget(this);
  lstFullTextNotSearched->setObjectName("lstFullTextNotSearched");
  lstFullTextNotSearched->setColumnCount(2);
  lstFullTextNotSearched->setHeaderLabels({QCoreApplication::translate("TfrmFullTextSearch", "ファイル"),
                                           QCoreApplication::translate("TfrmFullTextSearch", "理由")});
  lstFullTextNotSearched->setRootIsDecorated(false);
  lstFullTextNotSearched->setColumnWidth(0, 260);
  lstFullTextNotSearched->setMaximumHeight(110);
  btnFullTextClose = new QPushButton(QCoreApplication::translate("TfrmFullTextSearch", "閉じる"), this);
  btnFullTextClose->setObjectName("btnFullTextClose");
  btnFullTextClose->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  auto* row = new QHBoxLayout;
  row->addWidget(lblFullText);
  row->addWidget(edtFullText, 1);
  row->addWidget(btnFullTextFind);
  layout->addLayout(row);
  layout->addWidget(lblFullTextState);
  layout->addWidget(tvwFullTextHits, 1);
  layout->addWidget(lblFullTextNotSearched);
  layout->addWidget(lstFullTextNotSearched);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(btnFullTextClose);
  layout->addLayout(bottom);

  connect(edtFullText, &QLineEdit::returnPressed, this, [this] { Search(); });
  connect(btnFullTextFind, &QPushButton::clicked, this, [this] { Search(); });
  connect(btnFullTextClose, &QPushButton::clicked, this, &QDialog::close);
  // Enter and a double click (activation) show the hit.
  connect(tvwFullTextHits, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { ShowHit(item); });
  connect(&index_, &TFullTextIndex::Started, this, [this] {
    Clear();
    UpdateState();
  });
  connect(&index_, &TFullTextIndex::Progressed, this, [this] {
    if (searched_ && searchedIncomplete_ && !index_.Running() && index_.Account().Complete())
      SearchFor(searchedText_, true);
    else
      UpdateState();
  });
  edtFullText->installEventFilter(this);
  resize(720, 480);
  UpdateState();
}

void TfrmFullTextSearch::ShowSearch() {
  if (!placed_) {
    placed_ = true;
    QWidget* owner = main_.FindOwner();
    QWidget* panes = main_.PaneArea();
    const QRect frame = owner->frameGeometry();
    const QRect paneRect = panes ? QRect(panes->mapToGlobal(QPoint()), panes->size()) : frame;
    const QScreen* screen = owner->screen();
    const QRect area = screen ? screen->availableGeometry() : frame;
    move(PlaceBeside(frame, paneRect, paneRect, size(), area));
  }
  show();
  raise();
  activateWindow();
  edtFullText->setFocus(Qt::ShortcutFocusReason);
  edtFullText->selectAll();
  UpdateState();
}

void TfrmFullTextSearch::Clear() {
  tvwFullTextHits->clear();
  searched_ = false;
  searchedIncomplete_ = false;
  hits_ = hitFiles_ = 0;
}

int TfrmFullTextSearch::Search() { return SearchFor(edtFullText->text(), false); }

int TfrmFullTextSearch::SearchFor(const QString& text, bool keepPlace) {
  // The place: the current row's hit (or file caption) and the scrolling.
  QVariant place;
  int scrolled = 0;
  if (QTreeWidgetItem* current = keepPlace ? tvwFullTextHits->currentItem() : nullptr) {
    place = current->childCount() > 0 ? QVariant(current->text(0)) : current->data(0, kFullTextHitRole);
    scrolled = tvwFullTextHits->verticalScrollBar()->value();
  }
  tvwFullTextHits->clear();
  const search::TQuery query = search::ParseQuery(text.toStdString(), false);
  searched_ = !query.Terms.empty();
  searchedText_ = text;
  searchedIncomplete_ = index_.Running();
  hits_ = hitFiles_ = 0;
  if (!searched_) {
    UpdateState();
    return 0;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::vector<search::TSearchHit> hits = index_.Find(query, kMaxHits);
  QApplication::restoreOverrideCursor();
  bool media = false;
  for (const search::TSearchHit& h : hits) media = media || h.Medium != hits.front().Medium;
  QTreeWidgetItem* file = nullptr;
  std::string lastFile;
  int lastMedium = -1;
  QList<QTreeWidgetItem*> files;
  for (const search::TSearchHit& h : hits) {
    if (!file || h.File != lastFile || h.Medium != lastMedium) {
      file = new QTreeWidgetItem({FullTextFileCaption(h, media)});
      file->setToolTip(0, Q(h.Path));
      files.push_back(file);
      lastFile = h.File;
      lastMedium = h.Medium;
    }
    // The context with the hit's place in characters, not bytes.
    const QString before = Q(h.Context.substr(0, std::min(h.HitStart, h.Context.size())));
    const QString hitText = Q(h.Context.substr(std::min(h.HitStart, h.Context.size()), h.HitLength));
    auto* row = new QTreeWidgetItem(file, {FullTextWhere(h), Q(h.Context)});
    row->setData(1, kFullTextMarkStart, int(before.size()));
    row->setData(1, kFullTextMarkLength, int(hitText.size()));
    row->setData(0, kFullTextHitRole, QVariant::fromValue(QStringList{
                                          Q(h.File), QString::number(h.Medium), QString::number(int(h.Kind)),
                                          QString::number(h.Number), hitText}));
  }
  for (QTreeWidgetItem* f : files) f->setText(1, QCoreApplication::translate("TfrmFullTextSearch", "%n 件", "", f->childCount()));
  tvwFullTextHits->addTopLevelItems(files);
  tvwFullTextHits->expandAll();
  hits_ = hits.size();
  hitFiles_ = std::size_t(files.size());
  QTreeWidgetItem* current = files.isEmpty() ? nullptr : files.front()->child(0);
  if (place.isValid())
    for (QTreeWidgetItem* f : files) {
      if (place.userType() == QMetaType::QString && f->text(0) == place.toString()) current = f;
      for (int i = 0; i < f->childCount(); ++i)
        if (f->child(i)->data(0, kFullTextHitRole) == place) current = f->child(i);
    }
  if (current) tvwFullTextHits->setCurrentItem(current);
  UpdateState();
  if (place.isValid()) tvwFullTextHits->verticalScrollBar()->setValue(scrolled);
  return int(hits_);
}

void TfrmFullTextSearch::ShowHit(QTreeWidgetItem* row) {
  if (row && row->childCount() > 0) row = row->child(0);
  if (!row) return;
  const QStringList hit = row->data(0, kFullTextHitRole).toStringList();
  if (hit.size() < 5) return;
  TFinding finding;
  finding.Path = hit[0].toStdString();
  finding.Medium = hit[1].toStdString();
  TMdlTreeView& view = main_.Model().View;
  const TFindingTarget target = FindFindingTarget(view, TFindingRef::OfDelivery(finding));
  if (!target.Item) return;
  main_.SelectItem(target.Item);
  TPreviewMark mark;
  const auto kind = search::TWhere(hit[2].toInt());
  if (kind == search::TWhere::Page) mark.Page = hit[3].toInt() - 1;
  if (kind == search::TWhere::Line) mark.Line = hit[3].toInt();
  mark.Text = hit[4];
  if ((mark.Page >= 0 || mark.Line > 0) && main_.PaneArea())
    for (TPreviewView* preview : main_.PaneArea()->findChildren<TPreviewView*>())
      if (preview->isVisible()) {
        preview->ShowMark(mark);
        break;
      }
  // The keyboard stays with the hits, for the next one.
  raise();
  activateWindow();
  tvwFullTextHits->setFocus(Qt::OtherFocusReason);
}

void TfrmFullTextSearch::UpdateState() {
  const search::TAccount account = index_.Account();
  QStringList lines;
  if (index_.Running())
    lines << QCoreApplication::translate("TfrmFullTextSearch",
                                         "索引作成中: %1 / %2 ファイル (索引のできたファイルだけを検索します)")
                 .arg(account.Indexed)
                 .arg(account.Files);
  if (searched_) {
    if (hits_ == 0)
      lines << QCoreApplication::translate("TfrmFullTextSearch", "見つかりませんでした。");
    else if (hits_ >= kMaxHits)
      lines << QCoreApplication::translate("TfrmFullTextSearch", "最初の %1 件を表示しています (%2 ファイル)。")
                   .arg(hits_)
                   .arg(hitFiles_);
    else
      lines << QCoreApplication::translate("TfrmFullTextSearch", "%1 件 (%2 ファイル)").arg(hits_).arg(hitFiles_);
  }
  lblFullTextState->setText(lines.join(u'\n'));
  lblFullTextState->setVisible(!lines.isEmpty());
  lstFullTextNotSearched->clear();
  for (const search::TAccount::TNotSearched& n : account.NotSearched) {
    auto* row = new QTreeWidgetItem(lstFullTextNotSearched, {Q(n.File), FullTextReason(n.Reason)});
    row->setToolTip(1, Q(n.Reason));
  }
  lblFullTextNotSearched->setText(
      QCoreApplication::translate("TfrmFullTextSearch", "検索できなかったファイル: %1").arg(account.NotSearched.size()));
  lblFullTextNotSearched->setVisible(!account.NotSearched.empty());
  lstFullTextNotSearched->setVisible(!account.NotSearched.empty());
}

bool TfrmFullTextSearch::eventFilter(QObject* watched, QEvent* e) {
  // Down from the search box goes to the hits.
  if (watched == edtFullText && e->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(e)->key() == Qt::Key_Down && tvwFullTextHits->topLevelItemCount() > 0) {
    if (!tvwFullTextHits->currentItem()) tvwFullTextHits->setCurrentItem(tvwFullTextHits->topLevelItem(0)->child(0));
    tvwFullTextHits->setFocus(Qt::TabFocusReason);
    return true;
  }
  return QDialog::eventFilter(watched, e);
}

TfrmFullTextSearch* ShowFullTextSearch(TFindHost& main, TFullTextIndex& index, TfrmFullTextSearch*& window) {
  if (!window) window = new TfrmFullTextSearch(main, index);
  window->ShowSearch();
  return window;
}

}  // namespace dlvr

#include "moc_full_text_search.cpp"
