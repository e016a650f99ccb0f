#include "panes/seldir.h"

#include "components/form_control.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "delivery/prompts.h"
#include "delivery/sibling_media.h"
#include "panes/find_files.h"
#include "panes/folder_view.h"
#include "platform/drive.h"
#include "platform/paths.h"

namespace dlvr {
namespace {

// The program's own file search window, unless another search is installed.
bool SearchWithFindFiles(QWidget* owner, const QString& folder, const QString& pattern, QString& chosenFile) {
  QString file = pattern;
  if (!TfrmFindFiles::FindFiles(owner, folder, file)) return false;
  chosenFile = file;
  return true;
}

TfrmSelDir::FindHandler& DefaultFindHandler() {
  static TfrmSelDir::FindHandler handler = SearchWithFindFiles;
  return handler;
}

std::string Local(const QString& path) { return path.toStdString(); }

QString WithSlash(const QString& path) { return path.endsWith('/') ? path : path + '/'; }

void Warn(const QString& text) {
  MessageRequest request;
  request.Text = text.toStdString();
  request.Icon = MsgIcon::Warning;
  Prompts().Show(request);
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& caption, const QIcon& icon) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(caption);
  button->setIcon(icon);
  button->setIconSize(QSize(24, 24));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  button->setMinimumWidth(64);
  return button;
}

}  // namespace

int PathCharCount(const QString& path) { return int(path.toUcs4().size()); }

TfrmSelDir::TfrmSelDir(QWidget* parent) : QDialog(parent), findHandler_(DefaultFindHandler()) {
  setObjectName(QStringLiteral("frmSelDir"));
  setWindowTitle(QCoreApplication::translate("TfrmSelDir", "フォルダ選択"));
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  pnlTool_ = new QWidget(this);
  pnlTool_->setObjectName(QStringLiteral("pnlTool"));
  auto* tools = new QHBoxLayout(pnlTool_);
  tools->setContentsMargins(4, 2, 4, 2);
  tools->setSpacing(2);
  btnOK_ = MakeToolButton(pnlTool_, "btnOK", QCoreApplication::translate("TfrmSelDir", "決定"),
                          style()->standardIcon(QStyle::SP_DialogOkButton));
  btnCancel_ = MakeToolButton(pnlTool_, "btnCancel", QCoreApplication::translate("TfrmSelDir", "ｷｬﾝｾﾙ"),
                              style()->standardIcon(QStyle::SP_DialogCancelButton));
  bbtFind_ = MakeToolButton(
      pnlTool_, "bbtFind", QCoreApplication::translate("TfrmSelDir", "検索"),
      QIcon::fromTheme(QStringLiteral("edit-find"), style()->standardIcon(QStyle::SP_FileDialogContentsView)));
  tools->addWidget(btnOK_);
  tools->addWidget(btnCancel_);
  tools->addWidget(bbtFind_);
  tools->addStretch(1);
  layout->addWidget(pnlTool_);

  EdtDir_ = new QLineEdit(this);
  EdtDir_->setObjectName(QStringLiteral("EdtDir"));
  // Shows the path shortened; with the focus, the whole path to type over
  // or paste into (Enter goes there and decides as "決定" does).
  EdtDir_->setFocusPolicy(Qt::ClickFocus);
  EdtDir_->installEventFilter(this);
  layout->addWidget(EdtDir_);

  lblSiblings_ = new QLabel(this);
  lblSiblings_->setObjectName(QStringLiteral("lblSiblings"));
  lblSiblings_->setContentsMargins(4, 0, 4, 0);
  lblSiblings_->setWordWrap(true);
  lblSiblings_->hide();
  layout->addWidget(lblSiblings_);

  fvlSelDir_ = new TFolderViewLT(this);
  fvlSelDir_->setObjectName(QStringLiteral("fvlSelDir"));
  fvlSelDir_->SetF5Refresh(true);
  layout->addWidget(fvlSelDir_, 1);

  StatusBar1_ = new QStatusBar(this);
  StatusBar1_->setObjectName(QStringLiteral("StatusBar1"));
  lblStatus_ = new QLabel(StatusBar1_);
  lblStatus_->setObjectName(QStringLiteral("StatusBar1Text"));
  StatusBar1_->addWidget(lblStatus_, 1);
  layout->addWidget(StatusBar1_);

  connect(btnOK_, &QToolButton::clicked, this, &TfrmSelDir::btnOKClick);
  connect(btnCancel_, &QToolButton::clicked, this, &TfrmSelDir::reject);
  connect(bbtFind_, &QToolButton::clicked, this, &TfrmSelDir::bbtFindClick);
  connect(fvlSelDir_, &TFolderViewLT::ChangePath, this, &TfrmSelDir::fvlSelDirChangePath);
  connect(EdtDir_, &QLineEdit::textEdited, this, &TfrmSelDir::UpdateButtons);

  // The placement is kept under WinPos\<form name>, saved on hide and
  // restored on show before FormShow runs; without one the dialog opens
  // centred on the screen. The client keeps at least 407 x 357.
  resize(480, 420);
  auto* placement = new TFormControl(this);
  placement->setObjectName(QStringLiteral("fclDiSel"));
  placement->DefaultLeft = placement->DefaultTop = -1;
  placement->MinClientWidth = 407;
  placement->MinClientHeight = 357;
  placement->MaxClientWidth = placement->MaxClientHeight = 0;
  placement->ApplyLimits();
  SetPathLimit(240);
  UpdateButtons();
}

