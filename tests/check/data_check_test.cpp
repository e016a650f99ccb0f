#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "check/data_check.h"
#include "check/field_tables.h"
#include "model/tree_view.h"
#include "platform/drive.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

using E = TCheckError;
using C = TCharClass;
using K = TLengthKind;

std::string Rep(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

// A store in which every needed field keeps its rule.
DeliveryStore CleanStore() {
  DeliveryStore s;
  TMdlTreeNodeIndex& r = s.IndexRecords[fkIndex];
  r.MediaNo = r.MediaCount = "1";
  r.OrderDrawFolder = "DRAWINGS", r.SpecOrgFolder = "DRAWINGS/SPEC", r.MeetFolder = "MEET";
  r.MeetOrgFolder = "MEET/ORG", r.PlanFolder = "PLAN", r.PlanOrgFolder = "PLAN/ORG", r.DrawFolder = "DRAWINGF";
  r.PhotoFolder = "PHOTO", r.OthrsFolder = "OTHRS", r.OthrsOrgFolder = "OTHRS/ORG";
  r.OrderYear = "2023", r.KojiNo = "20230045", r.KojiName = "県道見本線道路改良工事（その2）";
  r.KojiField = "道路", r.KojiIndustry = "道路改良", r.KojiTypes = {"道路土工"}, r.MethodTypes = {"掘削工"};
  r.AddressCodes = {"12345"}, r.Addresses = {"見本県見本市"}, r.StartDate = "2023-04-01", r.EndDate = "2024-03-15";
  r.KojiContent = "道路改良", r.OrdererClass1 = "見本県", r.OrdererClass2 = "県土整備部";
  r.OrdererClass3 = "中央土木事務所", r.OrdererCode = "12345678", r.ContractorName = "見本建設株式会社";

  TMdlTreeNodeDraw d;
  d.DrawName = "平面図", d.DrawFile = "D0PL001Z.P21", d.DrawAuthor = "見本建設", d.DrawSoft = "CAD 1.0";
  d.DrawScale = "1:500", d.DrawNo = "1";
  s.OrderDrawings = {d};
  d.DrawFile = "C0PL001Z.P21";
  s.FinalDrawings = {d};

  TMdlTreeNodeMeet m;
  m.SerialNo = "1", m.MeetKind = "協議", m.MeetName = "材料承認", m.MeetAuthor = "現場代理人", m.SubmitTo = "発注者";
  m.IssueDate = "2023-05-01", m.AcceptDate = "2023-05-02", m.Orgs = {{"0001_01.PDF", "PDF作成 1.0", "協議書"}};
  s.Meetings = {m};
  TMdlTreeNodePlan p;
  p.SerialNo = "1", p.PlanName = "施工計画書", p.Orgs = {{"P001_01.PDF", "ワープロ 2.0", "本文"}};
  s.Plans = {p};
  TMdlTreeNodeOthrs o;
  o.SerialNo = "1", o.DocName = "工事履行報告書（4月分）", o.DocKind = "工事履行報告書";
  o.Orgs = {{"O001_01.PDF", "PDF作成 1.0", "報告"}};
  s.Others = {o};
  return s;
}

TCheckErrorList Check(const DeliveryStore& s) {
  TCheckErrorList errors;
  RunDataCheck(s, errors);
  return errors;
}

TCheckErrorRow Row(const char* section, const std::string& cls, const std::string& file, const char* item, E e) {
  return {section, cls, file, item, CheckErrorWord(e)};
}

// ---------------------------------------------------------------------------
// Single rules

TEST(DataCheckRules, LengthsAreShiftJisBytesAndComeBeforeTheClass) {
  struct Case { std::string v; C cls; K kind; int l; E want; } cases[] = {
      // W 127: 127 full-width characters (254 bytes, 381 in UTF-8) pass, 128 do not.
      {Rep("あ", 127), C::Text, K::Wide, 127, E::None}, {Rep("あ", 128), C::Text, K::Wide, 127, E::BadLength},
      {Rep("a", 254), C::Text, K::Wide, 127, E::None}, {Rep("a", 255), C::Text, K::Wide, 127, E::BadLength},
      // Half-width katakana: three bytes in UTF-8, one in Shift-JIS.
      {"ｱｲｳ", C::Ascii, K::Exact, 3, E::BadChars}, {"ｱｲｳｴ", C::Ascii, K::Exact, 3, E::BadLength},
      {Rep("1", 127), C::Number, K::Bytes, 127, E::None}, {Rep("1", 128), C::Number, K::Bytes, 127, E::BadLength},
      {"2001", C::Number, K::Exact, 4, E::None}, {"01", C::Number, K::Exact, 4, E::BadLength},
      {"20011", C::Number, K::Exact, 4, E::BadLength}, {"２００１", C::Number, K::Exact, 4, E::BadLength},
      {"２０", C::Number, K::Exact, 4, E::BadChars},
      // Empty: missing only when needed, never tested further.
      {"", C::Digits, K::Exact, 4, E::Missing},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckField(c.v, c.cls, c.kind, c.l, true), c.want) << c.v;
  EXPECT_EQ(CheckField("", C::Digits, K::Exact, 4, false), E::None);
}

TEST(DataCheckRules, CharacterClasses) {
  auto t = [](const std::string& v) { return CheckField(v, C::Text, K::Wide, 64, true); };
  EXPECT_EQ(t("ABC abc 123 ~!"), E::None);
  EXPECT_EQ(t("＋－×÷ぁ"), E::None);  // ぁ 0x829F follows the refused ｚ 0x829A
  for (const char* bad : {"０", "９", "Ａ", "Ｚ", "ａ", "ｚ", "工事ｺｳｼﾞ", "工事\t名称", "工事\n", "\x7f"})
    EXPECT_EQ(t(bad), E::BadChars) << bad;

  auto cls = [](const std::string& v, C c) { return CheckField(v, c, K::Bytes, 15, true) == E::None; };
  EXPECT_TRUE(cls("12.5", C::Number));
  EXPECT_FALSE(cls("12.5", C::Digits));
  EXPECT_TRUE(cls("125", C::Digits));
  for (const char* bad : {"-1", "1,5", "1 5", "６"}) EXPECT_FALSE(cls(bad, C::Number)) << bad;
  EXPECT_TRUE(cls("0001_01.PDF", C::Upper));
  for (const char* bad : {"abc.pdf", "ABC.pDF", "Ａ.PDF"}) EXPECT_FALSE(cls(bad, C::Upper)) << bad;
  EXPECT_TRUE(cls("Ver 2.0 (c) ~", C::Ascii));
  for (const char* bad : {"Ｖｅｒ．２", "ｻﾝﾌﾟﾙ", "1\t2"}) EXPECT_FALSE(cls(bad, C::Ascii)) << bad;

  // U+FFFD (from an invalid byte sequence, or invalid UTF-8 itself) and
  // characters without a CP932 code are outside every class; each counts
  // one byte, like the '?' it is written as.
  for (const std::string bad : {"\xEF\xBF\xBD", "\xFF", "\xC3\xA9"}) {
    for (C c : {C::Text, C::Number, C::Digits, C::Upper, C::Ascii}) EXPECT_FALSE(cls("1" + bad, c));
    EXPECT_EQ(CheckField("12" + bad, C::Text, K::Exact, 4, true), E::BadLength);
    EXPECT_EQ(CheckField("123" + bad, C::Text, K::Exact, 4, true), E::BadChars);
  }
}

TEST(DataCheckRules, DatesWordsAndFolders) {
  for (const char* ok : {"2000-02-29", "2004-02-29", "2001-12-31", "0001-01-01", "9999-12-31"})
    EXPECT_EQ(CheckDate(ok, true), E::None) << ok;
  for (const char* bad : {"2001-02-29", "1900-02-29", "2023-04-31", "2023-13-01", "2023-00-10", "2023-01-00",
                          "0000-01-01", "2001/02/28", "2001-2-28", "2001-1-011", "2001-02-280", "20010228",
                          "2001-0a-28", "+001-02-28", "２００１-02-28", "2001－02－28",
                          "2001-02-1:", "200:-01-01"})  // ':' would count as a digit worth 10
    EXPECT_EQ(CheckDate(bad, true), E::BadDate) << bad;
  // Each month's last day is valid and the day after it is not.
  const int lastDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) {
    char last[32], after[32];
    std::snprintf(last, sizeof last, "2023-%02d-%02d", m, lastDays[m - 1]);
    std::snprintf(after, sizeof after, "2023-%02d-%02d", m, lastDays[m - 1] + 1);
    EXPECT_EQ(CheckDate(last, true), E::None) << last;
    EXPECT_EQ(CheckDate(after, true), E::BadDate) << after;
  }
  EXPECT_EQ(CheckDate("", true), E::Missing);
  EXPECT_EQ(CheckDate("", false), E::None);

  EXPECT_EQ(CheckWords("請負者", SubmitToWords(), true), E::None);
  EXPECT_EQ(CheckWords("発注者様", SubmitToWords(), true), E::NotListed);
  EXPECT_EQ(CheckWords("", SubmitToWords(), true), E::Missing);
  EXPECT_EQ(CheckWords("段階確認", OthrsKindWords(), true), E::NotListed);

  EXPECT_EQ(CheckFolder("MEET", "MEET"), E::None);
  EXPECT_EQ(CheckFolder("meet", "MEET"), E::BadFolder);
  EXPECT_EQ(CheckFolder("MEET\\ORG", "MEET/ORG"), E::BadFolder);
  EXPECT_EQ(CheckFolder("", "MEET"), E::Missing);
}

