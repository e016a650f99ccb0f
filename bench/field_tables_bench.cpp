// Filling the four value tables from a large delivery's records, and
// reading the meeting table back the way an information pane does.
//
//   field_tables_bench [--meetings N] [--plans N] [--others N] [--runs N]
//
// The records are built in memory (no files): by default 20,000 meetings
// with two original files and two 予備 values each, 5,000 construction
// plans and 5,000 other documents, all with Japanese text of realistic
// length. Cases, each run once untimed and then N times (default 7):
//
//   fill (fresh tables)   TFieldTables::Fill into new tables
//   fill (merge)          a second Fill into tables that an earlier delivery
//                         of the same size filled (they are never emptied)
//   read back (meetings)  every value of the meeting table through
//                         TTreeIni::ReadString / ReadInteger on Datas\Data<n>
//
// Every run's values are checked against the records. Target: Fill takes
// under 0.5 s (median, both fill cases). Exit status 0 when met, 3 when
// not, 1 when a value read back is wrong.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_data.h"
#include "check/field_tables.h"
#include "delivery/store.h"

namespace {

using namespace dlvr;
using namespace dlvr::bench;

constexpr double kTargetSeconds = 0.5;

struct Sizes {
  int Meetings = 20000;
  int Plans = 5000;
  int Others = 5000;
};

// A delivery's records; `seed` makes two deliveries of the same size differ.
void BuildStore(DeliveryStore& store, const Sizes& n, std::uint64_t seed) {
  store.ClearRecords(-1);
  Rng rng(seed);
  store.IndexRecords[fkIndex] = MakeIndexRecord();
  store.IndexRecords[fkIndex].KojiName += "（" + std::to_string(seed) + "）";
  store.Meetings.reserve(static_cast<std::size_t>(n.Meetings));
  for (int i = 1; i <= n.Meetings; ++i) store.Meetings.push_back(MakeMeeting(rng, i, 2, 2, 127));
  for (int i = 1; i <= n.Plans; ++i) store.Plans.push_back(MakePlan(rng, i, 1, 2));
  for (int i = 1; i <= n.Others; ++i) store.Others.push_back(MakeOther(rng, i, 1, 2));
}

// The meeting table's single fields: field number and record member.
struct MeetField {
  int Number;
  std::string TMdlTreeNodeMeet::*Member;
};
const MeetField kMeetFields[] = {
    {0, &TMdlTreeNodeMeet::SerialNo},    {1, &TMdlTreeNodeMeet::MeetKind},       {2, &TMdlTreeNodeMeet::MeetName},
    {3, &TMdlTreeNodeMeet::ManageClass}, {4, &TMdlTreeNodeMeet::MeetNo},         {5, &TMdlTreeNodeMeet::MeetAuthor},
    {6, &TMdlTreeNodeMeet::SubmitTo},    {7, &TMdlTreeNodeMeet::IssueDate},      {8, &TMdlTreeNodeMeet::AcceptDate},
    {9, &TMdlTreeNodeMeet::FinishDate},  {11, &TMdlTreeNodeMeet::ContractorNote}, {12, &TMdlTreeNodeMeet::OrdererNote},
};

const std::vector<std::string>& InfoKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k;
    for (int i = 0; i < 20; ++i) k.push_back("Info " + std::to_string(i));
    return k;
  }();
  return keys;
}

struct ReadBack {
  std::size_t values = 0;
  std::size_t wrong = 0;
  std::string firstWrong;
};

