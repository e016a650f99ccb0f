// The main window: the document tree at the left, the pane of the selected
// item at the right, the commands in menus and the toolbar.
#pragma once

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <cstddef>
#include <functional>
#include <memory>

#include "app/find_windows.h"
#include "app/kkt_tree_model.h"
#include "check/finding_target.h"
#include "check/viewer_model.h"
#include "panes/pane.h"

namespace dlvr {

class TfrmKojInfo;
class TfrmInfo;
class TfrmPhotoView;

// Windows that come with other parts of the program, reached through hooks
// that the program's entry (or a test) sets.
struct TfrmMainHooks {
  // The folder selection dialog: true with the chosen folder when decided.
  static inline std::function<bool(QWidget*, const QString&, QString&)> SelectFolder;
  // The error list window after a data check.
  static inline std::function<void(QWidget*, TMdlTreeView&)> ShowErrors;
  // Told on the delivery check's worker each time the check reports how far
  // it has come, before the window's stop request is looked at (tests).
  static inline std::function<void(std::size_t done, std::size_t total)> DeliveryCheckProgress;
  // Starts the program anew with `arguments` (detached); true when it was
  // started. Empty: QProcess::startDetached.
  static inline std::function<bool(const QString& program, const QStringList& arguments)> StartProgram;
};

class TfrmMain : public QMainWindow, public TFindHost {
  Q_OBJECT
 public:
  // `startFolder`: the folder named on the command line ("" for none).
  explicit TfrmMain(const QString& startFolder = QString(), QWidget* parent = nullptr);
  // Folders loaded after the start folder, as further media of its delivery
  // (another delivery's folder replaces it, as a folder chosen later would).
  void SetFurtherFolders(const QStringList& folders) { furtherFolders_ = folders; }
  ~TfrmMain() override;

  TViewerModel& Model() override { return *model_; }
  QTreeView* Tree() const { return tvwKKT; }
  TKKTTreeModel* TreeModel() const { return treeModel_; }

  // Loads a delivery folder and refreshes the window (the folder dialog, a
  // drop, the refresh command and the first paint all come here); the root
  // is selected.
  void LoadMedia(const QString& folder);
  // True (once per change) when the loaded INDEX_C.XML changed since loading.
  bool CheckMediaChanged();
  void UpdatePhotoCommand();
  // Shows one pane of the pane area (null: none).
  void ShowPane(QWidget* panel);
  QWidget* VisiblePane() const { return visiblePane_; }
  // Selects a tree item (and so shows its pane).
  void SelectItem(TTreeItem* item) override;
  TTreeItem* SelectedItem() const override;
  // For the find windows: the window they belong to, its pane area, and
  // how its tree names files.
  QWidget* FindOwner() override { return this; }
  QWidget* PaneArea() const override { return pnlBase; }
  bool TreeShowsFileNames() const override { return miViewFileName->isChecked(); }
  bool TreeShowsManagedNames() const override { return miViewFileManage->isChecked(); }
  // Runs the first load now instead of at the first paint (tests).
  void FirstLoad();
  // The tree's context menu as it would pop up for the selected item.
  QMenu* PrepareTreeMenu();

