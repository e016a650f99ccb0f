// A drawing canvas in the grid of the printed reports (a column is 1/10
// inch, a line 1/6 inch) over a QPainter, and the error report printed with
// it on any paged device: a printer or a PDF file.
#pragma once

#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QString>

#include <array>
#include <string>
#include <vector>

#include "check/report_layout.h"

namespace dlvr {

// The program's title in the user's language (window captions, message
// boxes, printed and exported documents).
QString ApplicationTitle();

// Maps the font names the system's texts use to the fonts installed here
// ("ＭＳ 明朝" to IPAMincho, "ＭＳ ゴシック" to IPAGothic, ...). Call once
// after the application object exists.
void InstallFontSubstitutions();

class TDrawingCanvas {
 public:
  // Positions count from the paper's corner; `dpiX`/`dpiY` are the
  // device's resolution.
  TDrawingCanvas(QPainter& painter, double dpiX, double dpiY);

  void SetFont(const QFont& font);
  void Line(double col1, double line1, double col2, double line2, int width);
  void Text(const TReportText& text);
  void DrawPage(const TReportPage& page);

  double X(double col) const { return col * dpiX_ / 10.0; }
  double Y(double line) const { return line * dpiY_ / 6.0; }

 private:
  QPainter& painter_;
  double dpiX_, dpiY_;
};

// The report's default font: "ＭＳ 明朝" at 10 points.
QFont ReportFont();

// Paints report pages on a paged device set to A4 landscape, one report
// page per device page. Returns false (with the job left for the caller to
// abort) when painting could not start.
bool PaintReportPages(QPagedPaintDevice& device, const std::vector<TReportPage>& pages);

// Writes report pages as a PDF file with that title, beside the file and
// renamed over it. Returns false when the file cannot be written.
bool WriteReportPdf(const QString& path, const std::vector<TReportPage>& pages, const QString& title);

// Prints the report of an error list on a paged device set to A4
// landscape, one report page per device page. Returns false (with the job
// left for the caller to abort) when painting could not start.
bool PaintErrorReport(QPagedPaintDevice& device, const std::vector<std::array<std::string, 5>>& errors);

// Writes the report as a PDF file titled with the application title.
// Returns false when the file cannot be written.
bool WriteErrorReportPdf(const QString& path, const std::vector<std::array<std::string, 5>>& errors);

}  // namespace dlvr
