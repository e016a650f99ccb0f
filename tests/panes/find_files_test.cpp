// The file search window and its folder walk, driven offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <unistd.h>

#include <functional>
#include <memory>

#include "components/ext_registry.h"
#include "panes/find_files.h"
#include "support/fixtures.h"
#include "support/qt_paths.h"

namespace dlvr {
namespace {

// Writes a screenshot for a person to look at when DLVR_SCREENSHOT_DIR names a folder.
void SaveScreenshot(QWidget* w, const QString& name) {
  const QString dir = qEnvironmentVariable("DLVR_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  w->grab().save(dir + "/" + name);
}

using test::ScratchDir;

using test::Q;

// The window and its controls, found by name.
struct Window {
  std::unique_ptr<TfrmFindFiles> form = std::make_unique<TfrmFindFiles>();
  QLabel* folder = form->findChild<QLabel*>("lblFindFolder");
  QLabel* info = form->findChild<QLabel*>("lblFindInfo");
  TBusyAnimation* animation = form->findChild<TBusyAnimation*>("anmFind");
  QPushButton* find = form->findChild<QPushButton*>("bbtFind");
  QPushButton* abort = form->findChild<QPushButton*>("bbtAbort");
  QTreeWidget* list = form->findChild<QTreeWidget*>("lvwFind");
  QPushButton* ok = form->findChild<QPushButton*>("bbtOk");
  QPushButton* cancel = form->findChild<QPushButton*>("bbtCancel");

  Window(const QString& start, const QString& pattern) {
    // Each test sizes the window itself: no placement from an earlier one.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", TExtRegistry::ProgramName()).remove("WinPos");
    form->SetStartFolder(start);
    form->SetPattern(pattern);
  }
  // Shows the window and waits for the search it starts by itself.
  bool ShowAndWait() {
    form->show();
    return QTest::qWaitFor([this] { return form->HasSearched() && !form->Searching(); }, 5000);
  }
  QStringList Names() const {
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i) names << list->topLevelItem(i)->text(0);
    return names;
  }
};

// Calls `act` with the modal search window once its first search is over.
void WhenSearched(std::function<void(TfrmFindFiles&)> act) {
  auto* timer = new QTimer;
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
    auto* form = qobject_cast<TfrmFindFiles*>(QApplication::activeModalWidget());
    if (started->elapsed() > 10000) {  // never hang the test run
      timer->deleteLater();
      if (form) form->reject();
      ADD_FAILURE() << "the search window never finished";
      return;
    }
    if (!form || !form->HasSearched() || form->Searching()) return;
    timer->stop();
    timer->deleteLater();
    act(*form);
  });
  timer->start(10);
}

void SelectRows(TfrmFindFiles& form, std::initializer_list<int> rows) {
  auto* list = form.findChild<QTreeWidget*>("lvwFind");
  for (int row : rows) list->topLevelItem(row)->setSelected(true);
}

TEST(FindFilesTest, SizesAndPatterns) {
  EXPECT_EQ(FormatFileSize(0), "0 ﾊﾞｲﾄ");
  EXPECT_EQ(FormatFileSize(1023), "1,023 ﾊﾞｲﾄ");
  EXPECT_EQ(FormatFileSize(1024), "1.0 KB");
  EXPECT_EQ(FormatFileSize(1536), "1.5 KB");
  EXPECT_EQ(FormatFileSize(1048575), "1,024.0 KB");
  EXPECT_EQ(FormatFileSize(1048576), "1.0 MB");
  EXPECT_EQ(FormatFileSize(1073741823), "1,024.0 MB");
  EXPECT_EQ(FormatFileSize(1073741824), "1.00 GB");
  EXPECT_EQ(FormatFileSize(5LL * 1024 * 1073741824), "5,120.00 GB");

  EXPECT_TRUE(MatchesFilePattern("index_c.xml", "INDEX_C.XML"));
  EXPECT_TRUE(MatchesFilePattern("Ｄ１.ｐ２１", "ｄ１.Ｐ２１"));
  EXPECT_FALSE(MatchesFilePattern("INDEX_C.XML.bak", "INDEX_C.XML"));
  EXPECT_TRUE(MatchesFilePattern("D0001.P21", "d????.p*"));
  EXPECT_FALSE(MatchesFilePattern("D001.P21", "d????.p*"));
  // Only '*' and '?' are wildcards.
  EXPECT_TRUE(MatchesFilePattern("a[1].txt", "a[1].txt"));
  EXPECT_FALSE(MatchesFilePattern("a1.txt", "a[1].txt"));
  EXPECT_FALSE(MatchesFilePattern("abc", "a.c"));
  EXPECT_TRUE(MatchesFilePattern("Makefile", "*.*"));
  EXPECT_TRUE(MatchesFilePattern("notes", "note*.*"));
  EXPECT_FALSE(MatchesFilePattern("memo", "note*.*"));
}

