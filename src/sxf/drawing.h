// One drawing model for SXF drawings read from either mode (a Part 21
// exchange structure of the drafting schema, or the same drawing as feature
// comments): the sheet, its tables and the drawable primitives in sheet
// millimetres, every composite figure already expanded where it is placed.
// Readers never throw; a broken file keeps what was read and says where.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace dlvr::sxf {

struct TPoint {
  double X = 0, Y = 0;
};

// x' = A x + C y + E, y' = B x + D y + F (a placement: rotation, scale,
// mirror by a negative scale, translation).
struct TTransform {
  double A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
  TPoint Apply(TPoint p) const { return {A * p.X + C * p.Y + E, B * p.X + D * p.Y + F}; }
  // this after `inner`: Apply(inner.Apply(p)).
  TTransform After(const TTransform& inner) const;
  double Scale() const;        // the mean length scale (sqrt |det|)
  bool Mirrors() const;        // det < 0
};

// The points of one primitive. Most primitives have one or two (a line, a
// circle's centre, a text's anchor): those are kept inside the primitive,
// so that a drawing of a million lines makes no allocation a line and a
// figure placed many times is copied cheaply. Longer lists go on the heap.
class TPointList {
 public:
  TPointList() noexcept {}
  TPointList(std::initializer_list<TPoint> points) { Assign(points.begin(), points.size()); }
  TPointList(const std::vector<TPoint>& points) { Assign(points.data(), points.size()); }
  TPointList(const TPointList& other) { Assign(other.data(), other.size()); }
  TPointList(TPointList&& other) noexcept { Take(other); }
  TPointList& operator=(const TPointList& other) {
    if (this != &other) Assign(other.data(), other.size());
    return *this;
  }
  TPointList& operator=(TPointList&& other) noexcept {
    if (this != &other) {
      Release();
      Take(other);
    }
    return *this;
  }
  ~TPointList() { Release(); }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  TPoint* data() { return capacity_ > kInline ? heap_ : inline_; }
  const TPoint* data() const { return capacity_ > kInline ? heap_ : inline_; }
  TPoint* begin() { return data(); }
  TPoint* end() { return data() + size_; }
  const TPoint* begin() const { return data(); }
  const TPoint* end() const { return data() + size_; }
  TPoint& operator[](std::size_t i) { return data()[i]; }
  const TPoint& operator[](std::size_t i) const { return data()[i]; }
  const TPoint& front() const { return data()[0]; }
  const TPoint& back() const { return data()[size_ - 1]; }
  void reserve(std::size_t n);
  void push_back(TPoint p) {
    if (size_ == capacity_) reserve(static_cast<std::size_t>(capacity_) * 2);
    data()[size_++] = p;
  }
  void clear() { size_ = 0; }
  operator std::span<const TPoint>() const { return {data(), size_}; }
  operator std::vector<TPoint>() const { return {begin(), end()}; }

 private:
  static constexpr std::uint32_t kInline = 2;
  void Assign(const TPoint* points, std::size_t n);
  void Take(TPointList& other) noexcept;
  void Release() noexcept;
  union {
    TPoint inline_[kInline] = {};
    TPoint* heap_;
  };
  std::uint32_t size_ = 0, capacity_ = kInline;
};

// A primitive carried by a placement: its points moved; a circle, arc or
// ellipse given its new axes exactly (an uneven scale or a shear makes a
// circle an ellipse; an arc stays counter-clockwise from Start to End and a
// mirror flips Reversed, its direction of travel); a text's angle, height,
// width and spacing, a point marker's size and a hatch's pattern lines
// turned and scaled with it.
struct TPrimitive;
void TransformPrimitive(TPrimitive& p, const TTransform& t);
// The points along a circle, arc or ellipse (about five degrees apart),
// appended to `out`; in the arc's direction of travel.
void AppendConicPoints(const TPrimitive& p, std::vector<TPoint>& out);

struct TLayer {
  std::string Name;
  bool Visible = true;
};

struct TColour {
  std::string Name;           // predefined name ("red") or the user's
  std::uint8_t R = 0, G = 0, B = 0;
};

