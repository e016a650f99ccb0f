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
#include "app/full_text_search.h"
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

namespace {

// Keeps the keyboard focus where the user put it while a pane is switched:
// a busy wait disables the window, which takes the focus from whatever had
// it, and a pane may take it for itself. When the widget that had it is no
// longer shown, the focus goes to `fallback`; when nothing had it, nothing
// gets it.
class TFocusKeeper {
 public:
  TFocusKeeper(QWidget* window, QWidget* fallback)
      : window_(window), focus_(window->focusWidget()), fallback_(fallback) {}
  ~TFocusKeeper() {
    if (!window_ || !focus_) return;
    QWidget* target = focus_->isVisible() && focus_->isEnabled() ? focus_.data() : fallback_.data();
    if (target && window_->focusWidget() != target) target->setFocus(Qt::OtherFocusReason);
  }
  TFocusKeeper(const TFocusKeeper&) = delete;
  TFocusKeeper& operator=(const TFocusKeeper&) = delete;

 private:
  QPointer<QWidget> window_, focus_, fallback_;
};

}  // namespace

TfrmMain::TfrmMain(const QString& startFolder, QWidget* parent)
    : QMainWindow(parent), model_(std::make_unique<TViewerModel>()), startFolder_(startFolder) {
  setObjectName("frmMain");
  model_->View.SetIconProvider(&icons_);
  // Long loads show what is being read and keep the window painted.
  model_->View.OnProgress = [this](const std::string& name, int media) {
    const std::string what = Tr("FieldNames", name);  // a class of the tree's table
    statusBar()->showMessage(media > 0 ? QCoreApplication::translate("TfrmMain", "読み込み中... %1 (%2枚目のメディア)")
                                             .arg(Q(what), QString::number(media))
                                       : QCoreApplication::translate("TfrmMain", "読み込み中... %1").arg(Q(what)));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateLayout();
  ApplyViewerMode();
  statusBar()->setObjectName("StatusBar");
  // The status that stays until the next load (a temporary message, such as
  // a menu item's hint, covers it only while it shows).
  lblStatus = new QLabel(statusBar());
  lblStatus->setObjectName("lblStatus");
  statusBar()->addWidget(lblStatus, 1);
  // The edition of the guideline the loaded delivery follows.
  lblEdition = new QLabel(statusBar());
  lblEdition->setObjectName("lblEdition");
  statusBar()->addPermanentWidget(lblEdition);
  // The compare's commands after the checks.
  QAction* afterChecks = miFile->actions().value(miFile->actions().indexOf(miFileDeliveryCheck) + 1, miExit);
  CompareView = new TCompareView({this, model_.get(), tvwKKT, treeModel_, miFile, afterChecks, ToolBar,
                                  QStringLiteral("tbtDeliveryCheck"), frmKojInfo, frmInfo,
                                  [](QWidget* parent, const QString& initial, QString& chosen) {
                                    return TfrmMainHooks::SelectFolder &&
                                           TfrmMainHooks::SelectFolder(parent, initial, chosen);
                                  },
                                  frmCADFiles, frmFiles, [this](QWidget* pane) { ShowPane(pane->parentWidget()); }});
  miProgXMLViewer->setEnabled(false);
  ReadSettings();
  Timer = new QTimer(this);
  Timer->setObjectName("Timer");
  Timer->setInterval(500);
  connect(Timer, &QTimer::timeout, this, &TfrmMain::UpdatePhotoCommand);
  frmFindOrg = new TfrmFindOrg(*this);
  frmSrcTree = new TfrmSrcTree(*this);
  CloseTimer = new QTimer(this);
  CloseTimer->setObjectName("CloseTimer");
  CloseTimer->setInterval(1000);
  CloseTimer->setSingleShot(true);
  connect(CloseTimer, &QTimer::timeout, this, &TfrmMain::CloseTimerTimer);
  model_->View.Services.ViewerInstallFolder = [] { return S(ViewerRegistry(kViewerInstallKey).ReadString("InsFolder", QString())); };
  Timer->start();
  SetCaption();
  FMC = new TFormControl(this);
  FMC->MinClientWidth = 792;
  FMC->MinClientHeight = 504;
  FMC->MaxClientWidth = FMC->MaxClientHeight = 0;
  FMC->ApplyLimits();
}

TfrmMain::~TfrmMain() {
  // The find dialog outlives the saved state it writes when hidden.
  if (dlgFind) dlgFind->disconnect(this);
  WriteSettings();
  if (tvwKKT) tvwKKT->setModel(nullptr);
  delete treeModel_;
  treeModel_ = nullptr;
}

void TfrmMain::CreateLayout() {
  Splitter = new QSplitter(Qt::Horizontal, this);
  Splitter->setObjectName("Splitter");
  Splitter->setChildrenCollapsible(false);
  pnlLeft = new QWidget(Splitter);
  pnlLeft->setObjectName("pnlLeft");
  pnlLeft->setMinimumWidth(100);
  auto* leftLayout = new QVBoxLayout(pnlLeft);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  tvwKKT = new QTreeView(pnlLeft);
  tvwKKT->setObjectName("tvwKKT");
  tvwKKT->header()->hide();
  // Every item is one line with a small icon: the view then finds an item's
  // place without measuring every row above it (deliveries have tens of
  // thousands of items).
  tvwKKT->setUniformRowHeights(true);
  tvwKKT->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvwKKT->setDragEnabled(false);
  tvwKKT->setContextMenuPolicy(Qt::CustomContextMenu);
  tvwKKT->setAcceptDrops(true);
  tvwKKT->viewport()->setAcceptDrops(true);
  tvwKKT->viewport()->installEventFilter(this);
  tvwKKT->setMouseTracking(true);
  tvwKKT->viewport()->setMouseTracking(true);
  HintTimer = new QTimer(this);
  HintTimer->setObjectName("HintTimer");
  HintTimer->setSingleShot(true);
  HintTimer->setInterval(kHintDelayMs);
  connect(HintTimer, &QTimer::timeout, this, &TfrmMain::ShowTreeHint);
  leftLayout->addWidget(tvwKKT);
  treeModel_ = new TKKTTreeModel(model_->View, icons_);
  treeModel_->OnExpandedChanged = [this](TTreeItem* item, bool expanded) {
    tvwKKT->setExpanded(treeModel_->IndexOf(item), expanded);
  };
  tvwKKT->setModel(treeModel_);
  tvwKKT->setItemDelegate(new TKKTTreeDelegate(*treeModel_, tvwKKT));
  for (QAction* a : {miHintSoft, miHintCont})
    connect(a, &QAction::toggled, this, [this] { treeModel_->HintContent = miHintCont->isChecked(); });
  connect(tvwKKT->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { tvwKKTChange(treeModel_->Item(current)); });
  connect(tvwKKT, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QModelIndex at = tvwKKT->indexAt(pos);
    if (at.isValid()) tvwKKT->setCurrentIndex(at);
    PrepareTreeMenu()->popup(tvwKKT->viewport()->mapToGlobal(pos));
  });

  pnlBase = new QWidget(Splitter);
  pnlBase->setObjectName("pnlBase");
  pnlBase->setMinimumWidth(503);
  auto* baseLayout = new QVBoxLayout(pnlBase);
  baseLayout->setContentsMargins(0, 0, 0, 0);
  auto panel = [&](const char* name) {
    auto* p = new QWidget(pnlBase);
    p->setObjectName(name);
    auto* l = new QVBoxLayout(p);
    l->setContentsMargins(0, 0, 0, 0);
    baseLayout->addWidget(p);
    p->hide();
    return p;
  };
  pnlKojInfo = panel("pnlKojInfo");
  pnlNodes = panel("pnlNodes");
  pnlFiles = panel("pnlFiles");
  pnlCADFiles = panel("pnlCADFiles");
  pnlXML = panel("pnlXML");
  pnlDCViewer = panel("pnlDCViewer");
  pnlStart = panel("pnlStart");
  lblStart = new QLabel(QCoreApplication::translate("TfrmMain",
                                                    "電子納品のフォルダが開かれていません。\n\n"
                                                    "「フォルダ選択」で、INDEX_C.XML のあるフォルダを選んでください。"),
                        pnlStart);
  lblStart->setObjectName("lblStart");
  lblStart->setAlignment(Qt::AlignCenter);
  lblStart->setWordWrap(true);
  btnStartSelFld = new QPushButton(QCoreApplication::translate("TfrmMain", "フォルダ選択(&S)..."), pnlStart);
  btnStartSelFld->setObjectName("btnStartSelFld");
  connect(btnStartSelFld, &QPushButton::clicked, this, [this] { miFileSelFld->trigger(); });
  {
    auto* l = static_cast<QVBoxLayout*>(pnlStart->layout());
    l->addStretch(1);
    l->addWidget(lblStart);
    l->addSpacing(12);
    l->addWidget(btnStartSelFld, 0, Qt::AlignHCenter);
    l->addStretch(2);
  }
  frmKojInfo = new TfrmKojInfo(*model_, pnlKojInfo);
  pnlKojInfo->layout()->addWidget(frmKojInfo);
  frmInfo = new TfrmInfo(*model_, pnlNodes);
  pnlNodes->layout()->addWidget(frmInfo);
  frmFiles = new TfrmFiles(*model_, pnlFiles);
  pnlFiles->layout()->addWidget(frmFiles);
  frmCADFiles = new TfrmCADFiles(*model_, pnlCADFiles);
  pnlCADFiles->layout()->addWidget(frmCADFiles);
  frmXML = new TfrmXML(*model_, pnlXML);
  pnlXML->layout()->addWidget(frmXML);
  frmXML->OnLeaveSource = [this] { HideFindDialog(); };
  frmXML->PhotoViewerAvailable = [this] { return miProgXMLViewer->isEnabled(); };
  frmXML->ExternalPhotoViewer = [this] { return PhotoViewerPresent; };
  frmXML->OnStartPhotoViewer = [this] { miProgXMLViewer->trigger(); };
  // The right-drop menu of files dropped on a class or record item.
  pmnRDrop = new QMenu(this);
  pmnRDrop->setObjectName("pmnRDrop");
  auto dropItem = [this](const char* name, const QString& caption, int tag) {
    QAction* a = pmnRDrop->addAction(caption);
    a->setObjectName(name);
    a->setData(tag);
    connect(a, &QAction::triggered, this, [this, tag] { FinishItemDrop(tag); });
    return a;
  };
  miRDropMove = dropItem("miRDropMove", QCoreApplication::translate("TfrmMain", "ここに移動(&M)"), 0);
  miRDropMove->setVisible(false);
  miRDropCopy = dropItem("miRDropCopy", QCoreApplication::translate("TfrmMain", "ここにコピー(&C)"), 1);
  miRDropLink = dropItem("miRDropLink", QCoreApplication::translate("TfrmMain", "リンク情報を作成(&L)"), 3);
  pmnRDrop->addSeparator();
  miRDropCancel = dropItem("miRDropCancel", QCoreApplication::translate("TfrmMain", "キャンセル"), 4);
  // Closed without a choice (Esc, a click elsewhere): the paths are released.
  connect(pmnRDrop, &QMenu::aboutToHide, this, [this] {
    QTimer::singleShot(0, this, [this] {
      if (!DroppedPaths.isEmpty() && !pmnRDrop->isVisible()) {
        DroppedPaths.clear();
        SetDropTarget(nullptr);
      }
    });
  });
  dlgFind = new TFindDialog(this);
  savedFind_ = std::make_unique<SavedFind>();
  // Closed by the user (Cancel, Esc, the title bar), it keeps what was typed.
  connect(dlgFind, &TFindDialog::Hidden, this, [this] { savedFind_->State = dlgFind->Save(); });
  connect(dlgFind, &TFindDialog::FindNext, this,
          [this](const QString& text, bool down, bool matchCase) { frmXML->FindInSource(text, down, matchCase); });
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  setCentralWidget(Splitter);
}

