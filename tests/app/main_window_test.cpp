#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QProcessEnvironment>
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
#include "support/main_window.h"

namespace dlvr {
namespace {


std::unique_ptr<QSettings> Settings() {
  QString app = TExtRegistry::ProgramName();
  auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", app);
  s->beginGroup("frmMain");
  return s;
}

class MainWindowTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;
  MainWindowTest() {
    prompts.Fallback = DialogAnswer::Ok;
  }

  std::unique_ptr<TfrmMain> Open(const QString& folder) {
    return test::OpenMainWindow(folder, 1024, 700);
  }
  TTreeItem* Class(TfrmMain& w, int i) { return w.Model().View.Tree().Root()->Item(i); }

  test::ScriptedPrompts prompts;
};

TEST_F(MainWindowTest, PanesFollowTheKindAndCategoryOfTheSelection) {
  auto w = Open(test::QSample("clean"));
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
  auto w = Open(test::QSample("clean"));
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
  auto w = Open(test::QSample("clean"));
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
  // Sorting from the menu keeps the meeting selected and orders by issue date.
  TTreeItem* meeting = w->SelectedItem();
  w->pmiSortIssueDown->trigger();
  EXPECT_EQ(w->SelectedItem(), meeting);
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
    auto w = Open(test::QSample("clean"));
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
  EXPECT_EQ(s->value("MediaPath").toString(), test::QSample("clean") + "/");
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

TEST_F(MainWindowTest, FurtherFoldersAreFurtherMediaOfTheDelivery) {
  auto w = std::make_unique<TfrmMain>(test::QSample("multi/MEDIA1"));
  w->SetFurtherFolders({test::QSample("multi/MEDIA2")});
  test::ShowLoaded(*w, 1024, 700);
  int onSecond = 0;
  w->Model().View.Tree().ForEach([&](TTreeItem* i) { onSecond += w->Model().View.NodeMedia(i) == 2; });
  EXPECT_GT(onSecond, 0);
}

#ifdef DLVR_VIEWER_PATH
TEST(Viewer, HelpAndVersionAnswerWithoutAWindow) {
  // No display at all: the answer must come before any window is made.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.insert("QT_QPA_PLATFORM", "xcb");
  for (const char* arg : {"--help", "--version"}) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DLVR_VIEWER_PATH), {QString::fromLatin1(arg)});
    ASSERT_TRUE(p.waitForFinished(10000)) << arg;
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << arg;
    EXPECT_EQ(p.exitCode(), 0) << arg;
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(std::string(arg) == "--help" ? "usage: dlvrview" : "dlvrview ")) << arg << out.toStdString();
  }
  // Two folders of one medium: which is the delivery is the user's to say.
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "copy");
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(DLVR_VIEWER_PATH), {test::QSample("clean"), QString::fromStdString(d / "copy")});
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitCode(), 2);
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
  EXPECT_TRUE(err.contains(test::QSample("clean")) && err.contains(QString::fromStdString(d / "copy"))) << err.toStdString();
}
#endif

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
  const QString changed = "メディアまたは、ファイルが変更されました。更新(F5)を行ってください。";
  EXPECT_EQ(w->lblStatus->text(), changed);
  w->SelectItem(Class(*w, 2));
  EXPECT_EQ(prompts.Shown.size(), 1u);
  // A menu item's hint covers it for a moment only; the next load clears it.
  QStatusTipEvent hover(QStringLiteral("hint"));
  QCoreApplication::sendEvent(w.get(), &hover);
  QStatusTipEvent away{QString()};
  QCoreApplication::sendEvent(w.get(), &away);
  EXPECT_EQ(w->lblStatus->text(), changed);
  EXPECT_TRUE(w->statusBar()->currentMessage().isEmpty());
  w->miViewRefresh->trigger();
  EXPECT_TRUE(w->lblStatus->text().isEmpty());
}

TEST_F(MainWindowTest, DroppingAnIndexFileLoadsItsFolderAndAnythingElseIsRefused) {
  auto w = Open(test::QSample("clean"));
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
  EXPECT_FALSE(drop(test::QSample("errors")));  // a folder
  EXPECT_FALSE(drop(test::QSample("errors") + "/MEET/MEET.XML"));
  EXPECT_EQ(w->Model().View.MediaFolder(), test::SamplePath("clean") + "/");
  EXPECT_TRUE(drop(test::QSample("errors") + "/INDEX_C.XML"));
  EXPECT_EQ(w->Model().View.MediaFolder(), test::SamplePath("errors") + "/");
}

TEST_F(MainWindowTest, ConstructionPaneRowsAndMarks) {
  auto w = Open(test::QSample("errors"));
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

  auto clean = Open(test::QSample("clean"));
  TExtGrid3* g = clean->frmKojInfo->Grid;
  int kojiTypeRows = 0;
  for (int r = 1; r < g->RowCount(); ++r)
    if (g->Cell(0, r) == "工種") ++kojiTypeRows;
  EXPECT_EQ(kojiTypeRows, 3);  // DataCount 3: three rows, label repeated
}

