#include "app/kkt_tree_model.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QStyle>

#include "components/legible_color.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {

int TDesktopIcons::IconIndex(const std::string& path) {
  // One icon per file type: the type decides the icon the desktop shows, and
  // asking once per type keeps large deliveries fast.
  std::string key = AsciiUpper(ExtractFileExt(path));
  auto it = byType_.find(key);
  if (it != byType_.end()) return it->second;
  QFileInfo info(QString::fromStdString(path));
  QIcon icon;
  QMimeType mime = mimes_.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
  if (mime.isValid() && !mime.iconName().isEmpty()) icon = QIcon::fromTheme(mime.iconName());
  if (icon.isNull() && mime.isValid()) icon = QIcon::fromTheme(mime.genericIconName());
  if (icon.isNull()) icon = provider_.icon(QFileIconProvider::File);
  int index = icons_.size();
  icons_.push_back(icon);
  byType_.emplace(key, index);
  return index;
}

QString TDesktopIcons::TypeName(const std::string& path) {
  QMimeType mime = mimes_.mimeTypeForFile(QString::fromStdString(path), QMimeDatabase::MatchExtension);
  return mime.isValid() ? mime.comment() : QString();
}

TKKTTreeModel::TKKTTreeModel(TMdlTreeView& view, TDesktopIcons& icons, QObject* parent)
    : QAbstractItemModel(parent), view_(view), icons_(icons) {
  view_.Tree().SetObserver(this);
}

TKKTTreeModel::~TKKTTreeModel() { view_.Tree().SetObserver(nullptr); }

TTreeItem* TKKTTreeModel::Item(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TTreeItem*>(index.internalPointer()) : nullptr;
}

QModelIndex TKKTTreeModel::IndexOf(TTreeItem* item) const {
  if (!item) return QModelIndex();
  return createIndex(item->Index(), 0, item);
}

QModelIndex TKKTTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return QModelIndex();
  TTreeItem* p = Item(parent);
  TTreeItem* child = p ? p->Item(row) : view_.Tree().TopItem(row);
  return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex TKKTTreeModel::parent(const QModelIndex& child) const {
  TTreeItem* item = Item(child);
  return item ? IndexOf(item->Parent()) : QModelIndex();
}

int TKKTTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  TTreeItem* p = Item(parent);
  return p ? p->Count() : view_.Tree().TopCount();
}

int TKKTTreeModel::columnCount(const QModelIndex&) const { return 1; }

QIcon TKKTTreeModel::ModuleImage(int index) {
  static QVector<QIcon> images;
  if (images.isEmpty()) {
    QStyle* s = QApplication::style();
    QIcon root = s->standardIcon(QStyle::SP_DriveCDIcon);
    QIcon folder = s->standardIcon(QStyle::SP_DirClosedIcon);
    QIcon open = s->standardIcon(QStyle::SP_DirOpenIcon);
    QIcon record = s->standardIcon(QStyle::SP_FileDialogDetailedView);
    QIcon file = s->standardIcon(QStyle::SP_FileIcon);
    // The missing-file image: the file icon struck through in red.
    QPixmap missing = file.pixmap(16, 16);
    {
      QPainter p(&missing);
      p.setPen(QPen(Qt::red, 2));
      p.drawLine(3, 3, 13, 13);
      p.drawLine(13, 3, 3, 13);
    }
    images = {root, root, folder, open, folder, open, record, record, file, file, QIcon(missing)};
  }
  return index >= 0 && index < images.size() ? images[index] : QIcon();
}

bool TKKTTreeModel::MissingMark(const TTreeItem* item) const {
  const TMdlTreeItemData* d = view_.NodeData(item);
  return item && ((d && !d->Exists && d->Media >= 1) || item->ImageIndex() == imgFileMissing);
}

QVariant TKKTTreeModel::data(const QModelIndex& index, int role) const {
  TTreeItem* item = Item(index);
  if (!item) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return QString::fromStdString(item->Caption());
    case Qt::DecorationRole: {
      int image = item->ImageIndex();
      if (image >= view_.SysIconBase) return icons_.Icon(image - view_.SysIconBase);
      return ModuleImage(image);
    }
    case Qt::ToolTipRole: {
      // A file shows its original file's content or software; other items
      // their hint text (none).
      std::string hint = view_.NodeLevel(item) == nlFile ? view_.GetFileItem(item, HintContent ? 4 : 3)
                                                          : view_.NodeHint(item);
      return hint.empty() ? QVariant() : QVariant(QString::fromStdString(hint));
    }
    case Qt::ForegroundRole: {
      const int mark = CompareMark ? CompareMark(item) : cmNone;
      if (mark == cmNone) return QVariant();
      return CompareColor(mark, IsDark(QApplication::palette().color(QPalette::Base)));
    }
    default:
      return QVariant();
  }
}

