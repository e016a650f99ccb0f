#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include <filesystem>

#include "app/main_window.h"
#include "components/ext_registry.h"
#include "panes/info_panes.h"
#include "platform/drive.h"
#include "platform/paths.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

QString Sample(const char* name) { return QString::fromStdString(test::SamplePath(name)); }

std::unique_ptr<QSettings> Settings() {
  QString app = TExtRegistry::ProgramName();
  auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", app);
  s->beginGroup("frmMain");
  return s;
}

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
    prompts.Fallback = DialogAnswer::Ok;
  }
  ~MainWindowTest() override { SetDriveTypeOverride(nullptr); }

  std::unique_ptr<TfrmMain> Open(const QString& folder) {
    auto w = std::make_unique<TfrmMain>(folder);
    w->resize(1024, 700);
    w->show();
    w->FirstLoad();
    return w;
  }
  TTreeItem* Class(TfrmMain& w, int i) { return w.Model().View.Tree().Root()->Item(i); }

  test::ScriptedPrompts prompts;
};

TEST_F(MainWindowTest, PanesFollowTheKindAndCategoryOfTheSelection) {
  auto w = Open(Sample("clean"));
  EXPECT_EQ(w->VisiblePane(), w->pnlKojInfo);
  EXPECT_TRUE(w->windowTitle().endsWith("Quillan電子納品ビューア"));
  TTreeItem* meetClass = Class(*w, 1);
  w->SelectItem(meetClass);
  EXPECT_EQ(w->VisiblePane(), w->pnlXML);
  w->SelectItem(meetClass->Item(0));
  EXPECT_EQ(w->VisiblePane(), w->pnlNodes);
  w->SelectItem(meetClass->Item(0)->Item(0));
  EXPECT_EQ(w->VisiblePane(), w->pnlFiles);
  w->SelectItem(Class(*w, 0)->Item(0));  // a drawing
  EXPECT_EQ(w->VisiblePane(), w->pnlCADFiles);
  w->SelectItem(Class(*w, 0)->GetLastChild());  // the special specifications
  EXPECT_EQ(w->VisiblePane(), nullptr);
  w->SelectItem(Class(*w, 0)->GetLastChild()->Item(0));  // an attachment: files pane
  EXPECT_EQ(w->VisiblePane(), w->pnlFiles);
  EXPECT_TRUE(prompts.Shown.empty());
}

TEST_F(MainWindowTest, PreviousAndNextFollowTheWholeTree) {
  auto w = Open(Sample("clean"));
  w->SelectItem(w->Model().View.Tree().Root());
  EXPECT_FALSE(w->miEditPrev->isEnabled());
  EXPECT_TRUE(w->miEditNext->isEnabled());
  w->miEditNext->trigger();
  EXPECT_EQ(w->SelectedItem(), Class(*w, 0));
  std::vector<TTreeItem*> all = w->Model().View.Tree().AllItems();
  w->SelectItem(all.back());
  EXPECT_TRUE(w->miEditPrev->isEnabled());
  EXPECT_FALSE(w->miEditNext->isEnabled());
  w->miEditPrev->trigger();
  EXPECT_EQ(w->SelectedItem(), all[all.size() - 2]);
}

