#include "panes/xml_err.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "check/extended_check.h"
#include "components/grid_mode.h"
#include "components/legible_color.h"
#include "panes/list_window.h"
#include "components/report_printer.h"
#include "delivery/prompts.h"
#include "model/tree_view.h"
#include "platform/text.h"

namespace dlvr {
namespace {

constexpr int kClientWidth = 764;
constexpr int kMinClientHeight = 276;
// Rows are 16 pixels high, or one text line of the grid font when that is
// more (TExtGrid3::MinRowHeight).
constexpr int kRowHeight = 16;
// Texts wider than their column (in CP932 bytes) show whole as a hint.
constexpr std::size_t kSectionBytes = 34;
constexpr std::size_t kItemBytes = 40;

}  // namespace

TfrmXMLErr::TfrmXMLErr(QWidget* parent) : QDialog(parent) {
  setObjectName("frmXMLErr");
  setWindowTitle(QCoreApplication::translate("TfrmXMLErr", "データチェック"));
  setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Label1 = AddListHeading(
      this, layout,
      QCoreApplication::translate("TfrmXMLErr", "全ての出力データをチェックした結果、以下の不整合が見つかりました。"));
  // For a delivery of a later edition of the guideline: one line on what
  // this list's findings are worth.
  lblEditionNotice = new QLabel(this);
  lblEditionNotice->setObjectName("lblEditionNotice");
  lblEditionNotice->setContentsMargins(6, 2, 6, 4);
  lblEditionNotice->setStyleSheet(
      QStringLiteral("color: %1;").arg(LegibleOn(QColor(0xa0, 0x50, 0x00), palette().color(QPalette::Window)).name()));
  lblEditionNotice->setVisible(false);
  layout->addWidget(lblEditionNotice);

  ToolBar1 = AddListToolBar(this, layout);
  tlbPrint = AddListButton(ToolBar1, "tlbPrint", QCoreApplication::translate("TfrmXMLErr", "    印刷    "),
                           QCoreApplication::translate("TfrmXMLErr", "印刷 (Ctrl+P)"));
  // The usual print key, as the other printing programs have it.
  tlbPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  ToolBar1->addSeparator();
  tblClose = AddListButton(ToolBar1, "tblClose", QCoreApplication::translate("TfrmXMLErr", "閉じる"), QString());

  Grid = AddListGrid(this, layout, 6, kRowHeight, ssVertical);

  cscErr = new TCellSizeControl(this);
  cscErr->setObjectName("cscErr");
  cscErr->SetStringGrid(Grid);
  cscErr->SetDefaultRowLines(-kRowHeight);
  cscErr->SetEachColChars({4, 14, 34, 12, 40, 16});
  cscErr->SetFixedColStrings(
      {QCoreApplication::translate("TfrmXMLErr", "NO."), QCoreApplication::translate("TfrmXMLErr", "管理ファイル名"),
       QCoreApplication::translate("TfrmXMLErr", "分類名"), QCoreApplication::translate("TfrmXMLErr", "ファイル名"),
       QCoreApplication::translate("TfrmXMLErr", "項目名"), QCoreApplication::translate("TfrmXMLErr", "状態")});
  cscErr->Apply();

  // The confirmation panel of the form is never used by this window.
  pnlBottom = new QWidget(this);
  pnlBottom->setObjectName("pnlBottom");
  auto* bottom = new QHBoxLayout(pnlBottom);
  auto* lblContinue = new QLabel(
      QCoreApplication::translate("TfrmXMLErr", "出力を続行する場合は「OK」ボタンをクリックしてください。"), pnlBottom);
  lblContinue->setObjectName("Label2");
  bottom->addWidget(lblContinue);
  auto* btnOK = new QPushButton(QStringLiteral("OK"), pnlBottom);
  btnOK->setObjectName("btnOK");
  bottom->addWidget(btnOK);
  auto* btnCancel = new QPushButton(QCoreApplication::translate("TfrmXMLErr", "ｷｬﾝｾﾙ"), pnlBottom);
  btnCancel->setObjectName("btnCancel");
  bottom->addWidget(btnCancel);
  auto* btnClose = new QPushButton(QCoreApplication::translate("TfrmXMLErr", "閉じる"), pnlBottom);
  btnClose->setObjectName("btnClose");
  btnClose->hide();
  bottom->addWidget(btnClose);
  auto* btnPrint = new QPushButton(QCoreApplication::translate("TfrmXMLErr", "印刷"), pnlBottom);
  btnPrint->setObjectName("btnPrint");
  btnPrint->hide();
  bottom->addWidget(btnPrint);
  layout->addWidget(pnlBottom);
  pnlBottom->hide();

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  layout->addWidget(StatusBar1);

  Grid->OnSetCellAtr = [this](int col, int row, TCellAtr& atr) { GridSetCellAtr(col, row, atr); };
  Grid->OnCellHint = [this](int col, int row) { return CellHint(col, row); };
  Grid->OnSetWinCtrl = [](int, int, int, QWidget*& ctrl, QRect&, bool&) { ctrl = nullptr; };

  connect(tlbPrint, &QToolButton::clicked, this, &TfrmXMLErr::tlbPrintClick);
  connect(tblClose, &QToolButton::clicked, this, &QDialog::reject);

  // Fixed width (with room for the vertical scroll bar), a minimum height and
  // height steps of one grid row plus its line (UpdateHeightStep).
  const int width = kClientWidth + QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  resize(width, kMinClientHeight);
  FMC = new TFormControl(this);
  FMC->setObjectName("FMC");
  FMC->MinClientWidth = FMC->MaxClientWidth = width;
  FMC->MinClientHeight = kMinClientHeight;
  FMC->MaxClientHeight = 0;
  FMC->StepH = 1;
  FMC->StringGrid = Grid;
  UpdateHeightStep();
  // Columns in characters and rows of one line follow the grid's font.
  connect(Grid, &TExtGrid3::FontMetricsChanged, this, [this] {
    cscErr->Apply();
    UpdateHeightStep();
  });
}

void TfrmXMLErr::UpdateHeightStep() {
  FMC->StepV = Grid->DefaultRowHeight() + Grid->GridLineWidth();
  FMC->ApplyLimits();
}

TfrmXMLErr::~TfrmXMLErr() = default;

int TfrmXMLErr::ShowErrors(QWidget* parent, TMdlTreeView& view) {
  if (view.ErrorList.empty()) {
    Inform(QCoreApplication::translate("TfrmXMLErr", "データは正常です。").toStdString());
    return 0;
  }
  TfrmXMLErr form(parent);
  form.Fill(view.ErrorList);
  form.SetEditionNotice(QString::fromStdString(EditionNotice(DeliveryEdition(view.MediaFolder()))));
  return form.exec();
}

void TfrmXMLErr::SetEditionNotice(const QString& notice) {
  lblEditionNotice->setText(notice);
  lblEditionNotice->setToolTip(notice);
  lblEditionNotice->setVisible(!notice.isEmpty());
}

void TfrmXMLErr::Fill(const TErrorRows& errors) {
  errors_ = errors;
  const int rows = static_cast<int>(errors.size()) + 1;
  Grid->SetRowCount(std::max(2, rows));
  for (int c = 0; c < 6; ++c) Grid->SetCell(c, 1, QString());
  for (int i = 1; i < rows; ++i) {
    const auto& e = errors[static_cast<std::size_t>(i - 1)];
    Grid->SetCell(0, i, QString::number(i));
    for (int c = 1; c <= 5; ++c) Grid->SetCell(c, i, QString::fromStdString(e[static_cast<std::size_t>(c - 1)]));
  }
  // From the bottom up, so that every row is compared with the row above it
  // before that one loses anything; the widest match is tested first.
  for (int r = rows - 1; r >= 2; --r) {
    for (int c = 3; c >= 1; --c) {
      bool same = true;
      for (int k = 1; k <= c && same; ++k) same = Grid->Cell(k, r) == Grid->Cell(k, r - 1);
      if (same) Grid->SetCell(c, r, QString());
    }
  }
  Grid->MoveTo(0, 1, false);
  Grid->SetTopRow(1);
  Grid->RefreshVertScrollBar();
  Grid->viewport()->update();
}

QString TfrmXMLErr::CellHint(int col, int row) const {
  if (row < 1 || row >= Grid->RowCount()) return QString();
  const QString text = Grid->Cell(col, row);
  const std::size_t bytes = Cp932Length(text.toStdString());
  if ((col == 2 && bytes > kSectionBytes) || (col == 4 && bytes > kItemBytes)) return text;
  return QString();
}

void TfrmXMLErr::GridSetCellAtr(int col, int row, TCellAtr& atr) {
  if (row == 0) {
    for (auto& l : atr.Line) l.Alignment = taCenter;
    return;
  }
  if (col == 0)
    for (auto& l : atr.Line) l.Alignment = taRightJustify;
}

void TfrmXMLErr::tlbPrintClick() { PrintErrorReport(this, errors_); }

}  // namespace dlvr
