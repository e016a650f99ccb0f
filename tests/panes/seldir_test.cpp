// The folder selection dialog and its folder tree, driven offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidgetItemIterator>
#include <QUrl>

#include <memory>

#include "panes/find_files.h"
#include "panes/folder_view.h"
#include "panes/seldir.h"
#include "components/ext_registry.h"
#include <QSettings>
#include "platform/drive.h"
#include "platform/fileio.h"
#include "support/fixtures.h"
#include "support/qstring_print.h"
#include "support/qt_paths.h"

// Readable failure messages for Qt strings.
static void PrintTo(const QRect& r, std::ostream* os) {
  *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace dlvr {
namespace {

using test::ScratchDir;
using test::ScriptedPrompts;

using test::Q;
// A scratch path without its trailing '/', as the tree names folders.
QString Folder(const ScratchDir& dir, const std::string& relative = "") {
  return QDir::cleanPath(Q(dir / relative));
}

// A shown dialog and its controls, found by name.
struct Dialog {
  std::unique_ptr<TfrmSelDir> form = std::make_unique<TfrmSelDir>();
  QToolButton* ok = form->findChild<QToolButton*>("btnOK");
  QToolButton* cancel = form->findChild<QToolButton*>("btnCancel");
  QToolButton* find = form->findChild<QToolButton*>("bbtFind");
  QLineEdit* edit = form->findChild<QLineEdit*>("EdtDir");
  TFolderViewLT* tree = form->findChild<TFolderViewLT*>("fvlSelDir");

  explicit Dialog(const QString& initial, int width = 900) {
    // Each test sizes the dialog itself: no placement from an earlier one.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", TExtRegistry::ProgramName()).remove("WinPos");
    form->SetInitialPath(initial);
    form->resize(width, 420);
    form->show();
  }
  QTreeWidgetItem* Item(const QString& path) const {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
      if (FolderItemPath(*it) == path) return *it;
    return nullptr;
  }
  QStringList ChildNames(const QString& path) const {
    QStringList names;
    if (QTreeWidgetItem* item = Item(path))
      for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
  }
};

// Nested folders below `base` whose full path is exactly `length` characters,
// each name made of `fill` (a character of the basic plane).
QString MakeFolderOfLength(const QString& base, int length, const QString& fill) {
  QString path = base;
  while (path.size() < length) {
    int room = int(length - path.size() - 1);  // after the '/'
    path += '/' + QString(fill).repeated(std::min(room, 80));
  }
  QDir().mkpath(path);
  return path;
}

TEST(SelDirTest, OpensOnTheDeliveryFolderWithEveryControl) {
  const QString clean = QDir::cleanPath(Q(test::SamplePath("clean")));
  Dialog d(clean);

  EXPECT_EQ(d.form->windowTitle(), "フォルダ選択");
  ASSERT_TRUE(d.ok && d.cancel && d.find && d.edit && d.tree);
  EXPECT_EQ(d.ok->text(), "決定");
  EXPECT_EQ(d.cancel->text(), "ｷｬﾝｾﾙ");
  EXPECT_EQ(d.find->text(), "検索");
  auto* status = d.form->findChild<QStatusBar*>("StatusBar1");
  ASSERT_TRUE(status && status->findChild<QLabel*>());
  EXPECT_EQ(status->findChild<QLabel*>()->text(), "240文字を超えるフォルダは、データフォルダとして設定できません。");

  EXPECT_EQ(d.tree->CurrentPath(), clean);
  EXPECT_TRUE(d.Item(clean)->parent()->isExpanded());
  EXPECT_TRUE(d.ok->isEnabled());
  // The file search works on any existing folder.
  EXPECT_TRUE(d.find->isEnabled());
  EXPECT_EQ(d.edit->text(), clean + "/");
  // The tree has the focus; the path field takes it only when clicked.
  ASSERT_TRUE(QTest::qWaitForWindowActive(d.form.get()));
  EXPECT_EQ(QApplication::focusWidget(), d.tree);

  // A folder whose file system cannot be queried is refused; the dialog stays.
  ScriptedPrompts prompts;
  SetMediaReadyOverride([](const std::string&) { return false; });
  d.ok->click();
  SetMediaReadyOverride(nullptr);
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "選択されたフォルダにアクセスできません。\r別のフォルダを指定してください。");
  EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Warning);
  EXPECT_TRUE(d.form->isVisible());
  EXPECT_FALSE(d.form->Confirmed());

  // Enter in the tree decides.
  QTest::keyClick(d.tree, Qt::Key_Return);
  EXPECT_EQ(d.form->result(), QDialog::Accepted);
  EXPECT_TRUE(d.form->Confirmed());
  EXPECT_EQ(d.form->Path(), clean + "/");
}

// A path typed or pasted into the path field is gone to with Enter or
// "決定", and decided on when it is a delivery folder; one that is no folder
// is refused as an inaccessible one; leaving the field drops what was typed.
TEST(SelDirTest, APathTypedIntoThePathFieldIsGoneToAndDecidedOn) {
  ScratchDir dir;
  dir.WriteBytes("deliv/INDEX_C.XML", "<x/>");
  dir.MakeDir("plain/sub");
  const QString deliv = Folder(dir, "deliv"), plain = Folder(dir, "plain");
  enum class Then { Enter, Decide, LeaveField };
  struct Case {
    const char* what;
    QString typed;
    Then then;
    QString treeAfter;  // the tree's folder afterwards
    bool decided;
    bool warned;
  };
  const std::vector<Case> cases = {
      {"a delivery folder", deliv, Then::Enter, deliv, true, false},
      {"with a trailing slash and blanks", "  " + deliv + "/  ", Then::Enter, deliv, true, false},
      {"quoted", '"' + deliv + '"', Then::Enter, deliv, true, false},
      {"a file URL", QUrl::fromLocalFile(deliv).toString(), Then::Enter, deliv, true, false},
      {"its management file", deliv + "/INDEX_C.XML", Then::Enter, deliv, true, false},
      {"decided with the button", deliv, Then::Decide, deliv, true, false},
      {"a folder that is no delivery", plain + "/sub", Then::Enter, plain + "/sub", false, false},
      {"no folder at all", plain + "/nothing", Then::Enter, plain, false, true},
      {"typed and left", deliv, Then::LeaveField, plain, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedPrompts prompts;
    Dialog d(plain);
    ASSERT_TRUE(QTest::qWaitForWindowActive(d.form.get()));
    // Clicked, the field shows the whole path, selected to type over.
    QTest::mouseClick(d.edit, Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), d.edit);
    QApplication::processEvents();
    EXPECT_EQ(d.edit->selectedText(), plain + "/");
    QTest::keyClick(d.edit, Qt::Key_Backspace);
    QTest::keyClicks(d.edit, c.typed);
    // "決定" follows the path typed.
    EXPECT_EQ(d.ok->isEnabled(), c.decided || c.then == Then::LeaveField);
    switch (c.then) {
      case Then::Enter:
        QTest::keyClick(d.edit, Qt::Key_Return);
        break;
      case Then::Decide:
        QTest::mouseClick(d.ok, Qt::LeftButton);
        break;
      case Then::LeaveField:
        QTest::mouseClick(d.tree->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(-100, -100));
        d.tree->setFocus(Qt::MouseFocusReason);
        break;
    }
    EXPECT_EQ(d.tree->CurrentPath(), c.treeAfter);
    EXPECT_EQ(d.form->Confirmed(), c.decided);
    if (c.decided) {
      EXPECT_EQ(d.form->Path(), deliv + "/");
    }
    ASSERT_EQ(prompts.Shown.size(), c.warned ? 1u : 0u);
    if (c.warned) {
      EXPECT_EQ(prompts.Shown[0].Text, "選択されたフォルダにアクセスできません。\r別のフォルダを指定してください。");
      EXPECT_EQ(d.edit->text(), c.typed) << "what was typed stays to be corrected";
    }
    if (c.then == Then::LeaveField) {
      EXPECT_EQ(d.edit->text(), plain + "/");
      EXPECT_FALSE(d.ok->isEnabled());
    }
  }
}

TEST(SelDirTest, DecideNeedsTheManagementFileInAnyCase) {
  ScratchDir dir;
  dir.MakeDir("plain/sub");
  dir.WriteBytes("lower/index_c.xml", "<x/>");
  dir.MakeDir("named/INDEX_C.XML");  // a folder of that name is no management file
  dir.WriteBytes(".hidden/deliv/INDEX_C.XML", "<x/>");
  ScriptedPrompts prompts;

  Dialog d(Folder(dir, "plain"));
  EXPECT_FALSE(d.ok->isEnabled());
  EXPECT_EQ(d.ChildNames(Folder(dir, "plain")), QStringList{"sub"});
  // Enter with "決定" disabled neither closes nor asks anything.
  QTest::keyClick(d.tree, Qt::Key_Return);
  EXPECT_TRUE(d.form->isVisible());
  EXPECT_FALSE(d.form->Confirmed());

  EXPECT_TRUE(d.tree->SetPath(Folder(dir, "lower")));
  EXPECT_TRUE(d.ok->isEnabled());
  EXPECT_TRUE(d.tree->SetPath(Folder(dir, "named")));
  EXPECT_FALSE(d.ok->isEnabled());

  // A hidden folder is not listed but can still be opened on.
  EXPECT_FALSE(d.ChildNames(Folder(dir)).contains(".hidden"));
  EXPECT_TRUE(d.tree->SetPath(Folder(dir, ".hidden/deliv")));
  EXPECT_TRUE(d.ok->isEnabled());

  // Moving with the keyboard re-judges the button.
  d.tree->setFocus();
  EXPECT_TRUE(d.tree->SetPath(Folder(dir, "lower")));
  QTest::keyClick(d.tree, Qt::Key_Down);  // to "named"
  EXPECT_EQ(d.tree->CurrentPath(), Folder(dir, "named"));
  EXPECT_FALSE(d.ok->isEnabled());

  // Escape cancels.
  QTest::keyClick(d.tree, Qt::Key_Escape);
  EXPECT_EQ(d.form->result(), QDialog::Rejected);
  EXPECT_FALSE(d.form->Confirmed());
  EXPECT_TRUE(prompts.Shown.empty());
}

TEST(SelDirTest, PathLengthRuleCountsCharacters) {
  ScratchDir dir;
  ScriptedPrompts prompts;
  const QString base = Folder(dir);
  // 240 characters, most of them double-byte: within the rule.
  const QString at240 = MakeFolderOfLength(base, 240, "あ");
  ASSERT_EQ(at240.size(), 240);
  dir.WriteBytes((at240.mid(base.size() + 1) + "/INDEX_C.XML").toStdString(), "<x/>");
  const QString at241 = MakeFolderOfLength(base, 241, "い");
  ASSERT_EQ(at241.size(), 241);
  dir.WriteBytes((at241.mid(base.size() + 1) + "/INDEX_C.XML").toStdString(), "<x/>");

  Dialog d(at240);
  EXPECT_TRUE(d.ok->isEnabled());
  EXPECT_TRUE(prompts.Shown.empty());

  EXPECT_TRUE(d.tree->SetPath(at241));
  EXPECT_FALSE(d.ok->isEnabled());
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "240文字を超えるフォルダは設定できません。");
  EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Warning);
  QTest::keyClick(d.tree, Qt::Key_Return);
  EXPECT_FALSE(d.form->Confirmed());

  // Without a limit the same folder can be chosen.
  d.form->SetPathLimit(0);
  EXPECT_TRUE(d.ok->isEnabled());
  EXPECT_TRUE(d.form->findChild<QStatusBar*>("StatusBar1")->findChild<QLabel*>()->text().isEmpty());
}

