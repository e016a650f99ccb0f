// TFolderViewLT: a folder tree for choosing a folder on this machine.
//
// The top level lists the places a user starts from: the home folder, the
// documents folder, mounted media (removable disks, CDs, mounts under
// /media, /run/media and /mnt) and the file system root "/". Folders below
// are read only when a node is first expanded or selected; until then a node
// shows an expand marker. Hidden folders (names starting with '.') are not
// listed, but a path that runs through one can still be selected.
#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

namespace dlvr {

class TFolderViewLT : public QTreeWidget {
  Q_OBJECT

 public:
  // One entry of the top level.
  enum class RootKind { Home, Documents, Media, FileSystem };
  struct RootFolder {
    RootKind Kind;
    QString Path;   // absolute, without trailing '/' (except "/")
    QString Label;  // the text shown
  };

  explicit TFolderViewLT(QWidget* parent = nullptr);

  // Rebuilds the tree from the top level; nothing is selected afterwards.
  void Refresh();
  // Refresh, then select the folder that was selected before (or, when it
  // has gone, its nearest existing parent).
  void RefreshKeepPath();

  // The selected folder: an absolute path without trailing '/' ("/" for the
  // file system root); empty when nothing is selected.
  QString CurrentPath() const;
  // True when no folder is selected.
  bool IsVirtual() const;

  // Selects the folder `path`, expanding the tree down to it. A relative
  // path or one with "." and ".." parts is made absolute first. Returns false
  // (and raises ErrPath) when the folder does not exist.
  bool SetPath(const QString& path);

  // F5 rebuilds the tree keeping the selection (on by default).
  bool F5Refresh() const { return f5Refresh_; }
  void SetF5Refresh(bool on) { f5Refresh_ = on; }

  // The top level as it would be built now.
  static QList<RootFolder> RootFolders();
  // Mount points that count as media, from the text of a mount table in
  // the form of /proc/self/mounts (octal escapes in mount points decoded).
  static QStringList MediaMountPoints(const QString& mountTable);

 signals:
  // The selection changed to `path` (not raised for the steps of SetPath
  // and Refresh, only for where they end).
  void ChangePath(const QString& path);
  // SetPath was given a path that is not an existing folder.
  void ErrPath(const QString& path);
  // The folder `path` could not be read; the selection went back.
  void NoFD(const QString& path);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QTreeWidgetItem* AddFolderItem(QTreeWidgetItem* parent, const QString& name, int index);
  // Reads the children of `item` unless done already; false when the
  // folder cannot be read.
  bool LoadChildren(QTreeWidgetItem* item);
  QTreeWidgetItem* ChildNamed(QTreeWidgetItem* item, const QString& name);
  QTreeWidgetItem* SelectPathItem(const QString& path);
  void OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
  void OnItemExpanded(QTreeWidgetItem* item);

  bool f5Refresh_ = true;
  int busy_ = 0;  // > 0 while building or walking: no ChangePath
};

// The path of a tree item (stored with the item).
QString FolderItemPath(const QTreeWidgetItem* item);

}  // namespace dlvr
