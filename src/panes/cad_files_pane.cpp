#include "panes/cad_files_pane.h"

#include <QApplication>
#include <QFocusEvent>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "components/grid_mode.h"
#include "components/qt_string.h"
#include "model/tree_view.h"
#include "panes/files_pane.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {


const QString kDigits = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
constexpr std::size_t kNameBytes = 60;
constexpr int kTopHeight = 37;
constexpr int kGridPanelHeight = 168;
// The bevel reaches this far beyond the name box (the caption in front).
constexpr int kBevelExtra = 77;

struct TDrawField {
  const char* Label;
  const char* Mark;
  const char* Mask;
  int Max;
  int Code;  // GetFileItem code of the value
};

// The drawing's management fields, in grid rows 1 .. 32; their captions are
// those of the definition tables (shown through ShownFieldCaption).
const TDrawField kDrawFields[32] = {
    {"図面名", "◎", "全角文字", 20, 5},
    {"作成者名", "◎", "全角文字", 30, 7},
    {"図面ファイル作成ソフトウェア名", "◎", "全角文字", 64, 3},
    {"図面尺度", "◎", "半角英数字", 10, 9},
    {"図面番号", "◎", "半角数字", 3, 10},
    {"起点側測点-n", "○", "半角英数字", 4, 11},
    {"起点側測点-m", "○", "半角英数字", 3, 12},
    {"終点側測点-n", "○", "半角英数字", 4, 13},
    {"終点側測点-m", "○", "半角英数字", 3, 14},
    {"起点側距離標-n", "○", "半角英数字", 3, 15},
    {"起点側距離標-m", "○", "半角英数字", 3, 16},
    {"終点側距離標-n", "○", "半角英数字", 3, 17},
    {"終点側距離標-m", "○", "半角英数字", 3, 18},
    {"西側境界座標経度", "○", "半角英数字", 7, 19},
    {"東側境界座標経度", "○", "半角英数字", 7, 20},
    {"北側境界座標緯度", "○", "半角英数字", 7, 21},
    {"南側境界座標緯度", "○", "半角英数字", 7, 22},
    {"平面直角座標系", "○", "半角英数字", 2, 23},
    {"西側境界平面直角座標", "○", "半角英数字", 11, 24},
    {"東側境界平面直角座標", "○", "半角英数字", 11, 25},
    {"北側境界平面直角座標", "○", "半角英数字", 11, 26},
    {"南側境界平面直角座標", "○", "半角英数字", 11, 27},
    {"詳細住所", "○", "全角文字", 64, 28},
    {"基準点情報緯度", "○", "半角英数字", 7, 29},
    {"基準点情報経度", "○", "半角英数字", 7, 30},
    {"基準点情報平面直角座標系番号", "○", "半角英数字", 2, 31},
    {"基準点情報平面直角座標X座標", "○", "半角英数字", 11, 32},
    {"基準点情報平面直角座標Y座標", "○", "半角英数字", 11, 33},
    {"受注者説明文", "△", "全角文字", 128, 34},
    {"発注者説明文", "△", "全角文字", 128, 35},
    {"成果品保存場所", "○", "全角文字", 40, 36},
    {"予備", "△", "全角文字", 128, 37},
};

// Lines of each division in the drawing kind lists.
constexpr int kGroupFirst[4] = {0, 8, 34, 45};
constexpr int kGroupEnd[4] = {8, 34, 45, 59};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->move(x, y);
  l->adjustSize();
  return l;
}

TMovEdit* MakeNumberEdit(QWidget* parent, const char* name, int maxLength, TKeyMask mask, Qt::Alignment align, int x,
                         int y, int w) {
  auto* e = new TMovEdit(parent);
  e->setObjectName(name);
  e->setMaxLength(maxLength);
  e->KeyMask = mask;
  e->SetAlignment(align);
  e->setAttribute(Qt::WA_InputMethodEnabled, false);
  e->setGeometry(x, y, w, 21);
  return e;
}

