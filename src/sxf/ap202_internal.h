// What the parts of the AP202 mode reader share: the instances' values
// and the families of entities, the store that keeps a file's instances
// compactly and looks them up by number, the styles, and the resolver that
// draws the stored instances (its styles, placements and traversal in one
// file, its curves, texts, fill areas and sheet in another).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sxf/ap202.h"
#include "sxf/drawing.h"
#include "sxf/large_pages.h"
#include "sxf/part21.h"

namespace dlvr::sxf::ap202_detail {

using p21::TInstance;
using p21::TRecord;
using p21::TValue;
using p21::TValueKind;

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr int kMaxDepth = 32;          // placements and containers within each other
inline constexpr int kMaxLinks = 8;           // a style's or placement's references followed one after another
inline constexpr int kSegmentsPerTurn = 72;   // a conic drawn as a boundary or under a shear
inline constexpr std::size_t kMaxVisits = 4 * kMaxAp202Primitives;  // items reached, figures expanded

// ---------------------------------------------------------------------------
// Values

inline const TValue* Param(const TRecord& r, std::size_t i) { return i < r.Params.size() ? &r.Params[i] : nullptr; }

// A number, also inside a typed value (POSITIVE_LENGTH_MEASURE(0.35)).
inline bool NumberOf(const TValue* v, double& out) {
  while (v && v->Kind == TValueKind::Typed && v->Items.size() == 1) v = &v->Items[0];
  if (!v || !v->IsNumber() || !std::isfinite(v->Number)) return false;
  out = v->Number;
  return true;
}
inline double Num(const TValue* v, double fallback) {
  double d;
  return NumberOf(v, d) ? d : fallback;
}
inline long RefOf(const TValue* v) {
  while (v && v->Kind == TValueKind::Typed && v->Items.size() == 1) v = &v->Items[0];
  return v && v->Kind == TValueKind::Ref ? v->Ref : 0;
}
inline std::string Str(const TValue* v) {
  while (v && v->Kind == TValueKind::Typed && v->Items.size() == 1) v = &v->Items[0];
  return v && (v->Kind == TValueKind::String || v->Kind == TValueKind::Enum) ? v->Text : std::string();
}
// The references of a list (nothing when it is no list).
inline std::vector<long> Refs(const TValue* v) {
  std::vector<long> out;
  if (v && v->Kind == TValueKind::List)
    for (const TValue& i : v->Items)
      if (long r = RefOf(&i)) out.push_back(r);
  return out;
}

inline const TRecord* Part(const TInstance& inst, std::string_view name) {
  for (const TRecord& r : inst.Records)
    if (r.Name == name) return &r;
  return nullptr;
}

inline bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// ---------------------------------------------------------------------------
// Entity families

// Styled items: (name, styles, item, ...) when simple.
inline bool IsStyledName(std::string_view n) {
  static const std::set<std::string_view> names = {
      "STYLED_ITEM", "OVER_RIDING_STYLED_ITEM", "DIMENSION_CURVE", "LEADER_CURVE", "PROJECTION_CURVE",
      "TERMINATOR_SYMBOL", "DIMENSION_CURVE_TERMINATOR", "LEADER_TERMINATOR"};
  return EndsWith(n, "_OCCURRENCE") || names.count(n);
}
// Callouts, dimensions among them: (name, contents).
inline bool IsCalloutName(std::string_view n) { return EndsWith(n, "CALLOUT") || EndsWith(n, "_DIMENSION"); }
// Representations: (name, items, context).
inline bool IsRepresentationName(std::string_view n) {
  return EndsWith(n, "REPRESENTATION") || n == "PRESENTATION_VIEW" || n == "PRESENTATION_AREA" ||
         n == "DRAWING_SHEET_REVISION" || n == "DRAUGHTING_MODEL";
}
// Mapped items: (name, mapping_source, mapping_target).
inline bool IsMappedName(std::string_view n) {
  return n == "MAPPED_ITEM" || n == "ANNOTATION_SYMBOL" || n == "ANNOTATION_TEXT" || n == "DRAUGHTING_SYMBOL" ||
         n.starts_with("CAMERA_IMAGE");
}
inline bool IsTextName(std::string_view n) { return n.starts_with("TEXT_LITERAL"); }
inline bool IsSplineName(std::string_view n) {
  return n.starts_with("B_SPLINE_CURVE") || n == "BEZIER_CURVE" || n == "UNIFORM_CURVE" || n == "QUASI_UNIFORM_CURVE" ||
         n == "RATIONAL_B_SPLINE_CURVE";
}
inline bool IsDrawableName(std::string_view n) {
  return n == "POLYLINE" || n == "LINE" || n == "CIRCLE" || n == "ELLIPSE" || n == "TRIMMED_CURVE" ||
         n == "COMPOSITE_CURVE" || n == "ANNOTATION_FILL_AREA" || IsTextName(n) || IsSplineName(n);
}

// Entities read for what they say about others, drawn through them.
inline bool IsKnownName(std::string_view n) {
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
// The instances kept while reading

struct TKeptPoint {
  long Id;
  TPoint P;
};

// An instance found by its number, shared: a resolver keeps the last ones
// it found, since an item placed many times, or a style many items name,
// asks for the same instances again (null when there is none).
using TFound = std::shared_ptr<const TInstance>;

// The record of a simple instance named `name`.
inline const TRecord* Simple(const TFound& inst, std::string_view name) {
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
  // (`hint`: where the caller's search before ended.)
  std::optional<std::uint64_t> Find(long id, std::size_t& hint) const {
    if (id >= 0 && id <= long{UINT32_MAX}) {
      const std::size_t at = Ap202LowerBoundNear(narrow_, hint, id, [](const TNarrow& e) { return long{e.Id}; });
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
};

// A set of instance numbers, 4 bytes a number while it fits 32 bits.
class TIdSet {
 public:
  void Add(long id) {
    if (id >= 0 && id <= long{UINT32_MAX}) narrow_.push_back(static_cast<std::uint32_t>(id));
    else wide_.push_back(id);
  }
  void Finish() {
    if (!std::is_sorted(narrow_.begin(), narrow_.end())) std::sort(narrow_.begin(), narrow_.end());
    if (!std::is_sorted(wide_.begin(), wide_.end())) std::sort(wide_.begin(), wide_.end());
    narrow_.shrink_to_fit();
    wide_.shrink_to_fit();
  }
  // Whether the set holds `id` (`hint`: where the caller's search before
  // ended: numbers asked for in order are found in a few steps).
  bool Has(long id, std::size_t& hint) const {
    if (id >= 0 && id <= long{UINT32_MAX}) {
      const std::size_t at = Ap202LowerBoundNear(narrow_, hint, id, [](std::uint32_t e) { return long{e}; });
      return at < narrow_.size() && narrow_[at] == id;
    }
    return std::binary_search(wide_.begin(), wide_.end(), id);
  }

 private:
  std::vector<std::uint32_t> narrow_;
  std::vector<long> wide_;
};

// Where one reader's last lookups in a store ended, in its own table and
// in each taken over: the resolver asks for neighbours. Each thread that
// looks up keeps its own.
struct TStoreHints {
  std::size_t Index = 0, Point = 0;
  std::vector<std::size_t> OtherIndex, OtherPoint;
};

// Keeps the instances of a file: points and directions as numbers, every
// other instance encoded in a few bytes a value and decoded when asked for,
// so that memory follows the file's size, not its values' size in objects.
// What the drawing needs of all instances at once (layers, the sheet, the
// title block, the units, which instances others hold) is noted as they
// arrive.
class TStore : public p21::THandler {
 public:
  bool OnInstance(TInstance&& inst) override;
  // A portion read on a thread of its own: its tables put in order there.
  void OnPortionRead() override { SortTables(); }
  // The instances' lines as read were counted from the cut (a tail).
  void OnLinesBefore(long lines) override { linesBefore_ = lines; }

  // Room for the points and the other instances of `bytes` of file (an
  // instance takes some 40 bytes of text or more; room not used is never
  // touched, so takes no memory), marked for large pages: growing the
  // tables a doubling at a time copied them and faulted in twice their
  // size.
  void Reserve(std::uint64_t bytes);

  // Puts the instances in order of number, once the read is done (the
  // first of two with one number is kept).
  void Finish();
  // Puts this store's own tables in order (what Finish does first; done
  // once).
  void SortTables();

  // Takes over what another store read of the same file after this one
  // (the file read in two portions at once): its instances, points and
  // notes, as if this store had read them next. Its instances, points and
  // held items stay in tables of their own, looked up after this store's
  // (so the first of two with one number is still the one kept).
  void Append(TStore&& b);
  TFound Find(long id, TStoreHints& hints) const;
  const TPoint* FindPoint(long id, TStoreHints& hints) const {
    auto find = [&](const std::vector<TKeptPoint>& points, std::size_t& hint) -> const TPoint* {
      const std::size_t at = Ap202LowerBoundNear(points, hint, id, [](const TKeptPoint& e) { return e.Id; });
      return at < points.size() && points[at].Id == id ? &points[at].P : nullptr;
    };
    if (const TPoint* p = find(points, hints.Point)) return p;
    if (hints.OtherPoint.size() < others_.size()) hints.OtherPoint.resize(others_.size());
    for (std::size_t i = 0; i < others_.size(); ++i)
      if (const TPoint* p = find(others_[i].Points, hints.OtherPoint[i])) return p;
    return nullptr;
  }
  static bool In(const std::vector<long>& sorted, long id) { return std::binary_search(sorted.begin(), sorted.end(), id); }
  // Whether a container, occurrence or curve holds the item (`hints`: where
  // the caller's lookups before ended, in this store's set and each taken
  // over).
  bool Held(long id, std::vector<std::size_t>& hints) const {
    if (hints.size() < others_.size() + 1) hints.resize(others_.size() + 1);
    if (inner.Has(id, hints[0])) return true;
    for (std::size_t i = 0; i < others_.size(); ++i)
      if (others_[i].Inner.Has(id, hints[i + 1])) return true;
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
  void Note(const TInstance& inst);

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
  void PutValue(const TValue& v, long id);
  std::uint64_t Encode(const TInstance& inst);

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
  static void GetValue(TReader& in, TValue& v);
  static TInstance Decode(long id, std::uint64_t at, const std::vector<std::string>& blocks,
                          const std::vector<std::string>& names, long linesBefore);

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
    long LinesBefore = 0;
  };
  static bool PointBefore(const TKeptPoint& a, const TKeptPoint& b) { return a.Id < b.Id; }
  static bool LayerOfBefore(const std::pair<long, int>& a, const std::pair<long, int>& b) { return a.first < b.first; }
  std::vector<TArena> others_;
  std::vector<std::string> blocks_;
  std::string buf_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::uint32_t> nameIds_;
  bool pointsSorted_ = true;
  long linesBefore_ = 0;  // added to the lines kept (see OnLinesBefore)
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

  // Draws the store's items into the drawing. With `inTwo`, the second
  // half of the items is drawn on a thread of its own into a drawing of
  // its own, taken over in file order as if drawn after the first (the
  // same drawing to the last bit; when the two together would pass the
  // budget, the first half's resolver draws the second half after its
  // own). `release` is called once the store is no longer needed.
  void Run(bool inTwo = false, const std::function<void()>& release = {});

 private:
  TFound Find(long id) const {
    TFound& kept = recent_[static_cast<std::size_t>(id) % kRecent];
    if (kept && kept->Id == id) return kept;
    TFound found = s_.Find(id, hints_);
    if (found) kept = found;
    return found;
  }
  const TPoint* FindPoint(long id) const { return s_.FindPoint(id, hints_); }

  // -- the parts of Run ------------------------------------------------------
  // An item at the top (not held by another), or the items [From, To) of
  // a container at the top.
  struct TUnit {
    long Id = 0;
    std::size_t From = 0, To = SIZE_MAX;
  };
  void Begin();
  // The items at the top in two halves of about the same work, in file
  // order; the second empty when there is nothing to share.
  void Halves(std::vector<TUnit>& first, std::vector<TUnit>& second) const;
  // (`sharedCounted`: a container's second part was counted with its first.)
  void Walk(const std::vector<TUnit>& units, bool sharedCounted);
  void Close();
  // Whether drawing the second half after the first would have drawn what
  // `second` drew on its own (nothing over the budget).
  bool CanTakeOver(const TResolver& second) const;
  // Takes over what `second` drew into `drawing` after the first half.
  void TakeOver(const TResolver& second, TDrawing& drawing);

  // -- problems that do not stop the read -----------------------------------
  long LineOf(long id) const;
  void Problem(long id, std::string reason);
  void Missing(long from, long id, std::string_view what);
  std::string NameOf(long id) const;

  // -- tables ----------------------------------------------------------------
  int ColourIndex(const TColour& c);
  int LineTypeIndex(const TLineType& t);
  int FontIndex(const std::string& name);

  // (`depth`: how many references led here; a file may make them go round.)
  int Colour(long id, int depth = 0);
  int LineType(long id, int depth = 0);
  int Font(long id);

  // A length that may be a measure with its unit.
  double Length(const TValue* v, double fallback);
  void CurveStyle(const TRecord& r, TStyle& st);
  void TextStyle(const TInstance& inst, TStyle& st);
  void FillStyle(const TRecord& r, TStyle& st);

  // The style of an occurrence; most share one style assignment, resolved once.
  TStyle Styles(const TValue* list);
  TStyle StylesOf(const std::vector<long>& refs);
  int Marker(const TValue* v);

  // -- placements ------------------------------------------------------------
  bool Direction(long id, TPoint& out);

  // The transform an AXIS2_PLACEMENT_2D, a transformation operator or a
  // PLANAR_BOX (by its placement) stands for.
  bool Placement(long id, long from, TTransform& out, int depth = 0);

  // The size of a PLANAR_BOX (or of a camera's view window).
  bool BoxSize(long id, double& x, double& y, int depth = 0);

  // -- traversal -------------------------------------------------------------
  void Item(long id, const TContext& outer, int depth);
  bool Enter(long id);
  void Leave(long id) { active_.pop_back(); }

  // A figure placed by a mapped item: the map's representation, carried
  // from the map's origin to the target.
  void Place(long id, long mapId, long targetId, TContext ctx, int depth);

  // The budget is spent: nothing more is expanded (the primitives made for
  // the item at hand are still drawn as far as they fit), and the drawing
  // says so in place of any earlier problem once it is done.
  void Overflow() { stopped_ = true; }

  // Room for `points` more points in primitives being made (those made for
  // the item at hand and not yet drawn count too); the budget is spent
  // otherwise.
  bool Room(std::uint64_t points);
  void Emit(TPrimitive p, const TContext& ctx);

  // The drawable primitives of a curve, text or fill area, in the
  // coordinates of the representation it belongs to.
  void Geometry(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out, int depth);

  // An arc of a circle or ellipse, a piece of a line, or a curve drawn whole.
  void Trimmed(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out, int depth);
  void Text(const TInstance& inst, const TContext& ctx, std::vector<TPrimitive>& out);

  // -- the sheet -------------------------------------------------------------
  // The first sheet: its name tells the size and orientation ("A1",
  // "A3_horizontal", "FREE"), its PRESENTATION_SIZE box the size itself.
  void Sheet();

  // With no sheet size given, the drawing's extent from the origin.
  void SheetFromExtent();

  const TStore& s_;
  mutable TStoreHints hints_;
  // The instances found last, by number (a slot a number).
  static constexpr std::size_t kRecent = 256;
  mutable std::array<TFound, kRecent> recent_;
  TDrawing& d_;
  double angle_ = kPi / 180.0;  // radians per unit of the file's plane angles
  std::vector<long> active_;
  std::map<std::string, int> colourKeys_, lineTypeKeys_, fontKeys_;
  std::unordered_map<long, TStyle> styleCache_;
  // Names counted as skipped while a cached style was made (a half drawn
  // on its own made again what the first half had cached), and whether
  // they are being noted.
  std::unordered_map<long, std::vector<std::string>> styleSkips_;
  std::vector<std::string>* noteSkips_ = nullptr;
  std::uint64_t mostPointsAsked_ = 0;  // the most points Room asked room for, those taken before included
  TUnit part_;                         // the unit being drawn
  bool stopped_ = false;
  int placing_ = 0;  // figures being placed around the item read
  std::size_t visits_ = 0;
  TBudgetMeter meter_;
  std::uint64_t pending_ = 0;  // points made for the item at hand, not yet drawn
  bool cut_ = false;           // the file ended before its end
};

}  // namespace dlvr::sxf::ap202_detail
