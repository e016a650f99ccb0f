#include <gtest/gtest.h>

#include <algorithm>

#include "check/field_tables.h"
#include "check/resources.h"
#include "delivery/kkt_xml_read.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

// Reads a sample delivery's management files into a store.
void ReadSample(DeliveryStore& store, const std::string& folder) {
  TKKTXMLRead reader(store);
  reader.ClearRecords(-1);
  for (const char* f : {"INDEX_C.XML", "DRAWINGS/DRAWINGS.XML", "MEET/MEET.XML", "PLAN/PLAN.XML",
                        "DRAWINGF/DRAWINGF.XML", "OTHRS/OTHRS.XML"})
    reader.ReadFile(folder + "/" + f);
}

class FieldTablesTest : public ::testing::Test {
 protected:
  TEmbeddedTables defs;
  TFieldTables tables{defs};
  DeliveryStore store;
};

TEST_F(FieldTablesTest, SampleDeliveryValuesStandBesideTheirDefinitions) {
  ReadSample(store, test::SamplePath("clean"));
  tables.Fill(store);
  TTreeIni& m = tables.Meet;
  // Definitions are kept.
  EXPECT_EQ(m.ReadString("SETTING\\ITEM 1", "Tag"), "打合せ簿種類");
  EXPECT_EQ(m.ReadString("SETTING\\ITEM 10", "Insert"), "True");
  // The meeting at list position 3 with its three reserve values.
  EXPECT_EQ(m.ReadString("Datas\\Data3", "Info 1"), store.Meetings[3].MeetKind);
  EXPECT_EQ(m.ReadInteger("Datas\\Data3\\Info13", "DataCount", -1), 3);
  EXPECT_EQ(m.ReadString("Datas\\Data3\\Info13", "Info 2"), "夜間は照明車を追加");
  EXPECT_EQ(m.ReadInteger("Datas\\Data0\\Info13", "DataCount", -1), 0);
  EXPECT_EQ(m.GetValues("Datas\\Data0").IndexOfName("Info 10"), -1);  // the Insert slot has no key
  EXPECT_EQ(m.ReadString("Datas\\Data11", "Info 0"), store.Meetings[11].SerialNo);
  EXPECT_EQ(m.ItemByPath("Datas")->Count(), static_cast<int>(store.Meetings.size()));

  EXPECT_EQ(tables.Plan.ReadString("Datas\\Data0", "Info 1"), store.Plans[0].PlanName);
  EXPECT_EQ(tables.Othrs.ReadString("Datas\\Data1", "Info 2"), store.Others[1].DocKind);
  EXPECT_EQ(tables.Othrs.ReadInteger("Datas\\Data1\\Info7", "DataCount", -1),
            static_cast<long>(store.Others[1].Reserves.size()));

  TTreeIni& k = tables.Koji;
  const TMdlTreeNodeIndex& idx = store.IndexRecords[0];
  EXPECT_EQ(k.ReadString("KOJINFO\\ITEM 3", "Tag"), "工事名称");
  EXPECT_EQ(k.ReadString("KOJINFO\\ITEM 3", "Data"), idx.KojiName);
  EXPECT_EQ(k.ReadInteger("KOJINFO\\ITEM 6", "DataCount", -1), 3);
  EXPECT_EQ(k.ReadString("KOJINFO\\ITEM 6", "Data 2"), idx.KojiTypes[2]);
  EXPECT_EQ(k.ReadString("KOJINFO\\ITEM 24", "Data"), idx.SouthLatitude);
  EXPECT_EQ(k.ReadString("KOJINFO\\ITEM 31", "Data"), idx.ContractorCode);
  EXPECT_EQ(k.ReadInteger("KOJINFO\\ITEM 32", "DataCount", -1), static_cast<long>(idx.Reserves.size()));
}