QSpinBox* MakeUpDown(QWidget* parent, const char* name, int lo, int hi, int x, int y) {
  auto* u = new QSpinBox(parent);
  u->setObjectName(name);
  u->setRange(lo, hi);
  u->setGeometry(x, y, 17, 21);
  return u;
}

}  // namespace

QChar TfrmCADFiles::DigitChar(int position) { return kDigits.at(std::clamp(position, 0, 35)); }

std::string TfrmCADFiles::BoxName(const std::string& fileName) {
  std::string name = fileName;
  const std::size_t dot = name.find_last_of('.');
  const std::size_t sep = name.find_last_of("/\\");
  if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) name.erase(dot);
  if (Cp932Length(name) > kNameBytes) name = CutAtBytes(name, kNameBytes);
  return name;
}

TfrmCADFiles::TfrmCADFiles(TViewerModel& model, QWidget* parent) : TPane(model, parent) {
  setObjectName("frmCADFiles");
  filling_ = true;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // The top panel: only the file name row fits in its height; the division,
  // life cycle, numbers and revision lie below it, out of sight.
  pnlTop = new QFrame(this);
  pnlTop->setObjectName("pnlTop");
  lblCompareRemoved = MakeRemovedRecordNote(this);
  layout->addWidget(lblCompareRemoved);
  pnlTop->setFixedHeight(kTopHeight);
  bvlFilename = new QFrame(pnlTop);
  bvlFilename->setObjectName("bvlFilename");
  bvlFilename->setFrameShape(QFrame::Box);
  bvlFilename->setFrameShadow(QFrame::Sunken);
  bvlFilename->setGeometry(4, 4, 200, 29);
  zLabel00 = MakeLabel(pnlTop, "zLabel00", QCoreApplication::translate("TfrmCADFiles", "ファイル名"), 12, 12);
  edtFileName = new QLineEdit(pnlTop);
  edtFileName->setObjectName("edtFileName");
  edtFileName->setReadOnly(true);
  edtFileName->setFrame(false);
  edtFileName->setContextMenuPolicy(Qt::NoContextMenu);
  edtFileName->setCursor(Qt::ArrowCursor);
  {
    QPalette pal = edtFileName->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    edtFileName->setPalette(pal);
  }
  edtFileName->setGeometry(4 + kBevelExtra - 4, 8, 120, 21);
  edtFileName->installEventFilter(this);

  rgpKubun = new QGroupBox(QCoreApplication::translate("TfrmCADFiles", " 区分 "), pnlTop);
  rgpKubun->setObjectName("rgpKubun");
  rgpKubun->setGeometry(4, 40, 520, 44);
  {
    auto* row = new QHBoxLayout(rgpKubun);
    const QString names[4] = {QCoreApplication::translate("TfrmCADFiles", "道路詳細設計"),
                              QCoreApplication::translate("TfrmCADFiles", "橋梁詳細設計"),
                              QCoreApplication::translate("TfrmCADFiles", "樋門・樋管設計"),
                              QCoreApplication::translate("TfrmCADFiles", "トンネル詳細設計")};
    for (int i = 0; i < 4; ++i) {
      rbtKubun[static_cast<std::size_t>(i)] = new QRadioButton(names[i], rgpKubun);
      rbtKubun[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("rbtKubun%1").arg(i));
      row->addWidget(rbtKubun[static_cast<std::size_t>(i)]);
    }
  }
  zLabel01 = MakeLabel(pnlTop, "zLabel01", QCoreApplication::translate("TfrmCADFiles", "ライフサイクル"), 4, 92);
  cbxLifeCycle = new QComboBox(pnlTop);
  cbxLifeCycle->setObjectName("cbxLifeCycle");
  // The composed name takes the letter in front of each.
  cbxLifeCycle->addItems({QCoreApplication::translate("TfrmCADFiles", "S-測量"),
                          QCoreApplication::translate("TfrmCADFiles", "D-設計"),
                          QCoreApplication::translate("TfrmCADFiles", "C-施工"),
                          QCoreApplication::translate("TfrmCADFiles", "M-維持管理")});
  cbxLifeCycle->setGeometry(90, 90, 110, 21);
  zLabel02 = MakeLabel(pnlTop, "zLabel02", QCoreApplication::translate("TfrmCADFiles", "整理番号"), 210, 92);
  edtSortNo = MakeNumberEdit(pnlTop, "edtSortNo", 1, TKeyMask::mkDefault, Qt::AlignCenter, 270, 90, 24);
  udnSortNo = MakeUpDown(pnlTop, "udnSortNo", 0, 35, 294, 90);
  zLabel03 = MakeLabel(pnlTop, "zLabel03", QCoreApplication::translate("TfrmCADFiles", "図面種類"), 4, 118);
  cbxDrawKind = new QComboBox(pnlTop);
  cbxDrawKind->setObjectName("cbxDrawKind");
  cbxDrawKind->setGeometry(90, 116, 200, 21);
  zLabel04 = MakeLabel(pnlTop, "zLabel04", QCoreApplication::translate("TfrmCADFiles", "図面番号"), 300, 118);
  edtDrawNo =
      MakeNumberEdit(pnlTop, "edtDrawNo", 3, TKeyMask::mkNumeric, Qt::AlignRight | Qt::AlignVCenter, 360, 116, 36);
  udnDrawNo = MakeUpDown(pnlTop, "udnDrawNo", 1, 999, 396, 116);
  zLabel05 = MakeLabel(pnlTop, "zLabel05", QCoreApplication::translate("TfrmCADFiles", "改訂履歴"), 420, 118);
  edtRev = MakeNumberEdit(pnlTop, "edtRev", 1, TKeyMask::mkDefault, Qt::AlignCenter, 480, 116, 24);
  udnRev = MakeUpDown(pnlTop, "udnRev", 0, 35, 504, 116);
  layout->addWidget(pnlTop);

  pnlGrd = new QFrame(this);
  pnlGrd->setObjectName("pnlGrd");
  pnlGrd->setFixedHeight(kGridPanelHeight);
  auto* grd = new QVBoxLayout(pnlGrd);
  grd->setContentsMargins(0, 0, 0, 0);
  Grid = MakeFieldGrid(pnlGrd, 33);
  grd->addWidget(Grid);
  MakeHiddenEditors(pnlGrd, cbxSoftware, pnlShadow);
  layout->addWidget(pnlGrd);
  lblCompareFile = MakeCompareFileNote(this);
  layout->addWidget(lblCompareFile);

  webBrowser = MakePreviewPanel(this, Panel1);
  layout->addWidget(Panel1, 1);
  // Without a preview (a missing file) the fields stay at the top.
  layout->addStretch(0);

  cscFile = MakeFieldSizes(this, "cscFile", Grid, 31, 14);

  Grid->SetColWidth(1, -1);
  for (int i = 0; i < 32; ++i) {
    const TDrawField& f = kDrawFields[i];
    const int row = i + 1;
    Grid->SetCell(0, row, ShownFieldCaption(f.Label));
    Grid->SetCell(1, row, QString());
    Grid->SetCell(2, row, QString::fromUtf8(f.Mark));
    Grid->SetCell(3, row, QString());
    Grid->SetCell(4, row, ShownMask(QString::fromUtf8(f.Mask)));
    Grid->SetCell(5, row, QString::number(f.Max));
  }
  Grid->OnSetCellAtr = [this](int col, int row, TCellAtr& atr) { GridSetCellAtr(col, row, atr); };
  Grid->OnCRLOut = [this](int, int, int) { pnlShadow->hide(); };
  Grid->OnSetWinCtrl = [](int, int, int, QWidget*& ctrl, QRect&, bool&) { ctrl = nullptr; };
  Grid->MoveTo(3, 1, false);

  // First division, life cycle and drawing kind; the name composed from them.
  rbtKubun[0]->setChecked(true);
  cbxLifeCycle->setCurrentIndex(0);
  FillDrawKinds(0);
  filling_ = false;
  ComposeFileName();

  // Viewer mode (the shell always runs in it): nothing at the top is edited.
  ApplyGridMode(*Grid, true);
  for (QLineEdit* e : pnlTop->findChildren<QLineEdit*>()) e->setReadOnly(true);
  for (QSpinBox* u : {udnSortNo, udnDrawNo, udnRev}) u->hide();
  Grid->KeepVertScrollBarVisible();

  // Panel1 shows exactly while the last navigation completed.
  connect(webBrowser, &TPreviewView::NavigateComplete, this, [this](const QString&) {
    navigated_ = true;
    Panel1->show();
  });
  connect(webBrowser, &TPreviewView::DocumentComplete, this, [this](const QString&) {
    if (navigated_) Panel1->show();
  });
  pnlGrdResize();
}