TEST_F(MainWindowTest, ItemPaneShowsEveryFieldOfAMeeting) {
  auto w = Open(test::QSample("clean"));
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
  auto w = Open(test::QSample("errors"));
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
  // Selecting a missing file: with every medium of the delivery loaded there
  // is no medium to insert, the file is missing from the delivery.
  // The pane says so in place of the preview; no box is shown.
  ASSERT_TRUE(v.AllMediaLoaded());
  auto note = [](TfrmMain& win) {
    for (QLabel* l : win.findChildren<QLabel*>("lblMissingFile"))
      if (l->isVisible()) return l->text().toStdString();
    return std::string();
  };
  prompts.Shown.clear();
  bool selected = false;
  v.Tree().ForEach([&](TTreeItem* i) {
    if (!selected && i->ImageIndex() == imgFileMissing) w->SelectItem(i), selected = true;
  });
  ASSERT_TRUE(selected);
  EXPECT_TRUE(prompts.Shown.empty());
  EXPECT_EQ(note(*w).rfind("このファイルは納品データの中にありません。", 0), 0u) << note(*w);
  // With a medium still to come, the note asks for it.
  auto first = Open(test::QSample("multi/MEDIA1"));
  TMdlTreeView& v1 = first->Model().View;
  EXPECT_FALSE(v1.AllMediaLoaded());
  prompts.Shown.clear();  // the offer of the media beside it
  selected = false;
  v1.Tree().ForEach([&](TTreeItem* i) {
    TMdlTreeItemData* d = v1.NodeData(i);
    if (!selected && (i->ImageIndex() == imgFileMissing || (d && !d->Exists))) first->SelectItem(i), selected = true;
  });
  ASSERT_TRUE(selected);
  EXPECT_TRUE(prompts.Shown.empty());
  EXPECT_NE(note(*first).find("メディアを挿入し、更新(F5)を行ってください。"), std::string::npos) << note(*first);
  // A file that is there shows its preview again, not the note.
  selected = false;
  v1.Tree().ForEach([&](TTreeItem* i) {
    TMdlTreeItemData* d = v1.NodeData(i);
    if (!selected && v1.NodeLevel(i) == nlFile && v1.NodeClass(i) == 2 && i->ImageIndex() != imgFileMissing && d &&
        d->Exists)
      first->SelectItem(i), selected = true;
  });
  ASSERT_TRUE(selected);
  EXPECT_EQ(note(*first), "");
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

TEST_F(MainWindowTest, NarrowestWindowKeepsThePaneArea) {
  auto w = Open(test::QSample("clean"));
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
  auto w = Open(test::QSample("clean"));
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
  w->UpdateFindMenuForTests();
  w->miEditFindXML->trigger();
  ASSERT_TRUE(w->FindShown());
  EXPECT_EQ(w->dlgFind->edtFind->text(), "打合せ簿情報");
  EXPECT_TRUE(w->dlgFind->rbtUp->isChecked());
  // Closed by the user, it keeps what was typed for the next time.
  w->dlgFind->edtFind->setText("受理");
  w->dlgFind->btnCancel->click();
  EXPECT_FALSE(w->FindShown());
  w->dlgFind->edtFind->setText("");  // as a fresh dialog would come up
  w->UpdateFindMenuForTests();
  w->miEditFindXML->trigger();
  ASSERT_TRUE(w->FindShown());
  EXPECT_EQ(w->dlgFind->edtFind->text(), "受理");
}

}  // namespace
}  // namespace dlvr

#include <QScrollBar>
#include <QToolButton>

#include <set>

#include "app/find_windows.h"
#include "panes/cad_files_pane.h"
#include "panes/files_pane.h"

