// dlvr search, run as a program on copies of the samples: each kind of
// text it searches, how words match, its two forms and exit codes, and
// files made to hold a reader up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "platform/text.h"
#include "support/fixtures.h"
#include "support/hostile_pdf.h"
#include "support/run_tool.h"

namespace dlvr {
namespace {

test::ToolRun RunSearchTool(const std::string& args) { return test::RunCaptured(std::string(DLVR_CLI) + " search " + args); }

std::string SearchQuoted(const std::string& s) { return "'" + s + "'"; }

// A copy of a sample whose PDFs are only those named: each PDF costs the
// tool's every run a worker's reading of it (the samples' CJK fonts are not
// embedded, and the substitute is read for each page), and the cases look
// inside a few only.
void CopySampleKeepingPdfs(const std::string& from, const std::string& to, std::initializer_list<const char*> keep) {
  namespace fs = std::filesystem;
  test::CopyTree(from, to);
  std::vector<fs::path> drop;
  for (const auto& e : fs::recursive_directory_iterator(to)) {
    if (!e.is_regular_file() || e.path().extension() != ".PDF") continue;
    const std::string rel = fs::relative(e.path(), to).generic_string();
    if (std::find(keep.begin(), keep.end(), rel) == keep.end()) drop.push_back(e.path());
  }
  for (const fs::path& p : drop) fs::remove(p);
}

// The clean sample with an XML document beside the special specifications
// (the tree lists that folder's files as they lie).
class SearchCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::ScratchDir;
    CopySampleKeepingPdfs(test::SamplePath("clean"), *dir_ / "kkt", {"DRAWINGS/SPEC/TOKKI01.PDF"});
    CopySampleKeepingPdfs(test::SamplePath("multi"), *dir_ / "multi", {"MEDIA2/MEET/ORG/0007_01.PDF"});
    dir_->WriteSjis("kkt/DRAWINGS/SPEC/NOTE01.XML",
                    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<注記>\n <項目>集水桝の&lt;再確認&gt;</項目>\n</注記>\n");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Kkt() { return *dir_ / "kkt"; }
  static test::ScratchDir* dir_;
};
test::ScratchDir* SearchCommand::dir_ = nullptr;

TEST_F(SearchCommand, FindsEachKindOfTextAsAReaderExpects) {
  const std::string multi = *dir_ / "multi/MEDIA1" + " " + *dir_ / "multi/MEDIA2";
  const struct {
    std::string Folders, Query;
    std::string Line;  // the first line printed ("" when nothing is found)
  } cases[] = {
      // a record's field, with the record's caption
      {Kkt(), "中央土木", "DRAWINGS/DRAWINGS.XML\t1\tfield D0LC001Z.P21 / 作成者名\t見本県中央土木事務所"},
      // a PDF page, only in the PDF
      {Kkt(), "交通誘導警備員",
       "DRAWINGS/SPEC/TOKKI01.PDF\t1\tpage 2\t特記仕様書 TOKKI-1 第5条 交通誘導警備員は有資格者を配置すること。 第6条 "
       "工事写真は撮影基準によること。 第7条 疑義が生じた場合は監督員と"},
      // a text original, line by line
      {Kkt(), "再生砕石", "DRAWINGS/SPEC/TOKKI02.TXT\t1\tline 3\t1. 再生砕石は RC-40 を使用すること。"},
      // HTML and XML without their markup
      {Kkt(), "側溝工 650", "DRAWINGS/SPEC/SURYO01.HTM\t1\tline 12\t排水構造物工 側溝工 650 m "},
      {Kkt(), "<再確認>", "DRAWINGS/SPEC/NOTE01.XML\t1\tline 3\t 集水桝の<再確認> "},
      // an SXF drawing's texts and title block
      {Kkt(), "BM.2", "DRAWINGS/D0LC001Z.P21\t1\tdrawing\t"},
      // a file name that nothing else holds
      {Kkt(), "O003_02", "OTHRS/ORG/O003_02.JPG\t1\tname\tO003_02.JPG"},
      // full-width letters and digits, Latin case
      {Kkt(), "ｂｍ．２", "DRAWINGS/D0LC001Z.P21\t1\tdrawing\t"},
      {Kkt(), "ｒｃ－４０", "DRAWINGS/SPEC/TOKKI02.TXT\t1\tline 3\t1. 再生砕石は RC-40 を使用すること。"},
      // a word of two characters
      {Kkt(), "砕石", "DRAWINGS/SPEC/TOKKI02.TXT\t1\tline 3\t1. 再生砕石は RC-40 を使用すること。"},
      // every word required, on one page; a phrase stays together
      {Kkt(), "有資格者 交通誘導", "DRAWINGS/SPEC/TOKKI01.PDF\t1\tpage 2\t"},
      {Kkt(), "有資格者 第1条", ""},
      {Kkt(), "'\"第2条 工期\"'", "DRAWINGS/SPEC/TOKKI01.PDF\t1\tpage 1\t"},
      {Kkt(), "'\"工期 第2条\"'", ""},
      // the second medium's documents under its number
      {multi, "根固めブロック数量", "MEET/MEET.XML\t1\tfield 協議(原価管理) / 打合せ簿名称\t根固めブロック数量の変更について"},
      {multi, "'\"No.19 別紙\"'", "MEET/ORG/0007_01.PDF\t2\tpage 2\t"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Query);
    const std::string query = c.Query[0] == '\'' ? c.Query : SearchQuoted(c.Query);
    const test::ToolRun r = RunSearchTool(c.Folders + " " + query);
    EXPECT_EQ(r.code, c.Line.empty() ? 1 : 0) << r.err;
    if (c.Line.empty()) {
      EXPECT_EQ(r.out, "");
      continue;
    }
    // A line ending in TAB or a blank is the start of the one looked for.
    const bool whole = c.Line.back() != '\t' && c.Line.back() != ' ';
    EXPECT_NE(("\n" + r.out).find("\n" + c.Line + (whole ? "\n" : "")), std::string::npos) << r.out;
  }
}

TEST_F(SearchCommand, WritesJsonStopsAtTheLimitAndRefusesBadCommandLines) {
  const test::ToolRun json = RunSearchTool(Kkt() + " 交通誘導 --format json");
  EXPECT_EQ(json.code, 0);
  EXPECT_EQ(json.out.substr(0, json.out.find("\"context\"")),
            "[\n {\n  \"file\": \"DRAWINGS/SPEC/TOKKI01.PDF\",\n  \"medium\": 1,\n  \"where\": \"page 2\",\n  ");
  const test::ToolRun all = RunSearchTool(Kkt() + " 見本県");
  const test::ToolRun three = RunSearchTool(Kkt() + " 見本県 --limit 3");
  EXPECT_GT(std::count(all.out.begin(), all.out.end(), '\n'), 3);
  EXPECT_EQ(three.out, all.out.substr(0, three.out.size()));
  EXPECT_EQ(std::count(three.out.begin(), three.out.end(), '\n'), 3);
  for (const std::string& bad : {Kkt(), Kkt() + " '  '", Kkt() + " x --format xml", Kkt() + " x --limit 0",
                                 std::string("/nonexistent x")}) {
    const test::ToolRun r = RunSearchTool(bad);
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_TRUE(r.out.empty()) << bad;
  }
}

// Broken, encrypted, bomb-like and oversized files each cost a bounded
// time; each is named with its reason and the rest is searched. (A PDF that
// holds its reader up to the time limit is read with a short limit in the
// PDF text tests: here it would only spend the command's ten seconds.)
TEST(SearchCommandHostile, FilesMadeToHoldAReaderUpAreNamedAndTheRestIsSearched) {
  test::ScratchDir d;
  CopySampleKeepingPdfs(test::SamplePath("clean"), d / "kkt", {"DRAWINGS/SPEC/TOKKI01.PDF"});
  const struct {
    test::THostilePdf Kind;
    const char* Target;
  } pdfs[] = {
      {test::THostilePdf::FlateBomb, "MEET/ORG/0001_01.PDF"},
      {test::THostilePdf::BogusEncryption, "MEET/ORG/0002_03.PDF"},
  };
  for (const auto& p : pdfs)
    std::filesystem::copy_file(test::WriteHostilePdf(d, p.Kind), d / ("kkt/" + std::string(p.Target)),
                               std::filesystem::copy_options::overwrite_existing);
  ASSERT_EQ(::truncate((d / "kkt/OTHRS/ORG/O002_02.TXT").c_str(), off_t{65} << 20), 0);
  d.WriteBytes("secret.txt", "交通誘導の秘密\n");
  std::filesystem::remove(d / "kkt/MEET/ORG/0001_03.TXT");
  std::filesystem::create_symlink(d / "secret.txt", d / "kkt/MEET/ORG/0001_03.TXT");

  const auto start = std::chrono::steady_clock::now();
  const test::ToolRun r = RunSearchTool(d / "kkt" + " 交通誘導");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(40));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find('\t')), "DRAWINGS/SPEC/TOKKI01.PDF");
  EXPECT_EQ(r.out.find("秘密"), std::string::npos);
  for (const char* named : {"MEET/ORG/0001_01.PDF (medium 1): ", "MEET/ORG/0002_03.PDF (medium 1): ",
                            "OTHRS/ORG/O002_02.TXT (medium 1): too large"})
    EXPECT_NE(r.err.find(std::string("dlvr: search: ") + named), std::string::npos) << named << "\n" << r.err;
}

}  // namespace
}  // namespace dlvr
