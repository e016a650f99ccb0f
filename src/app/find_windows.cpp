#include "app/find_windows.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>

#include "check/viewer_model.h"
#include "components/ext_registry.h"
#include "components/form_control.h"
#include "components/mov_controls.h"
#include "components/preview_view.h"
#include "components/qt_string.h"
#include "delivery/prompts.h"
#include "model/tree_view.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {

namespace {

const char* const kNotFound = QT_TRANSLATE_NOOP("TfrmFindOrg", "検索文字列が見つかりませんでした。");

// The classes offered by the original-file search: the first entry stands
// for every class. The class names follow the tree's language; the first
// entry and the captions of the meeting's fields follow the user's.
struct TFindClass {
  int NodeClass;
  const char* Name;
  const char* Folder;
  const char* Label2;
  const char* Label3;
};
const TFindClass kFindClasses[] = {
    {0, QT_TRANSLATE_NOOP("TfrmFindOrg", "(なし)"), "", "", ""},
    {1, "発注図面", "DRAWINGS", "", ""},
    {2, "打合せ簿", "MEET", QT_TRANSLATE_NOOP("TfrmFindOrg", "打合せ簿種類"),
     QT_TRANSLATE_NOOP("TfrmFindOrg", "管理区分")},
    {3, "施工計画書", "PLAN", "", ""},
    {4, "完成図面", "DRAWINGF", "", ""},
    {6, "その他", "OTHRS", "", ""},
};
constexpr int kMeetIndex = 2;
// Values the meeting records hold, offered as they are written there (the
// search compares them with the records).
const QStringList kMeetKinds = {"指示", "承諾", "協議", "提出", "提示", "報告", "通知"};
const QStringList kManageClasses = {"施工管理", "安全管理", "出来形管理", "品質管理",
                                    "出来高管理", "原価管理", "工程管理", "写真管理"};

// Steps from `start` through the tree in display order and returns the
// first item `test` accepts. Going up never reaches the root (index 0).
TTreeItem* Walk(TFindHost& main, TTreeItem* start, bool forward, const std::function<bool(TTreeItem*)>& test) {
  const std::vector<TTreeItem*> items = main.Model().View.Tree().AllItems();
  int i = 0;
  if (start) {
    auto it = std::find(items.begin(), items.end(), start);
    if (it != items.end()) i = static_cast<int>(it - items.begin());
  }
  if (forward) {
    while (i + 1 < static_cast<int>(items.size()))
      if (test(items[static_cast<std::size_t>(++i)])) return items[static_cast<std::size_t>(i)];
  } else {
    while (i > 1)
      if (test(items[static_cast<std::size_t>(--i)])) return items[static_cast<std::size_t>(i)];
  }
  return nullptr;
}

// Selects the item found (kept in view) and brings the search window back.
void ShowFound(TFindHost& main, TTreeItem* item, QWidget* window) {
  main.SelectItem(item);
  window->raise();
  window->activateWindow();
}

// `text` with every occurrence of `match` (any case) marked, as rich text.
QString MarkMatches(const QString& text, const QString& match) {
  QString out;
  qsizetype from = 0;
  while (!match.isEmpty()) {
    const qsizetype at = text.indexOf(match, from, Qt::CaseInsensitive);
    if (at < 0) break;
    out += text.mid(from, at - from).toHtmlEscaped();
    out += QStringLiteral("<span style=\"background-color:#ffe040; color:#000000;\">") +
           text.mid(at, match.size()).toHtmlEscaped() + QStringLiteral("</span>");
    from = at + match.size();
  }
  return out + text.mid(from).toHtmlEscaped();
}

void PrepareToolWindow(QDialog* window, const char* name, const QString& caption) {
  window->setObjectName(name);
  window->setWindowTitle(caption);
  window->setModal(false);
  window->setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
}

}  // namespace