namespace dlvr {
namespace {

// Fails unless the pane of the selected item is shown and shows that item.
void ExpectPaneShowsSelection(TfrmMain& w) {
  TTreeItem* item = w.SelectedItem();
  const int cls = w.Model().View.NodeClass(item);
  std::pair<QWidget*, TPane*> pane{w.pnlXML, w.frmXML};
  switch (w.Model().View.NodeLevel(item)) {
    case nlRoot: pane = {w.pnlKojInfo, nullptr}; break;
    case nlRecord: pane = {w.pnlNodes, w.frmInfo}; break;
    case nlFile: pane = cls == 1 || cls == 4 ? pane = {w.pnlCADFiles, w.frmCADFiles} : pane = {w.pnlFiles, w.frmFiles}; break;
    default: if (cls == 13) pane = {nullptr, nullptr};
  }
  EXPECT_EQ(w.VisiblePane(), pane.first) << item->Caption();
  EXPECT_TRUE(!pane.second || pane.second->CurrentNode() == item) << item->Caption();
}

// The open items, by their numbers from the root.
std::set<std::string> OpenItems(TfrmMain& w) {
  std::set<std::string> out;
  w.Model().View.Tree().ForEach([&](TTreeItem* i) {
    std::string path;
    for (const auto& step : w.Model().View.ItemPath(i)) path += "/" + std::to_string(step.Number);
    if (w.Tree()->isExpanded(w.TreeModel()->IndexOf(i))) out.insert(path);
  });
  return out;
}

// Changing the tree language or the file-name mode, sorting, and refreshing
// keep what the user opened and chose: the open items, the selected record
// with its pane, the scroll position, and previous/next from there. Only
// the refresh rebuilds the tree.
TEST_F(MainWindowTest, TreeKeepsItsStateThroughRecaptioningSortingAndRefresh) {
  auto w = Open(test::QSample("clean"));
  w->resize(800, 504);
  QTreeView* tree = w->Tree();
  tree->expandAll();
  tree->collapse(w->TreeModel()->IndexOf(Class(*w, 0)));
  TTreeItem* record = Class(*w, 1)->Item(1);
  w->SelectItem(record);
  tree->verticalScrollBar()->setValue(tree->verticalScrollBar()->maximum() / 2);
  int resets = 0;
  QObject::connect(w->TreeModel(), &QAbstractItemModel::modelAboutToBeReset, [&] { ++resets; });
  const std::pair<const char*, QAction*> cases[] = {
      {"language English", w->miViewLangE},
      {"language English (Japanese)", w->miViewLangEJ},
      {"file names: original content", w->miViewFileOrg},
      {"meetings by issue date, descending", w->pmiSortIssueDown},
      {"plans descending", w->pmiPlanDown},
      {"refresh (F5)", w->miViewRefresh},
      {"meetings in file order", w->pmiMeetDef},
  };
  for (auto [what, command] : cases) {
    SCOPED_TRACE(what);
    const std::set<std::string> open = OpenItems(*w);
    const auto selected = w->Model().View.ItemPath(record);
    const int scroll = tree->verticalScrollBar()->value();
    command->trigger();
    EXPECT_EQ(resets, command == w->miViewRefresh ? 1 : 0);
    resets = 0;
    if (command == w->miViewRefresh) record = w->Model().View.FindItemPath(selected);
    ASSERT_EQ(w->SelectedItem(), record);
    EXPECT_TRUE(tree->selectionModel()->isSelected(tree->currentIndex()));
    EXPECT_EQ(OpenItems(*w), open);
    EXPECT_EQ(tree->verticalScrollBar()->value(), scroll);
    ExpectPaneShowsSelection(*w);
    // Previous and next walk the tree in its new order.
    const std::vector<TTreeItem*> all = w->Model().View.Tree().AllItems();
    ASSERT_TRUE(w->miEditNext->isEnabled());
    w->miEditNext->trigger();
    EXPECT_EQ(w->SelectedItem(), *(std::find(all.begin(), all.end(), record) + 1));
    w->miEditPrev->trigger();
    EXPECT_EQ(w->SelectedItem(), record);
    tree->verticalScrollBar()->setValue(scroll);
  }
  EXPECT_EQ(Class(*w, 1)->Caption(), "MEET(打合せ簿)");
  // Another folder starts at the root with only the root open.
  w->LoadMedia(test::QSample("errors"));
  EXPECT_EQ(w->SelectedItem(), w->Model().View.Tree().Root());
  EXPECT_EQ(OpenItems(*w), std::set<std::string>{"/0"});
}

// With a record selected, the arrow keys, Home/End, the page keys and the
// commands' keys walk the tree one step after another, each step showing
// its item's pane: the busy waits of the panes leave the focus with the
// tree. Ctrl+O, Ctrl+F (the search that fits the pane) and Ctrl+Q run
// their commands.
TEST_F(MainWindowTest, KeysWalkTheTreeAndRunTheCommands) {
  auto w = Open(test::QSample("clean"));
  auto activate = [&] {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->Tree()->setFocus();
  };
  // As the user presses it: to whatever has the focus in the window.
  auto press = [&](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(w->windowHandle(), key, mods);
  };
  QTreeView* tree = w->Tree();
  tree->expandAll();
  w->SelectItem(Class(*w, 1)->Item(0));
  activate();
  std::set<QWidget*> panels;
  for (int step = 1; step <= 5; ++step) {
    SCOPED_TRACE(testing::Message() << "Down " << step);
    const QModelIndex below = tree->indexBelow(tree->currentIndex());
    press(Qt::Key_Down);
    EXPECT_EQ(tree->currentIndex(), below);
    ExpectPaneShowsSelection(*w);
    EXPECT_EQ(QApplication::focusWidget(), tree);
    panels.insert(w->VisiblePane());
  }
  EXPECT_EQ(panels, (std::set<QWidget*>{w->pnlNodes, w->pnlFiles}));  // records and their files
  const std::vector<TTreeItem*> all = w->Model().View.Tree().AllItems();  // all open: the order shown
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    TTreeItem* to;  // null: anywhere else
  } steps[] = {
      {Qt::Key_End, Qt::NoModifier, all.back()},       {Qt::Key_Up, Qt::NoModifier, all[all.size() - 2]},
      {Qt::Key_Home, Qt::NoModifier, all[0]},          {Qt::Key_PageDown, Qt::NoModifier, nullptr},
      {Qt::Key_Home, Qt::NoModifier, all[0]},          {Qt::Key_Right, Qt::AltModifier, all[1]},
      {Qt::Key_Right, Qt::AltModifier, all[2]},        {Qt::Key_Left, Qt::AltModifier, all[1]},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(QKeySequence(s.key | s.mods).toString().toStdString());
    TTreeItem* before = w->SelectedItem();
    press(s.key, s.mods);
    EXPECT_TRUE(s.to ? w->SelectedItem() == s.to : w->SelectedItem() != before);
    ExpectPaneShowsSelection(*w);
    EXPECT_EQ(QApplication::focusWidget(), tree);
  }

