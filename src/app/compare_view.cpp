#include "app/compare_view.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStatusBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStringDecoder>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <sstream>

#include "app/kkt_tree_model.h"
#include "check/viewer_model.h"
#include "compare/compare_report.h"
#include "components/drawing_canvas.h"
#include "components/legible_color.h"
#include "components/preview_view.h"
#include "components/qt_string.h"
#include "delivery/prompts.h"
#include "delivery/sibling_media.h"
#include "panes/cad_files_pane.h"
#include "panes/files_pane.h"
#include "panes/info_panes.h"
#include "platform/translate.h"
#include "platform/fileio.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// A file's place on disk as the tree and the comparison both can name it.
QString ComparedFileKey(const std::string& path) {
  return QDir::cleanPath(QFileInfo(Q(path)).absoluteFilePath()).toCaseFolded();
}

// The toolbar's compare icon: two pages side by side, the right one marked.
QIcon CompareToolIcon() {
  QPixmap pix(32, 32);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 60), 1.5));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3.5, 5.5, 12, 17));
  p.drawRect(QRectF(16.5, 9.5, 12, 17));
  p.setPen(QPen(QColor(150, 150, 150), 1.5));
  for (int y : {10, 14, 18}) p.drawLine(QPointF(6, y), QPointF(13, y));
  p.setPen(QPen(QColor(200, 100, 0), 2));
  for (int y : {14, 18, 22}) p.drawLine(QPointF(19, y), QPointF(26, y));
  return QIcon(pix);
}

// A text file's lines: UTF-8 when it reads as such, else Shift-JIS; empty
// (and false) for a file too large or unreadable.
bool CompareTextLines(const std::string& path, QStringList& lines) {
  std::string bytes;
  // The size is judged before reading: a large file is never read whole on
  // the GUI thread only to be refused.
  if (ReadRegularFile(path, 4 * 1024 * 1024, bytes) != TReadStatus::Ok) return false;
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (utf8.hasError()) text = Q(Cp932ToUtf8(bytes));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lines = text.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  return true;
}

// The lines of each side that the other lacks (a longest common
// subsequence of lines is what both keep); nothing marked when the files
// are too long to compare line by line.
void CompareLineDiff(const QStringList& a, const QStringList& b, std::vector<bool>& onlyA, std::vector<bool>& onlyB) {
  const std::size_t n = static_cast<std::size_t>(a.size()), m = static_cast<std::size_t>(b.size());
  onlyA.assign(n, false);
  onlyB.assign(m, false);
  if ((n + 1) * (m + 1) > 4'000'000) return;
  std::vector<std::uint32_t> len((n + 1) * (m + 1), 0);
  auto at = [m, &len](std::size_t i, std::size_t j) -> std::uint32_t& { return len[i * (m + 1) + j]; };
  for (std::size_t i = n; i-- > 0;)
    for (std::size_t j = m; j-- > 0;)
      at(i, j) = a[static_cast<qsizetype>(i)] == b[static_cast<qsizetype>(j)] ? at(i + 1, j + 1) + 1
                                                                                : std::max(at(i + 1, j), at(i, j + 1));
  std::size_t i = 0, j = 0;
  while (i < n && j < m) {
    if (a[static_cast<qsizetype>(i)] == b[static_cast<qsizetype>(j)]) {
      ++i;
      ++j;
    } else if (at(i + 1, j) >= at(i, j + 1)) {
      onlyA[i++] = true;
    } else {
      onlyB[j++] = true;
    }
  }
  for (; i < n; ++i) onlyA[i] = true;
  for (; j < m; ++j) onlyB[j] = true;
}

// Shows `lines` with the marked ones on a background of `color`.
void ShowDiffLines(QPlainTextEdit* edit, const QStringList& lines, const std::vector<bool>& marked, const QColor& color) {
  edit->setPlainText(lines.join(QLatin1Char('\n')));
  QList<QTextEdit::ExtraSelection> marks;
  for (int i = 0; i < lines.size(); ++i) {
    if (!marked[static_cast<std::size_t>(i)]) continue;
    QTextEdit::ExtraSelection s;
    s.cursor = QTextCursor(edit->document()->findBlockByNumber(i));
    s.format.setBackground(color);
    s.format.setProperty(QTextFormat::FullWidthSelection, true);
    marks << s;
  }
  edit->setExtraSelections(marks);
}

}  // namespace

