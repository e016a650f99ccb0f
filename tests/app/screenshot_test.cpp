// Screenshots for a person to look at: written only when DLVR_SCREENSHOT_DIR
// names a folder (the test asserts nothing else).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QMenu>
#include <QTest>

#include "app/main_window.h"
#include "panes/seldir.h"
#include "platform/drive.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

TEST(Screenshots, MainWindowPanesMenuAndFolderDialog) {
  QString dir = qEnvironmentVariable("DLVR_SCREENSHOT_DIR");
  if (dir.isEmpty()) GTEST_SKIP() << "set DLVR_SCREENSHOT_DIR to write screenshots";
  QDir().mkpath(dir);
  {
    QString app = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", app);
    s.setValue("frmMain/LeftWidth", 300);
  }
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  test::ScriptedPrompts prompts;
  prompts.Fallback = DialogAnswer::Ok;
  for (const char* sample : {"clean", "errors"}) {
    TfrmMain w(QString::fromStdString(test::SamplePath(sample)));
    w.resize(1100, 720);
    w.show();
    w.FirstLoad();
    QTest::qWait(50);
    EXPECT_TRUE(w.grab().save(dir + "/" + sample + "_construction.png"));
    TTreeItem* meet = w.Model().View.Tree().Root()->Item(1);
    w.Tree()->expandAll();
    w.SelectItem(meet->Item(3));
    QTest::qWait(50);
    EXPECT_TRUE(w.grab().save(dir + "/" + sample + "_meeting.png"));
    QMenu* menu = w.PrepareTreeMenu();
    menu->popup(w.mapToGlobal(QPoint(100, 200)));
    QTest::qWait(50);
    EXPECT_TRUE(menu->grab().save(dir + "/" + sample + "_context_menu.png"));
    menu->hide();
  }
  TfrmSelDir dialog(nullptr);
  dialog.SetInitialPath(QString::fromStdString(test::SamplePath("clean")));
  dialog.show();
  QTest::qWait(50);
  EXPECT_TRUE(dialog.grab().save(dir + "/folder_dialog.png"));
  SetDriveTypeOverride(nullptr);
}

}  // namespace
}  // namespace dlvr