TfrmSelDir::~TfrmSelDir() = default;

bool TfrmSelDir::Execute(QWidget* parent, const QString& initialFolder, QString& chosen) {
  TfrmSelDir dialog(parent);
  dialog.SetInitialPath(initialFolder);
  dialog.exec();
  if (!dialog.Confirmed()) return false;
  chosen = dialog.Path();
  return true;
}

void TfrmSelDir::SetPathLimit(int limit) {
  pathLimit_ = limit;
  lblStatus_->setText(limit < 1 ? QString()
                                : QCoreApplication::translate(
                                      "TfrmSelDir", "%1文字を超えるフォルダは、データフォルダとして設定できません。")
                                      .arg(limit));
  UpdateButtons();
}

void TfrmSelDir::SetFindHandler(FindHandler handler) {
  findHandler_ = std::move(handler);
  UpdateButtons();
}

void TfrmSelDir::SetDefaultFindHandler(FindHandler handler) { DefaultFindHandler() = std::move(handler); }

void TfrmSelDir::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmSelDir::FormShow() {
  // The placement was restored just before (fclDiSel): where the dialog was
  // last closed, centred on the screen when it never was.
  confirmed_ = false;
  const QString initial = path_;
  bool selected = !initial.isEmpty() && DirExists(Local(initial)) && fvlSelDir_->SetPath(initial);
  if (!selected) {
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty() || !DirExists(Local(docs))) docs = QDir::homePath();
    fvlSelDir_->SetPath(docs);
  }
  UpdateButtons();
  ShowPath();
  ShowSiblingMedia();
  fvlSelDir_->setFocus();
}

QString TfrmSelDir::TypedPath() const {
  if (!EdtDir_->isModified()) return {};
  QString typed = EdtDir_->text().trimmed();
  // A path pasted from a file manager or a shell: quoted, as a file URL,
  // from the home folder.
  if (typed.size() >= 2 && (typed.front() == u'"' || typed.front() == u'\'') && typed.back() == typed.front())
    typed = typed.mid(1, typed.size() - 2);
  if (typed.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) typed = QUrl(typed).toLocalFile();
  if (typed == u'~' || typed.startsWith(QStringLiteral("~/"))) typed = QDir::homePath() + typed.mid(1);
  if (typed.isEmpty()) return {};
  typed = QDir::cleanPath(QDir::isRelativePath(typed) ? QDir::current().absoluteFilePath(typed) : typed);
  // A file names its folder (INDEX_C.XML itself, say).
  if (QFileInfo(typed).isFile()) typed = QFileInfo(typed).path();
  return typed;
}

bool TfrmSelDir::GoToTypedPath() {
  const QString typed = TypedPath();
  if (typed.isEmpty()) return true;
  if (!DirExists(Local(typed)) || !fvlSelDir_->SetPath(typed)) {
    Warn(QCoreApplication::translate("TfrmSelDir",
                                     "選択されたフォルダにアクセスできません。\r別のフォルダを指定してください。"));
    EdtDir_->setFocus();
    return false;
  }
  EdtDir_->setModified(false);
  UpdateButtons();
  ShowPath();
  return true;
}

void TfrmSelDir::UpdateButtons() {
  if (!fvlSelDir_) return;
  // A path being typed is judged as the tree's folder would be.
  const QString typed = TypedPath();
  const QString path = typed.isEmpty() ? fvlSelDir_->CurrentPath() : typed;
  const bool real = !typed.isEmpty() || !fvlSelDir_->IsVirtual();
  const bool withinLimit = pathLimit_ < 1 || PathCharCount(path) <= pathLimit_;
  btnOK_->setEnabled(real && withinLimit && FileInFolder(Local(path), "INDEX_C.XML").has_value());
  bbtFind_->setEnabled(bool(findHandler_) && real && DirExists(Local(path)));
}