int TfrmCADFiles::Kubun() const {
  for (int i = 0; i < 4; ++i)
    if (rbtKubun[static_cast<std::size_t>(i)]->isChecked()) return i;
  return -1;
}

void TfrmCADFiles::FillDrawKinds(int group) {
  const bool was = filling_;
  filling_ = true;
  cbxDrawKind->clear();
  const auto& lines = model_.View.DrawNameLines;
  const int g = std::clamp(group, 0, 3);
  for (int i = kGroupFirst[g]; i < kGroupEnd[g] && i < static_cast<int>(lines.size()); ++i)
    cbxDrawKind->addItem(Q(lines[static_cast<std::size_t>(i)]));
  cbxDrawKind->setCurrentIndex(cbxDrawKind->count() > 0 ? 0 : -1);
  filling_ = was;
}

void TfrmCADFiles::ComposeFileName() {
  if (filling_) return;
  const QString name = cbxLifeCycle->currentText().left(1) + DigitChar(udnSortNo->value()) +
                       cbxDrawKind->currentText().left(2) + QString::asprintf("%.3d", udnDrawNo->value()) +
                       DigitChar(udnRev->value());
  edtFileName->setText(name);
}

void TfrmCADFiles::SetBoxName(const QString& name) {
  edtFileName->setText(name);
  const QFontMetrics fm(edtFileName->font());
  const int width = (name.isEmpty() ? fm.horizontalAdvance(QStringLiteral("00000000")) : fm.horizontalAdvance(name)) + 4;
  edtFileName->resize(width, edtFileName->height());
  bvlFilename->resize(width + kBevelExtra, bvlFilename->height());
}

