#include "panes/base_info.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "check/extended_check.h"
#include "model/tree_view.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// Row labels; "\r" breaks a label into two lines.
const char* const kLabels[TfrmBaseInfo::kDataRows] = {
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "メディア番号"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "メディア総枚数"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "発注図面フォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "特記仕様書オリジナル\rファイルフォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "打合せ簿フォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "打合せ簿オリジナル\rファイルフォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "施工計画書フォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "施工計画書オリジナル\rファイルフォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "完成図面フォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "写真フォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "その他フォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "その他オリジナル\rファイルフォルダ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "ソフトウェア名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "バージョン情報"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "メーカ名"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "メーカ連絡先"),
    QT_TRANSLATE_NOOP("TfrmBaseInfo", "ソフトメーカ用ＴＡＧ"),
};

// Text lines per grid row, header included.
const int kRowLines[TfrmBaseInfo::kDataRows + 1] = {1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 2};

// The last row of the base information block; the software block follows.
constexpr int kLastBaseRow = 12;

const QString kCRLF = QStringLiteral("\r\n");

// The grid tells its owner when it has been resized, once its own viewport
// and scroll bars have been laid out.
class TBaseGrid final : public TExtGrid3 {
 public:
  using TExtGrid3::TExtGrid3;
  std::function<void()> OnResized;

 protected:
  void resizeEvent(QResizeEvent* e) override {
    TExtGrid3::resizeEvent(e);
    if (OnResized) OnResized();
  }
};

QLabel* MakeCategoryPanel(QWidget* parent, const char* name, const QString& caption, const QFont& font) {
  auto* panel = new QLabel(caption, parent);
  panel->setObjectName(name);
  panel->setFont(font);
  panel->setAlignment(Qt::AlignCenter);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(1);
  panel->setAutoFillBackground(true);
  panel->setBackgroundRole(QPalette::Button);
  panel->setForegroundRole(QPalette::ButtonText);
  return panel;
}

}  // namespace

