// The texts of the checks in another language: with a translation installed,
// every finding, state, heading and message comes whole through it, its
// values put into the translated sentence, and the delivery's own names left
// as they are. The translation here is a stand-in that marks what it was
// given, so a piece glued on in Japanese, a value lost or a text under the
// wrong context shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "check/data_check.h"
#include "check/extended_check.h"
#include "check/field_captions.h"
#include "check/field_tables.h"
#include "check/report_layout.h"
#include "model/photo_viewer.h"
#include "model/sort.h"
#include "platform/text.h"
#include "platform/translate.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

// The stand-in translation: the context in angle brackets, then the source
// with each character beyond ASCII written '~' (placeholders stay).
std::string Marked(const char* context, const char* source) {
  std::string out = std::string("<") + context + ">";
  for (const char* p = source; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x80) out += *p;
    else if ((c & 0xC0) != 0x80) out += '~';
  }
  return out;
}

// Every (context, source) the code asked for; the grammar worker asks from
// its own thread.
std::mutex gAskedMutex;
std::set<std::pair<std::string, std::string>> gAsked;

std::string Hook(const char* context, const char* source) {
  {
    std::lock_guard<std::mutex> lock(gAskedMutex);
    gAsked.emplace(context, source);
  }
  return Marked(context, source);
}

// Installs the hook for a scope, and takes it away again.
struct TTranslated {
  TTranslated() {
    gAsked.clear();
    SetTranslateHook(Hook);
  }
  ~TTranslated() { SetTranslateHook(nullptr); }
};

// What a text comes out as: `source` of `context` translated, `args` put in.
std::string En(const char* context, const char* source, std::initializer_list<std::string_view> args = {}) {
  return Arg(Marked(context, source), args);
}

// A delivery of one medium in a scratch folder, with mistakes of each kind
// the sentences are built for; all of its own names and values are ASCII
// but one half-width katakana.
struct TDelivery {
  test::ScratchDir Dir;
  DeliveryStore Store;
  TExtendedInput Input;
  TEmbeddedTables Tables;

  TDelivery() {
    TMdlTreeNodeIndex& r = Store.IndexRecords[fkIndex];
    r.MediaNo = "1", r.MediaCount = "3", r.StartDate = "2023-04-01", r.EndDate = "2024-03-15";
    TMdlTreeNodeMeet m;
    m.SerialNo = "7", m.MeetKind = "X", m.IssueDate = "2020-01-02", m.AcceptDate = "2020-01-01";
    Store.Meetings = {m};
    TMdlTreeNodePlan p;
    p.SerialNo = "x", p.PlanName = "PLAN-A";
    Store.Plans = {p};
    TMdlTreeNodeDraw d;
    d.DrawFile = "X0PL0A1Z.P21";
    Store.OrderDrawings = {d};
    Dir.WriteBytes("CD1/INDEX_C.XML",
                   Utf8ToCp932("<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<constdata DTD_version=\"04\">\n"
                               "<name>ｱ</name><適用要領基準>201603-01</適用要領基準>\n</constdata>\n"));
    Dir.WriteBytes("CD1/DRAWINGS/X0PL0A1Z.P21", "x");
    // The medium given twice.
    Input.Media = {{1, Dir / "CD1/"}, {1, Dir / "CD1/"}};
    Input.Store = &Store;
    Input.DrawKindLines = Tables.ctnDrawKind.Section();
    Input.DrawNameLines = Tables.ctnDrawName.Section();
  }
};

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : " | ") + p;
  return out;
}

