#include "panes/info_panes.h"

#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

#include "components/grid_mode.h"
#include "components/legible_color.h"
#include "components/qt_string.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// A value as one grid line: a line break would start a further cell line.
QString OneLine(const std::string& s) {
  QString text = Q(s);
  text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

}  // namespace

QLabel* MakeRemovedRecordNote(QWidget* parent) {
  auto* note = new QLabel(
      QCoreApplication::translate("TfrmInfo", "この記録は以前の納品物にだけあります（削除）。以前の値を表示しています。"),
      parent);
  note->setObjectName("lblCompareRemoved");
  note->setWordWrap(true);
  note->setMargin(4);
  note->setFocusPolicy(Qt::NoFocus);
  note->hide();
  return note;
}

QColor RemovedValueColor(const QWidget* grid) {
  return IsDark(grid->palette().color(QPalette::Base)) ? QColor(150, 150, 150) : QColor(128, 128, 128);
}

TInfoPaneBase::TInfoPaneBase(TViewerModel& model, QWidget* parent) : TPane(model, parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  Grid = MakeFieldGrid(this, 2);
  layout->addWidget(Grid);
  ApplyGridMode(*Grid, true);
  cscInfo = MakeFieldSizes(this, "cscInfo", Grid, 29, 16);
  Grid->SetColWidth(1, -1);
  Grid->MoveTo(3, 1, false);
  Grid->KeepVertScrollBarVisible();
  Grid->OnSetCellAtr = [this](int col, int row, TCellAtr& atr) { SetCellAtr(col, row, atr); };
}

void TInfoPaneBase::resizeEvent(QResizeEvent* e) { TPane::resizeEvent(e); }

void TInfoPaneBase::SizeValueColumn() { lineChars_ = FitValueColumn(*Grid, width()); }

void TInfoPaneBase::ResetRows(int dataRows) {
  Grid->SetRowCount(dataRows + 1);
  for (auto& list : RowLists) list.assign(static_cast<std::size_t>(dataRows), -1);
}

void TInfoPaneBase::FillLabels(int row, const std::string& tag, const std::string& info, const std::string& mask,
                               long maxLength, const std::string& needs) {
  // Captions and representation shown in the user's language; the length
  // below is reckoned by the table's own representation.
  Grid->SetCell(0, row, ShownFieldCaption(tag));
  Grid->SetCell(1, row, info.empty() ? QString() : ShownFieldCaption(info));
  Grid->SetCell(4, row, ShownMask(Q(mask)));
  Grid->SetCell(5, row, QString::number(maxLength));
  Grid->SetCell(2, row, Q(needs));
  long bytes = maxLength;
  if (mask.find("全角") != std::string::npos) bytes *= 2;
  // Integer division truncates toward zero, so no length gives one line.
  long lines = std::max(1L, (bytes - 1) / lineChars_ + 1);
  std::size_t index = static_cast<std::size_t>(row - 1);
  if (index < RowLists[1].size()) {
    RowLists[0][index] = static_cast<int>(maxLength);
    RowLists[1][index] = static_cast<int>(lines);
  }
  Grid->SetRowHeight(row, Grid->CellHeight(static_cast<int>(lines)) + 2 * static_cast<int>(lines));
}

void TInfoPaneBase::SetCellAtr(int col, int row, TCellAtr& atr) {
  if (FieldCellAtr(*Grid, col, row, atr)) return;
  std::size_t index = static_cast<std::size_t>(row - 1);
  atr.Selectable = true;
  int lines = index < RowLists[1].size() ? RowLists[1][index] : -1;
  atr.Line[0].TextLines = std::max(1, lines);
  if (removedShown_) atr.Line[0].FontColor = RemovedValueColor(Grid);
}