  // Set when the photo viewer program was found at the last load. Without
  // it, the photo command opens the viewer's own photo window.
  bool PhotoViewerPresent = false;
  // The photo window (one per main window; it goes when it is closed), and
  // what opens it or brings it to the front: only when a medium that can
  // still be reached holds the photo management file, else the media that
  // hold one are named.
  QPointer<TfrmPhotoView> frmPhotoView;
  void OpenPhotoView();
  // Shows the item of a finding of the error list or the delivery check
  // (the record, the file, the drawing; a photo in the photo window too);
  // where the tree has none, the nearest item, and the status bar says so.
  void ShowFinding(const TFindingRef& finding);
  // The photo viewer started from this window (its process id, 0 for none),
  // and the timer that keeps the window from closing until it has come up.
  qint64 ViewerProcess = 0;
  QTimer* CloseTimer = nullptr;
  void miProgXMLViewerClick();
  void CloseTimerTimer();
  // The drop action recorded by the last drop of files on a class or
  // record item (0 a left drop, the chosen menu item's tag after a right
  // drop: 1 copy, 3 link, 4 cancel), -1 before any; and the dropped paths,
  // kept while the right-drop menu is open.
  int DropAction = -1;
  QStringList DroppedPaths;
  // Tree hints come this long after the mouse rests on an item.
  static constexpr int kHintDelayMs = 100;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateLayout();
  void ApplyViewerMode();
  void ReadSettings();
  void WriteSettings();
  void SetCaption();
  void tvwKKTChange(TTreeItem* item);
  void UpdatePrevNext();
  void miViewLangSubClick(int lang);
  // The language of the program's texts (0 automatic, 1 Japanese, 2
  // English): stored for the next start; the user may restart now.
  void miViewUiLanguageClick(int choice);
  // Starts the program anew on the media loaded now and closes this window;
  // false (nothing started) while a check or the photo viewer's start runs.
  bool Restart();
  void miViewFileNameClick(int mode);
  void miFileSelFldClick();
  void miViewRefreshClick();
  void miFileCheckClick();
  // The full delivery check on a worker, then its findings window. After a
  // moment a progress dialog (dlgDeliveryCheckProgress) shows, modal, whose
  // "中止" stops the check: the findings made so far are shown as such.
  void miFileDeliveryCheckClick();
  void UpdateDeliveryCheckCommand();
  // The commands that work on the delivery open (データチェック, 電子納品チェック,
  // エクスプローラ): enabled only while one is.
  void UpdateDeliveryCommands();
  void miEditPrevClick(bool next);
  void SortClick(int cls, int mode);
  void UpdateSortMenus();
  void miHelpAboutClick();
  void UpdateFindMenu();
  // Ctrl+F: the XML find dialog over a class's management file shown as
  // source, otherwise the original-file content search.
  void FindHere();
  // What the tree shows beyond its items: the expanded items and the
  // selected one by their paths from the root, and the scroll position.
  struct TTreeState {
    std::vector<std::vector<TMdlTreeView::TPathStep>> Expanded;
    std::vector<TMdlTreeView::TPathStep> Selected;
    int Scroll = 0;
  };
  TTreeState SaveTreeState() const;
  // Expands the saved items that exist in the tree just loaded (and only
  // them); returns the item to select: the saved one (`sameSelection` set),
  // else its nearest ancestor that exists, else the root.
  TTreeItem* RestoreExpansion(const TTreeState& state, bool& sameSelection);
  // LoadMedia; with `keep`, the tree's expansion, selection and scroll
  // position come back where the items still exist.
  void LoadMedia(const QString& folder, const TTreeState* keep);
  // Loads the folders one after another (a further medium of the delivery
  // loaded is added to it), then refreshes the window once.
  void LoadMedia(const QStringList& folders, const TTreeState* keep);
  // After a delivery was opened from `folder`: when media of it are still
  // missing and folders beside `folder` hold them, asks once whether to load
  // them all, and on "はい" loads them as further media.
  void OfferSiblingMedia(const QString& folder);
  // Shows the XML find dialog with its saved state / hides it saving it.
  void ShowFindDialog();
  void HideFindDialog();
  void miProgExplorerClick();
  int FileNameModeTag() const;
  QAction* Act(const char* name, const QString& caption);
  qint64 IndexFileAge() const;
  bool DropAcceptable(const class QMimeData* mime, QString* indexFile) const;
  // The class or record item at `pos` of the tree's viewport that shell
  // files can be dropped on, or null.
  TTreeItem* DropItemAt(const QPoint& pos) const;
  void SetDropTarget(TTreeItem* item);
  // Ends a drop on an item: records `action`, releases the paths, removes
  // the highlight and selects the selected item anew.
  void FinishItemDrop(int action);
  void ShowTreeHint();
  // Without a delivery: the tree stays empty and the pane area says how to
  // choose one.
  void ShowStartHint();

  std::unique_ptr<TViewerModel> model_;
  TDesktopIcons icons_;
  TKKTTreeModel* treeModel_ = nullptr;
  QString startFolder_;
  QStringList furtherFolders_;
  bool firstPaintPending_ = true;
  int leftWidth_ = 225;
  bool shownOnce_ = false;
  bool loading_ = false;
  bool deliveryCheckRunning_ = false;
  qint64 indexFileAge_ = -2;
  QWidget* visiblePane_ = nullptr;
  TTreeItem* popupNode_ = nullptr;
  TTreeItem* hintNode_ = nullptr;
  QPoint hintPos_;