// ---------------------------------------------------------------------------
// The walk over a store

TEST(DataCheckWalk, CleanStoreGivesNothingAndEachCheckStartsAfresh) {
  DeliveryStore s = CleanStore();
  TMdlTreeView view(s);
  view.ErrorList = {Row("x", "", "", "y", E::Missing)};
  RunDataCheck(view);
  EXPECT_TRUE(view.ErrorList.empty());
}

TEST(DataCheckWalk, ConstructionRecordWithListFields) {
  DeliveryStore s = CleanStore();
  TMdlTreeNodeIndex& r = s.IndexRecords[fkIndex];
  r.MeetFolder = "meet", r.PhotoFolder = "", r.SoftVersion = "Ｖｅｒ．２", r.KojiName = Rep("あ", 128);
  r.AddressCodes.clear();  // one row for the empty list
  r.Addresses = {"見本県", "", "ｻﾝﾌﾟﾙ市"};  // one row per bad value
  r.StartDate = "2001-02-29", r.OrdererCode = "1234567";
  const char* S = "工事管理";
  const char* F = "INDEX_C.XML";
  EXPECT_EQ(Check(s), (TCheckErrorList{
                          Row(S, "", F, "打合せ簿フォルダ名", E::BadFolder), Row(S, "", F, "写真フォルダ名", E::Missing),
                          Row(S, "", F, "バージョン情報", E::BadChars), Row(S, "", F, "工事名称", E::BadLength),
                          Row(S, "", F, "住所コード", E::Missing), Row(S, "", F, "住所", E::Missing),
                          Row(S, "", F, "住所", E::BadChars), Row(S, "", F, "工期開始日", E::BadDate),
                          Row(S, "", F, "発注者コード", E::BadLength)}));
}