TEST(SelDirTest, F5RebuildsTheTreeKeepingTheSelection) {
  ScratchDir dir;
  dir.WriteBytes("deliv/INDEX_C.XML", "<x/>");
  dir.MakeDir("deliv/OLD");
  Dialog d(Folder(dir, "deliv"));
  EXPECT_EQ(d.ChildNames(Folder(dir, "deliv")), QStringList{"OLD"});

  dir.MakeDir("deliv/NEW");
  QTest::keyClick(d.tree, Qt::Key_F5);
  EXPECT_EQ(d.tree->CurrentPath(), Folder(dir, "deliv"));
  EXPECT_EQ(d.ChildNames(Folder(dir, "deliv")), (QStringList{"NEW", "OLD"}));
  EXPECT_TRUE(d.ok->isEnabled());

  // A selected folder that has gone leaves its nearest parent selected.
  ASSERT_TRUE(d.tree->SetPath(Folder(dir, "deliv/NEW")));
  QDir(Folder(dir, "deliv/NEW")).removeRecursively();
  QTest::keyClick(d.tree, Qt::Key_F5);
  EXPECT_EQ(d.tree->CurrentPath(), Folder(dir, "deliv"));
  EXPECT_TRUE(d.ok->isEnabled());
}

TEST(SelDirTest, AFolderThatCannotBeReadSendsTheSelectionBack) {
  ScratchDir dir;
  dir.MakeDir("a/gone");
  Dialog d(Folder(dir, "a"));
  QSignalSpy noFolder(d.tree, &TFolderViewLT::NoFD);
  QTreeWidgetItem* gone = d.Item(Folder(dir, "a/gone"));
  ASSERT_NE(gone, nullptr);
  QDir(Folder(dir, "a/gone")).removeRecursively();

  d.tree->setCurrentItem(gone);
  QApplication::processEvents();
  ASSERT_EQ(noFolder.count(), 1);
  EXPECT_EQ(noFolder[0][0].toString(), Folder(dir, "a/gone"));
  EXPECT_EQ(d.tree->CurrentPath(), Folder(dir, "a"));
}

