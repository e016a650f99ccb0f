#include "panes/folder_view.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <filesystem>
#include <optional>

namespace dlvr {
namespace {

constexpr int kFolderPathRole = Qt::UserRole;
constexpr int kLoadedRole = Qt::UserRole + 1;

// Folders are shown in name order without regard to case; names that differ
// only in case keep a fixed order.
bool NameLess(const QString& a, const QString& b) {
  int c = QString::compare(a, b, Qt::CaseInsensitive);
  return c != 0 ? c < 0 : a < b;
}

QString ChildPath(const QString& folder, const QString& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

bool IsDir(const QString& path) { return QFileInfo(path).isDir(); }

// The visible sub-folders of `folder` (symbolic links to folders included),
// or nothing when the folder cannot be read.
std::optional<QStringList> ReadFolders(const QString& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(fs::path(QFile::encodeName(folder).toStdString()), ec);
  if (ec) return std::nullopt;
  QStringList names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    QString name = QFile::decodeName(QByteArray::fromStdString(it->path().filename().string()));
    if (name.isEmpty() || name.startsWith('.')) continue;
    std::error_code typeEc;
    if (it->is_directory(typeEc)) names << name;
  }
  std::sort(names.begin(), names.end(), NameLess);
  return names;
}

bool IsMediaMount(const QString& mountPoint, const QString& fsType) {
  if (mountPoint == "/" || mountPoint.isEmpty()) return false;
  for (const char* prefix : {"/media/", "/run/media/", "/mnt/"}) {
    QString p = QString::fromLatin1(prefix);
    if (mountPoint.startsWith(p) && mountPoint.size() > p.size()) return true;
  }
  return fsType == "iso9660" || fsType == "udf";
}

// Mount points in the mount table escape blanks and backslashes as \ooo.
QString DecodeMountField(const QString& field) {
  QByteArray in = field.toUtf8();
  QByteArray out;
  for (int i = 0; i < in.size(); ++i) {
    if (in[i] == '\\' && i + 3 < in.size()) {
      QByteArray oct = in.mid(i + 1, 3);
      bool ok = oct.size() == 3;
      for (char c : oct) ok = ok && c >= '0' && c <= '7';
      if (ok) {
        out += char(oct.toInt(nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += in[i];
  }
  return QString::fromUtf8(out);
}

}  // namespace

QString FolderItemPath(const QTreeWidgetItem* item) {
  return item ? item->data(0, kFolderPathRole).toString() : QString();
}

TFolderViewLT::TFolderViewLT(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setIndentation(19);
  setExpandsOnDoubleClick(true);
  resize(200, 200);
  connect(this, &QTreeWidget::currentItemChanged, this, &TFolderViewLT::OnCurrentItemChanged);
  connect(this, &QTreeWidget::itemExpanded, this, &TFolderViewLT::OnItemExpanded);
  Refresh();
}

QStringList TFolderViewLT::MediaMountPoints(const QString& mountTable) {
  QStringList points;
  const QStringList lines = mountTable.split('\n', Qt::SkipEmptyParts);
  for (const QString& line : lines) {
    const QStringList fields = line.simplified().split(' ');
    if (fields.size() < 3) continue;
    QString point = DecodeMountField(fields[1]);
    if (IsMediaMount(point, fields[2]) && !points.contains(point)) points << point;
  }
  std::sort(points.begin(), points.end(), NameLess);
  return points;
}

QList<TFolderViewLT::RootFolder> TFolderViewLT::RootFolders() {
  QList<RootFolder> roots;
  QString home = QDir::cleanPath(QDir::homePath());
  roots.append({RootKind::Home, home, QCoreApplication::translate("TFolderViewLT", "ホーム")});
  QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!docs.isEmpty()) {
    docs = QDir::cleanPath(docs);
    if (docs != home && IsDir(docs))
      roots.append({RootKind::Documents, docs, QCoreApplication::translate("TFolderViewLT", "ドキュメント")});
  }
  QStringList media;
  QFile mounts(QStringLiteral("/proc/self/mounts"));
  if (mounts.open(QIODevice::ReadOnly)) {
    media = MediaMountPoints(QString::fromUtf8(mounts.readAll()));
  } else {
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
      QString point = QDir::cleanPath(volume.rootPath());
      if (IsMediaMount(point, QString::fromUtf8(volume.fileSystemType())) && !media.contains(point)) media << point;
    }
    std::sort(media.begin(), media.end(), NameLess);
  }
  for (const QString& point : media) {
    // A file mounted over a file (a container's bind mount) is no place to start from.
    if (point == home || point == docs || !IsDir(point)) continue;
    roots.append({RootKind::Media, point, QFileInfo(point).fileName()});
  }
  roots.append({RootKind::FileSystem, QStringLiteral("/"), QStringLiteral("/")});
  return roots;
}

void TFolderViewLT::Refresh() {
  ++busy_;
  clear();
  for (const RootFolder& root : RootFolders()) {
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, root.Label);
    item->setToolTip(0, root.Path);
    item->setData(0, kFolderPathRole, root.Path);
    item->setData(0, kLoadedRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    QStyle::StandardPixmap icon = QStyle::SP_DirIcon;
    switch (root.Kind) {
      case RootKind::Home: icon = QStyle::SP_DirHomeIcon; break;
      case RootKind::Documents: icon = QStyle::SP_DirIcon; break;
      case RootKind::Media: icon = QStyle::SP_DriveCDIcon; break;
      case RootKind::FileSystem: icon = QStyle::SP_DriveHDIcon; break;
    }
    item->setIcon(0, style()->standardIcon(icon));
  }
  --busy_;
}

void TFolderViewLT::RefreshKeepPath() {
  QString path = CurrentPath();
  Refresh();
  // The folder may have gone since it was selected: keep as close as we can.
  while (!path.isEmpty() && !IsDir(path)) {
    QString parent = QFileInfo(path).path();
    path = parent == path ? QString() : parent;
  }
  if (path.isEmpty() || !SetPath(path)) emit ChangePath(QString());
}

QString TFolderViewLT::CurrentPath() const { return FolderItemPath(currentItem()); }

bool TFolderViewLT::IsVirtual() const { return CurrentPath().isEmpty(); }

QTreeWidgetItem* TFolderViewLT::AddFolderItem(QTreeWidgetItem* parent, const QString& name, int index) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, name);
  item->setData(0, kFolderPathRole, ChildPath(FolderItemPath(parent), name));
  item->setData(0, kLoadedRole, false);
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
  if (index < 0 || index >= parent->childCount())
    parent->addChild(item);
  else
    parent->insertChild(index, item);
  return item;
}

bool TFolderViewLT::LoadChildren(QTreeWidgetItem* item) {
  if (item->data(0, kLoadedRole).toBool()) return true;
  std::optional<QStringList> names = ReadFolders(FolderItemPath(item));
  if (!names) {
    // Keep the marker: the folder may become readable later.
    qDeleteAll(item->takeChildren());
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return false;
  }
  // Children added before (hidden folders on a selected path) stay.
  QSet<QString> present;
  for (int i = 0; i < item->childCount(); ++i) present.insert(item->child(i)->text(0));
  for (const QString& name : *names) {
    if (present.contains(name)) continue;
    if (present.isEmpty()) {
      AddFolderItem(item, name, -1);
    } else {
      int at = 0;
      while (at < item->childCount() && NameLess(item->child(at)->text(0), name)) ++at;
      AddFolderItem(item, name, at);
    }
  }
  item->setData(0, kLoadedRole, true);
  item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  return true;
}

QTreeWidgetItem* TFolderViewLT::ChildNamed(QTreeWidgetItem* item, const QString& name) {
  for (int i = 0; i < item->childCount(); ++i)
    if (item->child(i)->text(0) == name) return item->child(i);
  return nullptr;
}

QTreeWidgetItem* TFolderViewLT::SelectPathItem(const QString& path) {
  // Start from the top-level entry that holds the path most closely.
  QTreeWidgetItem* node = nullptr;
  int best = -1;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QString root = FolderItemPath(topLevelItem(i));
    bool holds = root == "/" || path == root || path.startsWith(root + '/');
    if (holds && root.size() > best) {
      best = int(root.size());
      node = topLevelItem(i);
    }
  }
  if (!node) return nullptr;
  const QStringList parts = path.mid(FolderItemPath(node).size()).split('/', Qt::SkipEmptyParts);
  for (const QString& part : parts) {
    LoadChildren(node);
    QTreeWidgetItem* child = ChildNamed(node, part);
    if (!child) {
      // Hidden, or below a folder that can be entered but not listed.
      if (!IsDir(ChildPath(FolderItemPath(node), part))) return nullptr;
      int at = 0;
      while (at < node->childCount() && NameLess(node->child(at)->text(0), part)) ++at;
      child = AddFolderItem(node, part, at);
    }
    node->setExpanded(true);
    node = child;
  }
  return node;
}

