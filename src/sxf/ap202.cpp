#include "sxf/ap202.h"

#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/translate.h"
#include "sxf/large_pages.h"
#include "sxf/part21.h"
#include "sxf/tables.h"

namespace dlvr::sxf {
namespace {

using p21::TInstance;
using p21::TRecord;
using p21::TValue;
using p21::TValueKind;

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxDepth = 32;          // placements and containers within each other
constexpr int kMaxLinks = 8;           // a style's or placement's references followed one after another
constexpr int kSegmentsPerTurn = 72;   // a conic drawn as a boundary or under a shear
constexpr std::size_t kMaxVisits = 4 * kMaxAp202Primitives;  // items reached, figures expanded

// ---------------------------------------------------------------------------
// Values

const TValue* Param(const TRecord& r, std::size_t i) { return i < r.Params.size() ? &r.Params[i] : nullptr; }

// A number, also inside a typed value (POSITIVE_LENGTH_MEASURE(0.35)).
bool NumberOf(const TValue* v, double& out) {
  while (v && v->Kind == TValueKind::Typed && v->Items.size() == 1) v = &v->Items[0];
  if (!v || !v->IsNumber() || !std::isfinite(v->Number)) return false;
  out = v->Number;
  return true;
}
double Num(const TValue* v, double fallback) {
  double d;
  return NumberOf(v, d) ? d : fallback;
}
long RefOf(const TValue* v) {
  while (v && v->Kind == TValueKind::Typed && v->Items.size() == 1) v = &v->Items[0];
  return v && v->Kind == TValueKind::Ref ? v->Ref : 0;
}
std::string Str(const TValue* v) {
  while (v && v->Kind == TValueKind::Typed && v->Items.size() == 1) v = &v->Items[0];
  return v && (v->Kind == TValueKind::String || v->Kind == TValueKind::Enum) ? v->Text : std::string();
}
// The references of a list (nothing when it is no list).
std::vector<long> Refs(const TValue* v) {
  std::vector<long> out;
  if (v && v->Kind == TValueKind::List)
    for (const TValue& i : v->Items)
      if (long r = RefOf(&i)) out.push_back(r);
  return out;
}

const TRecord* Part(const TInstance& inst, std::string_view name) {
  for (const TRecord& r : inst.Records)
    if (r.Name == name) return &r;
  return nullptr;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// ---------------------------------------------------------------------------
// Entity families

// Styled items: (name, styles, item, ...) when simple.
bool IsStyledName(std::string_view n) {
  static const std::set<std::string_view> names = {
      "STYLED_ITEM", "OVER_RIDING_STYLED_ITEM", "DIMENSION_CURVE", "LEADER_CURVE", "PROJECTION_CURVE",
      "TERMINATOR_SYMBOL", "DIMENSION_CURVE_TERMINATOR", "LEADER_TERMINATOR"};
  return EndsWith(n, "_OCCURRENCE") || names.count(n);
}
// Callouts, dimensions among them: (name, contents).
bool IsCalloutName(std::string_view n) { return EndsWith(n, "CALLOUT") || EndsWith(n, "_DIMENSION"); }
// Representations: (name, items, context).
bool IsRepresentationName(std::string_view n) {
  return EndsWith(n, "REPRESENTATION") || n == "PRESENTATION_VIEW" || n == "PRESENTATION_AREA" ||
         n == "DRAWING_SHEET_REVISION" || n == "DRAUGHTING_MODEL";
}
// Mapped items: (name, mapping_source, mapping_target).
bool IsMappedName(std::string_view n) {
  return n == "MAPPED_ITEM" || n == "ANNOTATION_SYMBOL" || n == "ANNOTATION_TEXT" || n == "DRAUGHTING_SYMBOL" ||
         n.starts_with("CAMERA_IMAGE");
}
bool IsTextName(std::string_view n) { return n.starts_with("TEXT_LITERAL"); }
bool IsSplineName(std::string_view n) {
  return n.starts_with("B_SPLINE_CURVE") || n == "BEZIER_CURVE" || n == "UNIFORM_CURVE" || n == "QUASI_UNIFORM_CURVE" ||
         n == "RATIONAL_B_SPLINE_CURVE";
}
bool IsDrawableName(std::string_view n) {
  return n == "POLYLINE" || n == "LINE" || n == "CIRCLE" || n == "ELLIPSE" || n == "TRIMMED_CURVE" ||
         n == "COMPOSITE_CURVE" || n == "ANNOTATION_FILL_AREA" || IsTextName(n) || IsSplineName(n);
}

// Entities read for what they say about others, drawn through them.
bool IsKnownName(std::string_view n) {
  static const std::set<std::string_view> names = {
      "DRAWING_SHEET_REVISION_USAGE", "DRAWING_DEFINITION", "DRAWING_REVISION", "PRESENTATION_SIZE", "PLANAR_BOX",
      "PLANAR_EXTENT", "PRESENTATION_SET", "AREA_IN_SET", "PRESENTED_ITEM_REPRESENTATION", "DRAUGHTING_PRESENTED_ITEM",
      "PRESENTATION_LAYER_ASSIGNMENT", "PRESENTATION_LAYER_USAGE", "INVISIBILITY", "CONTEXT_DEPENDENT_INVISIBILITY",
      "REPRESENTATION_CONTEXT", "GEOMETRIC_REPRESENTATION_CONTEXT", "GLOBAL_UNIT_ASSIGNED_CONTEXT",
      "GLOBAL_UNCERTAINTY_ASSIGNED_CONTEXT", "PARAMETRIC_REPRESENTATION_CONTEXT", "NAMED_UNIT", "SI_UNIT", "LENGTH_UNIT",
      "PLANE_ANGLE_UNIT", "SOLID_ANGLE_UNIT", "CONVERSION_BASED_UNIT", "DIMENSIONAL_EXPONENTS", "MEASURE_WITH_UNIT",
      "LENGTH_MEASURE_WITH_UNIT", "PLANE_ANGLE_MEASURE_WITH_UNIT", "UNCERTAINTY_MEASURE_WITH_UNIT",
      "CARTESIAN_POINT", "DIRECTION", "VECTOR", "AXIS2_PLACEMENT_2D", "CARTESIAN_TRANSFORMATION_OPERATOR",
      "CARTESIAN_TRANSFORMATION_OPERATOR_2D", "CARTESIAN_TRANSFORMATION_OPERATOR_2D_NON_UNIFORM",
      "COMPOSITE_CURVE_SEGMENT", "REPRESENTATION_MAP", "SYMBOL_REPRESENTATION_MAP", "CAMERA_USAGE", "CAMERA_MODEL_D2",
      "SYMBOL_TARGET", "REPRESENTATION_ITEM", "GEOMETRIC_REPRESENTATION_ITEM", "CURVE", "BOUNDED_CURVE",
      "PRESENTATION_STYLE_ASSIGNMENT", "PRESENTATION_STYLE_BY_CONTEXT", "CURVE_STYLE", "CURVE_STYLE_FONT",
      "CURVE_STYLE_FONT_PATTERN", "CURVE_STYLE_FONT_AND_SCALING", "DRAUGHTING_PRE_DEFINED_CURVE_FONT",
      "PRE_DEFINED_CURVE_FONT", "EXTERNALLY_DEFINED_CURVE_FONT", "DRAUGHTING_PRE_DEFINED_COLOUR", "PRE_DEFINED_COLOUR",
      "COLOUR_RGB", "COLOUR_SPECIFICATION", "COLOUR", "TEXT_STYLE", "TEXT_STYLE_FOR_DEFINED_FONT",
      "TEXT_STYLE_WITH_BOX_CHARACTERISTICS", "TEXT_STYLE_WITH_SPACING", "TEXT_STYLE_WITH_MIRROR",
      "DRAUGHTING_PRE_DEFINED_TEXT_FONT", "PRE_DEFINED_TEXT_FONT", "EXTERNALLY_DEFINED_TEXT_FONT", "TEXT_FONT",
      "EXTERNAL_SOURCE", "FILL_AREA_STYLE", "FILL_AREA_STYLE_COLOUR", "FILL_AREA_STYLE_HATCHING",
      "ONE_DIRECTION_REPEAT_FACTOR", "EXTERNALLY_DEFINED_HATCH_STYLE", "POINT_STYLE", "SYMBOL_STYLE", "SYMBOL_COLOUR",
      "PRE_DEFINED_MARKER", "DRAUGHTING_ANNOTATION_OCCURRENCE", "DESCRIPTIVE_REPRESENTATION_ITEM",
      "DRAUGHTING_TITLE", "DRAUGHTING_DRAWING_REVISION", "APPLICATION_CONTEXT", "APPLICATION_PROTOCOL_DEFINITION"};
  return names.count(n) || IsStyledName(n) || IsCalloutName(n) || IsRepresentationName(n) || IsMappedName(n) ||
         IsDrawableName(n);
}

// ---------------------------------------------------------------------------
// Placements

TTransform Inverse(const TTransform& t) {
  const double det = t.A * t.D - t.B * t.C;
  if (!(std::fabs(det) > 1e-300)) return {};
  const double a = t.D / det, b = -t.B / det, c = -t.C / det, d = t.A / det;
  return {a, b, c, d, -(a * t.E + c * t.F), -(b * t.E + d * t.F)};
}

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

// ---------------------------------------------------------------------------
// The instances kept while reading

struct TKeptPoint {
  long Id;
  TPoint P;
};

using TFound = std::optional<TInstance>;

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

// The record of a simple instance named `name`.
const TRecord* Simple(const TFound& inst, std::string_view name) {
  return inst && !inst->Complex && inst->Records.size() == 1 && inst->Records[0].Name == name ? &inst->Records[0]
                                                                                              : nullptr;
}

// The first element of sorted `a` whose number is not below `id`, found
// by steps doubling away from `hint` (where the search before ended, then
// moved to the answer): the resolver asks for instances near the one asked
// before, whose entries are in the cache already.
template <class T, class IdOf>
std::size_t Ap202LowerBoundNear(const std::vector<T>& a, std::size_t& hint, long id, IdOf idOf) {
  const std::size_t n = a.size();
  const std::size_t h = std::min(hint, n);
  std::size_t lo = 0, hi = h;  // the answer lies in [lo, hi]
  if (h < n && idOf(a[h]) < id) {
    lo = h + 1;
    hi = h + 1;
    for (std::size_t step = 1; hi < n && idOf(a[hi]) < id;) {
      lo = hi + 1;
      step *= 2;
      hi = h + step;
    }
    hi = std::min(hi, n);
  } else {
    std::size_t step = 1;
    lo = h >= step ? h - step : 0;
    while (lo > 0 && idOf(a[lo]) >= id) {
      hi = lo;
      step *= 2;
      lo = h >= step ? h - step : 0;
    }
  }
  const auto it = std::lower_bound(a.begin() + static_cast<std::ptrdiff_t>(lo), a.begin() + static_cast<std::ptrdiff_t>(hi),
                                   id, [&](const T& e, long v) { return idOf(e) < v; });
  hint = static_cast<std::size_t>(it - a.begin());
  return hint;
}

// Instance numbers with a value each (where an instance's bytes are), in
// 8 bytes an entry while both fit 32 bits (as good as always), else in 16.
// Entries are added in file order; of two with one number the first is
// found.
class TIdIndex {
 public:
  void Add(long id, std::uint64_t value) {
    if (id >= 0 && id <= long{UINT32_MAX} && value <= UINT32_MAX) {
      if (!narrow_.empty() && narrow_.back().Id >= id) narrowSorted_ = false;
      narrow_.push_back({static_cast<std::uint32_t>(id), static_cast<std::uint32_t>(value)});
    } else {
      if (!wide_.empty() && wide_.back().first >= id) wideSorted_ = false;
      wide_.emplace_back(id, value);
    }
  }
  void Finish() {
    if (!narrowSorted_)
      std::stable_sort(narrow_.begin(), narrow_.end(), [](const TNarrow& a, const TNarrow& b) { return a.Id < b.Id; });
    if (!wideSorted_)
      std::stable_sort(wide_.begin(), wide_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    narrowSorted_ = wideSorted_ = true;
    wide_.shrink_to_fit();
  }
  // Room for `count` entries (see TStore::Reserve).
  void Reserve(std::size_t count) {
    narrow_.reserve(count);
    AdviseLargePages(narrow_.data(), narrow_.capacity() * sizeof(TNarrow));
  }
  std::optional<std::uint64_t> Find(long id) const {
    if (id >= 0 && id <= long{UINT32_MAX}) {
      const std::size_t at = Ap202LowerBoundNear(narrow_, hint_, id, [](const TNarrow& e) { return long{e.Id}; });
      if (at < narrow_.size() && narrow_[at].Id == id) return narrow_[at].Value;
    }
    auto it = std::lower_bound(wide_.begin(), wide_.end(), id, [](const auto& a, long v) { return a.first < v; });
    if (it != wide_.end() && it->first == id) return it->second;
    return std::nullopt;
  }

 private:
  struct TNarrow {
    std::uint32_t Id, Value;
  };
  std::vector<TNarrow> narrow_;
  std::vector<std::pair<long, std::uint64_t>> wide_;
  bool narrowSorted_ = true, wideSorted_ = true;
  mutable std::size_t hint_ = 0;  // where the last search in narrow_ ended
};

// A set of instance numbers, 4 bytes a number while it fits 32 bits.
class TIdSet {
 public:
  void Add(long id) {
    if (id >= 0 && id <= long{UINT32_MAX}) narrow_.push_back(static_cast<std::uint32_t>(id));
    else wide_.push_back(id);
  }
  void Finish() {
    std::sort(narrow_.begin(), narrow_.end());
    std::sort(wide_.begin(), wide_.end());
    narrow_.shrink_to_fit();
    wide_.shrink_to_fit();
  }
  bool Has(long id) const {
    if (id >= 0 && id <= long{UINT32_MAX})
      return std::binary_search(narrow_.begin(), narrow_.end(), static_cast<std::uint32_t>(id));
    return std::binary_search(wide_.begin(), wide_.end(), id);
  }

 private:
  std::vector<std::uint32_t> narrow_;
  std::vector<long> wide_;
};

// Keeps the instances of a file: points and directions as numbers, every
// other instance encoded in a few bytes a value and decoded when asked for,
// so that memory follows the file's size, not its values' size in objects.
// What the drawing needs of all instances at once (layers, the sheet, the
// title block, the units, which instances others hold) is noted as they
// arrive.
class TStore : public p21::THandler {
 public:
  bool OnInstance(TInstance&& inst) override {
    if (!inst.Complex && inst.Records.size() == 1) {
      const TRecord& r = inst.Records[0];
      const TValue* coords = Param(r, 1);
      if ((r.Name == "CARTESIAN_POINT" || r.Name == "DIRECTION") && coords && coords->Kind == TValueKind::List &&
          coords->Items.size() >= 2 && coords->Items[0].IsNumber() && coords->Items[1].IsNumber()) {
        if (!points.empty() && points.back().Id >= inst.Id) pointsSorted_ = false;
        points.push_back({inst.Id, {coords->Items[0].Number, coords->Items[1].Number}});
        return true;
      }
    }
    Note(inst);
    index_.Add(inst.Id, Encode(inst));
    return true;
  }

  // Room for the points and the other instances of `bytes` of file (an
  // instance takes some 40 bytes of text or more; room not used is never
  // touched, so takes no memory), marked for large pages: growing the
  // tables a doubling at a time copied them and faulted in twice their
  // size.
  void Reserve(std::uint64_t bytes) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 48, std::uint64_t{1} << 26));
    points.reserve(count);
    AdviseLargePages(points.data(), points.capacity() * sizeof(TKeptPoint));
    index_.Reserve(count);
  }

