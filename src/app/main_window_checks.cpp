// The main window's checks: the data check, the full delivery check on a worker with its progress, and the way to a finding's item.
#include "app/main_window.h"
#include "app/main_window_internal.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolTip>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <optional>

#include <unordered_set>

#include "check/data_check.h"
#include "check/extended_check.h"
#include "components/document_check.h"
#include "components/ext_registry.h"
#include "components/form_control.h"
#include "components/drawing_canvas.h"
#include "check/report_layout.h"
#include "components/qt_string.h"
#include "delivery/helpers.h"
#include "delivery/prompts.h"
#include "components/desktop_open.h"
#include "delivery/sibling_media.h"
#include "i18n/ui_language.h"
#include "app/desktop_windows.h"
#include "app/find_dialog.h"
#include "app/find_windows.h"
#include "panes/base_info.h"
#include "panes/delivery_check.h"
#include "panes/find_files.h"
#include "app/startup.h"
#include "components/legible_color.h"
#include "components/toolbar_icons.h"
#include "model/photo_viewer.h"
#include "panes/files_pane.h"
#include "panes/xml_pane.h"
#include "panes/info_panes.h"
#include "panes/cad_files_pane.h"
#include "panes/photo_view.h"
#include "panes/xml_err.h"
#include "panes/xml_pane.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {

using namespace main_window_detail;

void TfrmMain::miFileCheckClick() {
  const std::string& folder = model_->View.MediaFolder();
  if (!HasIndexFile(folder)) {
    Inform(NoIndexMessage(folder));
    return;
  }
  RunDataCheck(model_->View);
  if (TfrmMainHooks::ShowErrors) {
    TfrmMainHooks::ShowErrors(this, model_->View);
    // The error list (modeless) asks to show a row's item.
    if (auto* errors = findChild<TfrmXMLErr*>(QString(), Qt::FindDirectChildrenOnly))
      connect(errors, &TfrmXMLErr::FindingActivated, this, &TfrmMain::ShowFinding, Qt::UniqueConnection);
    return;
  }
  std::size_t n = model_->View.ErrorList.size();
  Inform(S(n == 0 ? QCoreApplication::translate("TfrmMain", "データは正常です。")
                  : QCoreApplication::translate("TfrmMain", "%1件の不整合が見つかりました。").arg(n)));
}

void TfrmMain::UpdateDeliveryCommands() {
  // Without a delivery there is no folder to check or to show.
  const bool open = !model_->View.MediaFolder().empty();
  miFileCheck->setEnabled(open);
  miProgExplorer->setEnabled(open);
  UpdateDeliveryCheckCommand();
}

void TfrmMain::UpdateDeliveryCheckCommand() {
  miFileDeliveryCheck->setVisible(miFileCheck->isVisible());
  miFileDeliveryCheck->setEnabled(miFileCheck->isEnabled() && !deliveryCheckRunning_);
}

