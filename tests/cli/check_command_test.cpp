// dlvr check, run in-process on the sample deliveries and on small
// deliveries written for a case.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <set>
#include <functional>
#include <filesystem>
#include <chrono>

#include "cli/check_command.h"
#include "components/pdf_facts.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/hostile_pdf.h"
#include "support/run_tool.h"

namespace dlvr {
namespace {

// The check runs in this process, which has no PDF worker mode: its PDFs
// are read by the tool's.
const bool kToolReadsPdfs = (SetPdfFactsWorkerProgram(DLVR_CLI_PATH), true);

struct CheckRun {
  int code = -1;
  std::string out, err;
};

CheckRun Check(std::vector<std::string> args) {
  args.insert(args.begin(), "check");
  std::ostringstream out, err;
  CheckRun r;
  r.code = CmdCheck(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Values that need care in every format.
const TCheckErrorList kAwkward = {
    {"工事管理", "", "INDEX_C.XML", "工事名称", "データ表現が不正"},
    {"打合せ簿管理", "協議, \"再\"", "A\tB\\C.PDF", "打合せ簿オリジナルファイル名", "文字数が不正"},
    {"施工計画書管理", "一行目\r\n二行目", "PLAN.XML", "施工計画書名称", "情報未記入"},
};

template <class F>
std::string Written(F write, const TCheckErrorList& errors) {
  std::ostringstream out;
  write(errors, out);
  return out.str();
}

TEST(CheckFormats, TsvCsvAndJsonKeepAwkwardValuesIntact) {
  EXPECT_EQ(Written(WriteErrorsTsv, kAwkward),
            "工事管理\t\tINDEX_C.XML\t工事名称\tデータ表現が不正\n"
            "打合せ簿管理\t協議, \"再\"\tA\\tB\\\\C.PDF\t打合せ簿オリジナルファイル名\t文字数が不正\n"
            "施工計画書管理\t一行目\\r\\n二行目\tPLAN.XML\t施工計画書名称\t情報未記入\n");
  EXPECT_EQ(Written(WriteErrorsCsv, kAwkward),
            "管理項目名,分類名,ファイル名,項目名,状態\r\n"
            "工事管理,,INDEX_C.XML,工事名称,データ表現が不正\r\n"
            "打合せ簿管理,\"協議, \"\"再\"\"\",A\tB\\C.PDF,打合せ簿オリジナルファイル名,文字数が不正\r\n"
            "施工計画書管理,\"一行目\r\n二行目\",PLAN.XML,施工計画書名称,情報未記入\r\n");
  const std::string json = Written(WriteErrorsJson, kAwkward);
  EXPECT_EQ(json.substr(0, json.find("},")),
            "[\n {\n  \"管理項目名\": \"工事管理\",\n  \"分類名\": \"\",\n  \"ファイル名\": \"INDEX_C.XML\",\n"
            "  \"項目名\": \"工事名称\",\n  \"状態\": \"データ表現が不正\"\n ");
  EXPECT_NE(json.find("\"分類名\": \"協議, \\\"再\\\"\",\n  \"ファイル名\": \"A\\tB\\\\C.PDF\""), std::string::npos);
  EXPECT_EQ(json.substr(json.size() - 4), "}\n]\n");
  EXPECT_EQ(Written(WriteErrorsJson, {}), "[]\n");
}

TEST(CheckFormats, TextTableNumbersRowsAndAlignsColumns) {
  std::vector<std::string> lines = Lines(Written(WriteErrorsText, kAwkward));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "全ての出力データをチェックした結果、以下の不整合が見つかりました。");
  EXPECT_EQ(lines[1].rfind("NO.  管理項目名", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("  1  工事管理      ", 0), 0u) << lines[2];
  EXPECT_EQ(lines[4].rfind("  3  施工計画書管理  一行目\\r\\n二行目", 0), 0u) << lines[4];
  // 項目名 starts in the same terminal column on every line (a double-byte
  // character takes two columns).
  for (std::size_t i = 2; i < lines.size(); ++i) {
    std::size_t p = lines[i].find("  " + kAwkward[i - 2][3]);
    ASSERT_NE(p, std::string::npos);
    EXPECT_EQ(Cp932Length(lines[i].substr(0, p)), Cp932Length(lines[1].substr(0, lines[1].find("  項目名"))));
  }
  EXPECT_EQ(Written(WriteErrorsText, {}), "データは正常です。\n");
}

TEST(CheckCommand, SamplesInEveryFormat) {
  const std::string clean = test::SamplePath("clean");
  EXPECT_EQ(Check({clean}).out, "データは正常です。\n");
  EXPECT_EQ(Check({"--format=csv", clean}).out, "管理項目名,分類名,ファイル名,項目名,状態\r\n");
  CheckRun r = Check({clean, "--format", "json"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "[]\n");

  const std::string errors = test::SamplePath("errors");
  r = Check({errors, "--format", "tsv"});
  EXPECT_EQ(r.code, 1);
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 39u);
  EXPECT_EQ(lines[22], "打合せ簿管理\t打合せ\tMEET.XML\t提出先\t規定文字以外");
  EXPECT_EQ(lines[38], "その他管理\t工事履行報告書（１０月分）\tOTHRS.XML\t資料名\tデータ表現が不正");
  r = Check({errors});
  EXPECT_EQ(r.code, 1);
  lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 41u);
  EXPECT_EQ(lines[40].rfind(" 39  その他管理", 0), 0u) << lines[40];
}

// The extended check over the samples: the clean one clean, the mistakes
// planted in the errors sample found, the two media of the multi sample
// checked as one delivery and one of them alone told apart.
TEST(CheckCommand, ExtendedCheckOfTheSamples) {
  // A sound delivery: nothing but each PDF's page count.
  auto onlyInformation = [](const std::vector<std::string>& lines, std::size_t from, const std::string& lead) {
    EXPECT_GT(lines.size(), from);
    for (std::size_t i = from; i < lines.size(); ++i) EXPECT_EQ(lines[i].find(lead), 0u) << lines[i];
  };
  CheckRun r = Check({test::SamplePath("clean"), "--extended"});
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out.rfind("要領の版: 平成13年8月版（DTD_version 02）\n電子納品チェックで問題は見つかりませんでした。\n"
                        "NO.  重要度  メディア  ファイル・フォルダ     規則          内容\n"
                        "  1  情報    1         MEET/ORG/0001_01.PDF   文書ファイル  3 ページ\n",
                        0),
            0u)
      << r.out;
  EXPECT_EQ(Lines(r.out).size(), 30u);  // 27 PDFs
  EXPECT_EQ(r.out.find("エラー"), std::string::npos);
  EXPECT_EQ(r.out.find("警告"), std::string::npos);
  const std::string csv = Check({test::SamplePath("clean"), "--extended", "--format", "csv"}).out;
  EXPECT_EQ(csv.rfind("重要度,メディア,ファイル・フォルダ,規則,内容\r\n", 0), 0u);
  onlyInformation(Lines(csv), 1, "情報,");

  r = Check({test::SamplePath("errors"), "--extended", "--format=tsv"});
  EXPECT_EQ(r.code, 1);
  const std::vector<std::string> lines = Lines(r.out);
  // Each mistake planted for the full check, found once.
  for (const char* planted : {"エラー\t1\tDRAWINGS/d0pl001z.p21\t記載ファイルの存在\t",
                              "エラー\t1\tDRAWINGS/D0PF01Z.P21\t図面ファイル名の規則\t",
                              "エラー\t1\tMEET/ORG/0005_02.JPG\t記載ファイルの存在\t",
                              "エラー\t1\tDRAWINGF/C0CS001Z.P21\t記載ファイルの存在\t",
                              "エラー\t1\tPHOTO/PIC/P0000008.JPG\t写真・写真ファイル名\tファイルなし",
                              "エラー\t1\tOTHRS/Org\tフォルダ名の規則\t",
                              "エラー\t1\tMEET/ORG/MEETING_04.PDF\tファイル名の規則\t",
                              "エラー\t1\tPLAN/ORG/施工計画書.PDF\tファイル名の規則\t",
                              "エラー\t1\tPHOTO/PIC/P0000013.JPG\t写真・写真ファイル名\t管理ファイルに記載なし",
                              "エラー\t1\tPHOTO/PIC/P0000006.JPG\t写真・写真ファイル名\tJPEG以外（PNG）",
                              "エラー\t1\tPLAN/PLAN.XML\tXML の文法\tDOCTYPE 宣言の DTD ファイル（PLAN02.DTD）がありません",
                              "エラー\t1\tPLAN/PLAN.XML\tXML の文法\t4 行: 標準の DTD（PLAN02.DTD）に合いません",
                              "エラー\t1\tMEET/MEET.XML\t使用文字\t140 行 8 文字目（作成者）",
                              "エラー\t1\tMEET/ORG/0099_01.PDF\t空のファイル\t",
                              "警告\t1\tMEET/ORG/0099_01.PDF\t記載のないファイル\t",
                              "警告\t1\tMEET/ORG/Thumbs.db\t不要なファイル\t",
                              "警告\t1\tBACKUP\t規定外のフォルダ\t",
                              // the data check's own findings, in its words
                              "エラー\t1\tMEET/ORG/MEETING_04.PDF\tデータチェック\t指示 打合せ簿オリジナルファイル名: 文字数が不正"})
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(planted, 0) == 0; }),
              1)
        << planted;

  const std::string one = test::SamplePath("multi/MEDIA1"), two = test::SamplePath("multi/MEDIA2");
  r = Check({one, two, "--extended", "--format", "tsv"});
  EXPECT_EQ(r.code, 0) << r.out;
  onlyInformation(Lines(r.out), 0, "情報\t");  // one sound delivery: each medium's reference drawings are its own
  r = Check({one, "--extended", "--format", "tsv"});
  EXPECT_EQ(r.code, 0);  // what is missing may be on the medium not loaded: warnings
  EXPECT_EQ(r.err, "dlvr: check: 同じ工事の媒体が隣にあります（続けて指定できます）: " + two + "/（メディア番号 2）\n");
  EXPECT_NE(r.out.find("警告\t1\tINDEX_C.XML\tメディア総枚数\t"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("読み込んでいない媒体にある可能性があります"), std::string::npos);
}