  // Puts the instances in order of number, once the read is done (the
  // first of two with one number is kept).
  void Finish() {
    auto byId = [](const auto& a, const auto& b) { return a.first < b.first; };
    index_.Finish();
    if (!pointsSorted_) std::stable_sort(points.begin(), points.end(), PointBefore);
    inner.Finish();
    for (TArena& a : others_) {
      a.Index.Finish();
      std::stable_sort(a.Points.begin(), a.Points.end(), PointBefore);
      a.Inner.Finish();
    }
    std::stable_sort(layerOf.begin(), layerOf.end(), byId);
    for (long item : invisible)
      if (!layerIds.count(item)) hidden.push_back(item);
    std::sort(hidden.begin(), hidden.end());
  }

  // Takes over what another store read of the same file after this one
  // (the file read in two portions at once): its instances, points and
  // notes, as if this store had read them next. Its instances, points and
  // held items stay in tables of their own, looked up after this store's
  // (so the first of two with one number is still the one kept).
  void Append(TStore&& b) {
    others_.push_back({std::move(b.blocks_), std::move(b.names_), std::move(b.index_), std::move(b.points),
                       std::move(b.inner), 0});
    roots.insert(roots.end(), b.roots.begin(), b.roots.end());
    const int offset = static_cast<int>(layers.size());
    layers.insert(layers.end(), b.layers.begin(), b.layers.end());
    for (const auto& [item, layer] : b.layerOf) layerOf.emplace_back(item, layer + offset);
    for (const auto& [id, layer] : b.layerIds) layerIds.try_emplace(id, layer + offset);
    invisible.insert(invisible.end(), b.invisible.begin(), b.invisible.end());
    if (!sheet) sheet = b.sheet, sheetName = std::move(b.sheetName);
    sizes.insert(sizes.end(), b.sizes.begin(), b.sizes.end());
    for (auto& [key, value] : b.titleValues) titleValues.try_emplace(key, std::move(value));
    degree = degree || b.degree;
    radian = radian || b.radian;
    for (const auto& [name, count] : b.unknown) unknown[name] += count;
    occurrences += b.occurrences;
    b = TStore();
  }

