// The main window's external programs: the file manager, the photo viewer (its start and the wait for it), the photo window.
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

void TfrmMain::miProgExplorerClick() {
  const QString folder = Q(model_->View.MediaFolder());
  if (folder.isEmpty() || !OpenWithDesktop(QUrl::fromLocalFile(folder)))
    Ask(S(QCoreApplication::translate("TfrmMain", "エクスプローラが起動できませんでした。")), MsgIcon::Error,
        MsgButtons::Ok, DialogAnswer::Ok);
}

void TfrmMain::miProgXMLViewerClick() {
  if (!miProgXMLViewer->isEnabled()) return;
  if (!PhotoViewerPresent) {
    OpenPhotoView();
    return;
  }
  TMdlTreeView& view = model_->View;
  if (view.PhotoFilePath().empty()) {
    const std::string message = PhotoMediaMessage(view.PhotoMedia());
    if (!message.empty()) Inform(message);
    return;
  }
  const std::string directory = view.PhotoViewerDirectory();
  if (!directory.empty()) ViewerRegistry(kViewerStartKey).WriteString("Directory", Q(directory));
  qint64 pid = 0;
  if (RunProgram({Q(view.FindPhotoViewer())}, false, false, &pid)) {
    ViewerProcess = pid;
    miExit->setEnabled(false);
    CloseTimer->start();
  } else {
    Ask(S(QCoreApplication::translate("TfrmMain", "XMLビューアが起動できませんでした。")), MsgIcon::Error,
        MsgButtons::Ok, DialogAnswer::Ok);
    ViewerProcess = 0;
  }
  UpdatePhotoCommand();
}

void TfrmMain::OpenPhotoView() {
  TMdlTreeView& view = model_->View;
  const std::vector<int>& photoMedia = view.PhotoMedia();
  const auto& reachable = view.ReachableMedia();
  const bool any = std::any_of(reachable.begin(), reachable.end(), [&](const TMdlTreeView::TLoadedMedium& m) {
    return std::find(photoMedia.begin(), photoMedia.end(), m.MediaNo) != photoMedia.end();
  });
  if (!any) {
    const std::string message = PhotoMediaMessage(photoMedia);
    if (!message.empty()) Inform(message);
    return;
  }
  if (!frmPhotoView) {
    frmPhotoView = new TfrmPhotoView(*model_, this);
    frmPhotoView->setAttribute(Qt::WA_DeleteOnClose);
    frmPhotoView->Refresh();
  }
  frmPhotoView->show();
  frmPhotoView->raise();
  frmPhotoView->activateWindow();
}

void TfrmMain::CloseTimerTimer() {
  CloseTimer->stop();
  QStringList pending = {kViewerStartTitle, kViewerTitles[0], kViewerTitles[0], kViewerTitles[1], kViewerTitles[1]};
  TDesktopWindows& windows = DesktopWindows();
  const bool running = ProcessRunning(ViewerProcess);
  if (!windows.Available()) {
    // Without a window list only the process can be followed: it came up
    // when it is still running a tick after its start.
    ReenableExit();
    return;
  }
  for (const TDesktopWindow& w : windows.List()) {
    for (int i = 0; i < pending.size(); ++i)
      if (w.Title.startsWith(pending[i])) {
        pending.removeAt(i);
        break;
      }
  }
  bool keepWaiting;
  if (pending.size() >= 4)
    keepWaiting = running;  // fewer than two of its windows seen yet
  else if (pending.first() == kViewerStartTitle)
    keepWaiting = false;  // its main windows are up and the start-up window is gone
  else
    keepWaiting = running;  // the start-up window still shows
  if (keepWaiting)
    CloseTimer->start();
  else
    ReenableExit();
}

void TfrmMain::ReenableExit() {
  // Enabled again once the events of this tick are handled.
  QTimer::singleShot(0, this, [this] { miExit->setEnabled(true); });
}

void TfrmMain::CloseViewer() {
  if (!ViewerProcess) return;
  // A viewer that has ended already leaves windows of the same title that
  // another start opened alone.
  if (!ProcessRunning(ViewerProcess)) {
    ViewerProcess = 0;
    return;
  }
  TDesktopWindows& windows = DesktopWindows();
  if (windows.Available()) {
    if (std::uint32_t id = FirstWindowWithPrefix(windows.List(), kViewerTitles)) windows.RequestClose(id);
  } else {
    ::kill(static_cast<pid_t>(ViewerProcess), SIGTERM);
  }
  ViewerProcess = 0;
}

}  // namespace dlvr
