// The resolver's styles, placements and traversal: the drawing's tables
// made from the colours, curve fonts and text fonts named, the styles of an
// item gathered, placements read, and the items walked from the annotation
// occurrences through representations and mapped figures down to what is
// drawn, within the budget.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/translate.h"
#include "sxf/ap202_internal.h"
#include "sxf/large_pages.h"
#include "sxf/tables.h"

namespace dlvr::sxf::ap202_detail {
namespace {

// ---------------------------------------------------------------------------
// Placements

TTransform Inverse(const TTransform& t) {
  const double det = t.A * t.D - t.B * t.C;
  if (!(std::fabs(det) > 1e-300)) return {};
  const double a = t.D / det, b = -t.B / det, c = -t.C / det, d = t.A / det;
  return {a, b, c, d, -(a * t.E + c * t.F), -(b * t.E + d * t.F)};
}

// The two attributes of a styled or mapped item: after the name of a simple
// instance of the family (`inFamily`), or the first two of the complex
// instance's partial entity `part`.
std::pair<const TValue*, const TValue*> TwoAttributes(const TInstance& inst, std::string_view part, bool inFamily) {
  if (inst.Complex) {
    const TRecord* r = Part(inst, part);
    return r ? std::pair{Param(*r, 0), Param(*r, 1)} : std::pair<const TValue*, const TValue*>{};
  }
  return inFamily ? std::pair{Param(inst.Records[0], 1), Param(inst.Records[0], 2)}
                  : std::pair<const TValue*, const TValue*>{};
}

// Whether `inst` is drawn as a plain container of the items it lists (of
// its own only its layer passed on).
bool Ap202PlainContainer(const TInstance& inst) {
  const std::string& n = inst.Records[0].Name;
  return !inst.Complex && !IsStyledName(n) && !IsMappedName(n) && (IsCalloutName(n) || IsRepresentationName(n));
}

}  // namespace

void TResolver::Run(bool inTwo, const std::function<void()>& release) {
  Begin();
  std::vector<TUnit> firstUnits, secondUnits;
  if (inTwo) Halves(firstUnits, secondUnits);
  std::optional<TDrawing> secondDrawing;
  std::optional<TResolver> second;
  if (!secondUnits.empty()) {
    // The second half on a thread of its own, into a drawing of its own.
    secondDrawing.emplace();
    second.emplace(s_, *secondDrawing, meter_.Budget(), cut_);
    second->angle_ = angle_;
    secondDrawing->Primitives.reserve(d_.Primitives.capacity());
    AdviseLargePages(secondDrawing->Primitives.data(), secondDrawing->Primitives.capacity() * sizeof(TPrimitive));
    bool secondFailed = false;
    std::thread other;
    try {
      other = std::thread([&] {
        try {
          second->Walk(secondUnits, true);
        } catch (const std::exception&) {
          secondFailed = true;
        }
      });
    } catch (const std::exception&) {
      secondFailed = true;  // no thread: the first half's resolver draws it all
    }
    try {
      Walk(firstUnits, false);
    } catch (...) {
      if (other.joinable()) other.join();
      throw;
    }
    if (other.joinable()) other.join();
    if (secondFailed || !CanTakeOver(*second)) {
      second.reset();
      secondDrawing.reset();
    }
  }
  if (secondUnits.empty()) {
    std::vector<std::size_t> held;
    for (long id : s_.roots) {
      if (stopped_) break;
      if (s_.Held(id, held)) continue;
      TContext ctx;
      ctx.From = id;
      Item(id, ctx, 0);
    }
  } else if (!second) {
    Walk(secondUnits, true);
  }
  // The title block values: descriptive items named as the title block's
  // fields, in the order of the fields.
  for (const char* key : kTitleBlockKeys)
    if (auto v = s_.titleValues.find(key); v != s_.titleValues.end() && !v->second.empty())
      d_.Attributes.emplace_back(key, v->second);
  for (const auto& [name, count] : s_.unknown) d_.Skipped[name] += count;
  // What is left needs nothing of the store: its memory goes first.
  if (release) release();
  if (second) TakeOver(*second, *secondDrawing);
  Close();
}

void TResolver::Begin() {
  angle_ = s_.radian && !s_.degree ? 1.0 : kPi / 180.0;  // degrees unless only radians are named
  d_.Layers = s_.layers;
  for (long item : s_.invisible)
    if (auto l = s_.layerIds.find(item); l != s_.layerIds.end()) d_.Layers[l->second].Visible = false;
  Sheet();
  d_.Primitives.reserve(std::min(s_.occurrences, meter_.Budget().Primitives));
  AdviseLargePages(d_.Primitives.data(), d_.Primitives.capacity() * sizeof(TPrimitive));
}

void TResolver::Halves(std::vector<TUnit>& first, std::vector<TUnit>& second) const {
  std::vector<long> top;
  std::vector<std::size_t> held;
  for (long id : s_.roots)
    if (!s_.Held(id, held) && !TStore::In(s_.hidden, id)) top.push_back(id);
  // Each item's share of the work: its own items for a plain container
  // (a sheet holding all its figures), one for anything else; a drawing
  // of many items at the top shares them by their count.
  constexpr std::size_t kLookedAt = 64;
  std::vector<std::size_t> weights(top.size(), 1);
  if (top.size() < kLookedAt)
    for (std::size_t i = 0; i < top.size(); ++i)
      if (const TFound inst = Find(top[i]); inst && Ap202PlainContainer(*inst))
        weights[i] = std::max<std::size_t>(1, Refs(Param(inst->Records[0], 1)).size());
  std::size_t total = 0;
  for (std::size_t w : weights) total += w;
  if (total < 2) return;
  std::size_t before = 0, i = 0;
  while (before + weights[i] <= total / 2) before += weights[i++];
  for (std::size_t j = 0; j < i; ++j) first.push_back({top[j]});
  std::size_t from = i;
  if (before < total / 2 && weights[i] > 1) {
    // The middle falls among a container's items: each half draws a part.
    const std::size_t k = total / 2 - before;
    first.push_back({top[i], 0, k});
    second.push_back({top[i], k, weights[i]});
    from = i + 1;
  }
  for (std::size_t j = from; j < top.size(); ++j) second.push_back({top[j]});
}

void TResolver::Walk(const std::vector<TUnit>& units, bool sharedCounted) {
  for (const TUnit& u : units) {
    if (stopped_) break;
    TContext ctx;
    ctx.From = u.Id;
    part_ = u;
    // The second part of a container drawn in two: the container itself
    // was counted with the first.
    const bool shared = sharedCounted && u.From > 0;
    Item(u.Id, ctx, 0);
    if (shared) --visits_;
    part_ = {};
  }
}

bool TResolver::CanTakeOver(const TResolver& second) const {
  if (stopped_ || second.stopped_ || visits_ + second.visits_ > kMaxVisits) return false;
  const TBudget& b = meter_.Budget();
  const TBudgetMeter& m = meter_;
  const TBudgetMeter& n = second.meter_;
  return m.Primitives() + n.Primitives() <= b.Primitives && m.Points() + n.Points() <= b.Points &&
         m.Points() + second.mostPointsAsked_ <= b.Points && m.Placements() + n.Placements() <= b.Placements &&
         m.Bytes() + n.Bytes() <= b.Bytes;
}

void TResolver::TakeOver(const TResolver& second, TDrawing& drawing) {
  // Its tables' entries in this drawing's tables: those new here are added
  // in the order the second half first used them, as drawn after the first.
  std::vector<int> colours, lineTypes, fonts;
  for (const TColour& c : drawing.Colours) colours.push_back(ColourIndex(c));
  for (const TLineType& t : drawing.LineTypes) lineTypes.push_back(LineTypeIndex(t));
  for (const TFont& f : drawing.Fonts) fonts.push_back(FontIndex(f.Name));
  auto map = [](const std::vector<int>& to, int& index) {
    if (index >= 0 && static_cast<std::size_t>(index) < to.size()) index = to[static_cast<std::size_t>(index)];
  };
  const std::size_t first = d_.Primitives.size();
  d_.Primitives.reserve(first + drawing.Primitives.size());
  for (TPrimitive& p : drawing.Primitives) {
    map(colours, p.Colour);
    map(lineTypes, p.LineType);
    map(fonts, p.Font);
    d_.Primitives.push_back(std::move(p));
  }
  drawing.Primitives = {};
  for (TPartial& p : drawing.Partials) {
    p.First += first;
    d_.Partials.push_back(std::move(p));
  }
  for (const auto& [name, count] : drawing.Skipped) d_.Skipped[name] += count;
  // A style this half had cached was not made again after it: what making
  // it counted is not counted twice.
  for (const auto& [style, names] : second.styleSkips_)
    if (styleCache_.count(style))
      for (const std::string& name : names) --d_.Skipped[name];
  if (!d_.Stop.Broken) d_.Stop = std::move(drawing.Stop);
  visits_ += second.visits_;
}

void TResolver::Close() {
  if (stopped_) {
    d_.Stop = {};
    d_.Stop.Broken = true;
    d_.Stop.Reason = BudgetReason(d_.Primitives.size());
  }
  // A file cut before its sheet leaves the size open: the view takes the
  // box of what was read.
  if ((d_.SheetWidth <= 0 || d_.SheetHeight <= 0) && !cut_) SheetFromExtent();
}

long TResolver::LineOf(long id) const {
  const TFound i = Find(id);
  return i ? i->Line : 0;
}

void TResolver::Problem(long id, std::string reason) {
  if (d_.Stop.Broken) return;
  d_.Stop.Broken = true;
  d_.Stop.Line = LineOf(id);
  d_.Stop.Reason = std::move(reason);
}

void TResolver::Missing(long from, long id, std::string_view what) {
  ++d_.Skipped[std::string(what)];
  if (!d_.Stop.Broken)
    Problem(from, Arg(Tr("SxfReader", "#%1 が参照する #%2 がありません"), {std::to_string(from), std::to_string(id)}));
}

std::string TResolver::NameOf(long id) const {
  if (const TFound i = Find(id)) return i->Records[0].Name;
  return FindPoint(id) ? "CARTESIAN_POINT" : "#" + std::to_string(id);
}

int TResolver::ColourIndex(const TColour& c) {
  const std::string key = c.Name + '|' + std::to_string(c.R) + ',' + std::to_string(c.G) + ',' + std::to_string(c.B);
  auto [it, added] = colourKeys_.try_emplace(key, static_cast<int>(d_.Colours.size()));
  if (added) d_.Colours.push_back(c);
  return it->second;
}

int TResolver::LineTypeIndex(const TLineType& t) {
  std::string key = t.Name;
  for (double p : t.Pitches) key += '|' + std::to_string(p);
  auto [it, added] = lineTypeKeys_.try_emplace(key, static_cast<int>(d_.LineTypes.size()));
  if (added) d_.LineTypes.push_back(t);
  return it->second;
}

int TResolver::FontIndex(const std::string& name) {
  auto [it, added] = fontKeys_.try_emplace(name, static_cast<int>(d_.Fonts.size()));
  if (added) d_.Fonts.push_back({name});
  return it->second;
}

int TResolver::Colour(long id, int depth) {
  const TFound inst = depth < kMaxLinks ? Find(id) : nullptr;
  if (!inst) return -1;
  const TRecord& r = inst->Records[0];
  if (r.Name == "COLOUR_RGB") {
    double v[3];
    for (int i = 0; i < 3; ++i) v[i] = std::clamp(Num(Param(r, i + 1), 0), 0.0, 255.0);
    const bool unit = v[0] <= 1 && v[1] <= 1 && v[2] <= 1;  // 0..1 as the schema says, or 0..255
    TColour c{Str(Param(r, 0)), 0, 0, 0};
    c.R = static_cast<std::uint8_t>(std::lround(unit ? v[0] * 255 : v[0]));
    c.G = static_cast<std::uint8_t>(std::lround(unit ? v[1] * 255 : v[1]));
    c.B = static_cast<std::uint8_t>(std::lround(unit ? v[2] * 255 : v[2]));
    return ColourIndex(c);
  }
  if (EndsWith(r.Name, "PRE_DEFINED_COLOUR")) {
    TColour c{Str(Param(r, 0)), 0, 0, 0};
    if (!PredefinedColour(PredefinedColourCode(c.Name), c)) {
      ++d_.Skipped[r.Name];
      if (noteSkips_) noteSkips_->push_back(r.Name);
    }
    return ColourIndex(c);
  }
  if (r.Name == "TEXT_STYLE_FOR_DEFINED_FONT" || r.Name == "SYMBOL_COLOUR") return Colour(RefOf(Param(r, 0)), depth + 1);
  if (r.Name == "FILL_AREA_STYLE_COLOUR") return Colour(RefOf(Param(r, 1)), depth + 1);
  return -1;
}

int TResolver::LineType(long id, int depth) {
  const TFound inst = depth < kMaxLinks ? Find(id) : nullptr;
  if (!inst) return -1;
  const TRecord& r = inst->Records[0];
  TLineType t;
  t.Name = Str(Param(r, 0));
  if (EndsWith(r.Name, "PRE_DEFINED_CURVE_FONT")) {
    PredefinedLineType(PredefinedLineTypeCode(t.Name), t);
  } else if (r.Name == "CURVE_STYLE_FONT") {
    for (long pid : Refs(Param(r, 1))) {
      const TFound pi = Find(pid);
      const TRecord* pat = Simple(pi, "CURVE_STYLE_FONT_PATTERN");
      if (!pat) continue;
      t.Pitches.push_back(Num(Param(*pat, 0), 0));
      t.Pitches.push_back(Num(Param(*pat, 1), 0));
    }
  } else if (r.Name == "CURVE_STYLE_FONT_AND_SCALING") {
    int inner = LineType(RefOf(Param(r, 1)), depth + 1);
    if (inner < 0) return -1;
    t = d_.LineTypes[inner];
    const double scale = Num(Param(r, 2), 1);
    for (double& p : t.Pitches) p *= scale;
  } else if (r.Name == "EXTERNALLY_DEFINED_CURVE_FONT") {
    // the name of the font is all there is
  } else {
    return -1;
  }
  return LineTypeIndex(t);
}

int TResolver::Font(long id) {
  const TFound inst = Find(id);
  if (!inst) return -1;
  const TRecord& r = inst->Records[0];
  std::string name = Str(Param(r, 0));
  return name.empty() && r.Name == "TEXT_FONT" ? -1 : FontIndex(name);
}

double TResolver::Length(const TValue* v, double fallback) {
  double d;
  if (NumberOf(v, d)) return d;
  if (long id = RefOf(v)) {
    const TFound inst = Find(id);
    if (inst && !inst->Records.empty() && NumberOf(Param(inst->Records[0], 0), d)) return d;
  }
  return fallback;
}

void TResolver::CurveStyle(const TRecord& r, TStyle& st) {
  if (long f = RefOf(Param(r, 1))) st.LineType = LineType(f);
  st.Width = Length(Param(r, 2), st.Width);
  if (long c = RefOf(Param(r, 3))) st.Colour = Colour(c);
}

void TResolver::TextStyle(const TInstance& inst, TStyle& st) {
  for (const TRecord& r : inst.Records) {
    if (!r.Name.starts_with("TEXT_STYLE")) continue;
    if (long a = RefOf(Param(r, 1))) st.Colour = Colour(a);
    if (r.Name == "TEXT_STYLE_WITH_BOX_CHARACTERISTICS") {
      const TValue* set = Param(r, 2);
      if (set && set->Kind == TValueKind::List)
        for (const TValue& c : set->Items) {
          if (c.Kind != TValueKind::Typed) continue;
          const double v = Num(&c, 0);
          if (c.Text == "BOX_HEIGHT") st.Height = v;
          else if (c.Text == "BOX_WIDTH") st.BoxWidth = v;
          else if (c.Text == "BOX_SLANT_ANGLE") st.Slant = v * angle_;
        }
    }
    if (r.Name == "TEXT_STYLE_WITH_SPACING") st.Spacing = Length(Param(r, 2), 0);
  }
}

void TResolver::FillStyle(const TRecord& r, TStyle& st) {
  st.Fill = true;
  for (long fid : Refs(Param(r, 1))) {
    const TFound f = Find(fid);
    if (!f) continue;
    const TRecord& fr = f->Records[0];
    if (fr.Name == "FILL_AREA_STYLE_COLOUR") {
      st.Solid = true;
      st.Colour = Colour(fid);
    } else if (fr.Name == "FILL_AREA_STYLE_HATCHING") {
      TStyle line;
      const TFound csi = Find(RefOf(Param(fr, 1)));
      if (const TRecord* cs = Simple(csi, "CURVE_STYLE")) CurveStyle(*cs, line);
      if (st.Colour < 0) st.Colour = line.Colour;
      if (st.Width < 0) st.Width = line.Width;
      if (st.LineType < 0) st.LineType = line.LineType;
      const double angle = Num(Param(fr, 5), 0) * angle_;
      double pitch = 0;
      const TFound repi = Find(RefOf(Param(fr, 2)));
      const TRecord* rep = Simple(repi, "ONE_DIRECTION_REPEAT_FACTOR");
      const TFound veci = rep ? Find(RefOf(Param(*rep, 1))) : nullptr;
      if (const TRecord* vec = Simple(veci, "VECTOR")) {
        const TPoint* dir = FindPoint(RefOf(Param(*vec, 1)));
        const double mag = Num(Param(*vec, 2), 0);
        if (dir) {
          const double len = std::hypot(dir->X, dir->Y);
          // the distance between lines: the offset across the line direction
          const double across = len > 0 ? std::fabs(dir->Y * std::cos(angle) - dir->X * std::sin(angle)) / len : 1;
          pitch = mag * (across > 1e-9 ? across : 1);
        }
      }
      if (pitch > 0) st.Pattern.push_back({angle, pitch});
    }
  }
}

TStyle TResolver::Styles(const TValue* list) {
  const std::vector<long> refs = Refs(list);
  if (refs.size() != 1) return StylesOf(refs);
  auto cached = styleCache_.find(refs[0]);
  if (cached == styleCache_.end()) {
    std::vector<std::string> skips;
    noteSkips_ = &skips;
    TStyle st = StylesOf(refs);
    noteSkips_ = nullptr;
    if (!skips.empty()) styleSkips_.emplace(refs[0], std::move(skips));
    cached = styleCache_.emplace(refs[0], std::move(st)).first;
  }
  return cached->second;
}

TStyle TResolver::StylesOf(const std::vector<long>& refs) {
  TStyle st;
  for (long psa : refs) {
    const TFound a = Find(psa);
    if (!a) continue;
    for (long sid : Refs(Param(a->Records[0], 0))) {
      const TFound si = Find(sid);
      if (!si) continue;
      const TRecord& r = si->Records[0];
      if (r.Name == "CURVE_STYLE") CurveStyle(r, st);
      else if (r.Name.starts_with("TEXT_STYLE")) TextStyle(*si, st);
      else if (r.Name == "FILL_AREA_STYLE") FillStyle(r, st);
      else if (r.Name == "POINT_STYLE") {
        st.Marker = Marker(Param(r, 1));
        if (long c = RefOf(Param(r, 3))) st.Colour = Colour(c);
      } else if (r.Name == "SYMBOL_STYLE") {
        if (long c = RefOf(Param(r, 1))) st.Colour = Colour(c);
      }
    }
  }
  return st;
}

int TResolver::Marker(const TValue* v) {
  static const char* const names[] = {"DOT", "X", "PLUS", "ASTERISK", "RING", "SQUARE", "TRIANGLE"};
  std::string name = AsciiUpper(Str(v));
  if (name.empty())
    if (const TFound m = Find(RefOf(v))) name = AsciiUpper(Str(Param(m->Records[0], 0)));
  for (int i = 0; i < 7; ++i)
    if (name == names[i]) return i + 1;
  return 1;
}

bool TResolver::Direction(long id, TPoint& out) {
  const TPoint* p = FindPoint(id);
  if (!p) return false;
  const double len = std::hypot(p->X, p->Y);
  if (!(len > 0)) return false;
  out = {p->X / len, p->Y / len};
  return true;
}

bool TResolver::Placement(long id, long from, TTransform& out, int depth) {
  out = {};
  if (depth >= kMaxLinks) return false;
  const TFound inst = Find(id);
  if (!inst) {
    if (id) Missing(from, id, NameOf(from));
    return false;
  }
  const TRecord& r = inst->Records[0];
  if (r.Name == "AXIS2_PLACEMENT_2D" && !inst->Complex) {
    const TPoint* loc = FindPoint(RefOf(Param(r, 1)));
    if (!loc) {
      Missing(id, RefOf(Param(r, 1)), r.Name);
      return false;
    }
    TPoint u{1, 0};
    if (long dref = RefOf(Param(r, 2))) Direction(dref, u);
    out = {u.X, u.Y, -u.Y, u.X, loc->X, loc->Y};
    return true;
  }
  if (r.Name == "PLANAR_BOX") return Placement(RefOf(Param(r, 3)), id, out, depth + 1);
  if (r.Name == "SYMBOL_TARGET") {  // (name, placement, x scale, y scale)
    if (!Placement(RefOf(Param(r, 1)), id, out, depth + 1)) return false;
    const TTransform scale{Num(Param(r, 2), 1), 0, 0, Num(Param(r, 3), 1), 0, 0};
    out = out.After(scale);
    return true;
  }
  // A transformation operator, simple (name, description, axis1, axis2,
  // origin, scale[, scale2]) or complex.
  const TValue *axis1 = nullptr, *axis2 = nullptr, *origin = nullptr, *scale = nullptr, *scale2 = nullptr;
  if (!inst->Complex && r.Name.starts_with("CARTESIAN_TRANSFORMATION_OPERATOR")) {
    axis1 = Param(r, 2), axis2 = Param(r, 3), origin = Param(r, 4), scale = Param(r, 5), scale2 = Param(r, 6);
  } else if (const TRecord* op = Part(*inst, "CARTESIAN_TRANSFORMATION_OPERATOR")) {
    axis1 = Param(*op, 0), axis2 = Param(*op, 1), origin = Param(*op, 2), scale = Param(*op, 3);
    if (const TRecord* nu = Part(*inst, "CARTESIAN_TRANSFORMATION_OPERATOR_2D_NON_UNIFORM")) scale2 = Param(*nu, 0);
  } else {
    return false;
  }
  TPoint u1{1, 0}, o{0, 0};
  if (long a = RefOf(axis1)) Direction(a, u1);
  TPoint u2{-u1.Y, u1.X};
  TPoint a2;
  if (long a = RefOf(axis2); a && Direction(a, a2) && a2.X * u2.X + a2.Y * u2.Y < 0) u2 = {-u2.X, -u2.Y};
  if (long p = RefOf(origin)) {
    const TPoint* q = FindPoint(p);
    if (!q) {
      Missing(id, p, r.Name);
      return false;
    }
    o = *q;
  }
  const double s1 = Num(scale, 1), s2 = Num(scale2, s1);
  out = {s1 * u1.X, s1 * u1.Y, s2 * u2.X, s2 * u2.Y, o.X, o.Y};
  return true;
}

bool TResolver::BoxSize(long id, double& x, double& y, int depth) {
  const TFound inst = depth < kMaxLinks ? Find(id) : nullptr;
  if (!inst) return false;
  const TRecord& r = inst->Records[0];
  if (r.Name == "CAMERA_MODEL_D2") return BoxSize(RefOf(Param(r, 1)), x, y, depth + 1);
  if (r.Name != "PLANAR_BOX") return false;
  x = Num(Param(r, 1), 0), y = Num(Param(r, 2), 0);
  return x > 0 && y > 0;
}

void TResolver::Item(long id, const TContext& outer, int depth) {
  if (stopped_ || TStore::In(s_.hidden, id)) return;
  // Figures placing figures many times over multiply the work even when
  // they draw nothing.
  if (++visits_ > kMaxVisits) {
    Overflow();
    return;
  }
  if (depth > kMaxDepth) {
    ++d_.Skipped[NameOf(id)];
    if (!d_.Stop.Broken) Problem(id, Arg(Tr("SxfReader", "#%1 の入れ子が深すぎます"), {std::to_string(id)}));
    return;
  }
  TContext ctx = outer;
  if (const int layer = s_.LayerOf(id); layer >= 0) ctx.Layer = layer;
  const TFound inst = Find(id);
  if (!inst) {
    if (FindPoint(id)) {  // a styled point
      TPrimitive p;
      p.Kind = TKind::Point;
      p.Points.push_back(*FindPoint(id));
      p.Marker = ctx.Style.Marker ? ctx.Style.Marker : 1;
      Emit(std::move(p), ctx);
    } else {
      Missing(outer.From, id, NameOf(outer.From));
    }
    return;
  }
  ctx.From = id;
  const TRecord& r = inst->Records[0];
  // A styled item: its own style over what the outer one gave.
  const auto [styles, item] = TwoAttributes(*inst, "STYLED_ITEM", IsStyledName(r.Name));
  if (item) {
    TStyle st = Styles(styles);
    st.Under(ctx.Style);
    ctx.Style = std::move(st);
    if (long ref = RefOf(item)) Item(ref, ctx, depth + 1);
    return;
  }
  const auto [source, target] = TwoAttributes(*inst, "MAPPED_ITEM", IsMappedName(r.Name));
  if (source) {
    Place(id, RefOf(source), RefOf(target), ctx, depth);
    return;
  }
  if (!inst->Complex && (IsCalloutName(r.Name) || IsRepresentationName(r.Name))) {
    if (!Enter(id)) return;
    const std::vector<long> children = Refs(Param(r, 1));
    // A container drawn in two parts: this part's items.
    const bool part = depth == 0 && id == part_.Id;
    const std::size_t from = part ? std::min(part_.From, children.size()) : 0;
    const std::size_t to = part ? std::min(part_.To, children.size()) : children.size();
    for (std::size_t i = from; i < to; ++i) Item(children[i], ctx, depth + 1);
    Leave(id);
    return;
  }
  std::vector<TPrimitive> out;
  Geometry(*inst, ctx, out, depth);
  pending_ = 0;
  for (TPrimitive& p : out) Emit(std::move(p), ctx);
}

bool TResolver::Enter(long id) {
  if (std::find(active_.begin(), active_.end(), id) != active_.end()) {
    ++d_.Skipped[NameOf(id)];
    if (!d_.Stop.Broken) Problem(id, Arg(Tr("SxfReader", "#%1 の配置が循環しています"), {std::to_string(id)}));
    return false;
  }
  active_.push_back(id);
  return true;
}

void TResolver::Place(long id, long mapId, long targetId, TContext ctx, int depth) {
  const TFound map = Find(mapId);
  const TRecord* mr = map && !map->Complex ? &map->Records[0] : nullptr;
  if (!mr) {
    Missing(id, mapId, NameOf(id));
    return;
  }
  const long originId = RefOf(Param(*mr, 0)), repId = RefOf(Param(*mr, 1));
  TTransform origin, target;
  const TFound originInst = Find(originId);
  if (originInst && originInst->Records[0].Name == "CAMERA_MODEL_D2") {
    Placement(RefOf(Param(originInst->Records[0], 1)), originId, origin);
  } else if (originId && !Placement(originId, mapId, origin)) {
    ++d_.Skipped[NameOf(id)];
    return;
  }
  if (!Placement(targetId, id, target)) {
    ++d_.Skipped[NameOf(id)];
    return;
  }
  // A view window fitted into a box on the sheet scales by their sizes.
  double wx, wy, tx, ty;
  TTransform fit;
  if (BoxSize(originId, wx, wy) && BoxSize(targetId, tx, ty)) fit = {tx / wx, 0, 0, ty / wy, 0, 0};
  ctx.T = ctx.T.After(target.After(fit.After(Inverse(origin))));
  const TFound rep = Find(repId);
  if (!rep) {
    Missing(mapId, repId, NameOf(id));
    return;
  }
  if (!meter_.TakePlacement()) {
    Overflow();
    return;
  }
  if (!Enter(repId)) return;
  ctx.From = repId;
  const std::size_t first = d_.Primitives.size();
  ++placing_;
  for (long child : Refs(Param(rep->Records[0], 1))) Item(child, ctx, depth + 1);
  --placing_;
  Leave(repId);
  // A subfigure placed on the sheet itself is a partial drawing at a
  // scale of its own.
  const TRecord& rr = rep->Records[0];
  if (placing_ == 0 && !rep->Complex && rr.Name == "DRAUGHTING_SUBFIGURE_REPRESENTATION")
    d_.Partials.push_back({Str(Param(rr, 0)), ctx.T, first, d_.Primitives.size() - first});
}

bool TResolver::Room(std::uint64_t points) {
  mostPointsAsked_ = std::max(mostPointsAsked_, meter_.Points() + pending_ + points);
  if (meter_.RoomForPoints(pending_ + points)) {
    pending_ += points;
    return true;
  }
  Overflow();
  return false;
}

void TResolver::Emit(TPrimitive p, const TContext& ctx) {
  if (!meter_.Take(p)) {
    Overflow();
    return;
  }
  const TStyle& st = ctx.Style;
  p.Layer = ctx.Layer;
  p.Colour = st.Colour;
  p.LineType = st.LineType;
  if (st.Width >= 0) p.Width = st.Width;
  if (p.Kind == TKind::Hatch) {
    p.Solid = st.Solid;
    p.SetPatternLines(st.Pattern);
  }
  TransformPrimitive(p, ctx.T);
  d_.Primitives.push_back(std::move(p));
}

}  // namespace dlvr::sxf::ap202_detail
