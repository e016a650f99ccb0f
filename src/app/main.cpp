// The viewer's entry: one instance per start from a removable medium, which
// copies the program to a temporary folder and runs it from there. Work and
// preview copies live in the process's private work folder: folders left by
// ended instances are removed at start, this one's at exit or on SIGINT,
// SIGTERM and SIGHUP.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "app/translations.h"
#include "delivery/helpers.h"
#include "delivery/sibling_media.h"
#include "i18n/ui_language.h"
#include "components/drawing_canvas.h"
#include "components/ext_registry.h"
#include "components/message_service.h"
#include "components/pdf_facts.h"
#include "panes/seldir.h"
#include "panes/xml_err.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"

namespace {

const char* const kUsage =
    "usage: dlvrview [FOLDER [FOLDER...]]\n"
    "\n"
    "Shows a public-works electronic delivery: the folder holding INDEX_C.XML\n"
    "(without one, the folder the viewer showed last; a file given stands for\n"
    "the delivery it belongs to, its folder or one up to two levels above that\n"
    "holds INDEX_C.XML). Further FOLDERs are\n"
    "loaded after it as further media of the same delivery; media of it still\n"
    "missing that are found in the folders beside it are offered to load.\n"
    "\n"
    "  --help      show this help\n"
    "  --version   print the version\n";

}  // namespace

int main(int argc, char** argv) {
  // The hidden worker that reads PDF facts for the preview and the check.
  if (const int worker = dlvr::RunPdfFactsWorkerIfAsked(argc, argv); worker >= 0) return worker;
  // Answered before any window (or display) is needed.
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("dlvrview %s\n", DLVR_VERSION);
      return 0;
    }
  }
  // Two folders holding one medium of a delivery (a copy beside the
  // original, say) cannot both be that medium: the user is to choose.
  {
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      folders.push_back(dlvr::FileExists(a) ? dlvr::DeliveryFolderOf(a) : a);
    }
    if (const auto twice = dlvr::FindRepeatedMedium(folders)) {
      std::fprintf(stderr, "dlvrview: medium %d of the delivery is in two folders: %s and %s\n", twice->MediaNo,
                   twice->First.c_str(), twice->Second.c_str());
      return 2;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("dlvrview");
  QApplication::setApplicationVersion(DLVR_VERSION);
  QGuiApplication::setDesktopFileName(QStringLiteral("jp.dlvrview.DLVRView"));
  // The program's texts in the language the user chose (automatic: the
  // environment's), before any window; Qt's own dialogs follow it.
  const dlvr::TUiLanguageChoice choice = dlvr::ReadUiLanguageChoice();
  const dlvr::UiLanguage language = choice == dlvr::TUiLanguageChoice::Japanese  ? dlvr::UiLanguage::Japanese
                                    : choice == dlvr::TUiLanguageChoice::English ? dlvr::UiLanguage::English
                                                                                 : dlvr::LanguageFromEnvironment();
  dlvr::InstallUiTranslations(language);
  const auto qtTexts = dlvr::InstallQtTranslations(language == dlvr::UiLanguage::Japanese);
  const QString program = QApplication::applicationFilePath();
  dlvr::DriveType drive = dlvr::GetDriveType(QFileInfo(program).absolutePath().toStdString());
  if (drive == dlvr::DriveType::Removable || drive == dlvr::DriveType::CdRom) {
    dlvr::CopyToTempAndRelaunch(program, QApplication::arguments(), dlvr::InstanceLockPath(), QDir::tempPath());
    return 0;
  }

  dlvr::RemoveWorkFolderOnSignals();
  dlvr::RemoveStaleWorkFolders();
  dlvr::TInstanceLock lock(dlvr::InstanceLockPath());  // every running instance holds its share
  QApplication::setApplicationDisplayName(QString());
  dlvr::InstallFontSubstitutions();
  dlvr::TMessageBoxScope messages;
  dlvr::TfrmMainHooks::SelectFolder = [](QWidget* parent, const QString& initial, QString& chosen) {
    return dlvr::TfrmSelDir::Execute(parent, initial, chosen);
  };
  dlvr::TfrmMainHooks::ShowErrors = [](QWidget* parent, dlvr::TMdlTreeView& view) {
    dlvr::TfrmXMLErr::ShowErrors(parent, view);
  };
  // A file given (a file manager opening INDEX_C.XML or another file of a
  // delivery) stands for the delivery it belongs to.
  QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i)
    if (QFileInfo(args[i]).isFile())
      args[i] = QString::fromStdString(dlvr::DeliveryFolderOf(args[i].toStdString()));
  int status = 0;
  {
    dlvr::TfrmMain window(args.size() > 1 ? args[1] : QString());
    window.SetFurtherFolders(args.mid(2));
    window.resize(1024, 700);
    window.show();
    status = app.exec();
  }
  dlvr::RemovePrivateWorkFolder();
  return status;
}
