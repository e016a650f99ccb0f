// The features drawn: each feature's parameters made into primitives in
// its figure's own coordinates, its style kept as file codes; dimensions,
// labels and balloons expanded into their lines, arcs, arrows and texts,
// clothoids sampled, hatches bounded by the composite curves they name, tile
// fills placed over their lattice; the tables' features kept for the end.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "sxf/sfc_internal.h"
#include "sxf/tables.h"

namespace dlvr::sxf::sfc_detail {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
// A tile fill of more tiles than this is drawn as its area.
constexpr double kMaxTiles = 20000;
// The marker that stands for a symbol defined outside the file.
constexpr int kExternalSymbolMarker = 2;

double Rad(double deg) { return deg * kPi / 180.0; }

// A code or instance number written as a number; 0 when out of range.
long Code(double v) { return std::fabs(v) <= 1e9 ? std::lround(v) : 0; }

// ---------------------------------------------------------------------------
// Placements

// A figure placed at (x, y), turned by angleDeg and scaled by sx, sy in its
// own axes (a negative scale mirrors).
TTransform Placement(double x, double y, double angleDeg, double sx, double sy) {
  const double c = std::cos(Rad(angleDeg)), s = std::sin(Rad(angleDeg));
  return {c * sx, s * sx, -s * sy, c * sy, x, y};
}

// Whether a point lies inside a closed outline (the even-odd rule).
bool Inside(const std::vector<TPoint>& ring, TPoint p) {
  bool in = false;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    const TPoint a = ring[i], b = ring[j];
    if ((a.Y > p.Y) != (b.Y > p.Y) && p.X < (b.X - a.X) * (p.Y - a.Y) / (b.Y - a.Y) + a.X) in = !in;
  }
  return in;
}

// Arcs are kept counter-clockwise from Start to End: a clockwise arc is the
// counter-clockwise arc from its end to its start.
void MakeCounterClockwise(TPrimitive& p) {
  if (!p.Reversed) return;
  std::swap(p.Start, p.End);
  p.Reversed = false;
}

// A clothoid (curvature growing with the length from its origin, A² = R L)
// sampled from startLength to endLength; turning left, or right with
// `clockwise`, from the origin `base` whose tangent points at angleDeg.
std::vector<TPoint> ClothoidPoints(TPoint base, double a, bool clockwise, double angleDeg, double l0, double l1) {
  std::vector<TPoint> out;
  const double span = l1 - l0;
  double steps = std::ceil(std::fabs(span) / (a * 0.05));
  if (!(steps <= 1000)) steps = 1000;
  const int n = std::max(8, static_cast<int>(steps));
  auto integrand = [a](double l, bool sine) {
    const double phi = l * l / (2 * a * a);
    return sine ? std::sin(phi) : std::cos(phi);
  };
  // Simpson's rule over [from, to] in `pairs` pairs of intervals.
  auto integrate = [&](double from, double to, int pairs, double& x, double& y) {
    const double h = (to - from) / (2 * pairs);
    double sx = 0, sy = 0;
    for (int i = 0; i <= 2 * pairs; ++i) {
      const double w = (i == 0 || i == 2 * pairs) ? 1 : (i % 2 ? 4 : 2);
      const double l = from + i * h;
      sx += w * integrand(l, false);
      sy += w * integrand(l, true);
    }
    x += sx * h / 3;
    y += sy * h / 3;
  };
  double x = 0, y = 0;
  integrate(0, l0, 200, x, y);
  const double c = std::cos(Rad(angleDeg)), s = std::sin(Rad(angleDeg));
  auto place = [&](double lx, double ly) {
    if (clockwise) ly = -ly;
    out.push_back({base.X + c * lx - s * ly, base.Y + s * lx + c * ly});
  };
  place(x, y);
  for (int i = 1; i <= n; ++i) {
    integrate(l0 + span * (i - 1) / n, l0 + span * i / n, 4, x, y);
    place(x, y);
  }
  return out;
}

}  // namespace

