#include "components/drawing_canvas.h"

#include <QCoreApplication>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QPen>

namespace dlvr {
namespace {

// The program's title as the report layout keeps it, for the translation.
[[maybe_unused]] const char* const kTitleText = QT_TRANSLATE_NOOP("Application", "Quillan電子納品ビューア");

}  // namespace

QString ApplicationTitle() { return QCoreApplication::translate("Application", kApplicationTitle); }

void InstallFontSubstitutions() {
  QFont::insertSubstitutions(QStringLiteral("ＭＳ 明朝"),
                             {QStringLiteral("IPAMincho"), QStringLiteral("IPA明朝"), QStringLiteral("Noto Serif CJK JP")});
  QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                             {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans CJK JP")});
  QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                             {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
}

QFont ReportFont() {
  QFont f(QStringLiteral("ＭＳ 明朝"));
  f.setPointSizeF(10);
  return f;
}

TDrawingCanvas::TDrawingCanvas(QPainter& painter, double dpiX, double dpiY)
    : painter_(painter), dpiX_(dpiX), dpiY_(dpiY) {}

void TDrawingCanvas::SetFont(const QFont& font) { painter_.setFont(font); }

void TDrawingCanvas::Line(double col1, double line1, double col2, double line2, int width) {
  // Line widths are in points (a thick rule is 2/72 inch wide).
  QPen pen(Qt::black);
  pen.setWidthF(width * dpiX_ / 72.0 * 0.75);
  pen.setCapStyle(Qt::SquareCap);
  painter_.setPen(pen);
  painter_.drawLine(QPointF(X(col1), Y(line1)), QPointF(X(col2), Y(line2)));
}

void TDrawingCanvas::Text(const TReportText& t) {
  QRectF box(X(t.X), Y(t.Y - 0.5), X(t.Width), Y(1));
  int align = Qt::AlignVCenter | (t.Align == TReportText::Centre  ? Qt::AlignHCenter
                                  : t.Align == TReportText::Right ? Qt::AlignRight
                                                                  : Qt::AlignLeft);
  painter_.save();
  painter_.setPen(Qt::black);
  if (t.Scale != 1) {
    QFont font = painter_.font();
    font.setPointSizeF(font.pointSizeF() * t.Scale);
    painter_.setFont(font);
    box.adjust(0, -Y(t.Scale - 1) / 2, 0, Y(t.Scale - 1) / 2);
  }
  painter_.setClipRect(box);
  painter_.drawText(box, align, QString::fromStdString(t.Text));
  painter_.restore();
}

void TDrawingCanvas::DrawPage(const TReportPage& page) {
  for (const TReportRule& r : page.Rules) Line(r.X1, r.Y1, r.X2, r.Y2, r.Width);
  for (const TReportText& t : page.Texts) Text(t);
}

bool PaintReportPages(QPagedPaintDevice& device, const std::vector<TReportPage>& pages) {
  if (pages.empty()) return true;
  QPainter painter;
  if (!painter.begin(&device)) return false;
  TDrawingCanvas canvas(painter, device.logicalDpiX(), device.logicalDpiY());
  canvas.SetFont(ReportFont());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (i > 0 && !device.newPage()) {
      painter.end();
      return false;
    }
    canvas.DrawPage(pages[i]);
  }
  return painter.end();
}

bool PaintErrorReport(QPagedPaintDevice& device, const std::vector<std::array<std::string, 5>>& errors) {
  return PaintReportPages(device, LayoutErrorReport(errors));
}

bool WriteReportPdf(const QString& path, const std::vector<TReportPage>& pages, const QString& title) {
  // Written beside the file and renamed over it: a file that shares its
  // data with another (a hard link into a delivery) is replaced, never
  // written through, and a failed report leaves the old file as it was.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  {
    QPdfWriter writer(&file);
    writer.setTitle(title);
    writer.setCreator(ApplicationTitle());
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
    if (!PaintReportPages(writer, pages)) {
      file.cancelWriting();
      return false;
    }
  }
  return file.commit();
}

bool WriteErrorReportPdf(const QString& path, const std::vector<std::array<std::string, 5>>& errors) {
  return WriteReportPdf(path, LayoutErrorReport(errors), ApplicationTitle());
}

}  // namespace dlvr
