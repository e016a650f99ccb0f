#include "check/field_tables.h"

#include <string>
#include <utility>
#include <vector>

#include "check/resources.h"

namespace dlvr {

TEmbeddedTables::TEmbeddedTables() {
  for (std::string_view name : EmbeddedNames())
    if (TComTin* c = ByName(name)) c->SetSection(EmbeddedText(name));
}

TComTin* TEmbeddedTables::ByName(std::string_view name) {
  std::pair<const char*, TComTin*> all[] = {
      {"ctnKojiTreeIni", &ctnKojiTreeIni}, {"ctnMeetTreeIni", &ctnMeetTreeIni}, {"ctnPlanTreeIni", &ctnPlanTreeIni},
      {"ctnOthrsTreeIni", &ctnOthrsTreeIni}, {"ctnDrawKind", &ctnDrawKind},       {"ctnDrawName", &ctnDrawName},
      {"ctnDrawing", &ctnDrawing},           {"ctnMeet", &ctnMeet},               {"ctnPlan", &ctnPlan},
      {"ctnPhoto", &ctnPhoto},               {"ctnOthrs", &ctnOthrs},             {"ctnIndex", &ctnIndex},
      {"ctnReport", &ctnReport}};
  for (auto& [n, c] : all)
    if (name == n) return c;
  return nullptr;
}

namespace {

// The construction fields in table order: a text field or a list field.
struct KojiField {
  std::string TMdlTreeNodeIndex::*Text;
  TStringList TMdlTreeNodeIndex::*List;
};

const KojiField kKojiFields[] = {
    {&TMdlTreeNodeIndex::OrderYear, nullptr},     {&TMdlTreeNodeIndex::KojiNo, nullptr},
    {&TMdlTreeNodeIndex::RouteName, nullptr},     {&TMdlTreeNodeIndex::KojiName, nullptr},
    {&TMdlTreeNodeIndex::KojiField, nullptr},     {&TMdlTreeNodeIndex::KojiIndustry, nullptr},
    {nullptr, &TMdlTreeNodeIndex::KojiTypes},     {nullptr, &TMdlTreeNodeIndex::MethodTypes},
    {nullptr, &TMdlTreeNodeIndex::AddressCodes},  {nullptr, &TMdlTreeNodeIndex::Addresses},
    {&TMdlTreeNodeIndex::StartDate, nullptr},     {&TMdlTreeNodeIndex::EndDate, nullptr},
    {&TMdlTreeNodeIndex::KojiContent, nullptr},   {&TMdlTreeNodeIndex::StartStationN, nullptr},
    {&TMdlTreeNodeIndex::StartStationM, nullptr}, {&TMdlTreeNodeIndex::EndStationN, nullptr},
    {&TMdlTreeNodeIndex::EndStationM, nullptr},   {&TMdlTreeNodeIndex::StartDistN, nullptr},
    {&TMdlTreeNodeIndex::StartDistM, nullptr},    {&TMdlTreeNodeIndex::EndDistN, nullptr},
    {&TMdlTreeNodeIndex::EndDistM, nullptr},      {&TMdlTreeNodeIndex::WestLongitude, nullptr},
    {&TMdlTreeNodeIndex::EastLongitude, nullptr}, {&TMdlTreeNodeIndex::NorthLatitude, nullptr},
    {&TMdlTreeNodeIndex::SouthLatitude, nullptr}, {&TMdlTreeNodeIndex::FacilityName, nullptr},
    {&TMdlTreeNodeIndex::OrdererClass1, nullptr}, {&TMdlTreeNodeIndex::OrdererClass2, nullptr},
    {&TMdlTreeNodeIndex::OrdererClass3, nullptr}, {&TMdlTreeNodeIndex::OrdererCode, nullptr},
    {&TMdlTreeNodeIndex::ContractorName, nullptr}, {&TMdlTreeNodeIndex::ContractorCode, nullptr},
    {nullptr, &TMdlTreeNodeIndex::Reserves},
};

// A record's single fields by their field number, and its one list field.
template <class R>
struct RecordLayout {
  std::vector<std::pair<int, std::string R::*>> Singles;
  int ListField;
};

const RecordLayout<TMdlTreeNodeMeet>& MeetLayout() {
  using R = TMdlTreeNodeMeet;
  static const RecordLayout<R> layout{{{0, &R::SerialNo},
                                       {1, &R::MeetKind},
                                       {2, &R::MeetName},
                                       {3, &R::ManageClass},
                                       {4, &R::MeetNo},
                                       {5, &R::MeetAuthor},
                                       {6, &R::SubmitTo},
                                       {7, &R::IssueDate},
                                       {8, &R::AcceptDate},
                                       {9, &R::FinishDate},
                                       {11, &R::ContractorNote},
                                       {12, &R::OrdererNote}},
                                      kMeetReserveField};
  return layout;
}

const RecordLayout<TMdlTreeNodePlan>& PlanLayout() {
  using R = TMdlTreeNodePlan;
  static const RecordLayout<R> layout{
      {{0, &R::SerialNo}, {1, &R::PlanName}, {3, &R::ContractorNote}, {4, &R::OrdererNote}}, kPlanReserveField};
  return layout;
}

const RecordLayout<TMdlTreeNodeOthrs>& OthrsLayout() {
  using R = TMdlTreeNodeOthrs;
  static const RecordLayout<R> layout{{{0, &R::SerialNo},
                                       {1, &R::DocName},
                                       {2, &R::DocKind},
                                       {3, &R::StorePlace},
                                       {5, &R::ContractorNote},
                                       {6, &R::OrdererNote}},
                                      kOthrsReserveField};
  return layout;
}

// The lines of one record's section, under the [Datas] header.
template <class R>
void RecordLines(std::vector<std::string>& lines, std::size_t pos, const R& rec, const RecordLayout<R>& layout) {
  lines.clear();
  lines.emplace_back("[Datas]");
  lines.push_back(" [Data" + std::to_string(pos) + "]");
  for (const auto& [k, member] : layout.Singles) lines.push_back(" Info " + std::to_string(k) + "=" + rec.*member);
  lines.push_back("  [Info" + std::to_string(layout.ListField) + "]");
  lines.push_back("  DataCount=" + std::to_string(rec.Reserves.size()));
  for (std::size_t j = 0; j < rec.Reserves.size(); ++j)
    lines.push_back("  Info " + std::to_string(j) + "=" + rec.Reserves[j]);
}

// The definitions, and the records when given.
template <class R>
void FillRecordTable(TTreeIni& tree, TComTin& def, const std::vector<R>* records, const RecordLayout<R>& layout) {
  TExtStringList& text = tree.Values();
  text.BeginUpdate();
  text.Clear();
  tree.MergeStrings(def.Section());
  // A record at a time, each under the [Datas] header again: the lines of
  // all of them at once would be as large as the table itself.
  std::vector<std::string> lines;
  lines.reserve(layout.Singles.size() + 8);
  if (records)
    for (std::size_t pos = 0; pos < records->size(); ++pos) {
      RecordLines(lines, pos, (*records)[pos], layout);
      tree.MergeStrings(lines);
    }
  text.EndUpdate();
}

template <class R>
void FillOneRecord(TTreeIni& tree, const std::vector<R>& records, std::size_t pos, const RecordLayout<R>& layout) {
  if (pos >= records.size()) return;
  std::vector<std::string> lines;
  RecordLines(lines, pos, records[pos], layout);
  TExtStringList& text = tree.Values();
  text.BeginUpdate();
  tree.MergeStrings(lines);
  text.EndUpdate();
}

}  // namespace

void TFieldTables::FillKoji(const TMdlTreeNodeIndex& rec) {
  TExtStringList& text = Koji.Values();
  text.BeginUpdate();
  text.Clear();
  Koji.MergeStrings(defs_.ctnKojiTreeIni.Section());
  text.EndUpdate();
  for (std::size_t n = 0; n < std::size(kKojiFields); ++n) {
    const std::string path = "KOJINFO\\ITEM " + std::to_string(n) + "\\";
    const KojiField& f = kKojiFields[n];
    if (f.Text) {
      Koji.WriteString(path, "Data", rec.*f.Text);
      continue;
    }
    const TStringList& list = rec.*f.List;
    Koji.WriteInteger(path, "DataCount", static_cast<long>(list.size()));
    for (std::size_t i = 0; i < list.size(); ++i) Koji.WriteString(path, "Data " + std::to_string(i), list[i]);
  }
}

void TFieldTables::FillMeet(const std::vector<TMdlTreeNodeMeet>& records) {
  FillRecordTable(Meet, defs_.ctnMeetTreeIni, &records, MeetLayout());
}

void TFieldTables::FillPlan(const std::vector<TMdlTreeNodePlan>& records) {
  FillRecordTable(Plan, defs_.ctnPlanTreeIni, &records, PlanLayout());
}

void TFieldTables::FillOthrs(const std::vector<TMdlTreeNodeOthrs>& records) {
  FillRecordTable(Othrs, defs_.ctnOthrsTreeIni, &records, OthrsLayout());
}

void TFieldTables::Fill(const DeliveryStore& store) {
  FillKoji(store.IndexRecords[fkIndex]);
  FillMeet(store.Meetings);
  FillPlan(store.Plans);
  FillOthrs(store.Others);
}

void TFieldTables::FillDefinitions(const DeliveryStore& store) {
  FillKoji(store.IndexRecords[fkIndex]);
  FillRecordTable<TMdlTreeNodeMeet>(Meet, defs_.ctnMeetTreeIni, nullptr, MeetLayout());
  FillRecordTable<TMdlTreeNodePlan>(Plan, defs_.ctnPlanTreeIni, nullptr, PlanLayout());
  FillRecordTable<TMdlTreeNodeOthrs>(Othrs, defs_.ctnOthrsTreeIni, nullptr, OthrsLayout());
}

TTreeIni* TFieldTables::FillRecord(int cls, std::size_t pos, const DeliveryStore& store) {
  switch (cls) {
    case 2: FillOneRecord(Meet, store.Meetings, pos, MeetLayout()); return &Meet;
    case 3: FillOneRecord(Plan, store.Plans, pos, PlanLayout()); return &Plan;
    case 6: FillOneRecord(Othrs, store.Others, pos, OthrsLayout()); return &Othrs;
  }
  return nullptr;
}

}  // namespace dlvr
