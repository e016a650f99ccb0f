// The full delivery check on media written into a scratch folder: each rule
// family's findings for the mistakes people make, and none for a sound
// delivery.
#include "check/extended_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "check/field_tables.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

// The records of a one-medium delivery and the files they name.
struct TCase {
  DeliveryStore Store;
  std::vector<TCheckedMedium> Media;
  std::vector<std::string> PhotoFiles;
  test::ScratchDir Dir;

  TCase() {
    TMdlTreeNodeIndex& r = Store.IndexRecords[fkIndex];
    r.MediaNo = "1", r.MediaCount = "1", r.StartDate = "2023-04-01", r.EndDate = "2024-03-15";
    TMdlTreeNodeDraw d;
    d.DrawFile = "D0PL001Z.P21";
    Store.OrderDrawings = {d};
    TMdlTreeNodeMeet m;
    m.SerialNo = "1", m.IssueDate = "2023-05-01", m.AcceptDate = "2023-05-02";
    m.Orgs = {{"0001_01.PDF", "", ""}};
    Store.Meetings = {m};
    Media = {{1, Medium("CD1")}};
    Index("CD1");
    Write("CD1", "DRAWINGS/DRAWINGS.XML", Xml("drawingdata", "DRAW02.DTD", "<図面名>平面図</図面名>"));
    Write("CD1", "DRAWINGS/DRAW02.DTD", Dtd("drawingdata", "図面名"));
    Write("CD1", "DRAWINGS/D0PL001Z.P21");
    Write("CD1", "MEET/MEET.XML", Xml("meetdata", "MEET02.DTD", "<打合せ簿名称>協議</打合せ簿名称>"));
    Write("CD1", "MEET/MEET02.DTD", Dtd("meetdata", "打合せ簿名称"));
    Write("CD1", "MEET/ORG/0001_01.PDF");
  }
  // A management file in Shift-JIS with one child element, and its DTD.
  static std::string Xml(const std::string& root, const std::string& dtd, const std::string& body,
                         const std::string& encoding = "Shift_JIS") {
    return Utf8ToCp932("<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<!DOCTYPE " + root + " SYSTEM \"" + dtd +
                       "\">\n<" + root + ">\n" + body + "\n</" + root + ">\n");
  }
  // (A DTD with or without a text declaration: both are read as Shift_JIS.)
  static std::string Dtd(const std::string& root, const std::string& child, bool declared = false) {
    return Utf8ToCp932((declared ? "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n" : "") + std::string("<!ELEMENT ") +
                       root + " (" + child + ")>\n<!ELEMENT " + child + " (#PCDATA)>\n");
  }
  // A medium's INDEX_C.XML with its DTD.
  void Index(const std::string& medium) {
    Write(medium, "INDEX_C.XML", Xml("constdata", "INDE_C01.DTD", "<メディア番号>1</メディア番号>"));
    Write(medium, "INDE_C01.DTD", Dtd("constdata", "メディア番号", true));
  }
  std::string Medium(const std::string& name) {
    std::filesystem::create_directories(Dir / name);
    return Dir / name + "/";
  }
  void Write(const std::string& medium, const std::string& path, const std::string& bytes = "x") {
    std::filesystem::create_directories(std::filesystem::path(Dir / (medium + "/" + path)).parent_path());
    Dir.WriteBytes(medium + "/" + path, bytes);
  }
  void Remove(const std::string& medium, const std::string& path) {
    std::filesystem::remove(Dir / (medium + "/" + path));
  }
  // Each finding as "severity medium path rule".
  std::set<std::string> Findings() {
    static TEmbeddedTables tables;
    TExtendedInput in;
    in.Media = Media;
    in.Store = &Store;
    in.PhotoFiles = PhotoFiles;
    in.DrawKindLines = tables.ctnDrawKind.Section();
    in.DrawNameLines = tables.ctnDrawName.Section();
    std::set<std::string> out;
    for (const TFinding& f : RunExtendedCheck(in))
      out.insert(std::string(SeverityName(f.Severity)) + " " + f.Medium + " " + f.Path + " " + f.Rule);
    return out;
  }
};

