#include "panes/find_files.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "components/ext_registry.h"
#include "components/form_control.h"
#include "panes/short_path.h"

namespace dlvr {
namespace {

constexpr int kFindColumns = 5;
constexpr int kMinColumnWidth = 50;
constexpr int kDefaultColumnWidth = 100;
// Below this a stored column width counts as absent.
constexpr int kNoWidth = -9999999;

QString WithSlash(const QString& path) { return path.endsWith('/') ? path : path + '/'; }

// Decimal text with ',' between the thousands and '.' before the decimals.
QString Grouped(double value, int decimals) {
  QLocale locale = QLocale::c();
  locale.setNumberOptions(QLocale::DefaultNumberOptions);
  return locale.toString(value, 'f', decimals);
}

QString WildcardToRegex(const QString& pattern) {
  QString regex;
  for (const QChar c : pattern) {
    if (c == '*')
      regex += QStringLiteral(".*");
    else if (c == '?')
      regex += '.';
    else
      regex += QRegularExpression::escape(QString(c));
  }
  return regex;
}

// A file name pattern compiled once for a whole walk.
class TFilePattern {
 public:
  explicit TFilePattern(const QString& pattern) {
    QString body = WildcardToRegex(pattern);
    // "name.*" also takes "name": what a user means by "*.*" is every file.
    if (pattern.endsWith(QStringLiteral(".*"))) body += '|' + WildcardToRegex(pattern.chopped(2));
    regex_.setPattern(QStringLiteral("\\A(?:") + body + QStringLiteral(")\\z"));
    regex_.setPatternOptions(QRegularExpression::CaseInsensitiveOption |
                             QRegularExpression::DotMatchesEverythingOption);
  }
  bool Matches(const QString& name) const { return regex_.match(name).hasMatch(); }

 private:
  QRegularExpression regex_;
};

int CharCount(const QString& text) { return int(text.toUcs4().size()); }

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  // Enter is the dialog's own business (OK on a row), never a default button's.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

// Runs the search window modally; the results the user chose, empty when
// none (cancelled, or nothing chosen).
QStringList RunModal(QWidget* parent, const QString& startFolder, const QString& pattern, bool multi) {
  QPointer<TfrmFindFiles> dialog = new TfrmFindFiles(parent);
  dialog->SetStartFolder(startFolder);
  dialog->SetPattern(pattern);
  dialog->SetMultiSelect(multi);
  const int result = dialog->exec();
  if (!dialog) return {};  // went with its parent while open
  const QStringList chosen = result == QDialog::Accepted ? dialog->Chosen() : QStringList();
  delete dialog.data();
  return chosen;
}

}  // namespace

QString FormatFileSize(qint64 size) {
  if (size < 1024) return QCoreApplication::translate("TfrmFindFiles", "%1 ﾊﾞｲﾄ").arg(Grouped(double(size), 0));
  if (size < 1024 * 1024) return Grouped(double(size) / 1024.0, 1) + QStringLiteral(" KB");
  if (size < 1024 * 1024 * 1024) return Grouped(double(size) / 1048576.0, 1) + QStringLiteral(" MB");
  return Grouped(double(size) / 1073741824.0, 2) + QStringLiteral(" GB");
}

bool MatchesFilePattern(const QString& name, const QString& pattern) { return TFilePattern(pattern).Matches(name); }

QStringList WalkFolders(const QString& startFolder, const QString& pattern, const TFolderWalkHooks& hooks) {
  auto keepGoing = [&hooks] { return !hooks.Continue || hooks.Continue(); };
  QStringList found;

  // Every folder, depth first. Links to folders are never entered, and a
  // folder reached a second time (a bind mount of its own parent) is not
  // walked again, so the walk always ends.
  QStringList folders;
  std::vector<QString> pending{WithSlash(startFolder)};
  std::set<std::pair<dev_t, ino_t>> seen;
  while (!pending.empty()) {
    const QString folder = std::move(pending.back());
    pending.pop_back();
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
    if (!seen.insert({info.st_dev, info.st_ino}).second) continue;
    folders << folder;
    const QStringList subs = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                                                    QDir::Name | QDir::IgnoreCase);
    for (auto it = subs.crbegin(); it != subs.crend(); ++it) pending.push_back(folder + *it + '/');
    if (!keepGoing()) return found;
  }

