// The document tree model: turns the records of a delivery into the items of
// the tree, reads further media of a multi-media delivery, keeps the work
// copies of the management files, and answers every question about an item
// through small item codes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "delivery/kkt_xml_read.h"
#include "delivery/store.h"
#include "model/cad_names.h"
#include "model/doc_tree.h"
#include "model/sort.h"
#include "platform/paths.h"

namespace dlvr {

// Item levels.
enum TMdlNodeLevel : std::uint8_t {
  nlRoot = 0,
  nlFileClass = 1,
  nlRecordClass = 2,
  nlRecord = 3,
  nlFile = 4,
  nlNone = 6,
};

// One row of the document class table.
struct TDocClassRow {
  const char* Xml;
  const char* Dtd;
  const char* Xsl;
  const char* Caption;
  const char* Folder;
};

inline constexpr int kDocClassCount = 14;
extern const TDocClassRow DocClassTable[kDocClassCount];

// Images of the module's own image list; system icons follow from
// SysIconBase on.
enum TMdlImage : int {
  imgRoot = 0,
  imgFileClass = 2,
  imgRecordClass = 4,
  imgRecord = 6,
  imgFile = 8,
  imgFileMissing = 10,
};
inline constexpr int kModuleImageCount = 11;

// A file found by scanning a folder. Slots 1-38 (slot 0 unused): 2 the full
// path, 3 and 4 the file name as found, 38 the name shown for the item.
struct TMdlTreeNodeAttr {
  std::array<std::string, 39> Slots;
};

// Gives the icon of a file: an index into the desktop's small icon list, or
// -1 when there is none. The default gives one index per file extension.
class TIconProvider {
 public:
  virtual ~TIconProvider() = default;
  virtual int IconIndex(const std::string& path) = 0;
};

class TExtensionIconProvider : public TIconProvider {
 public:
  int IconIndex(const std::string& path) override;

 private:
  std::map<std::string, int> indexes_;
};

// What the model asks of the layers above it.
struct TModelServices {
  // Fills the per-delivery field tables from the store (end of each build).
  std::function<void(const DeliveryStore&)> FillFieldTables;
  // The stylesheet text (UTF-8) of a class's XSL file; written as Shift-JIS.
  std::function<std::string(int cls)> StylesheetText;
  // The photo viewer's installation folder as its settings record it ("" for none).
  std::function<std::string()> ViewerInstallFolder;
  // Whether meetings, plans and other documents get an item each (with
  // their original files) in the tree. A headless check reads the records
  // from the store and goes without them: some 150 bytes a record.
  bool RecordItems = true;
};

class TMdlTreeView {
 public:
  explicit TMdlTreeView(DeliveryStore& store = DeliveryStore::Global());
  ~TMdlTreeView();
  TMdlTreeView(const TMdlTreeView&) = delete;
  TMdlTreeView& operator=(const TMdlTreeView&) = delete;

  TDocTree& Tree() { return tree_; }
  DeliveryStore& Store() { return store_; }
  TModelServices Services;
  // Null means the default per-extension icons.
  void SetIconProvider(TIconProvider* provider) { icons_ = provider; }

  // --- item accessors (all accept a null item) ---
  TMdlTreeItemData* NodeData(const TTreeItem* item) const;
  int NodeLevel(const TTreeItem* item) const;
  int NodeNumber(const TTreeItem* item) const;
  int NodeMedia(const TTreeItem* item) const;
  void SetNodeMedia(TTreeItem* item, int media);
  int NodeClass(const TTreeItem* item) const;
  TTreeItem* FindClassNode(int cls) const;
  std::string GetIndexItem(int code) const;
  std::string GetRecordItem(const TTreeItem* item, int code) const;
  std::string GetFileItem(const TTreeItem* item, int code) const;
  void SetFileItem(TTreeItem* item, int code, const std::string& text);
  // The drawing file-name parts of a drawing item (never valid for others).
  TCADFileNameParts ParseCADFileName(const TTreeItem* item) const;
  // The embedded drawing kind and name lists, set by the layer above.
  std::vector<std::string> DrawKindLines, DrawNameLines;

  // Told what the build is reading (a class caption and the medium number),
  // so that a window can show progress and repaint during long loads.
  std::function<void(const std::string& what, int media)> OnProgress;

