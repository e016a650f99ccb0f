#include "panes/photo_view_model.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <mutex>

#include "components/qt_string.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// Space around the thumbnail box inside a cell.
constexpr int kPad = 6;

// The pool the thumbnails are decoded in: a pool of its own, so that other
// background work (previews, checks) never waits behind a screen of
// thumbnails. It goes with the application.
QThreadPool& ThumbnailPool() {
  static QPointer<QThreadPool> pool;
  if (!pool) {
    pool = new QThreadPool(QCoreApplication::instance());
    pool->setMaxThreadCount(TThumbnailLoader::MaxRunning());
    pool->setExpiryTimeout(30000);
  }
  return *pool;
}

}  // namespace

// ---------------------------------------------------------------------------
// Thumbnails

// What a worker hands its result to: the loader while it lives, nothing
// after it has gone.
struct TThumbnailLoader::Sink {
  std::mutex Mutex;
  TThumbnailLoader* Loader = nullptr;
};

TThumbnailLoader::TThumbnailLoader(QSize box, qreal ratio, QObject* parent)
    : QObject(parent), box_(box), ratio_(std::max<qreal>(1, ratio)), sink_(std::make_shared<Sink>()) {
  sink_->Loader = this;
}

TThumbnailLoader::~TThumbnailLoader() {
  // A decode still running finds no loader and drops its result; a result
  // already posted goes with this object's pending events.
  std::lock_guard<std::mutex> lock(sink_->Mutex);
  sink_->Loader = nullptr;
}

int TThumbnailLoader::MaxRunning() { return std::clamp(QThread::idealThreadCount() - 1, 1, 3); }

TThumbnailLoader::Entry* TThumbnailLoader::Lookup(const QString& path) {
  auto it = cache_.find(path);
  if (it == cache_.end()) return nullptr;
  if (it->Checked != generation_) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() != it->Size || info.lastModified().toMSecsSinceEpoch() != it->Modified) {
      cacheBytes_ -= it->Bytes;
      use_.erase(it->Use);
      cache_.erase(it);
      return nullptr;
    }
    it->Checked = generation_;
  }
  // Most recently used.
  use_.splice(use_.begin(), use_, it->Use);
  return &*it;
}

QPixmap TThumbnailLoader::Cached(const QString& path) {
  Entry* e = Lookup(path);
  return e ? e->Pixmap : QPixmap();
}

bool TThumbnailLoader::Failed(const QString& path) const {
  auto it = cache_.find(path);
  return it != cache_.end() && it->Failed;
}

void TThumbnailLoader::Want(const QStringList& paths) {
  queue_.clear();
  QHash<QString, bool> seen;
  for (const QString& p : paths) {
    if (p.isEmpty() || seen.contains(p) || runningPaths_.contains(p) || Lookup(p)) continue;
    seen.insert(p, true);
    queue_.push_back(p);
  }
  Pump();
}

void TThumbnailLoader::Cancel() { queue_.clear(); }

void TThumbnailLoader::Pump() {
  while (running_ < MaxRunning() && !queue_.empty()) {
    const QString path = queue_.front();
    queue_.pop_front();
    ++running_;
    runningPaths_.insert(path, true);
    ThumbnailPool().start([sink = sink_, path, box = box_ * ratio_] {
      // On a worker thread: no widget, no member of the loader touched here.
      const QFileInfo info(path);
      const QImage image = DecodeThumbnail(path, box);
      const qint64 size = info.size(), modified = info.lastModified().toMSecsSinceEpoch();
      std::lock_guard<std::mutex> lock(sink->Mutex);
      if (TThumbnailLoader* loader = sink->Loader)
        QMetaObject::invokeMethod(
            loader, [loader, path, image, size, modified] { loader->Finished(path, image, !image.isNull(), size, modified); },
            Qt::QueuedConnection);
    });
  }
}

void TThumbnailLoader::Finished(const QString& path, const QImage& image, bool decoded, qint64 size,
                                qint64 modified) {
  --running_;
  ++decoded_;
  runningPaths_.remove(path);
  Entry e;
  e.Failed = !decoded;
  if (decoded) {
    e.Pixmap = QPixmap::fromImage(image);
    e.Pixmap.setDevicePixelRatio(ratio_);
  }
  e.Bytes = decoded ? qint64(image.width()) * image.height() * 4 : 64;
  e.Size = size;
  e.Modified = modified;
  Insert(path, std::move(e));
  emit Ready(path);
  Pump();
}

