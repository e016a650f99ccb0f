// The files pane: the two management fields of an original file above a
// preview of the file itself, shown from a temporary copy.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLabel>

#include <functional>
#include <string>

#include "components/cell_size_control.h"
#include "components/ext_grid.h"
#include "components/preview_view.h"
#include "panes/info_panes.h"
#include "panes/pane.h"

namespace dlvr {

class TMdlTreeView;

// Preview helpers of the tree model: a temporary copy of the item's file
// shown in the view, waiting (pumping events) until the view is done.
namespace preview {

// How long a preview may take before the caller gets control back.
inline constexpr int kPreviewWaitMs = 5000;

// Shows the busy cursor until it goes, also when the work in between
// fails. The window stays enabled (the focus stays where it is).
class TBusyWindow {
 public:
  explicit TBusyWindow(QWidget* w);
  ~TBusyWindow();
  TBusyWindow(const TBusyWindow&) = delete;
  TBusyWindow& operator=(const TBusyWindow&) = delete;
};

// A new temporary file name with the given extension ("" gives ".tmp"); the
// file exists, empty, when the call returns. "" on failure.
std::string TempFileName(const std::string& ext);

// The longest any wait for a view holds the user's input back.
inline constexpr int kMaxWaitMs = 100;

// Waits while the view is busy, processing events other than the user's
// input, for at most `ms` and never longer than kMaxWaitMs. Returns true
// when the view finished in time.
bool WaitForView(TPreviewView& view, int ms);

// Shows the item's file in the view from a fresh temporary copy; earlier
// copies listed in model.TempFiles are removed first. A missing file hides
// the container instead (with the relink warning when the item gives neither
// path nor name). Returns true when the file was shown.
bool Preview(TMdlTreeView& model, const TTreeItem* item, QWidget* container, TPreviewView& view);

// Shows a file as it is (no copy); a missing file hides the container.
bool ShowPage(const std::string& path, QWidget* container, TPreviewView& view);

// What the preview area of a pane says in place of an item's file that is
// not there: why (the messages of a missing file), its name, the folder it
// was looked for in, and the medium that would hold it. "" when the item's
// file is there (or the item is no file).
QString MissingFileNote(const TMdlTreeView& model, const TTreeItem* item);

// Shows `note` in the container (a preview panel) in place of its preview,
// or, for "", the preview again. The keyboard focus stays where it is.
void ShowMissingNote(QWidget* container, const QString& note);

}  // namespace preview

// While the delivery is compared with an earlier one: the earlier and the
// present file (full paths) of an item whose file's content changed; false
// for any other item.
using TChangedFileFn = std::function<bool(const TTreeItem* item, std::string& oldFile, std::string& newFile)>;

// The line over a pane's preview (object name lblCompareFile) that tells how
// the item's changed file differs from the earlier one: its size and time of
// change as "old → new". Hidden while there is no change to tell.
QLabel* MakeCompareFileNote(QWidget* parent);
void ShowCompareFileNote(QLabel* note, const TChangedFileFn& changedFileOf, const TTreeItem* item);

class TfrmFiles : public TPane {
  Q_OBJECT
 public:
  explicit TfrmFiles(TViewerModel& model, QWidget* parent = nullptr);
  void ShowNode(TTreeItem* item) override;

  QFrame* pnlT = nullptr;
  TExtGrid3* Grid = nullptr;
  QComboBox* cbxSoftware = nullptr;
  QFrame* pnlShadow = nullptr;
  QFrame* Panel1 = nullptr;
  TPreviewView* webBrowser = nullptr;
  TCellSizeControl* cscFile = nullptr;
  QLabel* lblCompareFile = nullptr;

  // While the delivery is compared: the original file's two fields show a
  // change as "old → new" (asked of the record item, as the comparison
  // names them: "オリジナルファイル情報[1] / オリジナルファイル内容"), and a
  // changed file's size and time over the preview.
  TOldValueFn OldValueOf;
  TChangedFileFn ChangedFileOf;

  // Lines of the value column per data row (index row - 1).
  int RowLines[2] = {1, 1};
  int LineChars() const { return lineChars_; }
  bool Navigated() const { return navigated_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  // Widths, line counts and heights of the field grid for the pane's width.
  void pnlTResize();
  void SetCellAtr(int col, int row, TCellAtr& atr);
  int RowBytes(int row) const;

  bool firstShow_ = true;
  bool navigated_ = false;
  int lineChars_ = 15;
};

}  // namespace dlvr