TEST(FindFilesTest, WalkGoesDepthFirstWithoutFollowingLinks) {
  ScratchDir dir;
  dir.WriteBytes("INDEX_C.XML", "top");
  dir.WriteBytes("b/index_c.xml", "b");
  dir.WriteBytes("b/deep/er/Index_C.Xml", "deep");
  dir.WriteBytes("a/INDEX_C.XML", "a");
  dir.WriteBytes("a/INDEX_CC.XML", "not this");
  dir.WriteBytes(".hidden/INDEX_C.XML", "hidden");
  dir.WriteBytes("C/INDEX_C.XML", "upper-case folder");
  dir.MakeDir("b/deep/er/NAMED/INDEX_C.XML");  // a folder is no file
  // A link back up, and a link to a file.
  ASSERT_EQ(::symlink(dir.Path().c_str(), (dir / "b/deep/loop").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "a/INDEX_C.XML").c_str(), (dir / "b/INDEX_C.link").c_str()), 0);
  const QString root = Q(dir.Path());

  QStringList folders, reported;
  TFolderWalkHooks hooks;
  hooks.OnFolder = [&](const QString& folder) { folders << folder.mid(root.size()); };
  hooks.OnFound = [&](const QString& file) { reported << file.mid(root.size()); };
  const QStringList found = WalkFolders(root.chopped(1), "index_c.*", hooks);
  EXPECT_EQ(folders, (QStringList{"", ".hidden/", "a/", "b/", "b/deep/", "b/deep/er/", "b/deep/er/NAMED/",
                              "b/deep/er/NAMED/INDEX_C.XML/", "C/"}));
  const QStringList expected{"INDEX_C.XML",      ".hidden/INDEX_C.XML",      "a/INDEX_C.XML", "b/INDEX_C.link",
                             "b/index_c.xml",    "b/deep/er/Index_C.Xml",    "C/INDEX_C.XML"};
  EXPECT_EQ(reported, expected);
  ASSERT_EQ(found.size(), expected.size());
  EXPECT_EQ(found.first(), root + "INDEX_C.XML");

  // Stopping from a report keeps what was found.
  int asked = 0;
  TFolderWalkHooks stopping;
  stopping.OnFound = [&](const QString&) { ++asked; };
  stopping.Continue = [&] { return asked < 2; };
  EXPECT_EQ(WalkFolders(root, "INDEX_C.XML", stopping), (QStringList{root + "INDEX_C.XML", root + ".hidden/INDEX_C.XML"}));

  // A folder that cannot be read is passed over; a missing start finds nothing.
  if (::geteuid() != 0) {
    QFile::setPermissions(Q(dir / "b"), QFileDevice::WriteOwner);
    EXPECT_EQ(WalkFolders(root, "INDEX_C.XML", {}).size(), 4);
    QFile::setPermissions(Q(dir / "b"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  EXPECT_TRUE(WalkFolders(root + "missing/", "*", {}).isEmpty());
}

TEST(FindFilesTest, ASearchWithoutResultsLeavesOkDisabled) {
  ScratchDir dir;
  dir.WriteBytes("sub/other.xml", "x");
  Window w(Q(dir / "sub"), "INDEX_C.XML");
  EXPECT_EQ(w.form->windowTitle(), "INDEX_C.XML検索");
  ASSERT_TRUE(w.folder && w.info && w.animation && w.find && w.abort && w.list && w.ok && w.cancel);
  EXPECT_EQ(w.find->text(), "検索開始");
  EXPECT_EQ(w.abort->text(), "検索中止");
  EXPECT_EQ(w.ok->text(), "OK");
  EXPECT_EQ(w.cancel->text(), "ｷｬﾝｾﾙ");
  QStringList headers;
  for (int i = 0; i < w.list->columnCount(); ++i) headers << w.list->headerItem()->text(i);
  EXPECT_EQ(headers, (QStringList{"ファイル名", "フォルダ名", "サイズ", "種類", "更新日時"}));
  EXPECT_FALSE(w.form->findChild<QLineEdit*>("edtPattern")->isVisibleTo(w.form.get()));
  // The folder label keeps 30 characters, the leading folders going first.
  const QString longName = QString(40, 'x');
  w.form->SetStartFolder("/data/" + longName);
  EXPECT_EQ(w.folder->text(), "..." + QString(26, 'x') + "/");
  EXPECT_EQ(w.folder->toolTip(), "/data/" + longName + "/");
  w.form->SetStartFolder("/data/deliveries/2024/work-123/sub");
  EXPECT_EQ(w.folder->text(), "/.../2024/work-123/sub/");
  w.form->SetStartFolder(Q(dir / "sub"));

  ASSERT_TRUE(w.ShowAndWait());
  SaveScreenshot(w.form.get(), "find_files_empty.png");
  EXPECT_EQ(w.info->text(), "何も見つかりませんでした。");
  EXPECT_EQ(w.list->topLevelItemCount(), 0);
  EXPECT_FALSE(w.ok->isEnabled());
  EXPECT_TRUE(w.find->isEnabled());
  EXPECT_TRUE(w.cancel->isEnabled());
  EXPECT_FALSE(w.abort->isEnabled());
  EXPECT_FALSE(w.animation->Active());
  // Enter without a row does nothing.
  QTest::keyClick(w.list, Qt::Key_Return);
  EXPECT_TRUE(w.form->isVisible());

  // A new search finds a file put there meanwhile.
  dir.WriteBytes("sub/x/INDEX_C.XML", "<x/>");
  w.find->click();
  EXPECT_EQ(w.info->text(), "1個のファイルが見つかりました。");
  EXPECT_EQ(w.Names(), QStringList{"INDEX_C.XML"});
}

TEST(FindFilesTest, FoundFilesAreListedAndOneIsChosen) {
  ScratchDir dir;
  dir.WriteBytes("deliv1/INDEX_C.XML", std::string(1536, 'x'));
  dir.WriteBytes("deliv2/old/index_c.xml", "<x/>");
  dir.WriteBytes("deliv2/other.txt", "x");
  Window w(Q(dir.Path()), "INDEX_C.XML");
  w.form->resize(900, 400);

  // While searching: stop only, the animation runs, one status per folder.
  QStringList states;
  QObject::connect(w.form.get(), &TfrmFindFiles::FileFound, [&](const QString&) {
    states << QString("%1%2%3%4%5")
                  .arg(w.find->isEnabled())
                  .arg(w.abort->isEnabled())
                  .arg(w.ok->isEnabled())
                  .arg(w.cancel->isEnabled())
                  .arg(w.animation->Active());
    states << w.info->text();
  });
  ASSERT_TRUE(w.ShowAndWait());
  ASSERT_EQ(states.size(), 4);
  EXPECT_EQ(states[0], "01001");
  EXPECT_EQ(states[1], "'" + Q(dir / "deliv1/") + "' 検索しています。");
  EXPECT_EQ(states[3], "'" + Q(dir / "deliv2/old/") + "' 検索しています。");

  EXPECT_EQ(w.info->text(), "2個のファイルが見つかりました。");
  SaveScreenshot(w.form.get(), "find_files_found.png");
  EXPECT_EQ(w.form->Results(), (QStringList{Q(dir / "deliv1/INDEX_C.XML"), Q(dir / "deliv2/old/index_c.xml")}));
  QTreeWidgetItem* first = w.list->topLevelItem(0);
  EXPECT_EQ(first->text(0), "INDEX_C.XML");
  EXPECT_EQ(first->text(1), Q(dir / "deliv1/"));
  EXPECT_EQ(first->text(2), "1.5 KB");
  EXPECT_TRUE(first->textAlignment(2) & Qt::AlignRight);
  EXPECT_FALSE(first->text(3).isEmpty());
  EXPECT_TRUE(QRegularExpression("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d$").match(first->text(4)).hasMatch())
      << first->text(4).toStdString();
  EXPECT_EQ(w.list->topLevelItem(1)->text(2), "4 ﾊﾞｲﾄ");
  for (int i = 0; i < 5; ++i) EXPECT_GE(w.list->header()->sectionSize(i), 50);

  // The first row carries the current mark, unselected: OK waits for a choice.
  EXPECT_EQ(w.list->currentItem(), first);
  EXPECT_FALSE(w.ok->isEnabled());
  w.list->setCurrentItem(w.list->topLevelItem(1));
  EXPECT_TRUE(w.ok->isEnabled());
  w.list->setFocus();
  QTest::keyClick(w.list, Qt::Key_Return);
  EXPECT_EQ(w.form->result(), QDialog::Accepted);
  EXPECT_EQ(w.form->Chosen(), QStringList{Q(dir / "deliv2/old/index_c.xml")});
}

TEST(FindFilesTest, StoppingOrClosingKeepsWhatWasFound) {
  ScratchDir dir;
  for (const char* folder : {"a", "b", "c", "d"}) dir.WriteBytes(std::string(folder) + "/INDEX_C.XML", "<x/>");
  Window w(Q(dir.Path()), "INDEX_C.XML");
  int found = 0;
  QObject::connect(w.form.get(), &TfrmFindFiles::FileFound, [&](const QString&) {
    if (++found == 1) w.abort->click();
  });
  ASSERT_TRUE(w.ShowAndWait());
  EXPECT_EQ(found, 1);
  EXPECT_EQ(w.info->text(), "1個のファイルが見つかりました。");
  EXPECT_EQ(w.Names(), QStringList{"INDEX_C.XML"});

  // Closing (Escape, the close button) while searching stops the search;
  // the window stays with its rows.
  found = 0;
  QObject::disconnect(w.form.get(), &TfrmFindFiles::FileFound, nullptr, nullptr);
  QObject::connect(w.form.get(), &TfrmFindFiles::FileFound, [&](const QString&) {
    if (++found == 2) {
      QTest::keyClick(w.list, Qt::Key_Escape);
      w.form->close();
    }
  });
  w.find->click();
  EXPECT_EQ(found, 2);
  EXPECT_TRUE(w.form->isVisible());
  EXPECT_EQ(w.info->text(), "2個のファイルが見つかりました。");
  w.form->close();
  EXPECT_FALSE(w.form->isVisible());

  // The window destroyed in the middle of its walk.
  auto* doomed = new TfrmFindFiles;
  QPointer<TfrmFindFiles> watch(doomed);
  doomed->SetStartFolder(Q(dir.Path()));
  doomed->SetPattern("*");
  QObject::connect(doomed, &TfrmFindFiles::FileFound, [doomed] { QTimer::singleShot(0, [doomed] { delete doomed; }); });
  doomed->StartSearch();
  EXPECT_TRUE(watch.isNull());
}

TEST(FindFilesTest, ModalSearchReturnsTheChosenFiles) {
  ScratchDir dir;
  dir.WriteBytes("one/INDEX_C.XML", "1");
  dir.WriteBytes("two/INDEX_C.XML", "2");
  dir.WriteBytes("three/INDEX_C.XML", "3");
  const QString root = Q(dir.Path());

  WhenSearched([](TfrmFindFiles& form) {
    auto* list = form.findChild<QTreeWidget*>("lvwFind");
    const QPoint at = list->visualItemRect(list->topLevelItem(2)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  });
  QString pattern = "index_c.xml";
  EXPECT_TRUE(TfrmFindFiles::FindFiles(nullptr, root, pattern));
  EXPECT_EQ(pattern, root + "two/INDEX_C.XML");  // one, three, two

  WhenSearched([](TfrmFindFiles& form) { form.findChild<QPushButton*>("bbtCancel")->click(); });
  pattern = "INDEX_C.XML";
  EXPECT_FALSE(TfrmFindFiles::FindFiles(nullptr, root, pattern));
  EXPECT_EQ(pattern, "INDEX_C.XML");

  WhenSearched([](TfrmFindFiles& form) {
    SelectRows(form, {2, 0});
    form.findChild<QPushButton*>("bbtOk")->click();
  });
  QStringList chosen{"kept"};
  EXPECT_TRUE(TfrmFindFiles::FindFiles(nullptr, root, "INDEX_C.XML", chosen));
  EXPECT_EQ(chosen, (QStringList{"kept", root + "one/INDEX_C.XML", root + "two/INDEX_C.XML"}));
}

// Receives the files the general search opens.
class Opened : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> Urls;
 public slots:
  void Open(const QUrl& url) { Urls << url; }
};

TEST(FindFilesTest, GeneralSearchTakesTheUsersPatternAndOpensTheFile) {
  ScratchDir dir;
  dir.WriteBytes("docs/report.pdf", "%PDF");
  dir.WriteBytes("docs/notes.txt", "x");
  const QByteArray home = qgetenv("HOME");
  qputenv("HOME", QByteArray::fromStdString(dir.Path()));
  Opened opened;
  QDesktopServices::setUrlHandler("file", &opened, "Open");

  bool searchedUnasked = true;
  QTimer::singleShot(200, [&] {
    auto* form = qobject_cast<TfrmFindFiles*>(QApplication::activeModalWidget());
    if (!form) return ADD_FAILURE() << "no search window";
    searchedUnasked = form->HasSearched();
    EXPECT_NE(form->windowTitle(), "INDEX_C.XML検索");
    auto* pattern = form->findChild<QLineEdit*>("edtPattern");
    EXPECT_TRUE(pattern->isVisible());
    EXPECT_EQ(pattern->text(), "*");
    pattern->setText("*.PDF");
    QTest::keyClick(pattern, Qt::Key_Return);
    EXPECT_EQ(form->Results(), QStringList{Q(dir / "docs/report.pdf")});
    SelectRows(*form, {0});
    form->findChild<QPushButton*>("bbtOk")->click();
  });
  TfrmFindFiles::FindGeneral(nullptr);
  QDesktopServices::unsetUrlHandler("file");
  qputenv("HOME", home);
  EXPECT_FALSE(searchedUnasked);
  EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile(Q(dir / "docs/report.pdf"))});
}