  const TFilePattern filter(pattern);
  for (const QString& folder : folders) {
    if (!keepGoing()) return found;
    if (hooks.OnFolder) hooks.OnFolder(folder);
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
      if (!filter.Matches(name)) continue;
      found << folder + name;
      if (hooks.OnFound) hooks.OnFound(found.last());
      if (!keepGoing()) return found;
    }
  }
  return found;
}

// ---------------------------------------------------------------------------

THintLabel::THintLabel(QWidget* parent) : QLabel(parent) {}

void THintLabel::SetFullText(const QString& text) {
  fullText_ = text;
  QString shown = text;
  if (CharCount(shown) > MaxChars) {
    shown = ShortenPath(text, MaxChars, CharCount);
    if (shown.isEmpty() || shown == QStringLiteral("/.../") || shown == QStringLiteral(".../") ||
        CharCount(shown) > MaxChars) {
      // Even the last folder name alone is too long: keep the end of the text.
      const auto chars = text.toUcs4();
      const int keep = std::max(0, MaxChars - 3);
      shown = QStringLiteral("...") +
              QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()) + chars.size() - keep, keep);
    }
  }
  setText(shown);
  setToolTip(text);
}

TBusyAnimation::TBusyAnimation(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
  setFixedSize(16, 16);
  timer_->setInterval(80);
  connect(timer_, &QTimer::timeout, this, [this] {
    step_ = (step_ + 1) % 8;
    update();
  });
}

void TBusyAnimation::Start() {
  timer_->start();
  update();
}

void TBusyAnimation::Stop() {
  timer_->stop();
  step_ = 0;
  update();
}

bool TBusyAnimation::Active() const { return timer_->isActive(); }

void TBusyAnimation::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.translate(width() / 2.0, height() / 2.0);
  const QColor ink = palette().color(QPalette::WindowText);
  for (int i = 0; i < 8; ++i) {
    QColor dot = ink;
    // The dot at the current step is solid, the ones behind it fade out.
    dot.setAlphaF(Active() ? 1.0 - 0.11 * ((step_ - i + 8) % 8) : 0.25);
    painter.setBrush(dot);
    painter.save();
    painter.rotate(45.0 * i);
    painter.drawEllipse(QPointF(0, -5.5), 1.6, 1.6);
    painter.restore();
  }
}

// ---------------------------------------------------------------------------