void TfrmSelDir::ShowPath() {
  QString shown = fvlSelDir_->CurrentPath();
  if (!fvlSelDir_->IsVirtual()) shown = WithSlash(shown);
  // The width the edit has for its text, inside its frame and margins.
  QStyleOptionFrame option;
  option.initFrom(EdtDir_);
  option.rect = EdtDir_->rect();
  option.lineWidth = EdtDir_->hasFrame() ? EdtDir_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, EdtDir_) : 0;
  const QRect contents = EdtDir_->style()->subElementRect(QStyle::SE_LineEditContents, &option, EdtDir_);
  const QMargins margins = EdtDir_->textMargins();
  const int width = contents.width() - margins.left() - margins.right() - 5;
  // Being edited: the whole path.
  const QString text = EdtDir_->hasFocus() ? shown : ShortenPath(shown, width, EdtDir_->fontMetrics());
  if (EdtDir_->text() != text || EdtDir_->isModified()) {
    EdtDir_->setText(text);
    EdtDir_->setCursorPosition(0);
  }
  EdtDir_->setToolTip(shown);
}

void TfrmSelDir::ShowSiblingMedia() {
  // Only those the viewer offers to load with the folder: media of the same
  // delivery whose records agree but for the medium number.
  QStringList media;
  if (btnOK_->isEnabled())
    for (const TSiblingMedium& m : FindSiblingMedia(Local(fvlSelDir_->CurrentPath())).Media)
      if (m.SameRecord)
        media << QCoreApplication::translate("TfrmSelDir", "%1（メディア番号 %2）")
                     .arg(QFileInfo(QDir::cleanPath(QString::fromStdString(m.Folder))).fileName(),
                          QString::number(m.MediaNo));
  lblSiblings_->setText(
      media.isEmpty() ? QString()
                      : QCoreApplication::translate("TfrmSelDir", "同じ工事の媒体: %1")
                            .arg(media.join(QCoreApplication::translate("TfrmSelDir", "、", "between the media"))));
  lblSiblings_->setToolTip(lblSiblings_->text());
  lblSiblings_->setVisible(!media.isEmpty());
}

void TfrmSelDir::fvlSelDirChangePath(const QString& path) {
  UpdateButtons();
  ShowPath();
  ShowSiblingMedia();
  if (pathLimit_ >= 1 && PathCharCount(path) > pathLimit_)
    Warn(QCoreApplication::translate("TfrmSelDir", "%1文字を超えるフォルダは設定できません。").arg(pathLimit_));
}

void TfrmSelDir::btnOKClick() {
  // A path typed and not yet gone to: there first.
  if (!GoToTypedPath()) return;
  if (fvlSelDir_->IsVirtual()) return;
  const QString path = fvlSelDir_->CurrentPath();
  if (!QueryMediaReady(Local(path))) {
    Warn(QCoreApplication::translate("TfrmSelDir",
                                     "選択されたフォルダにアクセスできません。\r別のフォルダを指定してください。"));
    fvlSelDir_->setFocus();
    return;
  }
  if (pathLimit_ >= 1 && PathCharCount(path) > pathLimit_) {
    Warn(QCoreApplication::translate("TfrmSelDir",
                                     "選択されたフォルダのパス名が長すぎます。\r別のフォルダを指定してください。"));
    fvlSelDir_->setFocus();
    return;
  }
  path_ = WithSlash(path);
  confirmed_ = true;
  accept();
}

void TfrmSelDir::reject() {
  confirmed_ = false;
  QDialog::reject();
}

void TfrmSelDir::bbtFindClick() {
  if (!findHandler_ || fvlSelDir_->IsVirtual()) return;
  // Search from the parent, so that deliveries beside this folder are found too.
  const QString folder = WithSlash(QFileInfo(fvlSelDir_->CurrentPath()).path());
  QString file;
  if (findHandler_(this, folder, QStringLiteral("INDEX_C.XML"), file)) {
    const QString found = QFileInfo(file).path();
    if (DirExists(Local(found))) fvlSelDir_->SetPath(found);
  }
  fvlSelDir_->setFocus();
}

void TfrmSelDir::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ShowPath();
}

void TfrmSelDir::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
    if (btnOK_->isEnabled())
      btnOKClick();
    else if (EdtDir_->hasFocus() && GoToTypedPath())
      // A folder that is no delivery: shown in the tree to go on from.
      EdtDir_->selectAll();
    event->accept();
    return;
  }
  if (key == Qt::Key_F5 && modifiers == Qt::NoModifier && fvlSelDir_->F5Refresh()) {
    fvlSelDir_->RefreshKeepPath();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TfrmSelDir::eventFilter(QObject* watched, QEvent* event) {
  const bool focus = event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut;
  const Qt::FocusReason reason = focus ? static_cast<QFocusEvent*>(event)->reason() : Qt::OtherFocusReason;
  // A message box or a menu coming and going keeps what is typed.
  if (watched == EdtDir_ && focus && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
    // In: the whole path, selected to type over. Out: a path typed and not
    // gone to is dropped, the folder's shortened path shown again.
    const bool in = event->type() == QEvent::FocusIn;
    EdtDir_->setModified(false);
    ShowPath();
    UpdateButtons();
    if (in) QTimer::singleShot(0, EdtDir_, [edit = EdtDir_] { edit->selectAll(); });
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace dlvr

#include "moc_seldir.cpp"
