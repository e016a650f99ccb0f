#include "panes/files_pane.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "components/ext_registry.h"
#include "components/grid_mode.h"
#include "components/qt_string.h"
#include "delivery/prompts.h"
#include "delivery/records.h"
#include "model/tree_view.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"

namespace dlvr {
namespace {

namespace fs = std::filesystem;

const QColor kEditColor(192, 255, 255);
const QString kWide = QStringLiteral("全角文字");

// Removes a file, read-only or not. True when it is gone afterwards.
bool RemoveFile(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(path, ec))) return true;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
  fs::remove(path, ec);
  return !fs::exists(fs::symlink_status(path, ec));
}

// Removes the earlier preview copies; entries whose file is gone leave the list.
void RemoveOldCopies(std::vector<std::string>& list) {
  for (std::size_t i = list.size(); i-- > 0;) {
    if (RemoveFile(list[i])) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

// The messages of a file the tree names that is not on the media read.
// %1: the medium's number.
const char* const kNotOnMedium = QT_TRANSLATE_NOOP(
    "TfrmMain",
    "現在挿入されているメディアにファイルがありません。\n\r%1番目のメディアを挿入し、更新(F5)を行ってください。");
const char* const kMissingFromDelivery = QT_TRANSLATE_NOOP("TfrmMain", "このファイルは納品データの中にありません。");
const char* const kOnNoMedium = QT_TRANSLATE_NOOP(
    "TfrmMain",
    "読み込まれたメディアの中にファイルがありません。\n\r読み込まれていないメディアを挿入し、更新(F5)を行ってください。");

}  // namespace

namespace preview {

TBusyWindow::TBusyWindow(QWidget*) {
  // The window stays enabled: the keyboard focus stays where the user put
  // it, and a view prepared in the background never holds the user up.
  QApplication::setOverrideCursor(Qt::BusyCursor);
}

TBusyWindow::~TBusyWindow() { QApplication::restoreOverrideCursor(); }

std::string TempFileName(const std::string& ext) {
  std::string e = ext.empty() ? ".tmp" : ext;
  if (e[0] != '.') e.insert(e.begin(), '.');
  // Only in the private work folder, never loose in the shared one.
  const std::string folder = PrivateWorkFolder();
  if (folder.empty()) return std::string();
  return MakeTempFile(TExtRegistry::ProgramName().toStdString(), e, folder);
}

bool WaitForView(TPreviewView& view, int ms) {
  // A short wait lets a quick view finish before the caller goes on; a
  // large one is prepared in the background and reports when it is done.
  // The user's input waits at most this long and is then handled as usual.
  QElapsedTimer timer;
  timer.start();
  const int bound = std::min(ms, kMaxWaitMs);
  while (view.Busy()) {
    const qint64 left = bound - timer.elapsed();
    if (left <= 0) return false;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, static_cast<int>(std::min<qint64>(left, 20)));
  }
  return true;
}

bool Preview(TMdlTreeView& model, const TTreeItem* item, QWidget* container, TPreviewView& view) {
  const std::string path = model.GetFileItem(item, 1);
  if (!FileExists(path)) {
    if (container) container->hide();
    // Both texts are empty only when the item carries no file at all.
    if (path == model.GetFileItem(item, 0))
      Ask(QCoreApplication::translate(
              "TfrmFiles", "リンクされているファイルが見つかりません。\r再度ファイルの添付を行ってください。")
              .toStdString(),
          MsgIcon::Warning, MsgButtons::Ok, DialogAnswer::Ok);
    return false;
  }
  if (container) container->show();
  ShowMissingNote(container, QString());
  TBusyWindow busy(container);
  RemoveOldCopies(model.TempFiles);
  const std::string copy = TempFileName(ExtractFileExt(path));
  if (copy.empty()) return false;
  std::error_code ec;
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing, ec);
  model.TempFiles.push_back(copy);
  if (ec) return false;
  // The copy is shown as if it stood at the original: what it refers to is
  // looked up in the delivery, and only there.
  view.SetSandboxFolders({Q(model.ItemMediumFolder(item))});
  view.Navigate(Q(copy), Q(path));
  WaitForView(view, kPreviewWaitMs);
  return true;
}

