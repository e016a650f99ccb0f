#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A process that takes the instance lock and keeps it until it is stopped
// (killed at the latest when the object goes). Pid is -1 when it could not
// take the lock.
struct Holder {
  explicit Holder(const QString& lockPath) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    Pid = ::fork();
    if (Pid == 0) {
      ::close(ready[0]);
      TInstanceLock lock(lockPath);
      const char held = lock.Held() ? '1' : '0';
      if (::write(ready[1], &held, 1) != 1) ::_exit(1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char held = '0';
    if (Pid > 0 && ::read(ready[0], &held, 1) != 1) held = '0';
    ::close(ready[0]);
    if (held != '1') Stop(SIGKILL);
  }
  ~Holder() { Stop(SIGKILL); }
  void Stop(int signal) {
    if (Pid > 0) {
      ::kill(Pid, signal);
      ::waitpid(Pid, nullptr, 0);
    }
    Pid = -1;
  }
  pid_t Pid = -1;
};

TEST(InstanceLock, HeldWhileAnyInstanceRunsWhicheverEndsFirst) {
  QTemporaryDir dir;
  const QString lock = dir.filePath("instance.lock");
  // No file: nothing runs, and asking makes none.
  EXPECT_FALSE(InstanceRunning(lock));
  EXPECT_FALSE(QFileInfo::exists(lock));

  Holder first(lock);
  ASSERT_GT(first.Pid, 0);
  Holder second(lock);  // a second instance holds it beside the first
  ASSERT_GT(second.Pid, 0);
  EXPECT_TRUE(InstanceRunning(lock));
  first.Stop(SIGTERM);  // the first ends: the second still runs
  EXPECT_TRUE(InstanceRunning(lock));
  EXPECT_TRUE(QFileInfo::exists(lock));
  second.Stop(SIGKILL);  // a crash leaves the file, but no lock
  EXPECT_TRUE(QFileInfo::exists(lock));
  EXPECT_FALSE(InstanceRunning(lock));

  // Two holders in one process share the lock as well; the last to go frees it.
  {
    TInstanceLock a(lock);
    {
      TInstanceLock b(lock);
      EXPECT_TRUE(a.Held());
      EXPECT_TRUE(b.Held());
    }
    EXPECT_TRUE(InstanceRunning(lock));
  }
  EXPECT_FALSE(InstanceRunning(lock));
}

TEST(InstanceLock, ARunningInstanceKeepsARemovableStartFromRelaunching) {
  QTemporaryDir dir;
  const QString lock = dir.filePath("instance.lock"), temp = dir.filePath("tmp");
  QDir().mkpath(temp);
  const QString program = dir.filePath("dlvrview");
  QFile f(program);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  int starts = 0;
  auto relaunch = [&] {
    return CopyToTempAndRelaunch(program, {program}, lock, temp, [&](const QString&, const QStringList&) {
      ++starts;
      return true;
    });
  };
  Holder first(lock);
  ASSERT_GT(first.Pid, 0);
  {
    TInstanceLock second(lock);
    ASSERT_TRUE(second.Held());
    first.Stop(SIGKILL);
    EXPECT_FALSE(relaunch());
    EXPECT_EQ(starts, 0);
  }
  EXPECT_TRUE(relaunch());
  EXPECT_EQ(starts, 1);
}

TEST(InstanceLock, NotPassedOnToStartedProgramsAndNeverOnAFifoOrLink) {
  QTemporaryDir dir;
  const QString lock = dir.filePath("instance.lock");
  qint64 pid = 0;
  {
    TInstanceLock held(lock);
    ASSERT_TRUE(held.Held());
    // A program started while the lock is held (the photo viewer) may
    // outlive the instance; it must not keep the lock.
    ASSERT_TRUE(RunProgram({"sleep", "5"}, false, false, &pid));
  }
  EXPECT_TRUE(ProcessRunning(pid));
  EXPECT_FALSE(InstanceRunning(lock));
  ::kill(static_cast<pid_t>(pid), SIGKILL);

  const QString fifo = dir.filePath("fifo.lock");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_FALSE(InstanceRunning(fifo));
  EXPECT_FALSE(TInstanceLock(fifo).Held());
  const QString link = dir.filePath("link.lock");
  ASSERT_TRUE(QFile::link(lock, link));
  TInstanceLock target(lock);
  EXPECT_FALSE(TInstanceLock(link).Held());
  EXPECT_FALSE(InstanceRunning(link));
  EXPECT_FALSE(TInstanceLock(dir.filePath("missing/instance.lock")).Held());
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