// A compare on its worker: what it is at, and whether it is to stop. Shared
// by the worker and the view; the view reads the progress on a timer, so the
// worker never calls into a window.
struct TCompareRun {
  std::atomic<bool> Cancel{false};
  std::mutex Mutex;
  int Phase = 0;  // 0 reading the earlier delivery, 1 its photos, 2 comparing
  std::string What;
  int Media = 0;
};

// The worker's answer: the earlier delivery read and the changes.
struct TCompareOutcome {
  std::shared_ptr<const TComparedDelivery> Older;
  std::shared_ptr<const TComparedDelivery> Newer;
  std::vector<TChange> Changes;
};

TCompareView::TCompareView(TCompareHost host) : QObject(host.Window), main_(std::move(host)) {
  setObjectName("CompareView");
  auto act = [this](const char* name, const QString& caption) {
    auto* a = new QAction(caption, main_.Window);
    a->setObjectName(name);
    return a;
  };
  miCompare = act("miCompare", QCoreApplication::translate("TCompareView", "比較(&M)..."));
  miCompare->setStatusTip(QCoreApplication::translate("TCompareView", "読み込んだ納品物を以前の納品物と比較します"));
  miCompareEnd = act("miCompareEnd", QCoreApplication::translate("TCompareView", "比較終了"));
  miCompareChangedOnly = act("miCompareChangedOnly", QCoreApplication::translate("TCompareView", "変更のみ表示"));
  miCompareChangedOnly->setCheckable(true);
  miComparePrint = act("miComparePrint", QCoreApplication::translate("TCompareView", "比較結果の印刷..."));
  miCompareCsv = act("miCompareCsv", QCoreApplication::translate("TCompareView", "CSV 出力..."));
  miComparePdf = act("miComparePdf", QCoreApplication::translate("TCompareView", "PDF 出力..."));
  miCompareFiles = act("miCompareFiles", QCoreApplication::translate("TCompareView", "新旧を並べて表示"));
  connect(miCompare, &QAction::triggered, this, &TCompareView::CompareClick);
  connect(miCompareEnd, &QAction::triggered, this, &TCompareView::End);
  connect(miCompareChangedOnly, &QAction::toggled, this, &TCompareView::ApplyFilter);
  connect(miCompareFiles, &QAction::triggered, this, &TCompareView::CompareFilesClick);
  connect(miComparePrint, &QAction::triggered, this, &TCompareView::PrintClick);
  connect(miCompareCsv, &QAction::triggered, this, [this] { ExportClick(false); });
  connect(miComparePdf, &QAction::triggered, this, [this] { ExportClick(true); });

  // In the ファイル menu after the checks.
  QAction* before = main_.MenuBefore;
  main_.FileMenu->insertSeparator(before);
  main_.FileMenu->insertActions(before, {miCompare, miCompareEnd, miCompareChangedOnly, miCompareFiles});
  miCompareResult = new QMenu(QCoreApplication::translate("TCompareView", "比較結果(&R)"), main_.FileMenu);
  miCompareResult->setObjectName("miCompareResult");
  miCompareResult->addActions({miComparePrint, miCompareCsv, miComparePdf});
  main_.FileMenu->insertMenu(before, miCompareResult);

  // On the toolbar after the delivery check.
  const QString caption = QCoreApplication::translate("TCompareView", "比較");
  miCompare->setIcon(CompareToolIcon());
  miCompare->setIconVisibleInMenu(false);
  miCompare->setIconText(caption);
  miCompare->setToolTip(caption);
  auto* button = new QToolButton(main_.ToolBar);
  button->setObjectName("tbtCompare");
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setDefaultAction(miCompare);
  const QList<QAction*> bar = main_.ToolBar->actions();
  QAction* barBefore = nullptr;
  for (int i = 0; i < bar.size(); ++i) {
    QWidget* w = main_.ToolBar->widgetForAction(bar[i]);
    if (w && w->objectName() == main_.ToolAfter && i + 1 < bar.size()) barBefore = bar[i + 1];
  }
  if (barBefore)
    main_.ToolBar->insertWidget(barBefore, button);
  else
    main_.ToolBar->addWidget(button);

  lblCompareLegend = new QLabel(main_.Window->statusBar());
  lblCompareLegend->setObjectName("lblCompareLegend");
  lblCompareLegend->setTextFormat(Qt::RichText);
  main_.Window->statusBar()->addPermanentWidget(lblCompareLegend);
  lblCompareLegend->hide();

  treeModel_ = main_.TreeModel;
  main_.TreeModel->CompareMark = [this](const TTreeItem* item) { return Mark(item); };
  connect(main_.Tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &TCompareView::UpdateCommands);
  UpdateCommands();
}