// Reads every value of the meeting table as a pane does and compares it
// with the records.
ReadBack ReadMeetTable(TTreeIni& table, const std::vector<TMdlTreeNodeMeet>& meetings) {
  ReadBack r;
  const auto& keys = InfoKeys();
  auto note = [&](const std::string& path, const std::string& key, const std::string& got, const std::string& want) {
    ++r.values;
    if (got == want) return;
    if (r.wrong++ == 0) r.firstWrong = path + " " + key + ": \"" + got + "\", expected \"" + want + "\"";
  };
  for (std::size_t n = 0; n < meetings.size(); ++n) {
    const TMdlTreeNodeMeet& m = meetings[n];
    const std::string path = "Datas\\Data" + std::to_string(n);
    for (const MeetField& f : kMeetFields) {
      const std::string& key = keys[static_cast<std::size_t>(f.Number)];
      note(path, key, table.ReadString(path, key), m.*f.Member);
    }
    const std::string list = path + "\\Info" + std::to_string(kMeetReserveField);
    long count = table.ReadInteger(list, "DataCount", -1);
    note(list, "DataCount", std::to_string(count), std::to_string(m.Reserves.size()));
    for (std::size_t j = 0; j < m.Reserves.size() && j < keys.size(); ++j)
      note(list, keys[j], table.ReadString(list, keys[j]), m.Reserves[j]);
  }
  return r;
}

// Spot checks of the other three tables.
std::string CheckOtherTables(TFieldTables& t, const DeliveryStore& s) {
  if (t.Koji.ReadString("KOJINFO\\ITEM 3", "Data") != s.IndexRecords[fkIndex].KojiName) return "Koji ITEM 3";
  if (!s.Plans.empty()) {
    std::size_t last = s.Plans.size() - 1;
    std::string p = "Datas\\Data" + std::to_string(last);
    if (t.Plan.ReadString(p, "Info 1") != s.Plans[last].PlanName) return "Plan " + p;
    if (t.Plan.ReadString(p + "\\Info5", "Info 1") != s.Plans[last].Reserves[1]) return "Plan " + p + "\\Info5";
  }
  if (!s.Others.empty()) {
    std::size_t last = s.Others.size() - 1;
    std::string p = "Datas\\Data" + std::to_string(last);
    if (t.Othrs.ReadString(p, "Info 3") != s.Others[last].StorePlace) return "Othrs " + p;
    if (t.Othrs.ReadString(p + "\\Info7", "Info 0") != s.Others[last].Reserves[0]) return "Othrs " + p + "\\Info7";
  }
  return std::string();
}

void PrintRow(const char* what, const Stats& s, const char* extra = "") {
  std::printf("%-28s %9.3f s %9.3f s  %s\n", what, s.best, s.median, extra);
}

