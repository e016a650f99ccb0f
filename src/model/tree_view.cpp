#include "model/tree_view.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "delivery/helpers.h"
#include "delivery/prompts.h"
#include "delivery/sibling_media.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"
#include "platform/translate.h"
#include "model/tree_view_internal.h"

namespace dlvr {

const TDocClassRow DocClassTable[kDocClassCount] = {
    {"", "", "", "", ""},
    {"DRAWINGS.XML", "DRAW02.DTD", "DRAWING.XSL", "発注図面", "DRAWINGS"},
    {"MEET.XML", "MEET02.DTD", "MEET.XSL", "打合せ簿", "MEET"},
    {"PLAN.XML", "PLAN02.DTD", "PLAN.XSL", "施工計画書", "PLAN"},
    {"DRAWINGF.XML", "DRAW02.DTD", "DRAWING.XSL", "完成図面", "DRAWINGF"},
    {"PHOTO.XML", "PHOTO.DTD", "PHOTO.XSL", "写真", "PHOTO"},
    {"OTHRS.XML", "OTHRS02.DTD", "OTHRS.XSL", "その他", "OTHRS"},
    {"", "", "", "報告書", "REPORT"},
    {"", "", "", "図面", "DRAWING"},
    {"", "", "", "写真", "PHOTO"},
    {"", "", "", "測量データ", "SURVEY"},
    {"", "", "", "地質データ", "BORING"},
    {"", "", "", "", ""},
    {"", "", "", "特記仕様書", "SPEC"},
};

using namespace tree_detail;

namespace {

std::atomic<bool> gWorkCopiesDefault{true};

// The drawing's field for codes 9 to 37: field number code - 4.
std::string DrawField(const TMdlTreeNodeDraw& d, int code) {
  const auto& fields = TMdlTreeNodeDraw::Fields();
  int n = code - 4;  // 1-based field number
  if (n < 1 || n > static_cast<int>(fields.size())) return std::string();
  return d.*fields[static_cast<std::size_t>(n - 1)].Text;
}

}  // namespace

std::string DeliveryFilePath(const std::string& folder, const std::string& name, const std::string& root) {
  if (!IsPlainFileName(name)) return std::string();
  return Contained(ResolveCase(JoinPath(folder, name)), root.empty() ? folder : root);
}

int TExtensionIconProvider::IconIndex(const std::string& path) {
  std::string ext = AsciiUpper(ExtractFileExt(path));
  auto it = indexes_.find(ext);
  if (it != indexes_.end()) return it->second;
  int index = static_cast<int>(indexes_.size());
  indexes_.emplace(ext, index);
  return index;
}

TMdlTreeView::TMdlTreeView(DeliveryStore& store) : store_(store) {
  TSort* sorters[] = {&srtMeet_, &srtPlan_, &srtOthrs_};
  for (int tag = 0; tag < 3; ++tag) {
    TSort* s = sorters[tag];
    s->Tag = tag;
    s->SortMethod = TSortMethod::smAnsiString;
    s->SortInverse = false;
    s->OnGetSortItem = [this](TSort& sender, int i) { return SortGetSortItem(sender, i); };
    s->OnMoveData = [this](TSort& sender, int t, int f) { SortMoveData(sender, t, f); };
  }
  // The viewer's model (the one that makes work copies) provides the page the
  // file panes open with; a headless model writes nothing.
  if (MakeWorkCopies) blankPageWritten_ = WriteBlankPage();
}

TMdlTreeView::~TMdlTreeView() {
  RemoveWorkFolders();
  for (const std::string& f : TempFiles) std::remove(f.c_str());
}

// ---------------------------------------------------------------------------
// Accessors

TMdlTreeItemData* TMdlTreeView::NodeData(const TTreeItem* item) const { return item ? item->Data() : nullptr; }

int TMdlTreeView::NodeLevel(const TTreeItem* item) const {
  TMdlTreeItemData* d = NodeData(item);
  return d ? static_cast<int>(d->Level) : static_cast<int>(nlNone);
}

int TMdlTreeView::NodeNumber(const TTreeItem* item) const {
  TMdlTreeItemData* d = NodeData(item);
  return d ? d->Number : 0;
}

int TMdlTreeView::NodeMedia(const TTreeItem* item) const {
  TMdlTreeItemData* d = NodeData(item);
  return d ? d->Media : 0;
}

void TMdlTreeView::SetNodeMedia(TTreeItem* item, int media) {
  if (TMdlTreeItemData* d = NodeData(item)) d->Media = media;
}

std::string TMdlTreeView::MediumFolder(int media) const {
  if (media <= 0) return std::string();
  for (const TLoadedMedium& m : reachableMedia_)
    if (m.MediaNo == media) return m.Folder;
  return std::string();
}

std::string TMdlTreeView::ItemMediumFolder(const TTreeItem* item) const {
  const std::string own = MediumFolder(NodeMedia(item));
  return own.empty() ? mediaFolder_ : own;
}

std::string TMdlTreeView::FileOnOwnMedium(const TTreeItem* item, const std::string& sub, const std::string& name,
                                          int current) const {
  const int media = NodeMedia(item);
  if (media == 0 || media == current) return std::string();
  const std::string folder = MediumFolder(media);
  if (folder.empty() || folder == mediaFolder_) return std::string();
  // One resolver a medium for the whole build: its folders are listed once.
  TCaseResolver& resolver = ownMediumResolvers_.try_emplace(folder, folder).first->second;
  return resolver.FileIn(resolver.Resolve(folder + sub), name);
}

int TMdlTreeView::NodeClass(const TTreeItem* item) const {
  while (item) {
    TMdlTreeItemData* d = item->Data();
    if (!d) return 0;
    if (d->Level == nlFileClass || d->Level == nlRecordClass) return d->Number;
    if (d->Level != nlRecord && d->Level != nlFile) return 0;
    item = item->Parent();
  }
  return 0;
}

TTreeItem* TMdlTreeView::FindClassNode(int cls) const {
  TTreeItem* found = nullptr;
  tree_.ForEach([&](TTreeItem* item) {
    if (!found && item->Parent() && NodeClass(item) == cls) found = item;
  });
  return found;
}

std::string TMdlTreeView::GetIndexItem(int code) const {
  if (code < 0 || code > 16 || store_.IndexRecords.empty()) return std::string();
  const auto& f = TMdlTreeNodeIndex::Fields()[static_cast<std::size_t>(code)];
  return store_.IndexRecords[0].*f.Text;
}

std::string TMdlTreeView::GetRecordItem(const TTreeItem* item, int code) const {
  if (NodeLevel(item) != nlRecord) return std::string();
  const int cls = NodeClass(item);
  const int n = NodeNumber(item);
  if (n < 0) return std::string();
  const auto idx = static_cast<std::size_t>(n);
  if (cls == 2) {
    if (idx >= store_.Meetings.size()) return std::string();
    const TMdlTreeNodeMeet& m = store_.Meetings[idx];
    switch (code) {
      case 0: return m.MeetKind;
      case 1: return m.SerialNo;
      case 2: return m.MeetKind;
      case 3: return m.MeetName;
      case 4: return m.ManageClass;
      case 5: return m.MeetNo;
      case 6: return m.MeetAuthor;
      case 7: return m.SubmitTo;
      case 8: return m.IssueDate;
      case 9: return m.AcceptDate;
      case 10: return m.FinishDate;
      case 11: return m.ContractorNote;
      case 12: return m.OrdererNote;
      case 13: return JoinLines(m.Reserves);
      default: return std::string();
    }
  }
  if (cls == 3) {
    if (idx >= store_.Plans.size()) return std::string();
    const TMdlTreeNodePlan& p = store_.Plans[idx];
    switch (code) {
      case 0: return p.PlanName;
      case 1: return p.SerialNo;
      case 11: return p.ContractorNote;
      case 12: return p.OrdererNote;
      case 13: return JoinLines(p.Reserves);
      case 14: return p.PlanName;
      default: return std::string();
    }
  }
  if (cls == 6) {
    if (idx >= store_.Others.size()) return std::string();
    const TMdlTreeNodeOthrs& o = store_.Others[idx];
    switch (code) {
      case 0: return o.DocName;
      case 1: return o.SerialNo;
      case 11: return o.ContractorNote;
      case 12: return o.OrdererNote;
      case 13: return JoinLines(o.Reserves);
      case 15: return o.DocName;
      case 16: return o.DocKind;
      case 17: return o.StorePlace;
      default: return std::string();
    }
  }
  return std::string();
}

std::string TMdlTreeView::GetFileItem(const TTreeItem* item, int code) const {
  if (NodeLevel(item) != nlFile) return std::string();
  const int cls = NodeClass(item);
  const int n = NodeNumber(item);
  if (n < 0) return std::string();
  const auto idx = static_cast<std::size_t>(n);
  if (cls == 1 || cls == 4) {
    const auto& list = cls == 1 ? store_.OrderDrawings : store_.FinalDrawings;
    if (idx >= list.size()) return std::string();
    const TMdlTreeNodeDraw& d = list[idx];
    switch (code) {
      case 0:
      case 6:
      case 38: return d.DrawFile;
      case 1: {
        const std::string folder = ItemMediumFolder(item);
        return DeliveryFilePath(folder + DocClassTable[cls].Folder, d.DrawFile, folder);
      }
      case 3: return d.DrawSoft;
      case 4:
      case 5: return d.DrawName;
      case 7: return d.DrawAuthor;
      default: return code >= 9 && code <= 37 ? DrawField(d, code) : std::string();
    }
  }
  if (cls == 2 || cls == 3 || cls == 6) {
    const TTreeItem* parent = item->Parent();
    if (NodeLevel(parent) != nlRecord || NodeClass(parent) != cls) return std::string();
    const int r = NodeNumber(parent);
    if (r < 0) return std::string();
    return WithRecords(const_cast<DeliveryStore&>(store_), cls, [&](auto& list) -> std::string {
      if (static_cast<std::size_t>(r) >= list.size()) return std::string();
      const auto& orgs = list[static_cast<std::size_t>(r)].Orgs;
      if (idx >= orgs.size()) return std::string();
      const TMdlTreeNodeOrg& o = orgs[idx];
      switch (code) {
        case 0:
        case 38: return o.OrgFile;
        case 1: {
          const std::string folder = ItemMediumFolder(item);
          return DeliveryFilePath(folder + DocClassTable[cls].Folder + "/Org", o.OrgFile, folder);
        }
        case 3: return o.OrgSoftVersion;
        case 4: return o.OrgContent;
        default: return std::string();
      }
    });
  }
  if (cls == 5 || cls == 13) {
    if (idx >= Attachments.size()) return std::string();
    const TMdlTreeNodeAttr& a = Attachments[idx];
    switch (code) {
      case 0: return ExtractFileName(a.Slots[2]);
      case 1: {
        const std::string folder = ItemMediumFolder(item);
        return DeliveryFilePath(folder + "DRAWINGS/SPEC", ExtractFileName(a.Slots[2]), folder);
      }
      case 3: return a.Slots[4];
      case 4: return a.Slots[3];
      case 38: return a.Slots[38];
      default: return std::string();
    }
  }
  return std::string();
}

void TMdlTreeView::SetFileItem(TTreeItem* item, int code, const std::string& text) {
  if (!item) return;
  if (code == 0) SetFileIcon(item, text);
  if (NodeLevel(item) != nlFile) return;
  int cls = NodeClass(item);
  int n = NodeNumber(item);
  if ((cls != 13 && cls != 5) || n < 0 || static_cast<std::size_t>(n) >= Attachments.size()) return;
  auto& slots = Attachments[static_cast<std::size_t>(n)].Slots;
  switch (code) {
    case 0: slots[2] = text; break;
    case 3: slots[4] = text; break;
    case 4: slots[3] = text; break;
    case 38: slots[38] = text; break;
    default: break;
  }
}

TCADFileNameParts TMdlTreeView::ParseCADFileName(const TTreeItem* item) const {
  return dlvr::ParseCADFileName(GetFileItem(item, 6), GetFileItem(item, 4), DrawKindLines, DrawNameLines);
}

std::vector<TMdlTreeView::TPathStep> TMdlTreeView::ItemPath(const TTreeItem* item) const {
  std::vector<TPathStep> path;
  for (; item; item = item->Parent()) path.push_back({NodeNumber(item), item->Caption(), item->Index()});
  std::reverse(path.begin(), path.end());
  return path;
}

TTreeItem* TMdlTreeView::FindItemPath(const std::vector<TPathStep>& path, bool* complete) const {
  TTreeItem* found = nullptr;
  std::size_t steps = 0;
  for (const TPathStep& step : path) {
    const int count = found ? found->Count() : tree_.TopCount();
    auto child = [&](int i) { return found ? found->Item(i) : tree_.TopItem(i); };
    auto same = [&](const TTreeItem* c) { return c && NodeNumber(c) == step.Number && c->Caption() == step.Caption; };
    TTreeItem* next = same(child(step.Row)) ? child(step.Row) : nullptr;
    for (int i = 0; i < count && !next; ++i)
      if (same(child(i))) next = child(i);
    for (int i = 0; i < count && !next; ++i)
      if (child(i)->Caption() == step.Caption) next = child(i);
    if (!next) break;
    found = next;
    ++steps;
  }
  if (complete) *complete = !path.empty() && steps == path.size();
  return found;
}

int TMdlTreeView::SelectFieldTable(const TTreeItem* item) const {
  int cls = NodeClass(item);
  return (cls == 2 || cls == 3 || cls == 6) ? cls : 0;
}

// ---------------------------------------------------------------------------
// Work copies

void TMdlTreeView::SetWorkCopiesDefault(bool on) { gWorkCopiesDefault = on; }
bool TMdlTreeView::WorkCopiesDefault() { return gWorkCopiesDefault; }

bool TMdlTreeView::MakeWorkFolders() {
  workFolder1_.clear();
  workFolder2_.clear();
  const std::string parent = PrivateWorkFolder();
  if (parent.empty()) return false;
  for (int attempt = 0; attempt < 100 && workFolder1_.empty(); ++attempt) workFolder1_ = MakeTempDir("DLVR", parent);
  for (int attempt = 0; attempt < 100 && workFolder2_.empty(); ++attempt) workFolder2_ = MakeTempDir("DLVR", parent);
  return !workFolder1_.empty() && !workFolder2_.empty();
}

void TMdlTreeView::RemoveWorkFolders() {
  if (!workFolder1_.empty()) RemoveTree(workFolder1_);
  if (!workFolder2_.empty()) RemoveTree(workFolder2_);
  workFolder1_.clear();
  workFolder2_.clear();
}

std::string TMdlTreeView::ManageFilePath(int cls, bool display) {
  const std::string& work = display ? workFolder1_ : workFolder2_;
  if (cls < 1 || cls > 6) return work;
  const TDocClassRow& row = DocClassTable[cls];
  if (work.empty()) return std::string();
  std::string result = work + row.Xml;
  if (!*row.Xml || FileExists(result) || !preparing_) return result;

  const std::string dtdCopy = work + row.Dtd;
  if (*row.Dtd && !FileExists(dtdCopy)) {
    std::string dtd = Contained(ResolveCase(mediaFolder_ + row.Folder + "/" + row.Dtd), mediaFolder_);
    std::string bytes;
    if (FileExists(dtd) && ReadWholeFile(dtd, bytes)) WriteWholeFile(dtdCopy, bytes);
  }
  // Read and written a piece at a time: a management file may be hundreds
  // of megabytes.
  if (const std::string source = ManageSource(cls); FileExists(source)) {
    const std::string xsl = row.Xsl;
    WriteStylesheetCopyOf(source, result, display ? &xsl : nullptr);
  }
  if (display && *row.Xsl && !FileExists(work + row.Xsl) && Services.StylesheetText) {
    std::string text = Services.StylesheetText(cls);
    std::string crlf;
    for (std::string_view line : SplitLines(text)) {
      crlf.append(line);
      crlf += "\r\n";
    }
    WriteWholeFile(work + row.Xsl, Utf8ToCp932(crlf));
  }
  return result;
}

std::string TMdlTreeView::ManageSource(int cls) const {
  const TDocClassRow& row = DocClassTable[cls];
  return Contained(ResolveCase(mediaFolder_ + row.Folder + "/" + row.Xml), mediaFolder_);
}

std::string TMdlTreeView::EarlierManageFile(int cls) {
  std::string copy = ManageFilePath(cls, false);
  if (!workFolder2_.empty() && FileExists(copy)) return copy;
  return ValidClass(cls) ? manageSources_[static_cast<std::size_t>(cls)] : std::string();
}

void TMdlTreeView::PrepareWorkCopies() {
  preparing_ = true;
  for (int cls : {1, 2, 3, 4, 6, 5}) {
    ManageFilePath(cls, false);
    ManageFilePath(cls, true);
    std::string& noted = manageSources_[static_cast<std::size_t>(cls)];
    if (!noted.empty()) continue;
    const std::string source = ManageSource(cls);
    // The folder in canonical form (a drive's link may change with the
    // medium), the name as it is: the reader tells the file kind by it.
    if (FileExists(source)) noted = JoinPath(CanonicalPath(ExtractFilePath(source)), ExtractFileName(source));
  }
  preparing_ = false;
}

// ---------------------------------------------------------------------------
// Sorting

int TMdlTreeView::SortMode(int cls) const {
  switch (cls) {
    case 2: return store_.MeetSortMode;
    case 3: return store_.PlanSortMode;
    case 6: return store_.OthrsSortMode;
    default: return 0;
  }
}

TSort* TMdlTreeView::SorterOf(int cls) {
  switch (cls) {
    case 2: return &srtMeet_;
    case 3: return &srtPlan_;
    case 6: return &srtOthrs_;
    default: return nullptr;
  }
}

namespace {
int ClassOfTag(int tag) { return tag == 0 ? 2 : tag == 1 ? 3 : 6; }

// A sort key of exactly 80 bytes: cut at a character boundary, padded with blanks.
std::string Key80(const std::string& s) {
  std::string k = CutAtBytes(s, 80);
  std::size_t len = Cp932Length(k);
  if (len < 80) k.append(80 - len, ' ');
  return k;
}
}  // namespace

void TMdlTreeView::SortExecute(int cls) {
  TSort* sorter = SorterOf(cls);
  TTreeItem* classItem = FindClassNode(cls);
  if (!sorter || !classItem) return;
  int mode = SortMode(cls);
  sorter->SortInverse = mode > 0 && mode % 2 == 0;
  std::size_t records = WithRecords(store_, cls, [](auto& list) { return list.size(); });
  int count = static_cast<int>(std::min<std::size_t>(records, static_cast<std::size_t>(classItem->Count())));
  // File order needs no sort when the records already stand in it (the
  // common case after a build).
  bool inFileOrder = mode == 0;
  for (int i = 1; inFileOrder && i < count; ++i)
    inFileOrder = NodeNumber(classItem->Item(i - 1)) < NodeNumber(classItem->Item(i));
  if (!inFileOrder) {
    // One reordering of the class's records: a view keeps their expansion
    // and the selection, and the records keep their files.
    sortClassItem_ = classItem;
    tree_.BeginReorder(classItem);
    sorter->Execute(count);
    tree_.EndReorder();
    sortClassItem_ = nullptr;
  }
}

void TMdlTreeView::SortClass(int cls, int mode) {
  if (mode < 1 || mode > 8) mode = 0;
  if (cls != 2 && cls != 3 && cls != 6) return;
  auto m = static_cast<unsigned char>(mode);
  if (cls == 2) store_.MeetSortMode = m;
  if (cls == 3) store_.PlanSortMode = m;
  if (cls == 6) store_.OthrsSortMode = m;
  SortExecute(cls);
}

void TMdlTreeView::ApplySorts() {
  for (int cls : {2, 3, 6}) SortExecute(cls);
}

const void* TMdlTreeView::SortGetSortItem(TSort& sender, int index) {
  int cls = ClassOfTag(sender.Tag);
  TTreeItem* classItem = sortClassItem_ ? sortClassItem_ : FindClassNode(cls);
  TTreeItem* child = classItem ? classItem->Item(index) : nullptr;
  int mode = SortMode(cls);
  if (mode == 0) {
    TMdlTreeItemData* d = NodeData(child);
    long v = d ? static_cast<long>(d->Level) * 10000000L + d->Number : 0;
    sortKey_ = std::to_string(v);
  } else if (cls == 2 && mode >= 3) {
    sortKey_ = Key80(GetRecordItem(child, mode <= 4 ? 8 : mode <= 6 ? 9 : 10));
  } else {
    sortKey_ = Key80(GetRecordItem(child, 0));
  }
  return &sortKey_;
}

void TMdlTreeView::SortMoveData(TSort& sender, int indexT, int indexF) {
  TTreeItem* classItem = sortClassItem_ ? sortClassItem_ : FindClassNode(ClassOfTag(sender.Tag));
  if (classItem) tree_.Exchange(classItem, indexT, indexF);
}

}  // namespace dlvr