TCompareView::~TCompareView() {
  if (run_) run_->Cancel = true;
  // The window may have taken its tree model down before its children.
  if (treeModel_) treeModel_->CompareMark = nullptr;
}

int TCompareView::Mark(const TTreeItem* item) const {
  if (!comparing_) return cmNone;
  const auto it = marks_.find(item);
  return it == marks_.end() ? cmNone : it->second;
}

bool TCompareView::OldValue(const TTreeItem* item, const std::string& field, std::string& old) const {
  if (!comparing_) return false;
  TMdlTreeView& v = main_.Model->View;
  const int cls = item ? v.NodeClass(item) : 0;
  const int number = item ? v.NodeNumber(item) : -1;
  for (const TChange& c : changes_) {
    if (c.What != TChangeWhat::Field || c.Class != cls || c.Field != field) continue;
    if (item && c.NewRecord != number) continue;
    old = c.Old;
    return true;
  }
  return false;
}

void TCompareView::CompareClick() {
  TMdlTreeView& v = main_.Model->View;
  if (v.MediaFolder().empty() || running_) return;
  QString chosen;
  const QString initial = oldFolders_.isEmpty() ? QString() : oldFolders_.front();
  if (!main_.SelectFolder || !main_.SelectFolder(main_.Window, initial, chosen)) return;
  // The earlier delivery's further media: the folders beside it that the
  // loader would take as media of the same delivery.
  QStringList folders{chosen};
  for (const TSiblingMedium& m : FindSiblingMedia(chosen.toStdString()).Media)
    if (m.SameRecord && QDir::cleanPath(Q(m.Folder)) != QDir::cleanPath(chosen)) folders << Q(m.Folder);
  CompareWith(folders);
}

void TCompareView::CompareWith(const QStringList& folders) {
  End();
  TMdlTreeView& v = main_.Model->View;
  if (folders.isEmpty() || v.MediaFolder().empty()) return;
  const int generation = ++generation_;
  running_ = true;
  UpdateCommands();
  lblCompareLegend->setText(QCoreApplication::translate("TCompareView", "比較中..."));
  lblCompareLegend->show();
  main_.Window->statusBar()->showMessage(QCoreApplication::translate("TCompareView", "比較中..."));
  // The loaded delivery's records are taken here (they belong to this
  // thread's model); its photos, the earlier delivery and the comparison
  // are the worker's.
  auto newer = std::make_shared<TComparedDelivery>(ComparedDeliveryOf(v, false));
  oldFolders_ = folders;
  newFolders_.clear();
  for (const TComparedMedium& m : newer->Media) newFolders_ += (newFolders_.isEmpty() ? "" : ", ") + Q(m.Folder);
  kojiName_ = newer->Index.KojiName;
  kojiNo_ = newer->Index.KojiNo;
  std::vector<std::string> paths;
  for (const QString& f : folders) paths.push_back(f.toStdString());
  auto run = std::make_shared<TCompareRun>();
  run_ = run;
  if (!progressTimer_) {
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, &TCompareView::ShowProgress);
  }
  progressTimer_->start();
  ShowProgress();
  auto* watcher = new QFutureWatcher<TCompareOutcome>(this);
  connect(watcher, &QFutureWatcher<TCompareOutcome>::finished, this, [this, watcher, generation] {
    watcher->deleteLater();
    TCompareOutcome outcome = watcher->result();
    Finished(std::move(outcome.Changes), generation, std::move(outcome.Older), std::move(outcome.Newer));
  });
  // The worker holds what it reads: an ended compare drops its result, never
  // its data.
  const std::function<void()> starts = WorkerStarts;
  watcher->setFuture(QtConcurrent::run([run, paths, newer, starts] {
    if (starts) starts();
    TCompareOutcome out;
    auto phase = [&run](int p, const std::string& what, int media) {
      const std::lock_guard<std::mutex> lock(run->Mutex);
      run->Phase = p;
      run->What = what;
      run->Media = media;
    };
    TReadComparedOptions read;
    read.Cancel = &run->Cancel;
    read.OnProgress = [&phase](const std::string& what, int media) { phase(what.empty() ? 1 : 0, what, media); };
    auto older = std::make_shared<TComparedDelivery>(ReadComparedDelivery(paths, nullptr, read));
    if (run->Cancel) return out;
    phase(1, std::string(), 0);
    ReadComparedPhotos(*newer);
    if (run->Cancel) return out;
    phase(2, std::string(), 0);
    TCompareOptions options;
    options.Cancel = &run->Cancel;
    out.Changes = CompareDeliveries(*older, *newer, options);
    out.Older = std::move(older);
    out.Newer = newer;
    return out;
  }));
}