void TfrmCADFiles::ShowParts(const TCADFileNameParts& parts) {
  filling_ = true;
  const int group = parts.Group >= 0 ? parts.Group : 0;
  rbtKubun[static_cast<std::size_t>(group)]->setChecked(true);
  FillDrawKinds(group);
  if (parts.Valid) {
    cbxLifeCycle->setCurrentIndex(std::clamp(parts.LifeCycle, 0, 3));
    udnSortNo->setValue(std::max(0, static_cast<int>(kDigits.indexOf(Q(parts.SerialDigit)))));
    if (parts.KindIndex >= 0 && parts.KindIndex < cbxDrawKind->count()) cbxDrawKind->setCurrentIndex(parts.KindIndex);
    udnDrawNo->setValue(std::clamp(Q(parts.DrawingNumber).toInt(), 1, 999));
    udnRev->setValue(std::max(0, static_cast<int>(kDigits.indexOf(Q(parts.Revision)))));
  }
  edtSortNo->setText(DigitChar(udnSortNo->value()));
  edtDrawNo->setText(QString::asprintf("%.3d", udnDrawNo->value()));
  edtRev->setText(DigitChar(udnRev->value()));
  filling_ = false;
}

void TfrmCADFiles::showEvent(QShowEvent* e) {
  TPane::showEvent(e);
  if (!firstShow_) return;
  firstShow_ = false;
  const std::string blank = JoinPath(ProgramDir(), "NONE.HTML");
  webBrowser->Navigate(FileExists(blank) ? Q(blank) : QString());
  Grid->MoveTo(3, 1, false);
}

void TfrmCADFiles::resizeEvent(QResizeEvent* e) {
  TPane::resizeEvent(e);
  pnlGrdResize();
}