TEST(SelDirTest, ANonExistentStartFolderOpensOnTheDocumentsFolder) {
  ScratchDir dir;
  dir.WriteBytes("file.txt", "x");
  Dialog d(Folder(dir, "missing"));
  const QString current = d.tree->CurrentPath();
  const QString docs = QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
  EXPECT_TRUE(current == docs || current == QDir::cleanPath(QDir::homePath())) << current.toStdString();

  // What is not a folder is refused and leaves the selection alone.
  QSignalSpy errors(d.tree, &TFolderViewLT::ErrPath);
  QSignalSpy changes(d.tree, &TFolderViewLT::ChangePath);
  EXPECT_FALSE(d.tree->SetPath(Q(dir / "file.txt")));
  EXPECT_FALSE(d.tree->SetPath(Q(dir / "missing")));
  EXPECT_EQ(errors.count(), 2);
  EXPECT_EQ(changes.count(), 0);
  EXPECT_EQ(d.tree->CurrentPath(), current);
}

TEST(SelDirTest, MouseDoubleClickExpandsAFolder) {
  ScratchDir dir;
  dir.MakeDir("top/mid/low");
  Dialog d(Folder(dir, "top"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.form.get()));
  auto doubleClick = [&](const QString& path) {
    QTreeWidgetItem* item = d.Item(path);
    if (!item) return false;
    d.tree->scrollToItem(item);
    const QPoint at = d.tree->visualItemRect(item).center();
    QTest::mouseClick(d.tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(d.tree->viewport(), Qt::LeftButton, {}, at);
    return item->isExpanded();
  };
  // The start folder is selected, not opened.
  EXPECT_FALSE(d.Item(Folder(dir, "top"))->isExpanded());
  EXPECT_TRUE(doubleClick(Folder(dir, "top")));
  EXPECT_TRUE(doubleClick(Folder(dir, "top/mid")));
  EXPECT_EQ(d.tree->CurrentPath(), Folder(dir, "top/mid"));
  EXPECT_EQ(d.ChildNames(Folder(dir, "top/mid")), QStringList{"low"});
}

TEST(SelDirTest, SearchButtonRunsTheInstalledSearch) {
  ScratchDir dir;
  dir.MakeDir("start/here");
  dir.WriteBytes("start/found/INDEX_C.XML", "<x/>");
  Dialog d(Folder(dir, "start/here"));
  EXPECT_TRUE(d.find->isEnabled());
  // Without a search the button is off.
  d.form->SetFindHandler(nullptr);
  EXPECT_FALSE(d.find->isEnabled());

  QString askedFolder, askedPattern;
  d.form->SetFindHandler([&](QWidget*, const QString& folder, const QString& pattern, QString& chosen) {
    askedFolder = folder;
    askedPattern = pattern;
    chosen = Folder(dir, "start/found") + "/INDEX_C.XML";
    return true;
  });
  ASSERT_TRUE(d.find->isEnabled());
  d.find->click();
  EXPECT_EQ(askedFolder, Folder(dir, "start") + "/");
  EXPECT_EQ(askedPattern, "INDEX_C.XML");
  EXPECT_EQ(d.tree->CurrentPath(), Folder(dir, "start/found"));
  EXPECT_TRUE(d.ok->isEnabled());
}

TEST(SelDirTest, SearchButtonOpensTheFileSearchWindow) {
  ScratchDir dir;
  dir.MakeDir("start/here");
  dir.WriteBytes("start/found/deep/INDEX_C.XML", "<x/>");
  dir.WriteBytes("start/here/other.xml", "<x/>");
  dir.WriteBytes("elsewhere/INDEX_C.XML", "<x/>");  // beside the parent: not searched
  Dialog d(Folder(dir, "start/here"));
  ASSERT_TRUE(d.find->isEnabled());
  EXPECT_FALSE(d.ok->isEnabled());

  // The window searches the parent for INDEX_C.XML; its only row is chosen.
  QString caption, folderShown;
  QStringList rows;
  auto* poll = new QTimer(d.form.get());
  QObject::connect(poll, &QTimer::timeout, [&, poll] {
    auto* search = qobject_cast<TfrmFindFiles*>(QApplication::activeModalWidget());
    if (!search || !search->HasSearched() || search->Searching()) return;
    poll->stop();
    caption = search->windowTitle();
    folderShown = search->findChild<QLabel*>("lblFindFolder")->toolTip();
    auto* list = search->findChild<QTreeWidget*>("lvwFind");
    for (int i = 0; i < list->topLevelItemCount(); ++i) rows << list->topLevelItem(i)->text(1);
    if (list->topLevelItemCount() > 0) list->topLevelItem(0)->setSelected(true);
    search->findChild<QPushButton*>("bbtOk")->click();
    if (search->isVisible()) search->reject();
  });
  poll->start(10);
  d.find->click();
  EXPECT_EQ(caption, "INDEX_C.XML検索");
  EXPECT_EQ(folderShown, Folder(dir, "start") + "/");
  EXPECT_EQ(rows, QStringList{Folder(dir, "start/found/deep") + "/"});
  EXPECT_EQ(d.tree->CurrentPath(), Folder(dir, "start/found/deep"));
  EXPECT_TRUE(d.ok->isEnabled());
}

TEST(SelDirTest, ExecuteReturnsTheChosenFolderWithTrailingSlash) {
  const QString clean = QDir::cleanPath(Q(test::SamplePath("clean")));
  for (bool decide : {true, false}) {
    QTimer::singleShot(0, [decide] {
      QWidget* modal = QApplication::activeModalWidget();
      ASSERT_NE(modal, nullptr);
      modal->findChild<QToolButton*>(decide ? "btnOK" : "btnCancel")->click();
    });
    QString chosen = "unchanged";
    EXPECT_EQ(TfrmSelDir::Execute(nullptr, clean + "/", chosen), decide);
    EXPECT_EQ(chosen, decide ? clean + "/" : QString("unchanged"));
  }
}

// The other media of the chosen folder's delivery found beside it are named
// under the path (those the viewer would offer to load), and only there.
TEST(SelDirTest, NamesTheOtherMediaOfTheDeliveryBesideTheFolder) {
  ScratchDir dir;
  test::CopyTree(test::SamplePath("multi"), dir / "archive");
  // Another record of the same 工事番号: not one the viewer takes as a medium.
  dir.MakeDir("other");
  test::CopyTree(test::SamplePath("multi/MEDIA2"), dir / "other/MEDIA2");
  test::CopyTree(test::SamplePath("multi/MEDIA1"), dir / "other/MEDIA1");
  std::string other;
  ASSERT_TRUE(ReadWholeFile(dir / "other/MEDIA2/INDEX_C.XML", other));
  const std::string from = "Ver.1.0.3", to = "Ver.1.0.4";
  ASSERT_NE(other.find(from), std::string::npos);
  other.replace(other.find(from), from.size(), to);
  dir.WriteBytes("other/MEDIA2/INDEX_C.XML", other);
  struct Case {
    std::string Folder;
    QString Shown;
  };
  const std::vector<Case> cases = {
      {"archive/MEDIA1", "同じ工事の媒体: MEDIA2（メディア番号 2）"},
      {"archive/MEDIA2", "同じ工事の媒体: MEDIA1（メディア番号 1）"},
      {"archive", ""},
      {"other/MEDIA1", ""},
  };
  Dialog d(Folder(dir, "archive/MEDIA1"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Folder);
    ASSERT_TRUE(d.tree->SetPath(Folder(dir, c.Folder)));
    QLabel* label = d.form->findChild<QLabel*>("lblSiblings");
    ASSERT_EQ(label, d.form->SiblingLabel());
    EXPECT_EQ(label->text(), c.Shown);
    EXPECT_EQ(label->isVisible(), !c.Shown.isEmpty());
  }
}

// The dialog opens where it was last closed, at the size it had; never
// closed before, it opens centred on the screen at its own size.
TEST(SelDirTest, OpensWhereItWasLastClosedElseCentred) {
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", TExtRegistry::ProgramName()).remove("WinPos");
  const QString clean = QDir::cleanPath(Q(test::SamplePath("clean")));
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect centred(area.topLeft() + QPoint((area.width() - 500) / 2, (area.height() - 400) / 2), QSize(500, 400));
  const QRect moved(area.topLeft() + QPoint(30, 20), QSize(520, 410));
  struct Case {
    const char* what;
    QRect shown;
  };
  // Each dialog is moved to `moved` and cancelled, so each after the first
  // finds that placement stored.
  for (const Case& c : {Case{"none stored", centred}, Case{"stored", moved}, Case{"stored again", moved}}) {
    SCOPED_TRACE(c.what);
    TfrmSelDir form;
    form.SetInitialPath(clean);
    form.resize(500, 400);
    form.show();
    EXPECT_EQ(QRect(form.pos(), form.size()), c.shown);
    EXPECT_EQ(form.FolderView()->CurrentPath(), clean);
    form.move(moved.topLeft());
    form.resize(moved.size());
    form.reject();
    EXPECT_FALSE(form.isVisible());
  }
}

TEST(SelDirTest, PathDisplayShortensFromTheFront) {
  // One unit per character keeps the steps easy to follow.
  auto chars = [](const QString& s) { return int(s.size()); };
  EXPECT_EQ(ShortenPath("/aa/bb/cc/", 10, chars), "/aa/bb/cc/");
  EXPECT_EQ(ShortenPath("/aa/bb/cc/", 9, chars), "/.../cc/");
  EXPECT_EQ(ShortenPath("/aa/bb/cc/", 4, chars), ".../");
  EXPECT_EQ(ShortenPath("/aa/bb/cc/", 3, chars), "");
  EXPECT_EQ(ShortenPath("/aa/bb/name.txt", 13, chars), "/.../name.txt");
  // The file name itself is never cut.
  EXPECT_EQ(ShortenPath("/aa/bb/name.txt", 2, chars), "name.txt");

  // In the dialog the display follows the edit's width.
  ScratchDir dir;
  dir.MakeDir("a-rather-long-folder-name/another-long-folder-name/deliv");
  const QString target = Folder(dir, "a-rather-long-folder-name/another-long-folder-name/deliv");
  Dialog d(target, 420);
  const QString shown = d.edit->text();
  EXPECT_TRUE(shown.startsWith("/.../")) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith("/deliv/")) << shown.toStdString();
  EXPECT_LT(d.edit->fontMetrics().horizontalAdvance(shown), d.edit->width());
  d.form->resize(2000, 420);
  EXPECT_EQ(d.edit->text(), target + "/");
}

