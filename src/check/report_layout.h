// The printed error report laid out on pages, independent of any device.
// Positions are in the grid of the drawing canvas: a column is 1/10 inch and
// a line 1/6 inch, fractions allowed.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "check/extended_check.h"
#include "platform/translate.h"

namespace dlvr {

// The application title, which also titles print jobs (as written; shown
// through Tr("ReportLayout", kApplicationTitle)).
extern const char* const kApplicationTitle;

struct TReportRule {
  double X1, Y1, X2, Y2;  // columns, lines
  int Width;              // 1 thin, 2 thick
};

struct TReportText {
  double X, Y;  // left column, the line the text is centred on
  double Width; // in columns; the text is clipped to it
  std::string Text;
  enum Alignment { Left, Centre, Right } Align = Left;
  double Scale = 1;  // of the report font's size
};

struct TReportPage {
  std::vector<TReportRule> Rules;
  std::vector<TReportText> Texts;
};

inline constexpr int kReportRowsPerPage = 40;

// The pages of the report of an error list (five strings per error), its
// headings in the user's language. No pages for an empty list.
std::vector<TReportPage> LayoutErrorReport(const std::vector<std::array<std::string, 5>>& errors);

// The report of the full delivery check: its title and the count of errors
// and warnings over a table of the findings (重要度, メディア,
// ファイル・フォルダ, 規則, 内容) and "n / N" under it. Long texts wrap in
// their column (at most kFindingReportLines lines, the last cut with "…");
// a finding is never split across two pages. Control characters print as
// spaces. No pages for an empty list.
inline constexpr int kFindingReportLines = 6;
inline constexpr int kFindingReportPageLines = 40;  // table lines on a page
// A stopped check's report says so after its counts.
std::vector<TReportPage> LayoutFindingReport(const std::vector<TFinding>& findings, bool stopped = false);

// "エラー 2 件、警告 1 件", with "、情報 n 件" when there is information (in
// the user's language).
std::string FindingCountText(const std::vector<TFinding>& findings);
// What a stopped check's findings are labelled with: "（中止しました）" as
// written, and in the user's language.
inline constexpr const char* kStoppedNote = DLVR_TR_NOOP("ReportLayout", "（中止しました）");
std::string StoppedNote();

// Lines of at most `width` display columns (a double-byte character of
// Shift-JIS takes two), broken after a space or '/' in the second half of
// a line, else anywhere; at most `most` lines, the last cut with "…".
std::vector<std::string> WrapReportText(const std::string& text, std::size_t width, std::size_t most);

}  // namespace dlvr