QString ComparedValue(const TOldValueFn& oldValueOf, const TTreeItem* item, const std::string& value,
                      const std::string& field, const std::string& alt) {
  std::string old;
  if (!oldValueOf || !(oldValueOf(item, field, old) || (!alt.empty() && oldValueOf(item, alt, old)))) return Q(value);
  // An item that was not there before (or is no more) shows a dash.
  const QString dash = QStringLiteral("—");
  return (old.empty() ? dash : Q(old)) + QStringLiteral(" → ") + (value.empty() ? dash : Q(value));
}

QString TInfoPaneBase::ShownValue(const TTreeItem* item, const std::string& value, const std::string& field,
                                  const std::string& alt) const {
  return ComparedValue(OldValueOf, item, value, field, alt);
}

void TInfoPaneBase::FinishFill() {
  Grid->SetLeftCol(0);
  Grid->viewport()->update();
  Grid->RefreshVertScrollBar();
}

// ---------------------------------------------------------------------------

TfrmKojInfo::TfrmKojInfo(TViewerModel& model, QWidget* parent) : TInfoPaneBase(model, parent) {
  setObjectName("frmKojInfo");
  grpUnknown = new QGroupBox(QCoreApplication::translate("TfrmKojInfo", "読み込み対象外の項目"), this);
  grpUnknown->setObjectName("grpUnknown");
  auto* box = new QVBoxLayout(grpUnknown);
  box->setContentsMargins(2, 2, 2, 2);
  box->setSpacing(2);
  // The panel grows no higher than its rows need.
  box->setSizeConstraint(QLayout::SetMaximumSize);
  lblUnknownOmitted = new QLabel(grpUnknown);
  lblUnknownOmitted->setObjectName("lblUnknownOmitted");
  lblUnknownOmitted->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  lblUnknownOmitted->hide();
  box->addWidget(lblUnknownOmitted);
  grdUnknown = new TExtGrid3(grpUnknown);
  grdUnknown->setObjectName("grdUnknown");
  grdUnknown->setFont(Grid->font());
  grdUnknown->SetColCount(2);
  grdUnknown->SetRowCount(2);
  grdUnknown->SetFixedRows(1);
  grdUnknown->SetFixedCols(0);
  grdUnknown->SetScrollBars(ssVertical);
  grdUnknown->SetDefaultRowHeight(grdUnknown->CellHeight(1) + 2);
  ApplyGridMode(*grdUnknown, true);
  grdUnknown->KeepVertScrollBarVisible();
  grdUnknown->SetCell(0, 0, QCoreApplication::translate("TfrmKojInfo", "項目"));
  grdUnknown->SetCell(1, 0, QCoreApplication::translate("TfrmKojInfo", "値"));
  grdUnknown->OnSetCellAtr = [](int, int row, TCellAtr& atr) {
    if (row == 0)
      for (auto& l : atr.Line) l.Alignment = taCenter;
  };
  box->addWidget(grdUnknown);
  auto* main = static_cast<QVBoxLayout*>(layout());
  main->setStretchFactor(Grid, 3);
  main->addWidget(grpUnknown, 2);
  grpUnknown->hide();
  grdUnknown->viewport()->installEventFilter(this);
}

void TfrmKojInfo::FillUnknown() {
  const TUnknownElements& unknown = model_.View.Store().IndexUnknown;
  grpUnknown->setVisible(!unknown.Empty());
  lblUnknownOmitted->setVisible(unknown.Omitted > 0);
  lblUnknownOmitted->setText(
      QCoreApplication::translate("TfrmKojInfo", "このほかに %1 項目ありますが、一覧には載せていません。")
          .arg(unknown.Omitted));
  if (unknown.Items == unknownShown_) return;
  unknownShown_ = unknown.Items;
  const int rows = static_cast<int>(unknownShown_.size());
  grdUnknown->SetRowCount(std::max(2, rows + 1));
  for (int c = 0; c < 2; ++c) grdUnknown->SetCell(c, 1, QString());
  for (int r = 1; r <= rows; ++r) {
    const TUnknownElement& e = unknownShown_[static_cast<std::size_t>(r - 1)];
    grdUnknown->SetCell(0, r, OneLine(e.Path));
    grdUnknown->SetCell(1, r, OneLine(e.Value));
  }
  // Few rows take no more room than they need; the pane's rows keep the
  // rest.
  int height = 2 * grdUnknown->frameWidth();
  for (int r = 0; r < grdUnknown->RowCount(); ++r) height += grdUnknown->RowHeight(r) + grdUnknown->GridLineWidth();
  grdUnknown->setMaximumHeight(height);
  grdUnknown->MoveTo(1, 1, false);
  grdUnknown->SetTopRow(1);
  grdUnknown->RefreshVertScrollBar();
  grdUnknown->viewport()->update();
}