QString MissingFileNote(const TMdlTreeView& model, const TTreeItem* item) {
  const TMdlTreeItemData* d = model.NodeData(item);
  const bool nowhere = item && item->ImageIndex() == imgFileMissing;
  // Found when its medium was read, but gone since (a disc taken out of
  // its drive, a folder emptied): its medium is to be inserted again.
  const bool gone = d && d->Exists && !nowhere && model.NodeLevel(item) == nlFile && d->Media > 0 &&
                    !FileExists(model.GetFileItem(item, 1));
  const bool elsewhere = d && (!d->Exists || gone);
  if (!elsewhere && !nowhere) return QString();
  // With every medium loaded there is no other medium to insert: the file
  // is missing from the delivery.
  const bool allLoaded = model.AllMediaLoaded();
  QString why = elsewhere ? QCoreApplication::translate("TfrmMain", kNotOnMedium).arg(d->Media)
                          : QCoreApplication::translate("TfrmMain", allLoaded ? kMissingFromDelivery : kOnNoMedium);
  why.remove(QLatin1Char('\r'));
  const std::string path = model.GetFileItem(item, 1);
  const std::string folder = path.empty() ? model.ItemMediumFolder(item) : ExtractFilePath(path);
  QStringList lines{why, QString()};
  lines << QCoreApplication::translate("TfrmFiles", "ファイル名：%1").arg(Q(ExtractFileName(model.GetFileItem(item, 0))));
  lines << QCoreApplication::translate("TfrmFiles", "探した場所：%1").arg(Q(folder));
  if (elsewhere)
    lines << QCoreApplication::translate("TfrmFiles", "このファイルのあるメディア：%1番目のメディア").arg(d->Media);
  else if (!allLoaded)
    lines << QCoreApplication::translate("TfrmFiles", "このファイルのあるメディア：読み込まれていないメディア");
  return lines.join(QLatin1Char('\n'));
}

void ShowMissingNote(QWidget* container, const QString& note) {
  if (!container) return;
  auto* label = container->findChild<QLabel*>(QStringLiteral("lblMissingFile"));
  if (!label) return;
  for (TPreviewView* view : container->findChildren<TPreviewView*>(Qt::FindDirectChildrenOnly))
    view->setVisible(note.isEmpty());
  label->setText(note);
  label->setVisible(!note.isEmpty());
  if (!note.isEmpty()) container->show();
}

bool ShowPage(const std::string& path, QWidget* container, TPreviewView& view) {
  if (!FileExists(path)) {
    if (container) container->hide();
    return false;
  }
  if (container) container->show();
  TBusyWindow busy(container);
  view.Navigate(Q(path));
  WaitForView(view, kPreviewWaitMs);
  return true;
}

}  // namespace preview

QLabel* MakeCompareFileNote(QWidget* parent) {
  auto* note = new QLabel(parent);
  note->setObjectName("lblCompareFile");
  note->setWordWrap(true);
  note->setMargin(4);
  note->setTextInteractionFlags(Qt::TextSelectableByMouse);
  note->setFocusPolicy(Qt::NoFocus);
  note->hide();
  return note;
}

void ShowCompareFileNote(QLabel* note, const TChangedFileFn& changedFileOf, const TTreeItem* item) {
  std::string oldFile, newFile;
  if (!note) return;
  if (!changedFileOf || !changedFileOf(item, oldFile, newFile)) {
    note->hide();
    note->clear();
    return;
  }
  const QFileInfo before(Q(oldFile)), after(Q(newFile));
  auto size = [](const QFileInfo& f) { return f.exists() ? QString::number(f.size()) : QStringLiteral("—"); };
  auto time = [](const QFileInfo& f) {
    return f.exists() ? f.lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) : QStringLiteral("—");
  };
  note->setText(QCoreApplication::translate("TfrmFiles", "ファイルの内容が変更されています　サイズ: %1 → %2 バイト　更新日時: %3 → %4")
                    .arg(size(before), size(after), time(before), time(after)));
  note->show();
}

// ---------------------------------------------------------------------------

TfrmFiles::TfrmFiles(TViewerModel& model, QWidget* parent) : TPane(model, parent) {
  setObjectName("frmFiles");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pnlT = new QFrame(this);
  pnlT->setObjectName("pnlT");
  auto* top = new QVBoxLayout(pnlT);
  top->setContentsMargins(0, 0, 0, 0);
  Grid = MakeFieldGrid(pnlT, 3);
  top->addWidget(Grid);
  MakeHiddenEditors(pnlT, cbxSoftware, pnlShadow);
  layout->addWidget(pnlT);
  lblCompareFile = MakeCompareFileNote(this);
  layout->addWidget(lblCompareFile);

  webBrowser = MakePreviewPanel(this, Panel1);
  layout->addWidget(Panel1, 1);
  // Without a preview (a missing file) the fields stay at the top.
  layout->addStretch(0);

  cscFile = MakeFieldSizes(this, "cscFile", Grid, 29, 14);

  Grid->SetColWidth(1, -1);
  Grid->SetCell(0, 1, QCoreApplication::translate("TfrmFiles", "ｵﾘｼﾞﾅﾙﾌｧｲﾙ作成ｿﾌﾄﾊﾞｰｼﾞｮﾝ情報"));
  Grid->SetCell(2, 1, QStringLiteral("◎"));
  Grid->SetCell(4, 1, ShownMask(kWide));
  Grid->SetCell(5, 1, QStringLiteral("64"));
  Grid->SetCell(0, 2, ShownFieldCaption("オリジナルファイル内容"));
  Grid->SetCell(2, 2, QStringLiteral("◎"));
  Grid->SetCell(4, 2, ShownMask(kWide));
  Grid->SetCell(5, 2, QStringLiteral("64"));
  Grid->OnSetCellAtr = [this](int col, int row, TCellAtr& atr) { SetCellAtr(col, row, atr); };
  Grid->OnSetWinCtrl = [](int, int, int, QWidget*& ctrl, QRect&, bool&) { ctrl = nullptr; };
  ApplyGridMode(*Grid, true);
  Grid->KeepVertScrollBarVisible();
  Grid->MoveTo(3, 1, false);

  // Panel1 shows exactly while the last navigation completed.
  connect(webBrowser, &TPreviewView::NavigateComplete, this, [this](const QString&) {
    navigated_ = true;
    Panel1->show();
  });
  connect(webBrowser, &TPreviewView::DocumentComplete, this, [this](const QString&) {
    if (navigated_) Panel1->show();
  });
  pnlTResize();
}

