// The list of changes between two deliveries as a report: a CSV file for
// spreadsheets, and printed pages laid out independently of any device (the
// drawing canvas paints them, as it paints the error report). Texts are in
// the user's language (context "CompareReport").
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "check/report_layout.h"
#include "compare/delivery_diff.h"

namespace dlvr {

// What a change is and what it is of, in the user's language ("追加",
// "ファイル").
std::string ChangeKindText(TChangeKind kind);
std::string ChangeWhatText(TChangeWhat what);

// RFC 4180 with CR LF line ends: a header row (変更, 対象, 場所, 旧, 新 in the
// user's language), then one change a row in the list's order.
void WriteChangesCsv(const std::vector<TChange>& changes, std::ostream& out);

// What heads every page of the printed report.
struct TCompareReportHeading {
  std::string KojiName;    // 工事名称 (NEW's)
  std::string KojiNo;      // 工事番号 (NEW's)
  std::string OldFolders;  // the earlier delivery's folders, as shown
  std::string NewFolders;  // the resubmission's folders
  std::string Date;        // the date printed, as given ("2026-12-09")
};

// The printed report (A4 landscape, the grid of report_layout.h): on every
// page the title 比較結果, 工事名称 and 工事番号, both deliveries' folders and
// the date over a table of the changes (変更, 対象, 場所, 旧, 新) and "n / N"
// under it. Long texts wrap in their column (at most
// kCompareReportCellLines lines, the last cut with "…"); a change is never
// split across two pages. With no change, one page that says so.
inline constexpr int kCompareReportCellLines = 4;
inline constexpr int kCompareReportPageLines = 38;  // table lines on a page
std::vector<TReportPage> LayoutCompareReport(const std::vector<TChange>& changes, const TCompareReportHeading& heading);

}  // namespace dlvr
