#include "components/drawing_render.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <span>

#include "components/drawing_render_internal.h"

// The geometry of a drawing's primitives: arcs and ellipses, B-splines, the
// outline a primitive is drawn with, a hatch's boundary and pattern lines,
// a text's characters and frame, the box of a primitive.

namespace dlvr {

using namespace drawing_detail;

namespace {

// The lines of one hatch's pattern stop at this many.
constexpr std::size_t kMaxPatternLines = 20000;

// The angles an arc covers, counter-clockwise from Start to End, as an
// increasing interval [from, to] (Reversed only tells that the arc is
// travelled from End back to Start); a circle or ellipse goes once round.
std::pair<double, double> Sweep(const TPrimitive& p) {
  if (p.Kind == TKind::Circle || p.Kind == TKind::Ellipse) return {0, 2 * kPi};
  double s = p.Start, e = p.End;
  if (!std::isfinite(s) || !std::isfinite(e) || std::abs(s) > 1e6 || std::abs(e) > 1e6) return {0, 0};
  const double turns = std::floor(s / (2 * kPi));
  s -= turns * 2 * kPi;
  e -= turns * 2 * kPi;
  while (e <= s) e += 2 * kPi;
  while (e - s > 2 * kPi) e -= 2 * kPi;
  return {s, e};
}

// A point of the ellipse whose rotation's cosine and sine are c and s.
QPointF OnEllipseTurned(const TPrimitive& p, double t, double c, double s) {
  const double x = p.Rx * std::cos(t), y = p.Ry * std::sin(t);
  const QPointF o = p.Points.empty() ? QPointF() : Q(p.Points[0]);
  return {o.x() + x * c - y * s, o.y() + x * s + y * c};
}

QPointF OnEllipse(const TPrimitive& p, double t) {
  return OnEllipseTurned(p, t, std::cos(p.Rotation), std::sin(p.Rotation));
}

bool IsCurve(TKind k) {
  return k == TKind::Circle || k == TKind::Arc || k == TKind::Ellipse || k == TKind::EllipseArc;
}

// A uniform cubic B-spline through the control points, its ends clamped.
void SampleSpline(std::span<const sxf::TPoint> cp, int perSpan, std::vector<QPointF>& out) {
  if (cp.size() < 3) {
    for (const auto& p : cp) out.push_back(Q(p));
    return;
  }
  std::vector<QPointF> c;
  c.push_back(Q(cp.front()));
  c.push_back(Q(cp.front()));
  for (const auto& p : cp) c.push_back(Q(p));
  c.push_back(Q(cp.back()));
  c.push_back(Q(cp.back()));
  for (std::size_t i = 0; i + 3 < c.size(); ++i) {
    for (int k = (i == 0 ? 0 : 1); k <= perSpan; ++k) {
      const double t = double(k) / perSpan, it = 1 - t;
      const double b0 = it * it * it / 6, b1 = (3 * t * t * t - 6 * t * t + 4) / 6,
                   b2 = (-3 * t * t * t + 3 * t * t + 3 * t + 1) / 6, b3 = t * t * t / 6;
      out.push_back(b0 * c[i] + b1 * c[i + 1] + b2 * c[i + 2] + b3 * c[i + 3]);
    }
  }
}

}  // namespace

namespace drawing_detail {

void Outline(const TPrimitive& p, double tolerance, std::vector<QPointF>& out, bool& closed) {
  out.clear();
  closed = p.Kind == TKind::Circle || p.Kind == TKind::Ellipse;
  if (IsCurve(p.Kind)) {
    auto [from, to] = Sweep(p);
    const double r = std::max(std::abs(p.Rx), std::abs(p.Ry));
    if (!std::isfinite(r) || r <= 0 || to <= from) return;
    const double step = 2 * std::acos(std::clamp(1 - tolerance / r, -1.0, 1.0));
    const int n = std::clamp(int(std::ceil((to - from) / std::max(step, 1e-3))), 4, 2048);
    const double c = std::cos(p.Rotation), s = std::sin(p.Rotation);
    for (int i = 0; i <= n; ++i) {
      // A clockwise arc is travelled from its Start (the interval's end).
      const double t = p.Reversed ? to - (to - from) * i / n : from + (to - from) * i / n;
      out.push_back(OnEllipseTurned(p, t, c, s));
    }
    return;
  }
  if (p.Kind == TKind::Spline) {
    SampleSpline(p.Points, 12, out);
    return;
  }
  for (const auto& pt : p.Points) out.push_back(Q(pt));
}

QPainterPath HatchPath(const TPrimitive& p) {
  QPainterPath path;
  path.setFillRule(Qt::OddEvenFill);
  auto ring = [&](std::span<const sxf::TPoint> pts) {
    if (pts.size() < 2) return;
    path.moveTo(Q(pts[0]));
    for (std::size_t i = 1; i < pts.size(); ++i) path.lineTo(Q(pts[i]));
    path.closeSubpath();
  };
  ring(p.Points);
  for (const auto& h : p.Holes()) ring(h);
  return path;
}

std::vector<QLineF> PatternLines(const TPrimitive& p, const QRectF& box, double minPitch) {
  std::vector<QLineF> lines;
  const QPointF c = box.center();
  const double reach = std::hypot(box.width(), box.height()) / 2 + 1;
  for (auto [angle, pitch] : p.PatternLines()) {
    if (!std::isfinite(angle) || !std::isfinite(pitch) || pitch <= 0) continue;
    pitch = std::max(pitch, minPitch);
    const QPointF d(std::cos(angle), std::sin(angle)), n(-d.y(), d.x());
    const int count = int(std::min(reach / pitch, double(kMaxPatternLines)));
    for (int k = -count; k <= count && lines.size() < kMaxPatternLines; ++k) {
      const QPointF o = c + n * (k * pitch);
      lines.emplace_back(o - d * reach, o + d * reach);
    }
  }
  return lines;
}

bool Drawable(const TPrimitive& p) {
  constexpr double kFar = 1e6;
  auto fine = [](double v) { return std::isfinite(v) && std::abs(v) <= kFar; };
  for (const auto& q : p.Points)
    if (!fine(q.X) || !fine(q.Y)) return false;
  for (const auto& hole : p.Holes())
    for (const auto& q : hole)
      if (!fine(q.X) || !fine(q.Y)) return false;
  if (!fine(p.Width) || !std::isfinite(p.Rotation)) return false;
  // (A text's sizes and a conic's radii and angles share their room.)
  if (p.Kind == TKind::Text)
    return fine(p.Height) && fine(p.CharWidth) && fine(p.Spacing) && std::isfinite(p.Slant);
  return fine(p.Rx) && fine(p.Ry) && std::isfinite(p.Start) && std::isfinite(p.End);
}

QStringList Characters(const QString& text) {
  QStringList out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size()) {
      out << text.mid(i, 2);
      ++i;
    } else {
      out << QString(text[i]);
    }
  }
  return out;
}

}  // namespace drawing_detail