void TfrmMain::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (shownOnce_) return;
  shownOnce_ = true;
  // The tree panel takes its saved width (once the layout has sized the
  // splitter); the pane area keeps 503 pixels.
  auto apply = [this] {
    int total = Splitter->width();
    int left = std::max(100, std::min(leftWidth_, total - 503));
    Splitter->setSizes({left, std::max(503, total - left)});
  };
  apply();
  QTimer::singleShot(0, this, apply);
}

void TfrmMain::paintEvent(QPaintEvent* e) {
  QMainWindow::paintEvent(e);
  if (firstPaintPending_) QTimer::singleShot(0, this, &TfrmMain::FirstLoad);
}

void TfrmMain::ShowPane(QWidget* panel) {
  for (QWidget* p : {pnlKojInfo, pnlNodes, pnlFiles, pnlCADFiles, pnlXML, pnlDCViewer, pnlStart})
    if (p != panel) p->hide();
  if (panel) panel->show();
  visiblePane_ = panel;
}

TTreeItem* TfrmMain::SelectedItem() const { return treeModel_->Item(tvwKKT->currentIndex()); }

void TfrmMain::SelectItem(TTreeItem* item) {
  QModelIndex index = treeModel_->IndexOf(item);
  if (tvwKKT->currentIndex() == index && index.isValid()) {
    tvwKKTChange(item);
    return;
  }
  tvwKKT->setCurrentIndex(index);
  tvwKKT->scrollTo(index);
}

