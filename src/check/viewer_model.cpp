#include "check/viewer_model.h"

namespace dlvr {

TViewerModel::TViewerModel(DeliveryStore& store) : View(store) {
  // A record's values are put into its table when the pane asks for them:
  // the tables of every record at once would be some 1.5 KB a meeting.
  View.Services.FillFieldTables = [this](const DeliveryStore& s) { Tables.FillDefinitions(s); };
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
  const int cls = View.SelectFieldTable(item);
  if (cls == 0) return nullptr;
  const int pos = View.NodeNumber(item);
  return Tables.FillRecord(cls, pos < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(pos), View.Store());
}

}  // namespace dlvr