QString FindHistoryFolder() {
  QString folder = Q(ProgramDir());
  while (folder.endsWith('/') && folder.size() > 1) folder.chop(1);
  QFileInfo info(folder);
  QFileInfo file(folder + "/FindOrg.DAT");
  if (info.isDir() && info.isWritable() && (!file.exists() || file.isWritable()) &&
      !IsSystemFolder(folder.toStdString()))
    return folder;
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Tavrin/" +
         TExtRegistry::ProgramName();
}

QPoint PlaceBeside(const QRect& owner, const QRect& panes, const QRect& preview, const QSize& size,
                   const QRect& screen) {
  // Outside the window first (right, below, left, above, level with the
  // panes), then over the tree beside the panes (its foot, its head).
  const int top = std::clamp(panes.top(), screen.top(), std::max(screen.top(), screen.bottom() - size.height() + 1));
  const QList<QPoint> places = {
      {owner.right() + 1, top},
      {panes.left(), owner.bottom() + 1},
      {owner.left() - size.width(), top},
      {panes.left(), owner.top() - size.height()},
      {panes.left() - size.width(), panes.bottom() - size.height() + 1},
      {panes.left() - size.width(), panes.top()},
  };
  auto onScreen = [&](const QPoint& p) {
    const QPoint kept = TFormControl::KeepOnScreen(QRect(p, size), screen).topLeft();
    return QRect(kept, size);
  };
  for (const QPoint& p : places)
    if (QRect r(p, size); screen.contains(r) && !r.intersects(panes)) return p;
  for (const QPoint& p : places)
    if (QRect r(p, size); screen.contains(r) && !r.intersects(preview)) return p;
  // Nowhere clear on the screen: where the least of the preview is covered.
  QPoint best = onScreen(places.front()).topLeft();
  qint64 least = -1;
  for (const QPoint& p : places) {
    const QRect r = onScreen(p);
    const QRect covered = r.intersected(preview);
    const qint64 area = covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
    if (least < 0 || area < least) {
      least = area;
      best = r.topLeft();
    }
  }
  return best;
}

// ---------------------------------------------------------------------------