TEST_F(MainWindowTest, ContextMenuShowsTheSortsOfTheCategory) {
  auto w = Open(Sample("clean"));
  w->SelectItem(Class(*w, 2)->Item(0));  // a plan
  w->PrepareTreeMenu();
  EXPECT_TRUE(w->pmiSearch->isVisible());
  EXPECT_TRUE(w->pmiSort->menuAction()->isVisible());
  EXPECT_TRUE(w->pmiPlanUp->isVisible());
  EXPECT_TRUE(w->pmiPlanDef->isVisible());
  EXPECT_FALSE(w->pmiSortIssue->menuAction()->isVisible());
  EXPECT_FALSE(w->pmiOthrUp->isVisible());
  w->SelectItem(w->Model().View.Tree().Root());
  w->PrepareTreeMenu();
  EXPECT_TRUE(w->pmiSearch->isVisible());
  EXPECT_FALSE(w->pmiSort->menuAction()->isVisible());
  w->SelectItem(Class(*w, 1)->Item(2));  // a meeting
  w->PrepareTreeMenu();
  EXPECT_TRUE(w->pmiSortIssue->menuAction()->isVisible());
  EXPECT_TRUE(w->pmiMeetDef->isVisible());
  EXPECT_FALSE(w->pmiPlanUp->isVisible());
  // Sorting from the menu selects the class item and orders by issue date.
  w->pmiSortIssueDown->trigger();
  EXPECT_EQ(w->SelectedItem(), Class(*w, 1));
  TMdlTreeView& v = w->Model().View;
  EXPECT_GE(v.GetRecordItem(Class(*w, 1)->Item(0), 8), v.GetRecordItem(Class(*w, 1)->Item(1), 8));
}

TEST_F(MainWindowTest, SettingsAreWrittenAtCloseAndReadAtStart) {
  {
    auto s = Settings();
    s->setValue("ViewFileMode", 0);
    s->setValue("ViewLang", 3);
    s->setValue("HintCont", true);
  }
  {
    auto w = Open(Sample("clean"));
    EXPECT_TRUE(w->miViewFileOrg->isChecked());  // 0 shows as original-file content
    EXPECT_TRUE(w->miViewLangEJ->isChecked());
    EXPECT_EQ(Class(*w, 1)->Caption().rfind("MEET(", 0), 0u);
    EXPECT_TRUE(w->miHintCont->isChecked());
    w->miViewLangJ->trigger();
  }
  auto s = Settings();
  EXPECT_EQ(s->value("ViewFileMode").toInt(), 3);
  EXPECT_EQ(s->value("ViewLang").toInt(), 0);
  EXPECT_TRUE(s->value("HintCont").toBool());
  EXPECT_EQ(s->value("MediaPath").toString(), Sample("clean") + "/");
  EXPECT_GE(s->value("LeftWidth").toInt(), 100);
}

TEST_F(MainWindowTest, SeveralMediaAreAskedForThroughThePrompts) {
  test::ScratchDir d;
  std::string drive = d / "cdrom";
  std::filesystem::create_directory_symlink(test::SamplePath("multi/MEDIA1"), drive);
  SetDriveTypeOverride([drive](const std::string& p) {
    return p.rfind(drive, 0) == 0 ? DriveType::CdRom : DriveType::Fixed;
  });
  prompts.OnShow = [&](const MessageRequest& r) {
    if (r.Buttons == MsgButtons::OkCancel) {
      std::filesystem::remove(drive);
      std::filesystem::create_directory_symlink(test::SamplePath("multi/MEDIA2"), drive);
    }
  };
  auto w = Open(QString::fromStdString(drive));
  ASSERT_GE(prompts.Shown.size(), 1u);
  EXPECT_NE(prompts.Shown[0].Text.find("2枚目のメディアを挿入してください。"), std::string::npos);
  int onSecond = 0;
  w->Model().View.Tree().ForEach([&](TTreeItem* i) { onSecond += w->Model().View.NodeMedia(i) == 2; });
  EXPECT_GT(onSecond, 0);
}

TEST_F(MainWindowTest, ChangedMediumIsReportedOnce) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  auto w = Open(QString::fromStdString(d / "kkt"));
  std::string index = d / "kkt/INDEX_C.XML";
  std::filesystem::last_write_time(index, std::filesystem::last_write_time(index) + std::chrono::hours(1));
  prompts.Shown.clear();
  w->SelectItem(Class(*w, 1));
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "メディアまたは、ファイルが変更されました。\n\r\n\r更新(F5)を行ってください。");
  EXPECT_EQ(w->statusBar()->currentMessage(), "メディアまたは、ファイルが変更されました。更新(F5)を行ってください。");
  w->SelectItem(Class(*w, 2));
  EXPECT_EQ(prompts.Shown.size(), 1u);
}

