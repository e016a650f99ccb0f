#include "components/drawing_render.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPdfWriter>
#include <QSysInfo>

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "components/drawing_render_internal.h"

// A drawing written to a file: the SVG document, a PNG painted and written
// a band of rows at a time through libpng, a PDF page; the paper they use.

namespace dlvr {

using namespace drawing_detail;

namespace {

// The largest PNG written: A0 at 1200 dpi fits.
constexpr double kMaxPngSide = 65535, kMaxPngPixels = 2.5e9;

QString Hex(QColor c) { return c.name(QColor::HexRgb); }

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", std::abs(v) < 5e-4 ? 0.0 : v);
  return buf;
}

}  // namespace

std::string TDrawingScene::Svg() const {
  const sxf::TDrawing& d = *drawing_;
  const double w = sheet_.width(), h = sheet_.height();
  // Sheet millimetres (y up) onto the SVG's (y down, origin at the sheet's corner).
  const QTransform toSvg(1, 0, 0, -1, -sheet_.left(), sheet_.bottom());
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(w) + "mm\" height=\"" + Num(h) +
         "mm\" viewBox=\"0 0 " + Num(w) + " " + Num(h) + "\">\n";
  out += "<rect x=\"0\" y=\"0\" width=\"" + Num(w) + "\" height=\"" + Num(h) + "\" fill=\"" +
         Hex(Paper()).toStdString() + "\"/>\n";
  auto escape = [](const QString& s) {
    std::string r;
    for (char c : s.toStdString()) {
      if (c == '<') r += "&lt;";
      else if (c == '>') r += "&gt;";
      else if (c == '&') r += "&amp;";
      else if (c == '"') r += "&quot;";
      else r += c;
    }
    return r;
  };
  auto points = [&](const std::vector<QPointF>& pts) {
    std::string s;
    for (QPointF q : pts) {
      q = toSvg.map(q);
      s += Num(q.x()) + "," + Num(q.y()) + " ";
    }
    if (!s.empty()) s.pop_back();
    return s;
  };
  int clip = 0;
  for (const TGroup& g : groups_) {
    if (!LayerShown(g.Layer)) continue;
    for (const std::uint32_t k : g.FileOrder) {
      const TPrimitive& p = d.Primitives[std::size_t(g.Items[k].Index)];
      const std::string ink = Hex(Ink(DrawingColour(d, p))).toStdString();
      const double width = std::isfinite(p.Width) && p.Width > 0 ? std::min(p.Width, 10.0) : 0.13;
      std::string stroke = " fill=\"none\" stroke=\"" + ink + "\" stroke-width=\"" + Num(width) + "\"";
      if (p.LineType >= 0 && std::size_t(p.LineType) < d.LineTypes.size()) {
        std::string dash;
        for (double v : d.LineTypes[std::size_t(p.LineType)].Pitches)
          if (std::isfinite(v) && v >= 0) dash += (dash.empty() ? "" : ",") + Num(v);
        if (!dash.empty()) stroke += " stroke-dasharray=\"" + dash + "\"";
      }
      switch (p.Kind) {
        case TKind::Point: {
          if (p.Points.empty()) break;
          const QPointF c = toSvg.map(Q(p.Points[0]));
          out += "<circle cx=\"" + Num(c.x()) + "\" cy=\"" + Num(c.y()) + "\" r=\"0.3\" fill=\"" + ink + "\"/>\n";
          break;
        }
        case TKind::Text: {
          const TTextFrame f = TextFrame(p);
          if (f.Count == 0 || f.CellHeight <= 0) break;
          const QFont font = FontFor(p.Font);
          const QFontMetricsF fm(font);
          const double sy = f.CellHeight / std::max(1.0, fm.ascent() + fm.descent());
          const QStringList chars = Characters(Utf8(p.Text()));
          for (int i = 0; i < chars.size(); ++i) {
            if (chars[i].trimmed().isEmpty()) continue;
            const double adv = fm.horizontalAdvance(chars[i]);
            const double sx = adv > 0 ? f.CellWidth / adv : 0;
            const QPointF base = f.Origin + f.Step * i + f.Up * (fm.descent() * sy);
            const QTransform m = QTransform(sx * f.Along.x(), sx * f.Along.y(), -sy * f.Up.x(), -sy * f.Up.y(),
                                            base.x(), base.y()) * toSvg;
            out += "<text transform=\"matrix(" + Num(m.m11()) + " " + Num(m.m12()) + " " + Num(m.m21()) + " " +
                   Num(m.m22()) + " " + Num(m.dx()) + " " + Num(m.dy()) + ")\" font-family=\"" +
                   escape(font.family()) + "\" font-size=\"" + std::to_string(kGlyphPixels) + "\" fill=\"" + ink +
                   "\">" + escape(chars[i]) + "</text>\n";
          }
          break;
        }
        case TKind::Hatch: {
          if (p.Points.size() < 3) break;
          std::string dpath;
          auto ring = [&](std::span<const sxf::TPoint> r) {
            std::vector<QPointF> pts;
            for (const auto& q : r) pts.push_back(Q(q));
            if (pts.size() >= 2) dpath += "M" + points(pts) + "Z";
          };
          ring(p.Points);
          for (const auto& hole : p.Holes()) ring(hole);
          if (p.Solid) {
            out += "<path d=\"" + dpath + "\" fill-rule=\"evenodd\" fill=\"" + ink + "\"/>\n";
            break;
          }
          if (p.PatternLines().empty()) {
            out += "<path d=\"" + dpath + "\" fill-rule=\"evenodd\" fill=\"" + ink + "\" fill-opacity=\"0.25\"" +
                   " stroke=\"" + ink + "\" stroke-width=\"" + Num(width) + "\"/>\n";
            break;
          }
          const std::string id = "h" + std::to_string(++clip);
          out += "<clipPath id=\"" + id + "\"><path d=\"" + dpath + "\" clip-rule=\"evenodd\"/></clipPath>\n";
          out += "<g clip-path=\"url(#" + id + ")\" stroke=\"" + ink + "\" stroke-width=\"" + Num(width) + "\">";
          for (const QLineF& l : PatternLines(p, HatchPath(p).boundingRect(), 0.05)) {
            const QLineF m = toSvg.map(l);
            out += "<line x1=\"" + Num(m.x1()) + "\" y1=\"" + Num(m.y1()) + "\" x2=\"" + Num(m.x2()) + "\" y2=\"" +
                   Num(m.y2()) + "\"/>";
          }
          out += "</g>\n";
          break;
        }
        default: {
          std::vector<QPointF> pts;
          bool closed = false;
          Outline(p, 0.01, pts, closed);
          if (pts.size() < 2) break;
          out += std::string(closed ? "<polygon" : "<polyline") + " points=\"" + points(pts) + "\"" + stroke + "/>\n";
        }
      }
    }
  }
  out += "</svg>\n";
  return out;
}

