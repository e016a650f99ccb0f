// The headless tool, run as a program on the sample deliveries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "platform/fileio.h"
#include "platform/paths.h"
#include "support/delivery_builder.h"
#include "support/fixtures.h"
#include "support/run_tool.h"

namespace dlvr {
namespace {

using CliRun = test::ToolRun;

// Runs the tool with `args`, in the folder `cwd` when one is given; `tool`
// is the command that starts it.
CliRun Dlvr(const std::string& args, const std::string& cwd = std::string(), const std::string& tool = DLVR_CLI) {
  return test::RunCaptured(tool + " " + args, cwd);
}

// Positions of the keys in the output, to check their order.
std::size_t Pos(const std::string& text, const std::string& key) { return text.find("\"" + key + "\":"); }

TEST(CliDump, CleanSampleInRecordOrder) {
  CliRun r = Dlvr("dump " + test::SamplePath("clean"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  const std::string& o = r.out;
  // Top-level keys in the documented order.
  std::size_t last = 0;
  for (const char* key : {"IndexRecords", "OrderDrawings", "FinalDrawings", "Meetings", "Plans", "Others",
                          "DrawFileDuplicate"}) {
    std::size_t p = Pos(o, key);
    ASSERT_NE(p, std::string::npos) << key;
    EXPECT_GT(p, last) << key;
    last = p;
  }
  // Record fields in record order, values decoded from Shift-JIS.
  EXPECT_LT(Pos(o, "MediaNo"), Pos(o, "MediaCount"));
  EXPECT_LT(Pos(o, "ContractorCode"), Pos(o, "Reserves"));
  EXPECT_NE(o.find("\"KojiName\": \"県道見本線道路改良工事（その2）\""), std::string::npos);
  EXPECT_NE(o.find("\"OrgFile\": \"0001_01.PDF\""), std::string::npos);
  EXPECT_NE(o.find("\"DrawFileDuplicate\": {\n  \"1\": false,\n  \"4\": false\n }"), std::string::npos);
  // Nine management records.
  std::size_t count = 0;
  for (std::size_t p = o.find("\"MediaNo\":"); p != std::string::npos; p = o.find("\"MediaNo\":", p + 1)) ++count;
  EXPECT_EQ(count, 9u);
}

TEST(CliDump, DuplicateDrawingNameIsReportedForItsClass) {
  CliRun r = Dlvr("dump " + test::SamplePath("errors"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"DrawFileDuplicate\": {\n  \"1\": true,\n  \"4\": false\n }"), std::string::npos);
}

TEST(CliDump, FolderNamesOfAnyCaseAndNothingWritten) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  // A medium mounted with lower-case names.
  std::rename((d / "kkt/MEET").c_str(), (d / "kkt/meet").c_str());
  std::rename((d / "kkt/meet/MEET.XML").c_str(), (d / "kkt/meet/meet.xml").c_str());
  test::SetTreeReadOnly(d / "kkt", true);
  auto before = test::TreeSnapshot(d / "kkt");
  CliRun r = Dlvr("dump " + (d / "kkt"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"MeetKind\""), std::string::npos);
  EXPECT_EQ(test::TreeSnapshot(d / "kkt"), before);
}

TEST(CliDump, LinksLeadingOutOfTheDeliveryCountAsMissing) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "outside");
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  // The meeting file, then the management file, lead to another delivery.
  std::remove((d / "kkt/MEET/MEET.XML").c_str());
  symlink((d / "outside/MEET/MEET.XML").c_str(), (d / "kkt/MEET/MEET.XML").c_str());
  CliRun r = Dlvr("dump " + (d / "kkt"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"Meetings\": []"), std::string::npos);
  EXPECT_NE(r.out.find("\"PlanName\""), std::string::npos);
  std::remove((d / "kkt/INDEX_C.XML").c_str());
  symlink((d / "outside/INDEX_C.XML").c_str(), (d / "kkt/INDEX_C.XML").c_str());
  EXPECT_EQ(Dlvr("dump " + (d / "kkt")).out.find("県道見本線"), std::string::npos);
  EXPECT_EQ(Dlvr("check " + (d / "kkt")).code, 2);
}

TEST(CliDump, EmptyFolderGivesEmptyRecords) {
  test::ScratchDir d;
  CliRun r = Dlvr("dump " + d.Path());
  ASSERT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("\"Meetings\": []"), std::string::npos);
}