 public:
  // Controls, by their names.
  QTreeView* tvwKKT = nullptr;
  QSplitter* Splitter = nullptr;
  QWidget* pnlLeft = nullptr;
  QWidget* pnlBase = nullptr;
  QWidget* pnlKojInfo = nullptr;
  QWidget* pnlNodes = nullptr;
  QWidget* pnlFiles = nullptr;
  QWidget* pnlCADFiles = nullptr;
  QWidget* pnlXML = nullptr;
  QWidget* pnlDCViewer = nullptr;
  // The pane area's page when no delivery is open.
  QWidget* pnlStart = nullptr;
  QLabel* lblStart = nullptr;
  QPushButton* btnStartSelFld = nullptr;
  // The toolbar's logo at its right end.
  QWidget* pnlLogo = nullptr;
  QLabel* imgLogo = nullptr;
  QTimer* HintTimer = nullptr;
  // The compare with an earlier delivery (its commands, marks and legend).
  class TCompareView* CompareView = nullptr;
  // The right-drop menu: move (always hidden), copy, link, cancel.
  QMenu* pmnRDrop = nullptr;
  QAction *miRDropMove = nullptr, *miRDropCopy = nullptr, *miRDropLink = nullptr, *miRDropCancel = nullptr;
  TfrmKojInfo* frmKojInfo = nullptr;
  TfrmInfo* frmInfo = nullptr;
  TfrmFiles* frmFiles = nullptr;
  TfrmCADFiles* frmCADFiles = nullptr;
  TfrmXML* frmXML = nullptr;
  QToolBar* ToolBar = nullptr;
  // The status bar's lasting text (the "media changed" notice).
  QLabel* lblStatus = nullptr;
  QLabel* lblEdition = nullptr;  // the guideline edition of the delivery loaded
  QTimer* Timer = nullptr;
  QMenu *miFile = nullptr, *miEdit = nullptr, *miView = nullptr, *miProg = nullptr, *miHelp = nullptr;
  QMenu *miEditFind = nullptr, *miEditSort = nullptr, *miEditSortMeet = nullptr, *miEditSortPlan = nullptr,
        *miEditSortOthrs = nullptr, *miViewLang = nullptr, *miViewFileNameMenu = nullptr, *miHint = nullptr,
        *miSetting = nullptr;
  // The language of the program's texts, named alike in every language
  // ("Language / 言語"): automatic, Japanese, English.
  QMenu* miViewUiLanguage = nullptr;
  QAction *miViewUiLangAuto = nullptr, *miViewUiLangJa = nullptr, *miViewUiLangEn = nullptr;
  QMenu *ppmTreeView = nullptr, *ppmFind = nullptr, *pmiSort = nullptr, *pmiSortIssue = nullptr,
        *pmiSortAccept = nullptr, *pmiSortFinish = nullptr;
  QAction *miFileSelFld, *miFileBaseInof, *miFileCheck, *miFileDeliveryCheck, *miFileSep5, *miExit;
  QAction *miXMLOutput, *miFileSpl2, *miFilePrn, *miFileLbl, *miFileSpl3, *miFileStyle, *miFileStyle1;
  QAction *miEditPrev, *miEditNext, *miEditFindGene, *miEditFindReg, *miEditFindOrg, *miEditFindXML;
  QAction *miEditNewFolder, *miEditNewNode, *miEditFileAdd, *miEditSp3, *miEditRename, *miEditSp4, *miEditDelete,
      *miEditSp5, *miEditMoveUp, *miEditMoveDown;
  QAction *miViewLangJ, *miViewLangE, *miViewLangJE, *miViewLangEJ;
  QAction *miViewFileName, *miViewFileManage, *miViewFileCont, *miViewFileOrg, *miViewDC, *miViewDelivery;
  QAction *miHintSoft, *miHintCont, *miViewRefresh;
  QAction *miProgExplorer, *miProgXMLViewer, *miProgMail, *miProgQLNDB;
  QAction *miHelpContents, *miHelpKeyWord, *miHelpExplain, *miHelpAbout;
  QAction *pmiSearch, *pmiSpl1, *pmiSortIssueUp, *pmiSortIssueDown, *pmiSortAcceptUp, *pmiSortAcceptDown,
      *pmiSortFinishUp, *pmiSortFinishDown, *pmiSep1, *pmiMeetDef, *pmiPlanUp, *pmiPlanDown, *pmiSep2, *pmiPlanDef,
      *pmiOthrUp, *pmiOthrDown, *pmiSep3, *pmiOthrsDef;
  QAction *piFindGene, *piFindReg, *piFindOrg, *piFindXML;
  // Ctrl+F, in no menu.
  QAction* actFindHere = nullptr;
  QToolButton* tbtFind = nullptr;
  class TFormControl* FMC = nullptr;
  class TFindDialog* dlgFind = nullptr;
  class TfrmFindOrg* frmFindOrg = nullptr;
  class TfrmSrcTree* frmSrcTree = nullptr;
  bool FindShown() const;
  void UpdateFindMenuForTests() { UpdateFindMenu(); }
  // The full-text search (Ctrl+Shift+F): the index built after each load,
  // its progress in the status bar, its window (made when first opened).
  class TFullTextIndex* FullTextIndex = nullptr;
  QLabel* lblFullTextIndex = nullptr;
  QAction* miEditFindFullText = nullptr;
  class TfrmFullTextSearch* frmFullTextSearch = nullptr;

 private:
  bool minimizedWithFind_ = false;
  // The close timer saw the viewer come up (or end): exit is allowed again.
  void ReenableExit();
  void CloseViewer();
  struct SavedFind;
  std::unique_ptr<SavedFind> savedFind_;
};

}  // namespace dlvr