void TfrmMain::miFileDeliveryCheckClick() {
  if (deliveryCheckRunning_) return;
  const std::string& folder = model_->View.MediaFolder();
  if (!HasIndexFile(folder)) {
    Inform(NoIndexMessage(folder));
    return;
  }
  QStringList mediaFolders;
  if (!folder.empty()) mediaFolders << Q(folder);
  for (const auto& m : model_->View.ReachableMedia()) mediaFolders << Q(m.Folder);
  // The check reads every file name of every medium, which takes seconds
  // on a large delivery: it runs on a worker while the window keeps
  // painting. Nothing may load another delivery under it: user input waits
  // for a moment, then goes only to the modal progress dialog; closing the
  // window is refused meanwhile. This function returns only after the
  // worker has ended, so the view it reads outlives it.
  deliveryCheckRunning_ = true;
  UpdateDeliveryCheckCommand();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  statusBar()->showMessage(QCoreApplication::translate("TfrmMain", "電子納品チェック中..."));
  // Shared with the worker: how far it came, and the user's stop.
  struct TShared {
    std::atomic<std::size_t> Done{0}, Total{0};
    std::atomic<bool> StopAsked{false}, Stopped{false};
  };
  auto shared = std::make_shared<TShared>();
  TMdlTreeView& view = model_->View;
  QFutureWatcher<std::vector<TFinding>> watcher;
  QEventLoop wait;
  connect(&watcher, &QFutureWatcher<std::vector<TFinding>>::finished, &wait, &QEventLoop::quit);
  watcher.setFuture(QtConcurrent::run([&view, shared] {
    TExtendedInput input = ExtendedInputFor(view);
    input.CheckDocument = CheckDocumentFile;  // PDFs, images, contents against extensions
    input.Progress = [shared](std::size_t done, std::size_t total) {
      if (TfrmMainHooks::DeliveryCheckProgress) TfrmMainHooks::DeliveryCheckProgress(done, total);
      shared->Done = done;
      shared->Total = total;
      // Asked to stop before the last step: what was found so far.
      if (shared->StopAsked && done < total) shared->Stopped = true;
      return !shared->Stopped;
    };
    return RunExtendedCheck(input);
  }));
  // A short check shows no dialog.
  QTimer moment;
  moment.setSingleShot(true);
  bool quietOver = false;
  connect(&moment, &QTimer::timeout, &wait, [&] {
    quietOver = true;
    wait.quit();
  });
  moment.start(kDeliveryCheckQuietMs);
  if (!watcher.isFinished()) wait.exec(QEventLoop::ExcludeUserInputEvents);
  moment.stop();
  bool ended = watcher.isFinished();
  if (!ended && quietOver) {
    QDialog progress(this);
    progress.setObjectName("dlgDeliveryCheckProgress");
    progress.setWindowTitle(QCoreApplication::translate("TfrmMain", "電子納品チェック"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(&progress);
    auto* label = new QLabel(QCoreApplication::translate("TfrmMain", "電子納品チェック中..."), &progress);
    label->setObjectName("lblProgress");
    auto* bar = new QProgressBar(&progress);
    bar->setObjectName("pbrProgress");
    bar->setRange(0, 0);  // busy until the first report
    bar->setMinimumWidth(320);
    auto* stop = new QPushButton(QCoreApplication::translate("TfrmMain", "中止"), &progress);
    stop->setObjectName("btnStop");
    layout->addWidget(label);
    layout->addWidget(bar);
    layout->addWidget(stop, 0, Qt::AlignHCenter);
    // "中止" and Esc alike: the worker stops at its next report.
    auto askStop = [&] {
      shared->StopAsked = true;
      label->setText(QCoreApplication::translate("TfrmMain", "中止しています..."));
      stop->setEnabled(false);
    };
    connect(stop, &QPushButton::clicked, &progress, askStop);
    connect(&progress, &QDialog::rejected, &progress, [&] {
      askStop();
      if (!watcher.isFinished()) progress.show();
    });
    QTimer tick;
    connect(&tick, &QTimer::timeout, &progress, [&] {
      const std::size_t total = shared->Total;
      if (total == 0) return;
      bar->setRange(0, static_cast<int>(std::min<std::size_t>(total, INT_MAX)));
      bar->setValue(static_cast<int>(std::min<std::size_t>(shared->Done, total)));
    });
    tick.start(100);
    progress.show();
    wait.exec();
    tick.stop();
    ended = watcher.isFinished();
  }
  // The loop was ended from outside (the program is quitting): the check
  // stops, its findings are not shown.
  if (!ended) shared->StopAsked = shared->Stopped = true;
  const std::vector<TFinding> findings = watcher.result();
  statusBar()->clearMessage();
  QApplication::restoreOverrideCursor();
  deliveryCheckRunning_ = false;
  UpdateDeliveryCheckCommand();
  if (!ended) return;
  // The findings window (modeless) asks to show a finding's item.
  if (TfrmDeliveryCheck* form = TfrmDeliveryCheck::ShowFindings(this, findings, mediaFolders, shared->Stopped))
    connect(form, &TfrmDeliveryCheck::FindingActivated, this, &TfrmMain::ShowFinding, Qt::UniqueConnection);
}

void TfrmMain::ShowFinding(const TFindingRef& finding) {
  const TFindingTarget target = FindFindingTarget(model_->View, finding);
  if (!target.Item) return;
  SelectItem(target.Item);
  if (!target.Exact)
    statusBar()->showMessage(
        QCoreApplication::translate("TfrmMain", "「%1」はツリーにないため、最も近い項目を選びました。")
            .arg(Q(target.Named)),
        10000);
  if (target.PhotoPath.empty()) return;
  OpenPhotoView();
  if (frmPhotoView) frmPhotoView->ShowPhotoFile(Q(target.PhotoPath), target.PhotoMedium);
}

}  // namespace dlvr