void TCompareView::ShowProgress() {
  if (!run_ || !running_) return;
  int phase = 0, media = 0;
  std::string what;
  {
    const std::lock_guard<std::mutex> lock(run_->Mutex);
    phase = run_->Phase;
    what = run_->What;
    media = run_->Media;
  }
  QString text;
  if (phase == 2)
    text = QCoreApplication::translate("TCompareView", "比較中: ファイルの内容を比べています...");
  else if (phase == 1)
    text = QCoreApplication::translate("TCompareView", "比較中: 写真情報を読み込んでいます...");
  else if (!what.empty())
    text = QCoreApplication::translate("TCompareView", "比較中: 以前の納品物の %1 を読み込んでいます (%2枚目のメディア)...")
               .arg(Q(Tr("FieldNames", what)), QString::number(media));
  else
    text = QCoreApplication::translate("TCompareView", "比較中: 以前の納品物を読み込んでいます...");
  if (lblCompareLegend->text() != text) lblCompareLegend->setText(text);
}

void TCompareView::Finished(std::vector<TChange> changes, int generation, std::shared_ptr<const TComparedDelivery> older,
                            std::shared_ptr<const TComparedDelivery> newer) {
  if (generation != generation_) return;
  if (progressTimer_) progressTimer_->stop();
  run_.reset();
  running_ = false;
  comparing_ = true;
  changes_ = std::move(changes);
  older_ = std::move(older);
  deliveryFolders_.clear();
  for (const TComparedDelivery* side : {older_.get(), newer.get()})
    if (side)
      for (const TComparedMedium& m : side->Media) deliveryFolders_ << ComparedFileKey(m.Folder);
  main_.Window->statusBar()->clearMessage();
  MarkTree();
  UpdateLegend();
  UpdateCommands();
  ApplyFilter();
  RefreshPanes();
}

void TCompareView::AddRemovedItems() {
  TMdlTreeView& v = main_.Model->View;
  std::unordered_set<const TTreeItem*> removed;
  for (std::size_t k = 0; k < changes_.size(); ++k) {
    const TChange& c = changes_[k];
    if (c.What != TChangeWhat::Record || c.Kind != TChangeKind::Removed) continue;
    TTreeItem* node = v.FindClassNode(c.Class);
    if (!node) continue;
    // The record's caption: the last part of its place ("その他 / 資料名").
    const std::size_t cut = c.Where.rfind(" / ");
    const bool files = c.Class == 1 || c.Class == 4;
    // It stands after the record it followed (first when it followed none),
    // after the removed records put there before it. Photos have no items:
    // theirs go last.
    int at = node->Count();
    if (files || c.Class == 2 || c.Class == 3 || c.Class == 6) {
      at = 0;
      const int level = files ? nlFile : nlRecord;
      for (int i = 0; c.AfterRecord >= 0 && i < node->Count(); ++i) {
        TTreeItem* child = node->Item(i);
        if (!removed.count(child) && v.NodeLevel(child) == level && v.NodeNumber(child) == c.AfterRecord) at = i + 1;
      }
      while (at < node->Count() && removed.count(node->Item(at))) ++at;
    }
    TTreeItem* item = v.Tree().AddChild(node, cut == std::string::npos ? c.Where : c.Where.substr(cut + 3));
    if (at < node->Count() - 1) v.Tree().MoveBefore(item, node->Item(at));
    const int image = files ? imgFile : imgRecord;
    item->SetImages(image, image, -1);
    removedItems_.push_back(item);
    removed.insert(item);
    removedChange_[item] = k;
  }
}