struct TLineType {
  std::string Name;           // predefined name ("continuous", "dashed", ...) or the user's
  std::vector<double> Pitches;  // dash, gap, ... in mm on the sheet; empty = continuous
};

struct TFont {
  std::string Name;
};

enum class TKind : std::uint8_t {
  Point, Line, Polyline, Circle, Arc, Ellipse, EllipseArc, Spline, Clothoid, Text, Hatch
};

// A value most of its owners lack, kept on the heap only when present: an
// absent one costs a pointer, and a copy copies the value (two owners never
// share it).
template <class T>
class TRareValue {
 public:
  TRareValue() noexcept = default;
  TRareValue(const TRareValue& other) : value_(other.value_ ? std::make_unique<T>(*other.value_) : nullptr) {}
  TRareValue(TRareValue&&) noexcept = default;
  TRareValue& operator=(const TRareValue& other) {
    if (this == &other) return *this;
    if (!other.value_) value_.reset();
    else if (value_) *value_ = *other.value_;
    else value_ = std::make_unique<T>(*other.value_);
    return *this;
  }
  TRareValue& operator=(TRareValue&&) noexcept = default;
  ~TRareValue() = default;

  const T* get() const noexcept { return value_.get(); }
  T* get() noexcept { return value_.get(); }
  // The value, made (empty) when absent.
  T& Make() {
    if (!value_) value_ = std::make_unique<T>();
    return *value_;
  }

 private:
  std::unique_ptr<T> value_;
};

// What only texts and hatches carry (see TPrimitive).
struct TPrimitiveExtra {
  std::string Text;
  std::vector<std::vector<TPoint>> Holes;
  std::vector<std::pair<double, double>> PatternLines;  // (angle, pitch mm)
};

// A drawable primitive. Indices refer to the drawing's tables (-1: none or
// the default). Coordinates are sheet millimetres after every placement.
struct TPrimitive {
  TKind Kind = TKind::Line;
  // (The small members come first: a drawing holds a million primitives.)
  bool Reversed = false;      // arcs: see below
  bool Vertical = false;      // texts: vertical writing
  bool Solid = false;         // hatches: a fill in Colour
  int Layer = -1, Colour = -1, LineType = -1, Font = -1;
  int Marker = 0;             // point marker code
  int Align = 1;              // texts: see below
  double Width = 0.13;        // line width in mm
  // Point: Points[0] (+ Marker); Line: 2 points; Polyline/Spline/Clothoid:
  // the points (a spline's control points, a clothoid sampled); Hatch:
  // Points holds the outer boundary, Holes() the inner ones.
  TPointList Points;
  // Circle/Arc/Ellipse/EllipseArc: centre Points[0], radii, rotation of the
  // first axis, start and end angles (radians, counter-clockwise from the
  // first axis; the arc runs counter-clockwise from Start to End); Reversed
  // when it is travelled from End back to Start (a clockwise arc, or one
  // seen in a mirror).
  // Point: Rotation, and Rx the marker's scale.
  // Text: anchor Points[0], UTF-8 Text(), height and width of a character
  // in mm, spacing, angle (Rotation, radians), slant (radians), alignment
  // 1..9 (1 lower left, 2 lower centre, ... 9 upper right), Vertical
  // writing.
  // A text has no radii and a conic no character sizes: the two share
  // their room.
  double Rotation = 0;
  union {
    struct {
      double Rx, Ry, Start, End;
    };
    struct {
      double Height, CharWidth, Spacing, Slant;
    };
  };
  TPrimitive() : Rx(0), Ry(0), Start(0), End(0) {}
  // Hatch: a fill (Solid, in Colour) or a pattern of lines, PatternLines()
  // (angle, pitch mm).

  // A text's string and a hatch's holes and pattern lines are empty for
  // nearly every other primitive: they are kept apart, allocated only for a
  // primitive that has one of them.
  const std::string& Text() const { return Extra().Text; }
  const std::vector<std::vector<TPoint>>& Holes() const { return Extra().Holes; }
  const std::vector<std::pair<double, double>>& PatternLines() const { return Extra().PatternLines; }
  void SetText(std::string text);
  void AddHole(std::vector<TPoint> ring);
  void SetPatternLines(std::vector<std::pair<double, double>> lines);
  void AddPatternLine(double angle, double pitch);
  // For changing them in place; null when the primitive has none.
  TPrimitiveExtra* MutableExtra() noexcept { return extra_.get(); }

