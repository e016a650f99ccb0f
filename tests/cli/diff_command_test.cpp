// dlvr diff, run in-process: its three forms on one planted pair, its exit
// codes, and the command lines it refuses.
#include "cli/diff_command.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

struct DiffRun {
  int code = -1;
  std::string out, err;
};

DiffRun RunDiff(std::vector<std::string> args) {
  args.insert(args.begin(), "diff");
  std::ostringstream out, err;
  DiffRun r;
  r.code = CmdDiff(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// A copy of the clean sample with a construction name holding a backslash
// and an original file moved to another folder of the medium.
class DiffCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    test::CopyTree(test::SamplePath("clean"), copy_);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(copy_ + "INDEX_C.XML", bytes));
    std::string text = Cp932ToUtf8(bytes);
    const std::string from = "（その2）</工事名称>";
    text.replace(text.find(from), from.size(), "\\その3</工事名称>");
    ASSERT_TRUE(ReplaceWholeFile(copy_ + "INDEX_C.XML", Utf8ToCp932(text)));
    ASSERT_EQ(std::rename((copy_ + "DRAWINGS/SPEC/TOKKI02.TXT").c_str(), (copy_ + "TOKKI02.TXT").c_str()), 0);
  }
  test::ScratchDir scratch_;
  const std::string copy_ = scratch_ / "new/";
  const std::string clean_ = test::SamplePath("clean");
};

TEST_F(DiffCommand, TsvIsOneEscapedChangeALine) {
  const DiffRun r = RunDiff({clean_, copy_, "--format", "tsv"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out,
            "changed\tfield\tINDEX_C.XML / 工事名称\t県道見本線道路改良工事（その2）\t県道見本線道路改良工事\\\\その3\n"
            "moved\tfile\tTOKKI02.TXT\tDRAWINGS/SPEC/TOKKI02.TXT\tTOKKI02.TXT\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(DiffCommand, JsonHoldsTheColumnsAsKeys) {
  const DiffRun r = RunDiff({clean_, copy_, "--format", "json"});
  EXPECT_EQ(r.code, 1);
  const nlohmann::json rows = nlohmann::json::parse(r.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (nlohmann::json{{"change", "changed"},
                                     {"what", "field"},
                                     {"where", "INDEX_C.XML / 工事名称"},
                                     {"old", "県道見本線道路改良工事（その2）"},
                                     {"new", "県道見本線道路改良工事\\その3"}}));
  EXPECT_EQ(rows[1]["old"], "DRAWINGS/SPEC/TOKKI02.TXT");
  EXPECT_EQ(rows[1]["new"], "TOKKI02.TXT");
}

TEST_F(DiffCommand, TextNamesBothSidesAndReadsOldToNew) {
  const DiffRun r = RunDiff({clean_, copy_});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "比較元（旧）: " + clean_ + "\n比較先（新）: " + copy_ +
                       "\n相違が 2 件あります。\n"
                       "変更  項目      INDEX_C.XML / 工事名称: 県道見本線道路改良工事（その2） → 県道見本線道路改良工事\\\\その3\n"
                       "移動  ファイル  DRAWINGS/SPEC/TOKKI02.TXT → TOKKI02.TXT\n");
}

TEST(DiffCommandSame, IdenticalDeliveriesExitZeroInEveryForm) {
  const std::string media1 = test::SamplePath("multi/MEDIA1"), media2 = test::SamplePath("multi/MEDIA2");
  const std::vector<std::string> both = {media1, media1, "--old-media", media2, "--new-media", media2};
  for (const char* format : {"tsv", "json", "text"}) {
    std::vector<std::string> args = both;
    args.insert(args.end(), {"--format", format});
    const DiffRun r = RunDiff(args);
    EXPECT_EQ(r.code, 0) << format << r.out << r.err;
    const std::string f = format;
    if (f == "tsv") {
      EXPECT_EQ(r.out, "");
    } else if (f == "json") {
      EXPECT_EQ(nlohmann::json::parse(r.out), nlohmann::json::array());
    } else {
      EXPECT_NE(r.out.find("相違はありません。\n"), std::string::npos);
    }
  }
  // Without the second medium on the new side its files are removed.
  EXPECT_EQ(RunDiff({media1, media1, "--old-media", media2}).code, 1);
}

TEST(DiffCommandUsage, RefusedCommandLinesExitTwoWithOneLine) {
  test::ScratchDir scratch;
  const std::string clean = test::SamplePath("clean");
  const std::string empty = scratch.MakeDir("empty");
  const std::vector<std::vector<std::string>> refused = {
      {clean},
      {clean, clean, clean},
      {clean, scratch / "missing"},
      {clean, empty},
      {clean, clean, "--format", "csv"},
      {clean, clean, "--new-media", test::SamplePath("errors")},
      {clean, clean, "--bogus"},
  };
  for (const auto& args : refused) {
    const DiffRun r = RunDiff(args);
    EXPECT_EQ(r.code, 2) << args.back();
    EXPECT_EQ(r.out, "") << args.back();
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

}  // namespace
}  // namespace dlvr