void TfrmMain::tvwKKTChange(TTreeItem* item) {
  if (loading_) return;
  TFocusKeeper focus(this, tvwKKT);
  if (CheckMediaChanged()) Inform(S(QCoreApplication::translate("TfrmMain", kChangedMessage)));
  TMdlTreeView& v = model_->View;
  int kind = v.NodeLevel(item);
  int cls = v.NodeClass(item);
  // The XML find dialog stays only over a class whose management file exists.
  if (FindShown()) {
    bool classItem = kind == nlFileClass || kind == nlRecordClass;
    if (!classItem || cls == 5 || cls == 13 || !FileExists(v.ManageFilePath(cls, false))) HideFindDialog();
  }
  switch (kind) {
    case nlRoot:
      ShowPane(pnlKojInfo);
      break;
    case nlRecord:
      setEnabled(false);
      ShowPane(pnlNodes);
      frmInfo->ShowNode(item);
      setEnabled(true);
      break;
    case nlFile:
      // A file that is not there is explained where its preview would be
      // (why, its name, where it was looked for, which medium holds it):
      // no box stops a walk through the tree.
      if (cls == 1 || cls == 4 || cls == 8) {
        ShowPane(pnlCADFiles);
        frmCADFiles->ShowNode(item);
        preview::ShowMissingNote(frmCADFiles->Panel1, preview::MissingFileNote(v, item));
      } else {
        ShowPane(pnlFiles);
        frmFiles->ShowNode(item);
        preview::ShowMissingNote(frmFiles->Panel1, preview::MissingFileNote(v, item));
      }
      break;
    case nlFileClass:
    case nlRecordClass:
      if (cls != 13) {
        ShowPane(pnlXML);
        frmXML->ShowNode(item);
      } else {
        ShowPane(nullptr);
      }
      break;
    default:
      // The greyed item of a record the compared delivery no longer has.
      if (!CompareView || !CompareView->ShowRemoved(item)) ShowPane(nullptr);
  }
  UpdatePrevNext();
}

