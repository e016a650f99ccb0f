// The tree model with the embedded tables and the per-delivery field tables
// wired in: what the viewer and the headless tool load deliveries with.
#pragma once

#include "check/field_tables.h"
#include "model/tree_view.h"

namespace dlvr {

class TViewerModel {
 public:
  explicit TViewerModel(DeliveryStore& store = DeliveryStore::Global());
  TViewerModel(const TViewerModel&) = delete;
  TViewerModel& operator=(const TViewerModel&) = delete;

  TEmbeddedTables Defs;
  TFieldTables Tables{Defs};
  TMdlTreeView View;

  // The value table the item pane shows for an item (meeting, plan or
  // other-document table), the item's record put into it first; or null.
  TTreeIni* SelectFieldTable(const TTreeItem* item);
};

}  // namespace dlvr
