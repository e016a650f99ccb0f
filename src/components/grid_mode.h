// The look of the panes' grids in the viewer mode of the shell.
#pragma once

namespace dlvr {

class TExtGrid3;

// Viewer mode (the shell always runs in it): no in-place editing, no
// always-shown editor, and the selection of an unfocused grid drawn in the
// window colours (window background, window text), so that it does not show.
// Otherwise both editing options are added and the unfocused selection is
// drawn in the highlight colours.
void ApplyGridMode(TExtGrid3& grid, bool viewerMode = true);

}  // namespace dlvr