TEST(DataCheckWalk, DrawingVariantsDifferInTwoLengths) {
  DeliveryStore s = CleanStore();
  for (auto* list : {&s.OrderDrawings, &s.FinalDrawings}) {
    TMdlTreeNodeDraw& d = list->front();
    d.DrawFile = Rep("A", 24);  // E 12 for ordering drawings, W 12 for final ones
    d.RefPlaneSystemNo = "9";   // E 2 / B 2
    d.StartStationN = "12";
    d.ContractorNote = Rep("あ", 128);  // W 128 in both
  }
  const std::string a24 = Rep("A", 24);
  EXPECT_EQ(Check(s), (TCheckErrorList{Row("発注図面管理", "", a24, "図面ファイル名", E::BadLength),
                                       Row("発注図面管理", "", a24, "起点側測点-n", E::BadLength),
                                       Row("発注図面管理", "", a24, "基準点情報平面直角座標系番号", E::BadLength),
                                       Row("完成図面管理", "", a24, "起点側測点-n", E::BadLength)}));
  s.FinalDrawings[0].DrawFile = Rep("A", 25);
  s.FinalDrawings[0].RefPlaneSystemNo = "123";
  TCheckErrorList errors = Check(s);
  ASSERT_EQ(errors.size(), 6u);
  EXPECT_EQ(errors[3], Row("完成図面管理", "", Rep("A", 25), "図面ファイル名", E::BadLength));
  EXPECT_EQ(errors[5], Row("完成図面管理", "", Rep("A", 25), "基準点情報平面直角座標系番号", E::BadLength));
}

