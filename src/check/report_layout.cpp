#include "check/report_layout.h"

#include <algorithm>

#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {

const char* const kApplicationTitle = DLVR_TR_NOOP("ReportLayout", "Quillan電子納品ビューア");

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
  static const Title kTitles[] = {{5, 5, DLVR_TR_NOOP("ReportLayout", "NO.")},
                                  {10, 10, DLVR_TR_NOOP("ReportLayout", "管理項目名")},
                                  {20, 30, DLVR_TR_NOOP("ReportLayout", "分類名")},
                                  {50, 15, DLVR_TR_NOOP("ReportLayout", "ファイル名")},
                                  {66, 30, DLVR_TR_NOOP("ReportLayout", "項目名")},
                                  {95, 15, DLVR_TR_NOOP("ReportLayout", "状態")}};
  for (const Title& t : kTitles) page.Texts.push_back({t.X, 4.5, t.W, Tr("ReportLayout", t.Text), TReportText::Centre});
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

namespace dlvr {
namespace {

// Display columns of one character: a double-byte character of Shift-JIS
// takes two, as does any other character beyond ASCII that it cannot hold.
std::size_t DisplayColumns(char32_t cp) {
  if (cp < 0x80) return 1;
  return IsCp932Char(cp) ? Cp932CharLength(cp) : 2;
}

struct TFindingColumn {
  double X, Width;  // of the cell, in report columns
  const char* Title;
  TReportText::Alignment Align;
};
// The table spans columns 5 to 110 like the data check's report.
constexpr TFindingColumn kFindingColumns[] = {{5, 6, DLVR_TR_NOOP("ReportLayout", "重要度"), TReportText::Left},
                                              {11, 7, DLVR_TR_NOOP("ReportLayout", "メディア"), TReportText::Centre},
                                              {18, 32, DLVR_TR_NOOP("ReportLayout", "ファイル・フォルダ"), TReportText::Left},
                                              {50, 17, DLVR_TR_NOOP("ReportLayout", "規則"), TReportText::Left},
                                              {67, 43, DLVR_TR_NOOP("ReportLayout", "内容"), TReportText::Left}};
constexpr double kFindingTableTop = 4, kFindingTableBottom = kFindingTableTop + 1 + kFindingReportPageLines;
// The report font is 10 points: a half-width character is 5 points wide,
// 5/72 inch, and a report column 1/10 inch.
constexpr double kColumnsPerCharacter = 10.0 * 5.0 / 72.0;

std::size_t CharactersIn(const TFindingColumn& c) {
  // The text box leaves half a column either side; half a column more
  // keeps a line of full-width characters clear of the rule.
  return static_cast<std::size_t>((c.Width - 1.5) / kColumnsPerCharacter);
}

void FindingFrame(TReportPage& page, const std::string& counts) {
  const double left = kFindingColumns[0].X, right = 110, top = kFindingTableTop, bottom = kFindingTableBottom;
  page.Texts.push_back({left, 2, right - left, Tr("ReportLayout", "電子納品チェック結果"), TReportText::Centre, 1.5});
  page.Texts.push_back({left, 3.3, right - left, counts, TReportText::Right});
  for (double y : {top, top + 1, bottom}) page.Rules.push_back({left, y, right, y, 2});
  for (double x : {left, right}) page.Rules.push_back({x, top, x, bottom, 2});
  for (const TFindingColumn& c : kFindingColumns) {
    if (c.X != left) page.Rules.push_back({c.X, top, c.X, bottom, 1});
    page.Texts.push_back({c.X, top + 0.5, c.Width, Tr("ReportLayout", c.Title), TReportText::Centre});
  }
}

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t from = pos;
    const char32_t cp = NextCodePoint(text, pos);
    if (cp < 0x20 || cp == 0x7F)
      out.push_back(' ');
    else
      out.append(text, from, pos - from);
  }
  return out;
}

}  // namespace