void TfrmMain::UpdatePrevNext() {
  std::vector<TTreeItem*> all = model_->View.Tree().AllItems();
  TTreeItem* sel = SelectedItem();
  auto it = std::find(all.begin(), all.end(), sel);
  long pos = it == all.end() ? -1 : static_cast<long>(it - all.begin());
  miEditPrev->setEnabled(pos > 0);
  miEditNext->setEnabled(pos >= 0 && pos < static_cast<long>(all.size()) - 1);
}

void TfrmMain::miEditPrevClick(bool next) {
  std::vector<TTreeItem*> all = model_->View.Tree().AllItems();
  auto it = std::find(all.begin(), all.end(), SelectedItem());
  if (it == all.end()) return;
  long pos = (it - all.begin()) + (next ? 1 : -1);
  if (pos < 0 || pos >= static_cast<long>(all.size())) return;
  SelectItem(all[static_cast<std::size_t>(pos)]);
}

void TfrmMain::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() != QEvent::WindowStateChange) return;
  if (windowState() & Qt::WindowMinimized) {
    minimizedWithFind_ = FindShown();
    HideFindDialog();
  } else if (minimizedWithFind_) {
    minimizedWithFind_ = false;
    ShowFindDialog();
  }
}

void TfrmMain::closeEvent(QCloseEvent* e) {
  if (!miExit->isEnabled() || deliveryCheckRunning_) {
    e->ignore();
    return;
  }
  CloseViewer();
  // Indexing stops with the window (its thread ends when the window goes).
  if (FullTextIndex) FullTextIndex->Cancel();
  e->accept();
}

void TfrmMain::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  // The pane area keeps at least 503 pixels.
  QList<int> sizes = Splitter->sizes();
  if (sizes.size() == 2 && sizes[1] < 503 && Splitter->width() > 603) {
    int total = sizes[0] + sizes[1];
    Splitter->setSizes({total - 503, 503});
  }
}

}  // namespace dlvr

#include "moc_main_window.cpp"