TEST(Cli, UsageErrorsExitTwoWithOneLine) {
  CliRun r = Dlvr("dump /nonexistent/folder");
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  r = Dlvr("dump");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  r = Dlvr("dump --bogus " + test::SamplePath("clean"));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  r = Dlvr("frobnicate");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  r = Dlvr("--bogus");
  EXPECT_EQ(r.code, 2);
}

// Every command that reads a delivery takes its further media too: the
// records and the data check are the first medium's; a further argument that
// is not a folder is a usage error.
TEST(Cli, EveryDeliveryCommandTakesFurtherMedia) {
  const std::string one = test::SamplePath("multi/MEDIA1"), two = test::SamplePath("multi/MEDIA2");
  test::ScratchDir out;
  for (const std::string& command :
       std::vector<std::string>{"dump", "check", "check --format tsv", "report -o " + (out / "r.pdf")}) {
    SCOPED_TRACE(command);
    const CliRun alone = Dlvr(command + " " + one), both = Dlvr(command + " " + one + " " + two);
    EXPECT_EQ(both.code, alone.code) << both.err;
    EXPECT_NE(both.code, 2);
    EXPECT_EQ(both.out, alone.out);
    const CliRun bad = Dlvr(command + " " + one + " /nonexistent/folder");
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
  }
}