  TFound Find(long id) const {
    if (auto at = index_.Find(id)) return Decode(id, *at, blocks_, names_);
    for (const TArena& a : others_)
      if (auto at = a.Index.Find(id)) return Decode(id, *at, a.Blocks, a.Names);
    return std::nullopt;
  }
  const TPoint* FindPoint(long id) const {
    auto find = [&](const std::vector<TKeptPoint>& points, std::size_t& hint) -> const TPoint* {
      const std::size_t at = Ap202LowerBoundNear(points, hint, id, [](const TKeptPoint& e) { return e.Id; });
      return at < points.size() && points[at].Id == id ? &points[at].P : nullptr;
    };
    if (const TPoint* p = find(points, pointHint_)) return p;
    for (const TArena& a : others_)
      if (const TPoint* p = find(a.Points, a.PointHint)) return p;
    return nullptr;
  }
  static bool In(const std::vector<long>& sorted, long id) { return std::binary_search(sorted.begin(), sorted.end(), id); }
  // Whether a container, occurrence or curve holds the item.
  bool Held(long id) const {
    if (inner.Has(id)) return true;
    for (const TArena& a : others_)
      if (a.Inner.Has(id)) return true;
    return false;
  }
  int LayerOf(long id) const {
    auto it = std::lower_bound(layerOf.begin(), layerOf.end(), id,
                               [](const std::pair<long, int>& a, long v) { return a.first < v; });
    return it != layerOf.end() && it->first == id ? it->second : -1;
  }