TfrmBaseInfo::TfrmBaseInfo(TMdlTreeView& model, QWidget* parent) : QDialog(parent), model_(model) {
  setObjectName("frmBaseInfo");
  setWindowTitle(QCoreApplication::translate("TfrmBaseInfo", "基礎情報"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pnlGrid = new QWidget(this);
  pnlGrid->setObjectName("pnlGrid");
  auto* gridLayout = new QVBoxLayout(pnlGrid);
  gridLayout->setContentsMargins(0, 0, 0, 0);
  auto* grid = new TBaseGrid(pnlGrid);
  grdBase = grid;
  grdBase->setObjectName("grdBase");
  QFont font(QStringLiteral("ＭＳ ゴシック"));
  font.setPixelSize(12);
  grdBase->setFont(font);
  grdBase->SetColCount(3);
  grdBase->SetRowCount(kDataRows + 1);
  grdBase->SetFixedCols(2);
  grdBase->SetFixedRows(1);
  grdBase->SetOptions(TGridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine | goThumbTracking);
  grdBase->SetScrollBars(ssVertical);
  // No visible selection, focused or not.
  const QPalette pal = grdBase->palette();
  grdBase->SetSelClrFcsB(pal.color(QPalette::Base));
  grdBase->SetSelClrFcsF(pal.color(QPalette::Text));
  grdBase->SetSelClrNFcsB(pal.color(QPalette::Base));
  grdBase->SetSelClrNFcsF(pal.color(QPalette::Text));
  grdBase->KeepVertScrollBarVisible();
  gridLayout->addWidget(grdBase);
  layout->addWidget(pnlGrid, 1);

  cscBase = new TCellSizeControl(this);
  cscBase->setObjectName("cscBase");
  cscBase->SetStringGrid(grdBase);
  cscBase->SetEachColChars({12, 22, 85});
  cscBase->SetEachRowLines(QList<int>(std::begin(kRowLines), std::end(kRowLines)));
  cscBase->SetFixedColStrings({QCoreApplication::translate("TfrmBaseInfo", "カテゴリ"),
                               QCoreApplication::translate("TfrmBaseInfo", "項   目   名"),
                               QCoreApplication::translate("TfrmBaseInfo", "情　　　 報")});
  cscBase->Apply();

  // The category column is covered by two raised panels that scroll with
  // the rows; pnlDispFxd clips them to the rows below the header, and the
  // dark pnlFixdShadow behind them shows as the grid lines between rows.
  pnlDispFxd = new QWidget(grdBase->viewport());
  pnlDispFxd->setObjectName("pnlDispFxd");
  pnlFixdShadow = new QWidget(pnlDispFxd);
  pnlFixdShadow->setObjectName("pnlFixdShadow");
  pnlFixdShadow->setAutoFillBackground(true);
  QPalette shadow = pnlFixdShadow->palette();
  shadow.setColor(QPalette::Window, Qt::black);
  pnlFixdShadow->setPalette(shadow);
  pnlFxdBase = MakeCategoryPanel(pnlFixdShadow, "pnlFxdBase",
                                 QCoreApplication::translate("TfrmBaseInfo", "基礎情報", "category"), font);
  pnlFxdSoft = MakeCategoryPanel(pnlFixdShadow, "pnlFxdSoft",
                                 QCoreApplication::translate("TfrmBaseInfo", "ソフトウェア\n情報"), font);

  pnlButton = new QWidget(this);
  pnlButton->setObjectName("pnlButton");
  pnlButton->setFixedHeight(kButtonPanelHeight);
  auto* buttons = new QHBoxLayout(pnlButton);
  buttons->setContentsMargins(8, 8, 8, 8);
  btnClose = new QPushButton(QCoreApplication::translate("TfrmBaseInfo", "閉じる"), pnlButton);
  btnClose->setObjectName("btnClose");
  btnClose->setFixedSize(75, 25);
  // The edition of the guideline the delivery follows, at the left; the
  // button stays in the middle (as wide a space at the right).
  lblEdition = new QLabel(QCoreApplication::translate("TfrmBaseInfo", "要領: %1")
                              .arg(QString::fromStdString(EditionText(DeliveryEdition(model_.MediaFolder())))),
                          pnlButton);
  lblEdition->setObjectName("lblEdition");
  lblEdition->setMinimumWidth(0);
  lblEdition->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  buttons->addWidget(lblEdition, 1);
  buttons->addWidget(btnClose);
  buttons->addStretch(1);
  layout->addWidget(pnlButton);
  // Escape rejects the dialog as well: the grid passes it on.
  connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

  grdBase->OnSetCellAtr = [this](int col, int row, TCellAtr& atr) { grdBaseSetCellAtr(col, row, atr); };
  grdBase->OnTopLeftChanged = [this] { grdBaseTopLeftChanged(); };
  grid->OnResized = [this] { pnlGridResize(); };

  const int minWidth = kMinClientWidth + TFormControl::ScrollBarExtent(this);
  resize(minWidth, kMinClientHeight);
  FrmCtrl = new TFormControl(this);
  FrmCtrl->setObjectName("FrmCtrl");
  FrmCtrl->MinClientWidth = minWidth;
  FrmCtrl->MinClientHeight = kMinClientHeight;
  FrmCtrl->MaxClientWidth = FrmCtrl->MaxClientHeight = 0;
  FrmCtrl->DefaultLeft = FrmCtrl->DefaultTop = -1;
  FrmCtrl->ApplyLimits();

  WriteLabels();
  ReadValues();
  grdBase->MoveTo(2, 1, false);
  pnlGridResize();
}

TfrmBaseInfo::~TfrmBaseInfo() = default;

void TfrmBaseInfo::ShowBaseInfo(QWidget* parent, TMdlTreeView& model) {
  auto form = std::make_unique<TfrmBaseInfo>(model, parent);
  form->exec();
}

int TfrmBaseInfo::RowLines(int row) { return row >= 0 && row <= kDataRows ? kRowLines[row] : 1; }

QString TfrmBaseInfo::RowLabel(int row) {
  return row >= 1 && row <= kDataRows ? QCoreApplication::translate("TfrmBaseInfo", kLabels[row - 1]) : QString();
}

void TfrmBaseInfo::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TfrmBaseInfo::FormShow() {
  grdBase->KeepVertScrollBarVisible();
  WriteLabels();
  ReadValues();
  WrapValues();
  // Room for the vertical scroll bar beside the designed width.
  const int minWidth = kMinClientWidth + TFormControl::ScrollBarExtent(this);
  if (FrmCtrl->MinClientWidth < minWidth) {
    FrmCtrl->MinClientWidth = minWidth;
    FrmCtrl->ApplyLimits();
  }
  if (width() < minWidth) resize(minWidth, height());
}

void TfrmBaseInfo::WriteLabels() {
  for (int row = 1; row <= kDataRows; ++row) {
    QString label = RowLabel(row);
    label.replace(QLatin1Char('\r'), kCRLF);
    grdBase->SetCell(1, row, label);
  }
}

void TfrmBaseInfo::ReadValues() {
  for (int i = 0; i < kDataRows; ++i) values_[static_cast<std::size_t>(i)] = QString::fromStdString(model_.GetIndexItem(i));
}

QStringList TfrmBaseInfo::WrapValue(const QString& value, int width) const {
  const QFontMetrics fm(grdBase->font());
  if (fm.horizontalAdvance(value) + 4 <= width) return {value};
  // Characters per line: the widest double-byte character takes two "0"s.
  const std::size_t chars = static_cast<std::size_t>(std::max(1, (width - 4) / std::max(1, grdBase->TextWidth0(1))));
  QStringList pieces;
  const std::string text = value.toStdString();
  std::string_view rest(text);
  while (!rest.empty()) {
    std::string piece = CutAtBytes(rest, chars);
    if (piece.empty()) {
      // A column narrower than one double-byte character still takes one
      // character per line rather than none.
      std::size_t pos = 0;
      NextCodePoint(rest, pos);
      piece = std::string(rest.substr(0, pos));
    }
    rest.remove_prefix(piece.size());
    pieces << QString::fromStdString(piece);
  }
  return pieces;
}

void TfrmBaseInfo::WrapValues() {
  const int width = grdBase->ColWidth(2);
  for (int row = 1; row <= kDataRows; ++row) {
    const QStringList pieces = WrapValue(values_[static_cast<std::size_t>(row - 1)], width);
    grdBase->SetCell(2, row, pieces.mid(0, RowLines(row)).join(kCRLF));
  }
}

void TfrmBaseInfo::pnlGridResize() {
  // The value column takes the rest of the client width, its grid line
  // included; the scroll bar is always shown beside it.
  const int line = grdBase->GridLineWidth();
  int used = 0;
  for (int col = 0; col < 2; ++col) used += grdBase->ColWidth(col) + line;
  grdBase->SetColWidth(2, std::max(1, grdBase->ClientWidth() - used - line));
  WrapValues();
  grdBase->RefreshVertScrollBar();
  grdBaseTopLeftChanged();
}

void TfrmBaseInfo::grdBaseTopLeftChanged() {
  const int line = grdBase->GridLineWidth();
  const int header = grdBase->RowHeight(0) + line;
  auto extent = [&](int row) { return grdBase->RowHeight(row) + line; };
  int scrolled = 0;
  for (int row = 1; row < grdBase->TopRow(); ++row) scrolled += extent(row);
  int baseHeight = 0, softHeight = 0;
  for (int row = 1; row <= kLastBaseRow; ++row) baseHeight += extent(row);
  for (int row = kLastBaseRow + 1; row <= kDataRows; ++row) softHeight += extent(row);
  const int width = grdBase->ColWidth(0);

  pnlFixdShadow->setGeometry(0, -scrolled, width, baseHeight + softHeight);
  pnlFxdBase->setGeometry(0, 0, width, baseHeight - line);
  pnlFxdSoft->setGeometry(0, baseHeight, width, softHeight - line);
  // Down to the bottom of the last row when it is in view, else to the
  // bottom of the client area.
  const int rowsBottom = header - scrolled + baseHeight + softHeight;
  const int height = std::min(grdBase->ClientHeight(), rowsBottom) - header;
  pnlDispFxd->setGeometry(0, header, width, std::max(0, height));
}

void TfrmBaseInfo::grdBaseSetCellAtr(int col, int row, TCellAtr& atr) {
  if (row == 0) {
    for (auto& l : atr.Line) l.Alignment = taCenter;
    return;
  }
  if (row > kDataRows) return;
  if (col == 1) {
    const int labelLines = RowLabel(row).contains(QLatin1Char('\r')) ? 2 : 1;
    atr.LineCount = labelLines;
    for (auto& l : atr.Line) l.Alignment = taCenter;
    // A one-line label stands in the middle of its row.
    if (labelLines == 1) atr.Line[0].Position = (RowLines(row) - 1) / 2.0;
  } else if (col == 2) {
    atr.LineCount = RowLines(row);
  }
}

}  // namespace dlvr

#include "moc_base_info.cpp"