void TfrmKojInfo::FitUnknownColumns() {
  const int client = grdUnknown->ClientWidth(), line = grdUnknown->GridLineWidth();
  const int path = std::max(1, (client - 2 * line) * 2 / 5);
  grdUnknown->SetColWidth(0, path);
  grdUnknown->SetColWidth(1, std::max(1, client - path - 2 * line));
}

bool TfrmKojInfo::eventFilter(QObject* watched, QEvent* e) {
  if (watched == grdUnknown->viewport() && e->type() == QEvent::Resize) FitUnknownColumns();
  return TInfoPaneBase::eventFilter(watched, e);
}

void TfrmKojInfo::Fill() {
  FillUnknown();
  TTreeIni& table = model_.Tables.Koji;
  TTreeIniItem* koj = table.FindChild("KOJINFO");
  if (!koj) return;
  SizeValueColumn();
  int rows = 0;
  for (int i = 0; i < koj->Count(); ++i) rows += std::max(1L, koj->Child(i)->Values().ReadInteger("DataCount", 0));
  ResetRows(rows);
  int r = 1;
  for (int i = 0; i < koj->Count(); ++i) {
    const TExtStringList& v = koj->Child(i)->Values();
    std::string tag = v.ReadString("Tag");
    long count = v.ReadInteger("DataCount", 0);
    if (tag.empty()) {
      r += static_cast<int>(std::max(1L, count));
      continue;
    }
    auto labels = [&](int row) {
      FillLabels(row, tag, "", v.ReadString("Mask"), v.ReadInteger("MaxLength", 0), v.ReadString("Needs"));
    };
    if (count < 1) {
      labels(r);
      Grid->SetCell(3, r, ShownValue(nullptr, v.ReadString("Data"), tag));
      ++r;
    } else {
      for (long k = 0; k < count; ++k, ++r) {
        labels(r);
        Grid->SetCell(3, r, ShownValue(nullptr, v.ReadString("Data " + std::to_string(k)),
                                       tag + "[" + std::to_string(k + 1) + "]", count == 1 ? tag : std::string()));
      }
    }
  }
  FinishFill();
}

void TfrmKojInfo::resizeEvent(QResizeEvent* e) {
  TInfoPaneBase::resizeEvent(e);
  Fill();
  Grid->MoveTo(3, std::max(1, Grid->Row()), true);
  Grid->RefreshVertScrollBar();
}

// ---------------------------------------------------------------------------

TfrmInfo::TfrmInfo(TViewerModel& model, QWidget* parent) : TInfoPaneBase(model, parent) {
  setObjectName("frmInfo");
  cbxInfo = new QComboBox(this);
  cbxInfo->setObjectName("cbxInfo");
  cbxInfo->hide();
  lblCompareRemoved = MakeRemovedRecordNote(this);
  static_cast<QVBoxLayout*>(layout())->insertWidget(0, lblCompareRemoved);
  Grid->setMouseTracking(true);
  // The explanation of a field shows over its label, after the whole label
  // when the label is cut.
  Grid->OnCellHint = [this](int col, int row) {
    if (col != 0 || row < 1 || row >= Grid->RowCount()) return QString();
    const QString label = Grid->Cell(0, row), explanation = Grid->Cell(1, row);
    if (Grid->ShownLineText(0, row, 0) == label) return explanation;
    return explanation.isEmpty() ? label : label + QLatin1Char('\n') + explanation;
  };
}