  std::vector<TKeptPoint> points;  // CARTESIAN_POINT and DIRECTION
  // Noted while reading:
  std::vector<long> roots;      // occurrences, figures, callouts and sheets, in file order
  TIdSet inner;                 // what a container, occurrence or curve holds
  std::vector<TLayer> layers;
  std::vector<std::pair<long, int>> layerOf;  // item -> layer (sorted by Finish, first assignment first)
  std::vector<long> invisible, hidden;        // INVISIBILITY's items; those that are no layer (sorted)
  std::map<long, int> layerIds;               // layer assignment -> layer
  long sheet = 0;
  std::string sheetName;
  std::vector<std::pair<long, long>> sizes;   // PRESENTATION_SIZE: sheet -> box
  std::map<std::string, std::string> titleValues;
  bool degree = false, radian = false;
  std::map<std::string, long> unknown;
  std::size_t occurrences = 0;  // styled items: about as many primitives as a drawing without figures has

 private:
  void Note(const TInstance& inst) {
    const TRecord& r = inst.Records[0];
    const std::string& n = r.Name;
    bool known = false;
    for (const TRecord& rec : inst.Records) {
      known = known || IsKnownName(rec.Name);
      if (rec.Name == "CONVERSION_BASED_UNIT" && AsciiUpper(Str(Param(rec, 0))).find("DEGREE") != std::string::npos)
        degree = true;
      if (rec.Name == "SI_UNIT" && Str(Param(rec, inst.Complex ? 1 : 2)) == "RADIAN") radian = true;
    }
    if (!known) ++unknown[n];
    auto hold = [&](const TValue* v) {
      for (long ref : Refs(v)) inner.Add(ref);
      if (long ref = RefOf(v)) inner.Add(ref);
    };
    if (inst.Complex) {
      const TRecord* si = Part(inst, "STYLED_ITEM");
      if (si) hold(Param(*si, 1)), ++occurrences;
      if (si || Part(inst, "MAPPED_ITEM")) roots.push_back(inst.Id);
      return;
    }
    if (IsStyledName(n)) {
      hold(Param(r, 2));
      roots.push_back(inst.Id);
      ++occurrences;
    } else if (IsMappedName(n)) {
      roots.push_back(inst.Id);
    } else if (IsCalloutName(n) || IsRepresentationName(n) || n == "ANNOTATION_FILL_AREA" || n == "COMPOSITE_CURVE") {
      hold(Param(r, 1));
      if (IsCalloutName(n) || n == "DRAWING_SHEET_REVISION") roots.push_back(inst.Id);
      if (n == "DRAWING_SHEET_REVISION" && !sheet) sheet = inst.Id, sheetName = Str(Param(r, 0));
    } else if (n == "PRESENTATION_LAYER_ASSIGNMENT") {
      const int index = static_cast<int>(layers.size());
      layers.push_back({Str(Param(r, 0)), true});
      layerIds[inst.Id] = index;
      for (long item : Refs(Param(r, 2))) layerOf.emplace_back(item, index);
    } else if (EndsWith(n, "INVISIBILITY")) {
      for (long item : Refs(Param(r, 0))) invisible.push_back(item);
    } else if (n == "PRESENTATION_SIZE") {
      sizes.emplace_back(RefOf(Param(r, 0)), RefOf(Param(r, 1)));
    } else if (n == "DESCRIPTIVE_REPRESENTATION_ITEM") {
      titleValues.try_emplace(Str(Param(r, 0)), Str(Param(r, 1)));
    }
  }

  // -- the encoding: a kind byte a value; counts, lengths, name numbers and
  // whole numbers as variable-length integers (7 bits a byte), a reference
  // as its distance from the instance's own number, other numbers as 8
  // bytes: most instances take a fifth of their text --
  template <class T>
  void Put(T v) {
    buf_.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  void PutVar(std::uint64_t v) {
    while (v >= 0x80) {
      buf_ += static_cast<char>((v & 0x7F) | 0x80);
      v >>= 7;
    }
    buf_ += static_cast<char>(v);
  }
  static std::uint64_t ZigZag(std::int64_t v) {
    return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
  }
  void PutText(const std::string& t) {
    PutVar(t.size());
    buf_ += t;
  }
  void PutName(const std::string& name) {
    auto [it, added] = nameIds_.try_emplace(name, static_cast<std::uint32_t>(names_.size()));
    if (added) names_.push_back(name);
    PutVar(it->second);
  }
  // Integers that fit are kept as such; the kind tells how it was stored.
  static constexpr std::uint8_t kWholeInteger = 0x80;
  void PutValue(const TValue& v, long id) {
    const bool whole = v.Kind == TValueKind::Integer && v.Number >= -9e15 && v.Number <= 9e15 &&
                       v.Number == static_cast<double>(static_cast<std::int64_t>(v.Number));
    Put(static_cast<std::uint8_t>(static_cast<std::uint8_t>(v.Kind) | (whole ? kWholeInteger : 0)));
    switch (v.Kind) {
      case TValueKind::Integer:
        if (whole) {
          PutVar(ZigZag(static_cast<std::int64_t>(v.Number)));
          break;
        }
        [[fallthrough]];
      case TValueKind::Real: Put(v.Number); break;
      case TValueKind::Ref:  // (wrapping: any two numbers have a distance)
        PutVar(ZigZag(static_cast<std::int64_t>(static_cast<std::uint64_t>(v.Ref) - static_cast<std::uint64_t>(id))));
        break;
      case TValueKind::String:
      case TValueKind::Enum:
      case TValueKind::Binary: PutText(v.Text); break;
      case TValueKind::Typed: PutName(v.Text); [[fallthrough]];
      case TValueKind::List:
        PutVar(v.Items.size());
        for (const TValue& i : v.Items) PutValue(i, id);
        break;
      default: break;
    }
  }
  std::uint64_t Encode(const TInstance& inst) {
    buf_.clear();
    PutVar(static_cast<std::uint64_t>(std::max(0L, inst.Line)));
    Put(static_cast<std::uint8_t>(inst.Complex));
    PutVar(inst.Records.size());
    for (const TRecord& r : inst.Records) {
      PutName(r.Name);
      PutVar(r.Params.size());
      for (const TValue& v : r.Params) PutValue(v, inst.Id);
    }
    if (blocks_.empty() || blocks_.back().size() + buf_.size() > kBlock) {
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(kBlock, buf_.size()));
      AdviseLargePages(blocks_.back().data(), blocks_.back().capacity());
    }
    const std::uint64_t at = (static_cast<std::uint64_t>(blocks_.size() - 1) << kOffsetBits) | blocks_.back().size();
    blocks_.back() += buf_;
    return at;
  }