int Usage() {
  std::fprintf(stderr, "usage: field_tables_bench [--meetings N] [--plans N] [--others N] [--runs N]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Sizes sizes;
  int runs = 7;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](int& v) {
      if (i + 1 >= argc) return false;
      v = std::atoi(argv[++i]);
      return true;
    };
    bool ok = (a == "--meetings" && next(sizes.Meetings)) || (a == "--plans" && next(sizes.Plans)) ||
              (a == "--others" && next(sizes.Others)) || (a == "--runs" && next(runs));
    if (!ok) return Usage();
  }
  if (runs < 1 || sizes.Meetings < 1 || sizes.Plans < 0 || sizes.Others < 0) return Usage();

  std::printf("building records: %d meetings (2 originals, 2 予備 each), %d plans, %d other documents ...\n",
              sizes.Meetings, sizes.Plans, sizes.Others);
  std::fflush(stdout);
  auto earlier = std::make_unique<DeliveryStore>();
  auto store = std::make_unique<DeliveryStore>();
  BuildStore(*earlier, sizes, 7);
  BuildStore(*store, sizes, 20240401);

  auto t0 = Clock::now();
  TEmbeddedTables defs;
  const double defsSeconds = Seconds(Clock::now() - t0);

  int exitCode = 0;
  auto verify = [&](TFieldTables& tables, const char* when) {
    if (exitCode == 1) return;
    ReadBack r = ReadMeetTable(tables.Meet, store->Meetings);
    std::string other = CheckOtherTables(tables, *store);
    if (r.wrong > 0 || !other.empty()) {
      std::fprintf(stderr, "%s: %zu of %zu meeting values wrong%s%s%s%s\n", when, r.wrong, r.values,
                   r.wrong ? "; first: " : "", r.firstWrong.c_str(), other.empty() ? "" : "; wrong value in ",
                   other.c_str());
      exitCode = 1;
    }
  };

  // Fresh tables: one warm-up, then the timed runs. The tables' teardown
  // is timed on its own.
  std::vector<double> fresh, teardown;
  for (int i = 0; i <= runs; ++i) {
    auto tables = std::make_unique<TFieldTables>(defs);
    auto a = Clock::now();
    tables->Fill(*store);
    auto b = Clock::now();
    if (i == 0) verify(*tables, "fill (fresh tables)");
    tables.reset();
    auto c = Clock::now();
    if (i == 0) continue;
    fresh.push_back(Seconds(b - a));
    teardown.push_back(Seconds(c - b));
  }

  // Merge: the tables hold an earlier delivery of the same size.
  std::vector<double> merge;
  for (int i = 0; i <= runs; ++i) {
    auto tables = std::make_unique<TFieldTables>(defs);
    tables->Fill(*earlier);
    auto a = Clock::now();
    tables->Fill(*store);
    auto b = Clock::now();
    if (i == 0) verify(*tables, "fill (merge)");
    if (i > 0) merge.push_back(Seconds(b - a));
  }

  // The parts of a fresh fill.
  std::vector<double> koji, meet, plan, othrs;
  for (int i = 0; i < runs; ++i) {
    TFieldTables tables(defs);
    auto a = Clock::now();
    tables.FillKoji(store->IndexRecords[fkIndex]);
    auto b = Clock::now();
    tables.FillMeet(store->Meetings);
    auto c = Clock::now();
    tables.FillPlan(store->Plans);
    auto d = Clock::now();
    tables.FillOthrs(store->Others);
    auto e = Clock::now();
    koji.push_back(Seconds(b - a));
    meet.push_back(Seconds(c - b));
    plan.push_back(Seconds(d - c));
    othrs.push_back(Seconds(e - d));
  }

  // Reading the meeting table back, on filled tables.
  std::vector<double> reads;
  std::size_t valuesRead = 0;
  {
    TFieldTables tables(defs);
    tables.Fill(*store);
    for (int i = 0; i <= runs && exitCode != 1; ++i) {
      auto a = Clock::now();
      ReadBack r = ReadMeetTable(tables.Meet, store->Meetings);
      auto b = Clock::now();
      if (r.wrong > 0) {
        std::fprintf(stderr, "read back: %zu of %zu values wrong; first: %s\n", r.wrong, r.values,
                     r.firstWrong.c_str());
        exitCode = 1;
      }
      valuesRead = r.values;
      if (i > 0) reads.push_back(Seconds(b - a));
    }
  }
  if (exitCode == 1) return 1;

  std::printf("\nembedded tables parsed once in %.3f s\n", defsSeconds);
  std::printf("%d timed runs each (after one warm-up run)\n\n", runs);
  std::printf("%-28s %11s %11s\n", "", "best", "median");
  Stats f = Summarise(fresh), m = Summarise(merge), r = Summarise(reads);
  PrintRow("fill (fresh tables)", f);
  PrintRow("fill (merge)", m);
  PrintRow("  FillKoji", Summarise(koji));
  PrintRow("  FillMeet", Summarise(meet));
  PrintRow("  FillPlan", Summarise(plan));
  PrintRow("  FillOthrs", Summarise(othrs));
  PrintRow("teardown of filled tables", Summarise(teardown));
  char extra[96];
  std::snprintf(extra, sizeof extra, "%zu values, %.0f values/s (median)", valuesRead,
                static_cast<double>(valuesRead) / r.median);
  PrintRow("read back (meetings)", r, extra);

  bool met = f.median < kTargetSeconds && m.median < kTargetSeconds;
  std::printf("\ntarget (Fill median under %.1f s, fresh and merge): %s\n", kTargetSeconds, met ? "met" : "NOT met");
  return met ? 0 : 3;
}
