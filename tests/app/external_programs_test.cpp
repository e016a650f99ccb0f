#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <filesystem>

#include "app/desktop_windows.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "components/ext_registry.h"
#include "panes/photo_view.h"
#include "panes/xml_pane.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "support/fixtures.h"
#include "support/main_window.h"
#include "support/wait.h"

namespace dlvr {
namespace {

namespace fs = std::filesystem;

using test::Q;

// A window list with one window of another viewer that was started before;
// it records the close requests.
class TOtherViewerWindows : public TDesktopWindows {
 public:
  bool Available() const override { return true; }
  std::vector<TDesktopWindow> List() override { return {{1, "端末"}, {2, "Fotoria XML ビューア"}}; }
  bool RequestClose(std::uint32_t id) override {
    Closed.push_back(id);
    return true;
  }
  std::vector<std::uint32_t> Closed;
};

class ExternalProgramsTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;
  ExternalProgramsTest() {
    prompts.Fallback = DialogAnswer::Ok;
    savedProgramDir = ProgramDir();
    programDir = dir.MakeDir("program") + "/";
    SetProgramDir(programDir);
    media = dir.MakeDir("cd") + "/";
    test::CopyTree(test::SamplePath("multi") + "/MEDIA2", media);
    log = Q(dir / "viewer.log");
    qputenv("DLVR_STANDIN_LOG", log.toLocal8Bit());
  }
  ~ExternalProgramsTest() override {
    SetDesktopWindows(nullptr);
    SetProgramDir(savedProgramDir);
    qunsetenv("DLVR_STANDIN_LOG");
    qunsetenv("DLVR_STANDIN_MODE");
  }

  // The stand-in copied into the program's folder under the viewer's name.
  void InstallViewer(const char* name = "QLNView.EXE") {
#ifdef DLVR_STAND_IN_VIEWER
    const QString target = Q(programDir) + name;
    ASSERT_TRUE(QFile::copy(DLVR_STAND_IN_VIEWER, target));
    QFile::setPermissions(target, QFile::permissions(target) | QFile::ExeOwner);
#else
    GTEST_SKIP() << "no stand-in viewer in this build";
#endif
  }
  std::unique_ptr<TfrmMain> Open() {
    return test::OpenMainWindow(Q(media), 900, 600);
  }
  QString Log() {
    QFile f(log);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }

  test::ScratchDir dir;
  test::ScriptedPrompts prompts;
  std::string savedProgramDir, programDir, media;
  QString log;
};

// Receives what the desktop is asked to open.
class TUrlCatcher : public QObject {
  Q_OBJECT
 public slots:
  void Open(const QUrl& url) { Urls << url; }

 public:
  QList<QUrl> Urls;
};

TEST_F(ExternalProgramsTest, TheFileManagerOpensOnTheDeliveryFolder) {
  // The desktop has a file manager (the user's data folder is the tests' own).
  const QString apps = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/applications";
  QDir().mkpath(apps);
  QFile entry(apps + "/files.desktop");
  ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
  entry.write("[Desktop Entry]\nType=Application\nName=Files\nExec=files %U\nMimeType=inode/directory;\n");
  entry.close();
  TUrlCatcher catcher;
  QDesktopServices::setUrlHandler("file", &catcher, "Open");
  auto w = Open();
  w->miProgExplorer->trigger();
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(catcher.Urls.size(), 1);
  EXPECT_EQ(catcher.Urls[0].toLocalFile(), Q(media));
  EXPECT_TRUE(prompts.Shown.empty());
}

// The viewer is looked up at every load: installed while the window is
// open, the refresh (F5) or a newly chosen folder finds it; removed, the
// command opens the photo window of the viewer's own again.
TEST_F(ExternalProgramsTest, TheViewerIsLookedUpAtEveryLoad) {
  auto w = Open();
  EXPECT_FALSE(w->PhotoViewerPresent);
  ASSERT_TRUE(w->miProgXMLViewer->isEnabled());
  w->miProgXMLViewer->trigger();
  EXPECT_EQ(w->ViewerProcess, 0);
  ASSERT_TRUE(w->frmPhotoView);
  w->frmPhotoView->close();
  ASSERT_TRUE(test::WaitUntil([&] { return !w->frmPhotoView; }, 2000));
  InstallViewer();
  w->miViewRefresh->trigger();
  EXPECT_TRUE(w->PhotoViewerPresent);
  EXPECT_TRUE(w->miProgXMLViewer->isEnabled());
  ASSERT_TRUE(QFile::remove(Q(programDir) + "QLNView.EXE"));
  w->LoadMedia(Q(media));
  EXPECT_FALSE(w->PhotoViewerPresent);
  EXPECT_TRUE(w->miProgXMLViewer->isEnabled());
  EXPECT_EQ(w->ViewerProcess, 0);
  EXPECT_FALSE(w->frmPhotoView);
}

// With the viewer program, the XML pane keeps its message and question, and
// the command starts the program: no photo window of the viewer's own.
// Without it, a medium in the drive that has no photo management file makes
// the command name the media that have one, as it does for the program.
TEST_F(ExternalProgramsTest, ThePhotoWindowServesOnlyWithoutTheProgram) {
  InstallViewer();
  qputenv("DLVR_STANDIN_MODE", "exit");
  auto w = Open();
  ASSERT_TRUE(w->PhotoViewerPresent);
  prompts.Answers = {DialogAnswer::No};
  w->SelectItem(w->Model().View.FindClassNode(5));
  EXPECT_EQ(w->frmXML->Message(), "写真閲覧ソフトにてご確認ください。");
  EXPECT_FALSE(w->frmXML->btnPhotoView->isVisible());
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "写真閲覧ソフトを起動します。\r\rよろしいですか？");
  w->miProgXMLViewer->trigger();
  EXPECT_NE(w->ViewerProcess, 0);
  EXPECT_FALSE(w->frmPhotoView);
  ASSERT_TRUE(test::WaitUntil([&] { return !ProcessRunning(w->ViewerProcess); }, 5000));

