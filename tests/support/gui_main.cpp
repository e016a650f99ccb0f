// The main of the widget tests: a QApplication on the offscreen platform
// (unless another is asked for), the Japanese font substitutions, and the
// settings and user data kept in scratch folders so that no test touches the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "components/drawing_canvas.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir settingsDir;
  qputenv("XDG_CONFIG_HOME", settingsDir.path().toUtf8());
  QTemporaryDir dataDir;  // the user's data folder (search history)
  qputenv("XDG_DATA_HOME", dataDir.path().toUtf8());
  QApplication app(argc, argv);
  dlvr::InstallFontSubstitutions();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