namespace {

// A PNG is painted and written a band of rows at a time: a band's rows
// take at most this many bytes, whatever the size of the whole (every
// sheet up to A0 at 150 dpi is one band, painted exactly as a whole).
constexpr qsizetype kPngBandBytes = 160 << 20;

// libpng reports a failure by jumping back to the setjmp of the call that
// met it; these steps hold nothing that needs destroying in between.
struct TPngOut {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  QFile* File = nullptr;
};

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<TPngOut*>(png_get_io_ptr(png));
  if (out->File->write(reinterpret_cast<const char*>(data), qint64(n)) != qint64(n)) png_error(png, "write");
}

void PngFlush(png_structp) {}

// The header: 8-bit RGB, the resolution in dots per metre; rows come as the
// image's 32-bit pixels (blue, green, red, unused in memory).
bool PngBegin(TPngOut& out, int w, int h, int dotsPerMetre) {
  if (setjmp(png_jmpbuf(out.Png))) return false;
  png_set_write_fn(out.Png, &out, PngWrite, PngFlush);
  png_set_IHDR(out.Png, out.Info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(out.Png, out.Info, png_uint_32(dotsPerMetre), png_uint_32(dotsPerMetre), PNG_RESOLUTION_METER);
  png_write_info(out.Png, out.Info);
  if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
    png_set_bgr(out.Png);
    png_set_filler(out.Png, 0, PNG_FILLER_AFTER);
  } else {
    png_set_filler(out.Png, 0, PNG_FILLER_BEFORE);
  }
  return true;
}

bool PngRows(TPngOut& out, png_bytepp rows, int n) {
  if (setjmp(png_jmpbuf(out.Png))) return false;
  png_write_rows(out.Png, rows, png_uint_32(n));
  return true;
}