TfrmFindFiles::TfrmFindFiles(QWidget* parent)
    : QDialog(parent),
      icons_(std::make_unique<QFileIconProvider>()),
      mime_(std::make_unique<QMimeDatabase>()),
      ExRg_(std::make_unique<TExtRegistry>(QStringLiteral("frmFindFiles"))) {
  setObjectName(QStringLiteral("frmFindFiles"));
  setWindowTitle(QCoreApplication::translate("TfrmFindFiles", "%1検索").arg(QStringLiteral("INDEX_C.XML")));
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);

  auto* pnlTop = new QWidget(this);
  pnlTop->setObjectName(QStringLiteral("pnlTop"));
  auto* top = new QVBoxLayout(pnlTop);
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(4);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(new QLabel(QCoreApplication::translate("TfrmFindFiles", "検索するフォルダ："), pnlTop));
  lblFindFolder_ = new THintLabel(pnlTop);
  lblFindFolder_->setObjectName(QStringLiteral("lblFindFolder"));
  folderRow->addWidget(lblFindFolder_, 1);
  anmFind_ = new TBusyAnimation(pnlTop);
  anmFind_->setObjectName(QStringLiteral("anmFind"));
  folderRow->addWidget(anmFind_);
  bbtFind_ = MakeButton(pnlTop, "bbtFind", QCoreApplication::translate("TfrmFindFiles", "検索開始"));
  bbtAbort_ = MakeButton(pnlTop, "bbtAbort", QCoreApplication::translate("TfrmFindFiles", "検索中止"));
  folderRow->addWidget(bbtFind_);
  folderRow->addWidget(bbtAbort_);
  top->addLayout(folderRow);

  pnlPattern_ = new QWidget(pnlTop);
  pnlPattern_->setObjectName(QStringLiteral("pnlPattern"));
  auto* patternRow = new QHBoxLayout(pnlPattern_);
  patternRow->setContentsMargins(0, 0, 0, 0);
  auto* lblPattern = new QLabel(QCoreApplication::translate("TfrmFindFiles", "ファイル名："), pnlPattern_);
  edtPattern_ = new QLineEdit(pnlPattern_);
  edtPattern_->setObjectName(QStringLiteral("edtPattern"));
  edtPattern_->setText(QStringLiteral("*"));
  lblPattern->setBuddy(edtPattern_);
  patternRow->addWidget(lblPattern);
  patternRow->addWidget(edtPattern_, 1);
  pnlPattern_->hide();
  top->addWidget(pnlPattern_);

  lblFindInfo_ = new QLabel(pnlTop);
  lblFindInfo_->setObjectName(QStringLiteral("lblFindInfo"));
  lblFindInfo_->setMinimumWidth(1);  // long texts never widen the window
  top->addWidget(lblFindInfo_);
  layout->addWidget(pnlTop);

  lvwFind_ = new QTreeWidget(this);
  lvwFind_->setObjectName(QStringLiteral("lvwFind"));
  lvwFind_->setRootIsDecorated(false);
  lvwFind_->setUniformRowHeights(true);
  lvwFind_->setAllColumnsShowFocus(true);
  lvwFind_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvwFind_->setSortingEnabled(false);
  lvwFind_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvwFind_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvwFind_->setIconSize(QSize(16, 16));
  lvwFind_->setColumnCount(kFindColumns);
  lvwFind_->setHeaderLabels({QCoreApplication::translate("TfrmFindFiles", "ファイル名"),
                             QCoreApplication::translate("TfrmFindFiles", "フォルダ名"),
                             QCoreApplication::translate("TfrmFindFiles", "サイズ"),
                             QCoreApplication::translate("TfrmFindFiles", "種類"),
                             QCoreApplication::translate("TfrmFindFiles", "更新日時")});
  lvwFind_->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  QHeaderView* header = lvwFind_->header();
  header->setSectionsClickable(false);
  header->setSectionsMovable(false);
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(kMinColumnWidth);
  header->setDefaultSectionSize(kDefaultColumnWidth);
  for (int i = 0; i < kFindColumns; ++i) header->resizeSection(i, kDefaultColumnWidth);
  layout->addWidget(lvwFind_, 1);

  // OK and cancel stay centred together however wide the window is.
  auto* pnlBottom = new QWidget(this);
  pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
  auto* bottom = new QHBoxLayout(pnlBottom);
  bottom->setContentsMargins(0, 2, 0, 0);
  bbtOk_ = MakeButton(pnlBottom, "bbtOk", QStringLiteral("OK"));
  bbtCancel_ = MakeButton(pnlBottom, "bbtCancel", QCoreApplication::translate("TfrmFindFiles", "ｷｬﾝｾﾙ"));
  bottom->addStretch(1);
  bottom->addWidget(bbtOk_);
  bottom->addWidget(bbtCancel_);
  bottom->addStretch(1);
  layout->addWidget(pnlBottom);

  connect(bbtFind_, &QPushButton::clicked, this, &TfrmFindFiles::StartSearch);
  connect(bbtAbort_, &QPushButton::clicked, this, &TfrmFindFiles::StopSearch);
  connect(bbtOk_, &QPushButton::clicked, this, &TfrmFindFiles::bbtOkClick);
  connect(bbtCancel_, &QPushButton::clicked, this, &TfrmFindFiles::reject);
  connect(edtPattern_, &QLineEdit::returnPressed, this, &TfrmFindFiles::StartSearch);
  connect(lvwFind_, &QTreeWidget::itemSelectionChanged, this, &TfrmFindFiles::UpdateButtons);
  connect(lvwFind_, &QTreeWidget::itemDoubleClicked, this, [this] { bbtOkClick(); });

  // The placement is kept under WinPos\frmFindFiles; the client keeps at
  // least 504 x 274.
  resize(560, 360);
  auto* FrmCtrl = new TFormControl(this);
  FrmCtrl->MinClientWidth = 504;
  FrmCtrl->MinClientHeight = 274;
  FrmCtrl->MaxClientWidth = FrmCtrl->MaxClientHeight = 0;
  FrmCtrl->ApplyLimits();

  ReadColumnWidths();
  UpdateButtons();
}

