// The search engine: folding, queries, the index's answers and bounds, and
// what is read of each kind of file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
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
      // The code page's and the JIS tables' forms of one character alike.
      {"1〜3", false, "1~3"},       {"1～3", false, "1~3"},       {"−5", false, "-5"},
      {"－5", false, "-5"},         {"x∥y", false, "x‖y"},       {"x―y", false, "x—y"},
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
  // The size read as the file goes in.
  EXPECT_EQ(again.Begin(files(0), nullptr, [](TSearchFile& f) { f.Size = 10; }), (std::vector<std::size_t>{1}));
  EXPECT_EQ(again.Find(ParseQuery("側溝工")).size(), 1u);
  EXPECT_EQ(again.Begin(files(11)), (std::vector<std::size_t>{0, 1}));
  EXPECT_TRUE(again.Find(ParseQuery("側溝工")).empty());
  EXPECT_TRUE(again.Find(ParseQuery("側溝")).empty());
}

// Five files, the second and the fourth with contents to read; the
// fourth's field says `word`, its size `size`.
std::vector<TSearchFile> FivePortionFiles(const std::string& word, std::uint64_t size) {
  std::vector<TSearchFile> list;
  for (int i = 0; i < 5; ++i) {
    const std::string name = "F" + std::to_string(i) + ".TXT";
    TSearchFile f = FileOf(name, {{TWhere::Name, 0, std::string(), name},
                                  {TWhere::Field, 0, "r", i == 3 ? word : "打合せ " + std::to_string(i)}});
    if (i == 1 || i == 3) f.Path = "/x/" + name, f.Content = TContent::Text, f.Size = i == 3 ? size : 1;
    list.push_back(f);
  }
  return list;
}

TEST(SearchIndexPortions, AnswerFromTheFilesInAndCountTheRestPending) {
  test::ScratchDir d;
  const std::string db = d / "index.db";
  {
    TSearchIndex earlier;
    ASSERT_TRUE(earlier.Open(db));
    earlier.Begin(FivePortionFiles("旧記録", 1));
    earlier.Store(1, {Line(1, "側溝工")}, std::string());
    earlier.Store(3, {Line(1, "旧記録の本文")}, std::string());
  }
  // After each portion of two: the files whose names are in, the hits, the account.
  struct TSeen {
    std::size_t In;
    std::vector<std::string> Meetings, Kept, Old;
    std::size_t Indexed, Pending;
  };
  const std::vector<TSeen> expected = {
      {2, {"F0.TXT", "F1.TXT"}, {"F1.TXT"}, {}, 2, 3},
      {4, {"F0.TXT", "F1.TXT", "F2.TXT"}, {"F1.TXT"}, {}, 3, 2},
      {5, {"F0.TXT", "F1.TXT", "F2.TXT", "F4.TXT"}, {"F1.TXT"}, {}, 4, 1},
  };
  TSearchIndex index;
  ASSERT_TRUE(index.Open(db));
  index.PortionFiles = 2;
  std::vector<TSeen> seen;
  const auto files = [&](const std::string& q) {
    std::vector<std::string> out;
    for (const TSearchHit& h : index.Find(ParseQuery(q))) out.push_back(h.File);
    return out;
  };
  index.BetweenPortions = [&](std::size_t in) {
    const TAccount a = index.Account();
    EXPECT_EQ(a.Files, 5u);
    seen.push_back({in, files("打合せ"), files("側溝工"), files("旧記録"), a.Indexed, a.Pending});
  };
  EXPECT_EQ(index.Begin(FivePortionFiles("新記録", 2)), (std::vector<std::size_t>{3}));
  ASSERT_EQ(seen.size(), expected.size());
  for (std::size_t k = 0; k < seen.size(); ++k) {
    EXPECT_EQ(seen[k].In, expected[k].In);
    EXPECT_EQ(seen[k].Meetings, expected[k].Meetings) << seen[k].In;
    EXPECT_EQ(seen[k].Kept, expected[k].Kept) << seen[k].In;
    EXPECT_EQ(seen[k].Old, expected[k].Old) << seen[k].In;
    EXPECT_EQ(seen[k].Indexed, expected[k].Indexed) << seen[k].In;
    EXPECT_EQ(seen[k].Pending, expected[k].Pending) << seen[k].In;
  }
  EXPECT_EQ(files("新記録"), (std::vector<std::string>{"F3.TXT"}));

  // Cancelled after the first portion: the rest stays out and pending.
  TSearchIndex cut;
  ASSERT_TRUE(cut.Open(std::string()));
  cut.PortionFiles = 2;
  std::atomic<bool> cancel{false};
  cut.BetweenPortions = [&](std::size_t) { cancel = true; };
  EXPECT_EQ(cut.Begin(FivePortionFiles("新記録", 2), &cancel), (std::vector<std::size_t>{1}));
  EXPECT_EQ(cut.Account().Pending, 4u);
  EXPECT_EQ(cut.Find(ParseQuery("打合せ")).size(), 2u);
}