bool TCompareView::ShowRemoved(const TTreeItem* item) {
  const auto it = removedChange_.find(item);
  if (!comparing_ || it == removedChange_.end() || !older_) return false;
  const TChange& c = changes_[it->second];
  const auto index = static_cast<std::size_t>(c.OldRecord);
  if (c.Class == 1 || c.Class == 4) {
    const auto& list = c.Class == 1 ? older_->OrderDrawings : older_->FinalDrawings;
    if (!main_.CadFiles || index >= list.size()) return false;
    if (main_.ShowPane) main_.ShowPane(main_.CadFiles);
    main_.CadFiles->ShowRemoved(list[index]);
    return true;
  }
  auto* info = qobject_cast<TfrmInfo*>(main_.Info);
  if (!info || !(c.Class == 2 || c.Class == 3 || c.Class == 6)) return false;
  if (!oldTables_) {
    // The earlier records in value tables of their own: the loaded
    // delivery's tables stay as they are.
    oldStore_ = std::make_unique<DeliveryStore>();
    oldStore_->IndexRecords.assign(1, older_->Index);
    oldStore_->Meetings = older_->Meetings;
    oldStore_->Plans = older_->Plans;
    oldStore_->Others = older_->Others;
    oldTables_ = std::make_unique<TFieldTables>(main_.Model->Defs);
    oldTables_->FillDefinitions(*oldStore_);
  }
  TTreeIni* table = oldTables_->FillRecord(c.Class, index, *oldStore_);
  if (!table) return false;
  if (main_.ShowPane) main_.ShowPane(info);
  info->ShowRemoved(table, c.OldRecord);
  return true;
}

void TCompareView::DropRemovedItems() {
  // A pane showing a removed record shows its tree item again.
  if (auto* info = qobject_cast<TfrmInfo*>(main_.Info); info && info->ShowingRemoved()) info->ShowNode(nullptr);
  for (auto it = removedItems_.rbegin(); it != removedItems_.rend(); ++it) main_.Model->View.Tree().Delete(*it);
  removedItems_.clear();
  removedChange_.clear();
  older_.reset();
  oldTables_.reset();
  oldStore_.reset();
}

void TCompareView::MarkTree() {
  marks_.clear();
  shown_.clear();
  AddRemovedItems();
  for (TTreeItem* item : removedItems_) marks_[item] = cmRemoved;
  TMdlTreeView& v = main_.Model->View;
  TTreeItem* root = v.Tree().Root();
  std::unordered_map<QString, TTreeItem*> files;
  v.Tree().ForEach([&](TTreeItem* item) {
    if (v.NodeLevel(item) != nlFile) return;
    std::string path = v.GetFileItem(item, 1);
    if (path.empty()) path = v.GetFileItem(item, 2);
    if (!path.empty()) files.emplace(ComparedFileKey(path), item);
  });
  auto recordItem = [&](int cls, int number) -> TTreeItem* {
    TTreeItem* node = v.FindClassNode(cls);
    if (!node || number < 0) return node;
    const int level = cls == 1 || cls == 4 ? nlFile : nlRecord;
    for (int i = 0; i < node->Count(); ++i) {
      TTreeItem* child = node->Item(i);
      if (v.NodeLevel(child) == level && v.NodeNumber(child) == number) return child;
    }
    return node;  // photos have no item of their own: their class shows it
  };
  auto mark = [&](TTreeItem* item, int m) {
    if (!item) return;
    int& at = marks_[item];
    // A change outranks a removal inside; an addition stays an addition.
    if (at == cmNone || (at == cmRemovedInside && m != cmNone)) at = m;
  };
  for (const TChange& c : changes_) {
    if (c.What == TChangeWhat::File) {
      if (c.Kind == TChangeKind::Removed) continue;  // no item shows it any more
      const auto it = files.find(ComparedFileKey(c.NewFile));
      if (it != files.end()) mark(it->second, c.Kind == TChangeKind::Added ? cmAdded : cmChanged);
      continue;
    }
    if (c.Class == 0) {
      mark(root, cmChanged);
      continue;
    }
    if (c.Kind == TChangeKind::Removed && c.What == TChangeWhat::Record) {
      mark(v.FindClassNode(c.Class), cmRemovedInside);
      continue;
    }
    TTreeItem* item = recordItem(c.Class, c.NewRecord);
    mark(item, c.What == TChangeWhat::Record && c.Kind == TChangeKind::Added ? cmAdded : cmChanged);
  }
  for (const auto& [item, m] : marks_)
    for (const TTreeItem* i = item; i && shown_.insert(i).second;) i = i->Parent();
  if (root) shown_.insert(root);
  main_.Tree->viewport()->update();
}