TEST(FindFilesTest, ColumnWidthsAreKept) {
  TExtRegistry registry("frmFindFiles");
  registry.WriteInteger("ColumnWidth_0", 180);
  registry.WriteInteger("ColumnWidth_1", 10);         // below the least width
  registry.WriteInteger("ColumnWidth_2", -9999999);   // stands for "not stored"
  registry.WriteString("ColumnWidth_3", "wide");
  {
    TfrmFindFiles form;
    QHeaderView* header = form.findChild<QTreeWidget*>("lvwFind")->header();
    EXPECT_EQ(header->sectionSize(0), 180);
    EXPECT_EQ(header->sectionSize(1), 50);
    EXPECT_EQ(header->sectionSize(2), 100);
    EXPECT_EQ(header->sectionSize(3), 100);
    EXPECT_EQ(header->sectionSize(4), 100);
    header->resizeSection(4, 240);
  }
  EXPECT_EQ(registry.ReadInteger("ColumnWidth_0", 0), 180);
  EXPECT_EQ(registry.ReadInteger("ColumnWidth_3", 0), 100);
  EXPECT_EQ(registry.ReadInteger("ColumnWidth_4", 0), 240);
  TfrmFindFiles again;
  EXPECT_EQ(again.findChild<QTreeWidget*>("lvwFind")->header()->sectionSize(4), 240);
}

}  // namespace
}  // namespace dlvr

#include "find_files_test.moc"
#include "support/qstring_print.h"
