#include "panes/info_panes.h"

#include <QApplication>
#include <QVBoxLayout>

#include "components/grid_mode.h"
#include "platform/text.h"

namespace dlvr {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }


}  // namespace

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
  Grid->SetCell(0, row, Q(tag));
  Grid->SetCell(1, row, Q(info));
  Grid->SetCell(4, row, Q(mask));
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
}

void TInfoPaneBase::FinishFill() {
  Grid->SetLeftCol(0);
  Grid->viewport()->update();
  Grid->RefreshVertScrollBar();
}

// ---------------------------------------------------------------------------

TfrmKojInfo::TfrmKojInfo(TViewerModel& model, QWidget* parent) : TInfoPaneBase(model, parent) {
  setObjectName("frmKojInfo");
}

void TfrmKojInfo::Fill() {
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
      Grid->SetCell(3, r, Q(v.ReadString("Data")));
      ++r;
    } else {
      for (long k = 0; k < count; ++k, ++r) {
        labels(r);
        Grid->SetCell(3, r, Q(v.ReadString("Data " + std::to_string(k))));
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

void TfrmInfo::Fill(TTreeItem* item) {
  cbxInfo->hide();
  if (item) current_ = item;
  TTreeIni* table = model_.SelectFieldTable(current_);
  if (!table || !current_) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  TTreeIniItem* setting = table->FindChild("SETTING");
  TTreeIniItem* datas = table->FindChild("Datas");
  TTreeIniItem* data = datas ? datas->FindChild("Data" + std::to_string(model_.View.NodeNumber(current_))) : nullptr;
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
          Grid->SetCell(3, r, Q(list->Values().ReadString("Info " + std::to_string(j))));
        }
      }
    } else {
      labels(r);
      if (data) Grid->SetCell(3, r, Q(data->Values().ReadString("Info " + std::to_string(k))));
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