TfrmFindOrg::TfrmFindOrg(TFindHost& main) : QDialog(main.FindOwner()), main_(main) {
  PrepareToolWindow(this, "frmFindOrg", QCoreApplication::translate("TfrmFindOrg", "オリジナルファイル内容"));

  lblFindTxt = new QLabel(QCoreApplication::translate("TfrmFindOrg", "検索文字列"), this);
  lblFindTxt->setObjectName("lblFindTxt");
  cbxFindTxt = new TMovComboAddHist(this);
  cbxFindTxt->setObjectName("cbxFindTxt");
  cbxFindTxt->setEditable(true);
  cbxFindTxt->MaxLength = 255;
  cbxFindTxt->MaxData = 10;
  cbxFindTxt->setInsertPolicy(QComboBox::NoInsert);
  lblFindTxt->setBuddy(cbxFindTxt);

  grpFind = new QGroupBox(QCoreApplication::translate("TfrmFindOrg", " 検索対象 "), this);
  grpFind->setObjectName("grpFind");
  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, grpFind);
    l->setObjectName(name);
    return l;
  };
  lblFind1 = label("lblFind1", QCoreApplication::translate("TfrmFindOrg", "管理フォルダ"));
  lblFind2 = label("lblFind2", "");
  lblFind3 = label("lblFind3", "");
  cbxFind1 = new TMovComboBox(grpFind);
  cbxFind1->setObjectName("cbxFind1");
  cbxFind2 = new TMovComboBox(grpFind);
  cbxFind2->setObjectName("cbxFind2");
  cbxFind3 = new TMovComboBox(grpFind);
  cbxFind3->setObjectName("cbxFind3");
  for (TMovComboBox* c : {cbxFind2, cbxFind3}) {
    c->MaxLength = 16;
    c->setInsertPolicy(QComboBox::NoInsert);
  }
  cbxFind1->setMinimumContentsLength(14);
  cbxFind2->setMinimumContentsLength(8);
  cbxFind3->setMinimumContentsLength(8);

  // Where Enter and the arrow keys take the focus; Enter in the search
  // text searches onwards.
  cbxFindTxt->Links.ExitByDown = "cbxFind1";
  cbxFind1->Links.ExitByEnter = cbxFind1->Links.ExitByRight = "cbxFind2";
  cbxFind1->Links.ExitByUp = "cbxFindTxt";
  cbxFind2->Links.ExitByEnter = cbxFind2->Links.ExitByDown = "cbxFind3";
  cbxFind2->Links.ExitByUp = "cbxFindTxt";
  cbxFind2->Links.ExitByLeft = "cbxFind1";
  cbxFind3->Links.ExitByEnter = "cbxFindTxt";
  cbxFind3->Links.ExitByUp = "cbxFind2";
  cbxFind3->Links.ExitByLeft = "cbxFind1";

  auto button = [this](const char* name, const QString& text, int tag) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setProperty("tag", tag);
    b->setAutoDefault(false);
    return b;
  };
  bbtFront = button("bbtFront", QCoreApplication::translate("TfrmFindOrg", "前を検索"), 1);
  bbtNext = button("bbtNext", QCoreApplication::translate("TfrmFindOrg", "次を検索"), 2);
  bbtCancel = button("bbtCancel", QCoreApplication::translate("TfrmFindOrg", "ｷｬﾝｾﾙ"), 0);
  // The item found and its text, the match marked.
  lblFound = new QLabel(this);
  lblFound->setObjectName("lblFound");
  lblFound->setTextFormat(Qt::RichText);
  lblFound->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblFound->setMinimumWidth(1);

  auto* group = new QHBoxLayout(grpFind);
  group->setContentsMargins(6, 2, 6, 4);
  group->setSpacing(4);
  group->addWidget(lblFind1);
  group->addWidget(cbxFind1, 3);
  group->addSpacing(6);
  group->addWidget(lblFind2);
  group->addWidget(cbxFind2, 2);
  group->addSpacing(6);
  group->addWidget(lblFind3);
  group->addWidget(cbxFind3, 2);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  auto* top = new QHBoxLayout;
  top->addWidget(lblFindTxt);
  top->addWidget(cbxFindTxt, 1);
  grid->addLayout(top, 0, 0);
  grid->addWidget(grpFind, 1, 0, 2, 1);
  grid->addWidget(bbtFront, 0, 1);
  grid->addWidget(bbtNext, 1, 1);
  grid->addWidget(bbtCancel, 2, 1, Qt::AlignTop);
  grid->addWidget(lblFound, 3, 0, 1, 2);

  bbtFront->setEnabled(false);
  bbtNext->setEnabled(false);
  connect(cbxFindTxt, &QComboBox::editTextChanged, this, &TfrmFindOrg::TextChanged);
  connect(cbxFind1, qOverload<int>(&QComboBox::currentIndexChanged), this, &TfrmFindOrg::ClassChanged);
  connect(bbtFront, &QPushButton::clicked, this, [this] { Search(false); });
  connect(bbtNext, &QPushButton::clicked, this, [this] { Search(true); });
  connect(bbtCancel, &QPushButton::clicked, this, &QDialog::close);
  cbxFindTxt->installEventFilter(this);

  RebuildClasses();
  cbxFind1->setCurrentIndex(0);
  ClassChanged();

  // The history of search texts, most recent first.
  cbxFindTxt->SetHistoryDir(FindHistoryFolder());
  cbxFindTxt->SetHistoryFile("FindOrg.DAT");
  cbxFindTxt->setCurrentIndex(-1);
  cbxFindTxt->setEditText(QString());

  FrmCtrl = new TFormControl(this);
  const QSize size = QSize(547, 102).expandedTo(sizeHint());
  FrmCtrl->MinClientWidth = FrmCtrl->MaxClientWidth = size.width();
  FrmCtrl->MinClientHeight = FrmCtrl->MaxClientHeight = size.height();
  FrmCtrl->ApplyLimits();
  resize(size);
}

