// The main of the widget tests: a QApplication on the offscreen platform
// (unless another is asked for), the Japanese font substitutions, and the
// settings and user data kept in scratch folders so that no test touches the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
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
  // DLVR_TEST_DARK=1: the Fusion style with a dark palette, as a dark desktop
  // theme gives it, to look at (and test) the windows in dark colours.
  if (qEnvironmentVariableIntValue("DLVR_TEST_DARK") == 1) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p;
    const QColor window(0x2d, 0x2d, 0x30), base(0x1e, 0x1e, 0x1e), text(0xe6, 0xe6, 0xe6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x28));
    p.setColor(QPalette::ToolTipBase, QColor(0x3c, 0x3c, 0x3c));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Link, QColor(0x5a, 0xa0, 0xf0));
    p.setColor(QPalette::Highlight, QColor(0x26, 0x4f, 0x78));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::Mid, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    QApplication::setPalette(p);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