TfrmFindFiles::~TfrmFindFiles() {
  // A walk still running (the window went with its owner) ends at its next entry.
  stop_ = true;
  WriteColumnWidths();
}

bool TfrmFindFiles::FindFiles(QWidget* parent, const QString& startFolder, QString& pattern) {
  const QStringList chosen = RunModal(parent, startFolder, pattern, false);
  if (chosen.isEmpty()) return false;
  pattern = chosen.first();
  return true;
}

bool TfrmFindFiles::FindFiles(QWidget* parent, const QString& startFolder, const QString& pattern,
                              QStringList& chosen) {
  const QStringList picked = RunModal(parent, startFolder, pattern, true);
  if (picked.isEmpty()) return false;
  chosen << picked;
  return true;
}

void TfrmFindFiles::FindGeneral(QWidget* parent) {
  QPointer<TfrmFindFiles> dialog = new TfrmFindFiles(parent);
  dialog->SetGeneralMode(true);
  dialog->SetStartFolder(QDir::homePath());
  const int result = dialog->exec();
  if (!dialog) return;
  const QStringList chosen = result == QDialog::Accepted ? dialog->Chosen() : QStringList();
  delete dialog.data();
  if (!chosen.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(chosen.first()));
}

void TfrmFindFiles::SetStartFolder(const QString& folder) {
  startFolder_ = WithSlash(folder);
  lblFindFolder_->SetFullText(startFolder_);
}

void TfrmFindFiles::SetPattern(const QString& pattern) { edtPattern_->setText(pattern); }

QString TfrmFindFiles::Pattern() const {
  const QString pattern = generalMode_ ? edtPattern_->text().trimmed() : edtPattern_->text();
  return pattern.isEmpty() ? QStringLiteral("*") : pattern;
}

void TfrmFindFiles::SetMultiSelect(bool multi) {
  lvwFind_->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void TfrmFindFiles::SetGeneralMode(bool general) {
  generalMode_ = general;
  pnlPattern_->setVisible(general);
  setWindowTitle(general ? QCoreApplication::translate("TfrmFindFiles", "一般データファイル検索")
                         : QCoreApplication::translate("TfrmFindFiles", "%1検索").arg(QStringLiteral("INDEX_C.XML")));
}

void TfrmFindFiles::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous() || !firstActivation_) return;
  if (generalMode_) {
    // The user names the files first; a search of the whole home folder for
    // every file is not started unasked.
    edtPattern_->setFocus();
    edtPattern_->selectAll();
    return;
  }
  // Once the window is up, from its own event loop.
  QTimer::singleShot(0, this, [this] {
    if (firstActivation_) StartSearch();
  });
}

void TfrmFindFiles::StartSearch() {
  if (searching_) return;
  searching_ = true;
  stop_ = false;
  const bool first = std::exchange(firstActivation_, false);
  QPointer<TfrmFindFiles> self(this);

  lvwFind_->clear();
  results_.clear();
  chosen_.clear();
  UpdateButtons();
  bbtAbort_->setFocus();
  anmFind_->Start();
  SetStatus(QCoreApplication::translate("TfrmFindFiles", "検索しています。"));

  struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  } cursor;

  // Events are processed after every row and otherwise every few
  // milliseconds; the window may be closed or even destroyed meanwhile, so
  // nothing of it is touched once `self` is gone.
  QElapsedTimer sincePump;
  sincePump.start();
  bool rowAdded = false;
  TFolderWalkHooks hooks;
  hooks.Continue = [&] {
    if (rowAdded || sincePump.elapsed() >= 10) {
      rowAdded = false;
      QCoreApplication::processEvents();
      sincePump.restart();
    }
    return !self.isNull() && !self->stop_;
  };
  hooks.OnFolder = [this](const QString& folder) {
    const int width = lblFindInfo_->width() - 120;
    SetStatus(QCoreApplication::translate("TfrmFindFiles", "'%1' 検索しています。")
                  .arg(ShortenPath(folder, width, lblFindInfo_->fontMetrics())));
  };
  hooks.OnFound = [this, &rowAdded](const QString& file) {
    results_ << file;
    AddRow(file);
    rowAdded = true;
    emit FileFound(file);
  };
  WalkFolders(startFolder_, Pattern(), hooks);
  if (!self) return;

  searching_ = false;
  searched_ = true;
  anmFind_->Stop();
  SetStatus(
      results_.isEmpty()
          ? QCoreApplication::translate("TfrmFindFiles", "何も見つかりませんでした。")
          : QCoreApplication::translate("TfrmFindFiles", "%1個のファイルが見つかりました。").arg(results_.size()));
  if (lvwFind_->topLevelItemCount() > 0) {
    if (first)
      lvwFind_->selectionModel()->setCurrentIndex(lvwFind_->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    lvwFind_->setFocus();
  } else {
    (generalMode_ ? static_cast<QWidget*>(edtPattern_) : bbtFind_)->setFocus();
  }
  UpdateButtons();
  emit SearchFinished();
}