 private:
  static const TPrimitiveExtra kNoExtra;
  const TPrimitiveExtra& Extra() const noexcept { return extra_.get() ? *extra_.get() : kNoExtra; }
  TRareValue<TPrimitiveExtra> extra_;
};

// A figure placed on the sheet at a scale of its own (a partial drawing: a
// plan at 1:500 beside a section at 1:50). Its primitives are
// Primitives[First, First + Count); Place carries its own coordinates (real
// millimetres) onto the sheet.
struct TPartial {
  std::string Name;
  TTransform Place;
  std::size_t First = 0, Count = 0;
};

// Why a read stopped early.
struct TReadStop {
  bool Broken = false;
  long Line = 0;
  std::string Reason;
};

struct TDrawing {
  std::string Mode;           // "ap202" or "feature"
  std::string SheetName;      // "A1", ..., or "free"
  double SheetWidth = 0, SheetHeight = 0;  // mm, oriented
  std::vector<TLayer> Layers;
  std::vector<TColour> Colours;
  std::vector<TLineType> LineTypes;
  std::vector<TFont> Fonts;
  std::vector<TPrimitive> Primitives;   // file order, figures expanded where placed
  std::vector<TPartial> Partials;       // in the order they were placed
  std::vector<std::pair<std::string, std::string>> Attributes;  // title block values
  std::map<std::string, long> Skipped;  // entities/features read but not drawn, by name
  TReadStop Stop;
};

// Bounds on a drawing once every figure is expanded where it is placed. A
// file of a few kilobytes whose figures place each other ten times over,
// ten deep, would otherwise expand to billions of points: a reader checks
// each primitive and each placement against these before it copies them,
// and stops when the next would not fit (what was expanded so far stays).
struct TBudget {
  std::size_t Primitives = 4'000'000;
  std::uint64_t Points = 16'000'000;      // of every primitive, holes included
  std::uint64_t Placements = 1'000'000;   // figures drawn where they are placed
  std::uint64_t Bytes = std::uint64_t{1} << 30;  // the primitives' memory, as PrimitiveBytes counts it
};

// The points a primitive holds (its outline's and its holes').
std::uint64_t PrimitivePoints(const TPrimitive& p);
// The memory a primitive takes in a drawing, in bytes: itself, its points
// past the two kept inside it, and its text, holes and pattern lines.
std::uint64_t PrimitiveBytes(const TPrimitive& p);

// What an expansion has spent of its budget.
class TBudgetMeter {
 public:
  explicit TBudgetMeter(const TBudget& budget = {}) : budget_(budget) {}
  // Counts `p` when it fits in what is left; false, counting nothing, when
  // it does not (and from then on).
  bool Take(const TPrimitive& p);
  // Counts one placement of a figure; false, counting nothing, when the
  // budget has none left.
  bool TakePlacement();
  // True once a primitive or placement was refused.
  bool Spent() const { return spent_; }
  const TBudget& Budget() const { return budget_; }
  std::size_t Primitives() const { return primitives_; }
  std::uint64_t Points() const { return points_; }
  std::uint64_t Placements() const { return placements_; }
  std::uint64_t Bytes() const { return bytes_; }
  // True when `points` more points would still fit.
  bool RoomForPoints(std::uint64_t points) const { return points <= budget_.Points - points_; }

 private:
  TBudget budget_;
  std::size_t primitives_ = 0;
  std::uint64_t points_ = 0, placements_ = 0, bytes_ = 0;
  bool spent_ = false;
};

// The reason told when a drawing stopped at its budget, with the number of
// primitives it kept.
std::string BudgetReason(std::size_t primitives);

// After an allocation failed while a drawing was read: its stop says so,
// with the text `reason` makes (a translated text), at line 0. What was read
// is kept when there is memory left to say why, and let go otherwise.
// Never throws.
void StopForMemory(TDrawing& drawing, std::string (*reason)()) noexcept;

}  // namespace dlvr::sxf