// The viewer fills only the definitions at load and a record's section when
// its pane shows it: that section reads exactly as the whole fill's, and no
// other record is put in.
TEST_F(FieldTablesTest, ARecordFilledWhenShownReadsAsTheWholeFill) {
  ReadSample(store, test::SamplePath("clean"));
  TEmbeddedTables wholeDefs;
  TFieldTables whole{wholeDefs};
  whole.Fill(store);
  tables.FillDefinitions(store);
  EXPECT_EQ(tables.Koji.Text().Lines(), whole.Koji.Text().Lines());
  struct {
    int cls;
    TTreeIni TFieldTables::*table;
    std::size_t records, pos;
  } cases[] = {{2, &TFieldTables::Meet, store.Meetings.size(), 3},
               {3, &TFieldTables::Plan, store.Plans.size(), 0},
               {6, &TFieldTables::Othrs, store.Others.size(), 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cls);
    TTreeIni& lazy = tables.*c.table;
    EXPECT_EQ(lazy.ReadString("SETTING\\ITEM 1", "Tag"), (whole.*c.table).ReadString("SETTING\\ITEM 1", "Tag"));
    EXPECT_TRUE(!lazy.ItemByPath("Datas") || lazy.ItemByPath("Datas")->Count() == 0);
    ASSERT_GT(c.records, c.pos);
    EXPECT_EQ(tables.FillRecord(c.cls, c.pos, store), &lazy);
    EXPECT_EQ(tables.FillRecord(c.cls, c.records, store), &lazy);  // beyond the list: nothing
    ASSERT_NE(lazy.ItemByPath("Datas"), nullptr);
    EXPECT_EQ(lazy.ItemByPath("Datas")->Count(), 1);
    const std::string data = "Datas\\Data" + std::to_string(c.pos);
    EXPECT_EQ(lazy.GetValues(data).Lines(), (whole.*c.table).GetValues(data).Lines());
    for (const char* list : {"\\Info13", "\\Info5", "\\Info7"})
      EXPECT_EQ(lazy.GetValues(data + list).Lines(), (whole.*c.table).GetValues(data + list).Lines());
  }
  EXPECT_EQ(tables.FillRecord(1, 0, store), nullptr);
  // A later delivery's record at the same place replaces what was shown.
  DeliveryStore next;
  next.Meetings.resize(4);
  next.Meetings[3].MeetKind = "協議";
  tables.FillDefinitions(next);
  tables.FillRecord(2, 3, next);
  EXPECT_EQ(tables.Meet.ReadString("Datas\\Data3", "Info 1"), "協議");
}

TEST_F(FieldTablesTest, EmptyListsAndClassesWithoutRecords) {
  tables.Fill(store);
  EXPECT_EQ(tables.Koji.ReadInteger("KOJINFO\\ITEM 6", "DataCount", -1), 0);
  EXPECT_EQ(tables.Koji.GetValues("KOJINFO\\ITEM 6").IndexOfName("Data 0"), -1);
  EXPECT_EQ(tables.Meet.Text().IndexOf("[Datas]"), -1);
  EXPECT_EQ(tables.Meet.ReadString("SETTING\\ITEM 0", "Tag"), "シリアル番号");
}

TEST_F(FieldTablesTest, ValuesAreStoredWholeWithTheirBlanks) {
  TMdlTreeNodeMeet m;
  m.MeetName = "  a=b=c  ";
  m.Reserves = {" r "};
  store.Meetings.push_back(m);
  store.IndexRecords[0].KojiName = "  x=y  ";
  tables.Fill(store);
  // Record tables lose trailing blanks (the line is trimmed) but keep
  // leading ones; the construction table stores values exactly.
  EXPECT_EQ(tables.Meet.ReadString("Datas\\Data0", "Info 2"), "  a=b=c");
  EXPECT_EQ(tables.Meet.ReadString("Datas\\Data0\\Info13", "Info 0"), " r");
  EXPECT_EQ(tables.Koji.ReadString("KOJINFO\\ITEM 3", "Data"), "  x=y  ");
}

