// TfrmSelDir: the modal dialog in which the user picks the delivery folder,
// the folder that holds INDEX_C.XML.
//
// Controls (object names): the tool panel pnlTool with btnOK "決定",
// btnCancel "ｷｬﾝｾﾙ" and bbtFind "検索"; EdtDir, the selected folder's path,
// shortened from the front while it has no focus; fvlSelDir, the folder tree;
// StatusBar1 with the path length rule.
//
// A path typed or pasted into EdtDir (also quoted, as a file: URL, from "~",
// or naming a file, which stands for its folder) is gone to with Enter or
// "決定": the tree selects it and, when it is a delivery folder, the dialog
// decides on it as for a folder chosen in the tree. A folder that does not
// exist is refused with the same warning as one that cannot be accessed.
//
// "決定" is enabled only while the selected folder holds INDEX_C.XML (any
// ASCII case) and its path is at most PathLimit() characters long. "検索",
// enabled on an existing folder, runs the file search window (TfrmFindFiles)
// from the folder's parent for INDEX_C.XML and selects the folder of the file
// the user picks; SetFindHandler / SetDefaultFindHandler put another search
// in its place, an empty one keeps the button disabled.
//
// Under the path, lblSiblings names the other media of the chosen folder's
// delivery found in the folders beside it ("同じ工事の媒体: CD2（メディア番号
// 2）、…"); it is hidden when there are none.
//
// The dialog opens where it was last closed (its placement is kept by the
// form control fclDiSel), centred on the screen the first time.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

#include "panes/short_path.h"

class QFontMetrics;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolButton;

namespace dlvr {

class TFolderViewLT;

// The number of characters of a path as the length rule counts them (a
// character outside the basic plane counts once).
int PathCharCount(const QString& path);

class TfrmSelDir : public QDialog {
  Q_OBJECT

 public:
  // A file search below `folder` for files named `pattern`; returns true and
  // the chosen file's full path when the user picked one.
  using FindHandler =
      std::function<bool(QWidget* owner, const QString& folder, const QString& pattern, QString& chosenFile)>;

  explicit TfrmSelDir(QWidget* parent = nullptr);
  ~TfrmSelDir() override;

  // Shows the dialog modally on `initialFolder` (the user's documents folder
  // when that folder does not exist). Returns true when the user decided on
  // a folder; `chosen` then holds it with a trailing '/'.
  static bool Execute(QWidget* parent, const QString& initialFolder, QString& chosen);

  // The folder to open on; set before the dialog is shown.
  void SetInitialPath(const QString& path) { path_ = path; }
  // After "決定": the chosen folder with a trailing '/'.
  QString Path() const { return path_; }
  bool Confirmed() const { return confirmed_; }

  // Folders with longer paths cannot be chosen; below 1 there is no limit.
  int PathLimit() const { return pathLimit_; }
  void SetPathLimit(int limit);

  // The file search "検索" runs. Dialogs start with the default handler
  // (the file search window unless SetDefaultFindHandler replaced it); an
  // empty handler keeps the button disabled.
  void SetFindHandler(FindHandler handler);
  static void SetDefaultFindHandler(FindHandler handler);

  TFolderViewLT* FolderView() const { return fvlSelDir_; }
  QLabel* SiblingLabel() const { return lblSiblings_; }

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  void UpdateButtons();
  // The path typed into EdtDir, absolute and clean; "" when none is typed.
  QString TypedPath() const;
  // Selects the typed path in the tree; false (after a warning) when it
  // is no folder. True when nothing is typed.
  bool GoToTypedPath();
  void ShowPath();
  void ShowSiblingMedia();
  void fvlSelDirChangePath(const QString& path);
  void btnOKClick();
  void bbtFindClick();

  QWidget* pnlTool_ = nullptr;
  QToolButton* btnOK_ = nullptr;
  QToolButton* btnCancel_ = nullptr;
  QToolButton* bbtFind_ = nullptr;
  QLineEdit* EdtDir_ = nullptr;
  QLabel* lblSiblings_ = nullptr;
  TFolderViewLT* fvlSelDir_ = nullptr;
  QStatusBar* StatusBar1_ = nullptr;
  QLabel* lblStatus_ = nullptr;

  QString path_;
  bool confirmed_ = false;
  int pathLimit_ = 240;
  FindHandler findHandler_;
};

}  // namespace dlvr