  int folderDialogs = 0;
  TfrmMainHooks::SelectFolder = [&](QWidget*, const QString&, QString&) { return ++folderDialogs, false; };
  press(Qt::Key_O, Qt::ControlModifier);
  TfrmMainHooks::SelectFolder = nullptr;
  EXPECT_EQ(folderDialogs, 1);
  w->SelectItem(Class(*w, 1)->Item(0));
  activate();
  press(Qt::Key_F, Qt::ControlModifier);  // over a meeting: the original-file content search
  EXPECT_TRUE(w->frmFindOrg->isVisible());
  EXPECT_FALSE(w->FindShown());
  w->frmFindOrg->close();
  w->SelectItem(Class(*w, 1));  // a management file shown as source: its find dialog
  w->frmXML->rbtPureSource->click();
  activate();
  press(Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(w->FindShown());
  activate();
  press(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(w->isVisible());
}

// The toolbar buttons take icon, caption and hint from their commands, so
// enabling and disabling a command (at the first or last item, while the
// photo viewer starts, without photos) keeps them.
TEST_F(MainWindowTest, ToolbarButtonsKeepTheirIconsThroughEnableAndDisable) {
  auto w = Open(test::QSample("clean"));
  for (auto [name, command, caption] : {std::tuple{"tbtPrev", w->miEditPrev, "前項目"},
                                        {"tbtNext", w->miEditNext, "次項目"},
                                        {"tbtXMLViewer", w->miProgXMLViewer, "写真閲覧"},
                                        {"tbtExit", w->miExit, "終了"}}) {
    SCOPED_TRACE(name);
    auto* b = w->ToolBar->findChild<QToolButton*>(name);
    ASSERT_NE(b, nullptr);
    const qint64 icon = b->icon().cacheKey();
    for (bool enabled : {false, true, false, true}) {
      command->setEnabled(enabled);
      EXPECT_EQ(b->isEnabled(), enabled);
      EXPECT_FALSE(b->icon().isNull());
      EXPECT_EQ(b->icon().cacheKey(), icon);
      EXPECT_EQ(b->text(), caption);
    }
  }
  EXPECT_EQ(w->ToolBar->findChild<QToolButton*>("tbtNext")->toolTip(), "次項目 (Alt+Right)");
}

}  // namespace
}  // namespace dlvr

#include <QStatusTipEvent>
#include <QToolTip>

#include "app/translations.h"
#include "platform/fileio.h"

namespace dlvr {
namespace {

// The original-file search window names the classes in the tree's language
// when the language changes while it is open, keeping the chosen class.
TEST_F(MainWindowTest, TreeLanguageReachesTheOpenSearchWindow) {
  auto w = Open(test::QSample("clean"));
  w->miViewLangJ->trigger();
  w->frmFindOrg->ShowFor(w->Model().View.FindClassNode(2));
  ASSERT_EQ(w->frmFindOrg->cbxFind1->currentText(), "打合せ簿");
  for (auto [action, caption] : {std::pair{w->miViewLangE, "MEET"}, {w->miViewLangJE, "打合せ簿(MEET)"},
                                 {w->miViewLangEJ, "MEET(打合せ簿)"}, {w->miViewLangJ, "打合せ簿"}}) {
    action->trigger();
    EXPECT_EQ(w->frmFindOrg->cbxFind1->currentText().toStdString(), caption) << action->objectName().toStdString();
  }
  w->frmFindOrg->close();
}

// Resting the mouse on an item shows its hint after 100 ms; moving to
// another item takes the old hint away; leaving the tree ends it.
TEST_F(MainWindowTest, TreeHintsComeAfterAHundredMilliseconds) {
  auto w = Open(test::QSample("errors"));
  w->miHintSoft->trigger();
  w->tvwKKT->expandAll();
  TTreeItem* file = Class(*w, 1)->Item(0)->Item(0);
  const QModelIndex index = w->TreeModel()->IndexOf(file);
  const QString hint = index.data(Qt::ToolTipRole).toString();
  ASSERT_FALSE(hint.isEmpty());
  QWidget* viewport = w->tvwKKT->viewport();
  auto moveTo = [&](const QModelIndex& i) {
    const QPoint at = w->tvwKKT->visualRect(i).center();
    QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
  };
  moveTo(index);
  EXPECT_EQ(w->HintTimer->interval(), 100);
  EXPECT_TRUE(w->HintTimer->isActive());
  EXPECT_FALSE(QToolTip::isVisible());
  QTest::qWait(250);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), hint);
  moveTo(w->TreeModel()->IndexOf(Class(*w, 1)));  // a class item: no hint of its own
  QTest::qWait(500);  // the old hint fades out
  EXPECT_FALSE(QToolTip::isVisible());
  moveTo(index);
  QTest::qWait(250);
  ASSERT_TRUE(QToolTip::isVisible());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(viewport, &leave);
  EXPECT_FALSE(w->HintTimer->isActive());
  QTest::qWait(500);
  EXPECT_FALSE(QToolTip::isVisible());
}

// The logo stands at the toolbar's right end, centred in its height.
TEST_F(MainWindowTest, ToolbarShowsTheLogoAtItsRightEnd) {
  auto w = Open(test::QSample("clean"));
  w->resize(1280, 700);
  QCoreApplication::processEvents();
  ASSERT_NE(w->imgLogo, nullptr);
  ASSERT_FALSE(w->imgLogo->pixmap().isNull());
  EXPECT_TRUE(w->imgLogo->isVisible());
  const QRect logo(w->imgLogo->mapTo(w->ToolBar, QPoint(0, 0)), w->imgLogo->size());
  EXPECT_LE(std::abs(logo.center().y() - w->ToolBar->rect().center().y()), 2);
  EXPECT_GE(logo.right(), w->ToolBar->width() - 40);
  for (QToolButton* b : w->ToolBar->findChildren<QToolButton*>())
    if (b->isVisible()) {
      EXPECT_LT(b->geometry().right(), logo.left()) << b->objectName().toStdString();
    }
}

// Files dropped on a file-class or record item are only noted: a left drop goes
// on at once, a right drop asks (move hidden) and records the choice; the
// selected item's pane is shown anew and nothing is copied. Elsewhere an
// INDEX_C.XML still opens its delivery.
TEST_F(MainWindowTest, FilesDroppedOnClassAndRecordItems) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  const std::string loose = d / "loose.pdf";
  ASSERT_TRUE(WriteWholeFile(loose, "%PDF-1.4"));
  auto w = Open(QString::fromStdString(d / "kkt"));
  TMdlTreeView& v = w->Model().View;
  TTreeItem* drawings = Class(*w, 0);  // a file class
  TTreeItem* meetings = v.FindClassNode(2);  // a record class
  ASSERT_NE(meetings, nullptr);
  ASSERT_EQ(v.NodeLevel(drawings), nlFileClass);
  w->tvwKKT->expand(w->TreeModel()->IndexOf(meetings));
  TTreeItem* record = meetings->Item(0);
  ASSERT_NE(record, nullptr);
  w->SelectItem(record);
  const auto before = test::TreeSnapshot(d / "kkt");
  int refreshed = 0;
  QObject::connect(w->tvwKKT->selectionModel(), &QItemSelectionModel::currentChanged,
                   [&](const QModelIndex& now) { refreshed += now.isValid(); });
  auto drop = [&](TTreeItem* on, Qt::MouseButtons buttons, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at = w->tvwKKT->visualRect(w->TreeModel()->IndexOf(on)).center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w->tvwKKT->viewport(), &enter);
    const bool accepted = enter.isAccepted();
    QDropEvent dropEvent(at, Qt::CopyAction | Qt::MoveAction, &mime, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w->tvwKKT->viewport(), &dropEvent);
    return accepted;
  };
  const QString file = QString::fromStdString(loose);
  struct Case {
    TTreeItem* on;
    Qt::MouseButtons buttons;
    QAction* choice;  // for a right drop
    int action;
  } cases[] = {{drawings, Qt::LeftButton, nullptr, 0},
               {record, Qt::LeftButton, nullptr, 0},
               {record, Qt::RightButton, w->miRDropCopy, 1},
               {drawings, Qt::RightButton, w->miRDropLink, 3},
               {record, Qt::RightButton, w->miRDropCancel, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.on->Caption() << " action " << c.action);
    w->DropAction = -1;
    refreshed = 0;
    EXPECT_TRUE(drop(c.on, c.buttons, file));
    if (c.choice) {
      EXPECT_TRUE(w->pmnRDrop->isVisible());
      EXPECT_FALSE(w->miRDropMove->isVisible());
      EXPECT_EQ(w->DroppedPaths, QStringList{file});
      EXPECT_EQ(w->TreeModel()->DropTarget, c.on);
      c.choice->trigger();
    }
    EXPECT_EQ(w->DropAction, c.action);
    EXPECT_TRUE(w->DroppedPaths.isEmpty());
    EXPECT_EQ(w->TreeModel()->DropTarget, nullptr);
    EXPECT_FALSE(w->pmnRDrop->isVisible());
    EXPECT_EQ(w->SelectedItem(), record);
    EXPECT_EQ(refreshed, 1) << "selected anew";
  }
  // A right-drop menu closed without a choice records nothing.
  w->DropAction = -1;
  drop(record, Qt::RightButton, file);
  w->pmnRDrop->hide();
  QCoreApplication::processEvents();
  EXPECT_EQ(w->DropAction, -1);
  EXPECT_TRUE(w->DroppedPaths.isEmpty());
  EXPECT_EQ(test::TreeSnapshot(d / "kkt"), before);
  // The root and a record class are no drop targets for files: only an
  // INDEX_C.XML is taken there.
  EXPECT_FALSE(drop(meetings, Qt::LeftButton, file));
  EXPECT_FALSE(drop(v.Tree().Root(), Qt::LeftButton, file));
  EXPECT_EQ(w->DropAction, -1);
  EXPECT_TRUE(drop(v.Tree().Root(), Qt::LeftButton, test::QSample("errors") + "/INDEX_C.XML"));
  EXPECT_EQ(v.MediaFolder(), test::SamplePath("errors") + "/");
}