TPrimitive TSfcReader::Styled(TKind kind, int layer, int colour, int type, int width) const {
  TPrimitive p;
  p.Kind = kind;
  p.Layer = layer;
  p.Colour = colour;
  p.LineType = type;
  p.Font = 0;
  p.Width = width;  // the width code until ResolveStyles
  return p;
}

void TSfcReader::AddLine(const TPrimitive& style, TPoint a, TPoint b) {
  TPrimitive p = style;
  p.Kind = TKind::Line;
  p.Points = {a, b};
  Add(std::move(p));
}

void TSfcReader::AddArc(const TPrimitive& style, TPoint c, double r, double a0Deg, double a1Deg) {
  TPrimitive p = style;
  p.Kind = TKind::Arc;
  p.Points = {c};
  p.Rx = p.Ry = std::fabs(r);
  p.Start = Rad(a0Deg);
  p.End = Rad(a1Deg);
  Add(std::move(p));
}

namespace {

TPoint Unit(TPoint v) {
  const double len = std::hypot(v.X, v.Y);
  return len > 0 ? TPoint{v.X / len, v.Y / len} : TPoint{1, 0};
}

}  // namespace

// An arrowhead: two strokes from the tip back along `inward` (the direction
// from the tip to the tail), 3 mm long times the scale the feature gives.
void TSfcReader::AddArrow(const TPrimitive& style, int code, TPoint tip, TPoint inward, double scale) {
  if (code <= 0) return;
  const double len = 3.0 * ((scale > 0 && scale <= 100) ? scale : 1.0);
  const double c = std::cos(Rad(15)), s = std::sin(Rad(15));
  for (const double side : {1.0, -1.0}) {
    const TPoint d{inward.X * c - side * inward.Y * s, side * inward.X * s + inward.Y * c};
    AddLine(style, tip, {tip.X + d.X * len, tip.Y + d.Y * len});
  }
}

// A dimension's arrow whose parameters start at `at`: its code, its sense (0
// none, 1 pointing out of the dimension, 2 pointing into it), position and
// scale; `inward` runs from the arrow into the dimension.
void TSfcReader::AddDimArrow(const TPrimitive& style, std::size_t at, TPoint tip, TPoint inward) {
  const int sense = args_.Int(at + 1);
  if (sense == 2) inward = {-inward.X, -inward.Y};
  if (sense != 0) AddArrow(style, args_.Int(at), tip, inward, args_.Num(at + 4));
}

// The same on a straight dimension line from p1 to p2.
void TSfcReader::AddLineArrow(const TPrimitive& style, std::size_t at, TPoint p1, TPoint p2) {
  const TPoint tip{args_.Num(at + 2), args_.Num(at + 3)};
  const TPoint far = std::hypot(tip.X - p1.X, tip.Y - p1.Y) > std::hypot(tip.X - p2.X, tip.Y - p2.Y) ? p1 : p2;
  AddDimArrow(style, at, tip, Unit({far.X - tip.X, far.Y - tip.Y}));
}

// A text whose parameters start at the font code: font, text, x, y, height,
// width, spacing, angle, slant, alignment, direction. Height and width are
// those of the whole text; the model keeps those of one character. A
// vertical text's range is read as long along its column as across it,
// whichever of the two the writer put first.
void TSfcReader::AddText(int layer, int colour, std::size_t f, bool shown) {
  TArgs& a = args_;
  TPrimitive p = Styled(TKind::Text, layer, colour, 0, 0);
  p.Font = a.Int(f);
  p.SetText(a.Str(f + 1));
  p.Points = {{a.Num(f + 2), a.Num(f + 3)}};
  const double h = a.Num(f + 4), w = a.Num(f + 5), spacing = a.Num(f + 6);
  p.Rotation = Rad(a.Num(f + 7));
  p.Slant = Rad(a.Num(f + 8));
  const int align = a.Int(f + 9);
  p.Align = align >= 1 && align <= 9 ? align : 1;
  p.Vertical = a.Int(f + 10) == 2;
  p.Spacing = spacing;
  const double n = static_cast<double>(std::max<std::size_t>(1, CodePointCount(p.Text())));
  if (p.Vertical) {
    const double along = n > 1 ? std::max(h, w) : h, across = n > 1 ? std::min(h, w) : w;
    p.CharWidth = across;
    p.Height = std::max(0.0, (along - spacing * (n - 1)) / n);
  } else {
    p.Height = h;
    p.CharWidth = std::max(0.0, (w - spacing * (n - 1)) / n);
  }
  if (shown && !p.Text().empty()) Add(std::move(p));
}

