// The panes beside the tree: each shows one kind of tree item.
#pragma once

#include <QWidget>

#include "check/viewer_model.h"

namespace dlvr {

class TExtGrid3;
class TCellSizeControl;

// The field grid of the information panes: six columns (label, hidden
// explanation, need mark, value, representation, length) in "ＭＳ ゴシック"
// 12 px, one fixed header row, vertical scroll bar only.
TExtGrid3* MakeFieldGrid(QWidget* parent, int rows);
// Its cell sizes: column widths in characters (the label and representation
// columns as given) and the header texts.
TCellSizeControl* MakeFieldSizes(QObject* owner, const char* name, TExtGrid3* grid, int labelChars, int maskChars);

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