void TfrmInfo::ShowNode(TTreeItem* item) {
  removedShown_ = false;
  removedTable_ = nullptr;
  lblCompareRemoved->hide();
  Fill(item);
}

void TfrmInfo::ShowRemoved(TTreeIni* table, int number) {
  removedShown_ = true;
  removedTable_ = table;
  removedNumber_ = number;
  lblCompareRemoved->show();
  Fill(nullptr);
}

void TfrmInfo::Fill(TTreeItem* item) {
  cbxInfo->hide();
  if (item) {
    current_ = item;
    removedShown_ = false;
    removedTable_ = nullptr;
    lblCompareRemoved->hide();
  }
  if (removedShown_) {
    if (removedTable_) FillRows(removedTable_, removedNumber_, nullptr);
    return;
  }
  TTreeIni* table = model_.SelectFieldTable(current_);
  if (!table || !current_) return;
  FillRows(table, model_.View.NodeNumber(current_), current_);
}

void TfrmInfo::FillRows(TTreeIni* table, int number, const TTreeItem* item) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  TTreeIniItem* setting = table->FindChild("SETTING");
  TTreeIniItem* datas = table->FindChild("Datas");
  TTreeIniItem* data = datas ? datas->FindChild("Data" + std::to_string(number)) : nullptr;
  int rows = 0;
  if (setting)
    for (int i = 0; i < setting->Count(); ++i)
      if (!setting->Child(i)->Values().ReadString("Tag").empty()) ++rows;
  if (data)
    for (int i = 0; i < data->Count(); ++i) {
      long c = data->Child(i)->Values().ReadInteger("DataCount", 0);
      if (c > 0) rows += static_cast<int>(c - 1);
    }
  ResetRows(rows);
  for (int r = 1; r <= rows; ++r)
    for (int c = 0; c < 6; ++c) Grid->SetCell(c, r, QString());
  SizeValueColumn();
  int r = 1;
  for (int k = 0; setting && k < setting->Count(); ++k) {
    const TExtStringList& v = setting->Child(k)->Values();
    std::string tag = v.ReadString("Tag");
    if (tag.empty()) continue;
    auto labels = [&](int row) {
      FillLabels(row, tag, v.ReadString("Info"), v.ReadString("Mask"), v.ReadInteger("MaxLength", 0), v.ReadString("Needs"));
    };
    TTreeIniItem* list = data ? data->FindChild("Info" + std::to_string(k)) : nullptr;
    if (list) {
      long count = list->Values().ReadInteger("DataCount", 0);
      if (count < 1) {
        labels(r++);
      } else {
        for (long j = 0; j < count; ++j, ++r) {
          labels(r);
          const std::string value = list->Values().ReadString("Info " + std::to_string(j));
          Grid->SetCell(3, r, item ? ShownValue(item, value, tag + "[" + std::to_string(j + 1) + "]",
                                                count == 1 ? tag : std::string())
                                   : Q(value));
        }
      }
    } else {
      labels(r);
      if (data) {
        const std::string value = data->Values().ReadString("Info " + std::to_string(k));
        Grid->SetCell(3, r, item ? ShownValue(item, value, tag) : Q(value));
      }
      ++r;
    }
  }
  Grid->MoveTo(3, 1, false);
  FinishFill();
  QApplication::restoreOverrideCursor();
}

void TfrmInfo::resizeEvent(QResizeEvent* e) {
  TInfoPaneBase::resizeEvent(e);
  Fill(nullptr);
  Grid->RefreshVertScrollBar();
}

}  // namespace dlvr

#include "moc_info_panes.cpp"
