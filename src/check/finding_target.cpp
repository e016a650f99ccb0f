#include "check/finding_target.h"

#include <cstdlib>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/tree_view.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

// The sections of the data check and the class each one's records are
// items of (0: the delivery's root).
struct TSection {
  const char* Name;
  int Class;
};
constexpr TSection kSections[] = {
    {"工事管理", 0},     {"発注図面管理", 1}, {"打合せ簿管理", 2},
    {"施工計画書管理", 3}, {"完成図面管理", 4}, {"その他管理", 6},
};

// The section's class, -1 when the text names none (in either language).
int SectionClass(const std::string& section) {
  for (const TSection& s : kSections)
    if (section == s.Name || section == Tr("DataCheck", s.Name)) return s.Class;
  return -1;
}

// The class of a medium's top folder ("MEET" -> 2), -1 for none.
int FolderClass(std::string_view folder) {
  for (int cls : {1, 2, 3, 4, 5, 6})
    if (EqualsNoCase(folder, DocClassTable[cls].Folder)) return cls;
  return -1;
}

std::string_view LastPart(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The child of `parent` at `level` whose number is `number`.
TTreeItem* ChildByNumber(const TMdlTreeView& view, TTreeItem* parent, int level, int number) {
  if (!parent) return nullptr;
  for (int i = 0; i < parent->Count(); ++i) {
    TTreeItem* c = parent->Item(i);
    if (view.NodeLevel(c) == level && view.NodeNumber(c) == number) return c;
  }
  return nullptr;
}

// The file item under `parent` whose file name is `name` (without regard to
// ASCII case).
TTreeItem* FileChild(const TMdlTreeView& view, TTreeItem* parent, std::string_view name) {
  if (!parent) return nullptr;
  for (int i = 0; i < parent->Count(); ++i) {
    TTreeItem* c = parent->Item(i);
    if (view.NodeLevel(c) == nlFile && EqualsNoCase(view.GetFileItem(c, 0), name)) return c;
  }
  return nullptr;
}

// The naming value a data check row gives the records of a class.
template <class R>
const std::string& RecordName(const R& r);
template <>
const std::string& RecordName(const TMdlTreeNodeMeet& r) { return r.MeetKind; }
template <>
const std::string& RecordName(const TMdlTreeNodePlan& r) { return r.PlanName; }
template <>
const std::string& RecordName(const TMdlTreeNodeOthrs& r) { return r.DocName; }
template <>
const std::string& RecordName(const TMdlTreeNodeDraw& r) { return r.DrawFile; }

std::vector<TMdlTreeNodeDraw>& DrawList(DeliveryStore& s, int cls) {
  return cls == 1 ? s.OrderDrawings : s.FinalDrawings;
}

// How many rows equal to `row` the check gives for record `r` alone.
template <class R>
std::size_t RowsOfRecord(const R& r, int cls, const TCheckErrorRow& row) {
  DeliveryStore probe;
  if constexpr (std::is_same_v<R, TMdlTreeNodeDraw>) DrawList(probe, cls).push_back(r);
  if constexpr (std::is_same_v<R, TMdlTreeNodeMeet>) probe.Meetings.push_back(r);
  if constexpr (std::is_same_v<R, TMdlTreeNodePlan>) probe.Plans.push_back(r);
  if constexpr (std::is_same_v<R, TMdlTreeNodeOthrs>) probe.Others.push_back(r);
  TCheckErrorList rows;
  RunDataCheck(probe, rows);
  std::size_t n = 0;
  for (const TCheckErrorRow& x : rows) n += x == row;
  return n;
}

// The record (its index in the list) that made the `nth` row equal to
// `row` (0 the first); when no record gives the row alone (the list is
// older than the records), the first record of that name; -1 when there is
// none. Only records named as the row names them are checked.
template <class R>
int RecordOfRow(const std::vector<R>& list, int cls, const TCheckErrorRow& row, std::size_t nth, int* first) {
  const std::string& name = cls == 1 || cls == 4 ? row[2] : row[1];
  *first = -1;
  for (std::size_t k = 0; k < list.size(); ++k) {
    const std::string& own = RecordName(list[k]);
    if (cls == 1 || cls == 4 ? !EqualsNoCase(own, name) : own != name) continue;
    if (*first < 0) *first = static_cast<int>(k);
    const std::size_t n = RowsOfRecord(list[k], cls, row);
    if (nth < n) return static_cast<int>(k);
    nth -= n;
  }
  return -1;
}

TFindingTarget DataCheckTarget(TMdlTreeView& view, const TFindingRef& ref) {
  TFindingTarget t;
  const TCheckErrorRow& row = ref.Texts;
  t.Named = row[2];
  TTreeItem* root = view.Tree().Root();
  t.Item = root;
  const int cls = SectionClass(row[0]);
  if (cls < 0) return t;
  if (cls == 0) {
    t.Exact = root != nullptr;
    return t;
  }
  TTreeItem* classItem = view.FindClassNode(cls);
  if (!classItem) return t;
  t.Item = classItem;
  // The same rows before this one in the list.
  std::size_t nth = 0;
  const TCheckErrorList& list = view.ErrorList;
  if (ref.Row < list.size() && list[ref.Row] == row)
    for (std::size_t i = 0; i < ref.Row; ++i) nth += list[i] == row;
  const bool management = EqualsNoCase(row[2], DocClassTable[cls].Xml);
  if (cls == 1 || cls == 4) {
    if (management) {
      t.Exact = true;
      return t;
    }
    int first = -1;
    int k = RecordOfRow(DrawList(view.Store(), cls), cls, row, nth, &first);
    if (k < 0) k = first;
    TTreeItem* item = k >= 0 ? ChildByNumber(view, classItem, nlFile, k) : FileChild(view, classItem, row[2]);
    if (item) {
      t.Item = item;
      t.Exact = true;
    }
    return t;
  }
  int k = -1, first = -1;
  DeliveryStore& s = view.Store();
  if (cls == 2) k = RecordOfRow(s.Meetings, cls, row, nth, &first);
  if (cls == 3) k = RecordOfRow(s.Plans, cls, row, nth, &first);
  if (cls == 6) k = RecordOfRow(s.Others, cls, row, nth, &first);
  // A row no record gives without a naming value is the management file's
  // own (its software, the file unread).
  if (k < 0 && row[1].empty()) {
    t.Exact = management;
    return t;
  }
  if (k < 0) k = first;
  TTreeItem* record = k >= 0 ? ChildByNumber(view, classItem, nlRecord, k) : nullptr;
  if (!record) return t;
  t.Item = record;
  t.Exact = true;
  // A row about an original file shows that file.
  if (!management)
    if (TTreeItem* file = FileChild(view, record, row[2])) t.Item = file;
  return t;
}

// The path of a file item relative to its medium, "" when it has none.
std::string RelativePath(const TMdlTreeView& view, const TTreeItem* item) {
  const std::string full = view.GetFileItem(item, 1);
  const std::string folder = view.ItemMediumFolder(item);
  if (folder.empty() || full.size() <= folder.size() || full.compare(0, folder.size(), folder) != 0) return full;
  return full.substr(folder.size());
}

TFindingTarget DeliveryTarget(TMdlTreeView& view, const TFinding& f) {
  TFindingTarget t;
  t.Named = f.Path;
  TTreeItem* root = view.Tree().Root();
  t.Item = root;
  std::string path = f.Path;
  while (!path.empty() && path.back() == '/') path.pop_back();
  if (path.empty() || EqualsNoCase(path, "INDEX_C.XML")) {
    t.Exact = root != nullptr;
    return t;
  }
  const std::size_t slash = path.find('/');
  const int cls = FolderClass(std::string_view(path).substr(0, slash));
  if (cls == 5) {
    t.PhotoPath = path;
    t.PhotoMedium = std::atoi(f.Medium.c_str());
  }
  // The file's own item: same path, on the finding's medium where the
  // delivery has the path on several.
  TTreeItem* same = nullptr;
  TTreeItem* sameName = nullptr;
  const std::string_view name = LastPart(path);
  view.Tree().ForEach([&](TTreeItem* item) {
    if (same || view.NodeLevel(item) != nlFile) return;
    if (cls > 0 && view.NodeClass(item) != cls && !(cls == 1 && view.NodeClass(item) == 13)) return;
    if (!EqualsNoCase(view.GetFileItem(item, 0), name)) return;
    if (!EqualsNoCase(RelativePath(view, item), path)) {
      if (!sameName) sameName = item;
      return;
    }
    const int media = view.NodeMedia(item);
    if (f.Medium.empty() || media == 0 || std::to_string(media) == f.Medium) same = item;
    else if (!sameName) sameName = item;
  });
  if (!same) same = sameName;
  if (same) {
    t.Item = same;
    t.Exact = true;
    return t;
  }
  if (cls < 0) return t;
  if (TTreeItem* classItem = view.FindClassNode(cls)) {
    t.Item = classItem;
    // The class shows its management file and its folder.
    const std::string_view rest = slash == std::string::npos ? std::string_view() : std::string_view(path).substr(slash + 1);
    t.Exact = rest.empty() || EqualsNoCase(rest, DocClassTable[cls].Xml);
  }
  return t;
}

}  // namespace

TFindingTarget FindFindingTarget(TMdlTreeView& view, const TFindingRef& ref) {
  if (!view.Tree().Root()) return {};
  return ref.DataCheck ? DataCheckTarget(view, ref) : DeliveryTarget(view, ref.Finding);
}

}  // namespace dlvr
