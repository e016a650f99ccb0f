// The report of the changes: the CSV file and the printed pages.
#include "compare/compare_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace dlvr {
namespace {

TChange MakeChange(TChangeKind kind, TChangeWhat what, std::string where, std::string old = "", std::string now = "") {
  TChange c;
  c.Kind = kind;
  c.What = what;
  c.Where = std::move(where);
  c.Old = std::move(old);
  c.New = std::move(now);
  return c;
}

TEST(CompareReport, CsvQuotesWhatNeedsItAndEndsLinesWithCrLf) {
  std::ostringstream out;
  WriteChangesCsv({MakeChange(TChangeKind::Changed, TChangeWhat::Field, "INDEX_C.XML / 工事名称", "A,B", "say \"C\"\nD"),
                   MakeChange(TChangeKind::Moved, TChangeWhat::File, "B.PDF", "A.PDF", "B.PDF")},
                  out);
  EXPECT_EQ(out.str(),
            "変更,対象,場所,旧,新\r\n"
            "変更,項目,INDEX_C.XML / 工事名称,\"A,B\",\"say \"\"C\"\"\nD\"\r\n"
            "移動,ファイル,B.PDF,A.PDF,B.PDF\r\n");
}

// Every text of a page by the line it stands on.
std::multimap<double, std::string> TextsByLine(const TReportPage& page) {
  std::multimap<double, std::string> texts;
  for (const TReportText& t : page.Texts) texts.emplace(t.Y, t.Text);
  return texts;
}

bool PageHolds(const TReportPage& page, const std::string& text) {
  for (const TReportText& t : page.Texts)
    if (t.Text.find(text) != std::string::npos) return true;
  return false;
}

TEST(CompareReport, PagesCarryTheHeadingEveryChangeOnceAndNeverSplitOne) {
  const TCompareReportHeading heading{"見本工事", "2023-0123", "/old/MEDIA1", "/new/MEDIA1, /new/MEDIA2", "2026-12-09"};
  std::vector<TChange> changes;
  for (int i = 0; i < 120; ++i) {
    // Every seventh change has a value long enough to wrap over four lines.
    const std::string value = i % 7 == 0 ? std::string(300, 'x') + "END" + std::to_string(i) : "v" + std::to_string(i);
    changes.push_back(MakeChange(TChangeKind::Changed, TChangeWhat::Field, "打合せ簿 / 記録" + std::to_string(i) + " / 名称",
                                 "old", value));
  }
  const std::vector<TReportPage> pages = LayoutCompareReport(changes, heading);
  ASSERT_GE(pages.size(), 4u);
  std::map<std::string, int> seen;
  for (std::size_t n = 0; n < pages.size(); ++n) {
    const TReportPage& page = pages[n];
    for (const char* text : {"比較結果", "見本工事", "2023-0123", "/old/MEDIA1", "/new/MEDIA1, /new/MEDIA2", "2026-12-09"})
      EXPECT_TRUE(PageHolds(page, text)) << "page " << n + 1 << " lacks " << text;
    EXPECT_TRUE(PageHolds(page, std::to_string(n + 1) + " / " + std::to_string(pages.size())));
    // The table's columns are ruled apart from top to bottom.
    for (double x : {5.0, 11.0, 18.0, 60.0, 85.0, 110.0})
      EXPECT_TRUE(std::any_of(page.Rules.begin(), page.Rules.end(), [x](const TReportRule& r) {
        return r.X1 == x && r.X2 == x && r.Y2 - r.Y1 == 1 + kCompareReportPageLines;
      })) << "page " << n + 1 << " lacks the rule at column " << x;
    for (const TReportText& t : page.Texts) {
      if (t.Text.rfind("打合せ簿 / 記録", 0) == 0) ++seen[t.Text];
      // A long value is cut on its last line, and that line on the same page.
      if (t.Text.find("…") != std::string::npos) {
        EXPECT_LE(t.Y, 6.5 + 1 + kCompareReportPageLines);
      }
    }
  }
  EXPECT_EQ(seen.size(), changes.size());
  for (const auto& [text, count] : seen) EXPECT_EQ(count, 1) << text;
  // A wrapped change keeps its four lines together on one page.
  for (const TReportPage& page : pages) {
    const auto texts = TextsByLine(page);
    for (const auto& [y, text] : texts)
      if (text.rfind("xxxx", 0) == 0 && text.find("…") == std::string::npos) {
        EXPECT_EQ(texts.count(y + 1), 1u) << "a wrapped value's next line is not on its page";
      }
  }
}

TEST(CompareReport, NoChangeIsOnePageThatSaysSo) {
  const std::vector<TReportPage> pages = LayoutCompareReport({}, {"工事", "1", "/a", "/b", "2026-12-09"});
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(PageHolds(pages[0], "相違はありません。"));
  EXPECT_TRUE(PageHolds(pages[0], "1 / 1"));
}

}  // namespace
}  // namespace dlvr
