// Shows the document tree of the model in a Qt item view. The tree's update
// bracket (load, clear) arrives as one model reset; its reorder bracket
// (sorting) as one layout change that moves persistent indexes with their
// items, so views keep selection, current item, expansion and scroll
// position; its change bracket (re-captioning) as dataChanged over runs of
// changed siblings; single changes outside a bracket as fine-grained
// signals.
#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QFileIconProvider>
#include <QIcon>
#include <QMimeDatabase>
#include <QStyledItemDelegate>
#include <QVector>

#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "model/tree_view.h"

namespace dlvr {

// Desktop icons and type names for files, one per file type, handed to the
// model as indexes into the system icon list.
class TDesktopIcons : public TIconProvider {
 public:
  int IconIndex(const std::string& path) override;
  QIcon Icon(int index) const { return index >= 0 && index < icons_.size() ? icons_[index] : QIcon(); }
  QString TypeName(const std::string& path);

 private:
  QFileIconProvider provider_;
  QMimeDatabase mimes_;
  QVector<QIcon> icons_;
  std::unordered_map<std::string, int> byType_;
};

// What a comparison with an earlier delivery found at a tree item.
enum TCompareMark : int { cmNone = 0, cmAdded = 1, cmChanged = 2, cmRemovedInside = 3, cmRemoved = 4 };

// Draws the mark of a file that is not on the loaded media over its item.
class TKKTTreeDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  TKKTTreeDelegate(class TKKTTreeModel& model, QObject* parent = nullptr)
      : QStyledItemDelegate(parent), model_(model) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  class TKKTTreeModel& model_;
};

class TKKTTreeModel : public QAbstractItemModel, public TTreeObserver {
  Q_OBJECT
 public:
  TKKTTreeModel(TMdlTreeView& view, TDesktopIcons& icons, QObject* parent = nullptr);
  ~TKKTTreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  TTreeItem* Item(const QModelIndex& index) const;
  QModelIndex IndexOf(TTreeItem* item) const;

  // The module's own images 0-10.
  static QIcon ModuleImage(int index);
  // Whether an item carries the missing-file mark.
  bool MissingMark(const TTreeItem* item) const;

  // Whether file hints show the original file's content (else its software).
  bool HintContent = false;
  // The item that files dragged over the tree would be dropped on (drawn
  // with a frame), or null.
  TTreeItem* DropTarget = nullptr;

  // While two deliveries are compared: what changed at an item (one of
  // TCompareMark), told by the comparison; empty otherwise.
  std::function<int(const TTreeItem*)> CompareMark;
  // The text colour of a mark on a light or a dark background (invalid for
  // no mark); the legend shows the same colours.
  static QColor CompareColor(int mark, bool dark);

  // Set by the main window when an item wants the tree expanded to it.
  std::function<void(TTreeItem*, bool)> OnExpandedChanged;

  // TTreeObserver
  void BeginReset() override;
  void EndReset() override;
  void BeginReorder(TTreeItem* parent) override;
  void EndReorder(TTreeItem* parent) override;
  void BeginChanges() override;
  void EndChanges() override;
  void BeforeInsert(TTreeItem* parent, int row) override;
  void AfterInsert(TTreeItem* item) override;
  void BeforeRemove(TTreeItem* item) override;
  void AfterRemove(TTreeItem* parent, int row) override;
  void ItemChanged(TTreeItem* item) override;
  void ExpandedChanged(TTreeItem* item) override;

 private:
  // The parent list of a layout change: that item, or none for the top level.
  QList<QPersistentModelIndex> LayoutParents(TTreeItem* parent) const;

  TMdlTreeView& view_;
  TDesktopIcons& icons_;
  // Inside a change bracket: the items changed, in the order first seen
  // (tree order, as the changes come), and the same as a set.
  bool collecting_ = false;
  std::vector<TTreeItem*> changed_;
  std::unordered_set<TTreeItem*> changedSet_;
};

}  // namespace dlvr
