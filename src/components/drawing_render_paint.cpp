#include "components/drawing_render.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <thread>

#include "components/drawing_render_internal.h"

// Painting a drawing: the paper and the sheet's frame, each pen's features
// (markers, texts, hatches, outlines) with levels of detail on the screen,
// short strokes and dots set as pixels among very many features, an image
// painted in bands by as many threads; the colours and pens used.

namespace dlvr {

using namespace drawing_detail;

namespace {

// On the screen, texts lower than this many pixels are drawn as a stroke
// (the larger bound while very many features are in view).
constexpr double kLegiblePixels = 2.5, kLegibleCrowdedPixels = 5;

// On the screen, edges are smoothed while no more features than this are in view.
constexpr std::size_t kSmoothFeatures = 20000;

// Unsmoothed strokes no longer than this many pixels either way, of pens
// up to kPlainStrokeWidth pixels wide, are set as pixels, not handed to the
// painter.
constexpr double kShortStrokePixels = 4, kPlainStrokeWidth = 2.5;

}  // namespace

QColor TDrawingScene::InkOn(QColor c, bool black) {
  // Near white or near black in every channel: pure blue stays blue on black paper.
  if (!black && std::min({c.red(), c.green(), c.blue()}) > 220) return Qt::black;
  if (black && std::max({c.red(), c.green(), c.blue()}) < 50) return Qt::white;
  return c;
}

QTransform TDrawingScene::FitTransform(const QRectF& sheet, const QRectF& target) {
  if (sheet.width() <= 0 || sheet.height() <= 0 || target.isEmpty()) return {};
  const double s = std::min(target.width() / sheet.width(), target.height() / sheet.height());
  const QPointF c = target.center(), m = sheet.center();
  // y upwards on the sheet, downwards on the device.
  return QTransform(s, 0, 0, -s, c.x() - s * m.x(), c.y() + s * m.y());
}

QFont TDrawingScene::FontFor(int font) const {
  QString family = QStringLiteral("IPAGothic");
  const auto& fonts = drawing_->Fonts;
  if (font >= 0 && std::size_t(font) < fonts.size() && !fonts[std::size_t(font)].Name.empty()) {
    const QString name = Utf8(fonts[std::size_t(font)].Name);
    family = name.contains(QStringLiteral("明朝")) || name.contains(QStringLiteral("Mincho"), Qt::CaseInsensitive)
                 ? QStringLiteral("IPAMincho")
                 : name.contains(QStringLiteral("ゴシック")) ? QStringLiteral("IPAGothic") : name;
  }
  QFont f(family);
  f.setPixelSize(kGlyphPixels);
  f.setStyleHint(QFont::SansSerif);
  return f;
}

namespace {

// The pen of a primitive at a device scale (pixels per millimetre).
QPen MakePen(const sxf::TDrawing& d, const TPrimitive& p, QColor ink, double scale, bool detail) {
  const double mm = std::isfinite(p.Width) && p.Width > 0 ? std::min(p.Width, 10.0) : 0.13;
  const double px = std::max(detail ? 1.0 : 0.0, mm * scale);
  QPen pen(ink, px, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  if (p.LineType >= 0 && std::size_t(p.LineType) < d.LineTypes.size()) {
    const auto& pitches = d.LineTypes[std::size_t(p.LineType)].Pitches;
    double total = 0;
    QList<qreal> dashes;
    for (double v : pitches) {
      if (!std::isfinite(v) || v < 0) continue;
      total += v;
      dashes << std::max(v * scale / std::max(px, 1e-3), 0.01);
    }
    // A pattern shorter than a few pixels shows as a solid line.
    if (dashes.size() >= 2 && dashes.size() % 2 == 0 && total * scale >= 3) pen.setDashPattern(dashes);
  }
  return pen;
}

}  // namespace

void TDrawingScene::PaintItem(QPainter& painter, const TPrimitive& p, const QTransform& toDevice, double scale,
                              bool detail, double legible) const {
  const QPen pen = painter.pen();
  switch (p.Kind) {
    case TKind::Point: {
      if (p.Points.empty()) return;
      const QPointF c = toDevice.map(Q(p.Points[0]));
      const double r = detail ? 3 : std::max(1.0, 0.8 * scale);
      QPen thin = pen;
      thin.setWidthF(std::max(1.0, pen.widthF()));
      thin.setStyle(Qt::SolidLine);
      painter.setPen(thin);
      switch (p.Marker) {
        case 2:
          painter.drawLine(c - QPointF(r, 0), c + QPointF(r, 0));
          painter.drawLine(c - QPointF(0, r), c + QPointF(0, r));
          break;
        case 3:
          for (int k = 0; k < 3; ++k) {
            const double a = k * kPi / 3;
            painter.drawLine(c - QPointF(r * std::sin(a), r * std::cos(a)), c + QPointF(r * std::sin(a), r * std::cos(a)));
          }
          break;
        case 4:
          painter.drawEllipse(c, r, r);
          break;
        case 5:
          painter.drawLine(c - QPointF(r, r), c + QPointF(r, r));
          painter.drawLine(c - QPointF(r, -r), c + QPointF(r, -r));
          break;
        default:
          painter.setBrush(pen.color());
          painter.drawEllipse(c, r / 2, r / 2);
          painter.setBrush(Qt::NoBrush);
      }
      painter.setPen(pen);
      return;
    }
    case TKind::Text: {
      const TTextFrame f = TextFrame(p);
      if (f.Count == 0 || f.CellHeight <= 0) return;
      const double h = f.CellHeight * scale;
      if (detail && h < legible) {
        // Too small to read: a stroke along its frame's middle.
        const QPointF mid = f.Up * (f.CellHeight / 2);
        const QPointF w = p.Vertical ? QPointF() : f.Along * f.CellWidth;
        painter.drawLine(toDevice.map(f.Origin + mid), toDevice.map(f.Origin + mid + f.Step * (f.Count - 1) + w));
        return;
      }
      const QFont font = FontFor(p.Font);
      const QFontMetricsF fm(font);
      const double asc = fm.ascent(), desc = fm.descent();
      const double sy = f.CellHeight / std::max(1.0, asc + desc);
      painter.save();
      painter.setFont(font);
      painter.setPen(QPen(pen.color()));
      const QStringList chars = Characters(Utf8(p.Text()));
      for (int i = 0; i < chars.size(); ++i) {
        const QString& ch = chars[i];
        if (ch.trimmed().isEmpty()) continue;
        const double adv = fm.horizontalAdvance(ch);
        // Every character fills its cell.
        const double sx = adv > 0 ? f.CellWidth / adv : 0;
        const QPointF o = f.Origin + f.Step * i;
        const QPointF base = o + f.Up * (desc * sy);
        // Local text coordinates (x right, y down, baseline at 0) onto the sheet.
        const QTransform local(sx * f.Along.x(), sx * f.Along.y(), -sy * f.Up.x(), -sy * f.Up.y(), base.x(), base.y());
        painter.setTransform(local * toDevice);
        painter.drawText(QPointF(0, 0), ch);
      }
      painter.restore();
      return;
    }
    case TKind::Hatch: {
      if (p.Points.size() < 3) return;
      const QPainterPath path = toDevice.map(HatchPath(p));
      if (p.Solid) {
        painter.fillPath(path, pen.color());
        return;
      }
      if (p.PatternLines().empty()) {
        // A pattern defined outside the file: its boundary, lightly filled.
        QColor light = pen.color();
        light.setAlpha(60);
        painter.fillPath(path, light);
        painter.drawPath(path);
        return;
      }
      painter.save();
      painter.setClipPath(path, Qt::IntersectClip);
      QPen line = pen;
      line.setStyle(Qt::SolidLine);
      painter.setPen(line);
      const QRectF box = HatchPath(p).boundingRect();
      for (const QLineF& l : PatternLines(p, box, detail ? 1.5 / std::max(scale, 1e-9) : 0))
        painter.drawLine(toDevice.map(l));
      painter.restore();
      return;
    }
    default: {
      std::vector<QPointF> pts;
      bool closed = false;
      Outline(p, std::max(0.25 / std::max(scale, 1e-9), 1e-4), pts, closed);
      if (pts.size() < 2) return;
      for (QPointF& q : pts) q = toDevice.map(q);
      if (closed)
        painter.drawPolygon(pts.data(), int(pts.size()));
      else
        painter.drawPolyline(pts.data(), int(pts.size()));
    }
  }
}

int TDrawingScene::Paint(QPainter& painter, const QTransform& toDevice, const QRectF& area, bool detail,
                         const QRectF& view) const {
  return PaintAs(painter, toDevice, area, detail, view, black_, true);
}

int TDrawingScene::PaintOnPaper(QPainter& painter, const QRectF& target) const {
  return PaintAs(painter, FitTransform(sheet_, target), target, false, {}, false, false);
}

int TDrawingScene::PaintAs(QPainter& painter, const QTransform& toDevice, const QRectF& area, bool detail,
                           const QRectF& view, bool black, bool surround, QImage* direct) const {
  const sxf::TDrawing& d = *drawing_;
  painter.save();
  painter.resetTransform();
  if (surround) painter.fillRect(area, black ? QColor(40, 40, 40) : QColor(160, 160, 160));
  const QRectF sheet = toDevice.mapRect(sheet_);
  painter.fillRect(sheet, black ? Qt::black : Qt::white);
  painter.setPen(QPen(black ? QColor(110, 110, 110) : QColor(90, 90, 90), 0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(sheet);
  // What of the sheet lies in the area painted.
  bool invertible = false;
  QRectF seen = toDevice.inverted(&invertible).mapRect(area);
  const double scale = std::sqrt(std::abs(toDevice.determinant()));
  if (!invertible || scale <= 0) {
    painter.restore();
    return 0;
  }
  const double dot = 1.0 / scale;  // one pixel in millimetres
  // A stroke or a marker just outside the area still reaches into it.
  const double reach = std::max(widest_ / 2, 4 * dot);
  seen.adjust(-reach, -reach, reach, reach);
  int drawn = 0;
  std::vector<QLineF> segments;
  std::vector<QPointF> dots, pts;
  // Smooth edges cost more than they show when very many features are in
  // view at once: then the screen gets plain ones (print and export never).
  std::size_t crowd = 0;
  if (detail) {
    const QRectF screen = toDevice.inverted().mapRect(view.isEmpty() ? area : view);
    crowd = CountIn({float(screen.left()), float(screen.top()), float(screen.right()), float(screen.bottom())},
                    kSmoothFeatures);
  }
  painter.setRenderHint(QPainter::Antialiasing, crowd <= kSmoothFeatures);
  // Painting straight into an image of opaque pixels, at one pixel a unit,
  // unsmoothed and unclipped: dots can be set as pixels.
  const bool plainDots = direct && crowd > kSmoothFeatures && !painter.hasClipping() &&
                         direct->devicePixelRatio() == 1 &&
                         (direct->format() == QImage::Format_RGB32 ||
                          direct->format() == QImage::Format_ARGB32_Premultiplied);
  uchar* dotRows = plainDots ? direct->bits() : nullptr;
  const qsizetype dotStride = plainDots ? direct->bytesPerLine() : 0;
  const double legible = crowd <= kSmoothFeatures ? kLegiblePixels : kLegibleCrowdedPixels;
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  const TBox seenBox{float(seen.left()), float(seen.top()), float(seen.right()), float(seen.bottom())};
  // Among very many features, one under this size (mm) both ways is drawn
  // from its box alone, its primitive never looked at.
  const float boxOnly = crowd > kSmoothFeatures && !walkAll_ ? float(2 * dot) : 0.0f;
  // The device transform is affine (no perspective on a sheet).
  const double m11 = toDevice.m11(), m12 = toDevice.m12(), m21 = toDevice.m21(), m22 = toDevice.m22(),
               mdx = toDevice.dx(), mdy = toDevice.dy();
  auto map = [&](QPointF q) { return QPointF(m11 * q.x() + m21 * q.y() + mdx, m12 * q.x() + m22 * q.y() + mdy); };
  for (const TGroup& g : groups_) {
    if (!LayerShown(g.Layer) || g.Items.empty()) continue;
    const TPrimitive& first = d.Primitives[std::size_t(g.Items.front().Index)];
    const QColor ink = InkOn(DrawingColour(d, first), black);
    const QPen pen = MakePen(d, first, ink, scale, detail);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (!detail) {
      // Paper: every feature in full, in file order.
      for (const std::uint32_t k : g.FileOrder) {
        const TItem& it = g.Items[k];
        if (it.X1 < seenBox.X0 || it.X0 > seenBox.X1 || it.Y1 < seenBox.Y0 || it.Y0 > seenBox.Y1) continue;
        ++drawn;
        PaintItem(painter, d.Primitives[std::size_t(it.Index)], toDevice, scale, false, legible);
      }
      continue;
    }
    // On the screen the lines of a pen go out in one call: all of them with
    // a solid pen, and those no longer than the first dash with a dashed one
    // (drawn whole either way).
    QPen solid = pen;
    solid.setStyle(Qt::SolidLine);
    const double firstDash =
        pen.style() == Qt::SolidLine || pen.dashPattern().isEmpty() ? 1e300 : pen.dashPattern()[0] * pen.widthF() - 1;
    segments.clear();
    dots.clear();
    const double penPixels = solid.widthF();
    const bool plainPixels = plainDots && penPixels <= 1;
    const bool plainStrokes = plainDots && penPixels <= kPlainStrokeWidth;
    // Plain strokes of a few pixels are set as pixels: a step a pixel along
    // their longer side, as many pixels across as the pen covers there (one
    // for a one-pixel pen). False for a longer one, left to the painter.
    const QRgb inkPixel = ink.rgb();
    const int directWidth = direct ? direct->width() : 0, directHeight = direct ? direct->height() : 0;
    auto setShort = [&](double x1, double y1, double x2, double y2) {
      const double dx = x2 - x1, dy = y2 - y1;
      const double span = std::max(std::abs(dx), std::abs(dy));
      if (!(span <= kShortStrokePixels)) return false;
      const bool alongX = std::abs(dx) >= std::abs(dy);
      const double across = penPixels <= 1 || span <= 0 ? 1 : penPixels * std::sqrt(dx * dx + dy * dy) / span;
      const int count = std::max(1, int(across + 0.5));
      const double back = (across - 1) / 2;
      const int steps = int(std::ceil(span));
      const double stepX = steps ? dx / steps : 0, stepY = steps ? dy / steps : 0;
      for (int k = 0; k <= steps; ++k) {
        double x = x1 + stepX * k + 0.5, y = y1 + stepY * k + 0.5;
        (alongX ? y : x) -= back;
        for (int i = 0; i < count; ++i, (alongX ? y : x) += 1) {
          if (!(x > 0 && y > 0 && x < directWidth && y < directHeight)) continue;
          reinterpret_cast<QRgb*>(dotRows + qsizetype(y) * dotStride)[int(x)] = inkPixel;
        }
      }
      return true;
    };
    // The points mapped, as one run of lines when it fits in a dash.
    auto lines = [&](bool closed, bool mapped = false) {
      if (!mapped)
        for (QPointF& q : pts) q = map(q);
      double length = 0;
      for (std::size_t k = 1; k < pts.size() && length <= firstDash && firstDash < 1e300; ++k) {
        const double dx = pts[k].x() - pts[k - 1].x(), dy = pts[k].y() - pts[k - 1].y();
        length += std::sqrt(dx * dx + dy * dy);
      }
      if (length <= firstDash) {
        for (std::size_t k = 1; k < pts.size(); ++k) segments.emplace_back(pts[k - 1], pts[k]);
      } else if (closed) {
        painter.drawPolygon(pts.data(), int(pts.size()));
      } else {
        painter.drawPolyline(pts.data(), int(pts.size()));
      }
    };
    auto item = [&](const TItem& it) {
      ++drawn;
      const auto kind = TKind(it.Kind);
      if (kind != TKind::Point && it.X1 - it.X0 < dot && it.Y1 - it.Y0 < dot) {
        // Under a pixel: one dot (the pen's dots go out in one call).
        dots.push_back(map(QPointF((double(it.X0) + it.X1) / 2, (double(it.Y0) + it.Y1) / 2)));
        return;
      }
      if (kind == TKind::Line ||
          (kind != TKind::Point && kind != TKind::Hatch && it.X1 - it.X0 < boxOnly && it.Y1 - it.Y0 < boxOnly)) {
        // A line is its box's diagonal; so is, among very many features,
        // one under two pixels (its pixels within one of its own).
        const QPointF a = map(QPointF(it.X0, it.Rising ? it.Y0 : it.Y1)),
                      b = map(QPointF(it.X1, it.Rising ? it.Y1 : it.Y0));
        // (Set as pixels at once when it is short and within the first dash.)
        const double ex = b.x() - a.x(), ey = b.y() - a.y();
        if (plainStrokes &&
            (firstDash >= 2 * kShortStrokePixels || (firstDash >= 0 && ex * ex + ey * ey <= firstDash * firstDash)) &&
            setShort(a.x(), a.y(), b.x(), b.y()))
          return;
        pts = {a, b};
        lines(false, true);
        return;
      }
      const TPrimitive& p = d.Primitives[std::size_t(it.Index)];
      switch (p.Kind) {
        case TKind::Line:
        case TKind::Polyline:
        case TKind::Clothoid:
          if (p.Points.size() < 2) return;
          pts.assign(p.Points.size(), QPointF());
          for (std::size_t k = 0; k < p.Points.size(); ++k) pts[k] = Q(p.Points[k]);
          lines(false);
          return;
        case TKind::Circle:
        case TKind::Arc:
        case TKind::Ellipse:
        case TKind::EllipseArc:
        case TKind::Spline: {
          bool closed = false;
          Outline(p, std::max(0.25 / std::max(scale, 1e-9), 1e-4), pts, closed);
          if (pts.size() >= 2) lines(closed);
          return;
        }
        case TKind::Text: {
          if (p.Height * scale >= legible || p.Text().empty()) break;
          const TTextFrame f = TextFrame(p);
          if (f.Count == 0 || f.CellHeight <= 0) return;
          // Too small to read: a stroke along its frame's middle.
          const QPointF mid = f.Up * (f.CellHeight / 2);
          const QPointF w = p.Vertical ? QPointF() : f.Along * f.CellWidth;
          pts = {f.Origin + mid, f.Origin + mid + f.Step * (f.Count - 1) + w};
          lines(false);
          return;
        }
        default:
          break;
      }
      PaintItem(painter, p, toDevice, scale, true, legible);
    };
    // A run of items all under a pixel is one dot; never a run of markers.
    if (walkAll_) {
      for (const TItem& it : g.Items)
        if (!(it.X1 < seenBox.X0 || it.X0 > seenBox.X1 || it.Y1 < seenBox.Y0 || it.Y0 > seenBox.Y1)) item(it);
    }
    const float merge = walkAll_ ? -1.0f : g.Markers ? 0.0f : float(dot);
    if (merge >= 0) Walk(g, seenBox, merge, boxOnly, d.Primitives.data(), item, [&](const TBox& b, std::size_t count) {
      drawn += int(count);
      dots.push_back(map(QPointF((double(b.X0) + b.X1) / 2, (double(b.Y0) + b.Y1) / 2)));
    });
    if (!segments.empty() || !dots.empty()) {
      painter.setPen(solid);
      painter.setBrush(Qt::NoBrush);
    }
    if (plainStrokes && !segments.empty()) {
      std::size_t kept = 0;
      for (const QLineF& l : segments)
        if (!setShort(l.x1(), l.y1(), l.x2(), l.y2())) segments[kept++] = l;
      segments.resize(kept);
    }
    if (!segments.empty()) painter.drawLines(segments.data(), int(segments.size()));
    if (!dots.empty() && plainPixels) {
      // Plain one-pixel dots are the pixels themselves, set where the
      // painter would set them.
      const QRgb c = ink.rgb();
      const int w = direct->width(), h = direct->height();
      for (const QPointF q : dots) {
        const double x = q.x() + 0.5, y = q.y() + 0.5;
        if (!(x > 0 && y > 0 && x < w && y < h)) continue;
        reinterpret_cast<QRgb*>(dotRows + qsizetype(y) * dotStride)[int(x)] = c;
      }
    } else if (!dots.empty()) {
      painter.drawPoints(dots.data(), int(dots.size()));
    }
  }
  painter.restore();
  return drawn;
}

int TDrawingScene::PaintImage(QImage& image, const QTransform& toDevice, int bands) const {
  // Positions are the image's logical ones (device pixels over its pixel ratio).
  const qreal dpr = image.devicePixelRatio();
  const int h = image.height();
  const QRectF whole(0, 0, image.width() / dpr, h / dpr);
  bands = std::clamp(bands, 1, std::max(1, h / 64));
  // Each band is painted by a thread of its own into its own rows of the
  // image, seen as an image of their own (painters on one image must not
  // run at once). Small features are judged on the whole image in every
  // band, so the bands join without a seam.
  uchar* bits = image.bits();
  if (!bits) return 0;
  const qsizetype stride = image.bytesPerLine();
  std::vector<int> drawn(static_cast<std::size_t>(bands), 0);
  auto paintBand = [&](int b) {
    const int top = h * b / bands, bottom = h * (b + 1) / bands;
    QImage part(bits + top * stride, image.width(), bottom - top, stride, image.format());
    part.setDevicePixelRatio(dpr);
    QPainter painter(&part);
    const qreal offset = top / dpr;
    drawn[std::size_t(b)] = PaintAs(painter, toDevice * QTransform::fromTranslate(0, -offset),
                                    QRectF(0, 0, whole.width(), (bottom - top) / dpr), true,
                                    whole.translated(0, -offset), black_, true, &part);
  };
  std::vector<std::thread> threads;
  for (int b = 1; b < bands; ++b) threads.emplace_back(paintBand, b);
  paintBand(0);
  for (std::thread& t : threads) t.join();
  int total = 0;
  for (int n : drawn) total += n;
  return total;
}

}  // namespace dlvr