std::vector<std::string> WrapReportText(const std::string& text, std::size_t width, std::size_t most) {
  std::vector<std::string> lines;
  if (width < 2 || most == 0) return lines;
  std::string line;
  std::size_t used = 0;                     // columns of `line`
  std::size_t breakAt = 0, breakUsed = 0;   // bytes and columns of `line` up to its last break (0: none)
  bool cut = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t from = pos;
    const char32_t cp = NextCodePoint(text, pos);
    const std::size_t w = DisplayColumns(cp);
    if (used + w > width) {
      if (lines.size() + 1 == most) {
        cut = true;
        break;
      }
      std::string rest;
      if (breakAt > 0 && breakUsed * 2 >= used) {
        rest = line.substr(breakAt);
        line.resize(breakAt);
        used -= breakUsed;
      } else {
        used = 0;
      }
      lines.push_back(std::move(line));
      line = std::move(rest);
      breakAt = breakUsed = 0;
    }
    line.append(text, from, pos - from);
    used += w;
    if (cp == ' ' || cp == '/') {
      breakAt = line.size();
      breakUsed = used;
    }
  }
  if (cut) {
    // The last line ends with "…" (two columns) within the width.
    std::string kept;
    std::size_t keptUsed = 0;
    for (std::size_t p = 0; p < line.size();) {
      const std::size_t from = p;
      const std::size_t w = DisplayColumns(NextCodePoint(line, p));
      if (keptUsed + w + 2 > width) break;
      kept.append(line, from, p - from);
      keptUsed += w;
    }
    line = kept + "…";
  }
  lines.push_back(std::move(line));
  return lines;
}

std::string FindingCountText(const std::vector<TFinding>& findings) {
  std::size_t errors = 0, warnings = 0;
  for (const TFinding& f : findings) {
    errors += f.Severity == TSeverity::Error;
    warnings += f.Severity == TSeverity::Warning;
  }
  const std::size_t infos = findings.size() - errors - warnings;
  if (!infos)
    return Arg(Tr("ReportLayout", "エラー %1 件、警告 %2 件"), {std::to_string(errors), std::to_string(warnings)});
  return Arg(Tr("ReportLayout", "エラー %1 件、警告 %2 件、情報 %3 件"),
             {std::to_string(errors), std::to_string(warnings), std::to_string(infos)});
}

std::string StoppedNote() { return Tr("ReportLayout", kStoppedNote); }

std::vector<TReportPage> LayoutFindingReport(const std::vector<TFinding>& findings, bool stopped) {
  std::vector<TReportPage> pages;
  if (findings.empty()) return pages;
  const std::string counts = FindingCountText(findings) + (stopped ? StoppedNote() : std::string());
  double y = kFindingTableBottom;  // no page yet: the first finding opens one
  for (const TFinding& f : findings) {
    const std::string cells[] = {SeverityName(f.Severity), f.Medium, f.Path, f.Rule, f.Found};
    std::vector<std::string> wrapped[5];
    std::size_t height = 1;
    for (std::size_t c = 0; c < 5; ++c) {
      wrapped[c] = WrapReportText(Printable(cells[c]), CharactersIn(kFindingColumns[c]), kFindingReportLines);
      height = std::max(height, wrapped[c].size());
    }
    if (y + static_cast<double>(height) > kFindingTableBottom) {
      pages.emplace_back();
      FindingFrame(pages.back(), counts);
      y = kFindingTableTop + 1;
    } else {
      // The rule between two findings of a page.
      pages.back().Rules.push_back({kFindingColumns[0].X, y, 110, y, 1});
    }
    TReportPage& page = pages.back();
    for (std::size_t c = 0; c < 5; ++c) {
      const TFindingColumn& col = kFindingColumns[c];
      for (std::size_t i = 0; i < wrapped[c].size(); ++i)
        page.Texts.push_back({col.X + 0.5, y + static_cast<double>(i) + 0.5, col.Width - 1, wrapped[c][i], col.Align});
    }
    y += static_cast<double>(height);
  }
  const std::string total = std::to_string(pages.size());
  for (std::size_t n = 0; n < pages.size(); ++n)
    pages[n].Texts.push_back({kFindingColumns[0].X, kFindingTableBottom + 1.5, 105,
                              std::to_string(n + 1) + " / " + total, TReportText::Centre});
  return pages;
}

}  // namespace dlvr
