// The document tree built from a delivery's management files: its items
// for every class, record and file, and the loading of media into it.
#include "model/tree_view.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "delivery/helpers.h"
#include "delivery/prompts.h"
#include "delivery/sibling_media.h"
#include "model/tree_view_internal.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {

using namespace tree_detail;

namespace {

const char* const kRootCaption = "工事完成図書";
// Messages, shown in the user's language.
const char* const kDuplicateMessage =
    DLVR_TR_NOOP("TreeView", "データ内に同名のファイルが存在するため、\r異なった図面が表示されることがあります。");
const char* const kWrongMediumMessage =
    DLVR_TR_NOOP("TreeView", "正しいメディアが挿入されていません。\r\rメディアを確認してください。");

std::string MultiMediaMessage(int m) {
  return Arg(Tr("TreeView",
                "メディアが複数枚存在します。%1枚目のメディアを挿入してください。\r\r次のメディアを読み込む場合は「OK」を\r"
                "読み込みを中止する場合は「ｷｬﾝｾﾙ」を選択してください。"),
             {std::to_string(m)});
}

std::string RecordCaption(const TMdlTreeNodeMeet& m) {
  return m.ManageClass.empty() ? m.MeetKind : m.MeetKind + "(" + m.ManageClass + ")";
}
std::string RecordCaption(const TMdlTreeNodePlan& p) { return p.PlanName; }
std::string RecordCaption(const TMdlTreeNodeOthrs& o) { return o.DocName; }

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
// Loading

void TMdlTreeView::SetMediaFolder(const std::string& folder) { mediaFolder_ = WithTrailingSlash(folder); }


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

}  // namespace dlvr