  ASSERT_TRUE(QFile::remove(Q(programDir) + "QLNView.EXE"));
  fs::remove_all(media);
  test::CopyTree(test::SamplePath("multi") + "/MEDIA1", media);
  fs::remove(ResolveCase(media + "PHOTO/PHOTO.XML"));
  w->LoadMedia(Q(media));  // medium 1 of the delivery, in the drive medium 2 was read from
  ASSERT_FALSE(w->PhotoViewerPresent);
  ASSERT_TRUE(w->miProgXMLViewer->isEnabled());
  prompts.Shown.clear();
  w->miProgXMLViewer->trigger();
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text,
            "現在のメディアに 'PHOTO.XML' がありません。\r\r2枚目のメディアを挿入し更新を行ってください。");
  EXPECT_FALSE(w->frmPhotoView);
}

TEST_F(ExternalProgramsTest, ExitIsRefusedUntilAViewerThatShowsNoWindowHasEnded) {
  InstallViewer();
  qputenv("DLVR_STANDIN_MODE", "exit");
  TOtherViewerWindows windows;
  SetDesktopWindows(&windows);
  auto w = Open();
  ASSERT_TRUE(w->miProgXMLViewer->isEnabled());
  w->miProgXMLViewer->trigger();
  ASSERT_NE(w->ViewerProcess, 0);
  EXPECT_FALSE(w->miExit->isEnabled());
  EXPECT_TRUE(w->CloseTimer->isActive());
  // One viewer at a time: the command waits until the started one ends.
  const qint64 first = w->ViewerProcess;
  EXPECT_FALSE(w->miProgXMLViewer->isEnabled());
  w->miProgXMLViewer->trigger();
  EXPECT_EQ(w->ViewerProcess, first);

  // The folder the viewer is to open, in its own settings.
  TExtRegistry viewer;
  viewer.UseAppName = false;
  viewer.SetSection("QLNXMLViewer\\FrmViewer");
  EXPECT_EQ(viewer.ReadString("Directory", ""), Q(ResolveCase(media + "PHOTO")) + "/");

  w->CloseTimerTimer();  // still running, no window of it seen
  QCoreApplication::processEvents();
  EXPECT_FALSE(w->miExit->isEnabled());
  EXPECT_FALSE(w->close());
  EXPECT_TRUE(w->isVisible());

  ASSERT_TRUE(test::WaitUntil([&] { return !ProcessRunning(w->ViewerProcess); }, 5000));
  EXPECT_TRUE(test::WaitUntil([&] { return w->miExit->isEnabled(); }, 3000)) << "the close timer gives exit back";
  EXPECT_TRUE(test::WaitUntil([&] { return w->miProgXMLViewer->isEnabled(); }, 2000)) << "the timer gives the command back";
  EXPECT_TRUE(Log().contains("exit"));
  EXPECT_TRUE(w->close());
  EXPECT_TRUE(windows.Closed.empty()) << "the other viewer's window is left alone";
}

