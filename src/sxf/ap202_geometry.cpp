// The resolver's curves, texts, fill areas and sheet: a curve, text or
// fill area made into primitives in the coordinates of its representation
// (polylines, lines, circles, ellipses, trimmed arcs, B-splines, composite
// curves, text literals, hatched or filled areas), and the sheet's size.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "sxf/ap202_internal.h"
#include "sxf/tables.h"

namespace dlvr::sxf::ap202_detail {
namespace {

// 9-way alignment from a text_alignment label ("baseline left", "top
// centre", "centre right", ...): 1 lower left ... 9 upper right; 0 when the
// label says neither.
int AlignOf(std::string_view label) {
  const std::string s = AsciiLower(label);
  int row = -1, col = -1;
  if (s.find("top") != std::string::npos || s.find("upper") != std::string::npos) row = 2;
  else if (s.find("bottom") != std::string::npos || s.find("baseline") != std::string::npos ||
           s.find("lower") != std::string::npos) row = 0;
  if (s.find("left") != std::string::npos) col = 0;
  else if (s.find("right") != std::string::npos) col = 2;
  const bool middle = s.find("centre") != std::string::npos || s.find("center") != std::string::npos ||
                      s.find("middle") != std::string::npos;
  if (row < 0 && col < 0 && !middle) return 0;
  if (row < 0) row = middle && col >= 0 ? 1 : (middle ? 1 : 0);
  if (col < 0) col = middle ? 1 : 0;
  // "centre centre" or "centre" alone is the middle row and column.
  return row * 3 + col + 1;
}

}  // namespace

void TResolver::Geometry(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out, int depth) {
  if (depth > kMaxDepth || stopped_) return;
  // Curves made of curves made of curves multiply like figures do.
  if (++visits_ > kMaxVisits || out.size() >= meter_.Budget().Primitives) {
    Overflow();
    return;
  }
  const TRecord& r = inst.Records[0];
  const std::string& n = r.Name;
  auto point = [&](long ref, TPoint& p) {
    const TPoint* q = FindPoint(ref);
    if (!q) {
      Missing(inst.Id, ref, n);
      return false;
    }
    p = *q;
    return true;
  };
  if (inst.Complex) {
    if (const TRecord* bs = Part(inst, "B_SPLINE_CURVE")) {
      TPrimitive p;
      p.Kind = TKind::Spline;
      const std::vector<long> refs = Refs(Param(*bs, 1));
      if (!Room(refs.size())) return;
      for (long ref : refs)
        if (TPoint q; point(ref, q)) p.Points.push_back(q);
      if (p.Points.size() >= 2) out.push_back(std::move(p));
    }
    return;
  }
  if (n == "POLYLINE" || IsSplineName(n)) {
    TPrimitive p;
    p.Kind = n == "POLYLINE" ? TKind::Polyline : TKind::Spline;
    const std::vector<long> refs = Refs(Param(r, n == "POLYLINE" ? 1 : 2));
    if (!Room(refs.size())) return;
    for (long ref : refs)
      if (TPoint q; point(ref, q)) p.Points.push_back(q);
    if (p.Points.size() < 2) return;
    if (p.Kind == TKind::Polyline && p.Points.size() == 2) p.Kind = TKind::Line;
    out.push_back(std::move(p));
  } else if (n == "LINE") {
    TPrimitive p;
    p.Kind = TKind::Line;
    TPoint a, u;
    const TFound veci = Find(RefOf(Param(r, 2)));
    const TRecord* vec = Simple(veci, "VECTOR");
    if (!point(RefOf(Param(r, 1)), a) || !vec || !Direction(RefOf(Param(*vec, 1)), u)) return;
    const double m = Num(Param(*vec, 2), 0);
    p.Points = {a, {a.X + u.X * m, a.Y + u.Y * m}};
    out.push_back(std::move(p));
  } else if (n == "CIRCLE" || n == "ELLIPSE") {
    TPrimitive p;
    p.Kind = n == "CIRCLE" ? TKind::Circle : TKind::Ellipse;
    TTransform at;
    if (!Placement(RefOf(Param(r, 1)), inst.Id, at)) return;
    p.Points = {{at.E, at.F}};
    p.Rotation = std::atan2(at.B, at.A);
    p.Rx = Num(Param(r, 2), 0);
    p.Ry = n == "CIRCLE" ? p.Rx : Num(Param(r, 3), 0);
    p.End = 2 * kPi;
    out.push_back(std::move(p));
  } else if (n == "TRIMMED_CURVE") {
    Trimmed(inst, ctx, out, depth);
  } else if (n == "COMPOSITE_CURVE") {
    for (long seg : Refs(Param(r, 1))) {
      const TFound csi = Find(seg);
      const TRecord* cs = Simple(csi, "COMPOSITE_CURVE_SEGMENT");
      const TFound parent = cs ? Find(RefOf(Param(*cs, 2))) : nullptr;
      if (!parent) {
        Missing(inst.Id, cs ? RefOf(Param(*cs, 2)) : seg, n);
        continue;
      }
      Geometry(*parent, ctx, out, depth + 1);
    }
  } else if (IsTextName(n)) {
    Text(inst, ctx, out);
  } else if (n == "ANNOTATION_FILL_AREA") {
    TPrimitive p;
    p.Kind = TKind::Hatch;
    for (long b : Refs(Param(r, 1))) {
      const TFound bi = Find(b);
      if (!bi) {
        Missing(inst.Id, b, n);
        continue;
      }
      std::vector<TPrimitive> parts;
      Geometry(*bi, ctx, parts, depth + 1);
      std::vector<TPoint> ring;
      for (TPrimitive& part : parts) {
        if (part.Kind == TKind::Text) continue;
        if (part.Kind == TKind::Circle || part.Kind == TKind::Ellipse || part.Kind == TKind::Arc ||
            part.Kind == TKind::EllipseArc) {
          if (!Room(145)) return;  // at most 145 points an arc
          AppendConicPoints(part, ring);
        } else {
          ring.insert(ring.end(), part.Points.begin(), part.Points.end());
        }
      }
      if (ring.size() < 3) continue;
      if (p.Points.empty()) p.Points = std::move(ring);
      else p.AddHole(std::move(ring));
    }
    if (!p.Points.empty()) out.push_back(std::move(p));
    else ++d_.Skipped[n];
  }
}

void TResolver::Trimmed(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out, int depth) {
  const TRecord& r = inst.Records[0];
  const long basisId = RefOf(Param(r, 1));
  const TFound basis = Find(basisId);
  if (!basis) {
    Missing(inst.Id, basisId, r.Name);
    return;
  }
  std::vector<TPrimitive> whole;
  Geometry(*basis, ctx, whole, depth + 1);
  if (whole.size() != 1) {
    for (TPrimitive& p : whole) out.push_back(std::move(p));
    return;
  }
  TPrimitive p = std::move(whole[0]);
  const bool sense = Str(Param(r, 4)) != "F";
  const bool byPoint = Str(Param(r, 5)) == "CARTESIAN";
  const std::string& bn = basis->Records[0].Name;
  // A trim as a parameter: (value, true) or, from a point, (point, false).
  auto trim = [&](const TValue* list, double& param, TPoint& at, bool& isPoint) {
    bool haveParam = false, havePoint = false;
    if (list && list->Kind == TValueKind::List)
      for (const TValue& v : list->Items) {
        if (v.Kind == TValueKind::Typed && v.Text == "PARAMETER_VALUE" && NumberOf(&v, param)) haveParam = true;
        else if (const TPoint* q = FindPoint(RefOf(&v))) at = *q, havePoint = true;
      }
    isPoint = havePoint && (byPoint || !haveParam);
    return haveParam || havePoint;
  };
  double t[2] = {0, 0};
  TPoint at[2];
  bool isPoint[2];
  if (!trim(Param(r, 2), t[0], at[0], isPoint[0]) || !trim(Param(r, 3), t[1], at[1], isPoint[1])) {
    ++d_.Skipped[r.Name];
    return;
  }
  if (p.Kind == TKind::Circle || p.Kind == TKind::Ellipse) {
    const TPoint c = p.Points[0];
    for (int i = 0; i < 2; ++i) {
      if (isPoint[i]) {
        const double dx = at[i].X - c.X, dy = at[i].Y - c.Y;
        const double lx = dx * std::cos(p.Rotation) + dy * std::sin(p.Rotation);
        const double ly = -dx * std::sin(p.Rotation) + dy * std::cos(p.Rotation);
        t[i] = std::atan2(ly / (p.Ry > 0 ? p.Ry : 1), lx / (p.Rx > 0 ? p.Rx : 1));
      } else {
        t[i] *= angle_;
      }
    }
    p.Kind = p.Kind == TKind::Circle ? TKind::Arc : TKind::EllipseArc;
    // Kept counter-clockwise from Start to End; a clockwise arc runs from
    // its first trim back to the second.
    p.Start = sense ? t[0] : t[1];
    p.End = sense ? t[1] : t[0];
    p.Reversed = !sense;
  } else if (p.Kind == TKind::Line && bn == "LINE") {
    const TPoint a = p.Points[0], d{p.Points[1].X - a.X, p.Points[1].Y - a.Y};
    for (int i = 0; i < 2; ++i)
      if (!isPoint[i]) at[i] = {a.X + d.X * t[i], a.Y + d.Y * t[i]};
    p.Points = sense ? std::vector<TPoint>{at[0], at[1]} : std::vector<TPoint>{at[1], at[0]};
  }
  out.push_back(std::move(p));
}

void TResolver::Text(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out) {
  const TRecord& r = inst.Records[0];
  TPrimitive p;
  p.Kind = TKind::Text;
  p.SetText(Str(Param(r, 1)));
  TTransform at;
  if (!Placement(RefOf(Param(r, 2)), inst.Id, at)) return;
  p.Points = {{at.E, at.F}};
  p.Rotation = std::atan2(at.B, at.A);
  int align = AlignOf(Str(Param(r, 3)));
  if (!align) {  // the alignment may also stand in the name ("$$SXF_top right")
    const std::string name = Str(Param(r, 0));
    align = AlignOf(name.starts_with("$$SXF_") ? name.substr(6) : std::string());
  }
  p.Align = align ? align : 1;
  const std::string path = Str(Param(r, 4));
  p.Vertical = path == "UP" || path == "DOWN";
  if (long f = RefOf(Param(r, 5))) p.Font = Font(f);
  if (p.Font < 0) p.Font = ctx.Style.Font;
  double ex = 0, ey = 0;
  const TFound extenti = Find(RefOf(Param(r, 6)));
  if (const TRecord* extent = Simple(extenti, "PLANAR_EXTENT"))
    ex = Num(Param(*extent, 1), 0), ey = Num(Param(*extent, 2), 0);
  // The box is the whole string's, as the feature gives it: the height of
  // a character and the width of the string (characters and the spaces
  // between them); written downwards, the string's length runs down.
  const TStyle& st = ctx.Style;
  const double h = st.Height > 0 ? st.Height : ey, w = st.BoxWidth > 0 ? st.BoxWidth : ex;
  const double n = static_cast<double>(std::max<std::size_t>(1, CodePointCount(p.Text())));
  p.Spacing = st.Spacing;
  p.Slant = st.Slant;
  if (p.Vertical) {
    const double along = n > 1 ? std::max(h, w) : h, across = n > 1 ? std::min(h, w) : w;
    p.CharWidth = across;
    p.Height = std::max(0.0, (along - p.Spacing * (n - 1)) / n);
  } else {
    p.Height = h;
    p.CharWidth = w > 0 ? std::max(0.0, (w - p.Spacing * (n - 1)) / n) : h;
  }
  out.push_back(std::move(p));
}

void TResolver::Sheet() {
  d_.SheetName = "free";
  if (!s_.sheet) return;
  const std::string name = AsciiUpper(s_.sheetName);
  int type = 9;
  if (name.size() >= 2 && name[0] == 'A' && name[1] >= '0' && name[1] <= '4' &&
      (name.size() == 2 || !std::isdigit(static_cast<unsigned char>(name[2]))))
    type = name[1] - '0';
  const int orientation =
      name.find("VERTICAL") != std::string::npos || name.find("PORTRAIT") != std::string::npos ? 0 : 1;
  double bx = 0, by = 0;
  for (const auto& [sheet, box] : s_.sizes)
    if (sheet == s_.sheet) BoxSize(box, bx, by);
  TSheet sheet;
  if (!SheetOf(type, orientation, bx, by, sheet)) SheetOf(9, orientation, bx, by, sheet);
  d_.SheetName = sheet.Name;
  d_.SheetWidth = bx > 0 ? bx : sheet.Width;
  d_.SheetHeight = by > 0 ? by : sheet.Height;
}

void TResolver::SheetFromExtent() {
  double w = 0, h = 0;
  for (const TPrimitive& p : d_.Primitives)
    for (const TPoint& q : p.Points) {
      const double r = p.Kind == TKind::Point || p.Kind == TKind::Text ? 0 : std::max(p.Rx, p.Ry);
      w = std::max(w, q.X + r), h = std::max(h, q.Y + r);
    }
  d_.SheetWidth = w;
  d_.SheetHeight = h;
}

}  // namespace dlvr::sxf::ap202_detail
