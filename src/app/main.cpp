// The viewer's entry: one instance per start from a removable medium, which
// copies the program to a temporary folder and runs it from there.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "app/main_window.h"
#include "components/drawing_canvas.h"
#include "components/message_service.h"
#include "panes/seldir.h"
#include "platform/drive.h"
#include "platform/fileio.h"

namespace {

// The named lock that stands for the running instance.
QString LockPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return dir + "/Tavrin_Quillan_DLVRView.lock";
}

// Started from a removable or CD drive: copy the program (and a photo viewer
// beside it) to a temporary folder and start the copy, so that the medium
// can be changed. Nothing is done when an instance runs already.
int CopyToTempAndRelaunch(const QString& programPath, const QStringList& args) {
  QLockFile probe(LockPath());
  if (!probe.tryLock(0)) return 0;
  probe.unlock();
  QString base = QFileInfo(programPath).completeBaseName();
  QTemporaryFile name(QDir::tempPath() + "/" + base + "XXXXXX.tmp");
  if (!name.open()) return 0;
  QString folder = QFileInfo(name.fileName()).absolutePath() + "/_TAVRINTEMP/";
  if (!QDir().mkpath(folder)) return 0;
  QString copy = folder + QFileInfo(programPath).fileName();
  QFile::remove(copy);
  if (!QFile::copy(programPath, copy)) return 0;
  QString programDir = QFileInfo(programPath).absolutePath();
  for (const char* viewer : {"QLNView.EXE", "QLNXMLViewer.EXE"}) {
    QString v = programDir + "/" + viewer;
    if (QFileInfo::exists(v)) {
      QFile::copy(v, folder + viewer);
      break;
    }
  }
  QStringList relaunch;
  if (args.size() > 1 && !args[1].isEmpty() && QFileInfo(programDir).isDir()) relaunch << programDir;
  QProcess::startDetached(copy, relaunch);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("dlvrview");
  QApplication::setApplicationVersion(DLVR_VERSION);
  const QString program = QApplication::applicationFilePath();
  dlvr::DriveType drive = dlvr::GetDriveType(QFileInfo(program).absolutePath().toStdString());
  if (drive == dlvr::DriveType::Removable || drive == dlvr::DriveType::CdRom)
    return CopyToTempAndRelaunch(program, QApplication::arguments());

  QLockFile lock(LockPath());
  lock.tryLock(0);  // held while this instance runs; a second instance runs too
  QApplication::setApplicationDisplayName(QString());
  dlvr::InstallFontSubstitutions();
  dlvr::TMessageBoxScope messages;
  dlvr::TfrmMainHooks::SelectFolder = [](QWidget* parent, const QString& initial, QString& chosen) {
    return dlvr::TfrmSelDir::Execute(parent, initial, chosen);
  };
  QStringList args = QApplication::arguments();
  dlvr::TfrmMain window(args.size() > 1 ? args[1] : QString());
  window.resize(1024, 700);
  window.show();
  return app.exec();
}