TEST(ExtendedCheck, FilesFoldersDatesAndMedia) {
  struct TRow {
    const char* What;
    std::function<void(TCase&)> Change;
    std::set<std::string> Expected;
  };
  const std::vector<TRow> rows = {
      {"a sound delivery", [](TCase&) {}, {}},
      // Files.
      {"a listed file missing from the whole delivery", [](TCase& c) { c.Remove("CD1", "MEET/ORG/0001_01.PDF"); },
       {"エラー 1 MEET/ORG/0001_01.PDF 記載ファイルの存在"}},
      {"a listed file missing while a medium is not loaded",
       [](TCase& c) {
         c.Store.IndexRecords[fkIndex].MediaCount = "2";
         c.Remove("CD1", "MEET/ORG/0001_01.PDF");
       },
       {"警告 1 MEET/ORG/0001_01.PDF 記載ファイルの存在", "警告 1 INDEX_C.XML メディア総枚数"}},
      {"a listed file on the disk in other case",
       [](TCase& c) {
         c.Remove("CD1", "DRAWINGS/D0PL001Z.P21");
         c.Write("CD1", "DRAWINGS/d0pl001z.p21");
       },
       {"エラー 1 DRAWINGS/D0PL001Z.P21 記載ファイルの存在", "エラー 1 DRAWINGS/d0pl001z.p21 ファイル名の規則"}},
      {"an empty file", [](TCase& c) { c.Write("CD1", "MEET/ORG/0001_01.PDF", ""); },
       {"エラー 1 MEET/ORG/0001_01.PDF 空のファイル"}},
      {"an empty sub-management file and an empty INDEX_C.XML: alike",
       [](TCase& c) {
         c.Write("CD1", "MEET/MEET.XML", "");
         c.Write("CD1", "INDEX_C.XML", "");
       },
       {"エラー 1 MEET/MEET.XML 空のファイル", "エラー 1 MEET/MEET.XML XML の文法", "エラー 1 INDEX_C.XML 空のファイル",
        "エラー 1 INDEX_C.XML XML の文法"}},
      {"a file no management file names, and names against the rule",
       [](TCase& c) {
         c.Write("CD1", "MEET/ORG/0002_01.PDF");
         c.Write("CD1", "MEET/ORG/MEETING_01.PDF");
         c.Write("CD1", "MEET/ORG/打合せ.PDF");
       },
       {"警告 1 MEET/ORG/0002_01.PDF 記載のないファイル", "警告 1 MEET/ORG/MEETING_01.PDF 記載のないファイル",
        "エラー 1 MEET/ORG/MEETING_01.PDF ファイル名の規則", "警告 1 MEET/ORG/打合せ.PDF 記載のないファイル",
        "エラー 1 MEET/ORG/打合せ.PDF ファイル名の規則"}},
      {"files the system leaves behind",
       [](TCase& c) {
         c.Write("CD1", "MEET/ORG/Thumbs.db");
         c.Write("CD1", "~$REPORT.DOC");
       },
       {"警告 1 MEET/ORG/Thumbs.db 不要なファイル", "警告 1 ~$REPORT.DOC 不要なファイル"}},
      {"the same document on two media",
       [](TCase& c) {
         c.Store.IndexRecords[fkIndex].MediaCount = "2";
         c.Media.push_back({2, c.Medium("CD2")});
         c.Index("CD2");
         c.Write("CD2", "MEET/ORG/0001_01.PDF");
       },
       {"警告  MEET/ORG/0001_01.PDF 媒体間の重複"}},
      {"drawing names against the CAD naming rule (photo names are the photo rules')",
       [](TCase& c) {
         for (const char* name : {"D0XX001Z.P21", "X0PL01Z.P21"}) {
           c.Store.OrderDrawings.emplace_back().DrawFile = name;
           c.Write("CD1", std::string("DRAWINGS/") + name);
         }
         c.PhotoFiles = {"PHOTO/PIC/P0000001.JPG", "PHOTO/PIC/PHOTO1.JPG", "PHOTO/DRA/P0000002.JPG"};
         for (const std::string& p : c.PhotoFiles) c.Write("CD1", p);
       },
       {"エラー 1 DRAWINGS/D0XX001Z.P21 図面ファイル名の規則", "エラー 1 DRAWINGS/X0PL01Z.P21 図面ファイル名の規則"}},
      {"a drawing name with a user part in a later edition",
       [](TCase& c) {
         c.Write("CD1", "INDEX_C.XML", TCase::Xml("constdata", "INDE_C01.DTD", "<適用要領基準>土木201903-01</適用要領基準>"));
         c.Write("CD1", "INDE_C01.DTD", TCase::Dtd("constdata", "適用要領基準"));
         c.Store.OrderDrawings[0].DrawFile = "D0PL001Z-平面図.P21";
         c.Write("CD1", "DRAWINGS/D0PL001Z-平面図.P21");
         c.Remove("CD1", "DRAWINGS/D0PL001Z.P21");
       },
       {"警告  INDEX_C.XML 要領の版"}},
      // Folders.
      {"a standard folder in lower case: its files are still found",
       [](TCase& c) {
         std::filesystem::rename(c.Dir / "CD1/MEET/ORG", c.Dir / "CD1/MEET/org");
       },
       {"エラー 1 MEET/org フォルダ名の規則"}},
      {"a folder the guideline does not know: its contents not judged again",
       [](TCase& c) { c.Write("CD1", "VIEWER/BIN/VIEWER.EXE"); }, {"警告 1 VIEWER 規定外のフォルダ"}},
      {"folders nested too deep and a path too long",
       [](TCase& c) {
         c.Write("CD1", "OTHRS/ORG/A/B/C/D/E/F/G/X.PDF");
         c.Write("CD1", "MEET/ORG/" + std::string(250, 'A') + ".PDF");
       },
       {"警告 1 OTHRS/ORG/A 規定外のフォルダ", "エラー 1 OTHRS/ORG/A/B/C/D/E/F/G フォルダの深さ",
        "警告 1 MEET/ORG/" + std::string(250, 'A') + ".PDF 記載のないファイル",
        "エラー 1 MEET/ORG/" + std::string(250, 'A') + ".PDF ファイル名の規則",
        "エラー 1 MEET/ORG/" + std::string(250, 'A') + ".PDF パスの長さ"}},
      {"a link is reported and not followed",
       [](TCase& c) { ASSERT_EQ(::symlink("/etc", (c.Dir / "CD1/MEET/ORG/LINK").c_str()), 0); },
       {"エラー 1 MEET/ORG/LINK リンク"}},
      // Grammar.
      {"a management file that is not well-formed",
       [](TCase& c) { c.Write("CD1", "MEET/MEET.XML", Utf8ToCp932("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
                                                                   "<!DOCTYPE meetdata SYSTEM \"MEET02.DTD\">\n<meetdata>\n<a>\n</meetdata>\n")); },
       {"エラー 1 MEET/MEET.XML XML の文法"}},
      {"declared in another encoding, its DTD missing, not valid",
       [](TCase& c) {
         c.Write("CD1", "INDEX_C.XML", TCase::Xml("constdata", "INDE_C01.DTD", "<メディア番号>1</メディア番号>", "UTF-8"));
         c.Remove("CD1", "MEET/MEET02.DTD");
         c.Write("CD1", "DRAWINGS/DRAWINGS.XML", TCase::Xml("drawingdata", "DRAW02.DTD", "<図面番号>1</図面番号>"));
       },
       {"エラー 1 INDEX_C.XML XML の文法", "エラー 1 MEET/MEET.XML XML の文法", "エラー 1 DRAWINGS/DRAWINGS.XML XML の文法"}},
      // Editions.
      {"a delivery of the March 2016 edition: its own names and folders",
       [](TCase& c) {
         c.Write("CD1", "INDEX_C.XML", TCase::Xml("constdata", "INDE_C01.DTD", "<適用要領基準>土木201603-01</適用要領基準>"));
         c.Write("CD1", "INDE_C01.DTD", TCase::Dtd("constdata", "適用要領基準"));
         c.Store.Meetings[0].Orgs = {{"0001_01.DOCX", "", ""}};
         c.Remove("CD1", "MEET/ORG/0001_01.PDF");
         c.Write("CD1", "MEET/ORG/0001_01.DOCX");
         c.Write("CD1", "REGISTER/REGISTER.XML");
       },
       {"警告  INDEX_C.XML 要領の版"}},
      {"a 4-character extension in the first edition",
       [](TCase& c) {
         c.Store.Meetings[0].Orgs = {{"0001_01.DOCX", "", ""}};
         c.Remove("CD1", "MEET/ORG/0001_01.PDF");
         c.Write("CD1", "MEET/ORG/0001_01.DOCX");
       },
       {"エラー 1 MEET/ORG/0001_01.DOCX ファイル名の規則"}},
      // Dates and media.
      {"dates outside the construction period and out of order",
       [](TCase& c) {
         c.Store.Meetings[0].IssueDate = "2024-04-01";
         c.Store.Meetings[0].AcceptDate = "2023-05-02";
         c.Store.Meetings[0].FinishDate = "2023-02-30";  // no such day: left to the data check
       },
       {"エラー 1 MEET/MEET.XML 日付と工期", "エラー 1 MEET/MEET.XML 日付の順序"}},
      {"a 13th month and 29 February 1900 are no days: left to the data check",
       [](TCase& c) {
         c.Store.Meetings[0].IssueDate = "2024-13-01";
         c.Store.Meetings[0].FinishDate = "1900-02-29";
       },
       {}},
      {"29 February 2000 is a day, judged",
       [](TCase& c) { c.Store.Meetings[0].FinishDate = "2000-02-29"; },
       {"エラー 1 MEET/MEET.XML 日付と工期", "エラー 1 MEET/MEET.XML 日付の順序"}},
      {"one medium number twice, and more media than the count",
       [](TCase& c) {
         c.Media.push_back({1, c.Medium("CD1COPY")});
         c.Media.push_back({2, c.Medium("CD2")});
         c.Index("CD1COPY");
         c.Index("CD2");
       },
       {"エラー 1 INDEX_C.XML メディア番号", "エラー 1 INDEX_C.XML メディア総枚数"}},
      {"one medium number twice of two: that error alone, not also a medium short",
       [](TCase& c) {
         c.Store.IndexRecords[fkIndex].MediaCount = "2";
         c.Media.push_back({1, c.Medium("CD1COPY")});
         c.Index("CD1COPY");
       },
       {"エラー 1 INDEX_C.XML メディア番号"}},
      {"a drawing file named by two records: one finding naming both",
       [](TCase& c) { c.Store.OrderDrawings.push_back(c.Store.OrderDrawings[0]); },
       {"エラー 1 DRAWINGS/D0PL001Z.P21 図面ファイル名の重複"}},
      {"a period that ends before it starts: said once, no date judged against it",
       [](TCase& c) {
         c.Store.IndexRecords[fkIndex].EndDate = "2023-03-01";
         c.Store.Meetings[0].IssueDate = "2023-03-15";
       },
       {"エラー 1 INDEX_C.XML 日付の順序"}},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.What);
    TCase c;
    row.Change(c);
    EXPECT_EQ(c.Findings(), row.Expected);
  }

  // Progress reaches every step; a check asked to stop after the files
  // returns their findings and reads no management file.
  TCase c;
  c.Write("CD1", "PLAN/ORG/0002_01.PDF");  // named nowhere (beside a broken file its folder's would not count)
  c.Write("CD1", "MEET/MEET.XML", "<broken");
  c.Write("CD1", "MEET/ORG/0003_01.PDF");  // what the broken file names is not known: not said
  TExtendedInput in;
  in.Media = c.Media;
  in.Store = &c.Store;
  std::size_t last = 0, total = 0;
  in.Progress = [&](std::size_t done, std::size_t steps) {
    last = done, total = steps;
    return true;
  };
  auto rules = [&in]() {
    std::set<std::string> out;
    for (const TFinding& f : RunExtendedCheck(in)) out.insert(f.Rule);
    return out;
  };
  EXPECT_EQ(rules(), (std::set<std::string>{"記載のないファイル", "XML の文法"}));
  std::vector<std::string> unlisted;
  for (const TFinding& f : RunExtendedCheck(in))
    if (f.Rule == "記載のないファイル") unlisted.push_back(f.Path);
  EXPECT_EQ(unlisted, std::vector<std::string>{"PLAN/ORG/0002_01.PDF"});
  EXPECT_EQ(total, 3u);
  EXPECT_EQ(last, total);
  // Stopped after the files, once the worker has judged the management
  // files' grammar: still none of that is reported.
  in.Progress = [](std::size_t done, std::size_t) {
    if (done > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return done == 0;
  };
  EXPECT_EQ(rules(), std::set<std::string>{"記載のないファイル"});
}