bool TFolderViewLT::SetPath(const QString& path) {
  QString absolute = path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  QTreeWidgetItem* item = nullptr;
  if (!absolute.isEmpty() && IsDir(absolute)) {
    ++busy_;
    item = SelectPathItem(absolute);
    --busy_;
  }
  if (!item) {
    emit ErrPath(path);
    return false;
  }
  if (currentItem() == item) {
    LoadChildren(item);
    emit ChangePath(CurrentPath());
  } else {
    setCurrentItem(item);
  }
  scrollToItem(item);
  return true;
}

void TFolderViewLT::OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  if (busy_) return;
  if (!current) {
    emit ChangePath(QString());
    return;
  }
  QString previousPath = FolderItemPath(previous);
  if (!LoadChildren(current)) {
    emit NoFD(FolderItemPath(current));
    // Go back once the view has finished its own handling of this change.
    QTimer::singleShot(0, this, [this, previousPath] {
      if (previousPath.isEmpty()) {
        setCurrentItem(nullptr);
        return;
      }
      ++busy_;
      QTreeWidgetItem* back = SelectPathItem(previousPath);
      --busy_;
      setCurrentItem(back);
    });
    return;
  }
  emit ChangePath(FolderItemPath(current));
}

void TFolderViewLT::OnItemExpanded(QTreeWidgetItem* item) {
  if (busy_) return;
  if (!LoadChildren(item)) {
    emit NoFD(FolderItemPath(item));
    QTimer::singleShot(0, this, [this, path = FolderItemPath(item)] {
      // The item may have been rebuilt meanwhile: look it up again.
      for (QTreeWidgetItemIterator it(this); *it; ++it)
        if (FolderItemPath(*it) == path && (*it)->isExpanded()) (*it)->setExpanded(false);
    });
  }
}

void TFolderViewLT::keyPressEvent(QKeyEvent* event) {
  if (f5Refresh_ && event->key() == Qt::Key_F5 && event->modifiers() == Qt::NoModifier) {
    RefreshKeepPath();
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

}  // namespace dlvr

#include "moc_folder_view.cpp"