namespace {

// The number of Characters() of a UTF-8 text: its code points when it is
// well formed (each is one character, a surrogate pair kept whole), else
// counted through its decoding.
int CharacterCount(const std::string& text) {
  int count = 0;
  const auto* b = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++count) {
    const unsigned c = b[i];
    std::size_t len;
    unsigned lo = 0x80, hi = 0xbf;  // the second byte's range
    if (c < 0x80) len = 1;
    else if (c >= 0xc2 && c <= 0xdf) len = 2;
    else if (c >= 0xe0 && c <= 0xef) len = 3, lo = c == 0xe0 ? 0xa0 : 0x80, hi = c == 0xed ? 0x9f : 0xbf;
    else if (c >= 0xf0 && c <= 0xf4) len = 4, lo = c == 0xf0 ? 0x90 : 0x80, hi = c == 0xf4 ? 0x8f : 0xbf;
    else return int(Characters(Utf8(text)).size());
    if (i + len > n) return int(Characters(Utf8(text)).size());
    for (std::size_t k = 1; k < len; ++k) {
      const unsigned t = b[i + k];
      if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xbf)) return int(Characters(Utf8(text)).size());
    }
    i += len;
  }
  return count;
}

}  // namespace

const char* DrawingKindName(TKind kind) {
  switch (kind) {
    case TKind::Point: return "point";
    case TKind::Line: return "line";
    case TKind::Polyline: return "polyline";
    case TKind::Circle: return "circle";
    case TKind::Arc: return "arc";
    case TKind::Ellipse: return "ellipse";
    case TKind::EllipseArc: return "ellipse_arc";
    case TKind::Spline: return "spline";
    case TKind::Clothoid: return "clothoid";
    case TKind::Text: return "text";
    case TKind::Hatch: return "hatch";
  }
  return "line";
}

