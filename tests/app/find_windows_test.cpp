#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

#include "app/find_windows.h"
#include "app/main_window.h"
#include "components/mov_controls.h"
#include "model/tree_view.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "support/fixtures.h"
#include "support/main_window.h"

namespace dlvr {
namespace {

class FindWindowsTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;
  FindWindowsTest() {
    prompts.Fallback = DialogAnswer::Ok;
    savedProgramDir = ProgramDir();
    SetProgramDir(program.Path());
    w = test::OpenMainWindow(test::QSample("clean"), 900, 600);
  }
  ~FindWindowsTest() override {
    w.reset();
    SetProgramDir(savedProgramDir);
  }
  TMdlTreeView& View() { return w->Model().View; }
  TTreeItem* Root() { return View().Tree().Root(); }
  std::string Caption(TTreeItem* item) { return item ? item->Caption() : std::string("(none)"); }
  // The search for `text` in class `classIndex` (and, for meetings, `kind`).
  TfrmFindOrg& Org(const QString& text, int classIndex, const QString& kind = QString()) {
    TfrmFindOrg& f = *w->frmFindOrg;
    f.ShowFor(Root());
    f.cbxFind1->setCurrentIndex(classIndex);
    if (!kind.isEmpty()) f.cbxFind2->setEditText(kind);
    f.cbxFindTxt->setEditText(text);
    return f;
  }

  test::ScratchDir program;
  test::ScriptedPrompts prompts;
  std::string savedProgramDir;
  std::unique_ptr<TfrmMain> w;
};

TEST_F(FindWindowsTest, OriginalFileSearchKeepsToTheClassAndTheMeetingKind) {
  TfrmFindOrg& f = Org("打合せ簿", 2, "協議");
  EXPECT_EQ(f.lblFind2->text(), "打合せ簿種類");
  EXPECT_EQ(f.lblFind3->text(), "管理区分");
  ASSERT_TRUE(f.bbtNext->isEnabled());
  // Only the originals of the two consultations qualify.
  ASSERT_TRUE(f.Search(true));
  EXPECT_EQ(Caption(w->SelectedItem()), "0003_01.PDF");
  EXPECT_EQ(Caption(w->SelectedItem()->Parent()), "協議(工程管理)");
  ASSERT_TRUE(f.Search(true));
  EXPECT_EQ(Caption(w->SelectedItem()), "0008_01.PDF");
  TTreeItem* last = w->SelectedItem();
  EXPECT_FALSE(f.Search(true));
  EXPECT_EQ(w->SelectedItem(), last) << "no match leaves the selection";
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "検索文字列が見つかりませんでした。");
  // Backwards from there finds the first one again.
  ASSERT_TRUE(f.Search(false));
  EXPECT_EQ(Caption(w->SelectedItem()), "0003_01.PDF");

  // The management class narrows further; "(なし)" lifts both filters.
  f.cbxFind3->setEditText("原価");
  w->SelectItem(Root());
  ASSERT_TRUE(f.Search(true));
  EXPECT_EQ(Caption(w->SelectedItem()), "0008_01.PDF");
  f.cbxFind1->setCurrentIndex(0);
  EXPECT_EQ(f.cbxFind2->currentText(), "(なし)");
  w->SelectItem(Root());
  ASSERT_TRUE(f.Search(true));
  EXPECT_EQ(Caption(w->SelectedItem()), "0001_01.PDF");
}