void TThumbnailLoader::Insert(const QString& path, Entry entry) {
  auto old = cache_.find(path);
  if (old != cache_.end()) {
    cacheBytes_ -= old->Bytes;
    use_.erase(old->Use);
    cache_.erase(old);
  }
  use_.push_front(path);
  entry.Use = use_.begin();
  entry.Checked = generation_;
  cacheBytes_ += entry.Bytes;
  cache_.insert(path, std::move(entry));
  Evict();
}

void TThumbnailLoader::Evict() {
  // The one just added stays, however large.
  while (cacheBytes_ > CacheLimit && use_.size() > 1) {
    auto it = cache_.find(use_.back());
    cacheBytes_ -= it->Bytes;
    cache_.erase(it);
    use_.pop_back();
  }
}

// ---------------------------------------------------------------------------
// The list model

TPhotoListModel::TPhotoListModel(TThumbnailLoader& loader, QObject* parent)
    : QAbstractListModel(parent), loader_(loader) {
  connect(&loader_, &TThumbnailLoader::Ready, this, &TPhotoListModel::ThumbnailReady);
}

void TPhotoListModel::SetStore(std::shared_ptr<const TPhotoStore> store, std::vector<int> reachableMedia) {
  beginResetModel();
  store_ = std::move(store);
  reachable_ = std::move(reachableMedia);
  rows_.clear();
  firstVisible_ = lastVisible_ = -1;
  rowOfRecord_.assign(store_ ? store_->Records().size() : 0, -1);
  rowsOfPath_.clear();
  findings_.clear();
  loader_.Cancel();
  loader_.NewGeneration();
  endResetModel();
}

void TPhotoListModel::SetRows(std::vector<int> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  firstVisible_ = lastVisible_ = -1;
  std::fill(rowOfRecord_.begin(), rowOfRecord_.end(), -1);
  rowsOfPath_.clear();
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    const int rec = rows_[row];
    rowOfRecord_[static_cast<std::size_t>(rec)] = static_cast<int>(row);
    const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(rec)];
    if (r.Exists) rowsOfPath_[Q(r.Path)].push_back(static_cast<int>(row));
  }
  loader_.Cancel();
  endResetModel();
}

int TPhotoListModel::RowOf(int record) const {
  return record >= 0 && static_cast<std::size_t>(record) < rowOfRecord_.size()
             ? rowOfRecord_[static_cast<std::size_t>(record)]
             : -1;
}

int TPhotoListModel::RecordAt(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? rows_[static_cast<std::size_t>(row)] : -1;
}

TPhotoListModel::TState TPhotoListModel::State(int record) const {
  if (!store_ || record < 0 || static_cast<std::size_t>(record) >= store_->Records().size()) return Missing;
  const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(record)];
  if (!r.Exists) {
    const int medium = static_cast<int>(WholeNumber(r.MediaNo));
    const bool reachable = std::find(reachable_.begin(), reachable_.end(), medium) != reachable_.end();
    return medium > 0 && !reachable ? Elsewhere : Missing;
  }
  const QString path = Q(r.Path);
  if (!loader_.Cached(path).isNull()) return Ready;
  return loader_.Failed(path) ? Unreadable : Loading;
}

void TPhotoListModel::SetVisibleRows(int first, int last) {
  const int count = static_cast<int>(rows_.size());
  if (first < 0 || count == 0) {
    firstVisible_ = lastVisible_ = -1;
    loader_.Want({});
    return;
  }
  firstVisible_ = std::min(first, count - 1);
  lastVisible_ = std::clamp(last, firstVisible_, count - 1);
  const int screen = lastVisible_ - firstVisible_ + 1;
  QStringList wanted;
  auto want = [&](int row) {
    if (row < 0 || row >= count) return;
    const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(rows_[static_cast<std::size_t>(row)])];
    if (r.Exists) wanted << Q(r.Path);
  };
  for (int row = firstVisible_; row <= lastVisible_; ++row) want(row);
  for (int row = lastVisible_ + 1; row <= lastVisible_ + screen; ++row) want(row);
  for (int row = firstVisible_ - 1; row >= firstVisible_ - screen; --row) want(row);
  loader_.Want(wanted);
}

int TPhotoListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

void TPhotoListModel::SetFindingCounts(std::vector<int> counts) {
  findings_ = std::move(counts);
  if (!rows_.empty()) emit dataChanged(index(0), index(rowCount() - 1), {FindingsRole, Qt::ToolTipRole});
}

int TPhotoListModel::FindingCount(int record) const {
  return record >= 0 && static_cast<std::size_t>(record) < findings_.size() ? findings_[static_cast<std::size_t>(record)]
                                                                             : 0;
}

