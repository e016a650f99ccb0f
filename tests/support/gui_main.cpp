// The main of the widget tests: a QApplication on the offscreen platform
// (unless another is asked for), the Japanese font substitutions, and the
// settings and user data kept in scratch folders so that no test touches the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "components/drawing_canvas.h"
#include "components/pdf_facts.h"
#include "i18n/ui_language.h"
#include "support/dark_palette.h"

int main(int argc, char** argv) {
  // The PDF-facts worker is this program started again.
  if (const int worker = dlvr::RunPdfFactsWorkerIfAsked(argc, argv); worker >= 0) return worker;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir settingsDir;
  qputenv("XDG_CONFIG_HOME", settingsDir.path().toUtf8());
  QTemporaryDir dataDir;  // the user's data folder (search history)
  qputenv("XDG_DATA_HOME", dataDir.path().toUtf8());
  QApplication app(argc, argv);
  dlvr::InstallFontSubstitutions();
  // DLVR_TEST_DARK=1: the Fusion style with a dark palette, as a dark desktop
  // theme gives it, to look at (and test) the windows in dark colours.
  if (qEnvironmentVariableIntValue("DLVR_TEST_DARK") == 1) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dlvr::test::DarkPalette());
  }
  // DLVR_TEST_ENGLISH=1: the windows in English, to look at their screenshots
  // (the tests that compare Japanese texts then fail).
  if (qEnvironmentVariableIntValue("DLVR_TEST_ENGLISH") == 1) dlvr::InstallUiTranslations(dlvr::UiLanguage::English);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