TfrmFindOrg::~TfrmFindOrg() = default;

void TfrmFindOrg::RebuildClasses() {
  const int keep = cbxFind1->currentIndex();
  const int lang = main_.Model().View.ViewLang();
  QSignalBlocker block(cbxFind1);
  cbxFind1->clear();
  for (const TFindClass& c : kFindClasses) {
    const QString name = QString::fromUtf8(c.Name), folder = QString::fromUtf8(c.Folder);
    if (c.NodeClass == 0)
      cbxFind1->addItem(QCoreApplication::translate("TfrmFindOrg", c.Name));
    else if (lang == 0)
      cbxFind1->addItem(name);
    else if (lang == 1)
      cbxFind1->addItem(folder);
    else if (lang == 2)
      cbxFind1->addItem(name + "(" + folder + ")");
    else
      cbxFind1->addItem(folder + "(" + name + ")");
  }
  cbxFind1->setCurrentIndex(keep < 0 ? 0 : keep);
}

void TfrmFindOrg::ClassChanged() {
  const int index = std::max(0, cbxFind1->currentIndex());
  const TFindClass& c = kFindClasses[index];
  lblFind2->setText(*c.Label2 ? QCoreApplication::translate("TfrmFindOrg", c.Label2) : QString());
  lblFind3->setText(*c.Label3 ? QCoreApplication::translate("TfrmFindOrg", c.Label3) : QString());
  for (TMovComboBox* box : {cbxFind2, cbxFind3}) box->clear();
  if (index == kMeetIndex) {
    for (TMovComboBox* box : {cbxFind2, cbxFind3}) box->setEditable(true);
    cbxFind2->addItems(kMeetKinds);
    cbxFind3->addItems(kManageClasses);
    cbxFind2->setEditText(QString());
    cbxFind3->setEditText(QString());
    cbxFind3->setAttribute(Qt::WA_InputMethodEnabled, true);
  } else {
    for (TMovComboBox* box : {cbxFind2, cbxFind3}) {
      box->setEditable(false);
      box->addItem(QCoreApplication::translate("TfrmFindOrg", "(なし)"));
      box->setCurrentIndex(0);
    }
    cbxFind3->setAttribute(Qt::WA_InputMethodEnabled, false);
  }
}

void TfrmFindOrg::TextChanged() {
  const bool on = !cbxFindTxt->currentText().trimmed().isEmpty();
  bbtFront->setEnabled(on);
  bbtNext->setEnabled(on);
}

void TfrmFindOrg::ShowFor(TTreeItem* item) {
  const int cls = main_.Model().View.NodeClass(item);
  int index = 0;
  if (cls >= 1 && cls <= 4) index = cls;
  if (cls == 6) index = 5;
  RebuildClasses();
  cbxFind1->setCurrentIndex(index);
  ClassChanged();
  show();
  PlaceBesidePanes();
  raise();
  activateWindow();
  cbxFindTxt->setFocus();
}

void TfrmFindOrg::PlaceBesidePanes() {
  // Where it was is kept unless it covers the preview.
  TPreviewView* shown = nullptr;
  for (TPreviewView* v : main_.FindOwner()->findChildren<TPreviewView*>())
    if (v->isVisible()) shown = v;
  QWidget* panes = main_.PaneArea() && main_.PaneArea()->isVisible() ? main_.PaneArea() : nullptr;
  const auto global = [](QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
  const QRect preview = shown ? global(shown) : panes ? global(panes) : QRect();
  if (preview.isEmpty() || !frameGeometry().intersects(preview)) return;
  QScreen* screen = main_.FindOwner()->screen() ? main_.FindOwner()->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), QSize(1024, 768));
  const QPoint frame = pos() - frameGeometry().topLeft();
  move(PlaceBeside(main_.FindOwner()->frameGeometry(), panes ? global(panes) : preview, preview, frameGeometry().size(), area) +
       frame);
}