bool TfrmCADFiles::eventFilter(QObject* watched, QEvent* e) {
  // The name box only shows; focus entering it goes on to the grid.
  if (watched == edtFileName && e->type() == QEvent::FocusIn) {
    Grid->setFocus(Qt::OtherFocusReason);
    for (QComboBox* c : {cbxLifeCycle, cbxDrawKind})
      if (c->lineEdit()) c->lineEdit()->deselect();
    return false;
  }
  return TPane::eventFilter(watched, e);
}

int TfrmCADFiles::RowBytes(int row) const {
  bool ok = false;
  int bytes = Grid->Cell(5, row).toInt(&ok);
  if (!ok) bytes = 0;
  // By the field's own representation: the grid shows it translated.
  if (row >= 1 && row <= 32 && std::string_view(kDrawFields[row - 1].Mask).find("全角") != std::string_view::npos)
    bytes *= 2;
  return bytes;
}

void TfrmCADFiles::pnlGrdResize() {
  cbxSoftware->hide();
  // The grid fills the pane's width.
  lineChars_ = FitValueColumn(*Grid, width());
  for (int row = 1; row <= 32; ++row) {
    // Integer division truncates toward zero, so no length gives one line.
    const int lines = std::max(1, (RowBytes(row) - 1) / lineChars_ + 1);
    RowLines[static_cast<std::size_t>(row - 1)] = lines;
    Grid->SetRowHeight(row, Grid->CellHeight(lines) + 2 * lines);
  }
  Grid->MoveTo(3, std::max(1, Grid->Row()), false);
  Grid->RefreshVertScrollBar();
}

void TfrmCADFiles::GridSetCellAtr(int col, int row, TCellAtr& atr) {
  if (FieldCellAtr(*Grid, col, row, atr)) return;
  atr.Selectable = true;
  atr.Line[0].TextLines = RowLines[static_cast<std::size_t>(std::clamp(row - 1, 0, 31))];
  if (removedShown_) atr.Line[0].FontColor = RemovedValueColor(Grid);
}

void TfrmCADFiles::ShowRemoved(const TMdlTreeNodeDraw& drawing) {
  removedShown_ = true;
  lblCompareRemoved->show();
  lblCompareFile->hide();
  for (int i = 0; i < 32; ++i) {
    QString value;
    for (const TFieldDef<TMdlTreeNodeDraw>& f : TMdlTreeNodeDraw::Fields())
      if (f.Text && std::string_view(f.Element) == kDrawFields[i].Label) value = Q(drawing.*f.Text);
    Grid->SetCell(3, i + 1, value);
  }
  Grid->viewport()->update();
  const TMdlTreeView& view = model_.View;
  ShowParts(ParseCADFileName(drawing.DrawFile, drawing.DrawName, view.DrawKindLines, view.DrawNameLines));
  SetBoxName(Q(BoxName(drawing.DrawFile)));
  Grid->SetLeftCol(0);
  // Its file is not in the delivery shown: no preview, nothing missing.
  preview::ShowMissingNote(Panel1, QString());
  Panel1->hide();
}

void TfrmCADFiles::ShowNode(TTreeItem* item) {
  current_ = item;
  removedShown_ = false;
  lblCompareRemoved->hide();
  TMdlTreeView& view = model_.View;
  for (int i = 0; i < 32; ++i)
    Grid->SetCell(3, i + 1, ComparedValue(OldValueOf, item, view.GetFileItem(item, kDrawFields[i].Code), kDrawFields[i].Label));
  Grid->viewport()->update();
  ShowCompareFileNote(lblCompareFile, ChangedFileOf, item);

  const TCADFileNameParts parts = view.ParseCADFileName(item);
  ShowParts(parts);
  pnlTop->setFixedHeight(kTopHeight);
  SetBoxName(Q(BoxName(parts.UpperName)));

  Grid->SetLeftCol(0);
  QApplication::processEvents();
  navigated_ = false;
  preview::Preview(view, item, Panel1, *webBrowser);
}

}  // namespace dlvr

#include "moc_cad_files_pane.cpp"
