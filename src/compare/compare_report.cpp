#include "compare/compare_report.h"

#include <algorithm>
#include <iterator>
#include <ostream>

#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

const char* const kChangeKindWords[] = {DLVR_TR_NOOP("CompareReport", "追加"), DLVR_TR_NOOP("CompareReport", "削除"),
                                        DLVR_TR_NOOP("CompareReport", "変更"), DLVR_TR_NOOP("CompareReport", "移動")};
const char* const kChangeWhatWords[] = {DLVR_TR_NOOP("CompareReport", "ファイル"),
                                        DLVR_TR_NOOP("CompareReport", "記録"), DLVR_TR_NOOP("CompareReport", "項目")};

struct TChangeColumn {
  double X, Width;  // of the cell, in report columns
  const char* Title;
  TReportText::Alignment Align;
};
// The table spans columns 5 to 110 like the other reports.
constexpr TChangeColumn kChangeColumns[] = {{5, 6, DLVR_TR_NOOP("CompareReport", "変更"), TReportText::Centre},
                                            {11, 7, DLVR_TR_NOOP("CompareReport", "対象"), TReportText::Centre},
                                            {18, 42, DLVR_TR_NOOP("CompareReport", "場所"), TReportText::Left},
                                            {60, 25, DLVR_TR_NOOP("CompareReport", "旧"), TReportText::Left},
                                            {85, 25, DLVR_TR_NOOP("CompareReport", "新"), TReportText::Left}};
constexpr double kChangeTableLeft = 5, kChangeTableRight = 110;
constexpr double kChangeTableTop = 6.5, kChangeTableBottom = kChangeTableTop + 1 + kCompareReportPageLines;
// The report font is 10 points: a half-width character is 5/72 inch wide,
// a report column 1/10 inch.
constexpr double kChangeColumnsPerCharacter = 10.0 * 5.0 / 72.0;

std::size_t ChangeCellCharacters(const TChangeColumn& c) {
  return static_cast<std::size_t>((c.Width - 1.5) / kChangeColumnsPerCharacter);
}

// Control characters (a value's line breaks, tabs) print as blanks.
std::string ChangePrintable(const std::string& text) {
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

std::string ChangeCsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char ch : s) {
    if (ch == '"') out.push_back('"');
    out.push_back(ch);
  }
  out.push_back('"');
  return out;
}

void ChangeReportFrame(TReportPage& page, const TCompareReportHeading& h) {
  const double left = kChangeTableLeft, right = kChangeTableRight, width = right - left;
  page.Texts.push_back({left, 1.5, width, Tr("CompareReport", "比較結果"), TReportText::Centre, 1.5});
  page.Texts.push_back({left, 3, width * 0.75,
                        Arg(Tr("CompareReport", "工事名称: %1　工事番号: %2"), {h.KojiName, h.KojiNo}),
                        TReportText::Left});
  page.Texts.push_back({left + width * 0.75, 3, width * 0.25, Arg(Tr("CompareReport", "作成日: %1"), {h.Date}),
                        TReportText::Right});
  page.Texts.push_back({left, 4, width, Arg(Tr("CompareReport", "比較元（旧）: %1"), {h.OldFolders}), TReportText::Left});
  page.Texts.push_back({left, 5, width, Arg(Tr("CompareReport", "比較先（新）: %1"), {h.NewFolders}), TReportText::Left});
  const double top = kChangeTableTop, bottom = kChangeTableBottom;
  for (double y : {top, top + 1, bottom}) page.Rules.push_back({left, y, right, y, 2});
  for (double x : {left, right}) page.Rules.push_back({x, top, x, bottom, 2});
  for (const TChangeColumn& c : kChangeColumns) {
    if (c.X != left) page.Rules.push_back({c.X, top, c.X, bottom, 1});
    page.Texts.push_back({c.X, top + 0.5, c.Width, Tr("CompareReport", c.Title), TReportText::Centre});
  }
}

}  // namespace

std::string ChangeKindText(TChangeKind kind) { return Tr("CompareReport", kChangeKindWords[static_cast<int>(kind)]); }
std::string ChangeWhatText(TChangeWhat what) { return Tr("CompareReport", kChangeWhatWords[static_cast<int>(what)]); }

void WriteChangesCsv(const std::vector<TChange>& changes, std::ostream& out) {
  for (std::size_t c = 0; c < std::size(kChangeColumns); ++c)
    out << (c ? "," : "") << ChangeCsvField(Tr("CompareReport", kChangeColumns[c].Title));
  out << "\r\n";
  for (const TChange& ch : changes)
    out << ChangeCsvField(ChangeKindText(ch.Kind)) << ',' << ChangeCsvField(ChangeWhatText(ch.What)) << ','
        << ChangeCsvField(ch.Where) << ',' << ChangeCsvField(ch.Old) << ',' << ChangeCsvField(ch.New) << "\r\n";
}

std::vector<TReportPage> LayoutCompareReport(const std::vector<TChange>& changes, const TCompareReportHeading& heading) {
  std::vector<TReportPage> pages;
  double y = kChangeTableBottom;  // no page yet: the first change opens one
  for (const TChange& ch : changes) {
    const std::string cells[] = {ChangeKindText(ch.Kind), ChangeWhatText(ch.What), ch.Where, ch.Old, ch.New};
    std::vector<std::string> wrapped[5];
    std::size_t height = 1;
    for (std::size_t c = 0; c < 5; ++c) {
      wrapped[c] = WrapReportText(ChangePrintable(cells[c]), ChangeCellCharacters(kChangeColumns[c]),
                                  kCompareReportCellLines);
      height = std::max(height, wrapped[c].size());
    }
    if (y + static_cast<double>(height) > kChangeTableBottom) {
      pages.emplace_back();
      ChangeReportFrame(pages.back(), heading);
      y = kChangeTableTop + 1;
    } else {
      // The rule between two changes of a page.
      pages.back().Rules.push_back({kChangeTableLeft, y, kChangeTableRight, y, 1});
    }
    TReportPage& page = pages.back();
    for (std::size_t c = 0; c < 5; ++c) {
      const TChangeColumn& col = kChangeColumns[c];
      for (std::size_t i = 0; i < wrapped[c].size(); ++i)
        page.Texts.push_back({col.X + 0.5, y + static_cast<double>(i) + 0.5, col.Width - 1, wrapped[c][i], col.Align});
    }
    y += static_cast<double>(height);
  }
  if (pages.empty()) {
    pages.emplace_back();
    ChangeReportFrame(pages.back(), heading);
    pages.back().Texts.push_back({kChangeTableLeft + 0.5, kChangeTableTop + 1.5,
                                  kChangeTableRight - kChangeTableLeft - 1, Tr("CompareReport", "相違はありません。"),
                                  TReportText::Left});
  }
  const std::string total = std::to_string(pages.size());
  for (std::size_t n = 0; n < pages.size(); ++n)
    pages[n].Texts.push_back({kChangeTableLeft, kChangeTableBottom + 1.5, kChangeTableRight - kChangeTableLeft,
                              std::to_string(n + 1) + " / " + total, TReportText::Centre});
  return pages;
}

}  // namespace dlvr