QString TfrmFindOrg::MatchedText(TTreeItem* item) const {
  const int cls = main_.Model().View.NodeClass(item);
  return Q(main_.Model().View.GetFileItem(item, cls == 1 || cls == 4 ? 5 : 4));
}

bool TfrmFindOrg::Matches(TTreeItem* item) const {
  TViewerModel& model = main_.Model();
  TMdlTreeView& view = model.View;
  const int index = std::max(0, cbxFind1->currentIndex());
  const int cls = view.NodeClass(item);
  if (index != 0) {
    if (cls != kFindClasses[index].NodeClass) return false;
    if (index == kMeetIndex) {
      // The meeting record above the original file: its kind and management class.
      const int pos = view.NodeNumber(item->Parent());
      const auto& meetings = view.Store().Meetings;
      static const TMdlTreeNodeMeet kNone;
      const TMdlTreeNodeMeet& meet =
          pos >= 0 && static_cast<std::size_t>(pos) < meetings.size() ? meetings[static_cast<std::size_t>(pos)] : kNone;
      const QString kind = cbxFind2->currentText().trimmed();
      const QString manage = cbxFind3->currentText().trimmed();
      if (!kind.isEmpty() && !Q(meet.MeetKind).contains(kind)) return false;
      if (!manage.isEmpty() && !Q(meet.ManageClass).contains(manage)) return false;
    }
  }
  int code;
  if (cls == 1 || cls == 4)
    code = 5;  // the drawing's name
  else if (cls == 2 || cls == 3 || cls == 6)
    code = 4;  // the original file's content
  else
    return false;
  const QString text = cbxFindTxt->currentText().trimmed();
  return Q(view.GetFileItem(item, code)).contains(text, Qt::CaseInsensitive);
}

bool TfrmFindOrg::Search(bool forward) {
  const QString text = cbxFindTxt->currentText().trimmed();
  if (text.isEmpty()) return false;
  TTreeItem* found = Walk(main_, main_.SelectedItem(), forward, [this](TTreeItem* i) { return Matches(i); });
  lblFound->setText(found ? QStringLiteral("%1: %2").arg(Q(found->Caption()).toHtmlEscaped(),
                                                          MarkMatches(MatchedText(found), text))
                          : QString());
  if (!found) {
    Ask(QCoreApplication::translate("TfrmFindOrg", kNotFound).toStdString(), MsgIcon::Information, MsgButtons::Ok,
        DialogAnswer::Ok);
    return false;
  }
  ShowFound(main_, found, this);
  return true;
}