// A management file whose delivery lacks its DTD is still validated, against
// the DTD of its root and DTD_version.
TEST(ExtendedCheck, GrammarWithoutTheDeliveredDtd) {
  test::ScratchDir dir;
  std::string meet;
  ASSERT_EQ(ReadRegularFile(test::SamplePath("clean") + "/MEET/MEET.XML", 1u << 20, meet, true), TReadStatus::Ok);
  struct TRow {
    std::string What, Bytes;
    std::vector<std::string> Expected;  // each finding's start
  };
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string b = meet;
    b.replace(b.find(from), from.size(), to);
    return b;
  };
  const std::vector<TRow> rows = {
      {"a sound file", meet, {"DOCTYPE 宣言の DTD ファイル（MEET02.DTD）がありません"}},
      {"an element the DTD does not know",
       replaced(Utf8ToCp932("<打合せ簿種類>提出</打合せ簿種類>"), Utf8ToCp932("<打合せ種類>提出</打合せ種類>")),
       {"DOCTYPE 宣言の DTD ファイル（MEET02.DTD）がありません", "標準の DTD（MEET02.DTD）に合いません: ",
        "標準の DTD（MEET02.DTD）に合いません: "}},
      {"a version without a standard DTD", replaced("DTD_version=\"02\"", "DTD_version=\"99\""),
       {"DOCTYPE 宣言の DTD ファイル（MEET02.DTD）がありません"}},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.What);
    std::vector<std::string> got;
    for (const TGrammarFinding& f : CheckGrammarOf(dir / "", "MEET/MEET.XML", row.Bytes))
      got.push_back(f.Found);
    ASSERT_EQ(got.size(), row.Expected.size()) << (got.empty() ? "" : got.back());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].rfind(row.Expected[i], 0), 0u) << got[i];
  }
}