QColor TKKTTreeModel::CompareColor(int mark, bool dark) {
  switch (mark) {
    case cmAdded: return dark ? QColor(110, 220, 110) : QColor(0, 128, 0);
    case cmChanged:
    case cmRemovedInside: return dark ? QColor(255, 170, 60) : QColor(190, 90, 0);
    case cmRemoved: return dark ? QColor(150, 150, 150) : QColor(128, 128, 128);
    default: return QColor();
  }
}

void TKKTTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  if (model_.DropTarget && model_.DropTarget == model_.Item(index)) {
    painter->save();
    painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1, Qt::DashLine));
    painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    painter->restore();
  }
  if (const int mark = model_.CompareMark ? model_.CompareMark(model_.Item(index)) : cmNone) {
    // The comparison's mark at the icon's lower right: + added, a dot
    // changed (a ring when only something inside was removed), - removed.
    const QRect r(option.rect.left() + 9, option.rect.top() + option.rect.height() - 10, 9, 9);
    const QColor color = TKKTTreeModel::CompareColor(mark, IsDark(option.palette.color(QPalette::Base)));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(color, 2));
    if (mark == cmChanged) painter->setBrush(color);
    if (mark == cmChanged || mark == cmRemovedInside) {
      painter->drawEllipse(r.adjusted(1, 1, -1, -1));
    } else {
      painter->drawLine(r.left(), r.center().y(), r.right(), r.center().y());
      if (mark == cmAdded) painter->drawLine(r.center().x(), r.top(), r.center().x(), r.bottom());
    }
    painter->restore();
  }
  if (!model_.MissingMark(model_.Item(index))) return;
  // A small red cross over the item's icon.
  QRect r(option.rect.left() + 2, option.rect.top() + 2, 8, 8);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(QPen(QColor(220, 0, 0), 2));
  painter->drawLine(r.topLeft(), r.bottomRight());
  painter->drawLine(r.topRight(), r.bottomLeft());
  painter->restore();
}

Qt::ItemFlags TKKTTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // A record the compared delivery no longer has shows greyed (its text
  // colour) but can be selected: its pane shows what it held.
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TKKTTreeModel::BeginReset() { beginResetModel(); }
void TKKTTreeModel::EndReset() {
  endResetModel();
  // Expansion is part of the tree's state: restore it after a reset.
  if (OnExpandedChanged)
    view_.Tree().ForEach([this](TTreeItem* i) {
      if (i->Expanded()) OnExpandedChanged(i, true);
    });
}

QList<QPersistentModelIndex> TKKTTreeModel::LayoutParents(TTreeItem* parent) const {
  if (!parent) return {};
  return {QPersistentModelIndex(IndexOf(parent))};
}

void TKKTTreeModel::BeginReorder(TTreeItem* parent) {
  emit layoutAboutToBeChanged(LayoutParents(parent), VerticalSortHint);
}

void TKKTTreeModel::EndReorder(TTreeItem* parent) {
  // Only the children of `parent` changed rows; an index keeps its item,
  // and the item knows its new row.
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& i : from) {
    TTreeItem* item = Item(i);
    to << (item && item->Parent() == parent ? createIndex(item->Index(), i.column(), item) : i);
  }
  changePersistentIndexList(from, to);
  emit layoutChanged(LayoutParents(parent), VerticalSortHint);
}

void TKKTTreeModel::BeginChanges() {
  collecting_ = true;
  changed_.clear();
  changedSet_.clear();
}

void TKKTTreeModel::EndChanges() {
  collecting_ = false;
  // One signal per run of changed siblings with nothing shown between them:
  // a view walks every row it shows between the first and the last index of
  // a signal, so a run ends at an item with children (a re-captioning of the
  // file names is a few signals per record, not one per file, and the
  // class captions do not make the view walk the open classes).
  for (std::size_t i = 0; i < changed_.size();) {
    TTreeItem* first = changed_[i];
    TTreeItem* last = first;
    while (++i < changed_.size() && !last->HasChildren() && changed_[i]->Parent() == last->Parent() &&
           changed_[i]->Index() == last->Index() + 1)
      last = changed_[i];
    emit dataChanged(IndexOf(first), IndexOf(last));
  }
  changed_.clear();
  changedSet_.clear();
}

void TKKTTreeModel::BeforeInsert(TTreeItem* parent, int row) { beginInsertRows(IndexOf(parent), row, row); }
void TKKTTreeModel::AfterInsert(TTreeItem*) { endInsertRows(); }
void TKKTTreeModel::BeforeRemove(TTreeItem* item) {
  int row = item->Index();
  beginRemoveRows(IndexOf(item->Parent()), row, row);
}
void TKKTTreeModel::AfterRemove(TTreeItem*, int) { endRemoveRows(); }
void TKKTTreeModel::ItemChanged(TTreeItem* item) {
  if (collecting_) {
    if (changedSet_.insert(item).second) changed_.push_back(item);
    return;
  }
  QModelIndex i = IndexOf(item);
  emit dataChanged(i, i);
}
void TKKTTreeModel::ExpandedChanged(TTreeItem* item) {
  if (OnExpandedChanged) OnExpandedChanged(item, item->Expanded());
}

}  // namespace dlvr

#include "moc_kkt_tree_model.cpp"