void TfrmFindFiles::UpdateButtons() {
  bbtFind_->setEnabled(!searching_);
  bbtAbort_->setEnabled(searching_);
  bbtCancel_->setEnabled(!searching_);
  edtPattern_->setEnabled(!searching_);
  bbtOk_->setEnabled(!searching_ && !lvwFind_->selectedItems().isEmpty());
}

void TfrmFindFiles::SetStatus(const QString& text) {
  if (lblFindInfo_->text() != text) lblFindInfo_->setText(text);
}

void TfrmFindFiles::AddRow(const QString& file) {
  const QFileInfo info(file);
  auto* item = new QTreeWidgetItem(lvwFind_);
  item->setText(0, info.fileName().trimmed());
  item->setIcon(0, IconFor(file));
  item->setText(1, file.left(file.lastIndexOf('/') + 1));
  item->setText(2, FormatFileSize(info.size()));
  item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  item->setText(3, mime_->mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension).comment());
  item->setText(4, info.lastModified().toString(QStringLiteral("yyyy/MM/dd hh:mm")));
}

QIcon TfrmFindFiles::IconFor(const QString& file) {
  const QFileInfo info(file);
  const QString key = info.suffix().toLower();
  auto it = iconCache_.constFind(key);
  if (it == iconCache_.constEnd()) it = iconCache_.insert(key, icons_->icon(info));
  return *it;
}

void TfrmFindFiles::bbtOkClick() {
  if (searching_ || !bbtOk_->isEnabled()) return;
  QStringList chosen;
  const int rows = std::min(lvwFind_->topLevelItemCount(), int(results_.size()));
  for (int row = 0; row < rows; ++row)
    if (lvwFind_->topLevelItem(row)->isSelected()) chosen << results_[row];
  if (chosen.isEmpty()) return;
  chosen_ = chosen;
  accept();
}

void TfrmFindFiles::done(int result) {
  // Closing while the walk runs stops it; the window stays with what it found.
  if (searching_) {
    stop_ = true;
    return;
  }
  QDialog::done(result);
}

void TfrmFindFiles::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* button = qobject_cast<QPushButton*>(focus)) {
      if (button->isEnabled()) button->click();
    } else if (focus != edtPattern_) {  // the pattern field starts a search itself
      bbtOkClick();
    }
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmFindFiles::ReadColumnWidths() {
  QHeaderView* header = lvwFind_->header();
  for (int i = 0; i < kFindColumns; ++i) {
    const int width = ExRg_->ReadInteger(QStringLiteral("ColumnWidth_%1").arg(i), kNoWidth);
    if (width > kNoWidth) header->resizeSection(i, std::max(width, kMinColumnWidth));
  }
}

void TfrmFindFiles::WriteColumnWidths() {
  QHeaderView* header = lvwFind_->header();
  for (int i = 0; i < kFindColumns; ++i) ExRg_->WriteInteger(QStringLiteral("ColumnWidth_%1").arg(i), header->sectionSize(i));
}

}  // namespace dlvr

#include "moc_find_files.cpp"