TEST_F(ExternalProgramsTest, AStartFailureIsReportedAndExitStaysEnabled) {
  // Found by its second name, but not a program that can run.
  ASSERT_TRUE(WriteWholeFile(programDir + "QLNXMLViewer.EXE", "not a program"));
  auto w = Open();
  ASSERT_TRUE(w->miProgXMLViewer->isEnabled());
  w->miProgXMLViewer->trigger();
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "XMLビューアが起動できませんでした。");
  EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Error);
  EXPECT_EQ(w->ViewerProcess, 0);
  EXPECT_TRUE(w->miExit->isEnabled());
}

TEST_F(ExternalProgramsTest, AnotherMediumInTheDriveNamesTheMediaWithThePhotoFile) {
  InstallViewer();
  auto w = Open();
  ASSERT_TRUE(w->miProgXMLViewer->isEnabled());
  // Medium 1, which has no photo file, is put in the drive.
  fs::remove_all(media);
  test::CopyTree(test::SamplePath("multi") + "/MEDIA1", media);
  fs::remove(ResolveCase(media + "PHOTO/PHOTO.XML"));
  w->miProgXMLViewer->trigger();
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text,
            "現在のメディアに 'PHOTO.XML' がありません。\r\r2枚目のメディアを挿入し更新を行ってください。");
  EXPECT_EQ(w->ViewerProcess, 0);
  EXPECT_TRUE(w->miExit->isEnabled());
}

// An X server of the test's own, so that the stand-in's windows can be seen.
class XServer {
 public:
  XServer() {
    server_.setProgram("Xvfb");
    server_.setArguments({"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    server_.start();
    if (!server_.waitForStarted(3000)) return;
    QElapsedTimer t;
    t.start();
    while (!server_.canReadLine() && t.elapsed() < 5000) server_.waitForReadyRead(100);
    const QString number = QString::fromLatin1(server_.readLine()).trimmed();
    if (!number.isEmpty()) display_ = ":" + number;
  }
  ~XServer() {
    server_.terminate();
    server_.waitForFinished(3000);
  }
  QString Display() const { return display_; }

 private:
  QProcess server_;
  QString display_;
};

TEST_F(ExternalProgramsTest, ExitWaitsForTheViewersWindowsAndClosingTheWindowClosesTheViewer) {
  InstallViewer();
  XServer x;
  if (x.Display().isEmpty()) GTEST_SKIP() << "no X server for the viewer's windows";
  std::unique_ptr<TDesktopWindows> windows = ConnectX11Windows(x.Display());
  ASSERT_TRUE(windows->Available());
  SetDesktopWindows(windows.get());
  const QByteArray savedDisplay = qgetenv("DISPLAY");
  qputenv("DISPLAY", x.Display().toLocal8Bit());

  auto w = Open();
  w->miProgXMLViewer->trigger();
  ASSERT_NE(w->ViewerProcess, 0);
  // Only the start-up window: closing is refused.
  ASSERT_TRUE(test::WaitUntil([&] { return Log().contains("title"); }, 5000));
  w->CloseTimerTimer();
  QCoreApplication::processEvents();
  EXPECT_FALSE(w->miExit->isEnabled());
  EXPECT_FALSE(w->close());
  // The main windows up and the start-up window gone: exit comes back.
  ASSERT_TRUE(test::WaitUntil([&] { return Log().contains("title gone"); }, 5000));
  EXPECT_TRUE(test::WaitUntil([&] { return w->miExit->isEnabled(); }, 4000));
  EXPECT_TRUE(ProcessRunning(w->ViewerProcess));

  const qint64 pid = w->ViewerProcess;
  EXPECT_TRUE(w->close());
  EXPECT_TRUE(test::WaitUntil([&] { return Log().contains("closed"); }, 5000)) << Log().toStdString();
  EXPECT_TRUE(test::WaitUntil([&] { return !ProcessRunning(pid); }, 5000));
  if (savedDisplay.isEmpty())
    qunsetenv("DISPLAY");
  else
    qputenv("DISPLAY", savedDisplay);
}

}  // namespace
}  // namespace dlvr

#include "external_programs_test.moc"
