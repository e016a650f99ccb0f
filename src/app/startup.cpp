#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QWidget>

#include <signal.h>

#include <cerrno>

namespace dlvr {

QString InstanceLockPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return dir + "/Tavrin_Quillan_DLVRView.lock";
}

bool CopyToTempAndRelaunch(const QString& programPath, const QStringList& args, const QString& lockPath,
                           const QString& tempDir, const std::function<bool(const QString&, const QStringList&)>& start) {
  {
    QLockFile probe(lockPath);
    if (!probe.tryLock(0)) return false;  // an instance runs: nothing more
  }
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