// Enter in the search text searches onwards from the selection and names
// what it found, the match marked; Enter in a target list moves on as before.
TEST_F(FindWindowsTest, EnterInTheSearchTextSearchesAndMarksTheMatch) {
  TfrmFindOrg& f = Org("確認", 5);
  w->SelectItem(Root());
  f.cbxFindTxt->setFocus();
  QTest::keyClick(f.cbxFindTxt, Qt::Key_Return);
  EXPECT_EQ(Caption(w->SelectedItem()), "O003_01.PDF");
  EXPECT_EQ(f.lblFound->text(),
            "O003_01.PDF: 段階<span style=\"background-color:#ffe040; color:#000000;\">確認</span>書");
  QTest::keyClick(f.cbxFindTxt, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(Caption(w->SelectedItem()), "O003_02.JPG");
  EXPECT_TRUE(f.lblFound->text().endsWith(">確認</span>状況写真")) << f.lblFound->text().toStdString();
  // Past the last match: nothing found, nothing named.
  for (int i = 0; i < 5 && prompts.Shown.empty(); ++i) QTest::keyClick(f.cbxFindTxt, Qt::Key_Return);
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(f.lblFound->text(), "");
  f.cbxFind1->setFocus();
  QTest::keyClick(f.cbxFind1, Qt::Key_Return);
  EXPECT_TRUE(f.cbxFind2->hasFocus());
}

// The search window goes beside the main window where the screen has room,
// else over the tree beside the panes, and never over the preview when it
// can be helped.
TEST(FindWindowPlacement, StaysClearOfThePanesOrAtLeastThePreview) {
  const QSize size(560, 130);
  const QRect screen(0, 0, 1920, 1080);
  enum class Clear { Window, Panes, Preview };
  struct Case {
    const char* what;
    QRect owner, panes, preview;
    Clear clear;
  };
  const std::vector<Case> cases = {
      {"room on the right", {100, 100, 1200, 800}, {400, 150, 880, 700}, {400, 450, 880, 400}, Clear::Window},
      {"room below only", {0, 0, 1920, 900}, {500, 50, 1400, 820}, {500, 400, 1400, 470}, Clear::Window},
      {"room on the left only", {600, 0, 1320, 1080}, {900, 50, 1000, 1000}, {900, 500, 1000, 550}, Clear::Window},
      {"maximised, a wide tree", {0, 0, 1920, 1080}, {600, 50, 1320, 1030}, {600, 500, 1320, 580}, Clear::Panes},
      {"maximised, a narrow tree", {0, 0, 1920, 1080}, {300, 50, 1620, 1030}, {300, 540, 1620, 540}, Clear::Preview},
      {"maximised, the preview at the top", {0, 0, 1920, 1080}, {300, 50, 1620, 1030}, {300, 50, 1620, 600},
       Clear::Preview},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QRect placed(PlaceBeside(c.owner, c.panes, c.preview, size, screen), size);
    EXPECT_TRUE(screen.contains(placed));
    const QRect clearOf = c.clear == Clear::Window ? c.owner : c.clear == Clear::Panes ? c.panes : c.preview;
    EXPECT_FALSE(placed.intersects(clearOf));
  }
}

TEST_F(FindWindowsTest, OriginalFileSearchComparesDrawingNamesAndIgnoresCase) {
  const std::string name = View().GetFileItem(View().FindClassNode(1)->Item(2), 5);
  ASSERT_FALSE(name.empty());
  TfrmFindOrg& f = Org(QString::fromStdString(name), 1);
  ASSERT_TRUE(f.Search(true));
  EXPECT_EQ(View().GetFileItem(w->SelectedItem(), 5), name);
  // A class other than the item's never matches.
  Org(QString::fromStdString(name), 3);
  w->SelectItem(Root());
  EXPECT_FALSE(f.Search(true));
}

TEST_F(FindWindowsTest, SearchButtonsFollowTheTrimmedTextAndClassesFollowTheTreeLanguage) {
  TfrmFindOrg& f = Org("   ", 0);
  EXPECT_FALSE(f.bbtFront->isEnabled());
  EXPECT_FALSE(f.bbtNext->isEnabled());
  f.cbxFindTxt->setEditText(" 図 ");
  EXPECT_TRUE(f.bbtFront->isEnabled());

  // The selected item's class is preselected; other classes give "(なし)".
  f.ShowFor(View().FindClassNode(6));
  EXPECT_EQ(f.cbxFind1->currentIndex(), 5);
  f.ShowFor(View().FindClassNode(5));
  EXPECT_EQ(f.cbxFind1->currentIndex(), 0);
  View().SetViewLang(3);
  f.ShowFor(View().FindClassNode(2));
  EXPECT_EQ(f.cbxFind1->currentText(), "MEET(打合せ簿)");
  EXPECT_EQ(f.cbxFind1->itemText(0), "(なし)");
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(f.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(FindWindowsTest, UpwardSearchesStopBeforeTheRoot) {
  TfrmFindOrg& f = Org("打合せ簿", 0);
  w->SelectItem(Root());
  EXPECT_FALSE(f.Search(false));
  EXPECT_EQ(w->SelectedItem(), Root());
  w->SelectItem(View().FindClassNode(1));  // absolute index 1
  EXPECT_FALSE(f.Search(false));
  EXPECT_EQ(w->SelectedItem(), View().FindClassNode(1));
  EXPECT_EQ(prompts.Shown.size(), 2u);
}

TEST_F(FindWindowsTest, HistoryIsSavedOnCloseInTheProgramsFolder) {
  TfrmFindOrg& f = Org("打合せ簿", 0);
  f.close();
  std::string text;
  ASSERT_TRUE(ReadWholeFile(program / "FindOrg.DAT", text));
  EXPECT_EQ(text.substr(0, std::string("打合せ簿").size()), "打合せ簿");
  // A second window reads the history back.
  TfrmFindOrg again(*w);
  ASSERT_GE(again.cbxFindTxt->count(), 1);
  EXPECT_EQ(again.cbxFindTxt->itemText(0), "打合せ簿");
}

TEST_F(FindWindowsTest, HistoryGoesToTheUsersDataFolderWhenTheProgramsFolderCannotBeWritten) {
  const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  // A program folder that cannot exist: a file stands in its way.
  ASSERT_TRUE(WriteWholeFile(program / "blocked", "x"));
  SetProgramDir(program / "blocked/bin/");
  EXPECT_TRUE(FindHistoryFolder().startsWith(dataFolder)) << FindHistoryFolder().toStdString();
  {
    TfrmFindOrg f(*w);
    f.cbxFindTxt->setEditText("舗装");
    f.show();
    f.close();
    EXPECT_TRUE(QFileInfo::exists(FindHistoryFolder() + "/FindOrg.DAT"));
    QFile::remove(FindHistoryFolder() + "/FindOrg.DAT");
  }
  if (::geteuid() != 0) {  // root writes into read-only folders
    SetProgramDir(program.Path());
    test::SetTreeReadOnly(program.Path(), true);
    EXPECT_TRUE(FindHistoryFolder().startsWith(dataFolder));
    test::SetTreeReadOnly(program.Path(), false);
  }
  SetProgramDir(program.Path());
  EXPECT_EQ(FindHistoryFolder() + "/", QString::fromStdString(program.Path()));
}

TEST_F(FindWindowsTest, RegisteredFileSearchMatchesShownNamesAndContents) {
  TfrmSrcTree& s = *w->frmSrcTree;
  EXPECT_FALSE(s.btnSrc->isEnabled());
  EXPECT_TRUE(s.rbtDown->isChecked());
  // A class caption is not a registered file: the first match is an original.
  s.edtSrc->setText("打合せ簿");
  ASSERT_TRUE(s.btnSrc->isEnabled());
  w->SelectItem(Root());
  ASSERT_TRUE(s.btnSrcClick());
  EXPECT_EQ(Caption(w->SelectedItem()), "0001_01.PDF");

  // File names compare upper-cased unless case matters.
  s.edtSrc->setText("0003_02.htm");
  ASSERT_TRUE(s.btnSrcClick());
  EXPECT_EQ(Caption(w->SelectedItem()), "0003_02.HTM");
  s.chkMatchCase->setChecked(true);
  w->SelectItem(Root());
  EXPECT_FALSE(s.btnSrcClick());
  ASSERT_FALSE(prompts.Shown.empty());
  EXPECT_EQ(prompts.Shown.back().Icon, MsgIcon::Warning);
  EXPECT_EQ(w->SelectedItem(), Root());

  // Upwards from a later original finds the earlier one.
  s.chkMatchCase->setChecked(false);
  s.edtSrc->setText("0001_0");
  s.rbtUp->setChecked(true);
  w->SelectItem(View().FindClassNode(2)->Item(2)->Item(0));
  ASSERT_TRUE(s.btnSrcClick());
  EXPECT_EQ(Caption(w->SelectedItem()), "0001_03.TXT");
}

TEST_F(FindWindowsTest, FindMenuItemsAreDisabledWhileTheirWindowShows) {
  w->miEditFindOrg->trigger();
  EXPECT_TRUE(w->frmFindOrg->isVisible());
  w->UpdateFindMenuForTests();
  EXPECT_FALSE(w->miEditFindOrg->isEnabled());
  EXPECT_TRUE(w->miEditFindReg->isEnabled());
  w->PrepareTreeMenu();
  EXPECT_FALSE(w->pmiSearch->isEnabled());
  w->frmFindOrg->close();
  w->piFindReg->trigger();
  EXPECT_TRUE(w->frmSrcTree->isVisible());
  w->UpdateFindMenuForTests();
  EXPECT_TRUE(w->miEditFindOrg->isEnabled());
  EXPECT_FALSE(w->piFindReg->isEnabled());
}

}  // namespace
}  // namespace dlvr
