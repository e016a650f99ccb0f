// The compare view of the main window: the delivery loaded is compared with
// an earlier delivery (the one it corrects) chosen in a folder dialog; the
// earlier delivery is read and compared on a worker while the legend tells
// how far it is. The tree then marks what was added and changed (a mark over
// the icon and a text colour; a removed record shows as a greyed item where
// it stood, after the record it followed, and its class gets a ring; selected,
// its pane shows the earlier values, greyed), a legend in the status bar
// counts the changes, "変更のみ表示" leaves only the changed items and their
// ancestors in the tree, and the information, drawing and file panes show a
// changed field as "old → new" (the file panes also a changed file's size
// and time). The change list prints and exports as CSV or PDF. 比較終了 ends
// the compare, and so does any load.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <QTreeView>
#include <QObject>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/kkt_tree_model.h"
#include "check/field_tables.h"
#include "check/report_layout.h"
#include "compare/delivery_diff.h"

namespace dlvr {

class TTreeItem;
class TInfoPaneBase;
class TViewerModel;
class TfrmCADFiles;
class TfrmFiles;
struct TCompareRun;

// What of the main window the compare view works with.
struct TCompareHost {
  QMainWindow* Window = nullptr;
  TViewerModel* Model = nullptr;
  QTreeView* Tree = nullptr;
  TKKTTreeModel* TreeModel = nullptr;
  // The commands go into this menu before `MenuBefore`, the toolbar button
  // after the toolbar's button named `ToolAfter`.
  QMenu* FileMenu = nullptr;
  QAction* MenuBefore = nullptr;
  QToolBar* ToolBar = nullptr;
  QString ToolAfter;
  TInfoPaneBase* KojInfo = nullptr;
  TInfoPaneBase* Info = nullptr;
  // The folder dialog: true with the chosen folder when decided.
  std::function<bool(QWidget*, const QString&, QString&)> SelectFolder;
  // The drawing and file panes: changed fields and files shown there too.
  TfrmCADFiles* CadFiles = nullptr;
  TfrmFiles* Files = nullptr;
  // Brings a pane (Info or CadFiles) into sight in place of the others.
  std::function<void(QWidget* pane)> ShowPane;
};

class TCompareView : public QObject {
  Q_OBJECT
 public:
  // Adds the commands to the main window's ファイル menu and toolbar and the
  // legend to its status bar.
  explicit TCompareView(TCompareHost host);
  ~TCompareView() override;

  // Where the change list is saved: true with the chosen path (tests set
  // it; empty: the save dialog).
  static inline std::function<bool(QWidget*, const QString& caption, const QString& suggested,
                                   const QString& filter, QString& chosen)>
      AskSavePath;

  // 比較: asks for the earlier delivery's folder, then compares.
  void CompareClick();
  // Compares the delivery loaded with the earlier delivery in `folders`
  // (the first its folder, the others its further media): the loaded
  // delivery's records are taken now; the earlier delivery is read and the
  // two compared on a worker, while the legend tells how far it is; the tree
  // is marked when it is done. End (and so any load) stops the worker at
  // its next step and drops its result, without waiting for it.
  void CompareWith(const QStringList& folders);
  // Called on the worker as it starts (tests hold it there).
  static inline std::function<void()> WorkerStarts;
  // Ends the compare: no marks, every item shown, the panes as before.
  void End();
  // True while the worker compares; Comparing while the marks show.
  bool Running() const { return running_; }
  bool Comparing() const { return comparing_; }
  const std::vector<TChange>& Changes() const { return changes_; }
  // The earlier delivery's folders (with the further media beside the
  // first that the loader would add as the same delivery's).
  const QStringList& OldFolders() const { return oldFolders_; }

  // The mark of an item (TCompareMark).
  int Mark(const TTreeItem* item) const;
  // The earlier value of a changed field of `item` (null: INDEX_C.XML).
  bool OldValue(const TTreeItem* item, const std::string& field, std::string& old) const;

  // Commands, by their names.
  QAction* miCompare = nullptr;
  QAction* miCompareEnd = nullptr;
  QAction* miCompareChangedOnly = nullptr;
  QMenu* miCompareResult = nullptr;
  QAction* miComparePrint = nullptr;
  QAction* miCompareCsv = nullptr;
  QAction* miComparePdf = nullptr;
  QAction* miCompareFiles = nullptr;
  QLabel* lblCompareLegend = nullptr;
  // 新旧を並べて表示: the earlier and the present file of the changed file
  // selected, side by side in one window (dlgCompareFiles, one per main
  // window), each in a preview (pvwOld, pvwNew) under its path.
  QPointer<QDialog> dlgCompareFiles;
  void CompareFilesClick();
  // When `item` is the greyed item of a removed record: shows the earlier
  // delivery's record in its pane (the item pane, or the drawing pane for a
  // drawing) marked as removed, and returns true; false for any other item.
  bool ShowRemoved(const TTreeItem* item);

  // The changed file the tree's selected item shows (null for none).
  const TChange* SelectedFileChange() const;
  // The change of the file an item shows, when its content changed (null
  // for none).
  const TChange* FileChangeOf(const TTreeItem* item) const;

 private:
  void Finished(std::vector<TChange> changes, int generation, std::shared_ptr<const TComparedDelivery> older,
                std::shared_ptr<const TComparedDelivery> newer);
  void ShowProgress();
  void MarkTree();
  void ApplyFilter();
  void UpdateCommands();
  void UpdateLegend();
  void RefreshPanes();
  void PrintClick();
  void ExportClick(bool pdf);
  // True (and says so) when `path` lies in either delivery.
  bool SaveRefused(const QString& path) const;
  std::vector<TReportPage> ReportPages() const;

  TCompareHost main_;
  // The worker's shared state while one runs, and the timer that shows its
  // progress.
  std::shared_ptr<TCompareRun> run_;
  QTimer* progressTimer_ = nullptr;
  QPointer<TKKTTreeModel> treeModel_;
  bool running_ = false;
  bool comparing_ = false;
  // Raised by every start and end: a worker's result of an older round is
  // dropped.
  int generation_ = 0;
  QStringList oldFolders_;
  QString newFolders_;
  // Both deliveries' media folders: the change list is never saved there.
  QStringList deliveryFolders_;
  std::string kojiName_, kojiNo_;
  std::vector<TChange> changes_;
  std::unordered_map<const TTreeItem*, int> marks_;
  // The marked items and their ancestors: what "変更のみ表示" leaves.
  std::unordered_set<const TTreeItem*> shown_;
  // The greyed items of removed records, added to the tree for the compare
  // (where they stood: after the record they followed in the earlier
  // delivery) and taken out when it ends; each one's change.
  std::vector<TTreeItem*> removedItems_;
  std::unordered_map<const TTreeItem*, std::size_t> removedChange_;
  // The earlier delivery, and its records' value tables for the item pane
  // (made when a removed record is first shown).
  std::shared_ptr<const TComparedDelivery> older_;
  std::unique_ptr<DeliveryStore> oldStore_;
  std::unique_ptr<TFieldTables> oldTables_;
  void AddRemovedItems();
  void DropRemovedItems();
};

}  // namespace dlvr