TEST_F(FieldTablesTest, LaterLoadsMergeAndLeaveTheRestAsItWas) {
  for (int i = 0; i < 3; ++i) {
    TMdlTreeNodeMeet m;
    m.SerialNo = std::to_string(i + 1);
    m.Reserves = {"a", "b"};
    store.Meetings.push_back(m);
  }
  store.IndexRecords[0].KojiTypes = {"1", "2", "3"};
  tables.Fill(store);

  DeliveryStore next;
  TMdlTreeNodeMeet m;
  m.SerialNo = "9";
  m.Reserves = {"z"};
  next.Meetings.push_back(m);
  next.IndexRecords[0].KojiTypes = {"x"};
  tables.Fill(next);

  EXPECT_EQ(tables.Meet.ReadString("Datas\\Data0", "Info 0"), "9");
  EXPECT_EQ(tables.Meet.ReadInteger("Datas\\Data0\\Info13", "DataCount", -1), 1);
  EXPECT_EQ(tables.Meet.ReadString("Datas\\Data0\\Info13", "Info 1"), "b");  // leftover beyond the count
  EXPECT_EQ(tables.Meet.ReadString("Datas\\Data2", "Info 0"), "3");           // leftover record
  EXPECT_EQ(tables.Koji.ReadInteger("KOJINFO\\ITEM 6", "DataCount", -1), 1);
  EXPECT_EQ(tables.Koji.ReadString("KOJINFO\\ITEM 6", "Data 0"), "x");
  EXPECT_EQ(tables.Koji.ReadString("KOJINFO\\ITEM 6", "Data 2"), "3");
  // The definitions are not repeated by merging them again.
  EXPECT_EQ(tables.Meet.GetValues("SETTING\\ITEM 1").Count(),
            defs.ctnMeetTreeIni.Tree.GetValues("SETTING\\ITEM 1").Count());
}

TEST_F(FieldTablesTest, RegeneratedTextKeepsSectionsInOrder) {
  ReadSample(store, test::SamplePath("clean"));
  tables.Fill(store);
  const auto& lines = tables.Meet.Text().Lines();
  auto at = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) - lines.begin(); };
  EXPECT_EQ(lines.front(), "[SETTING]");
  EXPECT_LT(at(" [ITEM 13]"), at("[Datas]"));
  EXPECT_LT(at(" [Data0]"), at(" [Data1]"));
  // Re-parsing the regenerated text gives the same values.
  TTreeIni copy;
  copy.LoadFromStrings(lines);
  EXPECT_EQ(copy.ReadString("Datas\\Data3\\Info13", "Info 0"), "口頭指示 2023-05-17");
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

// Every embedded text survives being parsed and written back: tables come
// back with the same sections, keys and order; plain texts unchanged.
TEST(EmbeddedTables, RoundTripThroughTheTreeIniText) {
  TEmbeddedTables defs;
  for (std::string_view name : EmbeddedNames()) {
    TComTin* c = defs.ByName(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->Section(), TextToLines(EmbeddedText(name))) << name;
    TTreeIni again;
    again.LoadFromStrings(c->Section());
    EXPECT_EQ(again.Text().Lines(), c->Section()) << name;
  }
  EXPECT_EQ(defs.ctnMeetTreeIni.Tree.ReadString("SETTING\\ITEM 11", "Tag"), "請負者説明文");
  EXPECT_EQ(defs.ctnMeetTreeIni.Tree.ReadInteger("SETTING\\ITEM 10", "MaxLength", 0), 0);
  EXPECT_EQ(defs.ctnKojiTreeIni.Tree.ReadInteger("KOJINFO\\ITEM 1", "MaxLength", 0), 127);
  EXPECT_EQ(defs.ctnDrawName.Section().size(), 59u);
}

}  // namespace
}  // namespace dlvr