  struct TReader {
    const char* P;
    long Id;
    const std::vector<std::string>* Names;
    template <class T>
    T Get() {
      T v;
      std::memcpy(&v, P, sizeof v);
      P += sizeof v;
      return v;
    }
    std::uint64_t Var() {
      std::uint64_t v = 0;
      for (int shift = 0;; shift += 7) {
        const auto b = static_cast<std::uint8_t>(*P++);
        v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return v;
      }
    }
    std::int64_t Signed() {
      const std::uint64_t z = Var();
      return static_cast<std::int64_t>(z >> 1) ^ -static_cast<std::int64_t>(z & 1);
    }
  };
  static void GetValue(TReader& in, TValue& v) {
    const auto kind = in.Get<std::uint8_t>();
    v.Kind = static_cast<TValueKind>(kind & ~kWholeInteger);
    switch (v.Kind) {
      case TValueKind::Integer:
      case TValueKind::Real:
        v.Number = kind & kWholeInteger ? static_cast<double>(in.Signed()) : in.Get<double>();
        break;
      case TValueKind::Ref:
        v.Ref = static_cast<long>(static_cast<std::uint64_t>(in.Signed()) + static_cast<std::uint64_t>(in.Id));
        break;
      case TValueKind::String:
      case TValueKind::Enum:
      case TValueKind::Binary: {
        const auto n = in.Var();
        v.Text.assign(in.P, n);
        in.P += n;
        break;
      }
      case TValueKind::Typed: v.Text = (*in.Names)[in.Var()]; [[fallthrough]];
      case TValueKind::List: {
        v.Items.resize(in.Var());
        for (TValue& i : v.Items) GetValue(in, i);
        break;
      }
      default: break;
    }
  }
  static TInstance Decode(long id, std::uint64_t at, const std::vector<std::string>& blocks,
                          const std::vector<std::string>& names) {
    TReader in{blocks[at >> kOffsetBits].data() + (at & ((std::uint64_t{1} << kOffsetBits) - 1)), id, &names};
    TInstance inst;
    inst.Id = id;
    inst.Line = static_cast<long>(in.Var());
    inst.Complex = in.Get<std::uint8_t>() != 0;
    inst.Records.resize(in.Var());
    for (TRecord& r : inst.Records) {
      r.Name = (*in.Names)[in.Var()];
      r.Params.resize(in.Var());
      for (TValue& v : r.Params) GetValue(in, v);
    }
    return inst;
  }

  // Instances are kept in blocks of 4 MB (one that is larger alone in
  // one): each starts at an offset of 22 bits in its block.
  static constexpr int kOffsetBits = 22;
  static constexpr std::size_t kBlock = std::size_t{1} << kOffsetBits;
  TIdIndex index_;  // number -> where its bytes are
  // What another store read (see Append).
  struct TArena {
    std::vector<std::string> Blocks, Names;
    TIdIndex Index;
    std::vector<TKeptPoint> Points;
    TIdSet Inner;
    mutable std::size_t PointHint = 0;
  };
  static bool PointBefore(const TKeptPoint& a, const TKeptPoint& b) { return a.Id < b.Id; }
  std::vector<TArena> others_;
  std::vector<std::string> blocks_;
  std::string buf_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::uint32_t> nameIds_;
  bool pointsSorted_ = true;
  mutable std::size_t pointHint_ = 0;  // where the last search in points ended
};

// ---------------------------------------------------------------------------
// Styles

struct TStyle {
  int Colour = -1, LineType = -1, Font = -1, Marker = 0;
  double Width = -1;
  double Height = 0, BoxWidth = 0, Spacing = 0, Slant = 0;  // a text's box: a character high, the string wide
  bool Fill = false, Solid = false;
  std::vector<std::pair<double, double>> Pattern;

  // Fields this style leaves open taken from `outer`.
  void Under(const TStyle& outer) {
    if (Colour < 0) Colour = outer.Colour;
    if (LineType < 0) LineType = outer.LineType;
    if (Font < 0) Font = outer.Font;
    if (Width < 0) Width = outer.Width;
    if (Height <= 0) Height = outer.Height;
    if (BoxWidth <= 0) BoxWidth = outer.BoxWidth;
    if (Spacing <= 0) Spacing = outer.Spacing;
    if (!Fill && outer.Fill) {
      Fill = true;
      Solid = outer.Solid;
      Pattern = outer.Pattern;
    }
  }
};

struct TContext {
  TTransform T;
  int Layer = -1;
  TStyle Style;
  long From = 0;  // the instance that led here, for messages
};

// ---------------------------------------------------------------------------
// The resolver

class TResolver {
 public:
  TResolver(const TStore& store, TDrawing& drawing, const TBudget& budget, bool cut)
      : s_(store), d_(drawing), meter_(budget), cut_(cut) {}

