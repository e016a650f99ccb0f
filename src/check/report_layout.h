// The printed error report laid out on pages, independent of any device.
// Positions are in the grid of the drawing canvas: a column is 1/10 inch and
// a line 1/6 inch, fractions allowed.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace dlvr {

// The application title, which also titles print jobs.
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
};

struct TReportPage {
  std::vector<TReportRule> Rules;
  std::vector<TReportText> Texts;
};

inline constexpr int kReportRowsPerPage = 40;

// The pages of the report of an error list (five strings per error). No
// pages for an empty list.
std::vector<TReportPage> LayoutErrorReport(const std::vector<std::array<std::string, 5>>& errors);

}  // namespace dlvr