TEST(DataCheckWalk, OriginalFilesAreReportedUnderTheirOwnNames) {
  DeliveryStore s = CleanStore();
  TMdlTreeNodeMeet& m = s.Meetings[0];
  m.MeetKind = "報告", m.IssueDate = "", m.FinishDate = "";  // 完了日付 is not needed
  m.Orgs = {{"abc.pdf", "PDF", "内容"}, {"", "ＰＤＦ", ""}, {"MEETING_04.PDF", "x", "y"}};
  m.OrdererNote = Rep("あ", 128);
  s.Plans[0].PlanName = "";
  s.Plans[0].Orgs[0].OrgFile = "施工計画書.PDF";        // 14 bytes
  s.Plans[0].Orgs[0].OrgContent = Rep("あ", 127);       // W 127 in plans
  s.Others[0].Orgs[0].OrgContent = Rep("あ", 65);       // W 64 elsewhere
  s.Others[0].DocKind = "段階確認";
  const char* M = "打合せ簿管理";
  const char* O = "その他管理";
  const std::string doc = s.Others[0].DocName;
  EXPECT_EQ(Check(s), (TCheckErrorList{
                          Row(M, "報告", "MEET.XML", "発行日付", E::Missing),
                          Row(M, "報告", "abc.pdf", "打合せ簿オリジナルファイル名", E::BadChars),
                          Row(M, "報告", "", "打合せ簿オリジナルファイル名", E::Missing),
                          Row(M, "報告", "", "打合せ簿オリジナルファイル作成ソフトバージョン情報", E::BadChars),
                          Row(M, "報告", "", "オリジナルファイル内容", E::Missing),
                          Row(M, "報告", "MEETING_04.PDF", "打合せ簿オリジナルファイル名", E::BadLength),
                          Row(M, "報告", "MEET.XML", "発注者説明文", E::BadLength),
                          Row("施工計画書管理", "", "PLAN.XML", "施工計画書名称", E::Missing),
                          Row("施工計画書管理", "", "施工計画書.PDF", "施工計画書オリジナルファイル名", E::BadLength),
                          Row(O, doc, "OTHRS.XML", "その他資料種類", E::NotListed),
                          Row(O, doc, "O001_01.PDF", "オリジナルファイル内容", E::BadLength)}));
}

TEST(DataCheckWalk, SectionsInOrderEachStartingWithItsSoftwareInformation) {
  DeliveryStore s = CleanStore();
  for (TMdlTreeNodeIndex& r : s.IndexRecords) r.MakerName = "ｻﾝﾌﾟﾙ";  // PHOTO.XML's is not checked
  s.Meetings.clear();  // the header record is checked all the same
  s.OrderDrawings[0].DrawName = "";
  s.Others[0].DocName = "ＡＢ";
  const char* item = "メーカ名";
  EXPECT_EQ(Check(s), (TCheckErrorList{Row("工事管理", "", "INDEX_C.XML", item, E::BadChars),
                                       Row("発注図面管理", "", "DRAWINGS.XML", item, E::BadChars),
                                       Row("発注図面管理", "", "D0PL001Z.P21", "図面名", E::Missing),
                                       Row("打合せ簿管理", "", "MEET.XML", item, E::BadChars),
                                       Row("施工計画書管理", "", "PLAN.XML", item, E::BadChars),
                                       Row("完成図面管理", "", "DRAWINGF.XML", item, E::BadChars),
                                       Row("その他管理", "", "OTHRS.XML", item, E::BadChars),
                                       Row("その他管理", "ＡＢ", "OTHRS.XML", "資料名", E::BadChars)}));
}