  // True when the drawing stopped at its budget.
  bool OverBudget() const { return stopped_; }

  void Run() {
    angle_ = s_.radian && !s_.degree ? 1.0 : kPi / 180.0;  // degrees unless only radians are named
    d_.Layers = s_.layers;
    for (long item : s_.invisible)
      if (auto l = s_.layerIds.find(item); l != s_.layerIds.end()) d_.Layers[l->second].Visible = false;
    Sheet();
    d_.Primitives.reserve(std::min(s_.occurrences, meter_.Budget().Primitives));
    AdviseLargePages(d_.Primitives.data(), d_.Primitives.capacity() * sizeof(TPrimitive));
    for (long id : s_.roots) {
      if (stopped_) break;
      if (s_.Held(id)) continue;
      TContext ctx;
      ctx.From = id;
      Item(id, ctx, 0);
    }
    // The title block values: descriptive items named as the title block's
    // fields, in the order of the fields.
    for (const char* key : kTitleBlockKeys)
      if (auto v = s_.titleValues.find(key); v != s_.titleValues.end() && !v->second.empty())
        d_.Attributes.emplace_back(key, v->second);
    for (const auto& [name, count] : s_.unknown) d_.Skipped[name] += count;
    if (stopped_) {
      d_.Stop = {};
      d_.Stop.Broken = true;
      d_.Stop.Reason = BudgetReason(d_.Primitives.size());
    }
    // A file cut before its sheet leaves the size open: the view takes the
    // box of what was read.
    if ((d_.SheetWidth <= 0 || d_.SheetHeight <= 0) && !cut_) SheetFromExtent();
  }

 private:
  // -- problems that do not stop the read -----------------------------------
  long LineOf(long id) const {
    const TFound i = s_.Find(id);
    return i ? i->Line : 0;
  }
  void Problem(long id, std::string reason) {
    if (d_.Stop.Broken) return;
    d_.Stop.Broken = true;
    d_.Stop.Line = LineOf(id);
    d_.Stop.Reason = std::move(reason);
  }
  void Missing(long from, long id, std::string_view what) {
    ++d_.Skipped[std::string(what)];
    if (!d_.Stop.Broken)
      Problem(from, Arg(Tr("SxfReader", "#%1 が参照する #%2 がありません"), {std::to_string(from), std::to_string(id)}));
  }
  std::string NameOf(long id) const {
    if (const TFound i = s_.Find(id)) return i->Records[0].Name;
    return s_.FindPoint(id) ? "CARTESIAN_POINT" : "#" + std::to_string(id);
  }

  // -- tables ----------------------------------------------------------------
  int ColourIndex(const TColour& c) {
    const std::string key = c.Name + '|' + std::to_string(c.R) + ',' + std::to_string(c.G) + ',' + std::to_string(c.B);
    auto [it, added] = colourKeys_.try_emplace(key, static_cast<int>(d_.Colours.size()));
    if (added) d_.Colours.push_back(c);
    return it->second;
  }
  int LineTypeIndex(const TLineType& t) {
    std::string key = t.Name;
    for (double p : t.Pitches) key += '|' + std::to_string(p);
    auto [it, added] = lineTypeKeys_.try_emplace(key, static_cast<int>(d_.LineTypes.size()));
    if (added) d_.LineTypes.push_back(t);
    return it->second;
  }
  int FontIndex(const std::string& name) {
    auto [it, added] = fontKeys_.try_emplace(name, static_cast<int>(d_.Fonts.size()));
    if (added) d_.Fonts.push_back({name});
    return it->second;
  }

  // (`depth`: how many references led here; a file may make them go round.)
  int Colour(long id, int depth = 0) {
    const TFound inst = depth < kMaxLinks ? s_.Find(id) : std::nullopt;
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
      if (!PredefinedColour(PredefinedColourCode(c.Name), c)) ++d_.Skipped[r.Name];
      return ColourIndex(c);
    }
    if (r.Name == "TEXT_STYLE_FOR_DEFINED_FONT" || r.Name == "SYMBOL_COLOUR") return Colour(RefOf(Param(r, 0)), depth + 1);
    if (r.Name == "FILL_AREA_STYLE_COLOUR") return Colour(RefOf(Param(r, 1)), depth + 1);
    return -1;
  }

