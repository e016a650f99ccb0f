// The two searches through the document tree, both modeless and kept on top:
//   TfrmFindOrg  "オリジナルファイル内容": the content descriptions of
//                original files and the names of drawings, optionally within
//                one class and, for meetings, a meeting kind and management
//                class; the search text keeps a history of ten entries;
//   TfrmSrcTree  "登録ファイル": the names shown in the tree and the content
//                descriptions, with match case and direction.
// Both walk the tree in display order from the selected item and select the
// first match in the main window's tree. TfrmFindOrg searches onwards on
// Enter in its search text, names the item found under its fields with the
// matching text marked (lblFound), and opens beside the main window's panes
// rather than over its preview.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace dlvr {

class TFormControl;
class TMovComboBox;
class TMovComboAddHist;
class TTreeItem;
class TViewerModel;

// What the find windows need of the main window they search for.
class TFindHost {
 public:
  virtual TViewerModel& Model() = 0;
  virtual TTreeItem* SelectedItem() const = 0;
  // Selects an item of the tree (and so shows its pane).
  virtual void SelectItem(TTreeItem* item) = 0;
  // The main window itself: the find windows' owner, placed beside it.
  virtual QWidget* FindOwner() = 0;
  // The pane area at the right of the tree (null when there is none).
  virtual QWidget* PaneArea() const = 0;
  // How the tree names files: by their file names, by their managed names
  // (neither: by their contents' names).
  virtual bool TreeShowsFileNames() const = 0;
  virtual bool TreeShowsManagedNames() const = 0;

 protected:
  ~TFindHost() = default;
};

// Where a tool window of `size` goes beside a main window (`owner`, its
// frame) so as not to cover its panes (`panes`) or at least not its preview
// (`preview`), inside the screen's area `screen`: right of the window, below,
// left, above, then over its tree beside the panes; failing all, wherever
// least of the preview is covered. All in global coordinates.
QPoint PlaceBeside(const QRect& owner, const QRect& panes, const QRect& preview, const QSize& size,
                   const QRect& screen);

// The folder of the search history: the program's folder when it can be
// written, otherwise the user's data folder of this program.
QString FindHistoryFolder();

class TfrmFindOrg : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmFindOrg(TFindHost& main);
  ~TfrmFindOrg() override;

  // Preselects the class of `item` and shows the window.
  void ShowFor(TTreeItem* item);
  // Searches backwards or forwards from the selected item; true when an
  // item was found and selected.
  bool Search(bool forward);
  // Names the classes in the tree's language again, keeping the choice.
  void RebuildClasses();

  QLabel* lblFindTxt = nullptr;
  TMovComboAddHist* cbxFindTxt = nullptr;
  QGroupBox* grpFind = nullptr;
  QLabel *lblFind1 = nullptr, *lblFind2 = nullptr, *lblFind3 = nullptr;
  TMovComboBox *cbxFind1 = nullptr, *cbxFind2 = nullptr, *cbxFind3 = nullptr;
  QPushButton *bbtFront = nullptr, *bbtNext = nullptr, *bbtCancel = nullptr;
  // The item found last: its caption and the text searched, the match marked.
  QLabel* lblFound = nullptr;
  TFormControl* FrmCtrl = nullptr;

 protected:
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // Moves the window beside the main window's panes when it covers the
  // preview (or, without one, the panes).
  void PlaceBesidePanes();
  // The text of `item` the search compares: a drawing's name, else the
  // original file's content.
  QString MatchedText(TTreeItem* item) const;
  void ClassChanged();
  void TextChanged();
  bool Matches(TTreeItem* item) const;

  TFindHost& main_;
};

class TfrmSrcTree : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSrcTree(TFindHost& main);

  // Searches in the chosen direction from the selected item; true when an
  // item was found and selected.
  bool btnSrcClick();

  QLabel *lblSrc = nullptr, *lblHint = nullptr;
  QLineEdit* edtSrc = nullptr;
  QPushButton *btnSrc = nullptr, *btnCancel = nullptr;
  QCheckBox* chkMatchCase = nullptr;
  QGroupBox* rgpDirection = nullptr;
  QRadioButton *rbtUp = nullptr, *rbtDown = nullptr;
  TFormControl* FrmCtrl = nullptr;

 private:
  bool Matches(TTreeItem* item, const QString& text) const;

  TFindHost& main_;
};

}  // namespace dlvr