// Started without a folder where no delivery is found: no tree of missing
// files but a page that leads to the folder dialog; the refresh asks for a
// folder instead of reading nothing, and the saved folder is kept.
TEST_F(MainWindowTest, StartWithoutADeliveryShowsHowToOpenOne) {
  test::ScratchDir d;
  const std::string savedProgramDir = ProgramDir();
  SetProgramDir(d.MakeDir("program"));
  Settings()->setValue("MediaPath", QString::fromStdString(d.MakeDir("gone")));
  {
    auto w = Open(QString());
    EXPECT_EQ(w->VisiblePane(), w->pnlStart);
    EXPECT_TRUE(w->lblStart->isVisible());
    EXPECT_EQ(w->Model().View.Tree().Root(), nullptr);
    EXPECT_TRUE(prompts.Shown.empty());
    EXPECT_FALSE(w->miEditPrev->isEnabled());
    EXPECT_FALSE(w->miEditNext->isEnabled());
    QString offered;
    int dialogs = 0;
    TfrmMainHooks::SelectFolder = [&](QWidget*, const QString& initial, QString& chosen) {
      ++dialogs;
      offered = initial;
      chosen = test::QSample("clean");
      return true;
    };
    w->miViewRefresh->trigger();
    EXPECT_EQ(dialogs, 1);
    w->btnStartSelFld->click();
    TfrmMainHooks::SelectFolder = nullptr;
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(w->VisiblePane(), w->pnlKojInfo);
    EXPECT_FALSE(w->pnlStart->isVisible());
  }
  EXPECT_EQ(Settings()->value("MediaPath").toString(), test::QSample("clean") + "/");
  {
    // Nothing opened: the folder saved before is kept.
    Settings()->setValue("MediaPath", QString::fromStdString(d / "gone"));
    auto w = Open(QString());
    EXPECT_EQ(w->VisiblePane(), w->pnlStart);
  }
  EXPECT_EQ(Settings()->value("MediaPath").toString(), QString::fromStdString(d / "gone"));
  SetProgramDir(savedProgramDir);
}

