// The main window's settings and languages: what it keeps between runs, the language of the tree's captions and of the program, the file names shown, the restart.
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

void TfrmMain::ApplyViewerMode() {
  // The viewer never changes a delivery: the editing and output commands
  // are hidden and carry no behaviour.
  for (QAction* a : {miXMLOutput, miFileSpl2, miFilePrn, miFileLbl, miFileSpl3, miEditNewFolder, miEditNewNode,
                     miEditFileAdd, miEditSp3, miEditRename, miEditSp4, miEditDelete, miEditSp5, miEditMoveUp,
                     miEditMoveDown, miProgMail, miProgQLNDB, miFileStyle, miViewDC, miViewDelivery, miViewFileName,
                     miViewFileManage, miHelpContents, miHelpKeyWord, miHelpExplain})
    a->setVisible(false);
  miSetting->menuAction()->setVisible(false);
  miFileCheck->setVisible(true);
  miFileSep5->setVisible(true);
  UpdateDeliveryCheckCommand();
}

void TfrmMain::ReadSettings() {
  TExtRegistry s = ExRg();
  bool hintCont = s.ReadBool("HintCont", false);
  (hintCont ? miHintCont : miHintSoft)->setChecked(true);
  treeModel_->HintContent = hintCont;
  int lang = s.ReadInteger("ViewLang", 0);
  QAction* langs[] = {miViewLangJ, miViewLangE, miViewLangJE, miViewLangEJ};
  if (lang >= 0 && lang <= 3) {
    langs[lang]->setChecked(true);
    model_->View.SetViewLang(lang);
  }
  leftWidth_ = s.ReadInteger("LeftWidth", 225);
  QAction* uiLangs[] = {miViewUiLangAuto, miViewUiLangJa, miViewUiLangEn};
  uiLangs[static_cast<int>(ReadUiLanguageChoice())]->setChecked(true);
}

int TfrmMain::FileNameModeTag() const {
  for (QAction* a : {miViewFileName, miViewFileManage, miViewFileCont, miViewFileOrg})
    if (a->isChecked()) return a->data().toInt();
  return 2;
}

void TfrmMain::WriteSettings() {
  if (!miHintCont) return;
  TExtRegistry s = ExRg();
  s.WriteBool("HintCont", miHintCont->isChecked());
  s.WriteInteger("ViewFileMode", FileNameModeTag());
  // The folder shown last; with none opened, the one saved before stays.
  if (!model_->View.MediaFolder().empty()) s.WriteString("MediaPath", Q(model_->View.MediaFolder()));
  s.WriteInteger("LeftWidth", pnlLeft->width());
  s.WriteInteger("ViewLang", model_->View.ViewLang());
}

void TfrmMain::SetCaption() {
  const std::string& folder = model_->View.MediaFolder();
  const QString title = ApplicationTitle();
  setWindowTitle(!folder.empty() && DirExists(folder) ? Q(folder) + " - " + title : title);
}

void TfrmMain::miViewLangSubClick(int lang) {
  QAction* langs[] = {miViewLangJ, miViewLangE, miViewLangJE, miViewLangEJ};
  if (lang >= 0 && lang <= 3) langs[lang]->setChecked(true);
  model_->View.SetViewLang(lang);
  if (frmFindOrg) frmFindOrg->RebuildClasses();
}

void TfrmMain::miViewUiLanguageClick(int choice) {
  const auto chosen = static_cast<TUiLanguageChoice>(std::clamp(choice, 0, 2));
  if (chosen == ReadUiLanguageChoice()) return;
  WriteUiLanguageChoice(chosen);
  // Asked in the language chosen: the one the user reads from now on.
  const UiLanguage language = chosen == TUiLanguageChoice::Japanese  ? UiLanguage::Japanese
                              : chosen == TUiLanguageChoice::English ? UiLanguage::English
                                                                     : LanguageFromEnvironment();
  static const char* const kRestartQuestion =
      QT_TRANSLATE_NOOP("TfrmMain", "表示言語は次回の起動から変わります。今すぐ再起動しますか？");
  if (Ask(S(TranslateIn(language, "TfrmMain", kRestartQuestion)), MsgIcon::Question, MsgButtons::YesNo,
          DialogAnswer::No) == DialogAnswer::Yes)
    Restart();
}

bool TfrmMain::Restart() {
  // Not under a check, a modal window or the photo viewer's start: the window
  // would refuse to close, or work would be cut off.
  if (deliveryCheckRunning_ || loading_ || !miExit->isEnabled() || QApplication::activeModalWidget()) return false;
  QStringList folders;
  auto add = [&folders](const std::string& folder) {
    if (!folder.empty() && !folders.contains(Q(folder))) folders << Q(folder);
  };
  // The media in the order they were read, so that the first is the
  // delivery again and the others its further media.
  for (const auto& m : model_->View.ReachableMedia()) add(m.Folder);
  add(model_->View.MediaFolder());
  // The new start comes back to the item selected now.
  QJsonArray steps;
  for (const TMdlTreeView::TPathStep& step : model_->View.ItemPath(SelectedItem()))
    steps.append(QJsonArray{step.Number, Q(step.Caption), step.Row});
  ExRg().WriteString(kRestartItemKey, QString::fromUtf8(QJsonDocument(steps).toJson(QJsonDocument::Compact)));
  const QString program = QCoreApplication::applicationFilePath();
  const bool started = TfrmMainHooks::StartProgram ? TfrmMainHooks::StartProgram(program, folders)
                                                   : QProcess::startDetached(program, folders);
  if (!started) {
    ExRg().WriteString(kRestartItemKey, QString());
    Ask(S(QCoreApplication::translate("TfrmMain", "再起動できませんでした。次回の起動から表示言語が変わります。")),
        MsgIcon::Error, MsgButtons::Ok, DialogAnswer::Ok);
    return false;
  }
  close();
  return true;
}

void TfrmMain::miViewFileNameClick(int mode) {
  QAction* modes[] = {miViewFileName, miViewFileManage, miViewFileCont, miViewFileOrg};
  if (mode >= 0 && mode <= 3) modes[mode]->setChecked(true);
  model_->View.SetFileNameMode(FileNameModeTag());
  UpdatePrevNext();
}

}  // namespace dlvr