// The edition a delivery follows, from its INDEX_C.XML.
TEST(ExtendedCheck, EditionOfADelivery) {
  struct TRow {
    std::string Index;
    std::string Name;
    int YearMonth;
  };
  const std::vector<TRow> rows = {
      {"<!DOCTYPE constdata SYSTEM \"INDE_C02.DTD\">\n<constdata DTD_version=\"02\">", "平成13年8月版", 200108},
      {"<!DOCTYPE constdata SYSTEM \"INDEX_C08.DTD\">\n<constdata DTD_version=\"08\">", "平成16年6月版以降の版",
       200406},
      // The first edition with a wrongly named DTD: its version tells.
      {"<!DOCTYPE constdata SYSTEM \"INDEX_C02.DTD\">\n<constdata DTD_version=\"02\">", "平成13年8月版", 200108},
      {"<!DOCTYPE constdata SYSTEM \"INDE_C02.DTD\">\n<constdata DTD_version=\"04\">", "平成16年6月版以降の版",
       200406},
      {"<!DOCTYPE constdata SYSTEM \"INDEX_C04.DTD\">\n<constdata>", "平成16年6月版以降の版", 200406},
      {"<constdata DTD_version=\"04\"><基礎情報><適用要領基準>土木201603-01</適用要領基準>", "平成28年3月版", 201603},
      {"<constdata><適用要領基準> 土木201903-01 </適用要領基準>", "平成31年3月版", 201903},
      // The era changed on 1 May 2019; its first year is 元年.
      {"<constdata><適用要領基準>土木201904-01</適用要領基準>", "平成31年4月版", 201904},
      {"<constdata><適用要領基準>土木201905-01</適用要領基準>", "令和元年5月版", 201905},
      {"<constdata><適用要領基準>土木201912-01</適用要領基準>", "令和元年12月版", 201912},
      {"<constdata><適用要領基準>土木202001-01</適用要領基準>", "令和2年1月版", 202001},
      {"<constdata><適用要領基準>土木202303-01</適用要領基準>", "令和5年3月版", 202303},
  };
  for (const TRow& row : rows) {
    const TEdition e = DetectEdition(Utf8ToCp932(row.Index));
    EXPECT_EQ(e.Name, row.Name) << row.Index;
    EXPECT_EQ(e.YearMonth, row.YearMonth) << row.Index;
    EXPECT_EQ(e.Later(), row.YearMonth > 200108);
  }
}

