// The embedded definition tables, and the per-delivery value tables that put
// the loaded records beside the field definitions for the panes.
#pragma once

#include <memory>
#include <string_view>

#include "check/tree_ini.h"
#include "delivery/store.h"

namespace dlvr {

// The thirteen embedded texts, each parsed once into its component.
struct TEmbeddedTables {
  TEmbeddedTables();

  TComTin ctnKojiTreeIni, ctnMeetTreeIni, ctnPlanTreeIni, ctnOthrsTreeIni;
  TComTin ctnDrawKind, ctnDrawName;
  TComTin ctnDrawing, ctnMeet, ctnPlan, ctnPhoto, ctnOthrs, ctnIndex, ctnReport;

  // The component of that name, or null.
  TComTin* ByName(std::string_view name);
};

// Field numbers of the record tables' list fields.
inline constexpr int kMeetReserveField = 13;
inline constexpr int kPlanReserveField = 5;
inline constexpr int kOthrsReserveField = 7;

// The four value tables of a delivery. They are never emptied: each fill
// merges into what an earlier delivery left, so list entries beyond the new
// DataCount and record sections beyond the new record count stay (nothing
// reads them: readers go by DataCount and by record positions).
class TFieldTables {
 public:
  explicit TFieldTables(TEmbeddedTables& defs) : defs_(defs) {}

  TTreeIni Koji;   // construction information: KOJINFO\ITEM n with Data / DataCount + "Data i"
  TTreeIni Meet;   // SETTING\ITEM n definitions, Datas\Data<pos> with "Info k"
  TTreeIni Plan;
  TTreeIni Othrs;

  void Fill(const DeliveryStore& store);
  void FillKoji(const TMdlTreeNodeIndex& rec);
  void FillMeet(const std::vector<TMdlTreeNodeMeet>& records);
  void FillPlan(const std::vector<TMdlTreeNodePlan>& records);
  void FillOthrs(const std::vector<TMdlTreeNodeOthrs>& records);

 private:
  TEmbeddedTables& defs_;
};

}  // namespace dlvr
