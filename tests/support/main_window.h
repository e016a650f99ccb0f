// The main window in app-level tests: shown at a size and loaded as at a
// start of the program.
#pragma once

#include <QString>

#include <memory>

#include "app/main_window.h"
#include "support/qt_paths.h"

namespace dlvr::test {

// Resizes and shows `w`, then loads the delivery it was made on.
inline void ShowLoaded(TfrmMain& w, int width, int height) {
  w.resize(width, height);
  w.show();
  w.FirstLoad();
}

// The main window on `folder`, shown at `width` x `height` and loaded.
inline std::unique_ptr<TfrmMain> OpenMainWindow(const QString& folder, int width, int height) {
  auto w = std::make_unique<TfrmMain>(folder);
  ShowLoaded(*w, width, height);
  return w;
}

}  // namespace dlvr::test