// An extension line: its flag, then base point, start and end.
void TSfcReader::AddExtension(const TPrimitive& style, std::size_t flagAt) {
  TArgs& a = args_;
  const int flag = a.Int(flagAt);
  const TPoint from{a.Num(flagAt + 3), a.Num(flagAt + 4)}, to{a.Num(flagAt + 5), a.Num(flagAt + 6)};
  if (flag == 1) AddLine(style, from, to);
}

// A hatch names a composite curve by its instance number; writers that
// number the curves 1, 2, ... in their order are understood too.
const std::vector<TPoint>* TSfcReader::FindCurve(long id) const {
  const auto found = curves_.find(id);
  if (found != curves_.end()) return &found->second;
  if (id >= 1 && static_cast<std::size_t>(id) <= curveOrder_.size())
    return &curves_.at(curveOrder_[static_cast<std::size_t>(id) - 1]);
  return nullptr;
}

// A hatch bounded by the composite curve `outId` with holes from the
// curves listed at `holesAt`. False when the outer curve is not known.
bool TSfcReader::AddHatch(TPrimitive p, int outId, std::size_t holesAt) {
  const std::vector<double> holes = args_.List(holesAt);
  const std::vector<TPoint>* outer = FindCurve(outId);
  if (!outer || args_.Bad) return false;
  p.Kind = TKind::Hatch;
  p.Points = *outer;
  for (const double id : holes)
    if (const std::vector<TPoint>* hole = FindCurve(Code(id))) p.AddHole(*hole);
  Add(std::move(p));
  return true;
}

// The figure of a tile fill placed at every point of its lattice that lies
// inside the boundary and outside its holes (a tile is drawn whole where it
// starts). False, with nothing placed, when the steps span no lattice or it
// would take more than kMaxTiles tiles.
bool TSfcReader::AddTiles(const std::string& figure, long line) {
  TArgs& a = args_;
  const std::vector<TPoint>* outer = FindCurve(a.Int(12));
  const std::vector<double> holeIds = a.List(14);
  if (!outer || outer->size() < 3 || a.Bad) return false;
  const TPoint origin{a.Num(3), a.Num(4)};
  const TPoint u{a.Num(5) * std::cos(Rad(a.Num(6))), a.Num(5) * std::sin(Rad(a.Num(6)))};
  const TPoint v{a.Num(7) * std::cos(Rad(a.Num(8))), a.Num(7) * std::sin(Rad(a.Num(8)))};
  const double sx = a.Num(9), sy = a.Num(10), angle = a.Num(11);
  const double det = u.X * v.Y - u.Y * v.X;
  if (a.Bad || !std::isfinite(det) || std::fabs(det) < 1e-9) return false;
  // The lattice coordinates of the boundary's corners bound the tiles to try.
  double lo[2] = {HUGE_VAL, HUGE_VAL}, hi[2] = {-HUGE_VAL, -HUGE_VAL};
  for (const TPoint& q : *outer) {
    const double dx = q.X - origin.X, dy = q.Y - origin.Y;
    const double i = (dx * v.Y - dy * v.X) / det, j = (u.X * dy - u.Y * dx) / det;
    lo[0] = std::min(lo[0], i), hi[0] = std::max(hi[0], i);
    lo[1] = std::min(lo[1], j), hi[1] = std::max(hi[1], j);
  }
  if (!std::isfinite(lo[0] + hi[0] + lo[1] + hi[1])) return false;
  const double cols = std::floor(hi[0]) - std::ceil(lo[0]) + 1, rows = std::floor(hi[1]) - std::ceil(lo[1]) + 1;
  if (!(cols * rows <= kMaxTiles)) return false;
  // Every tile is a placement: a file of many tile fills would otherwise
  // hold more placements than a drawing may expand before it is expanded.
  if (cols * rows > static_cast<double>(meter_.Budget().Placements - std::min(meter_.Budget().Placements, tiles_))) {
    tooManyTiles_ = true;
    return false;
  }
  tiles_ += static_cast<std::uint64_t>(cols * rows);
  std::vector<const std::vector<TPoint>*> holes;
  for (const double id : holeIds)
    if (const std::vector<TPoint>* hole = FindCurve(Code(id))) holes.push_back(hole);
  for (double i = std::ceil(lo[0]); i <= hi[0]; ++i)
    for (double j = std::ceil(lo[1]); j <= hi[1]; ++j) {
      const TPoint at{origin.X + i * u.X + j * v.X, origin.Y + i * u.Y + j * v.Y};
      if (!Inside(*outer, at) ||
          std::any_of(holes.begin(), holes.end(), [&](const std::vector<TPoint>* h) { return Inside(*h, at); }))
        continue;
      cur_.Places.push_back({cur_.Size, figure, Placement(at.X, at.Y, angle, sx, sy), line});
    }
  return true;
}