// ---------------------------------------------------------------------------
// The embedded field tables against the check

// Sets the record's field whose element the table's tag names (a note in
// full-width parentheses after the name aside; the check reports the element
// name) to one value. False when the record has no such text or list field.
template <class R>
bool SetField(R& record, const std::string& element, const std::string& value) {
  for (const TFieldDef<R>& f : R::Fields()) {
    if (element != f.Element) continue;
    if (f.Text) record.*f.Text = value;
    if (f.List) record.*f.List = {value};
    return f.Text || f.List;
  }
  return false;
}

// Every field of the four embedded field tables, which the panes show with
// its class word, MaxLength and needed mark, is checked by that rule: at its
// limit it passes, one character over it fails, its class takes exactly the
// characters the class word says. 全角文字 is the text class with a limit in
// full-width characters, 半角数字 numbers, 半角英数字 half-width characters,
// at most L bytes; the overrides are where the check says more than the word.
TEST(DataCheckFieldTables, EveryFieldKeepsItsTablesRuleAtItsBoundary) {
  TEmbeddedTables defs;
  using Setter = std::function<bool(DeliveryStore&, const std::string&, const std::string&)>;
  struct Table {
    TComTin* Tin;
    const char* Parent;
    const char* Section;
    Setter Set;
    int Fields;
  } tables[] = {
      {&defs.ctnKojiTreeIni, "KOJINFO", "工事管理",
       [](DeliveryStore& s, const std::string& e, const std::string& v) {
         return SetField(s.IndexRecords[fkIndex], e, v);
       },
       33},
      {&defs.ctnMeetTreeIni, "SETTING", "打合せ簿管理",
       [](DeliveryStore& s, const std::string& e, const std::string& v) { return SetField(s.Meetings[0], e, v); }, 13},
      {&defs.ctnPlanTreeIni, "SETTING", "施工計画書管理",
       [](DeliveryStore& s, const std::string& e, const std::string& v) { return SetField(s.Plans[0], e, v); }, 5},
      {&defs.ctnOthrsTreeIni, "SETTING", "その他管理",
       [](DeliveryStore& s, const std::string& e, const std::string& v) { return SetField(s.Others[0], e, v); }, 7},
  };
  const std::set<std::string> exact = {"発注年度",       "住所コード",     "発注者コード",   "起点側測点-n",
                                       "起点側測点-m",   "終点側測点-n",   "終点側測点-m",   "起点側距離標-n",
                                       "起点側距離標-m", "終点側距離標-n", "終点側距離標-m", "西側境界座標経度",
                                       "東側境界座標経度", "北側境界座標緯度", "南側境界座標緯度"};
  const std::map<std::string, C> classes = {{"工事管理/住所コード", C::Digits}, {"その他管理/シリアル番号", C::Number}};
  const std::set<std::string> dates = {"工期開始日", "工期終了日", "発行日付", "受理日付", "完了日付"};
  const std::map<std::string, const std::vector<std::string_view>*> words = {
      {"打合せ簿種類", &MeetKindWords()}, {"提出先", &SubmitToWords()}, {"その他資料種類", &OthrsKindWords()}};
  // A character at the end of a value, its Shift-JIS bytes, and the classes that take it.
  struct Probe {
    std::string Char;
    int Bytes;
    std::set<C> In;
  } probes[] = {
      {".", 1, {C::Text, C::Number, C::Ascii}}, {"a", 1, {C::Text, C::Ascii}}, {"A", 1, {C::Text, C::Ascii}},
      {"~", 1, {C::Text, C::Ascii}},            {"あ", 2, {C::Text}},          {"Ａ", 2, {}},
      {"ｱ", 1, {}},
  };

  for (Table& t : tables) {
    TTreeIniItem* parent = t.Tin->Tree.ItemByPath(t.Parent);
    int seen = 0;
    for (int n = 0; n < parent->Count(); ++n) {
      const std::string path = std::string(t.Parent) + "\\ITEM " + std::to_string(n);
      const std::string tag = t.Tin->Tree.ReadString(path, "Tag");
      if (tag.empty()) continue;  // a numbered slot without a field
      ++seen;
      const std::string name = tag.substr(0, tag.find("（"));
      const std::string mask = t.Tin->Tree.ReadString(path, "Mask");
      const int limit = static_cast<int>(t.Tin->Tree.ReadInteger(path, "MaxLength", 0));
      const bool needed = t.Tin->Tree.ReadString(path, "Needs") == "◎";
      SCOPED_TRACE(std::string(t.Section) + " " + tag);
      // The words the check gives the field for a value (none when it passes).
      auto found = [&](const std::string& value) {
        DeliveryStore s = CleanStore();
        EXPECT_TRUE(t.Set(s, name, value)) << "no record field";
        std::vector<std::string> out;
        for (const TCheckErrorRow& row : Check(s))
          if (row[0] == t.Section && row[3] == name) out.push_back(row[4]);
        return out;
      };
      using Words = std::vector<std::string>;
      auto word = [](E e) { return Words{CheckErrorWord(e)}; };
      EXPECT_EQ(found(""), needed ? word(E::Missing) : Words{});

      if (dates.count(name)) {
        EXPECT_EQ(limit, 10);
        EXPECT_EQ(found("2023-04-30"), Words{});
        EXPECT_EQ(found("2023-04-31"), word(E::BadDate));
        continue;
      }
      if (auto w = words.find(name); w != words.end()) {
        for (std::string_view ok : *w->second) EXPECT_EQ(found(std::string(ok)), Words{}) << ok;
        EXPECT_EQ(found(std::string(w->second->front()) + "様"), word(E::NotListed));
        continue;
      }

      ASSERT_TRUE(mask == "全角文字" || mask == "半角数字" || mask == "半角英数字") << mask;
      const bool wide = mask == "全角文字";
      const auto cls = classes.find(std::string(t.Section) + "/" + name);
      const C c = cls != classes.end() ? cls->second : wide ? C::Text : mask == "半角数字" ? C::Number : C::Ascii;
      const int bytes = wide ? 2 * limit : limit;
      ASSERT_GT(bytes, 2);
      EXPECT_EQ(found(Rep("1", bytes)), Words{});
      EXPECT_EQ(found(Rep("1", bytes + 1)), word(E::BadLength));
      if (wide) {
        EXPECT_EQ(found(Rep("あ", limit)), Words{});
        EXPECT_EQ(found(Rep("あ", limit + 1)), word(E::BadLength));
      }
      EXPECT_EQ(found(Rep("1", bytes - 1)), exact.count(name) ? word(E::BadLength) : Words{});
      for (const Probe& p : probes) {
        const std::string value = Rep("1", bytes - p.Bytes) + p.Char;
        EXPECT_EQ(found(value), p.In.count(c) ? Words{} : word(E::BadChars)) << value;
      }
    }
    EXPECT_EQ(seen, t.Fields) << t.Section;
  }
}