void TfrmFiles::showEvent(QShowEvent* e) {
  TPane::showEvent(e);
  if (!firstShow_) return;
  firstShow_ = false;
  const std::string blank = JoinPath(ProgramDir(), "NONE.HTML");
  webBrowser->Navigate(FileExists(blank) ? Q(blank) : QString());
  Grid->MoveTo(3, 1, false);
}

void TfrmFiles::resizeEvent(QResizeEvent* e) {
  TPane::resizeEvent(e);
  pnlTResize();
}

int TfrmFiles::RowBytes(int row) const {
  bool ok = false;
  int bytes = Grid->Cell(5, row).toInt(&ok);
  if (!ok) bytes = 0;
  // Both fields take full-width characters, two bytes each.
  if (row == 1 || row == 2) bytes *= 2;
  return bytes;
}

void TfrmFiles::pnlTResize() {
  // The grid fills the pane's width.
  lineChars_ = FitValueColumn(*Grid, width());
  int total = Grid->RowHeight(0);
  for (int row = 1; row <= 2; ++row) {
    const int bytes = RowBytes(row);
    // Integer division truncates toward zero, so no length gives one line.
    const int lines = std::max(1, (bytes - 1) / lineChars_ + 1);
    RowLines[row - 1] = lines;
    Grid->SetRowHeight(row, Grid->CellHeight(lines));
    // The row as the grid shows it: never lower than a line of its font.
    total += Grid->RowHeight(row);
  }
  pnlT->setFixedHeight(Grid->RowCount() + 3 + total);
  Grid->MoveTo(3, std::max(1, Grid->Row()), false);
  Grid->RefreshVertScrollBar();
  Grid->SetLeftCol(0);
}

void TfrmFiles::SetCellAtr(int col, int row, TCellAtr& atr) {
  if (FieldCellAtr(*Grid, col, row, atr)) return;
  atr.Selectable = true;
  atr.Line[0].TextLines = RowLines[std::clamp(row - 1, 0, 1)];
  atr.Line[0].MaxLength = RowBytes(row);
  atr.Line[0].EditColor = kEditColor;
  if (row == 1) atr.Line[0].EditKind = ekWinCtrl;
}

void TfrmFiles::ShowNode(TTreeItem* item) {
  current_ = item;
  TMdlTreeView& view = model_.View;
  const int cls = view.NodeClass(item);
  pnlT->setVisible(!(cls == 0 || cls == 5 || cls == 12 || cls == 13));
  // A changed field of the original file is asked of its record, under the
  // original's place in the record's list.
  const char* const* elements = cls == 2   ? TMdlTreeNodeMeet::OrgElements
                                : cls == 3 ? TMdlTreeNodePlan::OrgElements
                                : cls == 6 ? TMdlTreeNodeOthrs::OrgElements
                                           : nullptr;
  const std::string org = "オリジナルファイル情報[" + std::to_string(view.NodeNumber(item) + 1) + "] / ";
  const TTreeItem* record = item ? item->Parent() : nullptr;
  auto shown = [&](int code, int element) {
    const std::string value = view.GetFileItem(item, code);
    return elements ? ComparedValue(OldValueOf, record, value, org + elements[element]) : Q(value);
  };
  Grid->SetCell(3, 1, shown(3, 1));
  Grid->SetCell(3, 2, shown(4, 2));
  ShowCompareFileNote(lblCompareFile, ChangedFileOf, item);
  Grid->SetCell(5, 2, cls == 3 ? QStringLiteral("127") : QStringLiteral("64"));
  pnlTResize();
  Grid->viewport()->update();
  Grid->RefreshVertScrollBar();
  Grid->SetLeftCol(0);
  QApplication::processEvents();
  navigated_ = false;
  preview::Preview(view, item, Panel1, *webBrowser);
}

}  // namespace dlvr

#include "moc_files_pane.cpp"