void TCompareView::ApplyFilter() {
  QTreeView* tree = main_.Tree;
  TKKTTreeModel* model = main_.TreeModel;
  const bool only = comparing_ && miCompareChangedOnly->isChecked();
  main_.Model->View.Tree().ForEach([&](TTreeItem* item) {
    const QModelIndex index = model->IndexOf(item);
    const bool hide = only && !shown_.count(item);
    if (tree->isRowHidden(index.row(), index.parent()) != hide) tree->setRowHidden(index.row(), index.parent(), hide);
  });
}

void TCompareView::End() {
  ++generation_;
  // A worker still reading or comparing stops at its next step; its result
  // is dropped.
  if (run_) run_->Cancel = true;
  run_.reset();
  if (progressTimer_) progressTimer_->stop();
  const bool was = comparing_ || running_;
  running_ = false;
  comparing_ = false;
  changes_.clear();
  marks_.clear();
  shown_.clear();
  DropRemovedItems();
  if (dlgCompareFiles) dlgCompareFiles->close();
  if (!was) return;
  ApplyFilter();
  miCompareChangedOnly->setChecked(false);
  lblCompareLegend->hide();
  UpdateCommands();
  main_.Tree->viewport()->update();
  RefreshPanes();
}

void TCompareView::UpdateCommands() {
  miCompare->setEnabled(!running_);
  miCompareEnd->setEnabled(comparing_ || running_);
  miCompareChangedOnly->setEnabled(comparing_);
  miComparePrint->setEnabled(comparing_);
  miCompareCsv->setEnabled(comparing_);
  miComparePdf->setEnabled(comparing_);
  miCompareResult->setEnabled(comparing_);
  miCompareFiles->setEnabled(SelectedFileChange() != nullptr);
}

const TChange* TCompareView::SelectedFileChange() const {
  return FileChangeOf(main_.TreeModel->Item(main_.Tree->currentIndex()));
}

const TChange* TCompareView::FileChangeOf(const TTreeItem* item) const {
  if (!comparing_) return nullptr;
  TMdlTreeView& v = main_.Model->View;
  if (v.NodeLevel(item) != nlFile) return nullptr;
  std::string path = v.GetFileItem(item, 1);
  if (path.empty()) path = v.GetFileItem(item, 2);
  if (path.empty()) return nullptr;
  const QString key = ComparedFileKey(path);
  for (const TChange& c : changes_)
    if (c.What == TChangeWhat::File && c.Kind == TChangeKind::Changed && ComparedFileKey(c.NewFile) == key) return &c;
  return nullptr;
}