TEST(SearchIndexPortions, PutAFileOfManyPiecesInOverSeveralAndDropItWhenCut) {
  const auto records = [](const std::string& word) {
    std::vector<TUnit> fields;
    for (int k = 1; k <= 5; ++k) fields.push_back({TWhere::Field, 0, "r", word + " " + std::to_string(k)});
    return std::vector<TSearchFile>{FileOf("MEET.XML", fields), FileOf("A.TXT", {Line(1, "打合せ")})};
  };
  TSearchIndex index;
  ASSERT_TRUE(index.Open(std::string()));
  index.PortionPieces = 2;
  std::vector<std::pair<std::size_t, std::size_t>> seen;  // hits, pending
  index.BetweenPortions = [&](std::size_t) {
    seen.emplace_back(index.Find(ParseQuery("打合せ")).size(), index.Account().Pending);
  };
  index.Begin(records("打合せ"));
  EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::size_t>>{{2, 2}, {4, 2}, {6, 0}}));

  TSearchIndex cut;
  ASSERT_TRUE(cut.Open(std::string()));
  cut.PortionPieces = 2;
  std::atomic<bool> cancel{true};
  cut.Begin(records("打合せ"), &cancel);
  EXPECT_EQ(cut.Account().Pending, 2u);
  EXPECT_TRUE(cut.Find(ParseQuery("打合せ")).empty());
  cancel = false;
  cut.Begin(records("協議"));
  EXPECT_EQ(cut.Find(ParseQuery("協議")).size(), 5u);
  EXPECT_EQ(cut.Find(ParseQuery("打合せ")).size(), 1u);
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
  std::set<std::string> recordFiles;
  for (const TSearchFile& f : files) {
    EXPECT_GE(f.Medium, lastMedium) << f.RelPath;  // media in order
    lastMedium = f.Medium;
    EXPECT_TRUE(seen.insert({f.Medium, f.RelPath}).second) << f.RelPath;  // each file once
    ASSERT_FALSE(f.Units.empty()) << f.RelPath;
    EXPECT_EQ(f.Units[0].Kind, TWhere::Name);
    EXPECT_EQ(f.Units[0].Text, ExtractFileName(f.RelPath));
    if (!f.Path.empty()) {
      EXPECT_EQ(f.Path, f.Root + f.RelPath);
    }
    if (f.RelPath == "MEET/MEET.XML") {
      EXPECT_EQ(f.Content, TContent::None);
      EXPECT_EQ(f.Medium, 1);
    }
    if (f.Content == TContent::None && f.RelPath != "INDEX_C.XML" && f.Medium == 1) {
      // A management file of records is searched in its records' fields.
      recordFiles.insert(f.RelPath);
      EXPECT_TRUE(std::any_of(f.Units.begin(), f.Units.end(), [](const TUnit& u) { return u.Kind == TWhere::Field; }))
          << f.RelPath;
    }
    if (f.RelPath == "MEET/ORG/0007_01.PDF") meet2 = &f;
  }
  EXPECT_EQ(lastMedium, 2);
  for (const char* xml : {"MEET/MEET.XML", "PLAN/PLAN.XML", "OTHRS/OTHRS.XML", "DRAWINGS/DRAWINGS.XML"})
    EXPECT_TRUE(recordFiles.count(xml)) << xml;
  // Every document of the tree that is there, at the path the tree gives it.
  std::set<std::string> paths;
  for (const TSearchFile& f : files) paths.insert(f.Path);
  std::size_t documents = 0;
  const std::function<void(TTreeItem*)> walk = [&](TTreeItem* item) {
    const std::string path = model.View.NodeLevel(item) == nlFile ? model.View.GetFileItem(item, 1) : std::string();
    if (!path.empty() && FileExists(path)) {
      ++documents;
      EXPECT_TRUE(paths.count(path)) << path;
    }
    for (int i = 0; i < item->Count(); ++i) walk(item->Item(i));
  };
  for (int i = 0; i < model.View.Tree().TopCount(); ++i) walk(model.View.Tree().TopItem(i));
  EXPECT_GT(documents, 10u);
  ASSERT_NE(meet2, nullptr);
  EXPECT_EQ(meet2->Medium, 2);
  EXPECT_EQ(meet2->Content, TContent::Pdf);
  EXPECT_NE(meet2->Root.find("MEDIA2"), std::string::npos);
}

}  // namespace
}  // namespace dlvr::search