// composite_curve_org_feature(colour, type, width, shown): the curves read
// since the last figure, curve or sheet make one curve; its outline is kept
// for the hatches that name it, and it is drawn in its own style when shown.
void TSfcReader::CompositeCurve() {
  TArgs& a = args_;
  const int colour = a.Int(0), type = a.Int(1), width = a.Int(2), flag = a.Int(3);
  if (a.Bad) {
    ++drawing_.Skipped["composite_curve_org_feature"];
    return;
  }
  std::vector<TPoint> outline;
  const std::size_t from = std::min(curveStart_, cur_.Size);
  cur_.From(from, [&](std::size_t i) {
    const TPrimitive& p = arena_[i];
    std::vector<TPoint> pts;
    switch (p.Kind) {
      case TKind::Circle:
      case TKind::Arc:
      case TKind::Ellipse:
      case TKind::EllipseArc:
        AppendConicPoints(p, pts);
        break;
      case TKind::Text:
      case TKind::Hatch:
      case TKind::Point:
        break;
      default:
        pts = p.Points;
        break;
    }
    // Members may be written in either direction: one that starts where
    // the outline does not end but ends there is taken backwards.
    if (!outline.empty() && pts.size() >= 2) {
      auto dist = [](TPoint u, TPoint v) { return std::hypot(u.X - v.X, u.Y - v.Y); };
      if (dist(pts.back(), outline.back()) < dist(pts.front(), outline.back())) std::reverse(pts.begin(), pts.end());
    }
    for (const TPoint& q : pts) {
      const bool same = !outline.empty() && std::fabs(q.X - outline.back().X) <= 1e-9 * (1 + std::fabs(q.X)) &&
                        std::fabs(q.Y - outline.back().Y) <= 1e-9 * (1 + std::fabs(q.Y));
      if (!same) outline.push_back(q);
    }
  });
  if (flag == 1) {
    cur_.From(from, [&](std::size_t i) {
      arena_[i].Colour = colour;
      arena_[i].LineType = type;
      arena_[i].Width = width;
    });
  } else {
    // The members drawn only as the curve's outline are let go.
    cur_.Truncate(from);
    for (TPlace& place : cur_.Places) place.At = std::min(place.At, from);
  }
  if (curves_.find(curId_) == curves_.end()) curveOrder_.push_back(curId_);
  curves_[curId_] = std::move(outline);
  curveStart_ = cur_.Size;
}

