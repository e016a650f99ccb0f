#include "check/viewer_model.h"

namespace dlvr {

TViewerModel::TViewerModel(DeliveryStore& store) : View(store) {
  View.Services.FillFieldTables = [this](const DeliveryStore& s) { Tables.Fill(s); };
  View.Services.StylesheetText = [this](int cls) -> std::string {
    TComTin* c = nullptr;
    switch (cls) {
      case 1:
      case 4: c = &Defs.ctnDrawing; break;
      case 2: c = &Defs.ctnMeet; break;
      case 3: c = &Defs.ctnPlan; break;
      case 5: c = &Defs.ctnPhoto; break;
      case 6: c = &Defs.ctnOthrs; break;
      default: return std::string();
    }
    return c->Tree.Text().JoinedText("\n");
  };
  View.DrawKindLines = Defs.ctnDrawKind.Section();
  View.DrawNameLines = Defs.ctnDrawName.Section();
}

TTreeIni* TViewerModel::SelectFieldTable(const TTreeItem* item) {
  switch (View.SelectFieldTable(item)) {
    case 2: return &Tables.Meet;
    case 3: return &Tables.Plan;
    case 6: return &Tables.Othrs;
    default: return nullptr;
  }
}

}  // namespace dlvr