// A management file far larger than one read: the characters found as in
// its whole bytes (lines and columns across the pieces it is read in), and
// a file written in UTF-8 under a Shift_JIS declaration is still told.
TEST(ExtendedCheck, ManagementFilesLargerThanOneRead) {
  TCase c;
  std::string body;
  std::vector<std::size_t> marks;  // lines with a character to find
  for (int i = 0; i < 60000; ++i) {
    body += "<打合せ簿名称>協議 " + std::to_string(i) + "</打合せ簿名称>\n";
    if (i % 12000 == 7) body += "<打合せ簿名称>" + std::string(i % 24000 == 7 ? "ｶﾅ" : "１") + "</打合せ簿名称>\n";
  }
  const std::string bytes = TCase::Xml("meetdata", "MEET02.DTD", body);
  ASSERT_GT(bytes.size(), 2u << 20);
  c.Write("CD1", "MEET/MEET.XML", bytes);
  auto found = [&](const std::string& rule) {
    TExtendedInput in;
    in.Media = c.Media;
    in.Store = &c.Store;
    std::vector<std::string> out;
    for (const TFinding& f : RunExtendedCheck(in))
      if (f.Rule == rule) out.push_back(f.Found);
    return out;
  };
  std::vector<std::string> expected;
  for (const TCharacterFinding& f : ScanCharacters(bytes))
    expected.push_back(std::to_string(f.Line) + " 行 " + std::to_string(f.Column) + " 文字目（" + f.Element + "）: 「" +
                       f.Character + "」は" + f.Kind);
  ASSERT_EQ(expected.size(), 5u);
  EXPECT_EQ(found("使用文字"), expected);

  c.Write("CD1", "MEET/MEET.XML",
          "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<!DOCTYPE meetdata SYSTEM \"MEET02.DTD\">\n<meetdata>\n" + body +
              "</meetdata>\n");
  EXPECT_TRUE(found("使用文字").empty());
  const std::vector<std::string> grammar = found("XML の文法");
  EXPECT_TRUE(std::any_of(grammar.begin(), grammar.end(), [](const std::string& g) {
    return g.find("宣言（Shift_JIS）と違う文字コード") != std::string::npos;
  })) << ::testing::PrintToString(grammar);
}

