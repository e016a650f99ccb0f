#include "panes/pane.h"

namespace dlvr {

TfrmCADFiles::TfrmCADFiles(TViewerModel& model, QWidget* parent) : TPane(model, parent) {
  setObjectName("frmCADFiles");
}

}  // namespace dlvr