TEST(Cli, HelpAndVersion) {
  CliRun r = Dlvr("--help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("dump"), std::string::npos);
  r = Dlvr("dump --help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("usage: dlvr dump FOLDER"), std::string::npos);
  r = Dlvr("--version");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.rfind("dlvr ", 0), 0u);
}

// The ways of writing an option give one reading: "--name VALUE" or
// "--name=VALUE", before or after the folders, given twice (the last
// counts), leading zeros of a number as decimal; after "--" every argument
// is a folder.
TEST(Cli, OptionFormsReadAlike) {
  const std::string clean = test::SamplePath("clean"), errors = test::SamplePath("errors");
  const struct {
    std::string args, same;
  } cases[] = {
      {"tree " + clean + " --lang=3 --filemode 02", "tree --lang 3 " + clean + " --filemode=2"},
      {"tree " + clean + " --sort=meet=4 --sort plan=1", "tree --sort meet=4 " + clean + " --sort=plan=1"},
      {"check " + errors + " --format csv --format json", "check --format=json " + errors},
      {"check -- " + errors, "check " + errors},
      {"photos --check " + errors + " --format=json", "photos " + errors + " --check --format json"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliRun a = Dlvr(c.args), b = Dlvr(c.same);
    EXPECT_NE(a.code, 2) << a.err;
    EXPECT_EQ(a.code, b.code);
    EXPECT_FALSE(a.out.empty());
    EXPECT_EQ(a.out, b.out);
  }
  // A command after "--" is that command, one that paints too.
  test::ScratchDir out;
  EXPECT_EQ(Dlvr("-- report " + errors + " -o " + (out / "r.pdf")).code, 1);
  EXPECT_TRUE(FileExists(out / "r.pdf"));
  // Values that only look like numbers of the range are refused.
  for (const char* bad : {"0x2", " 2", "-1", "1.0", "", "4"}) {
    const CliRun r = Dlvr("tree " + clean + " --lang '" + bad + "'");
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_EQ(r.err, std::string("dlvr: tree: --lang takes 0-3, not ") + bad + "\n");
  }
}

// The tool's own texts follow LC_ALL, LC_MESSAGES and LANG: English for an
// "en" locale, Japanese for any other, C included. Machine formats keep
// their keys; usage errors read the same in both.
TEST(Cli, OwnTextsInTheLanguageOfTheEnvironment) {
  test::ScratchDir empty;
  const std::string clean = test::SamplePath("clean"), errors = test::SamplePath("errors");
  const struct {
    std::string env, args;
    int code;
    std::string out, err;  // the start of stdout, a part of stderr
  } cases[] = {
      {"LANG=C.UTF-8", "check " + clean, 0, "データは正常です。\n", ""},
      {"LANG=en_US.UTF-8", "check " + clean, 0, "The data is valid.\n", ""},
      {"LANG=C LC_MESSAGES=en_GB.UTF-8", "check " + clean, 0, "The data is valid.\n", ""},
      {"LANG=en_US.UTF-8 LC_ALL=C", "check " + clean, 0, "データは正常です。\n", ""},
      {"LANG=en_US.UTF-8", "report " + clean + " -o " + (empty / "r.pdf"), 0, "The data is valid.\n", ""},
      {"LANG=en_US.UTF-8", "check " + errors, 1, "Checking all the output data found the following inconsistencies.\nNO.  Management item", ""},
      {"LANG=C.UTF-8", "check " + errors + " --format csv", 1, "管理項目名,分類名,ファイル名,項目名,状態\r\n", ""},
      {"LANG=en_US.UTF-8", "check " + errors + " --format csv", 1, "Management item,Class,File name,Item,State\r\n", ""},
      {"LANG=en_US.UTF-8", "check " + errors + " --format json", 1, "[\n {\n  \"管理項目名\": ", ""},
      {"LANG=en_US.UTF-8", "photos " + empty.Path(), 2, "", "dlvr: photos: No medium loaded has a photo management file"},
      {"LANG=C.UTF-8", "photos " + empty.Path(), 2, "", "dlvr: photos: 読み込んだメディアに写真管理ファイル"},
      {"LANG=en_US.UTF-8", "check --bogus " + clean, 2, "", "dlvr: check: unknown option --bogus\n"},
      {"LANG=C.UTF-8", "check --bogus " + clean, 2, "", "dlvr: check: unknown option --bogus\n"},
  };
  auto run = [](const std::string& env, const std::string& args) {
    return Dlvr(args, "", "env -u LC_ALL -u LC_MESSAGES " + env + " " + DLVR_CLI_PATH);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.env + " " + c.args);
    const CliRun r = run(c.env, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
    if (c.out.empty()) {
      EXPECT_EQ(r.out, "");
    }
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "");
    }
  }
  // scan counts the findings its checks print, in either language.
  auto counts = [&](const std::string& env) {
    const std::string out = run(env, "scan --extended --jobs 1 " + errors).out;
    std::vector<std::string> cells;
    std::size_t from = out.find('\n') + 1;
    for (int i = 0; i < 6; ++i) {
      const std::size_t comma = out.find(',', from);
      cells.push_back(out.substr(from, comma - from));
      from = comma + 1;
    }
    return cells[4] + "," + cells[5];
  };
  EXPECT_NE(counts("LANG=C.UTF-8"), "0,0");
  EXPECT_EQ(counts("LANG=en_US.UTF-8"), counts("LANG=C.UTF-8"));
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

std::vector<std::vector<std::string>> Rows(const std::string& out) {
  std::vector<std::vector<std::string>> rows;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('\n', start);
    std::string line = out.substr(start, end - start);
    std::vector<std::string> cols;
    std::size_t p = 0;
    while (true) {
      std::size_t tab = line.find('\t', p);
      cols.push_back(line.substr(p, tab - p));
      if (tab == std::string::npos) break;
      p = tab + 1;
    }
    rows.push_back(cols);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return rows;
}

TEST(CliTree, PrintsEveryItemDepthFirst) {
  CliRun r = Dlvr("tree " + test::SamplePath("clean"));
  ASSERT_EQ(r.code, 0) << r.err;
  auto rows = Rows(r.out);
  ASSERT_GT(rows.size(), 50u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"0", "工事完成図書", "0", "0", "0", "1", "0"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "発注図面", "1", "1", "0", "1", "2"}));
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 7u);
    if (row[2] == "4") {
      EXPECT_EQ(row[6], "sys") << row[1];  // every file of the clean sample is there
    }
  }
}

TEST(CliTree, TwoMediaLanguageFileModeAndSort) {
  CliRun r = Dlvr("tree " + test::SamplePath("multi/MEDIA1") + " " + test::SamplePath("multi/MEDIA2") +
                  " --lang 3 --filemode 3 --sort meet=4");
  ASSERT_EQ(r.code, 0) << r.err;
  auto rows = Rows(r.out);
  bool sawMeet = false, sawMedia1 = false, sawMedia2 = false;
  for (const auto& row : rows) {
    if (row[1] == "MEET(打合せ簿)") sawMeet = true;
    if (row[2] != "4") continue;
    if (row[4] == "1") sawMedia1 = true;
    if (row[4] == "2") sawMedia2 = true;
    // Both media lie on disk: a file of either is there, in its medium's folder.
    if (row[4] != "0") {
      EXPECT_EQ(row[5], "1") << row[1];
      EXPECT_EQ(row[6], "sys") << row[1];
    }
  }
  EXPECT_TRUE(sawMeet);
  EXPECT_TRUE(sawMedia1);
  EXPECT_TRUE(sawMedia2);
  EXPECT_EQ(rows[0][1], "工事完成図書");
}

