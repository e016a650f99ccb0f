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

namespace {

const char* const kRootCaption = "工事完成図書";
// Messages, shown in the user's language.
const char* const kDuplicateMessage =
    DLVR_TR_NOOP("TreeView", "データ内に同名のファイルが存在するため、\r異なった図面が表示されることがあります。");
const char* const kWrongMediumMessage =
    DLVR_TR_NOOP("TreeView", "正しいメディアが挿入されていません。\r\rメディアを確認してください。");

bool ValidClass(int cls) { return cls >= 0 && cls < kDocClassCount; }

std::atomic<bool> gWorkCopiesDefault{true};

// `path` (resolved) when it stays inside the medium's folder `root`; "" when
// it is, or passes through, a link leading out of the medium: the file or
// folder then counts as missing.
std::string Contained(const std::string& path, const std::string& root) {
  return LeadsOutside(path, root) ? std::string() : path;
}

std::string MultiMediaMessage(int m) {
  return Arg(Tr("TreeView",
                "メディアが複数枚存在します。%1枚目のメディアを挿入してください。\r\r次のメディアを読み込む場合は「OK」を\r"
                "読み込みを中止する場合は「ｷｬﾝｾﾙ」を選択してください。"),
             {std::to_string(m)});
}

// The record list of a record class.
template <class F>
auto WithRecords(DeliveryStore& s, int cls, F&& f) {
  switch (cls) {
    case 2:
      return f(s.Meetings);
    case 3:
      return f(s.Plans);
    default:
      return f(s.Others);
  }
}

std::string RecordCaption(const TMdlTreeNodeMeet& m) {
  return m.ManageClass.empty() ? m.MeetKind : m.MeetKind + "(" + m.ManageClass + ")";
}
std::string RecordCaption(const TMdlTreeNodePlan& p) { return p.PlanName; }
std::string RecordCaption(const TMdlTreeNodeOthrs& o) { return o.DocName; }

std::string JoinLines(const TStringList& list) {
  std::string out;
  for (const std::string& s : list) out += s + "\r\n";
  return out;
}

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
// Building

TTreeItem* TMdlTreeView::AddNode(TTreeItem* parent, const std::string& caption, int media, int cls, int level) {
  int number;
  if (cls != 0 || level == 0) {
    number = cls;
  } else if (level == nlFile) {
    number = 0;
  } else {
    number = 0;
    auto cached = nextNumber_.find(parent);
    if (cached != nextNumber_.end()) {
      number = cached->second;
    } else if (parent) {
      for (int i = 0; i < parent->Count(); ++i) number = std::max(number, NodeNumber(parent->Item(i)) + 1);
    }
    nextNumber_[parent] = number + 1;
  }
  auto data = std::make_unique<TMdlTreeItemData>();
  data->Number = number;
  data->Level = static_cast<std::uint8_t>(level);
  data->Media = media;
  data->Exists = true;
  TTreeItem* item = tree_.AddChild(parent, caption);
  item->SetData(std::move(data));
  static const int kImages[] = {imgRoot, imgFileClass, imgRecordClass, imgRecord, imgFile};
  int image = level >= 0 && level <= 4 ? kImages[level] : static_cast<int>(imgFile);
  item->SetImages(image, image, -1);
  SetClassCaption(item);
  if (level == nlFile && NodeClass(item) == 1) {
    TTreeItem* prev = item->GetPrevSibling();
    if (prev && NodeClass(prev) == 13) tree_.MoveBefore(item, prev);
  }
  return item;
}

void TMdlTreeView::SetClassCaption(TTreeItem* item) {
  int level = NodeLevel(item);
  if (level != nlFileClass && level != nlRecordClass) return;
  int cls = NodeNumber(item);
  if (!ValidClass(cls) || cls == 12) return;
  std::string caption = DocClassTable[cls].Caption;
  std::string folder = DocClassTable[cls].Folder;
  switch (viewLang_) {
    case 1: item->SetCaption(folder); break;
    case 2: item->SetCaption(caption + "(" + folder + ")"); break;
    case 3: item->SetCaption(folder + "(" + caption + ")"); break;
    default: item->SetCaption(caption); break;
  }
}

void TMdlTreeView::SetViewLang(int lang) {
  viewLang_ = lang;
  tree_.BeginChanges();
  tree_.ForEach([this](TTreeItem* item) { SetClassCaption(item); });
  tree_.EndChanges();
}

std::string TMdlTreeView::FileCaption(const TTreeItem* item) const {
  switch (fileNameMode_) {
    case 1: return GetFileItem(item, 38);
    case 2: return AsciiUpper(GetFileItem(item, 0));
    case 3: return GetFileItem(item, 4);
    default: return ExtractFileName(GetFileItem(item, 0));
  }
}

void TMdlTreeView::RecaptionFiles(TTreeItem* item) {
  int cls = NodeClass(item);
  int level = NodeLevel(item);
  if (level == nlRecordClass && (cls == 2 || cls == 3 || cls == 6)) {
    for (int i = 0; i < item->Count(); ++i) {
      TTreeItem* rec = item->Item(i);
      for (int k = 0; k < rec->Count(); ++k) rec->Item(k)->SetCaption(FileCaption(rec->Item(k)));
    }
    return;
  }
  if (cls == 1 || cls == 4) {
    for (int i = 0; i < item->Count(); ++i) {
      TTreeItem* c = item->Item(i);
      if (NodeLevel(c) == nlFile) {
        c->SetCaption(FileCaption(c));
      } else if (NodeLevel(c) == nlFileClass) {
        for (int k = 0; k < c->Count(); ++k)
          if (NodeLevel(c->Item(k)) == nlFile) c->Item(k)->SetCaption(FileCaption(c->Item(k)));
      }
    }
    return;
  }
  for (int i = 0; i < item->Count(); ++i) RecaptionFiles(item->Item(i));
}

void TMdlTreeView::SetFileNameMode(int mode) {
  fileNameMode_ = mode;
  tree_.BeginChanges();
  if (TTreeItem* root = tree_.Root()) RecaptionFiles(root);
  tree_.EndChanges();
}

void TMdlTreeView::SetFileIcon(TTreeItem* item, const std::string& path) {
  ApplyFileIcon(item, path, FileExists(path));
}

void TMdlTreeView::ApplyFileIcon(TTreeItem* item, const std::string& path, bool exists) {
  TMdlTreeItemData* d = NodeData(item);
  if (!item) return;
  if (d) d->Exists = true;
  int image = -1;
  if (exists) {
    int i = (icons_ ? icons_ : &defaultIcons_)->IconIndex(path);
    if (i >= 0) image = i + SysIconBase;
  }
  if (image < 0) {
    if (item->ImageIndex() == imgFile) {
      image = imgFileMissing;
    } else {
      if (d) d->Exists = item->ImageIndex() == imgFileMissing;
      return;
    }
  }
  item->SetImages(image, image, -1);
}

namespace {

// File names of a folder in the order a Windows listing shows them:
// upper-cased names first, exact names second.
std::vector<std::string> SortedFiles(const std::string& folder) {
  std::vector<std::string> names = ListFiles(folder);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    std::string ua = AsciiUpper(a), ub = AsciiUpper(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

}  // namespace

void TMdlTreeView::ScanAttachments(TTreeItem* classItem, const std::string& folder, int cls) {
  std::string dir = WithTrailingSlash(ResolveCase(folder));
  TCaseResolver inside(mediaFolder_.empty() ? dir : mediaFolder_);
  const char* xml = ValidClass(cls) ? DocClassTable[cls].Xml : "";
  const char* dtd = ValidClass(cls) ? DocClassTable[cls].Dtd : "";
  int m = static_cast<int>(WholeNumber(store_.IndexRecords.empty() ? "" : store_.IndexRecords[0].MediaNo));
  for (const std::string& name : SortedFiles(dir)) {
    if ((*xml && EqualsNoCase(name, xml)) || (*dtd && EqualsNoCase(name, dtd))) continue;
    const std::string full = dir + name;
    bool known = std::any_of(Attachments.begin(), Attachments.end(),
                             [&](const TMdlTreeNodeAttr& a) { return a.Slots[2] == full; });
    if (known) continue;
    // A link leading out of the medium is listed as a missing file.
    const bool there = !inside.FileIn(dir, name).empty();
    Attachments.emplace_back();
    TTreeItem* item = AddNode(classItem, name, there ? m : 0, 0, nlFile);
    NodeData(item)->Number = static_cast<int>(Attachments.size() - 1);
    Attachments.back().Slots[2] = full;
    ApplyFileIcon(item, full, there);
    SetFileItem(item, 3, name);
    SetFileItem(item, 4, name);
    SetFileItem(item, 38, ExtractFileName(full));
    item->SetCaption(FileNameWithoutExt(name));
    item->SetSelectedIndex(item->ImageIndex());
  }
}

// The child of a class (or record) item whose record number is `number`.
// Children are looked up by their number, so a sorted class still finds the
// right record's item.
TTreeItem* TMdlTreeView::ClassChild(TTreeItem* classItem, int number, int level) const {
  if (!classItem) return nullptr;
  TTreeItem* byIndex = classItem->Item(number);
  if (byIndex && NodeLevel(byIndex) == level && NodeNumber(byIndex) == number) return byIndex;
  for (int i = 0; i < classItem->Count(); ++i) {
    TTreeItem* c = classItem->Item(i);
    if (NodeLevel(c) == level && NodeNumber(c) == number) return c;
  }
  return nullptr;
}

void TMdlTreeView::BuildDrawClass(int cls, TTreeItem* classItem, const std::string& path, int m, bool& dup) {
  if (OnProgress) OnProgress(DocClassTable[cls].Caption, m);
  TKKTXMLRead reader(store_);
  const TDocClassRow& row = DocClassTable[cls];
  const auto& list = [&]() -> const std::vector<TMdlTreeNodeDraw>& {
    return cls == 1 ? store_.OrderDrawings : store_.FinalDrawings;
  };
  TCaseResolver resolver(mediaFolder_);
  const std::string folder = resolver.Resolve(mediaFolder_ + row.Folder);
  auto filePath = [&](const std::string& name) { return resolver.FileIn(folder, name); };
  std::string earlier = EarlierManageFile(cls);
  if (!earlier.empty()) {
    reader.ReadFile(earlier);
    dup = store_.DrawFileDuplicate;
    std::unordered_map<int, TTreeItem*> byNumber;
    for (int i = 0; i < classItem->Count(); ++i)
      if (NodeLevel(classItem->Item(i)) == nlFile) byNumber.emplace(NodeNumber(classItem->Item(i)), classItem->Item(i));
    for (std::size_t r = 0; r < list().size(); ++r) {
      auto it = byNumber.find(static_cast<int>(r));
      if (it == byNumber.end()) continue;
      std::string file = filePath(list()[r].DrawFile);
      if (file.empty()) file = FileOnOwnMedium(it->second, row.Folder, list()[r].DrawFile, m);
      if (NodeMedia(it->second) == 0 && !file.empty()) SetNodeMedia(it->second, m);
      ApplyFileIcon(it->second, file, !file.empty());
    }
  } else if (DirExists(Contained(resolver.Resolve(path + row.Folder), path))) {
    reader.ReadFile(Contained(resolver.Resolve(path + row.Folder + "/" + row.Xml), path));
    dup = store_.DrawFileDuplicate;
    for (std::size_t r = 0; r < list().size(); ++r) {
      const std::string& drawFile = list()[r].DrawFile;
      std::string file = filePath(drawFile);
      TTreeItem* item = AddNode(classItem, ExtractFileName(drawFile), file.empty() ? 0 : m, 0, nlFile);
      NodeData(item)->Number = static_cast<int>(r);
      ApplyFileIcon(item, file, !file.empty());
    }
  }
}

void TMdlTreeView::BuildRecordClass(int cls, TTreeItem* classItem, const std::string& path, int m) {
  if (OnProgress) OnProgress(DocClassTable[cls].Caption, m);
  TKKTXMLRead reader(store_);
  const TDocClassRow& row = DocClassTable[cls];
  TCaseResolver resolver(mediaFolder_);
  const std::string orgFolder = resolver.Resolve(mediaFolder_ + row.Folder + "/Org");
  auto filePath = [&](const std::string& name) { return resolver.FileIn(orgFolder, name); };
  std::string earlier = EarlierManageFile(cls);
  if (!earlier.empty()) {
    reader.ReadFile(earlier);
    std::unordered_map<int, TTreeItem*> byNumber;
    for (int i = 0; i < classItem->Count(); ++i) byNumber.emplace(NodeNumber(classItem->Item(i)), classItem->Item(i));
    WithRecords(store_, cls, [&](auto& list) {
      for (std::size_t r = 0; r < list.size(); ++r) {
        auto it = byNumber.find(static_cast<int>(r));
        if (it == byNumber.end()) continue;
        TTreeItem* recItem = it->second;
        const auto& orgs = list[r].Orgs;
        for (std::size_t k = 0; k < orgs.size(); ++k) {
          TTreeItem* fileItem = ClassChild(recItem, static_cast<int>(k), nlFile);
          if (!fileItem) continue;
          std::string file = filePath(orgs[k].OrgFile);
          if (file.empty()) file = FileOnOwnMedium(fileItem, std::string(row.Folder) + "/Org", orgs[k].OrgFile, m);
          if (NodeMedia(fileItem) == 0 && !file.empty()) SetNodeMedia(fileItem, m);
          ApplyFileIcon(fileItem, file, !file.empty());
        }
      }
      return 0;
    });
  } else if (DirExists(Contained(resolver.Resolve(path + row.Folder), path))) {
    reader.ReadFile(Contained(resolver.Resolve(path + row.Folder + "/" + row.Xml), path));
    if (!Services.RecordItems) return;
    WithRecords(store_, cls, [&](auto& list) {
      for (std::size_t r = 0; r < list.size(); ++r) {
        TTreeItem* recItem = AddNode(classItem, RecordCaption(list[r]), 0, 0, nlRecord);
        const auto& orgs = list[r].Orgs;
        for (std::size_t k = 0; k < orgs.size(); ++k) {
          std::string file = filePath(orgs[k].OrgFile);
          TTreeItem* item = AddNode(recItem, ExtractFileName(orgs[k].OrgFile), file.empty() ? 0 : m, 0, nlFile);
          NodeData(item)->Number = static_cast<int>(k);
          ApplyFileIcon(item, file, !file.empty());
        }
      }
      return 0;
    });
  }
}

void TMdlTreeView::BuildTree(const std::string& rawPath, bool first) {
  const std::string path = WithTrailingSlash(rawPath);
  ownMediumResolvers_.clear();
  TKKTXMLRead reader(store_);
  reader.ClearRecords(-1);
  reader.ReadFile(Contained(ResolveCase(path + "INDEX_C.XML"), path));
  tree_.BeginUpdate();
  TTreeItem* root = tree_.Root();
  if (!root) {
    ClearTree();
    root = tree_.Root();
  }
  const int m = static_cast<int>(WholeNumber(store_.IndexRecords[0].MediaNo));
  const long mediaCount = WholeNumber(store_.IndexRecords[0].MediaCount);

  // Class 1 with its special specifications (class 13) always last.
  TTreeItem* cls1 = first ? AddNode(root, "", 0, 1, nlFileClass) : root->Item(0);
  dup1_ = false;
  if (cls1) BuildDrawClass(1, cls1, path, m, dup1_);
  TTreeItem* cls13 = first ? AddNode(cls1, "", 0, 13, nlFileClass) : (cls1 ? cls1->GetLastChild() : nullptr);
  if (cls13 && NodeClass(cls13) == 13) {
    std::string spec = ResolveCase(path + "DRAWINGS/SPEC");
    if (DirExists(Contained(spec, path))) ScanAttachments(cls13, spec + "/", 13);
    TCaseResolver resolver(path);
    for (int i = 0; i < cls13->Count(); ++i) {
      TTreeItem* c = cls13->Item(i);
      const std::string name = GetFileItem(c, 0);
      if (TMdlTreeItemData* d = NodeData(c))
        d->Exists = !resolver.FileIn(spec, name).empty() || !FileOnOwnMedium(c, "DRAWINGS/SPEC", name, m).empty();
    }
  }

  TTreeItem* cls2 = first ? AddNode(root, "", 0, 2, nlRecordClass) : root->Item(1);
  if (cls2) BuildRecordClass(2, cls2, path, m);
  TTreeItem* cls3 = first ? AddNode(root, "", 0, 3, nlRecordClass) : root->Item(2);
  if (cls3) BuildRecordClass(3, cls3, path, m);

  TTreeItem* cls4 = first ? AddNode(root, "", 0, 4, nlFileClass) : root->Item(3);
  dup4_ = false;
  if (cls4) BuildDrawClass(4, cls4, path, m, dup4_);

  if (first) AddNode(root, "", 0, 5, nlFileClass);

  TTreeItem* cls6 = first ? AddNode(root, "", 0, 6, nlRecordClass) : root->Item(5);
  if (cls6) BuildRecordClass(6, cls6, path, m);

  if (Services.FillFieldTables) Services.FillFieldTables(store_);

  if ((dup1_ || dup4_) && mediaCount > 1) Inform(Tr("TreeView", kDuplicateMessage));

  root->SetExpanded(true);
  ApplySorts();
  tree_.EndUpdate();
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
// Loading

void TMdlTreeView::SetMediaFolder(const std::string& folder) { mediaFolder_ = WithTrailingSlash(folder); }

namespace {
// Every field of a management record but the medium number, run together.
std::string Identity(const TMdlTreeNodeIndex& r) {
  std::string s;
  const auto& fields = TMdlTreeNodeIndex::Fields();
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (fields[i].Text)
      s += r.*fields[i].Text;
    else
      s += JoinLines(r.*fields[i].List);
  }
  return s;
}
}  // namespace

bool TMdlTreeView::IsSameDelivery() const {
  if (store_.IndexRecords.size() != kIndexRecordCount) return false;
  std::string a = Identity(store_.IndexRecords[fkIndex]);
  return !a.empty() && a == Identity(store_.IndexRecords[fkOtherIndex]);
}

std::string TMdlTreeView::DeliveryIdentity() const {
  return store_.IndexRecords.size() == kIndexRecordCount ? Identity(store_.IndexRecords[fkIndex]) : std::string();
}

void TMdlTreeView::ClearTree() {
  tree_.BeginUpdate();
  tree_.Clear();
  Attachments.clear();
  nextNumber_.clear();
  TTreeItem* root = AddNode(nullptr, kRootCaption, 0, 0, nlRoot);
  root->SetExpanded(true);
  tree_.EndUpdate();
}

void TMdlTreeView::NotePhoto(const std::string& folder, int k) {
  std::string photo = Contained(ResolveCase(folder + DocClassTable[5].Folder + "/" + DocClassTable[5].Xml), folder);
  if (FileExists(photo) && std::find(photoMedia_.begin(), photoMedia_.end(), k) == photoMedia_.end())
    photoMedia_.push_back(k);
}

void TMdlTreeView::NoteLoaded(int media, const std::string& folder) {
  if (std::find(loadedMedia_.begin(), loadedMedia_.end(), media) == loadedMedia_.end()) loadedMedia_.push_back(media);
  // The folder now holds this medium: whatever was read from it before is
  // gone from reach, and this medium is reached here only.
  std::erase_if(reachableMedia_, [&](const TLoadedMedium& m) { return m.MediaNo == media || m.Folder == folder; });
  reachableMedia_.push_back({media, folder});
}

bool TMdlTreeView::AllMediaLoaded() const {
  const long total = WholeNumber(store_.IndexRecords[fkIndex].MediaCount);
  for (long m = 1; m <= std::max(total, 1L); ++m)
    if (std::find(loadedMedia_.begin(), loadedMedia_.end(), static_cast<int>(m)) == loadedMedia_.end()) return false;
  return true;
}

std::string TMdlTreeView::SameMediumFolder(const std::string& folder) const {
  const std::string identity = DeliveryIdentity();
  if (identity.empty() || !tree_.Root() || tree_.Root()->Count() == 0) return std::string();
  const std::optional<TMdlTreeNodeIndex> record = ReadFolderIndexRecord(folder);
  if (!record || Identity(*record) != identity) return std::string();
  const std::string held = MediumFolder(static_cast<int>(WholeNumber(record->MediaNo)));
  if (held.empty()) return std::string();
  const std::string canonical = WithTrailingSlash(CanonicalPath(folder));
  return canonical == WithTrailingSlash(CanonicalPath(held)) ? std::string() : held;
}

void TMdlTreeView::Load(const std::string& rawFolder) {
  const std::string folder = WithTrailingSlash(rawFolder);
  TKKTXMLRead reader(store_);
  auto readOther = [&] { reader.ReadOtherIndex(Contained(ResolveCase(folder + "INDEX_C.XML"), folder)); };
  readOther();
  mediaFolder_ = folder;
  const TMdlTreeNodeIndex& other = store_.IndexRecords[fkOtherIndex];

  // A further medium of the delivery shown: only when that delivery's tree
  // is built (a store shared with an earlier model may still hold it).
  TTreeItem* root = tree_.Root();
  if (IsSameDelivery() && root && root->Count() > 0 && SameMediumFolder(folder).empty()) {
    NotePhoto(folder, static_cast<int>(WholeNumber(other.MediaNo)));
    NoteLoaded(static_cast<int>(WholeNumber(other.MediaNo)), folder);
    BuildTree(folder, false);
    PrepareWorkCopies();
    return;
  }

  photoMedia_.clear();
  loadedMedia_.clear();
  reachableMedia_.clear();
  manageSources_ = {};
  RemoveWorkFolders();
  if (MakeWorkCopies) MakeWorkFolders();
  ClearTree();

  std::vector<int> loaded;
  const long total = WholeNumber(other.MediaCount);
  while (true) {
    int n = static_cast<int>(WholeNumber(store_.IndexRecords[fkOtherIndex].MediaNo));
    if (std::find(loaded.begin(), loaded.end(), n) == loaded.end()) {
      loaded.push_back(n);
      NoteLoaded(n, folder);
      BuildTree(folder, loaded.size() == 1);
      PrepareWorkCopies();
      NotePhoto(folder, n);
      if (!IsRemovableDrive(folder)) return;
    }
    if (static_cast<long>(loaded.size()) >= total) return;
    int m = 1;
    while (std::find(loaded.begin(), loaded.end(), m) != loaded.end()) ++m;
    if (Ask(MultiMediaMessage(m), MsgIcon::Information, MsgButtons::OkCancel, DialogAnswer::Ok) != DialogAnswer::Ok)
      return;
    while (!IsMediaReady(mediaFolder_))
      if (AskMediaNotReady() != DialogAnswer::Retry) return;
    readOther();
    while (!IsSameDelivery()) {
      if (AskRetry(Tr("TreeView", kWrongMediumMessage)) != DialogAnswer::Retry) return;
      readOther();
    }
  }
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
