// The headless tool, run as a program on the sample deliveries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sys/wait.h>

#include "platform/fileio.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

CliRun Dlvr(const std::string& args) {
  test::ScratchDir tmp;
  std::string cmd = std::string(DLVR_CLI_PATH) + " " + args + " >" + (tmp / "out") + " 2>" + (tmp / "err");
  int status = std::system(cmd.c_str());
  CliRun r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ReadWholeFile(tmp / "out", r.out);
  ReadWholeFile(tmp / "err", r.err);
  return r;
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

}  // namespace
}  // namespace dlvr