// ---------------------------------------------------------------------------
// The sample deliveries, loaded as from a fixed disk

TCheckErrorList CheckSample(const std::string& name) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  DeliveryStore store;
  TMdlTreeView view(store);
  view.Load(test::SamplePath(name));
  RunDataCheck(view);
  SetDriveTypeOverride(nullptr);
  return view.ErrorList;
}

TEST(DataCheckSamples, CleanHasNoErrorAndErrorsHasItsPlantedFindings) {
  TCheckErrorList clean = CheckSample("clean");
  EXPECT_TRUE(clean.empty()) << clean.size() << " rows, first: " << clean.front()[3];

  TCheckErrorList e = CheckSample("errors");
  ASSERT_EQ(e.size(), 39u);
  EXPECT_EQ(e[0], Row("工事管理", "", "INDEX_C.XML", "特記仕様書オリジナルファイルフォルダ名", E::BadFolder));
  EXPECT_EQ(e[13], Row("工事管理", "", "INDEX_C.XML", "請負者名", E::Missing));
  EXPECT_EQ(e[18], Row("発注図面管理", "", "D0CS001Z.P21", "基準点情報平面直角座標系番号", E::BadLength));
  EXPECT_EQ(e[19], Row("打合せ簿管理", "", "MEET.XML", "メーカ名", E::BadChars));
  EXPECT_EQ(e[22], Row("打合せ簿管理", "打合せ", "MEET.XML", "提出先", E::NotListed));
  EXPECT_EQ(e[23], Row("打合せ簿管理", "協議", "0003_01.pdf", "打合せ簿オリジナルファイル名", E::BadChars));
  EXPECT_EQ(e[34], Row("施工計画書管理", "交通誘導警備計画書", "施工計画書.PDF", "施工計画書オリジナルファイル名",
                       E::BadLength));
  EXPECT_EQ(e[38], Row("その他管理", "工事履行報告書（１０月分）", "OTHRS.XML", "資料名", E::BadChars));
}

