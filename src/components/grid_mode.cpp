#include "components/grid_mode.h"

#include <QPalette>

#include "components/ext_grid.h"

namespace dlvr {

void ApplyGridMode(TExtGrid3& grid, bool viewerMode) {
  TGridOptions options = grid.Options();
  options.setFlag(goEditing, !viewerMode);
  options.setFlag(goAlwaysShowEditor, !viewerMode);
  grid.SetOptions(options);
  const QPalette pal = grid.palette();
  if (viewerMode) {
    grid.SetSelClrNFcsB(pal.color(QPalette::Base));
    grid.SetSelClrNFcsF(pal.color(QPalette::Text));
  } else {
    grid.SetSelClrNFcsB(pal.color(QPalette::Highlight));
    grid.SetSelClrNFcsF(pal.color(QPalette::HighlightedText));
  }
}

}  // namespace dlvr