// Two folders holding the same medium of one delivery (a copy beside the
// original) are no delivery of two media: every command that reads
// several folders refuses them in one line naming both.
TEST(CliTree, TwoFoldersOfOneMediumAreAUsageError) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "copy");
  const std::string clean = test::SamplePath("clean"), copy = d / "copy";
  for (const std::string command : {"tree", "dump", "check", "check --extended", "photos", "report -o /dev/null"}) {
    const CliRun r = Dlvr(command + " " + clean + " '" + copy + "'");
    EXPECT_EQ(r.code, 2) << command;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(clean), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(copy), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << command;
  }
  EXPECT_EQ(Dlvr("tree " + clean + " " + clean).code, 0);  // the same folder again: a refresh
}

TEST(CliTree, CaptionsKeepTheirColumnAndAreValidUtf8) {
  test::ScratchDir d;
  test::MediumSpec spec;
  spec.Plans = {"計画\t書\\"};  // a record's caption
  test::WriteMedium(d / "kkt", spec);
  struct {
    std::string onDisk;  // a file of the special specifications, its caption shown without extension
    std::string caption;
  } files[] = {
      {"改\n行.PDF", "改\\n行"},
      {"復\r帰.PDF", "復\\r帰"},
      {"bad\xff\xfe.PDF", "bad\uFFFD\uFFFD"},
      {"cut\xe8\xa8.PDF", "cut\uFFFD\uFFFD"},
      {"ok\xe8\xa8\x88.PDF", "ok計"},
  };
  for (const auto& f : files) d.WriteBytes("kkt/DRAWINGS/SPEC/" + f.onDisk, "x");
  CliRun r = Dlvr("tree '" + (d / "kkt") + "'");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.find_first_of("\xfe\xff"), std::string::npos);  // bytes that UTF-8 never holds
  std::vector<std::string> captions;
  for (const auto& row : Rows(r.out)) {
    ASSERT_EQ(row.size(), 7u) << row[0];
    captions.push_back(row[1]);
  }
  auto shown = [&](const std::string& c) { return std::find(captions.begin(), captions.end(), c) != captions.end(); };
  EXPECT_TRUE(shown("計画\\t書\\\\"));
  for (const auto& f : files) EXPECT_TRUE(shown(f.caption)) << f.caption;
}

TEST(CliTree, BadArguments) {
  EXPECT_EQ(Dlvr("tree").code, 2);
  EXPECT_EQ(Dlvr("tree " + test::SamplePath("clean") + " --lang 4").code, 2);
  EXPECT_EQ(Dlvr("tree " + test::SamplePath("clean") + " --sort meet=9").code, 2);
  EXPECT_EQ(Dlvr("tree " + test::SamplePath("clean") + " --sort photo=1").code, 2);
  EXPECT_EQ(Dlvr("tree " + test::SamplePath("clean") + " --filemode").code, 2);
  EXPECT_EQ(Dlvr("tree /nonexistent").code, 2);
  CliRun r = Dlvr("tree --help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("depth TAB caption"), std::string::npos);
}

}  // namespace
}  // namespace dlvr

#include <unistd.h>

#include <regex>

#include "platform/paths.h"