// Qt's own texts in Japanese only when asked for, and taken out again.
TEST(QtTranslations, JapaneseProgramsGetQtsOwnTextsInJapanese) {
  EXPECT_EQ(InstallQtTranslations(false), nullptr);
  auto t = InstallQtTranslations(true);
  if (!t) GTEST_SKIP() << "Qt's translations are not installed";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "キャンセル");
  t.reset();  // takes itself out
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
}

}  // namespace
}  // namespace dlvr

#include <QPointer>

#include "panes/photo_view.h"
#include "support/delivery_builder.h"
#include "support/wait.h"

namespace dlvr {
namespace {

using test::WaitUntil;

// Without the photo viewer program, 写真閲覧 (menu, toolbar, the XML pane's
// button) opens the window's own photo window, one at a time; every load
// shows its photos there; without photos the command is greyed. Closed, the
// window goes and its placement is kept for the next one.
TEST_F(MainWindowTest, ThePhotoCommandOpensOnePhotoWindowThatFollowsEveryLoad) {
  test::ScratchDir d;
  auto delivery = [&](const std::string& name, bool photos) {
    test::MediumSpec spec;
    spec.KojiName = name;
    const std::string folder = test::WriteMedium(d / name, spec);
    if (photos)
      d.WriteSjis(name + "/PHOTO/PHOTO.XML",
                  "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<photodata DTD_version=\"05\">\n<写真情報>\n"
                  "<写真ファイル情報>\n<シリアル番号>1</シリアル番号>\n<写真ファイル名>P0000001.JPG</写真ファイル名>\n"
                  "</写真ファイル情報>\n<撮影工種区分>\n<写真タイトル>" + name + "</写真タイトル>\n</撮影工種区分>\n"
                  "</写真情報>\n</photodata>\n");
    return QString::fromStdString(folder);
  };
  auto w = Open(test::QSample("clean"));
  ASSERT_FALSE(w->PhotoViewerPresent);
  ASSERT_TRUE(w->miProgXMLViewer->isEnabled());
  // The XML pane offers the photo window with a button and asks nothing.
  w->SelectItem(w->Model().View.FindClassNode(5));
  EXPECT_EQ(w->frmXML->Message(), "写真と写真管理情報は「写真閲覧」でご確認ください。");
  EXPECT_TRUE(w->frmXML->btnPhotoView->isVisible());
  EXPECT_TRUE(w->frmXML->btnPhotoView->isEnabled());
  EXPECT_TRUE(prompts.Shown.empty());

  auto* toolButton = w->ToolBar->findChild<QToolButton*>("tbtXMLViewer");
  ASSERT_NE(toolButton, nullptr);
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"menu", [&] { w->miProgXMLViewer->trigger(); }},
      {"toolbar", [&] { toolButton->click(); }},
      {"XML pane", [&] { w->frmXML->btnPhotoView->click(); }},
  };
  QPointer<TfrmPhotoView> first;
  for (const auto& [way, open] : ways) {
    SCOPED_TRACE(way);
    open();
    ASSERT_TRUE(w->frmPhotoView);
    EXPECT_TRUE(w->frmPhotoView->isVisible());
    if (!first) first = w->frmPhotoView;
    EXPECT_EQ(w->frmPhotoView.data(), first.data());
  }
  EXPECT_EQ(w->ViewerProcess, 0);
  TfrmPhotoView* view = w->frmPhotoView;
  ASSERT_TRUE(WaitUntil([&] { return !view->Busy(); }));
  ASSERT_EQ(view->Store()->Files().size(), 1u);
  EXPECT_TRUE(QString::fromStdString(view->Store()->Files()[0].XmlPath).startsWith(test::QSample("clean")));

  w->LoadMedia(delivery("別の工事", true));
  ASSERT_TRUE(WaitUntil([&] { return !view->Busy(); }));
  ASSERT_EQ(view->Store()->Records().size(), 1u);
  EXPECT_EQ(view->Store()->Records()[0].Title, "別の工事");
  EXPECT_EQ(view->windowTitle(), "写真閲覧 - 別の工事");

  w->LoadMedia(delivery("写真のない工事", false));
  EXPECT_FALSE(w->miProgXMLViewer->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return !view->Busy(); }));
  EXPECT_TRUE(view->Store()->Empty());
  EXPECT_TRUE(view->lblNotice->text().contains("写真管理ファイル（PHOTO.XML）がありません")) << view->lblNotice->text().toStdString();

  view->move(130, 90);
  view->close();
  ASSERT_TRUE(WaitUntil([&] { return !w->frmPhotoView; }));
  w->LoadMedia(QString::fromStdString(d / "別の工事"));
  w->miProgXMLViewer->trigger();
  ASSERT_TRUE(w->frmPhotoView);
  EXPECT_EQ(w->frmPhotoView->pos(), QPoint(130, 90));
}

}  // namespace
}  // namespace dlvr