TEST(FolderViewTest, TopLevelListsHomeMediaAndTheRoot) {
  TFolderViewLT tree;
  QStringList paths;
  for (int i = 0; i < tree.topLevelItemCount(); ++i) paths << FolderItemPath(tree.topLevelItem(i));
  ASSERT_GE(paths.size(), 2);
  EXPECT_EQ(paths.first(), QDir::cleanPath(QDir::homePath()));
  EXPECT_EQ(paths.last(), "/");
  EXPECT_TRUE(tree.IsVirtual());

  const QString table =
      "sysfs /sys sysfs rw 0 0\n"
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sr0 /media/user/DISC\\040ONE iso9660 ro 0 0\n"
      "/dev/sdb1 /run/media/user/USB vfat rw 0 0\n"
      "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
      "/dev/sdd1 /mnt ext4 rw 0 0\n"
      "/dev/sr1 /srv/cd udf ro 0 0\n"
      "tmpfs /run/user/1000 tmpfs rw 0 0\n"
      "/dev/sr0 /media/user/DISC\\040ONE iso9660 ro 0 0\n";
  EXPECT_EQ(TFolderViewLT::MediaMountPoints(table),
            (QStringList{"/media/user/DISC ONE", "/mnt/backup", "/run/media/user/USB", "/srv/cd"}));
}

}  // namespace
}  // namespace dlvr
