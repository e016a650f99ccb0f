// The embedded definition tables, and the per-delivery value tables that put
// the loaded records beside the field definitions for the panes.
#pragma once

#include <cstddef>
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
// reads them: readers go by DataCount and by record positions). The viewer
// fills a record's section when its pane shows it, not at load.
class TFieldTables {
 public:
  explicit TFieldTables(TEmbeddedTables& defs) : defs_(defs) {}

  TTreeIni Koji;   // construction information: KOJINFO\ITEM n with Data / DataCount + "Data i"
  TTreeIni Meet;   // SETTING\ITEM n definitions, Datas\Data<pos> with "Info k"
  TTreeIni Plan;
  TTreeIni Othrs;

  // Every table with every record (a section of some 1.5 KB a meeting).
  void Fill(const DeliveryStore& store);
  // The construction table, and the definitions of the record tables
  // without their records: what a load fills.
  void FillDefinitions(const DeliveryStore& store);
  // The section of one record (class 2 meetings, 3 plans, 6 other
  // documents, `pos` its place in the store's list) merged in, as the item
  // pane asks for it; the table, or null for another class. A place beyond
  // the list adds nothing.
  TTreeIni* FillRecord(int cls, std::size_t pos, const DeliveryStore& store);
  void FillKoji(const TMdlTreeNodeIndex& rec);
  void FillMeet(const std::vector<TMdlTreeNodeMeet>& records);
  void FillPlan(const std::vector<TMdlTreeNodePlan>& records);
  void FillOthrs(const std::vector<TMdlTreeNodeOthrs>& records);

 private:
  TEmbeddedTables& defs_;
};

}  // namespace dlvr
