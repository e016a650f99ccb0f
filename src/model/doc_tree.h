// A plain document tree: items with a caption, images, an owned item record
// and ordered children. It stands in for a tree control's item store; a GUI
// adapter turns its notifications into view-model signals. Four kinds of
// change are told apart, so that a view keeps what it can: a rebuild (reset:
// load and clear), single insertions and removals, changes of captions and
// images (items stay where they are), and reorderings (items keep their
// identity and only change places among their siblings).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dlvr {

// What a tree item is: its level, the record or class it shows, the medium
// its file was found on and whether the file is on the medium read last.
struct TMdlTreeItemData {
  std::int32_t Number = 0;
  std::uint8_t Level = 0;
  std::int32_t Media = 0;
  bool Exists = true;
};

class TDocTree;

class TTreeItem {
 public:
  TTreeItem(const TTreeItem&) = delete;
  TTreeItem& operator=(const TTreeItem&) = delete;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  int ImageIndex() const { return image_; }
  int SelectedIndex() const { return selected_; }
  int StateIndex() const { return state_; }
  void SetImages(int image, int selected, int state);
  void SetImageIndex(int image) { SetImages(image, selected_, state_); }
  void SetSelectedIndex(int selected) { SetImages(image_, selected, state_); }

  // The item record, owned by the item (null when none or handed over).
  TMdlTreeItemData* Data() const { return data_.get(); }
  void SetData(std::unique_ptr<TMdlTreeItemData> data) { data_ = std::move(data); }
  std::unique_ptr<TMdlTreeItemData> TakeData() { return std::move(data_); }

  TTreeItem* Parent() const { return parent_; }
  int Count() const { return static_cast<int>(children_.size()); }
  bool HasChildren() const { return !children_.empty(); }
  // The child at `index`, or null outside the children.
  TTreeItem* Item(int index) const;
  TTreeItem* GetFirstChild() const { return Item(0); }
  TTreeItem* GetLastChild() const { return Item(Count() - 1); }
  // Position among the parent's children (or among the top-level items);
  // kept by the tree, so asking costs nothing.
  int Index() const { return row_; }
  TTreeItem* GetPrevSibling() const;
  TTreeItem* GetNextSibling() const;
  int Level() const;

  bool Expanded() const { return expanded_; }
  void SetExpanded(bool expanded);
  void Collapse() { SetExpanded(false); }

  TDocTree* Tree() const { return tree_; }

 private:
  friend class TDocTree;
  TTreeItem(TDocTree* tree, TTreeItem* parent) : tree_(tree), parent_(parent) {}

  TDocTree* tree_;
  TTreeItem* parent_;
  std::string caption_;
  int image_ = -1;
  int selected_ = -1;
  int state_ = -1;
  bool expanded_ = false;
  int row_ = 0;
  std::unique_ptr<TMdlTreeItemData> data_;
  std::vector<std::unique_ptr<TTreeItem>> children_;
};

// Receives the changes of a tree. Between BeginReset and EndReset (an
// update bracket) no finer notification is sent.
class TTreeObserver {
 public:
  virtual ~TTreeObserver() = default;
  virtual void BeginReset() {}
  virtual void EndReset() {}
  // The children of `parent` (null: the top level) change places and
  // nothing else happens until EndReorder: no item comes or goes, every item
  // keeps its identity, its children and its record.
  virtual void BeginReorder(TTreeItem* parent) {}
  virtual void EndReorder(TTreeItem* parent) {}
  // Captions and images of many items change in one go: the ItemChanged
  // calls in between may be collected and answered at EndChanges.
  virtual void BeginChanges() {}
  virtual void EndChanges() {}
  // `parent` null means the top level.
  virtual void BeforeInsert(TTreeItem* parent, int row) {}
  virtual void AfterInsert(TTreeItem* item) {}
  virtual void BeforeRemove(TTreeItem* item) {}
  virtual void AfterRemove(TTreeItem* parent, int row) {}
  virtual void ItemChanged(TTreeItem* item) {}
  virtual void ExpandedChanged(TTreeItem* item) {}
};

class TDocTree {
 public:
  TDocTree() = default;
  ~TDocTree();
  TDocTree(const TDocTree&) = delete;
  TDocTree& operator=(const TDocTree&) = delete;

  int TopCount() const { return static_cast<int>(top_.size()); }
  TTreeItem* TopItem(int index) const;
  // The first top-level item.
  TTreeItem* Root() const { return TopItem(0); }

  // Appends a new last child of `parent` (a top-level item when null).
  TTreeItem* AddChild(TTreeItem* parent, std::string caption);
  // Deletes an item with its children. The item records of the deleted
  // items go with them (an item whose record was handed over frees none).
  void Delete(TTreeItem* item);
  void DeleteChildren(TTreeItem* item);
  void Clear();
  // Moves `item` to stand right before `before` (same parent); a reordering.
  void MoveBefore(TTreeItem* item, TTreeItem* before);
  // Exchanges two children of the same parent, with everything below them;
  // a reordering.
  void Exchange(TTreeItem* parent, int a, int b);

  // Every item depth-first, each before its children: absolute order.
  std::vector<TTreeItem*> AllItems() const;
  // Calls fn for every item in absolute order.
  void ForEach(const std::function<void(TTreeItem*)>& fn) const;
  int AbsoluteCount() const;

  // The update bracket: everything in between reaches the observer as one
  // reset. Brackets nest.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updating_ > 0; }
  // The reorder bracket: in between, only the children of `parent` (null:
  // the top level) change places (Exchange, MoveBefore). Brackets nest; the
  // outermost one is told, with its parent. Inside an update bracket
  // nothing is told.
  void BeginReorder(TTreeItem* parent);
  void EndReorder();
  // The change bracket: captions and images change, nothing moves. Brackets
  // nest; the outermost one is told.
  void BeginChanges();
  void EndChanges();

  void SetObserver(TTreeObserver* observer) { observer_ = observer; }
  TTreeObserver* Observer() const { return updating_ > 0 ? nullptr : observer_; }

 private:
  friend class TTreeItem;
  std::vector<std::unique_ptr<TTreeItem>>& SiblingsOf(TTreeItem* parent) {
    return parent ? parent->children_ : top_;
  }

  // Numbers the items of `sib` from `from` on after they moved.
  static void Renumber(std::vector<std::unique_ptr<TTreeItem>>& sib, std::size_t from);

  std::vector<std::unique_ptr<TTreeItem>> top_;
  int updating_ = 0;
  TTreeObserver* observer_ = nullptr;
  // The open reorder and change brackets, and whether the observer was told
  // of their start (it hears the end only then).
  int reordering_ = 0;
  TTreeItem* reorderParent_ = nullptr;
  bool reorderTold_ = false;
  int changing_ = 0;
  bool changesTold_ = false;
};

}  // namespace dlvr
