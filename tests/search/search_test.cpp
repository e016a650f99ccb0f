// The search engine: folding, queries, the index's answers and bounds, and
// what is read of each kind of file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "check/viewer_model.h"
#include "platform/text.h"
#include "platform/paths.h"
#include "search/fold.h"
#include "search/indexer.h"
#include "search/query.h"
#include "search/sources.h"
#include "support/fixtures.h"

namespace dlvr::search {
namespace {

TSearchFile FileOf(const std::string& rel, std::vector<TUnit> units) {
  TSearchFile f;
  f.RelPath = rel;
  f.Medium = 1;
  f.Units = std::move(units);
  return f;
}

TUnit Line(int n, const std::string& text) { return {TWhere::Line, n, std::string(), text}; }

// An index over three small files.
class SearchIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(index.Open(std::string())) << index.Error();
    index.Begin({
        FileOf("A.TXT", {Line(1, "ＡＢＣ工事の側溝"), Line(2, "段階確認 実施"), Line(3, "ｱｽﾌｧﾙﾄ舗装 ２０２４年")}),
        FileOf("B.TXT", {Line(1, "側溝の段階確認は完了"), Line(2, "かくにん済み"), Line(3, "Road Works A")}),
        FileOf("C.TXT", {Line(4, "No.12 road")}),
    });
  }
  // "FILE:line" of every hit.
  std::vector<std::string> Find(const std::string& q, bool kana = false) {
    std::vector<std::string> out;
    for (const TSearchHit& h : index.Find(ParseQuery(q, kana))) out.push_back(h.File + ":" + std::to_string(h.Number));
    return out;
  }
  TSearchIndex index;
};

TEST_F(SearchIndexTest, MatchesAsAJapaneseReaderExpects) {
  const struct {
    const char* Query;
    bool Kana;
    std::vector<std::string> Hits;
  } cases[] = {
      {"abc", false, {"A.TXT:1"}},                      // full-width letters, case
      {"アスファルト", false, {"A.TXT:3"}},             // half-width katakana
      {"2024年", false, {"A.TXT:3"}},                   // full-width digits
      {"側溝", false, {"A.TXT:1", "B.TXT:1"}},          // two characters: no trigram
      {"溝", false, {"A.TXT:1", "B.TXT:1"}},            // one
      {"側溝 段階確認", false, {"B.TXT:1"}},            // every word, on one line
      {"段階確認 側溝", false, {"B.TXT:1"}},
      {"側溝 完了", false, {"B.TXT:1"}},                // a long and a short word
      {"\"works a\"", false, {"B.TXT:3"}},              // a phrase keeps its blank
      {"works a", false, {"B.TXT:3"}},
      {"\"a works\"", false, {}},
      {"ROAD", false, {"B.TXT:3", "C.TXT:4"}},
      {"no", false, {"C.TXT:4"}},
      {"o.", false, {"C.TXT:4"}},                        // a pair with a stop
      {"カクニン", false, {}},                           // kana apart unless asked
      {"カクニン", true, {"B.TXT:2"}},
      {"かくにん", false, {"B.TXT:2"}},
      {"無い言葉", false, {}},
      {"   ", false, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Find(c.Query, c.Kana), c.Hits) << c.Query;
}

TEST_F(SearchIndexTest, HitsComeInFileOrderAndStopAtTheLimit) {
  const std::vector<TSearchHit> hits = index.Find(ParseQuery("o"), 2);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].File, "B.TXT");
  EXPECT_EQ(hits[1].File, "C.TXT");
  EXPECT_EQ(hits[0].Where(), "line 3");
}

TEST(SearchContext, HoldsTheHitWithinEightyCharactersAndMarksIt) {
  TSearchIndex index;
  ASSERT_TRUE(index.Open(std::string()));
  std::string front, back;
  for (int i = 0; i < 100; ++i) front += "前", back += "後";
  const std::string page = front + "\n\n段階確認\r\n" + back;
  index.Begin({FileOf("A.PDF", {{TWhere::Page, 3, std::string(), page}})});
  const std::vector<TSearchHit> hits = index.Find(ParseQuery("ダンカイ確認"));
  EXPECT_TRUE(hits.empty());
  const std::vector<TSearchHit> found = index.Find(ParseQuery("段階確認"));
  ASSERT_EQ(found.size(), 1u);
  const TSearchHit& h = found[0];
  EXPECT_EQ(h.Where(), "page 3");
  EXPECT_LE(CodePointCount(h.Context), kContextChars);
  EXPECT_EQ(h.Context.substr(h.HitStart, h.HitLength), "段階確認");
  // Line breaks read as one blank; as much before the hit as after it.
  EXPECT_NE(h.Context.find("前 段階確認 後"), std::string::npos) << h.Context;
  const auto before = static_cast<long>(CodePointCount(h.Context.substr(0, h.HitStart)));
  const auto after = static_cast<long>(CodePointCount(h.Context.substr(h.HitStart + h.HitLength)));
  EXPECT_LE(std::abs(before - after), 1) << h.Context;
}

