#include "check/report_layout.h"

namespace dlvr {

const char* const kApplicationTitle = "Quillan電子納品ビューア";

namespace {

void Frame(TReportPage& page) {
  // Outer border, the line under the header and the first column: thick.
  page.Rules.push_back({5, 4, 110, 4, 2});
  page.Rules.push_back({5, 45, 110, 45, 2});
  page.Rules.push_back({5, 4, 5, 45, 2});
  page.Rules.push_back({110, 4, 110, 45, 2});
  page.Rules.push_back({5, 5, 110, 5, 2});
  for (double x : {10.0, 20.0, 50.0, 66.0, 95.0}) page.Rules.push_back({x, 4, x, 45, 1});
  for (int y = 6; y < 45; ++y) page.Rules.push_back({5, static_cast<double>(y), 110, static_cast<double>(y), 1});
  struct Title {
    double X, W;
    const char* Text;
  };
  static const Title kTitles[] = {{5, 5, "NO."},         {10, 10, "管理項目名"}, {20, 30, "分類名"},
                                  {50, 15, "ファイル名"}, {66, 30, "項目名"},     {95, 15, "状態"}};
  for (const Title& t : kTitles) page.Texts.push_back({t.X, 4.5, t.W, t.Text, TReportText::Centre});
}

}  // namespace

std::vector<TReportPage> LayoutErrorReport(const std::vector<std::array<std::string, 5>>& errors) {
  std::vector<TReportPage> pages;
  const std::array<std::string, 5>* prev = nullptr;
  for (std::size_t i = 0; i < errors.size(); ++i) {
    int k = static_cast<int>(i % kReportRowsPerPage) + 1;
    if (k == 1) {
      pages.emplace_back();
      Frame(pages.back());
      prev = nullptr;  // the first row of every page prints every column
    }
    TReportPage& page = pages.back();
    const auto& e = errors[i];
    const double y = k + 4.5;
    bool sectionDiffers = !prev || (*prev)[0] != e[0];
    bool nameDiffers = sectionDiffers || (*prev)[1] != e[1];
    bool fileDiffers = nameDiffers || (*prev)[2] != e[2];
    page.Texts.push_back({5.5, y, 4, std::to_string(i + 1), TReportText::Right});
    if (sectionDiffers) page.Texts.push_back({10.5, y, 9, e[0]});
    if (nameDiffers) page.Texts.push_back({20.5, y, 29, e[1]});
    if (fileDiffers) page.Texts.push_back({50.5, y, 14, e[2]});
    page.Texts.push_back({66.5, y, 29, e[3]});
    page.Texts.push_back({96.5, y, 14, e[4]});
    prev = &e;
  }
  return pages;
}

}  // namespace dlvr
