#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include "app/startup.h"

namespace dlvr {
namespace {

struct Started {
  QString Program;
  QStringList Args;
  int Count = 0;
};

class RelaunchTest : public ::testing::Test {
 protected:
  RelaunchTest() {
    cd = root.path() + "/cdrom";
    QDir().mkpath(cd);
    program = cd + "/dlvrview";
    QFile f(program);
    f.open(QIODevice::WriteOnly);
    f.write("program");
    f.close();
    temp = root.path() + "/tmp";
    QDir().mkpath(temp);
    lock = root.path() + "/instance.lock";
  }
  bool Relaunch(const QStringList& args) {
    return CopyToTempAndRelaunch(program, args, lock, temp, [this](const QString& p, const QStringList& a) {
      started.Program = p;
      started.Args = a;
      ++started.Count;
      return true;
    });
  }

  QTemporaryDir root;
  QString cd, program, temp, lock;
  Started started;
};

TEST_F(RelaunchTest, WhileAnInstanceRunsNothingIsCopied) {
  QLockFile running(lock);
  ASSERT_TRUE(running.tryLock(0));
  EXPECT_FALSE(Relaunch({program}));
  EXPECT_EQ(started.Count, 0);
  EXPECT_FALSE(QFileInfo::exists(temp + "/_TAVRINTEMP"));
}

TEST_F(RelaunchTest, TheCopyStartsWithTheMediumFolderAsItsArgument) {
  QFile viewer(cd + "/QLNXMLViewer.EXE");
  viewer.open(QIODevice::WriteOnly);
  viewer.close();
  ASSERT_TRUE(Relaunch({program, "/some/delivery"}));
  EXPECT_EQ(started.Count, 1);
  EXPECT_EQ(started.Program, temp + "/_TAVRINTEMP/dlvrview");
  EXPECT_EQ(started.Args, QStringList{cd});
  EXPECT_TRUE(QFileInfo::exists(temp + "/_TAVRINTEMP/dlvrview"));
  EXPECT_TRUE(QFileInfo::exists(temp + "/_TAVRINTEMP/QLNXMLViewer.EXE"));
  // Without an argument the copy starts with none; a copy left from an
  // earlier start is replaced.
  ASSERT_TRUE(Relaunch({program}));
  EXPECT_TRUE(started.Args.isEmpty());
}

TEST_F(RelaunchTest, AFailedCopyStartsNothing) {
  program = cd + "/missing";
  EXPECT_FALSE(Relaunch({program}));
  EXPECT_EQ(started.Count, 0);
}

TEST(RunProgram, WaitsForTheProgramAndReportsFailures) {
  EXPECT_TRUE(RunProgram({"true"}, true, true));
  EXPECT_FALSE(RunProgram({"/nonexistent/program"}, true, false));
  EXPECT_FALSE(RunProgram({}, false, false));
}

TEST(RunProgram, AProgramNotWaitedForRunsOnItsOwnWithItsArgumentsUnquoted) {
  QTemporaryDir dir;
  const QString out = dir.filePath("args.txt");
  qint64 pid = 0;
  // The quoted argument arrives without its quotes, as one argument.
  ASSERT_TRUE(RunProgram({"sh", "-c", "printf '%s|' \"$@\" > \"$0\"; sleep 1", "\"" + out + "\"", "a b"}, false,
                         false, &pid));
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(ProcessRunning(pid));
  QElapsedTimer t;
  t.start();
  while (ProcessRunning(pid) && t.elapsed() < 5000) QThread::msleep(50);
  EXPECT_FALSE(ProcessRunning(pid));
  QFile f(out);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(f.readAll()), "a b|");
  EXPECT_FALSE(RunProgram({"/nonexistent/program"}, false, false, &pid));
  EXPECT_EQ(pid, 0);
  EXPECT_FALSE(ProcessRunning(0));
}

}  // namespace
}  // namespace dlvr