TEST(CheckCommand, FolderWithoutIndexIsRefusedLowerCaseIndexIsNot) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("errors"), d / "kkt");
  std::rename((d / "kkt/INDEX_C.XML").c_str(), (d / "kkt/index_c.xml").c_str());
  test::SetTreeReadOnly(d / "kkt", true);
  auto before = test::TreeSnapshot(d / "kkt");
  CheckRun r = Check({d / "kkt", "--format", "tsv"});
  test::SetTreeReadOnly(d / "kkt", false);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(Lines(r.out).size(), 39u);  // the construction record was read
  EXPECT_EQ(test::TreeSnapshot(d / "kkt"), before);

  std::remove((d / "kkt/index_c.xml").c_str());
  r = Check({d / "kkt"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "選択されているフォルダ '" + (d / "kkt/") +
                       "' には、\n必要なファイルが見つかりません。\n\n"
                       "フォルダ選択ボタンをクリックし正しいメディアを選択してください。\n");
}

TEST(CheckCommand, AManagementFileThatCannotBeReadIsAnErrorNotACleanDelivery) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  ASSERT_EQ(std::remove((d / "kkt/MEET/MEET.XML").c_str()), 0);
  ASSERT_EQ(::mkfifo((d / "kkt/MEET/MEET.XML").c_str(), 0644), 0);
  CheckRun r = Check({d / "kkt", "--format", "tsv"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out, "打合せ簿管理\t\tMEET.XML\t管理ファイル\tファイルを読み込めません。\n");
  r = Check({d / "kkt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.rfind("全ての出力データをチェックした結果", 0), 0u) << r.out;
}

TEST(CheckCommand, TabAndBackslashReadFromAFileStayInTheirColumn) {
  test::ScratchDir d;
  d.WriteSjis("INDEX_C.XML", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<constdata></constdata>\n");
  d.WriteSjis("PLAN/PLAN.XML",
              "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<plandata>\n<施工計画書情報>\n"
              "<シリアル番号>1</シリアル番号>\n<施工計画書名称>計画\t書 \\ &quot;A,B&quot;</施工計画書名称>\n"
              "</施工計画書情報>\n</plandata>\n");
  std::vector<std::string> lines = Lines(Check({d.Path(), "--format", "tsv"}).out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "施工計画書管理\t計画\\t書 \\\\ \"A,B\"\tPLAN.XML\t施工計画書名称\tデータ表現が不正");
}

TEST(CheckCommand, UsageErrorsExitTwoWithOneLine) {
  const std::string clean = test::SamplePath("clean");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {clean, "--format"}, {clean, "--format", "xml"}, {clean, "--bogus"}, {clean, "/nonexistent"}, {"/nonexistent"},
           {clean, "--pdf-timeout", "5"}, {clean, "--extended", "--pdf-timeout", "0"}}) {
    CheckRun r = Check(args);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  CheckRun r = Check({clean, "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.rfind("usage: dlvr check FOLDER", 0), 0u);
}

// Mistakes contractors make, each planted in a copy of the clean sample:
// the full check names each in its file under its rule, with its severity,
// and nothing else comes new (the documents' page counts aside).
TEST(CheckCommand, EveryPlantedMistakeIsNamedOnceInItsPlace) {
  // What a finding is, without its wording: "severity medium path rule".
  auto problems = [](const std::string& folder) {
    std::set<std::string> out;
    for (const std::string& line : Lines(Check({folder, "--extended", "--format", "tsv"}).out)) {
      std::vector<std::string> f;
      std::istringstream in(line);
      for (std::string cell; std::getline(in, cell, '\t');) f.push_back(cell);
      if (f.size() >= 4 && f[0] != "情報") out.insert(f[0] + " " + f[1] + " " + f[2] + " " + f[3]);
    }
    return out;
  };
  // Replaces the first `from` (UTF-8) in a Shift-JIS file by `to`.
  auto replace = [](const std::string& file, const std::string& from, const std::string& to) {
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(file, bytes)) << file;
    const std::string f = Utf8ToCp932(from);
    ASSERT_NE(bytes.find(f), std::string::npos) << from;
    bytes.replace(bytes.find(f), f.size(), Utf8ToCp932(to));
    ASSERT_TRUE(WriteWholeFile(file, bytes));
  };
  struct TPlant {
    const char* What;
    std::function<void(const std::string& delivery)> Plant;
    std::set<std::string> Expected;
  };
  const std::vector<TPlant> plants = {
      {"a date the data check refuses",
       [&](const std::string& d) { replace(d + "/MEET/MEET.XML", "<発行日付>2023-04-20<", "<発行日付>2023/04/20<"); },
       {"エラー 1 MEET/MEET.XML データチェック"}},
      {"a period that ends before it starts: one finding, no date flood",
       [&](const std::string& d) { replace(d + "/INDEX_C.XML", "<工期終了日>2024-02-29<", "<工期終了日>2023-01-31<"); },
       {"エラー 1 INDEX_C.XML 日付の順序"}},
      {"a completion drawing file named by two records",
       [&](const std::string& d) {
         replace(d + "/DRAWINGF/DRAWINGF.XML", "<図面ファイル名>C0PL001Z.P21<", "<図面ファイル名>C0LC001Z.P21<");
       },
       {"エラー 1 DRAWINGF/C0LC001Z.P21 図面ファイル名の重複", "警告 1 DRAWINGF/C0PL001Z.P21 記載のないファイル"}},
      {"a meeting file in UTF-8 under a Shift_JIS declaration: said once, its folder not flooded",
       [&](const std::string& d) {
         std::string bytes;
         ASSERT_TRUE(ReadWholeFile(d + "/MEET/MEET.XML", bytes));
         ASSERT_TRUE(WriteWholeFile(d + "/MEET/MEET.XML", Cp932ToUtf8(bytes)));
       },
       {"エラー 1 MEET/MEET.XML XML の文法"}},
      {"another management file's root: cannot be read, said once, its folder not flooded",
       [&](const std::string& d) {
         replace(d + "/OTHRS/OTHRS.XML", "<othrsdata DTD_version", "<otherdata DTD_version");
         replace(d + "/OTHRS/OTHRS.XML", "</othrsdata>", "</otherdata>");
       },
       {"エラー 1 OTHRS/OTHRS.XML XML の文法", "エラー 1 OTHRS/OTHRS.XML データチェック"}},
      {"a management file cut short: its break said once, its folder not flooded",
       [&](const std::string& d) {
         std::string bytes;
         ASSERT_TRUE(ReadWholeFile(d + "/OTHRS/OTHRS.XML", bytes));
         ASSERT_TRUE(WriteWholeFile(d + "/OTHRS/OTHRS.XML", bytes.substr(0, bytes.size() / 3)));
       },
       {"エラー 1 OTHRS/OTHRS.XML XML の文法", "エラー 1 OTHRS/ORG/O002_01.PDF データチェック"}},
      {"the first edition with a wrongly named DTD: a grammar finding, no later edition",
       [&](const std::string& d) {
         replace(d + "/INDEX_C.XML", "SYSTEM \"INDE_C02.DTD\"", "SYSTEM \"INDEX_C02.DTD\"");
       },
       {"エラー 1 INDEX_C.XML XML の文法"}},
      {"a full-width construction number: the data check's error, not also a warning",
       [&](const std::string& d) { replace(d + "/INDEX_C.XML", "<工事番号>2023", "<工事番号>２０２３"); },
       {"エラー 1 INDEX_C.XML データチェック"}},
      {"a DXF drawing renamed .P21: its content is no SXF",
       [&](const std::string& d) {
         ASSERT_TRUE(WriteWholeFile(d + "/DRAWINGF/C0CS001Z.P21", "0\nSECTION\n2\nHEADER\n0\nENDSEC\n0\nEOF\n"));
       },
       {"エラー 1 DRAWINGF/C0CS001Z.P21 文書ファイル"}},
      {"a standard folder in lower case: one finding for the folder",
       [&](const std::string& d) { std::filesystem::rename(d + "/MEET/ORG", d + "/MEET/org"); },
       {"エラー 1 MEET/org フォルダ名の規則"}},
  };
  const std::set<std::string> clean = problems(test::SamplePath("clean"));
  EXPECT_TRUE(clean.empty()) << *clean.begin();
  for (const TPlant& p : plants) {
    SCOPED_TRACE(p.What);
    test::ScratchDir d;
    test::CopyTree(test::SamplePath("clean"), d / "kkt");
    p.Plant(d / "kkt");
    std::set<std::string> found = problems(d / "kkt");
    for (const std::string& c : clean) found.erase(c);
    EXPECT_EQ(found, p.Expected);
  }
}

// A PDF whose page tree is thousands of levels deep is a finding past
// --pdf-timeout, and the check goes on to the delivery's other PDFs.
TEST(CheckCommand, APdfPastItsTimeIsAnErrorAndTheCheckGoesOn) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  const std::string deep = test::WriteHostilePdf(d, test::THostilePdf::DeepPageTree);
  std::filesystem::copy_file(deep, d / "kkt/MEET/ORG/0001_01.PDF", std::filesystem::copy_options::overwrite_existing);
  const auto start = std::chrono::steady_clock::now();
  const CheckRun r = Check({d / "kkt", "--extended", "--pdf-timeout", "1", "--format", "tsv"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(r.code, 1) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  EXPECT_EQ(lines.size(), 27u);
  EXPECT_EQ(lines[0], "エラー\t1\tMEET/ORG/0001_01.PDF\t文書ファイル\tPDF を読み取れませんでした（時間切れ）");
  for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind("情報\t", 0), 0u) << lines[i];
}

}  // namespace
}  // namespace dlvr