// The compact list sorts as the findings' texts sort (medium, path, rule),
// the order made kept among equals, and reads back what was added.
TEST(ExtendedCheck, CompactFindingsSortAsTheirTexts) {
  const char* media[] = {"", "1", "10", "2"};
  // A few paths, and then many (the tables grow as they go).
  std::vector<std::string> paths = {"MEET/MEET.XML", "INDEX_C.XML", "MEET/ORG/A.PDF", "a", ""};
  for (int i = 0; i < 3000; ++i) paths.push_back("MEET/ORG/M" + std::to_string(i * 7919 % 3001) + ".PDF");
  const char* rules[] = {"使用文字", "データチェック", "XML の文法"};
  std::vector<TFinding> all;
  TCompactFindings list;
  unsigned seed = 7;
  auto next = [&seed](unsigned n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  for (int i = 0; i < 24000; ++i) {
    const std::size_t path = i < 500 ? next(5) : next(static_cast<unsigned>(paths.size()));
    TFinding f{static_cast<TSeverity>(next(3)), media[next(4)], paths[path], rules[next(3)], std::to_string(i)};
    list.Add(f);
    all.push_back(f);
  }
  std::stable_sort(all.begin(), all.end(), [](const TFinding& a, const TFinding& b) {
    return std::tie(a.Medium, a.Path, a.Rule) < std::tie(b.Medium, b.Path, b.Rule);
  });
  list.Sort();
  ASSERT_EQ(list.Size(), all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    const TFindingView v = list[i];
    EXPECT_EQ(std::tie(v.Severity, v.Medium, v.Path, v.Rule, v.Found),
              std::tie(all[i].Severity, all[i].Medium, all[i].Path, all[i].Rule, all[i].Found));
  }
  list.EraseIf([](const TFindingView& v) { return v.Medium == "10"; });
  EXPECT_EQ(list.Size(), static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [](const TFinding& f) {
              return f.Medium != "10";
            })));
  // Sorted again and taken whole (a list this long is made on two
  // threads), in its order.
  list.Sort();
  const std::vector<TFinding> taken = list.TakeAll();
  EXPECT_TRUE(list.Empty());
  std::erase_if(all, [](const TFinding& f) { return f.Medium == "10"; });
  ASSERT_EQ(taken.size(), all.size());
  for (std::size_t i = 0; i < all.size(); ++i)
    ASSERT_EQ(std::tie(taken[i].Severity, taken[i].Medium, taken[i].Path, taken[i].Rule, taken[i].Found),
              std::tie(all[i].Severity, all[i].Medium, all[i].Path, all[i].Rule, all[i].Found))
        << i;
}