  // --- building ---
  TTreeItem* AddNode(TTreeItem* parent, const std::string& caption, int media, int cls, int level);
  void BuildTree(const std::string& path, bool first);
  void SetFileIcon(TTreeItem* item, const std::string& path);
  void ScanAttachments(TTreeItem* classItem, const std::string& folder, int cls);
  void SetClassCaption(TTreeItem* item);
  // Re-captioning changes captions only, in one change bracket of the tree:
  // items neither move nor get rebuilt.
  void SetViewLang(int lang);
  int ViewLang() const { return viewLang_; }
  void SetFileNameMode(int mode);
  int FileNameMode() const { return fileNameMode_; }
  std::string NodeHint(const TTreeItem* item) const { return std::string(); }
  // The way from the root to an item, one step per level: the item's number
  // and caption, and its row as a hint (empty for a null item). It finds the
  // item again after a reload of the same delivery.
  struct TPathStep {
    int Number = 0;
    std::string Caption;
    int Row = 0;
  };
  std::vector<TPathStep> ItemPath(const TTreeItem* item) const;
  // The item at the end of `path`: at each step the child of that number and
  // caption (looked for at its row first), else the first child of that
  // caption. Where a step finds
  // nothing, the last item found (null when not even the root matches);
  // *complete tells whether every step was found.
  TTreeItem* FindItemPath(const std::vector<TPathStep>& path, bool* complete = nullptr) const;
  // The class whose field table the item pane shows for the item: 2, 3 or 6,
  // 0 for none.
  int SelectFieldTable(const TTreeItem* item) const;

  // --- work copies ---
  // Whether Load makes the work folders and the work copies of the
  // management files (for the XML pane and the viewer's searches). Off,
  // Load writes nothing (a headless check needs no copies); a further medium
  // then re-reads the first medium's management file where it was read.
  // Taken from WorkCopiesDefault() when the model is made.
  bool MakeWorkCopies = WorkCopiesDefault();
  // The process-wide default of MakeWorkCopies (on unless set otherwise).
  static void SetWorkCopiesDefault(bool on);
  static bool WorkCopiesDefault();
  // Whether the model wrote the blank page (NONE.HTML in the program's
  // folder, which the file panes show first) when it was made. Only a model
  // that makes work copies writes it; false as well when the program's folder
  // cannot be written or holds a delivery. The panes then show their empty
  // page; nothing else depends on it.
  bool BlankPageWritten() const { return blankPageWritten_; }
  // Makes the two work folders inside the process's private work folder.
  bool MakeWorkFolders();
  void RemoveWorkFolders();
  std::string ManageFilePath(int cls, bool display);
  std::string NodeManageFilePath(const TTreeItem* item, bool display) { return ManageFilePath(NodeClass(item), display); }
  // Makes the missing work copies (when there are work folders) and notes
  // the management files they come from.
  void PrepareWorkCopies();
  const std::string& WorkFolder1() const { return workFolder1_; }
  const std::string& WorkFolder2() const { return workFolder2_; }

  // --- loading ---
  // Loads the delivery in `folder`, asking for further media as needed. A
  // folder holding a further medium of the delivery loaded adds it; a folder
  // holding a medium already read from another folder that still holds it
  // (a corrected copy, say) is loaded as a delivery of its own.
  void Load(const std::string& folder);
  // The folder (as it was read from) that already holds the medium in
  // `folder`: when `folder` holds a medium of the delivery loaded whose
  // number was read from another folder, still reachable. "" otherwise:
  // another delivery, a medium not read yet, the same folder again (a
  // refresh), or a medium whose folder took another medium since.
  std::string SameMediumFolder(const std::string& folder) const;
  bool IsSameDelivery() const;
  // What tells the delivery loaded from others: every field of its
  // management record but the medium number ("" when none was read).
  std::string DeliveryIdentity() const;
  // Clears the tree and the node data and creates the root item.
  void ClearTree();
  const std::string& MediaFolder() const { return mediaFolder_; }
  void SetMediaFolder(const std::string& folder);
  const std::vector<int>& PhotoMedia() const { return photoMedia_; }
  // The media numbers loaded since the delivery was first read, and whether
  // every medium the delivery has (its MediaCount, at least one) is among them.
  const std::vector<int>& LoadedMedia() const { return loadedMedia_; }
  bool AllMediaLoaded() const;
  // A medium read since the delivery was first read, and the folder (ending
  // in '/') it was read from.
  struct TLoadedMedium {
    int MediaNo = 0;
    std::string Folder;
  };
  // The media whose files can still be reached, in load order: the last
  // medium read from each folder. A medium whose drive took another medium
  // of the delivery afterwards is not among them (a medium read again comes
  // last). Empty before a delivery is loaded.
  const std::vector<TLoadedMedium>& ReachableMedia() const { return reachableMedia_; }
  // The folder (ending in '/') medium `media` can be reached in: the folder
  // it was read from, while no other medium was read there since; "" when it
  // cannot be reached (a drive that took another disc) or for medium 0.
  std::string MediumFolder(int media) const;
  // The folder an item's file is looked up in: that of the medium its Media
  // names where that medium is reachable, else the medium read last.
  std::string ItemMediumFolder(const TTreeItem* item) const;
  // The photo viewer program: candidates the media folder, the viewer's
  // installation folder and the program's folder; "" when none is found.
  std::string FindPhotoViewer() const;
  // The inserted medium's photo management file, "" when it has none.
  std::string PhotoFilePath() const;
  // The folder (ending in '/') the photo viewer is to open, "" when the
  // inserted medium has no photo management file.
  std::string PhotoViewerDirectory() const;
  // Duplicate drawing file names of classes 1 and 4 in the last build.
  bool DrawDuplicate(int cls) const { return cls == 1 ? dup1_ : cls == 4 ? dup4_ : false; }