TEST(SearchFold, FoldsWidthCaseAndKanaAndMapsBack) {
  const struct {
    const char* Text;
    bool Kana;
    const char* Folded;
  } cases[] = {
      {"ＡＢＣabc", false, "abcabc"}, {"ｶﾞｯｺｳ", false, "ガッコウ"}, {"がっこう", true, "ガッコウ"},
      {"がっこう", false, "がっこう"}, {"１２３", false, "123"},    {"a\r\n b", false, "a b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FoldText(c.Text, c.Kana), c.Folded) << c.Text;
    std::vector<std::uint32_t> origin;
    EXPECT_EQ(FoldTextMapped(c.Text, c.Kana, origin), c.Folded) << c.Text;
    EXPECT_EQ(origin.back(), std::string(c.Text).size());
  }
  // A half-width kana with its sound mark is one piece: ガ maps to ｶﾞ whole.
  std::vector<std::uint32_t> origin;
  const std::string folded = FoldTextMapped("xｶﾞy", false, origin);
  EXPECT_EQ(folded, "xガy");
  EXPECT_EQ(origin[1], 1u);
  EXPECT_EQ(origin[1 + 3], 7u);
}

TEST(SearchQuery, SplitsWordsAndKeepsPhrases) {
  const struct {
    const char* Text;
    std::vector<std::string> Terms;
  } cases[] = {
      {"側溝　段階確認", {"側溝", "段階確認"}},
      {"\"段階 確認\" 側溝", {"段階 確認", "側溝"}},
      {"“段階 確認”", {"段階 確認"}},
      {"\"open", {"open"}},
      {"\"\"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseQuery(c.Text).Terms, c.Terms) << c.Text;
}

TEST(SearchIndexFile, KeepsWhatItHeldForUnchangedFilesAndRereadsChangedOnes) {
  test::ScratchDir d;
  const std::string db = d / "index.db";
  const auto files = [](std::uint64_t size) {
    std::vector<TSearchFile> list;
    for (const char* name : {"A.TXT", "B.TXT"}) {
      TSearchFile f = FileOf(name, {{TWhere::Name, 0, std::string(), name}});
      f.Path = std::string("/x/") + name;
      f.Content = TContent::Text;
      f.Size = size;
      list.push_back(f);
    }
    return list;
  };
  {
    TSearchIndex index;
    ASSERT_TRUE(index.Open(db));
    EXPECT_EQ(index.Begin(files(10)), (std::vector<std::size_t>{0, 1}));
    index.Store(0, {Line(1, "側溝工")}, std::string());
    EXPECT_EQ(index.Account().Pending, 1u);
  }
  TSearchIndex again;
  ASSERT_TRUE(again.Open(db));
  EXPECT_EQ(again.Begin(files(10)), (std::vector<std::size_t>{1}));
  EXPECT_EQ(again.Find(ParseQuery("側溝工")).size(), 1u);
  EXPECT_EQ(again.Begin(files(11)), (std::vector<std::size_t>{0, 1}));
  EXPECT_TRUE(again.Find(ParseQuery("側溝工")).empty());
  EXPECT_TRUE(again.Find(ParseQuery("側溝")).empty());
}

TEST(SearchSources, StripsMarkupKeepingLinesAndDecodesAsThePreview) {
  EXPECT_EQ(StripMarkup("<p>a&amp;b</p>\n<script>x\ny</script>c&#x5B9F;<!-- d\n -->e"), "a&b \n\nc実\ne");
  EXPECT_EQ(StripMarkup("<![CDATA[<k>]]>"), "<k>");
  EXPECT_EQ(DecodeAsPreview("\x91\xa4\x8d\x61"), "側溝");                            // CP932 by default
  EXPECT_EQ(DecodeAsPreview("側溝"), "側溝");                                        // valid UTF-8
  EXPECT_EQ(DecodeAsPreview("<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\xc2\xa6"), "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>側");
}

TEST(SearchSources, BoundsWhatIsReadAndStaysInsideTheMedium) {
  test::ScratchDir d;
  const std::string medium = d / "m/";
  TSearchFile big;
  big.Path = d.WriteBytes("m/BIG.TXT", "");
  ASSERT_EQ(::truncate(big.Path.c_str(), static_cast<off_t>(kMaxTextFileBytes + 1)), 0);
  big.Content = TContent::Text;
  TSearchFile outside;
  d.WriteBytes("secret.txt", "側溝の秘密\n");
  outside.Path = d / "m/LINK.TXT";
  std::filesystem::create_symlink(d / "secret.txt", outside.Path);
  outside.Content = TContent::Text;
  TSearchFile fine;
  fine.Path = d.WriteBytes("m/OK.HTM", "<b>側溝</b>\n<i>工</i>");
  fine.Content = TContent::Html;
  TSearchFile pdf;
  pdf.Path = d.WriteBytes("m/A.PDF", "%PDF-1.4\n");
  pdf.Content = TContent::Pdf;
  std::string reason;
  EXPECT_TRUE(ReadContents(big, medium, {}, nullptr, reason).empty());
  EXPECT_EQ(reason, "too large");
  EXPECT_TRUE(ReadContents(outside, medium, {}, nullptr, reason).empty());
  EXPECT_EQ(reason, "link out of the delivery");
  const std::vector<TUnit> lines = ReadContents(fine, medium, {}, nullptr, reason);
  EXPECT_EQ(reason, "");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].Number, 2);
  EXPECT_EQ(lines[1].Text, "工 ");
  TExtractors extractors;
  extractors.Pdf = [](const std::string&, const std::atomic<bool>*) { return TPdfText{{"p1", "", "p3"}, "time limit"}; };
  const std::vector<TUnit> pages = ReadContents(pdf, medium, extractors, nullptr, reason);
  EXPECT_EQ(reason, "time limit");
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[1].Number, 3);
}