void TCompareView::CompareFilesClick() {
  const TChange* change = SelectedFileChange();
  if (!change) return;
  if (!dlgCompareFiles) {
    auto* dialog = new QDialog(main_.Window);
    dialog->setObjectName("dlgCompareFiles");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->resize(1000, 640);
    auto* layout = new QVBoxLayout(dialog);
    auto* splitter = new QSplitter(Qt::Horizontal, dialog);
    for (const char* name : {"Old", "New"}) {
      auto* side = new QWidget(splitter);
      auto* box = new QVBoxLayout(side);
      box->setContentsMargins(0, 0, 0, 0);
      auto* label = new QLabel(side);
      label->setObjectName(QStringLiteral("lbl") + name);
      label->setTextInteractionFlags(Qt::TextSelectableByMouse);
      auto* preview = new TPreviewView(side);
      preview->setObjectName(QStringLiteral("pvw") + name);
      // Text files: the lines one side lacks marked in the other.
      auto* text = new QPlainTextEdit(side);
      text->setObjectName(QStringLiteral("txt") + name);
      text->setReadOnly(true);
      text->setLineWrapMode(QPlainTextEdit::NoWrap);
      box->addWidget(label);
      box->addWidget(preview, 1);
      box->addWidget(text, 1);
    }
    layout->addWidget(splitter);
    dlgCompareFiles = dialog;
  }
  QDialog* dialog = dlgCompareFiles;
  dialog->setWindowTitle(QCoreApplication::translate("TCompareView", "新旧を並べて表示 - %1").arg(Q(change->Where)));
  const std::pair<const char*, std::string> sides[] = {{"Old", change->OldFile}, {"New", change->NewFile}};
  static const QStringList kTextTypes{"txt", "csv", "log", "tsv"};
  QStringList oldLines, newLines;
  const bool text = kTextTypes.contains(QFileInfo(Q(change->NewFile)).suffix().toLower()) &&
                    CompareTextLines(change->OldFile, oldLines) && CompareTextLines(change->NewFile, newLines);
  if (text) {
    std::vector<bool> onlyOld, onlyNew;
    CompareLineDiff(oldLines, newLines, onlyOld, onlyNew);
    const bool dark = IsDark(dialog->palette().color(QPalette::Base));
    ShowDiffLines(dialog->findChild<QPlainTextEdit*>("txtOld"), oldLines, onlyOld,
                  dark ? QColor(110, 40, 40) : QColor(255, 210, 210));
    ShowDiffLines(dialog->findChild<QPlainTextEdit*>("txtNew"), newLines, onlyNew,
                  dark ? QColor(35, 90, 35) : QColor(205, 245, 205));
  }
  for (const auto& [name, file] : sides) {
    const QString caption = QString::fromLatin1(name) == QLatin1String("Old")
                                ? QCoreApplication::translate("TCompareView", "旧: %1")
                                : QCoreApplication::translate("TCompareView", "新: %1");
    dialog->findChild<QLabel*>(QStringLiteral("lbl") + name)->setText(caption.arg(Q(file)));
    auto* preview = dialog->findChild<TPreviewView*>(QStringLiteral("pvw") + name);
    dialog->findChild<QPlainTextEdit*>(QStringLiteral("txt") + name)->setVisible(text);
    preview->setVisible(!text);
    preview->SetSandboxFolders({QFileInfo(Q(file)).absolutePath()});
    preview->Navigate(text ? QString() : Q(file));
  }
  dialog->show();
  dialog->raise();
}

void TCompareView::UpdateLegend() {
  int added = 0, changed = 0, removed = 0;
  for (const TChange& c : changes_) {
    if (c.Kind == TChangeKind::Added)
      ++added;
    else if (c.Kind == TChangeKind::Removed)
      ++removed;
    else
      ++changed;
  }
  const bool dark = IsDark(main_.Tree->palette().color(QPalette::Base));
  auto swatch = [dark](int mark, const char* sign) {
    return QStringLiteral("<span style=\"color:%1\"><b>%2</b></span>")
        .arg(TKKTTreeModel::CompareColor(mark, dark).name(), QString::fromUtf8(sign));
  };
  const QString text = changes_.empty() ? QCoreApplication::translate("TCompareView", "比較: 変更なし")
                                        : QCoreApplication::translate("TCompareView", "比較: %1 追加 %2　%3 変更 %4　%5 削除 %6")
                                              .arg(swatch(cmAdded, "+"), QString::number(added),
                                                   swatch(cmChanged, "●"), QString::number(changed),
                                                   swatch(cmRemovedInside, "○"), QString::number(removed));
  lblCompareLegend->setText(text);
  lblCompareLegend->setToolTip(QCoreApplication::translate("TCompareView", "比較元（旧）: %1").arg(oldFolders_.join(", ")));
  lblCompareLegend->show();
}