  // --- sorting ---
  // A sort moves the record items of the class in one reorder bracket of
  // the tree (none when they already stand in order); items keep their
  // identity, their files and their expansion.
  void SortClass(int cls, int mode);
  void ApplySorts();
  int SortMode(int cls) const;

  // Files written for previews, deleted at exit.
  std::vector<std::string> TempFiles;
  // The data check's findings: five strings each.
  std::vector<std::array<std::string, 5>> ErrorList;

  std::vector<TMdlTreeNodeAttr> Attachments;
  int SysIconBase = kModuleImageCount;

 private:
  TTreeItem* ClassChild(TTreeItem* classItem, int number, int level) const;
  // SetFileIcon with the file's presence already known.
  void ApplyFileIcon(TTreeItem* item, const std::string& path, bool exists);
  // Where a further medium lacks an item's file: the file in `sub` of the
  // earlier medium the item's Media names, while that medium stays
  // reachable in a folder of its own; "" otherwise.
  std::string FileOnOwnMedium(const TTreeItem* item, const std::string& sub, const std::string& name,
                              int current) const;
  void BuildDrawClass(int cls, TTreeItem* classItem, const std::string& path, int m, bool& dup);
  void BuildRecordClass(int cls, TTreeItem* classItem, const std::string& path, int m);
  void NotePhoto(const std::string& folder, int k);
  // The medium's management file of a class, "" when it is missing or a
  // link leading out of the medium.
  std::string ManageSource(int cls) const;
  // What a further medium reads instead of its own management file: the
  // work copy, else the first medium's file noted by PrepareWorkCopies.
  std::string EarlierManageFile(int cls);
  std::string FileCaption(const TTreeItem* item) const;
  void RecaptionFiles(TTreeItem* item);
  TSort* SorterOf(int cls);
  void SortExecute(int cls);
  const void* SortGetSortItem(TSort& sender, int index);
  void SortMoveData(TSort& sender, int indexT, int indexF);

  DeliveryStore& store_;
  TDocTree tree_;
  TExtensionIconProvider defaultIcons_;
  TIconProvider* icons_ = nullptr;
  int viewLang_ = 0;
  int fileNameMode_ = 0;
  bool preparing_ = false;
  bool blankPageWritten_ = false;
  std::string mediaFolder_;
  std::string workFolder1_, workFolder2_;
  std::vector<int> photoMedia_;
  std::vector<int> loadedMedia_;
  std::vector<TLoadedMedium> reachableMedia_;
  void NoteLoaded(int media, const std::string& folder);
  // The resolvers FileOnOwnMedium looks up earlier media with, by folder,
  // for one build.
  mutable std::map<std::string, TCaseResolver> ownMediumResolvers_;
  bool dup1_ = false, dup4_ = false;
  // Per class, the management file the work copies come from (its folder
  // in canonical form), noted once per delivery.
  std::array<std::string, kDocClassCount> manageSources_;
  TSort srtMeet_, srtPlan_, srtOthrs_;
  std::string sortKey_;
  TTreeItem* sortClassItem_ = nullptr;
  // Next record number per parent item, so that adding records stays linear.
  std::unordered_map<const TTreeItem*, int> nextNumber_;
};

// The path of a file named in management data inside `folder`, resolved
// without regard to ASCII case; "" when the name would leave the folder or
// the file is a link whose target lies outside `root` (the medium's folder;
// `folder` itself when empty).
std::string DeliveryFilePath(const std::string& folder, const std::string& name, const std::string& root = "");

}  // namespace dlvr