  int LineType(long id, int depth = 0) {
    const TFound inst = depth < kMaxLinks ? s_.Find(id) : std::nullopt;
    if (!inst) return -1;
    const TRecord& r = inst->Records[0];
    TLineType t;
    t.Name = Str(Param(r, 0));
    if (EndsWith(r.Name, "PRE_DEFINED_CURVE_FONT")) {
      PredefinedLineType(PredefinedLineTypeCode(t.Name), t);
    } else if (r.Name == "CURVE_STYLE_FONT") {
      for (long pid : Refs(Param(r, 1))) {
        const TFound pi = s_.Find(pid);
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

  int Font(long id) {
    const TFound inst = s_.Find(id);
    if (!inst) return -1;
    const TRecord& r = inst->Records[0];
    std::string name = Str(Param(r, 0));
    return name.empty() && r.Name == "TEXT_FONT" ? -1 : FontIndex(name);
  }

  // A length that may be a measure with its unit.
  double Length(const TValue* v, double fallback) {
    double d;
    if (NumberOf(v, d)) return d;
    if (long id = RefOf(v)) {
      const TFound inst = s_.Find(id);
      if (inst && !inst->Records.empty() && NumberOf(Param(inst->Records[0], 0), d)) return d;
    }
    return fallback;
  }

  void CurveStyle(const TRecord& r, TStyle& st) {
    if (long f = RefOf(Param(r, 1))) st.LineType = LineType(f);
    st.Width = Length(Param(r, 2), st.Width);
    if (long c = RefOf(Param(r, 3))) st.Colour = Colour(c);
  }

  void TextStyle(const TInstance& inst, TStyle& st) {
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

  void FillStyle(const TRecord& r, TStyle& st) {
    st.Fill = true;
    for (long fid : Refs(Param(r, 1))) {
      const TFound f = s_.Find(fid);
      if (!f) continue;
      const TRecord& fr = f->Records[0];
      if (fr.Name == "FILL_AREA_STYLE_COLOUR") {
        st.Solid = true;
        st.Colour = Colour(fid);
      } else if (fr.Name == "FILL_AREA_STYLE_HATCHING") {
        TStyle line;
        const TFound csi = s_.Find(RefOf(Param(fr, 1)));
        if (const TRecord* cs = Simple(csi, "CURVE_STYLE")) CurveStyle(*cs, line);
        if (st.Colour < 0) st.Colour = line.Colour;
        if (st.Width < 0) st.Width = line.Width;
        if (st.LineType < 0) st.LineType = line.LineType;
        const double angle = Num(Param(fr, 5), 0) * angle_;
        double pitch = 0;
        const TFound repi = s_.Find(RefOf(Param(fr, 2)));
        const TRecord* rep = Simple(repi, "ONE_DIRECTION_REPEAT_FACTOR");
        const TFound veci = rep ? s_.Find(RefOf(Param(*rep, 1))) : std::nullopt;
        if (const TRecord* vec = Simple(veci, "VECTOR")) {
          const TPoint* dir = s_.FindPoint(RefOf(Param(*vec, 1)));
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

  // The style of an occurrence; most share one style assignment, resolved once.
  TStyle Styles(const TValue* list) {
    const std::vector<long> refs = Refs(list);
    if (refs.size() != 1) return StylesOf(refs);
    auto cached = styleCache_.find(refs[0]);
    if (cached == styleCache_.end()) cached = styleCache_.emplace(refs[0], StylesOf(refs)).first;
    return cached->second;
  }

  TStyle StylesOf(const std::vector<long>& refs) {
    TStyle st;
    for (long psa : refs) {
      const TFound a = s_.Find(psa);
      if (!a) continue;
      for (long sid : Refs(Param(a->Records[0], 0))) {
        const TFound si = s_.Find(sid);
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

  int Marker(const TValue* v) {
    static const char* const names[] = {"DOT", "X", "PLUS", "ASTERISK", "RING", "SQUARE", "TRIANGLE"};
    std::string name = AsciiUpper(Str(v));
    if (name.empty())
      if (const TFound m = s_.Find(RefOf(v))) name = AsciiUpper(Str(Param(m->Records[0], 0)));
    for (int i = 0; i < 7; ++i)
      if (name == names[i]) return i + 1;
    return 1;
  }

  // -- placements ------------------------------------------------------------
  bool Direction(long id, TPoint& out) {
    const TPoint* p = s_.FindPoint(id);
    if (!p) return false;
    const double len = std::hypot(p->X, p->Y);
    if (!(len > 0)) return false;
    out = {p->X / len, p->Y / len};
    return true;
  }

  // The transform an AXIS2_PLACEMENT_2D, a transformation operator or a
  // PLANAR_BOX (by its placement) stands for.
  bool Placement(long id, long from, TTransform& out, int depth = 0) {
    out = {};
    if (depth >= kMaxLinks) return false;
    const TFound inst = s_.Find(id);
    if (!inst) {
      if (id) Missing(from, id, NameOf(from));
      return false;
    }
    const TRecord& r = inst->Records[0];
    if (r.Name == "AXIS2_PLACEMENT_2D" && !inst->Complex) {
      const TPoint* loc = s_.FindPoint(RefOf(Param(r, 1)));
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
      const TPoint* q = s_.FindPoint(p);
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

  // The size of a PLANAR_BOX (or of a camera's view window).
  bool BoxSize(long id, double& x, double& y, int depth = 0) {
    const TFound inst = depth < kMaxLinks ? s_.Find(id) : std::nullopt;
    if (!inst) return false;
    const TRecord& r = inst->Records[0];
    if (r.Name == "CAMERA_MODEL_D2") return BoxSize(RefOf(Param(r, 1)), x, y, depth + 1);
    if (r.Name != "PLANAR_BOX") return false;
    x = Num(Param(r, 1), 0), y = Num(Param(r, 2), 0);
    return x > 0 && y > 0;
  }

  // -- traversal -------------------------------------------------------------
  void Item(long id, const TContext& outer, int depth) {
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
    const TFound inst = s_.Find(id);
    if (!inst) {
      if (s_.FindPoint(id)) {  // a styled point
        TPrimitive p;
        p.Kind = TKind::Point;
        p.Points.push_back(*s_.FindPoint(id));
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
      for (long child : Refs(Param(r, 1))) Item(child, ctx, depth + 1);
      Leave(id);
      return;
    }
    std::vector<TPrimitive> out;
    Geometry(*inst, ctx, out, depth);
    pending_ = 0;
    for (TPrimitive& p : out) Emit(std::move(p), ctx);
  }

  bool Enter(long id) {
    if (std::find(active_.begin(), active_.end(), id) != active_.end()) {
      ++d_.Skipped[NameOf(id)];
      if (!d_.Stop.Broken) Problem(id, Arg(Tr("SxfReader", "#%1 の配置が循環しています"), {std::to_string(id)}));
      return false;
    }
    active_.push_back(id);
    return true;
  }
  void Leave(long id) { active_.pop_back(); }

  // A figure placed by a mapped item: the map's representation, carried
  // from the map's origin to the target.
  void Place(long id, long mapId, long targetId, TContext ctx, int depth) {
    const TFound map = s_.Find(mapId);
    const TRecord* mr = map && !map->Complex ? &map->Records[0] : nullptr;
    if (!mr) {
      Missing(id, mapId, NameOf(id));
      return;
    }
    const long originId = RefOf(Param(*mr, 0)), repId = RefOf(Param(*mr, 1));
    TTransform origin, target;
    const TFound originInst = s_.Find(originId);
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
    const TFound rep = s_.Find(repId);
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

  // The budget is spent: nothing more is expanded (the primitives made for
  // the item at hand are still drawn as far as they fit), and the drawing
  // says so in place of any earlier problem once it is done.
  void Overflow() { stopped_ = true; }

  // Room for `points` more points in primitives being made (those made for
  // the item at hand and not yet drawn count too); the budget is spent
  // otherwise.
  bool Room(std::uint64_t points) {
    if (meter_.RoomForPoints(pending_ + points)) {
      pending_ += points;
      return true;
    }
    Overflow();
    return false;
  }

  void Emit(TPrimitive p, const TContext& ctx) {
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

  // The drawable primitives of a curve, text or fill area, in the
  // coordinates of the representation it belongs to.
  void Geometry(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out, int depth) {
    if (depth > kMaxDepth || stopped_) return;
    // Curves made of curves made of curves multiply like figures do.
    if (++visits_ > kMaxVisits || out.size() >= meter_.Budget().Primitives) {
      Overflow();
      return;
    }
    const TRecord& r = inst.Records[0];
    const std::string& n = r.Name;
    auto point = [&](long ref, TPoint& p) {
      const TPoint* q = s_.FindPoint(ref);
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
      const TFound veci = s_.Find(RefOf(Param(r, 2)));
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
        const TFound csi = s_.Find(seg);
        const TRecord* cs = Simple(csi, "COMPOSITE_CURVE_SEGMENT");
        const TFound parent = cs ? s_.Find(RefOf(Param(*cs, 2))) : std::nullopt;
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
        const TFound bi = s_.Find(b);
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

  // An arc of a circle or ellipse, a piece of a line, or a curve drawn whole.
  void Trimmed(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out, int depth) {
    const TRecord& r = inst.Records[0];
    const long basisId = RefOf(Param(r, 1));
    const TFound basis = s_.Find(basisId);
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
          else if (const TPoint* q = s_.FindPoint(RefOf(&v))) at = *q, havePoint = true;
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

  void Text(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out) {
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
    const TFound extenti = s_.Find(RefOf(Param(r, 6)));
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

  // -- the sheet -------------------------------------------------------------
  // The first sheet: its name tells the size and orientation ("A1",
  // "A3_horizontal", "FREE"), its PRESENTATION_SIZE box the size itself.
  void Sheet() {
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

  // With no sheet size given, the drawing's extent from the origin.
  void SheetFromExtent() {
    double w = 0, h = 0;
    for (const TPrimitive& p : d_.Primitives)
      for (const TPoint& q : p.Points) {
        const double r = p.Kind == TKind::Point || p.Kind == TKind::Text ? 0 : std::max(p.Rx, p.Ry);
        w = std::max(w, q.X + r), h = std::max(h, q.Y + r);
      }
    d_.SheetWidth = w;
    d_.SheetHeight = h;
  }

  const TStore& s_;
  TDrawing& d_;
  double angle_ = kPi / 180.0;  // radians per unit of the file's plane angles
  std::vector<long> active_;
  std::map<std::string, int> colourKeys_, lineTypeKeys_, fontKeys_;
  std::unordered_map<long, TStyle> styleCache_;
  bool stopped_ = false;
  int placing_ = 0;  // figures being placed around the item read
  std::size_t visits_ = 0;
  TBudgetMeter meter_;
  std::uint64_t pending_ = 0;  // points made for the item at hand, not yet drawn
  bool cut_ = false;           // the file ended before its end
};

std::string NoMemory() { return Tr("SxfReader", "メモリが足りないため図面を読み込めません"); }

TDrawing Resolve(TStore& store, TReadStop stop, const TBudget& budget) {
  TDrawing d;
  d.Mode = "ap202";
  bool outOfMemory = false, overBudget = false;
  try {
    store.Finish();
    TResolver resolver(store, d, budget, stop.Broken);
    resolver.Run();
    overBudget = resolver.OverBudget();
  } catch (const std::exception&) {
    outOfMemory = true;
  }
  store = TStore{};
  if (outOfMemory) StopForMemory(d, NoMemory);
  // A break in the file says more than what the resolver found after it,
  // but for a drawing stopped at its budget.
  if (stop.Broken && !overBudget && !outOfMemory) d.Stop = std::move(stop);
  return d;
}

// Reads the instances with `parse`, then resolves them.
template <class F>
TDrawing Read(F&& parse, const TBudget& budget) {
  TStore store;
  TReadStop stop;
  try {
    stop = parse(store);
  } catch (const std::exception&) {
    // What the store holds is let go: the reason needs a little memory.
    store = TStore{};
    stop.Broken = true;
    try {
      stop.Reason = NoMemory();
    } catch (...) {
    }
  }
  return Resolve(store, std::move(stop), budget);
}

// What is left when not even the reader's own state fits in memory.
TDrawing NothingRead() {
  TDrawing d;
  d.Mode = "ap202";
  StopForMemory(d, NoMemory);
  return d;
}

TDrawing ReadAp202Whole(const std::string& path, std::uint64_t twoPortionsFrom, const TBudget& budget) {
  // A large file is read in two portions at once, each into a store of its
  // own; when it cannot be cut cleanly it is read whole.
  auto head = std::make_unique<TStore>();
  TReadStop stop;
  bool halves = false;
  struct stat st {};
  const std::uint64_t size = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  try {
    auto tail = std::make_unique<TStore>();
    if (size >= twoPortionsFrom) {
      head->Reserve(size / 2);
      tail->Reserve(size / 2);
    }
    halves = p21::ParseFileInTwo(path, *head, *tail, stop, twoPortionsFrom);
    if (halves) head->Append(std::move(*tail));
  } catch (const std::exception&) {
    halves = false;
  }
  if (halves) {
#ifdef __GLIBC__
    // The second thread's allocator keeps what the thread freed while it
    // read: that goes back to the system before the drawing is made.
    malloc_trim(0);
#endif
    return Resolve(*head, std::move(stop), budget);
  }
  head.reset();
  return Read(
      [&](TStore& store) {
        store.Reserve(size);
        return p21::ParseFile(path, store);
      },
      budget);
}

}  // namespace

TDrawing ReadAp202(const std::string& path, std::uint64_t twoPortionsFrom, const TBudget& budget) {
  try {
    return ReadAp202Whole(path, twoPortionsFrom, budget);
  } catch (const std::bad_alloc&) {
    return NothingRead();
  }
}

TDrawing ReadAp202Text(std::string_view text, const TBudget& budget) {
  try {
    return Read([&](TStore& store) { return p21::ParseText(text, store); }, budget);
  } catch (const std::bad_alloc&) {
    return NothingRead();
  }
}

}  // namespace dlvr::sxf