TEST(EnglishTexts, FindingsStatesHeadingsAndMessagesComeWholeThroughTheTranslation) {
  TDelivery delivery;
  TTranslated translated;
  TCheckErrorList rows;
  RunDataCheck(delivery.Store, rows);
  const std::vector<TFinding> findings = RunExtendedCheck(delivery.Input);
  std::set<std::string> rowTexts, findingTexts;
  for (const TCheckErrorRow& r : rows) rowTexts.insert(Join({r.begin(), r.end()}));
  for (const TFinding& f : findings) findingTexts.insert(Join({SeverityName(f.Severity), f.Rule, f.Found}));

  const std::string error = En("ExtendedCheck", "エラー"), warning = En("ExtendedCheck", "警告");
  const std::string edition = En("ExtendedCheck", "平成%1年%2月版", {"28", "3"});
  const std::string issued = En("FieldNames", "発行日付"), accepted = En("FieldNames", "受理日付");
  const std::vector<TFinding> counted = {{TSeverity::Error}, {TSeverity::Warning}, {TSeverity::Info}};
  const std::vector<TReportPage> report = LayoutFindingReport(counted, true);
  const std::vector<TReportPage> errorReport = LayoutErrorReport(rows);
  std::string sortError;
  TSort().Execute(2, nullptr, &sortError);

  struct TRow {
    const char* What;
    const std::set<std::string>* Among;  // the texts that must hold Want; else Got
    std::string Want{}, Got{};
  };
  const std::vector<TRow> cases = {
      // The data check: section, field name and state translated; the class
      // name and the file name are the delivery's.
      {"a needed field left empty", &rowTexts,
       Join({En("DataCheck", "工事管理"), "", "INDEX_C.XML", En("FieldNames", "工事番号"), En("DataCheck", "情報未記入")})},
      {"a field of a plan under its class name", &rowTexts,
       Join({En("DataCheck", "施工計画書管理"), "PLAN-A", "PLAN.XML", En("FieldNames", "シリアル番号"),
             En("DataCheck", "データ表現が不正")})},
      // The full check: severity, rule and sentence with its values.
      {"a medium number given twice", &findingTexts,
       Join({error, En("ExtendedCheck", "メディア番号"),
             En("ExtendedCheck", "メディア番号 %1 の媒体が %2 枚あります", {"1", "2"})})},
      {"fewer media than declared", &findingTexts,
       Join({warning, En("ExtendedCheck", "メディア総枚数"),
             En("ExtendedCheck", "メディア総枚数は %1 ですが、読み込んだ媒体は %2 枚です", {"3", "1"})})},
      {"a date outside the construction period, named by its field", &findingTexts,
       Join({error, En("ExtendedCheck", "日付と工期"),
             En("ExtendedCheck", "打合せ簿 %1 の%2 %3 が工期 %4 〜 %5 の外です",
                {"7", issued, "2020-01-02", "2023-04-01", "2024-03-15"})})},
      {"two dates out of order", &findingTexts,
       Join({error, En("ExtendedCheck", "日付の順序"),
             En("ExtendedCheck", "打合せ簿 %1 の%2 %3 が%4 %5 より前です",
                {"7", accepted, "2020-01-01", issued, "2020-01-02"})})},
      {"the faults of a drawing's name, listed", &findingTexts,
       Join({error, En("ExtendedCheck", "図面ファイル名の規則"),
             En("ExtendedCheck", "ライフサイクル（1 文字目）が S・D・C・M のどれでもありません") +
                 En("ExtendedCheck", "、") + En("ExtendedCheck", "図面番号（5〜7 文字目）が 3 桁の数字ではありません")})},
      {"a character the guideline does not allow, in its element", &findingTexts,
       Join({error, En("ExtendedCheck", "使用文字"),
             En("ExtendedCheck", "%1 行 %2 文字目（%3）: 「%4」は%5",
                {"3", "7", "name", "ｱ", En("ExtendedCheck", "半角カナ")})})},
      {"a grammar finding on its line", &findingTexts,
       Join({error, En("ExtendedCheck", "XML の文法"),
             En("ExtendedCheck", "%1 行: %2",
                {"1", En("ExtendedCheck", "文字符号化方式が %1 です（Shift_JIS にします）", {"EUC-JP"})})})},
      {"a later edition", &findingTexts,
       Join({warning, En("ExtendedCheck", "要領の版"),
             En("ExtendedCheck",
                "適用要領基準 %1、%2の納品物です。データチェックは平成13年8月版の規則によるため、"
                "後の版で変わった項目の指摘は当てはまりません",
                {"201603-01", edition})})},
      {"the edition's notice", nullptr,
       En("ExtendedCheck",
          "この納品物は%1に従っています。データチェックは平成13年8月版の規則によるため、"
          "後の版で変わった項目の指摘は当てはまりません（電子納品チェックを参照してください）。",
          {En("ExtendedCheck", "%1（適用要領基準 %2）", {edition, "201603-01"})}),
       EditionNotice(DeliveryEdition(delivery.Dir / "CD1/"))},
      // Headings, counts and messages.
      {"the counts of a stopped check under its title", nullptr,
       Join({En("ReportLayout", "電子納品チェック結果"),
             En("ReportLayout", "エラー %1 件、警告 %2 件、情報 %3 件", {"1", "1", "1"}) +
                 En("ReportLayout", "（中止しました）")}),
       Join({report.at(0).Texts.at(0).Text, report.at(0).Texts.at(1).Text})},
      {"the counts without information", nullptr, En("ReportLayout", "エラー %1 件、警告 %2 件", {"1", "2"}),
       FindingCountText({counted[0], counted[1], counted[1]})},
      {"a column of the full check's report", nullptr, En("ReportLayout", "重要度"), report.at(0).Texts.at(2).Text},
      {"a column of the data check's report", nullptr, En("ReportLayout", "管理項目名"),
       errorReport.at(0).Texts.at(1).Text},
      {"information", nullptr, En("ExtendedCheck", "情報"), SeverityName(TSeverity::Info)},
      {"a folder without INDEX_C.XML", nullptr,
       En("DataCheck",
          "選択されているフォルダ '%1' には、\r必要なファイルが見つかりません。\r\r"
          "フォルダ選択ボタンをクリックし正しいメディアを選択してください。",
          {"/media/CD1/"}),
       NoIndexMessage("/media/CD1/")},
      {"the media that carry the photos", nullptr,
       En("PhotoViewer",
          "現在のメディアに 'PHOTO.XML' がありません。\r\r%1枚目のいずれかのメディアを挿入し更新を行ってください。",
          {"2, 3"}),
       PhotoMediaMessage({2, 3})},
      {"a sort without its handlers", nullptr, En("Sort", "OnMoveData が設定されていません。"), sortError},
  };
  for (const TRow& c : cases) {
    if (c.Among) EXPECT_TRUE(c.Among->count(c.Want)) << c.What << ": " << c.Want;
    else EXPECT_EQ(c.Got, c.Want) << c.What;
  }

  // Nothing else of either check holds Japanese of its own or a placeholder
  // left unfilled: only the katakana the delivery holds.
  const std::regex placeholder("%[1-9]");
  for (const std::set<std::string>* texts : {&rowTexts, &findingTexts})
    for (std::string t : *texts) {
      for (std::size_t at; (at = t.find("ｱ")) != std::string::npos;) t.erase(at, std::string("ｱ").size());
      EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x80; }))
          << t;
      EXPECT_FALSE(std::regex_search(t, placeholder)) << t;
    }
}