// Each kind of character the guideline does not allow, found with its line,
// column and element; a run of one kind is one finding; allowed text none.
TEST(ExtendedCheck, CharactersOfManagementFiles) {
  struct TRow {
    std::string Bytes;
    std::vector<std::string> Expected;  // "line:column element 'text' kind"
  };
  const std::vector<TRow> rows = {
      {Utf8ToCp932("<a>県道見本線 No.1〜2、（Ａ）</a>"), {"1:18 a 'Ａ' 全角英字（半角で書きます）"}},
      {Utf8ToCp932("<工事名称>第１２工区</工事名称>"), {"1:8 工事名称 '１２' 全角数字（半角で書きます）"}},
      {"<a>\n<b>" + Utf8ToCp932("ｻﾝﾌﾟﾙ") + "</b>", {"2:4 b 'ｻﾝﾌﾟﾙ' 半角カナ"}},
      {"<a>\x87\x40\x87\x54</a>", {"1:4 a '①Ⅰ' 機種依存文字（NEC 特殊文字）"}},
      {"<a>\xED\x40</a><b>\xFA\x40</b>",
       {"1:4 a '纊' 機種依存文字（NEC 選定 IBM 拡張文字）", "1:12 b 'ⅰ' 機種依存文字（IBM 拡張文字）"}},
      {"<a>\xF0\x40</a>", {"1:4 a '\xEE\x80\x80' 外字（ユーザー定義領域）"}},
      {"<a>\x85\x40</a>", {"1:4 a '\xEF\xBF\xBD' JIS X 0208 にない文字"}},
      {Utf8ToCp932("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>適正な文字 ABC 123</a>"), {}},
      // Long ASCII runs, a tag and a line feed among them.
      {Utf8ToCp932("<meetdata>\t<name>plain ascii words, eight at a time<b>Ａ</b></name>\n<c>long run, then １</c>"),
       {"1:55 b 'Ａ' 全角英字（半角で書きます）", "2:19 c '１' 全角数字（半角で書きます）"}},
  };
  for (const TRow& row : rows) {
    std::vector<std::string> got;
    for (const TCharacterFinding& f : ScanCharacters(row.Bytes))
      got.push_back(std::to_string(f.Line) + ":" + std::to_string(f.Column) + " " + f.Element + " '" + f.Character +
                    "' " + f.Kind);
    EXPECT_EQ(got, row.Expected) << Cp932ToUtf8(row.Bytes);
  }
  // The edges of every range of pairs, each between plain pairs of its
  // row and of others (hiragana, kanji) and single bytes: named or not, and
  // the column after them counted in characters.
  const struct {
    unsigned Code;
    const char* Kind;  // nullptr: allowed
  } edges[] = {
      {0x824E, nullptr}, {0x824F, "全角数字（半角で書きます）"}, {0x8258, "全角数字（半角で書きます）"},
      {0x8259, nullptr}, {0x825F, nullptr}, {0x8260, "全角英字（半角で書きます）"},
      {0x8279, "全角英字（半角で書きます）"}, {0x827A, nullptr}, {0x8280, nullptr},
      {0x8281, "全角英字（半角で書きます）"}, {0x829A, "全角英字（半角で書きます）"}, {0x829B, nullptr},
      {0x829F, nullptr}, {0x8340, nullptr}, {0x8740, "機種依存文字（NEC 特殊文字）"},
      {0x879C, "機種依存文字（NEC 特殊文字）"}, {0x889E, "JIS X 0208 にない文字"}, {0x889F, nullptr},
      {0x9FFC, nullptr}, {0xE040, nullptr}, {0xEAA4, nullptr}, {0xEB40, "JIS X 0208 にない文字"},
      {0xED40, "機種依存文字（NEC 選定 IBM 拡張文字）"}, {0xF040, "外字（ユーザー定義領域）"},
      {0xFA40, "機種依存文字（IBM 拡張文字）"}, {0xFC4B, "機種依存文字（IBM 拡張文字）"},
  };
  const std::string plain = Utf8ToCp932("あ漢ア") + "x";  // four characters
  for (const auto& edge : edges) {
    const std::string pair = {static_cast<char>(edge.Code >> 8), static_cast<char>(edge.Code & 0xFF)};
    const std::vector<TCharacterFinding> got = ScanCharacters("<a>" + plain + pair + plain + "\xB1");
    const std::string at = (::testing::Message() << std::hex << edge.Code).GetString();
    ASSERT_EQ(got.size(), edge.Kind ? 2u : 1u) << at;
    if (edge.Kind) {
      EXPECT_EQ(got[0].Column, 8) << at;
      EXPECT_EQ(got[0].Kind, edge.Kind) << at;
    }
    EXPECT_EQ(got.back().Column, 13) << at;  // the half-width katakana after
    EXPECT_EQ(got.back().Kind, "半角カナ") << at;
  }
  // Many findings are bounded, the rest counted.
  std::string many = "<a>";
  for (int i = 0; i < 10; ++i) many += "\x87\x40 ";
  std::size_t more = 0;
  EXPECT_EQ(ScanCharacters(many, 4, &more).size(), 4u);
  EXPECT_EQ(more, 6u);
}

}  // namespace
}  // namespace dlvr