TEST(SearchIndexer, StoresEveryPendingFileWithItsReasonAndTellsProgress) {
  test::ScratchDir d;
  TSearchIndex index;
  ASSERT_TRUE(index.Open(std::string()));
  std::vector<TSearchFile> files;
  for (int i = 0; i < 6; ++i) {
    TSearchFile f = FileOf("F" + std::to_string(i) + ".TXT", {});
    f.Path = d.WriteBytes(f.RelPath, "第" + std::to_string(i) + "回 打合せ\n");
    f.Content = TContent::Text;
    f.Root = d.Path();
    files.push_back(f);
  }
  files[5].Content = TContent::Pdf;  // no PDF reader given
  std::size_t told = 0;
  TIndexOptions options;
  options.Progress = [&](std::size_t done, std::size_t total) {
    told = done;
    EXPECT_EQ(total, 6u);
  };
  BuildIndex(index, files, {}, options);
  EXPECT_EQ(told, 6u);
  EXPECT_EQ(index.Find(ParseQuery("打合せ")).size(), 5u);
  const TAccount account = index.Account();
  EXPECT_TRUE(account.Complete());
  ASSERT_EQ(account.NotSearched.size(), 1u);
  EXPECT_EQ(account.NotSearched[0].File, "F5.TXT");
  EXPECT_EQ(account.NotSearched[0].Reason, "not a PDF");
}


TEST(SearchDeliveryFiles, ListsMediaInOrderManagementFilesByTheirRecordsAndEveryDocumentByName) {
  test::FixedDrives fixed;
  DeliveryStore store;
  TViewerModel model(store);
  model.View.MakeWorkCopies = false;
  model.View.Load(test::SamplePath("multi") + "/MEDIA1");
  model.View.Load(test::SamplePath("multi") + "/MEDIA2");
  const std::vector<TSearchFile> files = DeliveryFiles(model.View);
  ASSERT_GT(files.size(), 10u);
  // The records' file first, searched in its fields only.
  EXPECT_EQ(files[0].RelPath, "INDEX_C.XML");
  EXPECT_EQ(files[0].Content, TContent::None);
  EXPECT_GT(files[0].Units.size(), 10u);
  int lastMedium = 0;
  std::set<std::pair<int, std::string>> seen;
  const TSearchFile* meet2 = nullptr;
  for (const TSearchFile& f : files) {
    EXPECT_GE(f.Medium, lastMedium) << f.RelPath;  // media in order
    lastMedium = f.Medium;
    EXPECT_TRUE(seen.insert({f.Medium, f.RelPath}).second) << f.RelPath;  // each file once
    ASSERT_FALSE(f.Units.empty()) << f.RelPath;
    EXPECT_EQ(f.Units[0].Kind, TWhere::Name);
    EXPECT_EQ(f.Units[0].Text, ExtractFileName(f.RelPath));
    if (!f.Path.empty()) EXPECT_EQ(f.Path, f.Root + f.RelPath);
    if (f.RelPath == "MEET/MEET.XML") {
      EXPECT_EQ(f.Content, TContent::None);
      EXPECT_EQ(f.Medium, 1);
    }
    if (f.RelPath == "MEET/ORG/0007_01.PDF") meet2 = &f;
  }
  EXPECT_EQ(lastMedium, 2);
  ASSERT_NE(meet2, nullptr);
  EXPECT_EQ(meet2->Medium, 2);
  EXPECT_EQ(meet2->Content, TContent::Pdf);
  EXPECT_NE(meet2->Root.find("MEDIA2"), std::string::npos);
}

}  // namespace
}  // namespace dlvr::search