QVariant TPhotoListModel::data(const QModelIndex& index, int role) const {
  const int rec = index.isValid() ? RecordAt(index.row()) : -1;
  if (rec < 0) return QVariant();
  const TPhotoRecord& r = store_->Records()[static_cast<std::size_t>(rec)];
  switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
      return r.Title.empty() ? Q(r.FileName) : Q(r.Title);
    case DateRole:
      return Q(r.Date);
    case RecordRole:
      return rec;
    case StateRole:
      return static_cast<int>(State(rec));
    case ThumbnailRole:
      return r.Exists ? loader_.Cached(Q(r.Path)) : QPixmap();
    case RepresentativeRole:
      return PhotoFlag(r.Representative);
    case FrequencyRole:
      return PhotoFlag(r.Frequency);
    case MediumRole:
      return static_cast<int>(WholeNumber(r.MediaNo));
    case FindingsRole:
      return FindingCount(rec);
    case Qt::ToolTipRole: {
      QString tip = (r.Title.empty() ? Q(r.FileName) : Q(r.Title)) + u'\n' + Q(r.FileName) + QStringLiteral("  ") +
                    Q(r.Date);
      switch (State(rec)) {
        case Missing:
          tip += u'\n' + QCoreApplication::translate("TPhotoListModel", "ファイルがありません。");
          break;
        case Elsewhere:
          tip += u'\n' + QCoreApplication::translate("TPhotoListModel",
                                                     "ファイルは%1枚目のメディアにあります（読み込まれていません）。")
                             .arg(WholeNumber(r.MediaNo));
          break;
        case Unreadable:
          tip += u'\n' + QCoreApplication::translate("TPhotoListModel", "画像として表示できません。");
          break;
        default: break;
      }
      if (const int n = FindingCount(rec))
        tip += u'\n' + QCoreApplication::translate("TPhotoListModel", "写真チェックの指摘: %1件").arg(n);
      return tip;
    }
    default:
      return QVariant();
  }
}

void TPhotoListModel::ThumbnailReady(const QString& path) {
  auto it = rowsOfPath_.constFind(path);
  if (it == rowsOfPath_.constEnd()) return;
  for (int row : *it) {
    const QModelIndex i = index(row);
    emit dataChanged(i, i, {ThumbnailRole, StateRole});
  }
}

// ---------------------------------------------------------------------------
// The delegate

TPhotoItemDelegate::TPhotoItemDelegate(QSize box, QObject* parent) : QStyledItemDelegate(parent), box_(box) {}

QSize TPhotoItemDelegate::CellSize(const QFontMetrics& metrics) const {
  return QSize(box_.width() + 2 * kPad, kPad + box_.height() + 4 + 2 * metrics.height() + kPad);
}

QSize TPhotoItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return CellSize(option.fontMetrics);
}

void TPhotoItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  const QRect cell = option.rect;
  const bool selected = option.state & QStyle::State_Selected;
  if (selected)
    painter->fillRect(cell.adjusted(1, 1, -1, -1), option.palette.highlight());
  else if (option.state & QStyle::State_MouseOver)
    painter->fillRect(cell.adjusted(1, 1, -1, -1), option.palette.midlight());
  if (option.state & QStyle::State_HasFocus) {
    painter->setPen(QPen(option.palette.highlight().color().darker(130), 1, Qt::DotLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(cell.adjusted(1, 1, -2, -2));
  }

  const QRect box(cell.left() + (cell.width() - box_.width()) / 2, cell.top() + kPad, box_.width(), box_.height());
  QFont small = option.font;
  small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.85));
  // A placeholder card: a fill, a border and a centred text.
  auto card = [&](const QColor& fill, const QColor& border, Qt::PenStyle style, const QString& text, const QColor& ink) {
    painter->setPen(QPen(border, 2, style));
    painter->setBrush(fill);
    painter->drawRect(box.adjusted(1, 1, -1, -1));
    painter->setFont(small);
    painter->setPen(ink);
    painter->drawText(box.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, text);
  };
  switch (index.data(TPhotoListModel::StateRole).toInt()) {
    case TPhotoListModel::Ready: {
      const QPixmap pix = index.data(TPhotoListModel::ThumbnailRole).value<QPixmap>();
      QSize size = pix.deviceIndependentSize().toSize();
      if (size.width() > box.width() || size.height() > box.height()) size.scale(box.size(), Qt::KeepAspectRatio);
      const QRect target(box.left() + (box.width() - size.width()) / 2, box.top() + (box.height() - size.height()) / 2,
                         size.width(), size.height());
      painter->drawPixmap(target, pix);
      break;
    }
    case TPhotoListModel::Loading:
      card(option.palette.window().color(), option.palette.mid().color(), Qt::SolidLine,
           QCoreApplication::translate("TPhotoItemDelegate", "読込中…"), option.palette.placeholderText().color());
      break;
    case TPhotoListModel::Unreadable:
      card(QColor(0xf2, 0xf2, 0xf2), QColor(0x99, 0x99, 0x99), Qt::SolidLine,
           QCoreApplication::translate("TPhotoItemDelegate", "画像として\n表示できません"), QColor(0x55, 0x55, 0x55));
      break;
    case TPhotoListModel::Missing: {
      card(QColor(0xfd, 0xec, 0xec), QColor(0xc6, 0x28, 0x28), Qt::SolidLine, QString(), Qt::black);
      // A red cross over the box and the words under it.
      painter->setPen(QPen(QColor(0xc6, 0x28, 0x28), 3));
      const QPoint c = box.center() - QPoint(0, 10);
      painter->drawLine(c + QPoint(-14, -14), c + QPoint(14, 14));
      painter->drawLine(c + QPoint(-14, 14), c + QPoint(14, -14));
      painter->setFont(small);
      painter->drawText(QRect(box.left(), c.y() + 20, box.width(), box.bottom() - c.y() - 20),
                        Qt::AlignHCenter | Qt::AlignTop,
                        QCoreApplication::translate("TPhotoItemDelegate", "ファイルなし"));
      break;
    }
    case TPhotoListModel::Elsewhere:
      card(QColor(0xea, 0xf0, 0xfa), QColor(0x2f, 0x5f, 0xb3), Qt::DashLine,
           QCoreApplication::translate("TPhotoItemDelegate", "%1枚目のメディア\n（読み込まれていません）")
               .arg(index.data(TPhotoListModel::MediumRole).toInt()),
           QColor(0x2f, 0x5f, 0xb3));
      break;
  }

  // Tags at the box's top left.
  int tagX = box.left() + 3;
  auto tag = [&](const QString& text, const QColor& colour) {
    painter->setFont(small);
    const QFontMetrics fm(small);
    const QRect r(tagX, box.top() + 3, fm.horizontalAdvance(text) + 8, fm.height() + 2);
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    painter->drawRoundedRect(r, 3, 3);
    painter->setPen(Qt::white);
    painter->drawText(r, Qt::AlignCenter, text);
    tagX = r.right() + 3;
  };
  if (index.data(TPhotoListModel::RepresentativeRole).toBool())
    tag(QCoreApplication::translate("TPhotoItemDelegate", "代表", "representative photo"), QColor(0xe0, 0x6c, 0x00));
  if (index.data(TPhotoListModel::FrequencyRole).toBool())
    tag(QCoreApplication::translate("TPhotoItemDelegate", "提出", "photo for the submission frequency"),
        QColor(0x00, 0x7c, 0x78));

  // Findings of the photo checks: a red badge with their count at the
  // box's top right.
  if (const int findings = index.data(TPhotoListModel::FindingsRole).toInt()) {
    painter->setFont(small);
    const QFontMetrics fm(small);
    const QString text = QStringLiteral("!%1").arg(findings);
    const int h = fm.height() + 2;
    const QRect r(box.right() - 3 - std::max(h, fm.horizontalAdvance(text) + 8), box.top() + 3,
                  std::max(h, fm.horizontalAdvance(text) + 8), h);
    painter->setPen(QPen(Qt::white, 1));
    painter->setBrush(QColor(0xd3, 0x2f, 0x2f));
    painter->drawRoundedRect(r, h / 2.0, h / 2.0);
    painter->drawText(r, Qt::AlignCenter, text);
  }

  // The title and the date under the box.
  const QFontMetrics fm(option.font);
  const QRect textRect(cell.left() + kPad / 2, box.bottom() + 4, cell.width() - kPad, fm.height());
  painter->setFont(option.font);
  painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  painter->drawText(textRect, Qt::AlignHCenter | Qt::AlignVCenter,
                    fm.elidedText(index.data(TPhotoListModel::TitleRole).toString(), Qt::ElideRight, textRect.width()));
  painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
  painter->drawText(textRect.translated(0, fm.height()), Qt::AlignHCenter | Qt::AlignVCenter,
                    fm.elidedText(index.data(TPhotoListModel::DateRole).toString(), Qt::ElideRight, textRect.width()));
  painter->restore();
}

}  // namespace dlvr

#include "moc_photo_view_model.cpp"