#include "check/data_check.h"
#include "check/extended_check.h"
#include "components/document_check.h"
#include "panes/delivery_check.h"

namespace dlvr {
namespace {

// The delivery check sits beside the data check in the file menu and the
// toolbar and follows its state; it runs on a worker (the command off and
// the window not to be closed meanwhile) and shows its findings in a window
// beside it (not modal),
// or says that there are none, or refuses a folder without INDEX_C.XML.
TEST_F(MainWindowTest, DeliveryCheckCommandShowsItsFindings) {
  test::ScratchDir scratch;
  test::CopyTree(test::SamplePath("clean"), scratch / "noindex");
  struct Case {
    const char* Name;
    std::string Folder;
    bool RemoveIndex;
    bool Window;
  };
  const std::vector<Case> cases = {
      {"errors", test::SamplePath("errors"), false, true},
      {"clean", test::SamplePath("clean"), false, false},
      {"without INDEX_C.XML", scratch / "noindex", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto w = Open(QString::fromStdString(c.Folder));
    // Placement and state.
    const QList<QAction*> menu = w->miFile->actions();
    ASSERT_EQ(menu.indexOf(w->miFileDeliveryCheck), menu.indexOf(w->miFileCheck) + 1);
    EXPECT_EQ(w->miFileDeliveryCheck->text(), "電子納品チェック(&D)...");
    auto* button = w->ToolBar->findChild<QToolButton*>("tbtDeliveryCheck");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "電子納品チェック");
    EXPECT_FALSE(button->icon().isNull());
    const QList<QAction*> bar = w->ToolBar->actions();
    int check = -1;
    for (int i = 0; i < bar.size(); ++i)
      if (w->ToolBar->widgetForAction(bar[i]) == w->ToolBar->findChild<QToolButton*>("tbtCheck")) check = i;
    ASSERT_GE(check, 0);
    EXPECT_EQ(w->ToolBar->widgetForAction(bar.value(check + 1)), button);
    for (bool on : {false, true}) {
      w->miFileCheck->setEnabled(on);
      EXPECT_EQ(w->miFileDeliveryCheck->isEnabled(), on);
      EXPECT_EQ(button->isEnabled(), on);
    }
    EXPECT_TRUE(w->miFileDeliveryCheck->isVisible());

    TExtendedInput input = ExtendedInputFor(w->Model().View);
    input.CheckDocument = CheckDocumentFile;  // the window's check opens the documents too
    const std::vector<TFinding> expected = RunExtendedCheck(input);
    if (c.RemoveIndex) std::filesystem::remove(std::filesystem::path(c.Folder) / "INDEX_C.XML");
    prompts.Shown.clear();
    // Watches until the findings window comes, then reads and closes it.
    int rows = -1, running = 0;
    bool stayedOpen = true, modal = false, knownRow = false;
    QString counts;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (w->statusBar()->currentMessage() == "電子納品チェック中...") {
        ++running;
        stayedOpen = stayedOpen && !w->miFileDeliveryCheck->isEnabled() && !w->close() && w->isVisible() &&
                     QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        return;
      }
    });
    poll.start();
    w->miFileDeliveryCheck->trigger();
    poll.stop();
    // The findings window stays open beside the main window (not modal).
    if (auto* form = w->findChild<TfrmDeliveryCheck*>()) {
      modal = form->isModal() || QApplication::activeModalWidget() == form;
      rows = form->List->ShownRows() + 1;
      counts = form->lblCount->text();
      for (int r = 0; r + 1 < rows; ++r)
        knownRow = knownRow || (form->List->ShownText(0, r) == "エラー" && form->List->ShownText(1, r) == "1" &&
                                form->List->ShownText(2, r) == "OTHRS/Org" &&
                                form->List->ShownText(3, r) == "フォルダ名の規則");
      form->tblClose->click();
      QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_TRUE(stayedOpen) << running << " looks while it ran";
    EXPECT_TRUE(w->miFileDeliveryCheck->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    if (c.Window) {
      EXPECT_FALSE(modal);
      EXPECT_EQ(rows, static_cast<int>(expected.size()) + 1);
      EXPECT_TRUE(knownRow);
      EXPECT_TRUE(HasError(expected));
      EXPECT_TRUE(counts.startsWith("エラー ")) << counts.toStdString();
      EXPECT_TRUE(prompts.Shown.empty());
      continue;
    }
    EXPECT_EQ(rows, -1);
    ASSERT_EQ(prompts.Shown.size(), 1u);
    if (c.RemoveIndex) {
      // Refused in the words of the data check.
      const std::string refusal = prompts.Shown[0].Text;
      w->miFileCheck->trigger();
      ASSERT_EQ(prompts.Shown.size(), 2u);
      EXPECT_EQ(refusal, prompts.Shown[1].Text);
      EXPECT_EQ(refusal, NoIndexMessage(w->Model().View.MediaFolder()));
    } else {
      EXPECT_EQ(prompts.Shown[0].Text, "電子納品チェックで問題は見つかりませんでした。");
      EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Information);
    }
  }
}

}  // namespace
}  // namespace dlvr

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <atomic>
#include <thread>

#include "delivery/sibling_media.h"

