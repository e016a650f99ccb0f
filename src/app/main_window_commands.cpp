// The main window's commands: its actions, menus and toolbar, their states, sorting, the find windows and dialog.
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

namespace main_window_detail {

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

}  // namespace main_window_detail

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
  // The full-text search: its index, built after each load, and its window.
  miEditFindFullText = Act("miEditFindFullText", QCoreApplication::translate("TfrmMain", "全文検索(&T)..."));
  miEditFindFullText->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
  FullTextIndex = new TFullTextIndex(this);
  lblFullTextIndex = AddFullTextIndexLabel(statusBar(), FullTextIndex);
  connect(miEditFindFullText, &QAction::triggered, this,
          [this] { ShowFullTextSearch(*this, *FullTextIndex, frmFullTextSearch); });
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
  miEditFind->addActions({miEditFindGene, miEditFindReg, miEditFindOrg, miEditFindXML, miEditFindFullText});
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

}  // namespace dlvr