void TCompareView::RefreshPanes() {
  auto hook = [this](const TTreeItem* item, const std::string& field, std::string& old) {
    return OldValue(item, field, old);
  };
  auto changedFile = [this](const TTreeItem* item, std::string& oldFile, std::string& newFile) {
    const TChange* c = FileChangeOf(item);
    if (!c) return false;
    oldFile = c->OldFile;
    newFile = c->NewFile;
    return true;
  };
  const TOldValueFn oldValueOf = comparing_ ? TOldValueFn(hook) : TOldValueFn();
  const TChangedFileFn changedFileOf = comparing_ ? TChangedFileFn(changedFile) : TChangedFileFn();
  for (TInfoPaneBase* pane : {main_.KojInfo, main_.Info})
    if (pane) pane->OldValueOf = oldValueOf;
  if (main_.CadFiles) {
    main_.CadFiles->OldValueOf = oldValueOf;
    main_.CadFiles->ChangedFileOf = changedFileOf;
  }
  if (main_.Files) {
    main_.Files->OldValueOf = oldValueOf;
    main_.Files->ChangedFileOf = changedFileOf;
  }
  if (main_.KojInfo) main_.KojInfo->Refresh();
  if (main_.Info && main_.Info->CurrentNode()) main_.Info->Refresh();
  // The file panes show their item anew only while they are in sight.
  for (TPane* pane : {static_cast<TPane*>(main_.CadFiles), static_cast<TPane*>(main_.Files)})
    if (pane && pane->isVisible() && pane->CurrentNode()) pane->ShowNode(pane->CurrentNode());
}

std::vector<TReportPage> TCompareView::ReportPages() const {
  TCompareReportHeading heading;
  heading.KojiName = kojiName_;
  heading.KojiNo = kojiNo_;
  heading.OldFolders = oldFolders_.join(", ").toStdString();
  heading.NewFolders = newFolders_.toStdString();
  heading.Date = QDate::currentDate().toString(Qt::ISODate).toStdString();
  return LayoutCompareReport(changes_, heading);
}

bool TCompareView::SaveRefused(const QString& path) const {
  const QString target = ComparedFileKey(path.toStdString());
  for (const QString& folder : deliveryFolders_)
    if (target.startsWith(folder + QLatin1Char('/'))) {
      Ask(QCoreApplication::translate("TCompareView",
                                      "比較結果は納品物のフォルダの中には保存できません。別のフォルダを選んでください。")
              .toStdString(),
          MsgIcon::Warning, MsgButtons::Ok, DialogAnswer::Ok);
      return true;
    }
  return false;
}

void TCompareView::PrintClick() {
  if (!comparing_) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  QPrintDialog dialog(&printer, main_.Window);
  if (dialog.exec() != QDialog::Accepted) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::vector<TReportPage> pages = ReportPages();
  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
    if (SaveRefused(printer.outputFileName())) {
      QApplication::restoreOverrideCursor();
      return;
    }
    WriteReportPdf(printer.outputFileName(), pages, QCoreApplication::translate("TCompareView", "比較結果"));
  } else {
    printer.setDocName(QCoreApplication::translate("TCompareView", "比較結果"));
    printer.setFullPage(true);  // positions count from the paper's corner
    if (!PaintReportPages(printer, pages)) printer.abort();
  }
  QApplication::restoreOverrideCursor();
}

void TCompareView::ExportClick(bool pdf) {
  if (!comparing_) return;
  const QString caption = pdf ? QCoreApplication::translate("TCompareView", "PDF 出力") : QCoreApplication::translate("TCompareView", "CSV 出力");
  // Suggested in the home folder: never beside a delivery.
  const QString suggested =
      QDir::home().filePath(QCoreApplication::translate("TCompareView", "比較結果") + (pdf ? QStringLiteral(".pdf") : QStringLiteral(".csv")));
  const QString filter = pdf ? QStringLiteral("PDF (*.pdf)") : QStringLiteral("CSV (*.csv)");
  QString path;
  if (AskSavePath) {
    if (!AskSavePath(main_.Window, caption, suggested, filter, path)) return;
  } else {
    path = QFileDialog::getSaveFileName(main_.Window, caption, suggested, filter);
  }
  if (path.isEmpty()) return;
  if (SaveRefused(path)) return;
  bool ok = false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (pdf) {
    ok = WriteReportPdf(path, ReportPages(), QCoreApplication::translate("TCompareView", "比較結果"));
  } else {
    std::ostringstream csv;
    WriteChangesCsv(changes_, csv);
    const std::string bytes = csv.str();
    QSaveFile file(path);
    ok = file.open(QIODevice::WriteOnly) &&
         file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size()) &&
         file.commit();
  }
  QApplication::restoreOverrideCursor();
  if (!ok) Ask(QCoreApplication::translate("TCompareView", "%1 に書き込めませんでした。").arg(path).toStdString(), MsgIcon::Error, MsgButtons::Ok, DialogAnswer::Ok);
}

}  // namespace dlvr

#include "moc_compare_view.cpp"
