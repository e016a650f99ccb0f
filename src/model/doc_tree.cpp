#include "model/doc_tree.h"

#include <algorithm>

namespace dlvr {

void TTreeItem::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  if (TTreeObserver* o = tree_->Observer()) o->ItemChanged(this);
}

void TTreeItem::SetImages(int image, int selected, int state) {
  if (image == image_ && selected == selected_ && state == state_) return;
  image_ = image;
  selected_ = selected;
  state_ = state;
  if (TTreeObserver* o = tree_->Observer()) o->ItemChanged(this);
}

TTreeItem* TTreeItem::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return children_[static_cast<std::size_t>(index)].get();
}

TTreeItem* TTreeItem::GetPrevSibling() const {
  int i = Index();
  if (i <= 0) return nullptr;
  return parent_ ? parent_->Item(i - 1) : tree_->TopItem(i - 1);
}

TTreeItem* TTreeItem::GetNextSibling() const {
  int i = Index();
  return parent_ ? parent_->Item(i + 1) : tree_->TopItem(i + 1);
}

int TTreeItem::Level() const {
  int level = 0;
  for (TTreeItem* p = parent_; p; p = p->parent_) ++level;
  return level;
}

void TTreeItem::SetExpanded(bool expanded) {
  if (expanded == expanded_) return;
  expanded_ = expanded;
  if (TTreeObserver* o = tree_->Observer()) o->ExpandedChanged(this);
}

TDocTree::~TDocTree() {
  observer_ = nullptr;
  top_.clear();
}

TTreeItem* TDocTree::TopItem(int index) const {
  if (index < 0 || index >= TopCount()) return nullptr;
  return top_[static_cast<std::size_t>(index)].get();
}

TTreeItem* TDocTree::AddChild(TTreeItem* parent, std::string caption) {
  auto& sib = SiblingsOf(parent);
  if (TTreeObserver* o = Observer()) o->BeforeInsert(parent, static_cast<int>(sib.size()));
  auto item = std::unique_ptr<TTreeItem>(new TTreeItem(this, parent));
  item->caption_ = std::move(caption);
  item->row_ = static_cast<int>(sib.size());
  sib.push_back(std::move(item));
  TTreeItem* added = sib.back().get();
  if (TTreeObserver* o = Observer()) o->AfterInsert(added);
  return added;
}

void TDocTree::Delete(TTreeItem* item) {
  if (!item) return;
  TTreeItem* parent = item->parent_;
  auto& sib = SiblingsOf(parent);
  int row = item->Index();
  if (row < 0 || row >= static_cast<int>(sib.size()) || sib[static_cast<std::size_t>(row)].get() != item) return;
  if (TTreeObserver* o = Observer()) o->BeforeRemove(item);
  sib.erase(sib.begin() + row);
  Renumber(sib, static_cast<std::size_t>(row));
  if (TTreeObserver* o = Observer()) o->AfterRemove(parent, row);
}

void TDocTree::DeleteChildren(TTreeItem* item) {
  if (!item) return;
  while (item->HasChildren()) Delete(item->GetLastChild());
}

void TDocTree::Clear() {
  BeginUpdate();
  top_.clear();
  EndUpdate();
}

void TDocTree::MoveBefore(TTreeItem* item, TTreeItem* before) {
  if (!item || !before || item == before || item->parent_ != before->parent_) return;
  auto& sib = SiblingsOf(item->parent_);
  const int from = item->Index();
  const int to = before->Index() - (before->Index() > from ? 1 : 0);
  if (to == from) return;
  BeginReorder(item->parent_);
  std::unique_ptr<TTreeItem> owned = std::move(sib[static_cast<std::size_t>(from)]);
  sib.erase(sib.begin() + from);
  sib.insert(sib.begin() + to, std::move(owned));
  Renumber(sib, static_cast<std::size_t>(std::min(from, to)));
  EndReorder();
}

void TDocTree::Exchange(TTreeItem* parent, int a, int b) {
  auto& sib = SiblingsOf(parent);
  if (a == b || a < 0 || b < 0 || a >= static_cast<int>(sib.size()) || b >= static_cast<int>(sib.size())) return;
  BeginReorder(parent);
  std::swap(sib[static_cast<std::size_t>(a)], sib[static_cast<std::size_t>(b)]);
  sib[static_cast<std::size_t>(a)]->row_ = a;
  sib[static_cast<std::size_t>(b)]->row_ = b;
  EndReorder();
}

void TDocTree::Renumber(std::vector<std::unique_ptr<TTreeItem>>& sib, std::size_t from) {
  for (std::size_t i = from; i < sib.size(); ++i) sib[i]->row_ = static_cast<int>(i);
}

void TDocTree::ForEach(const std::function<void(TTreeItem*)>& fn) const {
  std::vector<TTreeItem*> stack;
  for (auto it = top_.rbegin(); it != top_.rend(); ++it) stack.push_back(it->get());
  while (!stack.empty()) {
    TTreeItem* item = stack.back();
    stack.pop_back();
    fn(item);
    for (auto it = item->children_.rbegin(); it != item->children_.rend(); ++it) stack.push_back(it->get());
  }
}

std::vector<TTreeItem*> TDocTree::AllItems() const {
  std::vector<TTreeItem*> all;
  ForEach([&](TTreeItem* i) { all.push_back(i); });
  return all;
}

int TDocTree::AbsoluteCount() const {
  int n = 0;
  ForEach([&](TTreeItem*) { ++n; });
  return n;
}

void TDocTree::BeginUpdate() {
  if (updating_++ == 0 && observer_) observer_->BeginReset();
}

void TDocTree::EndUpdate() {
  if (updating_ == 0) return;
  if (--updating_ == 0 && observer_) observer_->EndReset();
}

void TDocTree::BeginReorder(TTreeItem* parent) {
  if (reordering_++ > 0) return;
  reorderParent_ = parent;
  TTreeObserver* o = Observer();
  reorderTold_ = o != nullptr;
  if (o) o->BeginReorder(parent);
}

void TDocTree::EndReorder() {
  if (reordering_ == 0 || --reordering_ > 0) return;
  if (reorderTold_ && observer_) observer_->EndReorder(reorderParent_);
  reorderTold_ = false;
  reorderParent_ = nullptr;
}

void TDocTree::BeginChanges() {
  if (changing_++ > 0) return;
  TTreeObserver* o = Observer();
  changesTold_ = o != nullptr;
  if (o) o->BeginChanges();
}

void TDocTree::EndChanges() {
  if (changing_ == 0 || --changing_ > 0) return;
  if (changesTold_ && observer_) observer_->EndChanges();
  changesTold_ = false;
}

}  // namespace dlvr