namespace dlvr {
namespace {

// A medium opened from the command line or the folder dialog: the other
// media of its delivery in the folders beside it are offered in one
// question, and "はい" loads them all as further media.
TEST_F(MainWindowTest, OpeningAMediumOffersTheOtherMediaBesideIt) {
  const std::string offer = "同じ工事の他の媒体が見つかりました。\r\r　メディア番号 2：" +
                            test::SamplePath("multi/MEDIA2") + "/\r\rこれらの媒体を読み込みますか？";
  struct Case {
    const char* Name;
    bool FromDialog;
    bool WithSecond;  // the second medium named as a further folder
    DialogAnswer Answer;
    bool Asked;
    std::vector<int> Loaded;
  };
  const std::vector<Case> cases = {
      {"command line, no", false, false, DialogAnswer::No, true, {1}},
      {"command line, yes", false, false, DialogAnswer::Yes, true, {1, 2}},
      {"folder dialog, yes", true, false, DialogAnswer::Yes, true, {1, 2}},
      {"every medium named", false, true, DialogAnswer::Yes, false, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    prompts.Shown.clear();
    prompts.Answers = {c.Answer};
    auto w = std::make_unique<TfrmMain>(c.FromDialog ? test::QSample("clean") : test::QSample("multi/MEDIA1"));
    if (c.WithSecond) w->SetFurtherFolders({test::QSample("multi/MEDIA2")});
    test::ShowLoaded(*w, 1024, 700);
    if (c.FromDialog) {
      prompts.Shown.clear();
      TfrmMainHooks::SelectFolder = [](QWidget*, const QString&, QString& chosen) {
        chosen = test::QSample("multi/MEDIA1") + "/";
        return true;
      };
      w->miFileSelFld->trigger();
      TfrmMainHooks::SelectFolder = nullptr;
    }
    TMdlTreeView& v = w->Model().View;
    int asked = 0;
    for (const MessageRequest& r : prompts.Shown)
      if (r.Text.rfind("同じ工事の他の媒体", 0) == 0) {
        ++asked;
        EXPECT_EQ(r.Text, offer);
        EXPECT_EQ(r.Buttons, MsgButtons::YesNo);
        EXPECT_EQ(r.Icon, MsgIcon::Question);
      }
    EXPECT_EQ(asked, c.Asked ? 1 : 0);
    std::vector<int> loaded = v.LoadedMedia();
    std::sort(loaded.begin(), loaded.end());
    EXPECT_EQ(loaded, c.Loaded);
    int onSecond = 0;
    v.Tree().ForEach([&](TTreeItem* i) { onSecond += v.NodeMedia(i) == 2; });
    EXPECT_EQ(onSecond > 0, c.Loaded.size() == 2);
    EXPECT_EQ(v.AllMediaLoaded(), c.Loaded.size() == 2);
  }
}

// The delivery check shows a modal progress dialog once it takes longer than
// a moment; "中止" stops it, and the findings made until then are shown as
// those of a stopped check. Meanwhile the window cannot be closed.
TEST_F(MainWindowTest, DeliveryCheckCanBeStopped) {
  auto w = Open(test::QSample("errors"));
  TExtendedInput input = ExtendedInputFor(w->Model().View);
  input.CheckDocument = CheckDocumentFile;
  const std::size_t all = RunExtendedCheck(input).size();
  // The first report holds the check until the dialog has been answered.
  std::atomic<bool> stopClicked{false};
  std::atomic<int> reports{0};
  TfrmMainHooks::DeliveryCheckProgress = [&](std::size_t, std::size_t) {
    if (reports++ > 0) return;
    for (int i = 0; i < 1000 && !stopClicked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  };
  QString label, button, title, counts;
  bool modal = false, refusedClose = false;
  int rows = -1;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* progress = w->findChild<QDialog*>("dlgDeliveryCheckProgress");
    if (!stopClicked && progress && progress->isVisible()) {
      label = progress->findChild<QLabel*>("lblProgress")->text();
      button = progress->findChild<QPushButton*>("btnStop")->text();
      modal = progress->isModal() && QApplication::activeModalWidget() == progress;
      refusedClose = !w->close() && w->isVisible();
      progress->findChild<QPushButton*>("btnStop")->click();
      stopClicked = true;
      return;
    }
  });
  poll.start();
  prompts.Shown.clear();
  w->miFileDeliveryCheck->trigger();
  poll.stop();
  if (auto* form = w->findChild<TfrmDeliveryCheck*>()) {
    title = form->windowTitle();
    counts = form->lblCount->text();
    rows = form->List->ShownRows() + 1;
    form->tblClose->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  TfrmMainHooks::DeliveryCheckProgress = nullptr;
  EXPECT_TRUE(stopClicked);
  EXPECT_EQ(label, "電子納品チェック中...");
  EXPECT_EQ(button, "中止");
  EXPECT_TRUE(modal);
  EXPECT_TRUE(refusedClose);
  // Stopped at its first report: fewer findings than the whole check makes.
  EXPECT_EQ(reports, 1);
  ASSERT_GE(rows, 2) << "no findings window";
  EXPECT_LT(static_cast<std::size_t>(rows - 1), all);
  EXPECT_EQ(title, "電子納品チェック（中止しました）");
  EXPECT_TRUE(counts.endsWith("（中止しました）")) << counts.toStdString();
  EXPECT_TRUE(prompts.Shown.empty());
  EXPECT_TRUE(w->miFileDeliveryCheck->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(w->findChild<QDialog*>("dlgDeliveryCheckProgress"), nullptr);
}

}  // namespace
}  // namespace dlvr