TEST_F(MainWindowTest, DroppingAnIndexFileLoadsItsFolderAndAnythingElseIsRefused) {
  auto w = Open(Sample("clean"));
  auto drop = [&](const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->tvwKKT->viewport(), &enter);
    bool accepted = enter.isAccepted();
    QDropEvent dropEvent(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->tvwKKT->viewport(), &dropEvent);
    return accepted;
  };
  EXPECT_FALSE(drop(Sample("errors")));  // a folder
  EXPECT_FALSE(drop(Sample("errors") + "/MEET/MEET.XML"));
  EXPECT_EQ(w->Model().View.MediaFolder(), test::SamplePath("clean") + "/");
  EXPECT_TRUE(drop(Sample("errors") + "/INDEX_C.XML"));
  EXPECT_EQ(w->Model().View.MediaFolder(), test::SamplePath("errors") + "/");
}

TEST_F(MainWindowTest, ConstructionPaneRowsAndMarks) {
  auto w = Open(Sample("errors"));
  TfrmKojInfo* pane = w->frmKojInfo;
  TExtGrid3* grid = pane->Grid;
  // 工種 holds three values in a clean delivery; here find every row of a
  // tag and check label repetition and the marks of empty values.
  int redRows = 0, blueRows = 0;
  for (int r = 1; r < grid->RowCount(); ++r) {
    TCellAtr atr;
    grid->OnSetCellAtr(2, r, atr);
    bool empty = grid->Cell(3, r).isEmpty();
    if (atr.Color == QColor(255, 85, 85)) {
      ++redRows;
      EXPECT_TRUE(empty);
      EXPECT_EQ(grid->Cell(2, r), "◎");
      EXPECT_EQ(atr.Line[0].FontColor, QColor(Qt::white));
    } else if (atr.Color == QColor(136, 136, 255)) {
      ++blueRows;
      EXPECT_TRUE(empty);
      EXPECT_EQ(grid->Cell(2, r), "○");
    } else {
      EXPECT_EQ(atr.Color, QColor(255, 255, 192));
    }
    TCellAtr value;
    grid->OnSetCellAtr(3, r, value);
    EXPECT_TRUE(value.Selectable);
    TCellAtr label;
    grid->OnSetCellAtr(0, r, label);
    EXPECT_FALSE(label.Selectable);
  }
  EXPECT_GT(redRows, 0);
  EXPECT_GT(blueRows, 0);

  auto clean = Open(Sample("clean"));
  TExtGrid3* g = clean->frmKojInfo->Grid;
  int kojiTypeRows = 0;
  for (int r = 1; r < g->RowCount(); ++r)
    if (g->Cell(0, r) == "工種") ++kojiTypeRows;
  EXPECT_EQ(kojiTypeRows, 3);  // DataCount 3: three rows, label repeated
}