bool TfrmFindOrg::eventFilter(QObject* watched, QEvent* e) {
  // Enter in the search text (its list closed) searches onwards.
  if (watched == cbxFindTxt && e->type() == QEvent::KeyPress && !cbxFindTxt->view()->isVisible()) {
    const auto* key = static_cast<QKeyEvent*>(e);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
      Search(true);
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void TfrmFindOrg::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (!e->spontaneous()) cbxFindTxt->SaveHistory();
}

// ---------------------------------------------------------------------------

TfrmSrcTree::TfrmSrcTree(TFindHost& main) : QDialog(main.FindOwner()), main_(main) {
  PrepareToolWindow(this, "frmSrcTree", QCoreApplication::translate("TfrmSrcTree", "登録ファイル"));
  lblSrc = new QLabel(QCoreApplication::translate("TfrmSrcTree", "検索する文字列"), this);
  lblSrc->setObjectName("lblSrc");
  edtSrc = new QLineEdit(this);
  edtSrc->setObjectName("edtSrc");
  edtSrc->setMaxLength(38);
  lblSrc->setBuddy(edtSrc);
  lblHint = new QLabel(
      QCoreApplication::translate("TfrmSrcTree", "ファイル名、ファイル内容より検索する文字列を入力して下さい。"), this);
  lblHint->setObjectName("lblHint");
  btnSrc = new QPushButton(QCoreApplication::translate("TfrmSrcTree", "次を検索"), this);
  btnSrc->setObjectName("btnSrc");
  btnSrc->setDefault(true);
  btnSrc->setEnabled(false);
  btnCancel = new QPushButton(QCoreApplication::translate("TfrmSrcTree", "ｷｬﾝｾﾙ"), this);
  btnCancel->setObjectName("btnCancel");
  btnCancel->setAutoDefault(false);
  chkMatchCase = new QCheckBox(QCoreApplication::translate("TfrmSrcTree", "大文字と小文字を区別する"), this);
  chkMatchCase->setObjectName("chkMatchCase");
  rgpDirection = new QGroupBox(QCoreApplication::translate("TfrmSrcTree", " 検索する方向 "), this);
  rgpDirection->setObjectName("rgpDirection");
  rbtUp = new QRadioButton(QCoreApplication::translate("TfrmSrcTree", "上へ"), rgpDirection);
  rbtUp->setObjectName("rbtUp");
  rbtDown = new QRadioButton(QCoreApplication::translate("TfrmSrcTree", "下へ"), rgpDirection);
  rbtDown->setObjectName("rbtDown");
  rbtDown->setChecked(true);
  auto* dir = new QHBoxLayout(rgpDirection);
  dir->addWidget(rbtUp);
  dir->addWidget(rbtDown);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 8, 8, 8);
  auto* text = new QHBoxLayout;
  text->addWidget(lblSrc);
  text->addWidget(edtSrc, 1);
  grid->addLayout(text, 0, 0, 1, 2);
  grid->addWidget(lblHint, 1, 0, 1, 2);
  grid->addWidget(chkMatchCase, 2, 0, Qt::AlignBottom);
  grid->addWidget(rgpDirection, 2, 1);
  grid->addWidget(btnSrc, 0, 2);
  grid->addWidget(btnCancel, 1, 2);
  grid->setColumnStretch(0, 1);

  connect(edtSrc, &QLineEdit::textChanged, this, [this](const QString& t) { btnSrc->setEnabled(!t.isEmpty()); });
  connect(btnSrc, &QPushButton::clicked, this, [this] { btnSrcClick(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);

  FrmCtrl = new TFormControl(this);
  const QSize size = sizeHint().expandedTo(QSize(420, 0));
  FrmCtrl->MinClientWidth = FrmCtrl->MaxClientWidth = size.width();
  FrmCtrl->MinClientHeight = FrmCtrl->MaxClientHeight = size.height();
  FrmCtrl->ApplyLimits();
  resize(size);
}

bool TfrmSrcTree::Matches(TTreeItem* item, const QString& text) const {
  TMdlTreeView& view = main_.Model().View;
  const bool matchCase = chkMatchCase->isChecked();
  QString shown;
  if (main_.TreeShowsFileNames())
    shown = Q(ExtractFileName(view.GetFileItem(item, 0)));
  else if (main_.TreeShowsManagedNames())
    shown = Q(ExtractFileName(view.GetFileItem(item, 38)));
  else
    shown = Q(AsciiUpper(view.GetFileItem(item, 0)));
  if (!matchCase) shown = shown.toUpper();
  if (shown.contains(text)) return true;
  QString content = Q(view.GetFileItem(item, 4));
  if (!matchCase) content = content.toUpper();
  return content.contains(text);
}

bool TfrmSrcTree::btnSrcClick() {
  if (edtSrc->text().isEmpty()) return false;
  const QString text = chkMatchCase->isChecked() ? edtSrc->text() : edtSrc->text().toUpper();
  TTreeItem* found = Walk(main_, main_.SelectedItem(), rbtDown->isChecked(),
                         [&](TTreeItem* i) { return Matches(i, text); });
  if (!found) {
    Ask(QCoreApplication::translate("TfrmFindOrg", kNotFound).toStdString(), MsgIcon::Warning, MsgButtons::Ok,
        DialogAnswer::Ok);
    return false;
  }
  ShowFound(main_, found, this);
  return true;
}

}  // namespace dlvr

#include "moc_find_windows.cpp"
