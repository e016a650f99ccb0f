#include "components/drawing_render.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSysInfo>

#include <png.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <exception>
#include <span>
#include <thread>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

namespace dlvr {
namespace {

using sxf::TKind;
using sxf::TPrimitive;

constexpr double kPi = 3.14159265358979323846;

// A text's characters are laid out in a font of this pixel size and scaled.
constexpr int kGlyphPixels = 64;

// On the screen, texts lower than this many pixels are drawn as a stroke
// (the larger bound while very many features are in view).
constexpr double kLegiblePixels = 2.5, kLegibleCrowdedPixels = 5;

// The lines of one hatch's pattern stop at this many.
constexpr std::size_t kMaxPatternLines = 20000;

// The largest PNG written: A0 at 1200 dpi fits.
constexpr double kMaxPngSide = 65535, kMaxPngPixels = 2.5e9;

// On the screen, edges are smoothed while no more features than this are in view.
constexpr std::size_t kSmoothFeatures = 20000;

// Unsmoothed strokes no longer than this many pixels either way, of pens
// up to kPlainStrokeWidth pixels wide, are set as pixels, not handed to the
// painter.
constexpr double kShortStrokePixels = 4, kPlainStrokeWidth = 2.5;

QPointF Q(sxf::TPoint p) { return {p.X, p.Y}; }

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

// The line a primitive is drawn with, in sheet millimetres, sampled finely
// enough that no chord strays more than `tolerance` mm from a curve.
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

// The lines of a hatch pattern across `box` (sheet mm), each (from, to).
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

// A primitive every number of which can be drawn: finite, and within a
// kilometre of the sheet (a file may hold anything).
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

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The characters of a text, one string each (a surrogate pair kept whole).
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

QString Hex(QColor c) { return c.name(QColor::HexRgb); }

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", std::abs(v) < 5e-4 ? 0.0 : v);
  return buf;
}

// Runs `mine` here and `theirs` on a second thread; an exception of either
// (memory running out) reaches the caller, as on one thread.
template <class Mine, class Theirs>
void OnTwoThreads(Mine&& mine, Theirs&& theirs) {
  std::exception_ptr failed;
  std::thread other([&] {
    try {
      theirs();
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    mine();
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (failed) std::rethrow_exception(failed);
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

TDrawingScene::TDrawingScene(std::shared_ptr<const sxf::TDrawing> drawing, std::size_t listInTwoFrom)
    : drawing_(std::move(drawing)) {
  const sxf::TDrawing& d = *drawing_;
  shown_.resize(d.Layers.size());
  layerFeatures_.assign(d.Layers.size(), 0);
  for (std::size_t i = 0; i < d.Layers.size(); ++i) shown_[i] = d.Layers[i].Visible;
  // One group per layer and pen, in the order the pens first appear; the
  // solid fills of a layer first, so that they never cover its lines. A
  // large drawing is listed in two halves at once, the second half's items
  // then put after the first's in each group, as one pass would have.
  using TKey = std::tuple<int, bool, int, int, double>;
  struct THash {
    std::size_t operator()(const TKey& k) const {
      std::size_t h = std::bit_cast<std::uint64_t>(std::get<4>(k) + 0.0);  // (-0 and 0 alike)
      for (const std::size_t v : {std::size_t(std::get<0>(k)), std::size_t(std::get<1>(k)), std::size_t(std::get<2>(k)),
                                  std::size_t(std::get<3>(k))})
        h = h * 0x9e3779b97f4a7c15ULL + v;
      return h ^ (h >> 29);
    }
  };
  struct TPart {
    std::unordered_map<TKey, std::size_t, THash> GroupOf;
    std::vector<TKey> Keys;  // of Groups, in order
    std::vector<TGroup> Groups;
    std::vector<int> LayerFeatures;
    QRectF All;
    double Widest = 0;
  };
  auto list = [&](std::size_t from, std::size_t to, TPart& part) {
    part.LayerFeatures.assign(d.Layers.size(), 0);
    for (std::size_t i = from; i < to; ++i) {
      const TPrimitive& p = d.Primitives[i];
      const int layer = p.Layer >= 0 && std::size_t(p.Layer) < d.Layers.size() ? p.Layer : -1;
      if (layer >= 0) ++part.LayerFeatures[std::size_t(layer)];
      if (p.Points.empty() || !Drawable(p) || i >= (std::size_t{1} << 27)) continue;
      part.Widest = std::max(part.Widest, std::min(p.Width, 10.0));
      const QRectF b = PrimitiveBounds(p);
      part.All = part.All.isNull() ? b : part.All.united(b);
      const bool fill = p.Kind == TKind::Hatch && p.Solid;
      const TKey key{layer, fill, p.Colour, p.LineType, p.Width};
      auto [it, fresh] = part.GroupOf.emplace(key, part.Groups.size());
      if (fresh) {
        part.Groups.push_back({layer, fill, false, {}, {}, {}});
        part.Keys.push_back(key);
      }
      TGroup& g = part.Groups[it->second];
      g.Markers = g.Markers || p.Kind == TKind::Point;
      const bool rising = p.Points.size() < 2 || (p.Points[1].X - p.Points[0].X) * (p.Points[1].Y - p.Points[0].Y) >= 0;
      const TKind kind = p.Kind == TKind::Line && p.Points.size() != 2 ? TKind::Polyline : p.Kind;
      g.Items.push_back({float(b.left()), float(b.top()), float(b.right()), float(b.bottom()), std::uint32_t(i),
                         std::uint32_t(kind), rising});
    }
  };
  const std::size_t n = d.Primitives.size();
  TPart first, second;
  if (n >= listInTwoFrom) {
    OnTwoThreads([&] { list(0, n / 2, first); }, [&] { list(n / 2, n, second); });
  } else {
    list(0, n, first);
  }
  for (std::size_t g = 0; g < second.Groups.size(); ++g) {
    auto [it, fresh] = first.GroupOf.emplace(second.Keys[g], first.Groups.size());
    if (fresh) {
      first.Groups.push_back(std::move(second.Groups[g]));
    } else {
      first.Groups[it->second].Markers = first.Groups[it->second].Markers || second.Groups[g].Markers;
      auto& items = first.Groups[it->second].Items;
      items.insert(items.end(), second.Groups[g].Items.begin(), second.Groups[g].Items.end());
    }
  }
  for (std::size_t l = 0; l < second.LayerFeatures.size(); ++l) first.LayerFeatures[l] += second.LayerFeatures[l];
  const QRectF all = second.All.isNull() ? first.All : first.All.isNull() ? second.All : first.All.united(second.All);
  groups_ = std::move(first.Groups);
  layerFeatures_ = std::move(first.LayerFeatures);
  widest_ = std::max(first.Widest, second.Widest);
  std::stable_sort(groups_.begin(), groups_.end(), [](const TGroup& a, const TGroup& b) {
    return a.Layer != b.Layer ? a.Layer < b.Layer : a.Fill > b.Fill;
  });
  // The groups are indexed on two threads when large: each takes groups of
  // about half the items.
  if (n >= listInTwoFrom) {
    std::vector<TGroup*> mine, others;
    std::size_t left = 0, right = 0;
    for (TGroup& g : groups_) {
      (left <= right ? mine : others).push_back(&g);
      (left <= right ? left : right) += g.Items.size();
    }
    OnTwoThreads([&] { for (TGroup* g : mine) Index(*g); }, [&] { for (TGroup* g : others) Index(*g); });
  } else {
    for (TGroup& g : groups_) Index(g);
  }
  sheetGiven_ = d.SheetWidth > 0 && d.SheetHeight > 0 && std::isfinite(d.SheetWidth) && std::isfinite(d.SheetHeight);
  if (sheetGiven_)
    sheet_ = QRectF(0, 0, d.SheetWidth, d.SheetHeight);
  else if (all.width() > 0 || all.height() > 0)
    sheet_ = all.adjusted(-5, -5, 5, 5);
  else
    sheet_ = QRectF(0, 0, 420, 297);
}

bool TDrawingScene::LayerShown(int layer) const {
  return layer < 0 || std::size_t(layer) >= shown_.size() || shown_[std::size_t(layer)];
}

void TDrawingScene::SetLayerShown(int layer, bool shown) {
  if (layer >= 0 && std::size_t(layer) < shown_.size()) shown_[std::size_t(layer)] = shown;
}

int TDrawingScene::LayerFeatures(int layer) const {
  return layer >= 0 && std::size_t(layer) < layerFeatures_.size() ? layerFeatures_[std::size_t(layer)] : 0;
}

namespace {

// The bits of a 16-bit number spread to the even places of a 32-bit one.
std::uint32_t Spread(std::uint32_t v) {
  v &= 0xffff;
  v = (v | (v << 8)) & 0x00ff00ff;
  v = (v | (v << 4)) & 0x0f0f0f0f;
  v = (v | (v << 2)) & 0x33333333;
  v = (v | (v << 1)) & 0x55555555;
  return v;
}

}  // namespace

void TDrawingScene::Index(TGroup& g) {
  const std::size_t n = g.Items.size();
  g.FileOrder.resize(n);
  g.Boxes.clear();
  if (n == 0) return;
  // Each item's place on a Z curve through the box of the centres.
  float x0 = g.Items[0].X0, y0 = g.Items[0].Y0, x1 = x0, y1 = y0;
  for (const TItem& it : g.Items) {
    const float cx = (it.X0 + it.X1) / 2, cy = (it.Y0 + it.Y1) / 2;
    x0 = std::min(x0, cx), x1 = std::max(x1, cx), y0 = std::min(y0, cy), y1 = std::max(y1, cy);
  }
  const double sx = x1 > x0 ? 65535.0 / (double(x1) - x0) : 0, sy = y1 > y0 ? 65535.0 / (double(y1) - y0) : 0;
  // (key << 32 | position): sorted, the positions are the new order.
  std::vector<std::uint64_t> order(n);
  for (std::size_t i = 0; i < n; ++i) {
    const TItem& it = g.Items[i];
    const auto qx = std::uint32_t(std::clamp(((it.X0 + it.X1) / 2 - x0) * sx, 0.0, 65535.0));
    const auto qy = std::uint32_t(std::clamp(((it.Y0 + it.Y1) / 2 - y0) * sy, 0.0, 65535.0));
    order[i] = std::uint64_t(Spread(qx) | (Spread(qy) << 1)) << 32 | i;
  }
  std::sort(order.begin(), order.end());
  for (std::size_t k = 0; k < n; ++k) g.FileOrder[std::uint32_t(order[k])] = std::uint32_t(k);
  order = {};
  // The items moved to their places in cycles, without a second copy: the
  // item at position i belongs at FileOrder[i].
  std::vector<bool> placed(n, false);
  for (std::size_t i = 0; i < n; ++i) {
    if (placed[i]) continue;
    TItem moving = g.Items[i];
    std::size_t at = i;
    while (!placed[at]) {
      placed[at] = true;
      const std::size_t to = g.FileOrder[at];
      std::swap(moving, g.Items[to]);
      at = to;
    }
  }
  // The boxes of runs of kFan items, then of runs of their boxes.
  std::vector<TBox> level((n + kFan - 1) / kFan);
  for (std::size_t r = 0; r < level.size(); ++r) {
    const std::size_t from = r * kFan, to = std::min(n, from + kFan);
    TBox b{g.Items[from].X0, g.Items[from].Y0, g.Items[from].X1, g.Items[from].Y1};
    for (std::size_t i = from + 1; i < to; ++i) {
      const TItem& it = g.Items[i];
      b = {std::min(b.X0, it.X0), std::min(b.Y0, it.Y0), std::max(b.X1, it.X1), std::max(b.Y1, it.Y1)};
    }
    level[r] = b;
  }
  g.Boxes.push_back(std::move(level));
  while (g.Boxes.back().size() > 1) {
    const std::vector<TBox>& below = g.Boxes.back();
    std::vector<TBox> up((below.size() + kFan - 1) / kFan);
    for (std::size_t r = 0; r < up.size(); ++r) {
      const std::size_t from = r * kFan, to = std::min(below.size(), from + kFan);
      TBox b = below[from];
      for (std::size_t i = from + 1; i < to; ++i)
        b = {std::min(b.X0, below[i].X0), std::min(b.Y0, below[i].Y0), std::max(b.X1, below[i].X1),
             std::max(b.Y1, below[i].Y1)};
      up[r] = b;
    }
    g.Boxes.push_back(std::move(up));
  }
}

template <class Item, class Run>
void TDrawingScene::Walk(const TGroup& g, const TBox& seen, float dot, float boxOnly,
                         const sxf::TPrimitive* primitives, Item&& item, Run&& run) {
  if (g.Boxes.empty()) return;
  auto meets = [&](const TBox& b) { return !(b.X1 < seen.X0 || b.X0 > seen.X1 || b.Y1 < seen.Y0 || b.Y0 > seen.Y1); };
  // A run at `level` covers kFan^(level + 1) items.
  std::size_t span[32];
  span[0] = kFan;
  for (std::size_t l = 1; l < g.Boxes.size() && l < 32; ++l) span[l] = span[l - 1] * kFan;
  struct TStep {
    std::uint32_t Level, Box;
  };
  TStep stack[32 * kFan];
  std::size_t top = 0;
  stack[top++] = {std::uint32_t(g.Boxes.size() - 1), 0};
  const std::size_t n = g.Items.size();
  while (top > 0) {
    const TStep s = stack[--top];
    const TBox& b = g.Boxes[s.Level][s.Box];
    if (!meets(b)) continue;
    if (dot > 0 && b.X1 - b.X0 < dot && b.Y1 - b.Y0 < dot) {
      const std::size_t from = s.Box * span[s.Level];
      run(b, std::min(n, from + span[s.Level]) - from);
      continue;
    }
    if (s.Level == 0) {
      const std::size_t from = std::size_t(s.Box) * kFan, to = std::min(n, from + kFan);
      // The run's primitives lie apart in memory: all are asked for at once.
      if (primitives)
        for (std::size_t i = from; i < to; ++i) {
          const TItem& it = g.Items[i];
          const auto kind = TKind(it.Kind);
          if (kind == TKind::Line || (kind != TKind::Point && it.X1 - it.X0 < boxOnly && it.Y1 - it.Y0 < boxOnly))
            continue;
          const char* at = reinterpret_cast<const char*>(primitives + it.Index);
          __builtin_prefetch(at);
          __builtin_prefetch(at + 64);
        }
      for (std::size_t i = from; i < to; ++i) {
        const TItem& it = g.Items[i];
        if (!(it.X1 < seen.X0 || it.X0 > seen.X1 || it.Y1 < seen.Y0 || it.Y0 > seen.Y1)) item(it);
      }
      continue;
    }
    // The children go on the stack last first, so that they come out in order.
    const std::size_t from = std::size_t(s.Box) * kFan, to = std::min(g.Boxes[s.Level - 1].size(), from + kFan);
    for (std::size_t c = to; c-- > from;) stack[top++] = {s.Level - 1, std::uint32_t(c)};
  }
}

std::size_t TDrawingScene::CountIn(const TBox& seen, std::size_t most) const {
  // A box wholly inside counts all its items without looking at them.
  std::size_t count = 0;
  auto inside = [&](const TBox& b) { return b.X0 >= seen.X0 && b.X1 <= seen.X1 && b.Y0 >= seen.Y0 && b.Y1 <= seen.Y1; };
  for (const TGroup& g : groups_) {
    if (!LayerShown(g.Layer) || g.Boxes.empty()) continue;
    const std::size_t n = g.Items.size();
    std::vector<std::pair<std::size_t, std::size_t>> todo{{g.Boxes.size() - 1, 0}};
    while (!todo.empty() && count <= most) {
      const auto [level, box] = todo.back();
      todo.pop_back();
      const TBox& b = g.Boxes[level][box];
      if (b.X1 < seen.X0 || b.X0 > seen.X1 || b.Y1 < seen.Y0 || b.Y0 > seen.Y1) continue;
      std::size_t items = kFan;
      for (std::size_t l = 0; l < level; ++l) items *= kFan;
      const std::size_t from = box * items;
      if (inside(b)) {
        count += std::min(n, from + items) - from;
      } else if (level == 0) {
        for (std::size_t i = from; i < std::min(n, from + kFan); ++i) {
          const TItem& it = g.Items[i];
          count += !(it.X1 < seen.X0 || it.X0 > seen.X1 || it.Y1 < seen.Y0 || it.Y0 > seen.Y1);
        }
      } else {
        for (std::size_t c = box * kFan; c < std::min(g.Boxes[level - 1].size(), box * kFan + kFan); ++c)
          todo.emplace_back(level - 1, c);
      }
    }
    if (count > most) break;
  }
  return count;
}

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
