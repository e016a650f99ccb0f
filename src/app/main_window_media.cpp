// The main window's media: the first load, loading media and refreshing, the tree kept where it was, further media beside a folder, the start page.
#include "app/main_window.h"
#include "app/compare_view.h"
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
#include "app/full_text_search.h"
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

void TfrmMain::FirstLoad() {
  if (!firstPaintPending_) return;
  firstPaintPending_ = false;
  QString folder = startFolder_;
  // Only two file-name modes are offered: 2 stays 2, anything else is 3.
  (ExRg().ReadInteger("ViewFileMode", 2) == 2 ? miViewFileCont : miViewFileOrg)->setChecked(true);
  if (folder.isEmpty()) {
    QString programDir = Q(ProgramDir());
    folder = ExRg().ReadString("MediaPath", programDir);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = programDir;
    // Nothing named and no delivery where the viewer looked: no tree of
    // missing files, a page that says how to open one.
    if (!HasIndexFile(S(folder))) {
      ShowStartHint();
      return;
    }
  }
  LoadMedia(QStringList{folder} + furtherFolders_, nullptr);
  OfferSiblingMedia(folder);
  // After a restart (a new language), the item that was selected.
  const QString restartItem = ExRg().ReadString(kRestartItemKey, QString());
  if (!restartItem.isEmpty()) {
    ExRg().WriteString(kRestartItemKey, QString());
    std::vector<TMdlTreeView::TPathStep> path;
    for (const QJsonValue& v : QJsonDocument::fromJson(restartItem.toUtf8()).array()) {
      const QJsonArray step = v.toArray();
      path.push_back({step.at(0).toInt(), S(step.at(1).toString()), step.at(2).toInt()});
    }
    if (TTreeItem* item = model_->View.FindItemPath(path)) SelectItem(item);
  }
}

qint64 TfrmMain::IndexFileAge() const {
  QFileInfo index(Q(ResolveCase(model_->View.MediaFolder() + "INDEX_C.XML")));
  return index.exists() ? index.lastModified().toMSecsSinceEpoch() : -1;
}

void TfrmMain::LoadMedia(const QString& folder) { LoadMedia(folder, nullptr); }

void TfrmMain::LoadMedia(const QString& folder, const TTreeState* keep) { LoadMedia(QStringList{folder}, keep); }

