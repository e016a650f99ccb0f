#include "app/main_window.h"

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
struct TfrmMain::SavedFind {
  TFindDialog::State State;
};

namespace {

// A delivery check that ends within this time shows no progress dialog.
constexpr int kDeliveryCheckQuietMs = 400;

const char* const kChangedMessage =
    QT_TRANSLATE_NOOP("TfrmMain", "メディアまたは、ファイルが変更されました。\n\r\n\r更新(F5)を行ってください。");
const char* const kChangedStatus =
    QT_TRANSLATE_NOOP("TfrmMain", "メディアまたは、ファイルが変更されました。更新(F5)を行ってください。");

// The item selected when the program restarted itself, as its path from
// the root (JSON), read once by the next start.
const QString kRestartItemKey = QStringLiteral("RestartItem");

std::string S(const QString& s) { return s.toStdString(); }

// Settings of the main window: Software\Tavrin\<program>\frmMain.
TExtRegistry ExRg() { return TExtRegistry("frmMain"); }

// The photo viewer's own settings: Software\Tavrin\<section>.
const char* const kViewerInstallKey = "QLNXMLVIEWER";
const char* const kViewerStartKey = "QLNXMLViewer\\FrmViewer";
TExtRegistry ViewerRegistry(const QString& section) {
  TExtRegistry r;
  r.UseAppName = false;
  r.SetSection(section);
  return r;
}

// Titles of the photo viewer's windows.
const QStringList kViewerTitles = {QStringLiteral("Fotoria XML ビューア"), QStringLiteral("Snapwell XML ビューア")};
const QString kViewerStartTitle = QStringLiteral("FrmTitle");

// The program's logo for the toolbar: a blue document with a folded corner
// and a tick, beside the program's name, `height` pixels high, drawn for
// the device pixel ratio `ratio` on a toolbar of colour `background`.
QPixmap PaintLogo(int height, qreal ratio, const QColor& background) {
  const QString name = QCoreApplication::translate("TfrmMain", "電子納品ビューア");
  QFont font = QApplication::font();
  font.setBold(true);
  font.setPixelSize(std::max(10, height * 2 / 5));
  const int textWidth = QFontMetrics(font).horizontalAdvance(name);
  const int width = height + 6 + textWidth + 4;
  QPixmap pixmap(QSize(width, height) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal m = height * 0.08, w = height * 0.72, h = height - 2 * m, fold = w * 0.3;
  QPainterPath page;
  page.moveTo(m, m);
  page.lineTo(m + w - fold, m);
  page.lineTo(m + w, m + fold);
  page.lineTo(m + w, m + h);
  page.lineTo(m, m + h);
  page.closeSubpath();
  p.setPen(QPen(QColor(0x1f, 0x4e, 0x9a), 1.2));
  p.setBrush(QColor(0x3a, 0x78, 0xc8));
  p.drawPath(page);
  p.setBrush(QColor(0xa9, 0xc8, 0xee));
  QPainterPath corner;
  corner.moveTo(m + w - fold, m);
  corner.lineTo(m + w - fold, m + fold);
  corner.lineTo(m + w, m + fold);
  corner.closeSubpath();
  p.drawPath(corner);
  p.setPen(QPen(Qt::white, std::max(1.5, height / 12.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(m + w * 0.22, m + h * 0.58), QPointF(m + w * 0.42, m + h * 0.76),
                            QPointF(m + w * 0.78, m + h * 0.34)}));
  p.setFont(font);
  p.setPen(LegibleOn(QColor(0x1f, 0x4e, 0x9a), background));
  p.drawText(QRect(height + 6, 0, textWidth + 4, height), Qt::AlignLeft | Qt::AlignVCenter, name);
  return pixmap;
}

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

QAction* TfrmMain::Act(const char* name, const QString& caption) {
  auto* a = new QAction(caption, this);
  a->setObjectName(name);
  return a;
}

void TfrmMain::CreateActions() {
  miFileSelFld = Act("miFileSelFld", QCoreApplication::translate("TfrmMain", "フォルダ選択(&S)..."));
  miFileBaseInof = Act("miFileBaseInof", QCoreApplication::translate("TfrmMain", "基礎情報(&B)..."));
  miFileCheck = Act("miFileCheck", QCoreApplication::translate("TfrmMain", "データチェック(&C)..."));
  miFileDeliveryCheck = Act("miFileDeliveryCheck", QCoreApplication::translate("TfrmMain", "電子納品チェック(&D)..."));
  miFileSep5 = Act("miFileSep5", "");
  miFileSep5->setSeparator(true);
  miExit = Act("miExit", QCoreApplication::translate("TfrmMain", "終了(&X)"));
  miXMLOutput = Act("miXMLOutput", QCoreApplication::translate("TfrmMain", "XML出力(&O)..."));
  miFileSpl2 = Act("miFileSpl2", "");
  miFileSpl2->setSeparator(true);
  miFilePrn = Act("miFilePrn", QCoreApplication::translate("TfrmMain", "印刷(&P)..."));
  miFileLbl = Act("miFileLbl", QCoreApplication::translate("TfrmMain", "ラベル印刷(&L)..."));
  miFileSpl3 = Act("miFileSpl3", "");
  miFileSpl3->setSeparator(true);
  miFileStyle = Act("miFileStyle", QCoreApplication::translate("TfrmMain", "表示スタイル(&Y)"));
  miFileStyle1 = Act("miFileStyle1", QCoreApplication::translate("TfrmMain", "ツリー表示(&T)"));
  miFileStyle1->setCheckable(true);
  miFileStyle1->setChecked(true);

  miEditPrev = Act("miEditPrev", QCoreApplication::translate("TfrmMain", "前項目(&P)"));
  miEditNext = Act("miEditNext", QCoreApplication::translate("TfrmMain", "次項目(&N)"));
  miEditFindGene = Act("miEditFindGene", QCoreApplication::translate("TfrmMain", "一般データファイル(&G)..."));
  miEditFindReg = Act("miEditFindReg", QCoreApplication::translate("TfrmMain", "登録ファイル(&R)..."));
  miEditFindOrg = Act("miEditFindOrg", QCoreApplication::translate("TfrmMain", "オリジナルファイル内容(&O)..."));
  miEditFindXML = Act("miEditFindXML", QCoreApplication::translate("TfrmMain", "XMLファイル内(&X)..."));
  miEditNewFolder = Act("miEditNewFolder", QCoreApplication::translate("TfrmMain", "新規フォルダ(&F)"));
  miEditNewNode = Act("miEditNewNode", QCoreApplication::translate("TfrmMain", "新規分類(&C)"));
  miEditFileAdd = Act("miEditFileAdd", QCoreApplication::translate("TfrmMain", "書類添付(&A)..."));
  miEditSp3 = Act("miEditSp3", "");
  miEditSp3->setSeparator(true);
  miEditRename = Act("miEditRename", QCoreApplication::translate("TfrmMain", "名前の変更(&R)"));
  miEditSp4 = Act("miEditSp4", "");
  miEditSp4->setSeparator(true);
  miEditDelete = Act("miEditDelete", QCoreApplication::translate("TfrmMain", "削除(&D)"));
  miEditSp5 = Act("miEditSp5", "");
  miEditSp5->setSeparator(true);
  miEditMoveUp = Act("miEditMoveUp", QCoreApplication::translate("TfrmMain", "上へ移動(&U)"));
  miEditMoveDown = Act("miEditMoveDown", QCoreApplication::translate("TfrmMain", "下へ移動(&I)"));

  miViewLangJ = Act("miViewLangJ", QCoreApplication::translate("TfrmMain", "日本語(&J)"));
  miViewLangE = Act("miViewLangE", QCoreApplication::translate("TfrmMain", "英語(&E)"));
  miViewLangJE = Act("miViewLangJE", QCoreApplication::translate("TfrmMain", "日本語（英語）(&A)"));
  miViewLangEJ = Act("miViewLangEJ", QCoreApplication::translate("TfrmMain", "英語（日本語）(&B)"));
  // Radio items tagged 0, 1, ... in order; a click passes the tag on.
  auto radioItems = [this](std::initializer_list<QAction*> items, void (TfrmMain::*click)(int)) {
    auto* group = new QActionGroup(this);
    int tag = 0;
    for (QAction* a : items) {
      a->setCheckable(true);
      a->setData(tag++);
      group->addAction(a);
      connect(a, &QAction::triggered, this, [this, a, click] { (this->*click)(a->data().toInt()); });
    }
  };
  radioItems({miViewLangJ, miViewLangE, miViewLangJE, miViewLangEJ}, &TfrmMain::miViewLangSubClick);
  // The program's language: the menu's caption is the same in every language.
  miViewUiLangAuto = Act("miViewUiLangAuto", QCoreApplication::translate("TfrmMain", "自動（システムの言語）"));
  miViewUiLangJa = Act("miViewUiLangJa", QStringLiteral("日本語"));
  miViewUiLangEn = Act("miViewUiLangEn", QStringLiteral("English"));
  radioItems({miViewUiLangAuto, miViewUiLangJa, miViewUiLangEn}, &TfrmMain::miViewUiLanguageClick);
  miViewFileName = Act("miViewFileName", QCoreApplication::translate("TfrmMain", "ファイル名を表示(&N)"));
  miViewFileManage = Act("miViewFileManage", QCoreApplication::translate("TfrmMain", "管理ファイル名を表示(&M)"));
  miViewFileCont =
      Act("miViewFileCont", QCoreApplication::translate("TfrmMain", "電子納品オリジナルファイル名を表示(&C)"));
  miViewFileOrg = Act("miViewFileOrg", QCoreApplication::translate("TfrmMain", "オリジナルファイル内容を表示(&O)"));
  radioItems({miViewFileName, miViewFileManage, miViewFileCont, miViewFileOrg}, &TfrmMain::miViewFileNameClick);
  miViewDC = Act("miViewDC", QCoreApplication::translate("TfrmMain", "DC表示(&D)"));
  miViewDelivery = Act("miViewDelivery", QCoreApplication::translate("TfrmMain", "納品表示(&L)"));
  miHintSoft =
      Act("miHintSoft", QCoreApplication::translate("TfrmMain", "オリジナルファイル作成ソフトバージョン情報(&S)"));
  miHintCont = Act("miHintCont", QCoreApplication::translate("TfrmMain", "オリジナルファイル内容(&C)"));
  auto* hints = new QActionGroup(this);
  for (QAction* a : {miHintSoft, miHintCont}) {
    a->setCheckable(true);
    hints->addAction(a);
  }
  miHintSoft->setChecked(true);
  miViewRefresh = Act("miViewRefresh", QCoreApplication::translate("TfrmMain", "更新(&R)"));
  miViewRefresh->setShortcut(QKeySequence(Qt::Key_F5));
  // The usual keys of the other commands (none of them clashes with F5, the
  // menus' access keys or the tree's own keys).
  miFileSelFld->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  miExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  miEditPrev->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  miEditNext->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
  // Ctrl+F: the search that fits what is shown, from anywhere in the window.
  actFindHere = Act("actFindHere", QCoreApplication::translate("TfrmMain", "検索"));
  actFindHere->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  actFindHere->setShortcutContext(Qt::WindowShortcut);
  addAction(actFindHere);
  connect(actFindHere, &QAction::triggered, this, &TfrmMain::FindHere);

  miProgExplorer = Act("miProgExplorer", QCoreApplication::translate("TfrmMain", "エクスプローラ(&E)"));
  miProgXMLViewer = Act("miProgXMLViewer", QCoreApplication::translate("TfrmMain", "写真閲覧(&X)"));
  miProgMail = Act("miProgMail", QCoreApplication::translate("TfrmMain", "メール(&M)"));
  miProgQLNDB = Act("miProgQLNDB", QCoreApplication::translate("TfrmMain", "データベース(&D)"));
  miHelpContents = Act("miHelpContents", QCoreApplication::translate("TfrmMain", "目次(&C)"));
  miHelpKeyWord = Act("miHelpKeyWord", QCoreApplication::translate("TfrmMain", "キーワードで検索(&K)"));
  miHelpExplain = Act("miHelpExplain", QCoreApplication::translate("TfrmMain", "操作説明(&E)"));
  miHelpAbout = Act("miHelpAbout", QCoreApplication::translate("TfrmMain", "バージョン情報(&A)..."));

  pmiSearch = Act("pmiSearch", QCoreApplication::translate("TfrmMain", "オリジナルファイル内容検索(&S)..."));
  pmiSpl1 = Act("pmiSpl1", "");
  pmiSpl1->setSeparator(true);
  auto sortAct = [this](const char* name, const QString& caption, int cls, int mode) {
    QAction* a = Act(name, caption);
    a->setData(mode);
    connect(a, &QAction::triggered, this, [this, cls, mode] { SortClick(cls, mode); });
    return a;
  };
  pmiSortIssueUp = sortAct("pmiSortIssueUp", QCoreApplication::translate("TfrmMain", "昇順(&U)"), 2, 3);
  pmiSortIssueDown = sortAct("pmiSortIssueDown", QCoreApplication::translate("TfrmMain", "降順(&D)"), 2, 4);
  pmiSortAcceptUp = sortAct("pmiSortAcceptUp", QCoreApplication::translate("TfrmMain", "昇順(&U)"), 2, 5);
  pmiSortAcceptDown = sortAct("pmiSortAcceptDown", QCoreApplication::translate("TfrmMain", "降順(&D)"), 2, 6);
  pmiSortFinishUp = sortAct("pmiSortFinishUp", QCoreApplication::translate("TfrmMain", "昇順(&U)"), 2, 7);
  pmiSortFinishDown = sortAct("pmiSortFinishDown", QCoreApplication::translate("TfrmMain", "降順(&D)"), 2, 8);
  pmiSep1 = Act("pmiSep1", "");
  pmiSep1->setSeparator(true);
  pmiMeetDef = sortAct("pmiMeetDef", QCoreApplication::translate("TfrmMain", "標準に戻す(&I)"), 2, 0);
  pmiPlanUp = sortAct("pmiPlanUp", QCoreApplication::translate("TfrmMain", "昇順(&U)"), 3, 1);
  pmiPlanDown = sortAct("pmiPlanDown", QCoreApplication::translate("TfrmMain", "降順(&D)"), 3, 2);
  pmiSep2 = Act("pmiSep2", "");
  pmiSep2->setSeparator(true);
  pmiPlanDef = sortAct("pmiPlanDef", QCoreApplication::translate("TfrmMain", "標準に戻す(&I)"), 3, 0);
  pmiOthrUp = sortAct("pmiOthrUp", QCoreApplication::translate("TfrmMain", "昇順(&U)"), 6, 1);
  pmiOthrDown = sortAct("pmiOthrDown", QCoreApplication::translate("TfrmMain", "降順(&D)"), 6, 2);
  pmiSep3 = Act("pmiSep3", "");
  pmiSep3->setSeparator(true);
  pmiOthrsDef = sortAct("pmiOthrsDef", QCoreApplication::translate("TfrmMain", "標準に戻す(&I)"), 6, 0);

  piFindGene = Act("piFindGene", miEditFindGene->text());
  piFindReg = Act("piFindReg", miEditFindReg->text());
  piFindOrg = Act("piFindOrg", miEditFindOrg->text());
  piFindXML = Act("piFindXML", miEditFindXML->text());
  auto findOrg = [this](bool fromPopup) {
    if (fromPopup && popupNode_) SelectItem(popupNode_);
    popupNode_ = nullptr;
    frmFindOrg->ShowFor(SelectedItem());
  };
  auto findReg = [this] {
    frmSrcTree->show();
    frmSrcTree->raise();
    frmSrcTree->activateWindow();
    frmSrcTree->edtSrc->setFocus();
  };
  for (QAction* a : {miEditFindGene, piFindGene})
    connect(a, &QAction::triggered, this, [this] { TfrmFindFiles::FindGeneral(this); });
  for (QAction* a : {miEditFindReg, piFindReg}) connect(a, &QAction::triggered, this, findReg);
  for (QAction* a : {miEditFindOrg, piFindOrg}) connect(a, &QAction::triggered, this, [findOrg] { findOrg(false); });
  connect(pmiSearch, &QAction::triggered, this, [findOrg] { findOrg(true); });
  connect(miFileBaseInof, &QAction::triggered, this, [this] { TfrmBaseInfo::ShowBaseInfo(this, model_->View); });

  connect(miFileSelFld, &QAction::triggered, this, &TfrmMain::miFileSelFldClick);
  connect(miFileCheck, &QAction::triggered, this, &TfrmMain::miFileCheckClick);
  connect(miFileDeliveryCheck, &QAction::triggered, this, &TfrmMain::miFileDeliveryCheckClick);
  // The full check is offered exactly where the data check is.
  connect(miFileCheck, &QAction::changed, this, &TfrmMain::UpdateDeliveryCheckCommand);
  connect(miExit, &QAction::triggered, this, &QWidget::close);
  connect(miEditPrev, &QAction::triggered, this, [this] { miEditPrevClick(false); });
  connect(miEditNext, &QAction::triggered, this, [this] { miEditPrevClick(true); });
  connect(miViewRefresh, &QAction::triggered, this, &TfrmMain::miViewRefreshClick);
  connect(miProgExplorer, &QAction::triggered, this, &TfrmMain::miProgExplorerClick);
  connect(miProgXMLViewer, &QAction::triggered, this, &TfrmMain::miProgXMLViewerClick);
  connect(miHelpAbout, &QAction::triggered, this, &TfrmMain::miHelpAboutClick);
  connect(miEditFindXML, &QAction::triggered, this, &TfrmMain::ShowFindDialog);
  connect(piFindXML, &QAction::triggered, this, &TfrmMain::ShowFindDialog);
}

void TfrmMain::CreateMenus() {
  miFile = menuBar()->addMenu(QCoreApplication::translate("TfrmMain", "ファイル(&F)"));
  miFile->setObjectName("miFile");
  miFile->addActions({miFileSelFld, miFileBaseInof, miXMLOutput, miFileSpl2, miFilePrn, miFileLbl, miFileSpl3,
                      miFileStyle, miFileSep5, miFileCheck, miFileDeliveryCheck});
  miFile->addSeparator();
  miFile->addAction(miExit);

  miEdit = menuBar()->addMenu(QCoreApplication::translate("TfrmMain", "編集(&E)"));
  miEdit->setObjectName("miEdit");
  miEdit->addActions({miEditPrev, miEditNext});
  miEdit->addSeparator();
  miEditFind = miEdit->addMenu(QCoreApplication::translate("TfrmMain", "検索(&F)"));
  miEditFind->setObjectName("miEditFind");
  miEditFind->addActions({miEditFindGene, miEditFindReg, miEditFindOrg, miEditFindXML});
  miEditSort = miEdit->addMenu(QCoreApplication::translate("TfrmMain", "並べ替え(&S)"));
  miEditSort->setObjectName("miEditSort");
  miEditSortMeet = miEditSort->addMenu(QCoreApplication::translate("TfrmMain", "打合せ簿(&M)"));
  miEditSortMeet->setObjectName("miEditSortMeet");
  auto meetSub = [this](QMenu* parent, const QString& caption, const char* name, int up) {
    QMenu* m = parent->addMenu(caption);
    m->setObjectName(name);
    for (int mode : {up, up + 1}) {
      QAction* a = m->addAction(mode == up ? QCoreApplication::translate("TfrmMain", "昇順(&U)")
                                           : QCoreApplication::translate("TfrmMain", "降順(&D)"));
      a->setData(mode);
      connect(a, &QAction::triggered, this, [this, mode] { SortClick(2, mode); });
    }
  };
  meetSub(miEditSortMeet, QCoreApplication::translate("TfrmMain", "発行日付(&P)"), "miEditSortIssue", 3);
  meetSub(miEditSortMeet, QCoreApplication::translate("TfrmMain", "受理日付(&A)"), "miEditSortAccept", 5);
  meetSub(miEditSortMeet, QCoreApplication::translate("TfrmMain", "完了日付(&F)"), "miEditSortFinish", 7);
  miEditSortMeet->addSeparator();
  QAction* meetDef = miEditSortMeet->addAction(QCoreApplication::translate("TfrmMain", "標準に戻す(&I)"));
  connect(meetDef, &QAction::triggered, this, [this] { SortClick(2, 0); });
  for (auto [menu, name, caption, cls] :
       {std::tuple{&miEditSortPlan, "miEditSortPlan", QCoreApplication::translate("TfrmMain", "施工計画書(&P)"), 3},
        std::tuple{&miEditSortOthrs, "miEditSortOthrs", QCoreApplication::translate("TfrmMain", "その他(&O)"), 6}}) {
    *menu = miEditSort->addMenu(caption);
    (*menu)->setObjectName(name);
    for (int mode : {1, 2, 0}) {
      if (mode == 0) (*menu)->addSeparator();
      QAction* a = (*menu)->addAction(mode == 1   ? QCoreApplication::translate("TfrmMain", "昇順(&U)")
                                      : mode == 2 ? QCoreApplication::translate("TfrmMain", "降順(&D)")
                                                  : QCoreApplication::translate("TfrmMain", "標準に戻す(&I)"));
      int c = cls;
      connect(a, &QAction::triggered, this, [this, c, mode] { SortClick(c, mode); });
    }
  }
  connect(miEditSort, &QMenu::aboutToShow, this, &TfrmMain::UpdateSortMenus);
  connect(miEditFind, &QMenu::aboutToShow, this, &TfrmMain::UpdateFindMenu);
  miEdit->addSeparator();
  miEdit->addActions({miEditNewFolder, miEditNewNode, miEditFileAdd, miEditSp3, miEditRename, miEditSp4, miEditDelete,
                      miEditSp5, miEditMoveUp, miEditMoveDown});

  miView = menuBar()->addMenu(QCoreApplication::translate("TfrmMain", "表示(&V)"));
  miView->setObjectName("miView");
  miViewLang = miView->addMenu(QCoreApplication::translate("TfrmMain", "ツリー表示言語(&L)"));
  miViewLang->setObjectName("miViewLang");
  miViewLang->addActions({miViewLangJ, miViewLangE, miViewLangJE, miViewLangEJ});
  miViewFileNameMenu = miView->addMenu(QCoreApplication::translate("TfrmMain", "ファイル名表示(&F)"));
  miViewFileNameMenu->setObjectName("miViewFileNameMenu");
  miViewFileNameMenu->addActions({miViewFileName, miViewFileManage, miViewFileCont, miViewFileOrg});
  miHint = miView->addMenu(QCoreApplication::translate("TfrmMain", "ヒント表示(&H)"));
  miHint->setObjectName("miHint");
  miHint->addActions({miHintSoft, miHintCont});
  miViewUiLanguage = miView->addMenu(QStringLiteral("Language / 言語"));
  miViewUiLanguage->setObjectName("miViewUiLanguage");
  miViewUiLanguage->addActions({miViewUiLangAuto, miViewUiLangJa, miViewUiLangEn});
  miView->addActions({miViewDC, miViewDelivery});
  miView->addSeparator();
  miView->addAction(miViewRefresh);

  miSetting = menuBar()->addMenu(QCoreApplication::translate("TfrmMain", "設定(&O)"));
  miSetting->setObjectName("miSetting");

  miProg = menuBar()->addMenu(QCoreApplication::translate("TfrmMain", "プログラム(&P)"));
  miProg->setObjectName("miProg");
  miProg->addActions({miProgExplorer, miProgXMLViewer, miProgMail, miProgQLNDB});

  miHelp = menuBar()->addMenu(QCoreApplication::translate("TfrmMain", "ヘルプ(&H)"));
  miHelp->setObjectName("miHelp");
  miHelp->addActions({miHelpContents, miHelpKeyWord, miHelpExplain});
  miHelp->addSeparator();
  miHelp->addAction(miHelpAbout);

  // The tree's context menu: search, then the sorts of the selected category.
  ppmTreeView = new QMenu(this);
  ppmTreeView->setObjectName("ppmTreeView");
  ppmTreeView->addAction(pmiSearch);
  ppmTreeView->addAction(pmiSpl1);
  pmiSort = ppmTreeView->addMenu(QCoreApplication::translate("TfrmMain", "並べ替え(&S)"));
  pmiSort->setObjectName("pmiSort");
  pmiSortIssue = pmiSort->addMenu(QCoreApplication::translate("TfrmMain", "発行日付(&P)"));
  pmiSortIssue->setObjectName("pmiSortIssue");
  pmiSortIssue->addActions({pmiSortIssueUp, pmiSortIssueDown});
  pmiSortAccept = pmiSort->addMenu(QCoreApplication::translate("TfrmMain", "受理日付(&A)"));
  pmiSortAccept->setObjectName("pmiSortAccept");
  pmiSortAccept->addActions({pmiSortAcceptUp, pmiSortAcceptDown});
  pmiSortFinish = pmiSort->addMenu(QCoreApplication::translate("TfrmMain", "完了日付(&F)"));
  pmiSortFinish->setObjectName("pmiSortFinish");
  pmiSortFinish->addActions({pmiSortFinishUp, pmiSortFinishDown});
  pmiSort->addActions({pmiSep1, pmiMeetDef, pmiPlanUp, pmiPlanDown, pmiSep2, pmiPlanDef, pmiOthrUp, pmiOthrDown, pmiSep3,
                       pmiOthrsDef});

  ppmFind = new QMenu(this);
  ppmFind->setObjectName("ppmFind");
  ppmFind->addActions({piFindGene, piFindReg, piFindOrg, piFindXML});
  connect(ppmFind, &QMenu::aboutToShow, this, &TfrmMain::UpdateFindMenu);
}

void TfrmMain::CreateToolBar() {
  ToolBar = addToolBar("ToolBar");
  ToolBar->setObjectName("ToolBar");
  ToolBar->setMovable(false);
  ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  // A button takes its icon, text and hint from its command every time the
  // command changes (enabled or not), so they are set on the command. Menus
  // keep showing no icons.
  auto button = [this](QAction* action, const char* name, const QString& caption, QStyle::StandardPixmap icon) {
    action->setIcon(style()->standardIcon(icon));
    action->setIconVisibleInMenu(false);
    action->setIconText(caption);
    const QString keys = action->shortcut().toString(QKeySequence::NativeText);
    action->setToolTip(keys.isEmpty() ? caption : caption + " (" + keys + ")");
    auto* b = new QToolButton(ToolBar);
    b->setObjectName(name);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setDefaultAction(action);
    ToolBar->addWidget(b);
    return b;
  };
  button(miFileSelFld, "tlbSelFld", QCoreApplication::translate("TfrmMain", "フォルダ選択"), QStyle::SP_DialogOpenButton);
  button(miFileBaseInof, "tlbBaseInfo", QCoreApplication::translate("TfrmMain", "基礎情報"),
         QStyle::SP_FileDialogInfoView);
  button(miFileCheck, "tbtCheck", QCoreApplication::translate("TfrmMain", "データチェック"),
         QStyle::SP_DialogApplyButton);
  button(miFileDeliveryCheck, "tbtDeliveryCheck", QCoreApplication::translate("TfrmMain", "電子納品チェック"),
         QStyle::SP_FileDialogDetailedView);
  ToolBar->addSeparator();
  button(miEditPrev, "tbtPrev", QCoreApplication::translate("TfrmMain", "前項目"), QStyle::SP_ArrowUp);
  button(miEditNext, "tbtNext", QCoreApplication::translate("TfrmMain", "次項目"), QStyle::SP_ArrowDown);
  tbtFind = new QToolButton(ToolBar);
  tbtFind->setObjectName("tbtFind");
  tbtFind->setText(QCoreApplication::translate("TfrmMain", "検索"));
  tbtFind->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  tbtFind->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  tbtFind->setMenu(ppmFind);
  tbtFind->setPopupMode(QToolButton::InstantPopup);
  ToolBar->addWidget(tbtFind);
  button(miViewRefresh, "tlbRefresh", QCoreApplication::translate("TfrmMain", "更新"), QStyle::SP_BrowserReload);
  ToolBar->addSeparator();
  button(miProgExplorer, "tbtExplorer", QCoreApplication::translate("TfrmMain", "エクスプローラ"),
         QStyle::SP_DirHomeIcon);
  button(miProgXMLViewer, "tbtXMLViewer", QCoreApplication::translate("TfrmMain", "写真閲覧"), QStyle::SP_DesktopIcon);
  miProgXMLViewer->setIcon(PhotoIcon());
  ToolBar->addSeparator();
  button(miExit, "tbtExit", QCoreApplication::translate("TfrmMain", "終了"), QStyle::SP_DialogCloseButton);
  // The black cross gets a light outline on a dark toolbar.
  miExit->setIcon(OutlinedIcon(style()->standardIcon(QStyle::SP_DialogCloseButton)));
  // The logo at the right end, centred in the toolbar's height.
  auto* spacer = new QWidget(ToolBar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  ToolBar->addWidget(spacer);
  pnlLogo = new QWidget(ToolBar);
  pnlLogo->setObjectName("pnlLogo");
  auto* logoLayout = new QVBoxLayout(pnlLogo);
  logoLayout->setContentsMargins(4, 0, 8, 0);
  imgLogo = new QLabel(pnlLogo);
  imgLogo->setObjectName("imgLogo");
  imgLogo->setPixmap(PaintLogo(32, devicePixelRatioF(), ToolBar->palette().color(QPalette::Window)));
  logoLayout->addWidget(imgLogo, 0, Qt::AlignVCenter);
  pnlLogo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  ToolBar->addWidget(pnlLogo);
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
      ShowPane(nullptr);
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

void TfrmMain::UpdateSortMenus() {
  auto more = [this](int cls) {
    TTreeItem* c = model_->View.FindClassNode(cls);
    return c && c->Count() > 1;
  };
  miEditSortMeet->setEnabled(more(2));
  miEditSortPlan->setEnabled(more(3));
  miEditSortOthrs->setEnabled(more(6));
}

QMenu* TfrmMain::PrepareTreeMenu() {
  popupNode_ = SelectedItem();
  for (QAction* a : ppmTreeView->actions()) a->setVisible(false);
  for (QAction* a : pmiSort->actions()) a->setVisible(false);
  pmiSearch->setVisible(true);
  pmiSearch->setEnabled(!frmFindOrg->isVisible());
  int cls = model_->View.NodeClass(popupNode_);
  std::vector<QAction*> show;
  if (cls == 2)
    show = {pmiSpl1, pmiSort->menuAction(), pmiSortIssue->menuAction(), pmiSortAccept->menuAction(),
            pmiSortFinish->menuAction(), pmiSep1, pmiMeetDef};
  else if (cls == 3)
    show = {pmiSpl1, pmiSort->menuAction(), pmiPlanUp, pmiPlanDown, pmiSep2, pmiPlanDef};
  else if (cls == 6)
    show = {pmiSpl1, pmiSort->menuAction(), pmiOthrUp, pmiOthrDown, pmiSep3, pmiOthrsDef};
  for (QAction* a : show) a->setVisible(true);
  TTreeItem* c = model_->View.FindClassNode(cls);
  bool more = c && c->Count() > 1;
  for (QAction* a : pmiSort->actions()) a->setEnabled(more);
  return ppmTreeView;
}

void TfrmMain::SortClick(int cls, int mode) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  model_->View.SortClass(cls, mode);
  QApplication::restoreOverrideCursor();
  // The records only moved: the selection, the pane, expansion and scroll
  // position stay; the selected item may have become the first or last.
  UpdatePrevNext();
  popupNode_ = nullptr;
  tvwKKT->setFocus();
}

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

void TfrmMain::miHelpAboutClick() {
  QMessageBox box(this);
  box.setObjectName("DlgAbout");
  box.setWindowTitle(QCoreApplication::translate("TfrmMain", "バージョン情報"));
  box.setText(ApplicationTitle() + "\n\nVersion " + QCoreApplication::applicationVersion());
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

bool TfrmMain::FindShown() const { return dlgFind && dlgFind->isVisible(); }

void TfrmMain::ShowFindDialog() {
  if (!dlgFind) return;
  dlgFind->Restore(savedFind_->State);
  dlgFind->show();
  dlgFind->raise();
  dlgFind->edtFind->setFocus();
}

void TfrmMain::HideFindDialog() {
  if (!FindShown()) return;
  savedFind_->State = dlgFind->Save();
  dlgFind->hide();
}

void TfrmMain::UpdateFindMenu() {
  int cls = model_->View.NodeClass(SelectedItem());
  bool xml = visiblePane_ == pnlXML && frmXML->PureSourceChosen() && !FindShown() &&
             FileExists(model_->View.ManageFilePath(cls, false));
  miEditFindXML->setEnabled(xml);
  piFindXML->setEnabled(xml);
  const bool org = !frmFindOrg->isVisible(), reg = !frmSrcTree->isVisible();
  miEditFindOrg->setEnabled(org);
  piFindOrg->setEnabled(org);
  miEditFindReg->setEnabled(reg);
  piFindReg->setEnabled(reg);
}

void TfrmMain::FindHere() {
  UpdateFindMenu();
  if (FindShown()) {
    dlgFind->raise();
    dlgFind->activateWindow();
    dlgFind->edtFind->setFocus();
  } else if (miEditFindXML->isEnabled()) {
    miEditFindXML->trigger();
  } else if (miEditFindOrg->isEnabled()) {
    miEditFindOrg->trigger();
  } else {
    frmFindOrg->raise();
    frmFindOrg->activateWindow();
  }
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