bool PngEnd(TPngOut& out) {
  if (setjmp(png_jmpbuf(out.Png))) return false;
  png_write_end(out.Png, out.Info);
  return true;
}

}  // namespace

bool WritePngInBands(const TDrawingScene& scene, const QString& path, int w, int h, int dpi, QString* error,
                     int bandRows) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  const qsizetype stride = qsizetype(w) * 4;
  const int rows = bandRows > 0 ? std::min(bandRows, h) : int(std::clamp<qsizetype>(kPngBandBytes / stride, 1, h));
  QImage band(w, rows, QImage::Format_RGB32);
  if (band.isNull()) return fail(QStringLiteral("out of memory"));
  std::vector<png_bytep> lines(std::size_t(rows), nullptr);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fail(file.errorString());
  TPngOut out;
  out.File = &file;
  out.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (out.Png) out.Info = png_create_info_struct(out.Png);
  if (!out.Info) {
    png_destroy_write_struct(&out.Png, nullptr);
    return fail(QStringLiteral("out of memory"));
  }
  bool ok = PngBegin(out, w, h, int(std::lround(dpi / 0.0254)));
  const QTransform fit = TDrawingScene::FitTransform(scene.SheetRect(), QRectF(0, 0, w, h));
  for (int top = 0; ok && top < h; top += rows) {
    // Each band is the whole picture's rows [top, top + n), painted as the
    // whole would be, moved up by whole pixels. (The toolkit cuts a stroke
    // at the edge of the image it paints: smoothed edges and dash patterns
    // of strokes across a band's edge may differ slightly from the whole's.)
    const int n = std::min(rows, h - top);
    {
      QPainter painter(&band);
      scene.Paint(painter, fit * QTransform::fromTranslate(0, -top), QRectF(0, 0, w, n), false);
    }
    for (int y = 0; y < n; ++y) lines[std::size_t(y)] = band.scanLine(y);
    ok = PngRows(out, lines.data(), n);
  }
  ok = ok && PngEnd(out);
  png_destroy_write_struct(&out.Png, &out.Info);
  if (!ok) return fail(file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("cannot write"));
  return true;
}

// The sheet's own size, or the box of what was drawn reduced to fit A0
// (either way round).
QSizeF DrawingPaperSize(const TDrawingScene& scene) {
  QSizeF paper = scene.SheetRect().size();
  if (!scene.SheetGiven() && paper.width() > 0 && paper.height() > 0) {
    const bool wide = paper.width() >= paper.height();
    const double fit = std::min((wide ? 1189.0 : 841.0) / paper.width(), (wide ? 841.0 : 1189.0) / paper.height());
    if (fit < 1) paper *= fit;
  }
  return paper;
}

bool WriteDrawingFile(const TDrawingScene& scene, const QString& path, int dpi, QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  const QString ext = QFileInfo(path).suffix().toLower();
  const QSizeF paper = DrawingPaperSize(scene);
  if (ext == u"svg") {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fail(f.errorString());
    const std::string svg = scene.Svg();
    if (f.write(svg.data(), qint64(svg.size())) != qint64(svg.size())) return fail(f.errorString());
    return true;
  }
  if (ext == u"pdf") {
    QPdfWriter pdf(path);
    pdf.setTitle(QStringLiteral("DLVRView"));
    pdf.setResolution(600);
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    if (!pdf.setPageSize(QPageSize(paper, QPageSize::Millimeter, QString(), QPageSize::ExactMatch)))
      return fail(QStringLiteral("page size"));
    QPainter painter;
    if (!painter.begin(&pdf)) return fail(QStringLiteral("cannot write"));
    scene.PaintOnPaper(painter, QRectF(0, 0, pdf.width(), pdf.height()));
    return painter.end();
  }
  if (ext == u"png") {
    const double px = dpi / 25.4;
    const double w = std::ceil(paper.width() * px), h = std::ceil(paper.height() * px);
    if (w < 1 || h < 1 || w > kMaxPngSide || h > kMaxPngSide || w * h > kMaxPngPixels)
      return fail(QStringLiteral("image too large"));
    return WritePngInBands(scene, path, int(w), int(h), dpi, error);
  }
  return fail(QStringLiteral("unknown output type"));
}

}  // namespace dlvr