// ---------------------------------------------------------------------------
// Management files that are there but could not be read

TEST(DataCheckManagementFiles, AFileThatGaveNothingIsAnErrorRowAMissingOrEmptyOneIsNot) {
  auto row = [](const char* section, const char* file) {
    return TCheckErrorRow{section, "", file, kManagementFileItem, kUnreadableFileState};
  };
  auto replace = [](const std::string& path) { return std::remove(path.c_str()) == 0; };
  struct Case {
    const char* what;
    std::function<bool(const test::ScratchDir& d)> spoil;  // d / "k" is a copy of the clean sample
    TCheckErrorList want;                                   // the rows of management files
    bool onlyThose = true;                                  // and no other row
  } cases[] = {
      {"a folder named MEET.XML",
       [&](auto& d) { return replace(d / "k/MEET/MEET.XML") && !d.MakeDir("k/MEET/MEET.XML").empty(); },
       {row("打合せ簿管理", "MEET.XML")}},
      {"a FIFO (never opened, so the check cannot block)",
       [&](auto& d) { return replace(d / "k/PLAN/PLAN.XML") && ::mkfifo((d / "k/PLAN/PLAN.XML").c_str(), 0644) == 0; },
       {row("施工計画書管理", "PLAN.XML")}},
      {"a link to /dev/zero",
       [&](auto& d) { return replace(d / "k/DRAWINGF/DRAWINGF.XML") && ::symlink("/dev/zero", (d / "k/DRAWINGF/DRAWINGF.XML").c_str()) == 0; },
       {row("完成図面管理", "DRAWINGF.XML")}},
      {"a broken link in lower case, named as found",
       [&](auto& d) { return replace(d / "k/OTHRS/OTHRS.XML") && ::symlink("gone.xml", (d / "k/OTHRS/othrs.xml").c_str()) == 0; },
       {row("その他管理", "othrs.xml")}},
      {"a link out of the delivery (never read: the file it leads to says it holds no record)",
       [&](auto& d) {
         return replace(d / "k/MEET/MEET.XML") && !d.WriteSjis("MEET.XML", "<meetdata>\n</meetdata>\n").empty() &&
                ::symlink((d / "MEET.XML").c_str(), (d / "k/MEET/MEET.XML").c_str()) == 0;
       },
       {row("打合せ簿管理", "MEET.XML")}},
      {"5 MB of '<' (read in several pieces)",
       [](auto& d) { return !d.WriteBytes("k/DRAWINGS/DRAWINGS.XML", std::string(5u << 20, '<')).empty(); },
       {row("発注図面管理", "DRAWINGS.XML")}},
      {"garbage in lower case",
       [&](auto& d) { return replace(d / "k/MEET/MEET.XML") && !d.WriteBytes("k/MEET/meet.xml", std::string("\x89PNG\r\n\x1a\n\0\xff<\xfe>a", 14)).empty(); },
       {row("打合せ簿管理", "meet.xml")}},
      {"a stray closing tag before the first record",
       [](auto& d) { return !d.WriteSjis("k/PLAN/PLAN.XML", "<plandata>\n</x>\n<施工計画書情報>\n<シリアル番号>1</シリアル番号>\n</施工計画書情報>\n</plandata>\n").empty(); },
       {row("施工計画書管理", "PLAN.XML")}},
      {"an empty tag before the first record, two files at once in section order",
       [](auto& d) {
         return !d.WriteSjis("k/OTHRS/OTHRS.XML", "<othrsdata>\n<>\n").empty() &&
                !d.WriteSjis("k/DRAWINGS/DRAWINGS.XML", "<?xml version=\"1.0\"?>\n").empty();
       },
       {row("発注図面管理", "DRAWINGS.XML"), row("その他管理", "OTHRS.XML")}},
      {"an INDEX_C.XML from which no field was read, before the rows of its empty fields",
       [](auto& d) { return !d.WriteSjis("k/INDEX_C.XML", "<constdata>\n<基本情報>\n</基本情報>\n</constdata>\n").empty(); },
       {row("工事管理", "INDEX_C.XML")}, false},
      {"an INDEX_C.XML of one byte", [](auto& d) { return !d.WriteBytes("k/INDEX_C.XML", "x").empty(); },
       {row("工事管理", "INDEX_C.XML")}, false},
      {"unreadable (root reads it all the same)",
       [](auto& d) { return ::chmod((d / "k/MEET/MEET.XML").c_str(), 0) == 0; },
       ::geteuid() == 0 ? TCheckErrorList{} : TCheckErrorList{row("打合せ簿管理", "MEET.XML")}},
      // No row: what is not there, or holds nothing and says so.
      {"an empty MEET.XML", [](auto& d) { return !d.WriteBytes("k/MEET/MEET.XML", "").empty(); }, {}},
      {"an empty INDEX_C.XML, like an empty MEET.XML (only the rows of its empty fields)",
       [](auto& d) { return !d.WriteBytes("k/INDEX_C.XML", "").empty(); }, {}, false},
      {"a MEET.XML without records, its root written with attributes",
       [](auto& d) { return !d.WriteSjis("k/MEET/MEET.XML", "<?xml version=\"1.0\"?>\n<meetdata DTD_version=\"02\">\n</meetdata>\n").empty(); },
       {}},
      {"no MEET.XML in the MEET folder", [&](auto& d) { return replace(d / "k/MEET/MEET.XML"); }, {}},
      {"a file named PLAN.XML without its class folder",
       [](auto& d) { return std::system(("rm -r '" + (d / "k/PLAN") + "'").c_str()) == 0 && !d.WriteBytes("k/PLAN.XML", "x").empty(); },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchDir d;
    test::CopyTree(test::SamplePath("clean"), d / "k");
    ASSERT_TRUE(c.spoil(d));
    SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
    DeliveryStore store;
    TMdlTreeView view(store);
    view.Load(d / "k");
    RunDataCheck(view);
    SetDriveTypeOverride(nullptr);
    TCheckErrorList fileRows;
    for (const TCheckErrorRow& r : view.ErrorList)
      if (r[3] == kManagementFileItem) fileRows.push_back(r);
    EXPECT_EQ(fileRows, c.want);
    if (c.onlyThose) {
      EXPECT_EQ(view.ErrorList, c.want);
    } else if (!c.want.empty()) {
      EXPECT_EQ(view.ErrorList.front(), c.want.front());
    }
    ::chmod((d / "k/MEET/MEET.XML").c_str(), 0644);
  }
}

// ---------------------------------------------------------------------------
// The check command's precondition

TEST(DataCheckIndexFile, FoundWithoutRegardToCaseAndRefusedOtherwise) {
  test::ScratchDir upper, lower, none, dir;
  upper.WriteSjis("INDEX_C.XML", "<constdata/>");
  lower.WriteSjis("index_c.xml", "<constdata/>");
  none.WriteSjis("INDEX.XML", "<constdata/>");
  dir.MakeDir("INDEX_C.XML");  // a folder of that name is no file
  EXPECT_TRUE(HasIndexFile(upper.Path()));
  EXPECT_TRUE(HasIndexFile(lower.Path().substr(0, lower.Path().size() - 1)));
  EXPECT_FALSE(HasIndexFile(none.Path()));
  EXPECT_FALSE(HasIndexFile(dir.Path()));
  EXPECT_FALSE(HasIndexFile(""));  // no folder chosen
  EXPECT_EQ(NoIndexMessage("/media/cd/"),
            "選択されているフォルダ '/media/cd/' には、\r必要なファイルが見つかりません。\r\r"
            "フォルダ選択ボタンをクリックし正しいメディアを選択してください。");
}

}  // namespace
}  // namespace dlvr
