// The panes beside the tree: each shows one kind of tree item.
#pragma once

#include <QString>
#include <QWidget>

#include <string>

#include "check/viewer_model.h"

class QComboBox;
class QFrame;

namespace dlvr {

class TExtGrid3;
class TCellSizeControl;
class TPreviewView;
struct TCellAtr;

// The field grid of the information panes: six columns (label, hidden
// explanation, need mark, value, representation, length) in "ＭＳ ゴシック"
// 12 px, one fixed header row, vertical scroll bar only.
TExtGrid3* MakeFieldGrid(QWidget* parent, int rows);
// Its cell sizes: column widths in characters (the label and representation
// columns as given) and the header texts.
TCellSizeControl* MakeFieldSizes(QObject* owner, const char* name, TExtGrid3* grid, int labelChars, int maskChars);
// The attributes of a field grid's cells outside the value column: the header
// centred, labels and marks in the label colour, representation and length
// greyed, the mark of an empty required (◎) or conditional (○) value in red
// or blue. False for a value cell (column 3), which is left to the pane.
bool FieldCellAtr(const TExtGrid3& grid, int col, int row, TCellAtr& atr);
// Sizes the value column (column 3) of a field grid whose vertical scroll bar
// is always shown: it takes what the other columns leave of the grid's client
// area, its own grid line included, so that the columns end exactly at the
// scroll bar. `gridWidth` is the grid's outer width (the pane's width); the
// client area is that less the grid's frame and the scroll bar. A hidden
// column takes no room, not even its grid line. Returns the characters per
// line the column holds: the most "0"s narrower than its width less 3, at
// least 15 and at most 255.
int FitValueColumn(TExtGrid3& grid, int gridWidth);
// A field's representation as the grid shows it (全角文字, 半角英数字,
// 半角数字), in the user's language; anything else as it stands. The
// Japanese text stays what lengths are reckoned by.
QString ShownMask(const QString& mask);
// A caption of the definition tables (a field's name or explanation) as
// shown, in the user's language.
QString ShownFieldCaption(const std::string& caption);
// The hidden editors beside a field grid: `cbxSoftware` (127 characters) and `pnlShadow`.
void MakeHiddenEditors(QWidget* parent, QComboBox*& cbxSoftware, QFrame*& pnlShadow);
// The preview area `Panel1` holding the preview view `webBrowser` and, in
// its place while an item's file cannot be shown, the note `lblMissingFile`.
TPreviewView* MakePreviewPanel(QWidget* parent, QFrame*& panel);

class TPane : public QWidget {
  Q_OBJECT
 public:
  TPane(TViewerModel& model, QWidget* parent = nullptr) : QWidget(parent), model_(model) {}
  // Shows the item (null: nothing).
  virtual void ShowNode(TTreeItem* item) { current_ = item; }
  // Re-reads what is shown (after a load).
  virtual void Refresh() {}
  TTreeItem* CurrentNode() const { return current_; }

 protected:
  TViewerModel& model_;
  TTreeItem* current_ = nullptr;
};

// The files, CAD files and XML panes.
class TfrmFiles;     // panes/files_pane.h
class TfrmXML;       // panes/xml_pane.h
class TfrmCADFiles;  // panes/cad_files_pane.h

}  // namespace dlvr