QColor DrawingColour(const sxf::TDrawing& drawing, const TPrimitive& p) {
  if (p.Colour < 0 || std::size_t(p.Colour) >= drawing.Colours.size()) return Qt::black;
  const sxf::TColour& c = drawing.Colours[std::size_t(p.Colour)];
  return QColor(c.R, c.G, c.B);
}

TTextFrame TextFrame(const TPrimitive& p) {
  TTextFrame f;
  f.Count = CharacterCount(p.Text());
  const double angle = std::isfinite(p.Rotation) ? p.Rotation : 0;
  const double slant = std::isfinite(p.Slant) ? std::clamp(p.Slant, -1.4, 1.4) : 0;
  f.Along = QPointF(std::cos(angle), std::sin(angle));
  const QPointF up(-f.Along.y(), f.Along.x());
  // A slanted character leans its up direction forwards.
  f.Up = up + f.Along * std::tan(slant);
  f.CellHeight = std::isfinite(p.Height) ? std::max(0.0, p.Height) : 0;
  f.CellWidth = std::isfinite(p.CharWidth) && p.CharWidth > 0 ? p.CharWidth : f.CellHeight;
  const double spacing = std::isfinite(p.Spacing) ? p.Spacing : 0;
  const int n = std::max(1, f.Count);
  double width, height;
  if (p.Vertical) {
    // Top to bottom: the frame is one cell wide and n cells high.
    f.Step = -up * (f.CellHeight + spacing);
    width = f.CellWidth;
    height = n * f.CellHeight + (n - 1) * spacing;
  } else {
    f.Step = f.Along * (f.CellWidth + spacing);
    width = n * f.CellWidth + (n - 1) * spacing;
    height = f.CellHeight;
  }
  const int a = std::clamp(p.Align, 1, 9) - 1;
  const double dx = (a % 3) * width / 2, dy = (a / 3) * height / 2;
  const QPointF anchor = p.Points.empty() ? QPointF() : Q(p.Points[0]);
  const QPointF lowerLeft = anchor - f.Along * dx - up * dy;
  // Vertical writing starts at the top cell.
  f.Origin = p.Vertical ? lowerLeft + up * (height - f.CellHeight) : lowerLeft;
  return f;
}

QRectF PrimitiveBounds(const TPrimitive& p) {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  auto add = [&](QPointF q) {
    if (!std::isfinite(q.x()) || !std::isfinite(q.y())) return;
    x0 = std::min(x0, q.x());
    y0 = std::min(y0, q.y());
    x1 = std::max(x1, q.x());
    y1 = std::max(y1, q.y());
  };
  if (IsCurve(p.Kind)) {
    auto [from, to] = Sweep(p);
    add(OnEllipse(p, from));
    add(OnEllipse(p, to));
    // Where x or y is extreme on the ellipse.
    const double c = std::cos(p.Rotation), s = std::sin(p.Rotation);
    const double base[] = {std::atan2(-p.Ry * s, p.Rx * c), std::atan2(p.Ry * c, p.Rx * s)};
    for (double b : base)
      for (double t = b - 4 * kPi; t <= to; t += kPi)
        if (t >= from) add(OnEllipse(p, t));
  } else if (p.Kind == TKind::Text) {
    const TTextFrame f = TextFrame(p);
    const QPointF step = f.Step * std::max(0, f.Count - 1);
    const QPointF w = f.Along * f.CellWidth;
    const QPointF h = f.Up * f.CellHeight;
    for (QPointF o : {f.Origin, f.Origin + step})
      for (QPointF q : {o, o + w, o + h, o + w + h}) add(q);
  } else if (p.Kind == TKind::Spline) {
    std::vector<QPointF> pts;
    SampleSpline(p.Points, 64, pts);
    for (QPointF q : pts) add(q);
  } else {
    for (const auto& q : p.Points) add(Q(q));
  }
  if (x0 > x1) return {};
  return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

}  // namespace dlvr
