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

bool RunProgram(const QStringList& command, bool wait, bool disableWindows) {
  if (command.isEmpty()) return false;
  QProcess* process = new QProcess;
  QStringList args = command.mid(1);
  process->setProgram(command.first());
  process->setArguments(args);
  process->start();
  if (!process->waitForStarted(5000)) {
    delete process;
    return false;
  }
  if (!wait) {
    QObject::connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process, &QObject::deleteLater);
    return true;
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

}  // namespace dlvr