std::string Trimmed(const std::string& s) {
  const std::size_t from = s.find_first_not_of(" \t\r"), to = s.find_last_not_of(" \t\r");
  return from == std::string::npos ? std::string() : s.substr(from, to - from + 1);
}

// Every record field set to a value no rule takes.
template <class R>
void Spoil(R& record) {
  for (const TFieldDef<R>& f : R::Fields()) {
    if (f.Text) record.*f.Text = std::string(300, 'x');
    if (f.List) record.*f.List = {std::string(300, 'x')};
    if (f.Orgs) {
      TMdlTreeNodeOrg o;
      Spoil(o);
      record.*f.Orgs = {o};
    }
  }
}

// The list of captions for the translation tools holds every field name a
// finding of the data check can show and every caption of the definition
// tables: one missing would stay Japanese in English.
TEST(EnglishTexts, EveryFieldNameAndTableCaptionIsListedForTranslation) {
  const std::set<std::string> listed(FieldCaptions().begin(), FieldCaptions().end());
  EXPECT_EQ(listed.size(), FieldCaptions().size()) << "a caption listed twice";

  DeliveryStore store;
  for (TMdlTreeNodeIndex& r : store.IndexRecords) Spoil(r);
  store.OrderDrawings.resize(1), store.FinalDrawings.resize(1);
  store.Meetings.resize(1), store.Plans.resize(1), store.Others.resize(1);
  Spoil(store.OrderDrawings[0]), Spoil(store.FinalDrawings[0]);
  Spoil(store.Meetings[0]), Spoil(store.Plans[0]), Spoil(store.Others[0]);
  std::set<std::string> shown;
  {
    TTranslated translated;
    TCheckErrorList rows;
    RunDataCheck(store, rows);
    for (const TCheckErrorRow& r : rows) EXPECT_EQ(r[3].rfind("<FieldNames>", 0), 0u) << r[3];
    for (const auto& [context, source] : gAsked)
      if (context == "FieldNames") shown.insert(source);
  }
  EXPECT_GT(shown.size(), 90u);  // every field of every record kind
  for (const std::string& name : shown) EXPECT_TRUE(listed.count(name)) << name;

  TEmbeddedTables tables;
  for (TComTin* table : {&tables.ctnKojiTreeIni, &tables.ctnMeetTreeIni, &tables.ctnPlanTreeIni, &tables.ctnOthrsTreeIni})
    for (const std::string& line : table->Section()) {
      const std::size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = Trimmed(line.substr(0, eq)), value = Trimmed(line.substr(eq + 1));
      if ((key == "Tag" || key == "Info" || key == "Mask" || key == "Categoly") && !value.empty()) {
        EXPECT_TRUE(listed.count(value)) << key << "=" << value;
      }
    }
}

}  // namespace
}  // namespace dlvr
