#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QWidget>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dlvr {

QString InstanceLockPath() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  // The temporary folder is shared with other users: the name keeps theirs apart.
  if (dir.isEmpty()) return QDir::tempPath() + QString("/Tavrin_Quillan_DLVRView-%1.lock").arg(::getuid());
  return dir + "/Tavrin_Quillan_DLVRView.lock";
}

namespace {

// The lock file opened for locking: a regular file only, never through a
// link, never waiting on a FIFO, closed in programs this one starts. -1 when
// it cannot be opened.
int OpenLockFile(const QString& path, bool create) {
  const QByteArray name = QFile::encodeName(path);
  int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  if (create) flags |= O_CREAT;
  int fd;
  do fd = ::open(name.constData(), flags, 0600);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// flock without waiting, again when a signal interrupts it.
bool TryFlock(int fd, int operation) {
  int r;
  do r = ::flock(fd, operation | LOCK_NB);
  while (r != 0 && errno == EINTR);
  return r == 0;
}

}  // namespace

TInstanceLock::TInstanceLock(const QString& lockPath) {
  const int fd = OpenLockFile(lockPath, true);
  if (fd < 0) return;
  // A probe holds the file exclusively for a moment: wait it out, but never
  // for long.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (TryFlock(fd, LOCK_SH)) {
      fd_ = fd;
      return;
    }
    if (errno != EWOULDBLOCK) break;
    QThread::msleep(20);
  }
  ::close(fd);
}

TInstanceLock::~TInstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock; the file stays
}

bool InstanceRunning(const QString& lockPath) {
  const int fd = OpenLockFile(lockPath, false);
  if (fd < 0) return false;  // no file, or none any instance could lock
  const bool unlocked = TryFlock(fd, LOCK_EX);
  const bool held = !unlocked && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

bool CopyToTempAndRelaunch(const QString& programPath, const QStringList& args, const QString& lockPath,
                           const QString& tempDir, const std::function<bool(const QString&, const QStringList&)>& start) {
  if (InstanceRunning(lockPath)) return false;  // an instance runs: nothing more
  QString base = QFileInfo(programPath).completeBaseName();
  QTemporaryFile unique(tempDir + "/" + base + "XXXXXX.tmp");
  if (!unique.open()) return false;
  QString folder = QFileInfo(unique.fileName()).absolutePath() + "/_TAVRINTEMP/";
  if (!QDir().mkpath(folder)) return false;
  QString copy = folder + QFileInfo(programPath).fileName();
  QFile::remove(copy);
  if (!QFile::copy(programPath, copy)) return false;
  QString programDir = QFileInfo(programPath).absolutePath();
  for (const char* viewer : {"QLNView.EXE", "QLNXMLViewer.EXE"}) {
    QString v = programDir + "/" + viewer;
    if (QFileInfo::exists(v)) {
      QFile::remove(folder + viewer);
      QFile::copy(v, folder + viewer);
      break;
    }
  }
  QStringList relaunch;
  if (args.size() > 1 && !args[1].isEmpty() && QFileInfo(programDir).isDir()) relaunch << programDir;
  return start ? start(copy, relaunch) : QProcess::startDetached(copy, relaunch);
}

bool RunProgram(const QStringList& command, bool wait, bool disableWindows, qint64* pid) {
  if (pid) *pid = 0;
  if (command.isEmpty() || command.first().isEmpty()) return false;
  // Each part is one argument; a part already in quotes loses them.
  QStringList parts;
  for (const QString& part : command)
    parts << (part.size() >= 2 && part.startsWith('"') && part.endsWith('"') ? part.mid(1, part.size() - 2) : part);
  if (!wait) {
    const bool started = QProcess::startDetached(parts.first(), parts.mid(1), QString(), pid);
    if (!started && pid) *pid = 0;
    return started;
  }
  QProcess* process = new QProcess;
  process->setProgram(parts.first());
  process->setArguments(parts.mid(1));
  process->start();
  if (!process->waitForStarted(5000)) {
    delete process;
    return false;
  }
  QWidgetList disabled;
  if (disableWindows)
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isEnabled()) {
        w->setEnabled(false);
        disabled << w;
      }
  while (process->state() != QProcess::NotRunning) {
    process->waitForFinished(100);
    QApplication::processEvents();
  }
  for (QWidget* w : disabled) w->setEnabled(true);
  delete process;
  return true;
}

bool ProcessRunning(qint64 pid) {
  if (pid <= 0) return false;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
  // A child that ended but was not yet collected counts as ended.
  char state = 0;
  QFile stat(QString("/proc/%1/stat").arg(pid));
  if (stat.open(QIODevice::ReadOnly)) {
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    if (close >= 0 && close + 2 < line.size()) state = line[close + 2];
  }
  return state != 'Z' && state != 'X';
}

}  // namespace dlvr
