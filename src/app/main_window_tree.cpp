// The main window's tree: files dropped on it (left and right drops), its hints, the events it watches.
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

bool TfrmMain::DropAcceptable(const QMimeData* mime, QString* indexFile) const {
  if (!mime || !mime->hasUrls()) return false;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    QFileInfo f(url.toLocalFile());
    if (f.fileName().toUpper() == "INDEX_C.XML" && f.isFile()) {
      if (indexFile) *indexFile = f.absoluteFilePath();
      return true;
    }
  }
  return false;
}

TTreeItem* TfrmMain::DropItemAt(const QPoint& pos) const {
  TTreeItem* item = treeModel_->Item(tvwKKT->indexAt(pos));
  const int level = model_->View.NodeLevel(item);
  return level == nlFileClass || level == nlRecord ? item : nullptr;
}

void TfrmMain::SetDropTarget(TTreeItem* item) {
  if (treeModel_->DropTarget == item) return;
  treeModel_->DropTarget = item;
  tvwKKT->viewport()->update();
}

void TfrmMain::FinishItemDrop(int action) {
  if (pmnRDrop->isVisible()) pmnRDrop->hide();
  // Nothing is copied, moved or linked: the viewer never changes a delivery.
  DropAction = action;
  DroppedPaths.clear();
  SetDropTarget(nullptr);
  TTreeItem* selected = SelectedItem();
  tvwKKT->setCurrentIndex(QModelIndex());
  if (selected) SelectItem(selected);
}

void TfrmMain::ShowTreeHint() {
  const QModelIndex index = treeModel_->IndexOf(hintNode_);
  if (!hintNode_ || !index.isValid()) return;
  const QString text = index.data(Qt::ToolTipRole).toString();
  if (text.isEmpty()) return;
  QWidget* viewport = tvwKKT->viewport();
  QToolTip::showText(viewport->mapToGlobal(hintPos_), text, viewport, tvwKKT->visualRect(index));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* e) {
  if (watched == tvwKKT->viewport()) {
    switch (e->type()) {
      case QEvent::ToolTip:
        return true;  // the tree's hints come sooner, from HintTimer
      case QEvent::MouseMove: {
        hintPos_ = static_cast<QMouseEvent*>(e)->position().toPoint();
        TTreeItem* node = treeModel_->Item(tvwKKT->indexAt(hintPos_));
        if (node != hintNode_) {
          QToolTip::hideText();
          hintNode_ = node;
          HintTimer->start();
        } else if (!QToolTip::isVisible()) {
          HintTimer->start();
        }
        break;
      }
      case QEvent::Leave:
        HintTimer->stop();
        QToolTip::hideText();
        hintNode_ = nullptr;
        break;
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* d = static_cast<QDropEvent*>(e);
        const QMimeData* mime = d->mimeData();
        const QList<QUrl> urls = mime && mime->hasUrls() ? mime->urls() : QList<QUrl>();
        const bool files = std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
        TTreeItem* target = files ? DropItemAt(d->position().toPoint()) : nullptr;
        SetDropTarget(target);
        if (target || DropAcceptable(mime, nullptr)) {
          Qt::KeyboardModifiers mods = d->modifiers();
          Qt::DropAction action = !(mods & Qt::ControlModifier) ? Qt::MoveAction
                                  : (mods & Qt::ShiftModifier)  ? Qt::LinkAction
                                                                : Qt::CopyAction;
          d->setDropAction(action);
          d->accept();
        } else {
          d->ignore();
        }
        return true;
      }
      case QEvent::DragLeave:
        SetDropTarget(nullptr);
        return true;
      case QEvent::Drop: {
        auto* d = static_cast<QDropEvent*>(e);
        const QMimeData* mime = d->mimeData();
        QStringList paths;
        if (mime && mime->hasUrls())
          for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
        // On a class or record item: the files are noted, and a right drop
        // asks what to do with them.
        if (TTreeItem* target = paths.isEmpty() ? nullptr : DropItemAt(d->position().toPoint())) {
          d->acceptProposedAction();
          SetDropTarget(target);
          DroppedPaths = paths;
          if (d->buttons() & Qt::RightButton)
            pmnRDrop->popup(tvwKKT->viewport()->mapToGlobal(d->position().toPoint()));
          else
            FinishItemDrop(0);
          return true;
        }
        SetDropTarget(nullptr);
        QString index;
        if (DropAcceptable(mime, &index)) {
          d->acceptProposedAction();
          const QString folder = QFileInfo(index).absolutePath() + "/";
          LoadMedia(folder);
          // Asked once the drop has ended.
          QTimer::singleShot(0, this, [this, folder] { OfferSiblingMedia(folder); });
        } else {
          d->ignore();
        }
        return true;
      }
      default:
        break;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

}  // namespace dlvr