TEST_F(MainWindowTest, ItemPaneShowsEveryFieldOfAMeeting) {
  auto w = Open(Sample("clean"));
  TExtGrid3* grid = w->frmInfo->Grid;
  w->SelectItem(Class(*w, 1)->Item(0));
  EXPECT_EQ(grid->RowCount(), 14);  // 13 rows and the header
  TTreeItem* meetClass = Class(*w, 1);
  TTreeItem* third = nullptr;  // the record at list position 3, wherever a sort put it
  for (int i = 0; i < meetClass->Count(); ++i)
    if (w->Model().View.NodeNumber(meetClass->Item(i)) == 3) third = meetClass->Item(i);
  ASSERT_NE(third, nullptr);
  w->SelectItem(third);
  ASSERT_EQ(grid->RowCount(), 16);  // three reserve values
  QStringList reserves;
  for (int r = 1; r < grid->RowCount(); ++r)
    if (grid->Cell(0, r) == "予備") reserves << grid->Cell(3, r);
  EXPECT_EQ(reserves, (QStringList{"口頭指示 2023-05-17", "警備員 2名増員", "夜間は照明車を追加"}));
  EXPECT_EQ(grid->Cell(0, 11), "請負者説明文");  // after the untagged slot
  EXPECT_FALSE(grid->Cell(1, 1).isEmpty());   // the explanation, shown as the label's hint
  EXPECT_EQ(grid->OnCellHint(0, 1), grid->Cell(1, 1));
  EXPECT_TRUE(grid->OnCellHint(3, 1).isEmpty());
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

TEST_F(MainWindowTest, FileHintsAndTheMissingFileMark) {
  auto w = Open(Sample("errors"));
  TMdlTreeView& v = w->Model().View;
  TTreeItem* file = Class(*w, 1)->Item(0)->Item(0);
  QModelIndex index = w->TreeModel()->IndexOf(file);
  w->miHintSoft->trigger();
  EXPECT_EQ(index.data(Qt::ToolTipRole).toString().toStdString(), v.GetFileItem(file, 3));
  w->miHintCont->trigger();
  EXPECT_EQ(index.data(Qt::ToolTipRole).toString().toStdString(), v.GetFileItem(file, 4));
  EXPECT_FALSE(w->TreeModel()->IndexOf(Class(*w, 1)).data(Qt::ToolTipRole).isValid());
  int marked = 0;
  v.Tree().ForEach([&](TTreeItem* i) {
    if (w->TreeModel()->MissingMark(i)) {
      ++marked;
      EXPECT_EQ(i->ImageIndex(), imgFileMissing);
    }
  });
  EXPECT_GT(marked, 0);
  // Selecting a file on no loaded medium says so.
  prompts.Shown.clear();
  v.Tree().ForEach([&](TTreeItem* i) {
    if (prompts.Shown.empty() && i->ImageIndex() == imgFileMissing) w->SelectItem(i);
  });
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text,
            "読み込まれたメディアの中にファイルがありません。\n\r読み込まれていないメディアを挿入し、更新(F5)を行ってください。");
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

TEST_F(MainWindowTest, NarrowestWindowKeepsThePaneArea) {
  auto w = Open(Sample("clean"));
  EXPECT_EQ(w->minimumSize(), QSize(792, 504));
  w->resize(792, 504);
  QCoreApplication::processEvents();
  EXPECT_GE(w->pnlBase->width(), 503);
  EXPECT_LE(w->pnlLeft->width(), 289);
  EXPECT_GE(w->pnlLeft->width(), 100);
}

}  // namespace
}  // namespace dlvr

#include "app/find_dialog.h"
#include "panes/xml_pane.h"

namespace dlvr {
namespace {

TEST_F(MainWindowTest, FindDialogFollowsTheSelectionAndKeepsItsState) {
  auto w = Open(Sample("clean"));
  w->SelectItem(Class(*w, 1));  // meetings: the XML pane
  w->frmXML->rbtPureSource->click();
  w->UpdateFindMenuForTests();
  EXPECT_TRUE(w->miEditFindXML->isEnabled());
  w->miEditFindXML->trigger();
  ASSERT_TRUE(w->FindShown());
  w->dlgFind->edtFind->setText("打合せ簿情報");
  w->dlgFind->rbtUp->setChecked(true);
  w->UpdateFindMenuForTests();
  EXPECT_FALSE(w->miEditFindXML->isEnabled());  // already shown
  // A class whose management file exists keeps it; a record hides it.
  w->SelectItem(Class(*w, 2));
  EXPECT_TRUE(w->FindShown());
  w->SelectItem(Class(*w, 2)->Item(0));
  EXPECT_FALSE(w->FindShown());
  // Shown again, it has its text and direction back.
  w->SelectItem(Class(*w, 1));
  w->miEditFindXML->trigger();
  EXPECT_EQ(w->dlgFind->edtFind->text(), "打合せ簿情報");
  EXPECT_TRUE(w->dlgFind->rbtUp->isChecked());
}

}  // namespace
}  // namespace dlvr
