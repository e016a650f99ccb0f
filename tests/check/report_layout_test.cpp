#include <gtest/gtest.h>

#include <algorithm>

#include "check/report_layout.h"

namespace dlvr {
namespace {

using Errors = std::vector<std::array<std::string, 5>>;

// The texts of a page on one report row (line k + 4.5), by column.
std::vector<std::pair<double, std::string>> Row(const TReportPage& page, int k) {
  std::vector<std::pair<double, std::string>> out;
  for (const TReportText& t : page.Texts)
    if (t.Y == k + 4.5) out.emplace_back(t.X, t.Text);
  std::sort(out.begin(), out.end());
  return out;
}

Errors SameRecord(int n) {
  Errors e;
  for (int i = 0; i < n; ++i) e.push_back({"打合せ簿管理", "協議", "MEET.XML", "項目" + std::to_string(i), "情報未記入"});
  return e;
}

TEST(ReportLayout, FortyOneErrorsMakeTwoPagesAndEachPageStartsWhole) {
  auto pages = LayoutErrorReport(SameRecord(41));
  ASSERT_EQ(pages.size(), 2u);
  // Page 1: the first row prints every column, the next ones only number,
  // item and state.
  EXPECT_EQ(Row(pages[0], 1).size(), 6u);
  auto second = Row(pages[0], 2);
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(second[0], (std::pair<double, std::string>{5.5, "2"}));
  EXPECT_EQ(second[1], (std::pair<double, std::string>{66.5, "項目1"}));
  EXPECT_EQ(second[2], (std::pair<double, std::string>{96.5, "情報未記入"}));
  EXPECT_EQ(Row(pages[0], 40).size(), 3u);
  EXPECT_TRUE(Row(pages[0], 41).empty());
  // Page 2: one row, every column, numbered on from page 1.
  auto only = Row(pages[1], 1);
  ASSERT_EQ(only.size(), 6u);
  EXPECT_EQ(only[0].second, "41");
  EXPECT_EQ(only[1], (std::pair<double, std::string>{10.5, "打合せ簿管理"}));
  EXPECT_EQ(only[2], (std::pair<double, std::string>{20.5, "協議"}));
  EXPECT_EQ(only[3], (std::pair<double, std::string>{50.5, "MEET.XML"}));
}

TEST(ReportLayout, RepeatsAreSuppressedColumnByColumn) {
  Errors e = {{"打合せ簿管理", "協議", "MEET.XML", "a", "x"},
              {"打合せ簿管理", "協議", "0001_01.PDF", "b", "x"},   // file differs
              {"打合せ簿管理", "承諾", "0001_01.PDF", "c", "x"},   // name differs: file printed again
              {"施工計画書管理", "承諾", "0001_01.PDF", "d", "x"}}; // section differs: everything
  auto pages = LayoutErrorReport(e);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(Row(pages[0], 2).size(), 4u);
  EXPECT_EQ(Row(pages[0], 2)[1].first, 50.5);
  EXPECT_EQ(Row(pages[0], 3).size(), 5u);
  EXPECT_EQ(Row(pages[0], 4).size(), 6u);
}

TEST(ReportLayout, FrameAndHeaderOnEveryPage) {
  // One page, two full pages and a third with one row: each page has the
  // whole frame and the column titles, however few rows it carries.
  const std::vector<std::string> titles = {"NO.", "管理項目名", "分類名", "ファイル名", "項目名", "状態"};
  for (int errors : {1, 81}) {
    auto pages = LayoutErrorReport(SameRecord(errors));
    ASSERT_EQ(pages.size(), errors == 1 ? 1u : 3u);
    for (std::size_t n = 0; n < pages.size(); ++n) {
      SCOPED_TRACE(std::to_string(errors) + " errors, page " + std::to_string(n + 1));
      const TReportPage& p = pages[n];
      int thick = 0, thin = 0;
      for (const TReportRule& r : p.Rules) (r.Width == 2 ? thick : thin)++;
      EXPECT_EQ(thick, 5);
      EXPECT_EQ(thin, 5 + 39);  // five column separators, row lines 6..44 (45 is the border)
      std::vector<std::string> header;
      for (const auto& [x, text] : Row(p, 0)) header.push_back(text);
      EXPECT_EQ(header, titles);
    }
  }
  EXPECT_TRUE(LayoutErrorReport({}).empty());
}

}  // namespace
}  // namespace dlvr