namespace dlvr {
namespace {

int PdfPages(const std::string& path) {
  std::string pdf;
  ReadWholeFile(path, pdf);
  std::regex page("/Type\\s*/Page[^s]");
  return static_cast<int>(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
}

TEST(CliReport, WritesThePagesOfTheErrorReport) {
  test::ScratchDir d;
  // Nine meetings with only a kind: five required fields missing each, 45
  // errors in all, so two pages.
  test::MediumSpec spec;
  for (int i = 0; i < 9; ++i) spec.Meetings.push_back({"協議", "", "", {}});
  test::WriteMedium(d / "kkt", spec);
  CliRun r = Dlvr("report " + (d / "kkt") + " -o " + (d / "out.pdf"));
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  ASSERT_TRUE(FileExists(d / "out.pdf"));
  EXPECT_GT(PdfPages(d / "out.pdf"), 1);

  r = Dlvr("report " + test::SamplePath("errors") + " -o " + (d / "errors.pdf"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(PdfPages(d / "errors.pdf"), 1);  // 39 rows fit on one page
}

TEST(CliReport, CleanDeliveryWritesNothing) {
  test::ScratchDir d;
  CliRun r = Dlvr("report " + test::SamplePath("clean") + " -o " + (d / "out.pdf"));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "データは正常です。\n");
  EXPECT_FALSE(FileExists(d / "out.pdf"));
}

TEST(CliReport, AFileInsideTheDeliveryIsRefusedAndNothingWritten) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("errors"), d / "kkt");  // has errors: a report would be written
  d.MakeDir("out");
  d.MakeDir("kktx");
  ASSERT_EQ(::symlink("kkt", (d / "link").c_str()), 0);
  ASSERT_EQ(::symlink("../kkt/new.pdf", (d / "out/dangling.pdf").c_str()), 0);
  struct Case {
    std::string folder, output;
    bool refused;
    std::string cwd = std::string();
  } cases[] = {
      {d / "kkt", d / "kkt/out.pdf", true},
      {d / "kkt//", d / "kkt//INDEX_C.XML", true},  // a file of the delivery, trailing slashes
      {d / "kkt", d / "kkt/MEET/../x.pdf", true},
      {d / "link", d / "kkt/x.pdf", true},  // the folder through a link
      {d / "kkt", d / "link/x.pdf", true},  // the file through a link
      {d / "kkt", d / "out/dangling.pdf", true},  // a link at the end that leads into it
      {d / "kkt", d / "kkt/new/x.pdf", true},  // in a folder not there yet
      {d / "kkt", d / "kkt", true},
      {".", "x.pdf", true, d / "kkt"},
      {"../link/", "./MEET/x.pdf", true, d / "kkt"},
      {d / "kkt", d / "kktx/out.pdf", false},  // a sibling whose name starts alike
      {d / "kkt", d / "out/out.pdf", false},
  };
  const auto before = test::TreeSnapshot(d / "kkt");
  std::string index;
  ReadWholeFile(d / "kkt/INDEX_C.XML", index);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder + " -o " + c.output);
    CliRun r = Dlvr("report '" + c.folder + "' -o '" + c.output + "'", c.cwd);
    if (c.refused) {
      EXPECT_EQ(r.code, 2);
      EXPECT_TRUE(r.out.empty());
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_NE(r.err.find("lies inside"), std::string::npos) << r.err;
    } else {
      EXPECT_EQ(r.code, 1) << r.err;
      EXPECT_TRUE(FileExists(c.output));
    }
  }
  EXPECT_EQ(test::TreeSnapshot(d / "kkt"), before);
  std::string after;
  ReadWholeFile(d / "kkt/INDEX_C.XML", after);
  EXPECT_EQ(after, index);
}

TEST(CliReport, AnOutputFileHardLinkedIntoTheDeliveryIsReplacedNotWrittenThrough) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("errors"), d / "kkt");
  std::string meet;
  ASSERT_TRUE(ReadWholeFile(d / "kkt/MEET/MEET.XML", meet));
  // Outside the folder by name, but the same data as a delivery file.
  ASSERT_EQ(link((d / "kkt/MEET/MEET.XML").c_str(), (d / "out.pdf").c_str()), 0);
  ASSERT_EQ(link((d / "kkt/MEET/MEET.XML").c_str(), (d / "out.html").c_str()), 0);
  EXPECT_EQ(Dlvr("report " + (d / "kkt") + " -o " + (d / "out.pdf")).code, 1);
  EXPECT_EQ(Dlvr("html " + (d / "kkt/MEET/MEET.XML") + " -o " + (d / "out.html")).code, 0);
  std::string after, pdf, html;
  ReadWholeFile(d / "kkt/MEET/MEET.XML", after);
  EXPECT_EQ(after, meet);
  ReadWholeFile(d / "out.pdf", pdf);
  ReadWholeFile(d / "out.html", html);
  EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
  EXPECT_NE(html.find("<html"), std::string::npos);
}

TEST(CliReport, RefusalsExitTwo) {
  test::ScratchDir d;
  EXPECT_EQ(Dlvr("report " + test::SamplePath("errors") + " -o /nonexistent/dir/out.pdf").code, 2);
  EXPECT_EQ(Dlvr("report " + test::SamplePath("errors")).code, 2);
  CliRun r = Dlvr("report " + d.Path() + " -o " + (d / "x.pdf"));
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("必要なファイルが見つかりません"), std::string::npos);
  EXPECT_FALSE(FileExists(d / "x.pdf"));
}

}  // namespace
}  // namespace dlvr