void TfrmMain::LoadMedia(const QStringList& folders, const TTreeState* keep) {
  // A load ends a compare: its marks belong to the tree that goes.
  if (CompareView) CompareView->End();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  loading_ = true;
  statusBar()->showMessage(QCoreApplication::translate("TfrmMain", "読み込み中..."));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  const std::string delivery = model_->View.DeliveryIdentity();
  for (const QString& folder : folders) {
    // A second copy of a medium already open (a corrected resubmission,
    // say) is no further medium: it opens as a delivery of its own, or not.
    if (!model_->View.SameMediumFolder(S(folder)).empty()) {
      const std::optional<TMdlTreeNodeIndex> record = ReadFolderIndexRecord(S(folder));
      const QString number = record ? Q(record->MediaNo) : QString();
      QApplication::restoreOverrideCursor();
      const DialogAnswer answer =
          Ask(S(QCoreApplication::translate(
                    "TfrmMain", "同じ工事の媒体 %1 が既に読み込まれています。新しい納品物として開き直しますか？")
                    .arg(number)),
              MsgIcon::Question, MsgButtons::YesNo, DialogAnswer::No);
      QApplication::setOverrideCursor(Qt::WaitCursor);
      if (answer != DialogAnswer::Yes) continue;
    }
    model_->View.Load(S(folder));
  }
  model_->View.SetFileNameMode(FileNameModeTag());
  // Another delivery (a medium changed in the drive) starts afresh; the
  // findings of the one before go with it.
  if (delivery.empty() || delivery != model_->View.DeliveryIdentity()) {
    keep = nullptr;
    for (QWidget* list : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      if (qobject_cast<TfrmXMLErr*>(list) || qobject_cast<TfrmDeliveryCheck*>(list)) list->close();
  }
  // Expansion comes back before the view lays out the new tree: until then
  // expanding an item only notes it.
  bool sameSelection = false;
  TTreeItem* select = keep ? RestoreExpansion(*keep, sameSelection) : model_->View.Tree().Root();
  // The photo viewer may have been installed or removed since the last load.
  PhotoViewerPresent = FileExists(model_->View.FindPhotoViewer());
  UpdatePhotoCommand();
  // An open photo window shows the photos of what was loaded now.
  if (frmPhotoView) frmPhotoView->Refresh();
  loading_ = false;
  SetCaption();
  indexFileAge_ = IndexFileAge();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  tvwKKT->clearSelection();
  tvwKKT->setFocus();
  frmKojInfo->Refresh();
  if (select) {
    tvwKKT->setCurrentIndex(QModelIndex());
    SelectItem(select);
  }
  // The view as it was; selecting another item than before shows that item.
  if (sameSelection) tvwKKT->verticalScrollBar()->setValue(keep->Scroll);
  statusBar()->clearMessage();
  lblStatus->clear();
  UpdateDeliveryCommands();
  lblEdition->setText(QCoreApplication::translate("TfrmMain", "要領: %1")
                          .arg(Q(EditionText(DeliveryEdition(model_->View.MediaFolder())))));
  // The full-text index of what was loaded, on a worker.
  FullTextIndex->Start(model_->View);
  QApplication::restoreOverrideCursor();
}

TfrmMain::TTreeState TfrmMain::SaveTreeState() const {
  TTreeState state;
  TMdlTreeView& v = model_->View;
  v.Tree().ForEach([&](TTreeItem* item) {
    if (tvwKKT->isExpanded(treeModel_->IndexOf(item))) state.Expanded.push_back(v.ItemPath(item));
  });
  state.Selected = v.ItemPath(SelectedItem());
  state.Scroll = tvwKKT->verticalScrollBar()->value();
  return state;
}

TTreeItem* TfrmMain::RestoreExpansion(const TTreeState& state, bool& sameSelection) {
  TMdlTreeView& v = model_->View;
  std::unordered_set<TTreeItem*> expand;
  for (const auto& path : state.Expanded) {
    bool complete = false;
    TTreeItem* item = v.FindItemPath(path, &complete);
    if (complete) expand.insert(item);
  }
  v.Tree().ForEach([&](TTreeItem* item) {
    const QModelIndex index = treeModel_->IndexOf(item);
    const bool wanted = expand.count(item) > 0;
    if (tvwKKT->isExpanded(index) != wanted) tvwKKT->setExpanded(index, wanted);
  });
  TTreeItem* select = v.FindItemPath(state.Selected, &sameSelection);
  return select ? select : v.Tree().Root();
}

bool TfrmMain::CheckMediaChanged() {
  qint64 age = IndexFileAge();
  if (age == indexFileAge_) return false;
  indexFileAge_ = age;
  lblStatus->setText(QCoreApplication::translate("TfrmMain", kChangedStatus));
  return true;
}

void TfrmMain::UpdatePhotoCommand() {
  // With photos loaded, the command starts the viewer program or, without
  // it, opens the photo window. A program started from here is closed with
  // the window: a second one is started only after the first has ended.
  const bool on = !model_->View.PhotoMedia().empty() && !ProcessRunning(ViewerProcess);
  miProgXMLViewer->setEnabled(on);
}

void TfrmMain::miFileSelFldClick() {
  QString chosen;
  if (TfrmMainHooks::SelectFolder && TfrmMainHooks::SelectFolder(this, Q(model_->View.MediaFolder()).trimmed(), chosen)) {
    LoadMedia(chosen);
    OfferSiblingMedia(chosen);
  }
}

void TfrmMain::OfferSiblingMedia(const QString& folder) {
  TMdlTreeView& v = model_->View;
  if (v.MediaFolder().empty() || v.AllMediaLoaded()) return;
  // Only media the view takes as further media of what it shows (another
  // record would replace the delivery), and only those not loaded yet.
  const std::vector<int>& loaded = v.LoadedMedia();
  QString list;
  QStringList folders;
  for (const TSiblingMedium& m : FindSiblingMedia(S(folder)).Media) {
    if (!m.SameRecord || std::find(loaded.begin(), loaded.end(), m.MediaNo) != loaded.end()) continue;
    list +=
        QCoreApplication::translate("TfrmMain", "　メディア番号 %1：%2").arg(QString::number(m.MediaNo), Q(m.Folder)) +
        "\r";
    folders << Q(m.Folder);
  }
  if (folders.isEmpty()) return;
  const QString text = QCoreApplication::translate(
                           "TfrmMain", "同じ工事の他の媒体が見つかりました。\r\r%1\rこれらの媒体を読み込みますか？")
                           .arg(list);
  if (Ask(S(text), MsgIcon::Question, MsgButtons::YesNo, DialogAnswer::Yes) != DialogAnswer::Yes) return;
  const TTreeState state = SaveTreeState();
  LoadMedia(folders, &state);
}

void TfrmMain::ShowStartHint() {
  SetCaption();
  UpdateDeliveryCommands();
  ShowPane(pnlStart);
  UpdatePrevNext();
  UpdatePhotoCommand();
  btnStartSelFld->setFocus();
}

void TfrmMain::miViewRefreshClick() {
  const std::string& folder = model_->View.MediaFolder();
  // No delivery open yet: there is nothing to read again; choose one.
  if (folder.empty()) {
    miFileSelFldClick();
    return;
  }
  if (IsRemovableDrive(folder)) {
    while (!IsMediaReady(folder))
      if (AskMediaNotReady() != DialogAnswer::Retry) return;
  }
  // The same delivery again: the tree keeps what the user opened and chose.
  const TTreeState state = SaveTreeState();
  LoadMedia(Q(folder), &state);
}

}  // namespace dlvr