void TSfcReader::Dispatch(TFeature kind, std::string_view name, long line) {
  TArgs& a = args_;
  const std::size_t n = a.Size();
  // What the feature draws is taken back if it is bad.
  const std::size_t before = cur_.Size, arenaBefore = arena_.Size();
  auto skip = [&] { ++drawing_.Skipped[std::string(name)]; };
  static const std::map<TFeature, std::size_t> kCounts = {
      {TFeature::Sheet, 5},        {TFeature::Layer, 2},        {TFeature::PreColour, 1},
      {TFeature::UserColour, 3},   {TFeature::PreFont, 1},      {TFeature::UserFont, 3},
      {TFeature::Width, 1},        {TFeature::TextFont, 1},     {TFeature::PointMarker, 7},
      {TFeature::Line, 8},         {TFeature::Polyline, 7},     {TFeature::Circle, 7},
      {TFeature::Arc, 10},         {TFeature::Ellipse, 9},      {TFeature::EllipseArc, 12},
      {TFeature::Text, 13},        {TFeature::Spline, 8},       {TFeature::Clothoid, 11},
      {TFeature::SfigOrg, 2},      {TFeature::SfigLocate, 7},   {TFeature::Symbol, 8},
      {TFeature::LinearDim, 44},   {TFeature::CurveDim, 45},    {TFeature::AngularDim, 45},
      {TFeature::RadiusDim, 25},   {TFeature::DiameterDim, 30}, {TFeature::Label, 21},
      {TFeature::Balloon, 24},     {TFeature::ExternalHatch, 5}, {TFeature::FillColour, 5},
      {TFeature::FillTiles, 15},   {TFeature::CompositeCurve, 4}, {TFeature::Attribute, 12},
  };
  const auto count = kCounts.find(kind);
  if (count != kCounts.end() && count->second != n) {
    skip();
    return;
  }
  // The layer, colour, line type and width codes most features start with.
  auto style = [&](TKind k) { return Styled(k, a.Int(0), a.Int(1), a.Int(2), a.Int(3)); };
  switch (kind) {
    case TFeature::Sheet: {
      const std::string sheetName = a.Str(0);
      const int type = a.Int(1), orient = a.Int(2);
      double w = 0, h = 0;
      ParseDouble(a.Items[3].Text, w);
      ParseDouble(a.Items[4].Text, h);
      if (a.Bad) break;
      TSheet sheet;
      SheetOf(type, orient, w, h, sheet);
      drawing_.SheetName = sheet.Name;
      drawing_.SheetWidth = sheet.Width;
      drawing_.SheetHeight = sheet.Height;
      CloseGroupInto(top_);
      return;
    }
    case TFeature::Layer: {
      double flag = 1;
      ParseDouble(a.Items[1].Text, flag);
      drawing_.Layers.push_back({a.Str(0), flag != 0});
      return;
    }
    case TFeature::PreColour:
    case TFeature::PreFont:
      return;  // the predefined tables are always there
    case TFeature::UserColour: {
      const int r = a.Int(0), g = a.Int(1), b = a.Int(2);
      if (a.Bad) break;
      auto byte = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
      userColourList_.push_back({"", byte(r), byte(g), byte(b)});
      return;
    }
    case TFeature::UserFont: {
      TLineType type{a.Str(0), {}};
      const int segments = a.Int(1);
      std::vector<double> pitches = a.List(2);
      if (a.Bad || segments < 0) break;
      if (pitches.size() > static_cast<std::size_t>(segments)) pitches.resize(static_cast<std::size_t>(segments));
      for (double& pitch : pitches) pitch = std::fabs(pitch);
      type.Pitches = std::move(pitches);
      userLineTypeList_.push_back(std::move(type));
      return;
    }
    case TFeature::Width: {
      const double w = a.Num(0);
      if (a.Bad || w <= 0) break;
      int code = PredefinedWidthCode(w);
      if (code == 0) code = nextUserWidth_++;
      widths_[code] = w;
      return;
    }
    case TFeature::TextFont:
      drawing_.Fonts.push_back({a.Str(0)});
      return;
    case TFeature::PointMarker: {
      TPrimitive p = Styled(TKind::Point, a.Int(0), a.Int(1), 0, 0);
      p.Points = {{a.Num(2), a.Num(3)}};
      p.Marker = a.Int(4);
      p.Rotation = Rad(a.Num(5));
      p.Rx = a.Num(6);
      Add(std::move(p));
      break;
    }
    case TFeature::Line: {
      TPrimitive p = style(TKind::Line);
      p.Points = {{a.Num(4), a.Num(5)}, {a.Num(6), a.Num(7)}};
      Add(std::move(p));
      break;
    }
    case TFeature::Polyline:
    case TFeature::Spline: {
      const bool spline = kind == TFeature::Spline;
      TPrimitive p = style(spline ? TKind::Spline : TKind::Polyline);
      if (spline)
        a.PointsInto(6, 7, p.Points);
      else
        a.PointsInto(5, 6, p.Points);
      if (p.Points.size() < 2) a.Bad = true;
      if (spline && a.Int(4) == 1 && !p.Points.empty()) p.Points.push_back(p.Points.front());
      Add(std::move(p));
      break;
    }
    case TFeature::Circle:
    case TFeature::Arc: {
      const bool arc = kind == TFeature::Arc;
      TPrimitive p = style(arc ? TKind::Arc : TKind::Circle);
      p.Points = {{a.Num(4), a.Num(5)}};
      p.Rx = p.Ry = a.Num(6);
      if (p.Rx < 0) a.Bad = true;
      if (arc) {
        // Direction 0 runs counter-clockwise from the start angle, 1 clockwise.
        p.Reversed = a.Int(7) == 1;
        p.Start = Rad(a.Num(8));
        p.End = Rad(a.Num(9));
        MakeCounterClockwise(p);
      } else {
        p.End = kTwoPi;
      }
      Add(std::move(p));
      break;
    }
    case TFeature::Ellipse:
    case TFeature::EllipseArc: {
      const bool arc = kind == TFeature::EllipseArc;
      TPrimitive p = style(arc ? TKind::EllipseArc : TKind::Ellipse);
      p.Points = {{a.Num(4), a.Num(5)}};
      p.Rx = a.Num(6);
      p.Ry = a.Num(7);
      if (p.Rx < 0 || p.Ry < 0) a.Bad = true;
      if (arc) {
        p.Reversed = a.Int(8) == 1;
        p.Rotation = Rad(a.Num(9));
        p.Start = Rad(a.Num(10));
        p.End = Rad(a.Num(11));
        MakeCounterClockwise(p);
      } else {
        p.Rotation = Rad(a.Num(8));
        p.End = kTwoPi;
      }
      Add(std::move(p));
      break;
    }
    case TFeature::Text:
      AddText(a.Int(0), a.Int(1), 2, true);
      break;
    case TFeature::Clothoid: {
      TPrimitive p = style(TKind::Clothoid);
      const TPoint base{a.Num(4), a.Num(5)};
      const double parameter = a.Num(6);
      const bool clockwise = a.Int(7) == 1;
      const double angle = a.Num(8), l0 = a.Num(9), l1 = a.Num(10);
      if (a.Bad || !(parameter > 0)) {
        a.Bad = true;
        break;
      }
      p.Points = ClothoidPoints(base, parameter, clockwise, angle, l0, l1);
      Add(std::move(p));
      break;
    }
    case TFeature::SfigOrg: {
      const std::string figure = a.Str(0);
      cur_.Flag = a.Int(1);
      a.Bad = false;  // a figure of no known kind is still a figure
      figureIndex_[figure] = figures_.size();
      figures_.push_back(std::move(cur_));
      cur_ = TGroup{};
      curveStart_ = 0;
      return;
    }
    case TFeature::SfigLocate: {
      const std::string figure = a.Str(1);
      const TTransform place = Placement(a.Num(2), a.Num(3), a.Num(4), a.Num(5), a.Num(6));
      if (a.Bad) break;
      cur_.Places.push_back({cur_.Size, figure, place, line});
      return;
    }
    case TFeature::Symbol: {
      // (layer, colour flag, colour, name, x, y, angle, scale): the shape
      // is defined outside the file; a marker shows where it stands.
      TPrimitive p = Styled(TKind::Point, a.Int(0), a.Int(1) == 1 ? a.Int(2) : 0, 0, 0);
      p.Points = {{a.Num(4), a.Num(5)}};
      p.Marker = kExternalSymbolMarker;
      p.Rotation = Rad(a.Num(6));
      p.Rx = a.Num(7);
      if (a.Bad) break;
      Add(std::move(p));
      return;
    }
    case TFeature::LinearDim: {
      const TPrimitive s = style(TKind::Line);
      const TPoint p1{a.Num(4), a.Num(5)}, p2{a.Num(6), a.Num(7)};
      AddLine(s, p1, p2);
      AddExtension(s, 8);
      AddExtension(s, 15);
      for (const std::size_t at : {22u, 27u}) AddLineArrow(s, at, p1, p2);
      AddText(a.Int(0), a.Int(1), 33, a.Int(32) == 1);
      break;
    }
    case TFeature::CurveDim:
    case TFeature::AngularDim: {
      const TPrimitive s = style(TKind::Line);
      const TPoint c{a.Num(4), a.Num(5)};
      const double r = a.Num(6), a0 = a.Num(7), a1 = a.Num(8);
      AddArc(s, c, r, a0, a1);
      AddExtension(s, 9);
      AddExtension(s, 16);
      double sweep = std::fmod(a1 - a0, 360.0);
      if (!(sweep > 0)) sweep += 360;
      const TPoint mid{c.X + r * std::cos(Rad(a0 + sweep / 2)), c.Y + r * std::sin(Rad(a0 + sweep / 2))};
      for (const std::size_t at : {23u, 28u}) {
        const TPoint tip{a.Num(at + 2), a.Num(at + 3)};
        TPoint inward = Unit({-(tip.Y - c.Y), tip.X - c.X});  // along the arc, towards its middle
        if (inward.X * (mid.X - tip.X) + inward.Y * (mid.Y - tip.Y) < 0) inward = {-inward.X, -inward.Y};
        AddDimArrow(s, at, tip, inward);
      }
      AddText(a.Int(0), a.Int(1), 34, a.Int(33) == 1);
      break;
    }
    case TFeature::RadiusDim:
    case TFeature::DiameterDim: {
      const bool diameter = kind == TFeature::DiameterDim;
      const TPrimitive s = style(TKind::Line);
      const TPoint p1{a.Num(4), a.Num(5)}, p2{a.Num(6), a.Num(7)};
      AddLine(s, p1, p2);
      AddLineArrow(s, 8, p1, p2);
      if (diameter) AddLineArrow(s, 13, p1, p2);
      const std::size_t flag = diameter ? 18 : 13;
      AddText(a.Int(0), a.Int(1), flag + 1, a.Int(flag) == 1);
      break;
    }
    case TFeature::Label:
    case TFeature::Balloon: {
      const bool balloon = kind == TFeature::Balloon;
      TPrimitive s = style(TKind::Polyline);
      const std::vector<TPoint> vertices = a.Points(5, 6);
      if (vertices.size() < 2) {
        a.Bad = true;
        break;
      }
      TPrimitive leader = s;
      leader.Points = vertices;
      Add(std::move(leader));
      std::size_t at = 7;
      if (balloon) {
        TPrimitive circle = s;
        circle.Kind = TKind::Circle;
        circle.Points = {{a.Num(7), a.Num(8)}};
        circle.Rx = circle.Ry = std::fabs(a.Num(9));
        circle.End = kTwoPi;
        Add(std::move(circle));
        at = 10;
      }
      const TPoint inward = Unit({vertices[1].X - vertices[0].X, vertices[1].Y - vertices[0].Y});
      AddArrow(s, a.Int(at), vertices[0], inward, a.Num(at + 1));
      AddText(a.Int(0), a.Int(1), at + 3, a.Int(at + 2) == 1);
      break;
    }
    case TFeature::ExternalHatch:
    case TFeature::FillColour: {
      const bool fill = kind == TFeature::FillColour;
      TPrimitive p = Styled(TKind::Hatch, a.Int(0), fill ? a.Int(1) : 0, 0, 0);
      p.Solid = fill;
      const int outId = a.Int(2);
      if (a.Bad || !AddHatch(std::move(p), outId, 4)) a.Bad = true;
      break;
    }
    case TFeature::FillHatching: {
      const int patterns = n >= 2 ? a.Int(1) : 0;
      if (patterns < 1 || patterns > 4 || n != static_cast<std::size_t>(patterns) + 5) {
        a.Bad = true;
        break;
      }
      TPrimitive p = Styled(TKind::Hatch, a.Int(0), 0, 0, 0);
      for (int k = 0; k < patterns; ++k) {
        const std::vector<double> v = a.List(static_cast<std::size_t>(2 + k));
        if (v.size() != 7) {
          a.Bad = true;
          break;
        }
        if (k == 0) {
          p.Colour = static_cast<int>(Code(v[0]));
          p.LineType = static_cast<int>(Code(v[1]));
          p.Width = static_cast<double>(Code(v[2]));
        }
        p.AddPatternLine(Rad(v[6]), std::fabs(v[5]));
      }
      const int outId = a.Int(static_cast<std::size_t>(patterns) + 2);
      if (a.Bad || !AddHatch(std::move(p), outId, static_cast<std::size_t>(patterns) + 4)) a.Bad = true;
      break;
    }
    case TFeature::FillTiles: {
      // (layer, figure, colour, origin x, y, step 1, its angle, step 2, its
      // angle, figure scale x, y, figure angle, boundary, holes): the figure
      // is placed on the lattice the two steps span from the origin.
      TPrimitive p = Styled(TKind::Hatch, a.Int(0), a.Int(2), 0, 0);
      const int outId = a.Int(12);
      if (a.Bad) break;
      if (AddTiles(a.Str(1), line)) break;
      // Steps that span no lattice, or one too fine to draw: the area
      // itself stands for its tiles.
      if (!AddHatch(std::move(p), outId, 14)) a.Bad = true;
      break;
    }
    case TFeature::CompositeCurve:
      CompositeCurve();
      return;
    case TFeature::Attribute: {
      std::vector<std::pair<std::string, std::string>> values;
      auto put = [&](const char* key, std::string value) {
        if (!value.empty()) values.emplace_back(key, std::move(value));
      };
      put(kTitleBlockKeys[0], a.Str(0));
      put(kTitleBlockKeys[1], a.Str(1));
      put(kTitleBlockKeys[2], a.Str(2));
      put(kTitleBlockKeys[3], a.Str(3));
      put(kTitleBlockKeys[4], a.Str(4));
      put(kTitleBlockKeys[5], a.Str(5));
      put(kTitleBlockKeys[6], a.Str(6));
      double year = 0, month = 0, day = 0;
      ParseDouble(a.Items[7].Text, year);
      ParseDouble(a.Items[8].Text, month);
      ParseDouble(a.Items[9].Text, day);
      if (year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31) {
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", static_cast<int>(year), static_cast<int>(month),
                      static_cast<int>(day));
        put(kTitleBlockKeys[7], date);
      }
      put(kTitleBlockKeys[8], a.Str(10));
      put(kTitleBlockKeys[9], a.Str(11));
      drawing_.Attributes = std::move(values);
      return;
    }
  }
  if (a.Bad) {
    skip();
    cur_.Truncate(before);
    arena_.PopTo(arenaBefore);
  }
}

}  // namespace dlvr::sxf::sfc_detail
