#include "sxf/sfc.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/translate.h"
#include "sxf/decimal.h"
#include "sxf/large_pages.h"
#include "sxf/line_breaks.h"
#include "sxf/tables.h"

namespace dlvr::sxf {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
// One feature comment longer than this is taken as a broken file, not
// gathered without bound.
constexpr std::size_t kMaxCommentBytes = 64u << 20;
constexpr int kMaxNesting = 32;
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

// ---------------------------------------------------------------------------
// Parameters of one feature

struct TArg {
  std::string_view Text;
  bool String = false;  // written \'...\'
};

bool ParseDouble(std::string_view s, double& out) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  if (PlainDecimal(s, out)) return true;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

class TArgs {
 public:
  std::vector<TArg> Items;
  bool Bad = false;

  std::size_t Size() const { return Items.size(); }
  double Num(std::size_t i) {
    double v = 0;
    if (i >= Items.size() || !ParseDouble(Items[i].Text, v)) Bad = true;
    return v;
  }
  int Int(std::size_t i) {
    const double v = Num(i);
    if (std::fabs(v) > 1e9) {
      Bad = true;
      return 0;
    }
    return static_cast<int>(std::lround(v));
  }
  std::string Str(std::size_t i) const { return i < Items.size() ? Cp932ToUtf8(Items[i].Text) : std::string(); }
  // A list "(1,2,3)"; "()" is empty.
  std::vector<double> List(std::size_t i) {
    std::vector<double> out;
    ListInto(i, out);
    return out;
  }
  // The same into `out` (emptied first; left empty when the list is bad).
  void ListInto(std::size_t i, std::vector<double>& out) {
    out.clear();
    if (i >= Items.size()) {
      Bad = true;
      return;
    }
    std::string_view s = Items[i].Text;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.size() < 2 || s.front() != '(' || s.back() != ')') {
      Bad = true;
      return;
    }
    s = s.substr(1, s.size() - 2);
    if (s.find_first_not_of(' ') == std::string_view::npos) return;
    while (true) {
      const std::size_t comma = s.find(',');
      double v = 0;
      if (!ParseDouble(s.substr(0, comma), v)) {
        Bad = true;
        out.clear();
        return;
      }
      out.push_back(v);
      if (comma == std::string_view::npos) break;
      s.remove_prefix(comma + 1);
    }
  }
  // The points of the lists of x and y at `xs` and `ys`, into `out`
  // without a list of either on the heap.
  void PointsInto(std::size_t xs, std::size_t ys, TPointList& out) {
    ListInto(xs, x_);
    ListInto(ys, y_);
    out.clear();
    if (x_.size() != y_.size()) {
      Bad = true;
      return;
    }
    out.reserve(x_.size());
    for (std::size_t i = 0; i < x_.size(); ++i) out.push_back({x_[i], y_[i]});
  }
  std::vector<TPoint> Points(std::size_t xs, std::size_t ys) {
    const std::vector<double> x = List(xs), y = List(ys);
    std::vector<TPoint> out;
    if (x.size() != y.size()) {
      Bad = true;
      return out;
    }
    out.reserve(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) out.push_back({x[i], y[i]});
    return out;
  }

 private:
  std::vector<double> x_, y_;
};

// Why a feature comment could not be read, and where in it.
struct TSyntaxError {
  std::size_t At = 0;
  const char* Reason = nullptr;  // in Japanese, marked "SxfReader"
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits `#n = name(args)` into its parts. False with `error` set when the
// text is not of that form.
bool SplitFeature(std::string_view s, long& id, std::string_view& name, TArgs& args, TSyntaxError& error) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto skip = [&] {
    while (i < n && IsBlank(s[i])) ++i;
  };
  auto fail = [&](const char* reason) {
    error = {std::min(i, n), reason};
    return false;
  };
  skip();
  if (i >= n || s[i] != '#') return fail(DLVR_TR_NOOP("SxfReader", "インスタンス番号（#n）がありません"));
  ++i;
  id = 0;
  const std::size_t digits = i;
  while (i < n && s[i] >= '0' && s[i] <= '9') {
    if (id < 1'000'000'000'000L) id = id * 10 + (s[i] - '0');
    ++i;
  }
  if (i == digits) return fail(DLVR_TR_NOOP("SxfReader", "インスタンス番号（#n）がありません"));
  skip();
  if (i >= n || s[i] != '=') return fail(DLVR_TR_NOOP("SxfReader", "「=」がありません"));
  ++i;
  skip();
  const std::size_t nameStart = i;
  auto nameChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  };
  while (i < n && nameChar(s[i])) ++i;
  name = s.substr(nameStart, i - nameStart);
  if (name.empty()) return fail(DLVR_TR_NOOP("SxfReader", "フィーチャ名がありません"));
  skip();
  if (i >= n || s[i] != '(') return fail(DLVR_TR_NOOP("SxfReader", "引数の「(」がありません"));
  ++i;
  args.Items.clear();
  args.Bad = false;
  skip();
  if (i < n && s[i] == ')') {
    ++i;
  } else {
    while (true) {
      skip();
      if (i >= n) return fail(DLVR_TR_NOOP("SxfReader", "括弧が閉じていません"));
      const std::size_t start = i;
      if (s[i] == '\\' && i + 1 < n && s[i + 1] == '\'') {
        // A text: \'...\' in Shift-JIS, whose second bytes may be a backslash.
        std::size_t j = i + 2;
        while (j < n) {
          const unsigned char c = static_cast<unsigned char>(s[j]);
          if (IsLeadByte(c) && j + 1 < n) {
            j += 2;
            continue;
          }
          if (c == '\\' && j + 1 < n && s[j + 1] == '\'') break;
          ++j;
        }
        if (j >= n) return fail(DLVR_TR_NOOP("SxfReader", "文字列が閉じていません"));
        args.Items.push_back({s.substr(i + 2, j - i - 2), true});
        i = j + 2;
      } else if (s[i] == '\'') {
        const std::size_t j = s.find('\'', i + 1);
        if (j == std::string_view::npos) return fail(DLVR_TR_NOOP("SxfReader", "文字列が閉じていません"));
        args.Items.push_back({s.substr(i + 1, j - i - 1), false});
        i = j + 1;
      } else if (s[i] == '(') {
        int depth = 0;
        std::size_t j = i;
        for (; j < n; ++j) {
          if (s[j] == '(') ++depth;
          if (s[j] == ')' && --depth == 0) break;
        }
        if (j >= n) return fail(DLVR_TR_NOOP("SxfReader", "括弧が閉じていません"));
        args.Items.push_back({s.substr(i, j + 1 - i), false});
        i = j + 1;
      } else {
        std::size_t j = i;
        while (j < n && s[j] != ',' && s[j] != ')' && s[j] != '(' && s[j] != '\'') ++j;
        if (j >= n) return fail(DLVR_TR_NOOP("SxfReader", "括弧が閉じていません"));
        std::string_view bare = s.substr(i, j - i);
        while (!bare.empty() && IsBlank(bare.back())) bare.remove_suffix(1);
        args.Items.push_back({bare, false});
        i = j;
      }
      (void)start;
      skip();
      if (i >= n) return fail(DLVR_TR_NOOP("SxfReader", "括弧が閉じていません"));
      if (s[i] == ',') {
        ++i;
        continue;
      }
      if (s[i] == ')') {
        ++i;
        break;
      }
      return fail(DLVR_TR_NOOP("SxfReader", "引数の区切りが正しくありません"));
    }
  }
  skip();
  if (i < n)
    return fail(s.find(')', i) != std::string_view::npos ? DLVR_TR_NOOP("SxfReader", "括弧の対応が正しくありません")
                                                         : DLVR_TR_NOOP("SxfReader", "フィーチャの後に余分な文字があります"));
  return true;
}


// ---------------------------------------------------------------------------
// Figures as they are read: primitives in the figure's own coordinates and
// the placements of other figures among them.

struct TPlace {
  std::size_t At = 0;  // placed after this many primitives of the group
  std::string Name;
  TTransform Place;
  long Line = 0;
  long Figure = -1;  // the figure's index once all are read; -1 when unknown
};

// Memory in blocks of 2 MB, each aligned to its size and marked for the
// kernel's large pages: a page fault costs some 10 µs on a virtual machine,
// and a drawing of a million primitives would otherwise take 40,000 of them
// for its primitives alone. A block is mapped on its own, so that freeing it
// gives the memory back at once. Null when there is no memory.
constexpr std::size_t kBlockBytes = std::size_t{2} << 20;

void* MapBlock(std::size_t bytes, void*& mapping, std::size_t& mapped) {
  mapped = bytes + kBlockBytes;
  mapping = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) return mapping = nullptr;
  const auto at = (reinterpret_cast<std::uintptr_t>(mapping) + kBlockBytes - 1) & ~(kBlockBytes - 1);
  ::madvise(reinterpret_cast<void*>(at), bytes, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(at);
}

// The primitives of every group in the order they were read, in blocks.
// A primitive keeps its index; a group names its primitives by ranges of
// indices. A block is freed as soon as the primitives it holds for groups
// have all been moved away (Count, then Release one by one).
class TArena {
 public:
  static constexpr std::size_t kBlock = kBlockBytes / sizeof(TPrimitive);
  TArena() = default;
  TArena(const TArena&) = delete;
  TArena& operator=(const TArena&) = delete;
  ~TArena() { Clear(); }

  std::size_t Size() const { return blocks_.empty() ? 0 : (blocks_.size() - 1) * kBlock + blocks_.back().Used; }
  TPrimitive& operator[](std::size_t i) { return blocks_[i / kBlock].Data[i % kBlock]; }
  // Stores `p`; its index.
  std::size_t Push(TPrimitive&& p) {
    if (blocks_.empty() || blocks_.back().Used == kBlock) Grow();
    TBlock& b = blocks_.back();
    new (b.Data + b.Used) TPrimitive(std::move(p));
    return (blocks_.size() - 1) * kBlock + b.Used++;
  }
  // Lets the primitives from index n on go (n within the last block).
  void PopTo(std::size_t n) {
    while (Size() > n) {
      TBlock& b = blocks_.back();
      if (b.Used == 0) {
        Free(b);
        blocks_.pop_back();
        continue;
      }
      b.Data[--b.Used].~TPrimitive();
    }
  }
  // A primitive at i is wanted by a group; it is given back by Release.
  void Count(std::size_t first, std::size_t n) {
    for (std::size_t i = first; i < first + n; ++i) ++blocks_[i / kBlock].Live;
  }
  void Release(std::size_t i) {
    TBlock& b = blocks_[i / kBlock];
    if (--b.Live == 0) Free(b);
  }
  void Clear() {
    for (TBlock& b : blocks_) Free(b);
    blocks_.clear();
  }
  // Takes the blocks of `other` after its own; the index its first
  // primitive now has (the room left in the last block of its own stays
  // unused).
  std::size_t Adopt(TArena& other) {
    const std::size_t offset = blocks_.size() * kBlock;
    blocks_.reserve(blocks_.size() + other.blocks_.size());
    blocks_.insert(blocks_.end(), other.blocks_.begin(), other.blocks_.end());
    other.blocks_.clear();
    return offset;
  }

 private:
  struct TBlock {
    TPrimitive* Data = nullptr;
    void* Mapping = nullptr;
    std::size_t Mapped = 0;
    std::uint32_t Used = 0, Live = 0;
  };
  void Grow() {
    TBlock b;
    void* data = MapBlock(kBlock * sizeof(TPrimitive), b.Mapping, b.Mapped);
    if (!data) throw std::bad_alloc();
    b.Data = static_cast<TPrimitive*>(data);
    try {
      blocks_.push_back(b);
    } catch (...) {
      ::munmap(b.Mapping, b.Mapped);
      throw;
    }
  }
  static void Free(TBlock& b) noexcept {
    if (!b.Data) return;
    for (std::uint32_t i = 0; i < b.Used; ++i) b.Data[i].~TPrimitive();
    ::munmap(b.Mapping, b.Mapped);
    b.Data = nullptr;
  }
  std::vector<TBlock> blocks_;
};

// The primitives of a group: ranges of indices in the arena, in order.
struct TSpan {
  std::size_t First = 0, Count = 0;
};

struct TGroup {
  std::vector<TSpan> Spans;
  std::size_t Size = 0;
  std::vector<TPlace> Places;
  int Flag = 0;  // the figure's kind: 1 and 2 are partial drawings

  void Append(std::size_t index) {
    if (!Spans.empty() && Spans.back().First + Spans.back().Count == index)
      ++Spans.back().Count;
    else
      Spans.push_back({index, 1});
    ++Size;
  }
  void AppendSpan(TSpan span) {
    if (span.Count == 0) return;
    if (!Spans.empty() && Spans.back().First + Spans.back().Count == span.First)
      Spans.back().Count += span.Count;
    else
      Spans.push_back(span);
    Size += span.Count;
  }
  // Keeps the first n primitives.
  void Truncate(std::size_t n) {
    while (Size > n) {
      TSpan& last = Spans.back();
      const std::size_t drop = std::min(last.Count, Size - n);
      last.Count -= drop;
      Size -= drop;
      if (last.Count == 0) Spans.pop_back();
    }
  }
  // Calls f(arena index) for the primitives from the n-th on.
  template <class F>
  void From(std::size_t n, F&& f) const {
    std::size_t at = 0;
    for (const TSpan& span : Spans) {
      for (std::size_t i = n > at ? n - at : 0; i < span.Count; ++i) f(span.First + i);
      at += span.Count;
    }
  }
};

enum class TFeature {
  Sheet, Layer, PreColour, UserColour, PreFont, UserFont, Width, TextFont,
  PointMarker, Line, Polyline, Circle, Arc, Ellipse, EllipseArc, Text, Spline, Clothoid,
  SfigOrg, SfigLocate, Symbol, LinearDim, CurveDim, AngularDim, RadiusDim, DiameterDim,
  Label, Balloon, ExternalHatch, FillColour, FillHatching, FillTiles, CompositeCurve, Attribute,
};

const std::unordered_map<std::string_view, TFeature>& FeatureNames() {
  static const std::unordered_map<std::string_view, TFeature> names = {
      {"drawing_sheet_feature", TFeature::Sheet},
      {"layer_feature", TFeature::Layer},
      {"pre_defined_colour_feature", TFeature::PreColour},
      {"user_defined_colour_feature", TFeature::UserColour},
      {"pre_defined_font_feature", TFeature::PreFont},
      {"user_defined_font_feature", TFeature::UserFont},
      {"width_feature", TFeature::Width},
      {"text_font_feature", TFeature::TextFont},
      {"point_marker_feature", TFeature::PointMarker},
      {"line_feature", TFeature::Line},
      {"polyline_feature", TFeature::Polyline},
      {"circle_feature", TFeature::Circle},
      {"arc_feature", TFeature::Arc},
      {"ellipse_feature", TFeature::Ellipse},
      {"ellipse_arc_feature", TFeature::EllipseArc},
      {"text_string_feature", TFeature::Text},
      {"spline_feature", TFeature::Spline},
      {"clothoid_feature", TFeature::Clothoid},
      {"sfig_org_feature", TFeature::SfigOrg},
      {"sfig_locate_feature", TFeature::SfigLocate},
      {"externally_defined_symbol_feature", TFeature::Symbol},
      {"linear_dim_feature", TFeature::LinearDim},
      {"curve_dim_feature", TFeature::CurveDim},
      {"angular_dim_feature", TFeature::AngularDim},
      {"radius_dim_feature", TFeature::RadiusDim},
      {"diameter_dim_feature", TFeature::DiameterDim},
      {"label_feature", TFeature::Label},
      {"balloon_feature", TFeature::Balloon},
      {"externally_defined_hatch_feature", TFeature::ExternalHatch},
      {"fill_area_style_colour_feature", TFeature::FillColour},
      {"fill_area_style_hatching_feature", TFeature::FillHatching},
      {"fill_area_style_tiles_feature", TFeature::FillTiles},
      {"composite_curve_org_feature", TFeature::CompositeCurve},
      {"drawing_attribute_feature", TFeature::Attribute},
  };
  return names;
}

// Features whose primitives depend on nothing read before them: the
// second part of a file read in two parts draws them itself; the others
// (tables, figures and their placements, curves and the hatches that name
// them) wait for the part before.
bool Independent(TFeature kind) {
  switch (kind) {
    case TFeature::PreColour:
    case TFeature::PreFont:
    case TFeature::PointMarker:
    case TFeature::Line:
    case TFeature::Polyline:
    case TFeature::Circle:
    case TFeature::Arc:
    case TFeature::Ellipse:
    case TFeature::EllipseArc:
    case TFeature::Text:
    case TFeature::Spline:
    case TFeature::Clothoid:
    case TFeature::Symbol:
    case TFeature::LinearDim:
    case TFeature::CurveDim:
    case TFeature::AngularDim:
    case TFeature::RadiusDim:
    case TFeature::DiameterDim:
    case TFeature::Label:
    case TFeature::Balloon:
      return true;
    default:
      return false;
  }
}

// A feature of the second part that waits for the part before: its
// parameters' bytes, and how many primitives of the part come before it.
struct TDeferred {
  struct TPiece {
    std::size_t From = 0, Size = 0;
    bool String = false;
  };
  TFeature Kind = TFeature::Line;
  std::string Name, Text;
  std::vector<TPiece> Args;
  long Line = 0, Id = 0;
  std::size_t At = 0;
};

constexpr std::string_view kEndMarker = "END-ISO-10303-21;";

class TSfcReader {
 public:
  explicit TSfcReader(const TBudget& budget = {}) : meter_(budget) {
    drawing_.Mode = "feature";
    args_.Items.reserve(64);
  }

  // Takes the next bytes of the file; `last` with the final ones.
  void Feed(std::string_view bytes, bool last);
  void Fail(long line, std::string reason);
  void OutOfMemory() noexcept;
  TDrawing Finish();
  bool Stopped() const { return stopped_; }

  // A large file is read in two parts side by side, split where a comment
  // opens. The reader of the second part starts there (lines counted from
  // it) and leaves for the first what depends on what was read before.
  void BeginPart() {
    started_ = true;
    deferring_ = true;
  }
  // The first part's reader, fed the bytes up to the split: true when they
  // end between comments (the split is where the whole file's reading
  // would stand outside a comment), with all of them read.
  bool EndRange();
  // Then it takes what the second part's reader read, as if it had read
  // those bytes itself.
  void Adopt(TSfcReader& part);
  bool PartFailed = false;  // the second part could not be read

 private:
  void Process(bool last);
  void CountLines(std::size_t from, std::size_t to);
  void Feature(std::string_view body, long line);
  void Dispatch(TFeature kind, std::string_view name, long line);
  void Defer(TFeature kind, std::string_view name, long line, long id);

  // Drawing helpers: the style of a drawn feature is kept as file codes
  // until the end (tables may follow the features that use them).
  TPrimitive Styled(TKind kind, int layer, int colour, int type, int width) const;
  void Add(TPrimitive p) { cur_.Append(arena_.Push(std::move(p))); }
  void AddLine(const TPrimitive& style, TPoint a, TPoint b);
  void AddArc(const TPrimitive& style, TPoint c, double r, double a0Deg, double a1Deg);
  void AddArrow(const TPrimitive& style, int code, TPoint tip, TPoint inward, double scale);
  void AddDimArrow(const TPrimitive& style, std::size_t at, TPoint tip, TPoint inward);
  void AddLineArrow(const TPrimitive& style, std::size_t at, TPoint p1, TPoint p2);
  void AddText(int layer, int colour, std::size_t fontAt, bool shown);
  void AddExtension(const TPrimitive& style, std::size_t flagAt);
  bool AddHatch(TPrimitive p, int outId, std::size_t holesAt);
  bool AddTiles(const std::string& figure, long line);
  const std::vector<TPoint>* FindCurve(long id) const;
  void CompositeCurve();

  void CloseGroupInto(TGroup& target);
  void Plan(TGroup& top);
  void Expand(TGroup& top);
  bool Overflow();
  bool Emit(TGroup& g, const TTransform& t, bool identity, bool last, int depth, std::vector<char>& active);
  bool Place(const TPlace& place, const TTransform& t, int depth, std::vector<char>& active);
  void ResolveStyles();

  TDrawing drawing_;
  TArgs args_;
  std::string joined_;  // a record written over several lines, joined
  std::vector<std::pair<std::size_t, long>> joinedStarts_;
  std::string buf_;       // the bytes fed so far, less those done with
  std::string_view text_;  // buf_ while it is read
  std::size_t pos_ = 0;
  long line_ = 1;
  bool started_ = false, sawEnd_ = false, stopped_ = false;
  bool afterCr_ = false;  // the last byte counted was a CR

  TArena arena_;
  TGroup cur_, top_;
  std::size_t curveStart_ = 0;
  std::map<std::string, std::size_t> figureIndex_;
  std::vector<TGroup> figures_;
  std::unordered_map<long, std::vector<TPoint>> curves_;
  std::vector<long> curveOrder_;  // instance numbers of the curves in file order
  int userColours_ = 0, userLineTypes_ = 0, nextUserWidth_ = kFirstUserWidthCode;
  std::map<int, double> widths_;
  std::vector<TColour> userColourList_;
  std::vector<TLineType> userLineTypeList_;
  long curId_ = 0;
  TBudgetMeter meter_;
  // How many more times each figure is to be drawn; a figure drawn for the
  // last time gives its primitives away instead of copying them.
  std::vector<std::uint64_t> remaining_;
  bool movable_ = false;
  bool overflow_ = false;
  std::uint64_t tiles_ = 0;     // placements made by tile fills
  bool tooManyTiles_ = false;   // a tile fill left out for them
  bool deferring_ = false;      // the second part of a file read in two
  std::vector<TDeferred> deferred_;
};

void TSfcReader::Fail(long line, std::string reason) {
  if (drawing_.Stop.Broken) return;
  drawing_.Stop.Broken = true;
  drawing_.Stop.Line = line;
  drawing_.Stop.Reason = std::move(reason);
}

void TSfcReader::CountLines(std::size_t from, std::size_t to) {
  line_ += LineBreaks(text_.substr(from, to - from), afterCr_);
}

void TSfcReader::Feed(std::string_view bytes, bool last) {
  if (stopped_) return;
  buf_.append(bytes.data(), bytes.size());
  text_ = buf_;
  Process(last);
  if (pos_ > (1u << 20) && pos_ * 2 > buf_.size()) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
}

void TSfcReader::Process(bool last) {
  if (!started_) {
    std::size_t i = 0;
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < text_.size() && IsBlank(text_[i])) ++i;
    constexpr std::string_view kMagic = "ISO-10303-21;";
    if (text_.size() - i < kMagic.size() && !last) return;
    if (text_.substr(i, kMagic.size()) != kMagic) {
      Fail(1, Tr("SxfReader", "ISO-10303-21 の交換ファイルではありません"));
      stopped_ = true;
      return;
    }
    started_ = true;
  }
  constexpr std::string_view kEnd = kEndMarker;
  while (!stopped_) {
    const std::size_t open = text_.find("/*", pos_);
    // The text between comments: only the end of the file is looked for.
    const std::size_t plainEnd =
        open != std::string_view::npos
            ? open
            : (last ? text_.size() : std::max(pos_, text_.size() - std::min(text_.size(), kEnd.size())));
    if (plainEnd > pos_) {
      // A marker that starts before plainEnd is whole in the buffer: the
      // last bytes are left for the next round when more are to come.
      const std::size_t reach = std::min(text_.size(), plainEnd + kEnd.size() - 1);
      if (text_.substr(pos_, reach - pos_).find(kEnd) != std::string_view::npos) sawEnd_ = true;
      CountLines(pos_, plainEnd);
      pos_ = plainEnd;
    }
    if (open == std::string_view::npos) return;
    const std::size_t close = text_.find("*/", open + 2);
    if (close == std::string_view::npos) {
      if (last) {
        Fail(line_, Tr("SxfReader", "フィーチャのコメントが閉じないままファイルが終わっています"));
        CountLines(pos_, text_.size());
        pos_ = text_.size();
        stopped_ = true;
      } else if (text_.size() - open > kMaxCommentBytes) {
        Fail(line_, Tr("SxfReader", "コメントが長すぎます"));
        stopped_ = true;
      }
      return;
    }
    std::string_view body = text_.substr(open + 2, close - open - 2);
    const long line = line_;
    // "/*SXF" opens a feature; "/*SXF3" or "/*SXF3.1" one of the features a
    // later version added, which older readers pass over as a plain comment.
    if (body.substr(0, 3) == "SXF") {
      std::size_t at = 3;
      while (at < body.size() && ((body[at] >= '0' && body[at] <= '9') || body[at] == '.')) ++at;
      Feature(body.substr(at), line);
    }
    CountLines(open, close + 2);
    pos_ = close + 2;
  }
}

// A record written over several lines (a writer that wraps long lines, a
// coordinate list broken after a comma) is one record: each line trimmed
// of its blanks and the lines joined. `starts` tells, for each line that
// gave text, where its text begins in `out` and how many lines it lies
// after the first.
void JoinLines(std::string_view body, std::string& out, std::vector<std::pair<std::size_t, long>>& starts) {
  out.clear();
  starts.clear();
  long line = 0;
  std::size_t i = 0;
  while (i <= body.size()) {
    std::size_t end = i;
    while (end < body.size() && body[end] != '\n' && body[end] != '\r') ++end;
    std::string_view text = body.substr(i, end - i);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty()) {
      starts.push_back({out.size(), line});
      out.append(text);
    }
    if (end == body.size()) break;
    i = end + (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1);
    ++line;
  }
}

void TSfcReader::Feature(std::string_view body, long line) {
  // The comment ends "SXF*/" (or "SXF3.1*/"); that is not part of the feature.
  while (!body.empty() && IsBlank(body.back())) body.remove_suffix(1);
  std::string_view tail = body;
  while (!tail.empty() && ((tail.back() >= '0' && tail.back() <= '9') || tail.back() == '.')) tail.remove_suffix(1);
  if (tail.size() >= 3 && tail.substr(tail.size() - 3) == "SXF") body = tail.substr(0, tail.size() - 3);
  while (!body.empty() && IsBlank(body.back())) body.remove_suffix(1);
  std::size_t lead = 0;
  while (lead < body.size() && IsBlank(body[lead])) ++lead;
  const bool several =
      body.find('\n', lead) != std::string_view::npos || body.find('\r', lead) != std::string_view::npos;
  std::string_view text = body;
  if (several) {
    JoinLines(body, joined_, joinedStarts_);
    text = joined_;
  }
  long id = 0;
  std::string_view name;
  TSyntaxError error;
  if (!SplitFeature(text, id, name, args_, error)) {
    long at = line;
    if (several) {
      for (const auto& [start, after] : joinedStarts_)
        if (start <= error.At) at = line + after;
    } else {
      bool afterCr = false;
      at += LineBreaks(body.substr(0, error.At), afterCr);
    }
    const std::string shown = name.empty() ? Tr("SxfReader", "フィーチャ") : std::string(name);
    Fail(at, shown + ": " + Tr("SxfReader", error.Reason));
    ++drawing_.Skipped[name.empty() ? Tr("SxfReader", "（読めないフィーチャ）") : AsciiLower(name)];
    return;
  }
  // The name in lower case, without a copy on the heap for the names known.
  char small[64];
  std::string large;
  std::string_view lower;
  if (name.size() <= sizeof small) {
    for (std::size_t i = 0; i < name.size(); ++i)
      small[i] = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
    lower = std::string_view(small, name.size());
  } else {
    large = AsciiLower(name);
    lower = large;
  }
  const auto found = FeatureNames().find(lower);
  if (found == FeatureNames().end()) {
    ++drawing_.Skipped[std::string(lower)];
    return;
  }
  if (deferring_ && !Independent(found->second)) {
    Defer(found->second, lower, line, id);
    return;
  }
  curId_ = id;
  Dispatch(found->second, lower, line);
}

void TSfcReader::Defer(TFeature kind, std::string_view name, long line, long id) {
  TDeferred d;
  d.Kind = kind;
  d.Name = name;
  d.Line = line;
  d.Id = id;
  d.At = cur_.Size;
  for (const TArg& a : args_.Items) {
    d.Args.push_back({d.Text.size(), a.Text.size(), a.String});
    d.Text.append(a.Text);
  }
  deferred_.push_back(std::move(d));
}

bool TSfcReader::EndRange() {
  if (stopped_) return false;
  text_ = buf_;
  if (text_.find("/*", pos_) != std::string_view::npos) return false;
  if (text_.substr(pos_).find(kEndMarker) != std::string_view::npos) sawEnd_ = true;
  CountLines(pos_, text_.size());
  pos_ = text_.size();
  return true;
}

void TSfcReader::Adopt(TSfcReader& part) {
  const long lines = line_ - 1;
  const std::size_t offset = arena_.Adopt(part.arena_);
  // The part's primitives in their order, put in the current group up to
  // each of its deferred features, which is then read here.
  std::size_t span = 0, within = 0, taken = 0;
  auto takeTo = [&](std::size_t n) {
    while (taken < n && span < part.cur_.Spans.size()) {
      const TSpan& s = part.cur_.Spans[span];
      const std::size_t k = std::min(s.Count - within, n - taken);
      cur_.AppendSpan({offset + s.First + within, k});
      within += k;
      taken += k;
      if (within == s.Count) ++span, within = 0;
    }
  };
  for (const TDeferred& d : part.deferred_) {
    takeTo(d.At);
    args_.Items.clear();
    args_.Bad = false;
    for (const TDeferred::TPiece& a : d.Args)
      args_.Items.push_back({std::string_view(d.Text).substr(a.From, a.Size), a.String});
    curId_ = d.Id;
    Dispatch(d.Kind, d.Name, d.Line + lines);
  }
  takeTo(part.cur_.Size);
  part.cur_ = TGroup{};
  for (const auto& [name, count] : part.drawing_.Skipped) drawing_.Skipped[name] += count;
  if (part.drawing_.Stop.Broken) Fail(part.drawing_.Stop.Line + lines, std::move(part.drawing_.Stop.Reason));
  line_ = part.line_ + lines;
  afterCr_ = part.afterCr_;
  sawEnd_ = sawEnd_ || part.sawEnd_;
  stopped_ = part.stopped_;
}


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

TPoint Unit(TPoint v) {
  const double len = std::hypot(v.X, v.Y);
  return len > 0 ? TPoint{v.X / len, v.Y / len} : TPoint{1, 0};
}

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

void TSfcReader::CloseGroupInto(TGroup& target) {
  const std::size_t offset = target.Size;
  for (const TSpan& span : cur_.Spans) target.AppendSpan(span);
  for (TPlace& place : cur_.Places) {
    place.At += offset;
    target.Places.push_back(std::move(place));
  }
  cur_ = TGroup{};
  curveStart_ = 0;
}

// The expansion reached its budget: the drawing stops there, and says so
// in place of whatever else went wrong before.
bool TSfcReader::Overflow() {
  if (!overflow_) {
    overflow_ = true;
    drawing_.Stop = {};
    Fail(0, BudgetReason(drawing_.Primitives.size()));
  }
  return false;
}

bool TSfcReader::Place(const TPlace& place, const TTransform& t, int depth, std::vector<char>& active) {
  if (place.Figure < 0) {
    Fail(place.Line, Arg(Tr("SxfReader", "複合図形「%1」が定義されていません"), {place.Name}));
    ++drawing_.Skipped["sfig_locate_feature"];
    return true;
  }
  const std::size_t index = static_cast<std::size_t>(place.Figure);
  if (active[index] || depth >= kMaxNesting) {
    Fail(place.Line, Arg(active[index] ? Tr("SxfReader", "複合図形「%1」の配置が循環しています")
                                       : Tr("SxfReader", "複合図形「%1」の入れ子が深すぎます"),
                         {place.Name}));
    ++drawing_.Skipped["sfig_locate_feature"];
    return true;
  }
  if (!meter_.TakePlacement()) return Overflow();
  const bool last = movable_ && remaining_[index] > 0 && --remaining_[index] == 0;
  active[index] = 1;
  const std::size_t first = drawing_.Primitives.size();
  const int flag = figures_[index].Flag;
  const TTransform placed = t.After(place.Place);
  const bool more = Emit(figures_[index], placed, false, last, depth + 1, active);
  active[index] = 0;
  // A partial drawing placed on the sheet itself keeps its scale.
  if (depth == 0 && (flag == 1 || flag == 2))
    drawing_.Partials.push_back({place.Name, placed, first, drawing_.Primitives.size() - first});
  return more;
}

// Draws a group's primitives and the figures placed among them. The last
// time a group is drawn its primitives are moved out, freed as it goes.
bool TSfcReader::Emit(TGroup& g, const TTransform& t, bool identity, bool last, int depth,
                      std::vector<char>& active) {
  std::size_t next = 0, span = 0, within = 0;
  auto upTo = [&](std::size_t end) {
    for (; next < end && next < g.Size; ++next) {
      while (within == g.Spans[span].Count) ++span, within = 0;
      const std::size_t at = g.Spans[span].First + within++;
      // Counted before it is copied: a drawing stops at its budget.
      if (!meter_.Take(arena_[at])) return Overflow();
      if (last) {
        drawing_.Primitives.push_back(std::move(arena_[at]));
        arena_.Release(at);
      } else {
        drawing_.Primitives.push_back(arena_[at]);
      }
      if (!identity) TransformPrimitive(drawing_.Primitives.back(), t);
    }
    return true;
  };
  for (const TPlace& place : g.Places)
    if (!upTo(place.At) || !Place(place, t, depth, active)) return false;
  return upTo(g.Size);
}

// Before drawing: each placement finds its figure; when the figures place
// each other without a cycle, how often each is drawn and how many
// primitives the drawing will hold are known (the output is reserved once,
// and a figure's last drawing moves its primitives).
void TSfcReader::Plan(TGroup& top) {
  const std::size_t count = figures_.size();
  auto resolve = [&](TGroup& g) {
    for (TPlace& place : g.Places) {
      const auto found = figureIndex_.find(place.Name);
      place.Figure = found == figureIndex_.end() ? -1 : static_cast<long>(found->second);
    }
  };
  resolve(top);
  for (TGroup& g : figures_) resolve(g);
  constexpr std::uint64_t kMany = std::uint64_t{1} << 62;
  auto add = [&](std::uint64_t a, std::uint64_t b) { return a >= kMany - b ? kMany : a + b; };
  // Depth-first over the figures placed from the sheet, without recursion
  // (a file may nest many figures): post-order, and whether a cycle is met.
  std::vector<char> state(count, 0);  // 0 unseen, 1 on the path, 2 done
  std::vector<std::size_t> post;
  bool cyclic = false;
  std::vector<std::pair<std::size_t, std::size_t>> stack;  // figure, next place
  for (const TPlace& root : top.Places) {
    if (root.Figure < 0 || state[static_cast<std::size_t>(root.Figure)] != 0) continue;
    stack.push_back({static_cast<std::size_t>(root.Figure), 0});
    state[static_cast<std::size_t>(root.Figure)] = 1;
    while (!stack.empty()) {
      auto& [figure, at] = stack.back();
      const std::vector<TPlace>& places = figures_[figure].Places;
      if (at < places.size()) {
        const long child = places[at++].Figure;
        if (child < 0) continue;
        const std::size_t c = static_cast<std::size_t>(child);
        if (state[c] == 1) cyclic = true;
        if (state[c] == 0) {
          state[c] = 1;
          stack.push_back({c, 0});
        }
        continue;
      }
      state[figure] = 2;
      post.push_back(figure);
      stack.pop_back();
    }
  }
  std::uint64_t expected = top.Size;
  if (!cyclic) {
    std::vector<std::uint64_t> size(count, 0);
    for (const std::size_t f : post) {
      std::uint64_t n = figures_[f].Size;
      for (const TPlace& place : figures_[f].Places)
        if (place.Figure >= 0) n = add(n, size[static_cast<std::size_t>(place.Figure)]);
      size[f] = n;
    }
    remaining_.assign(count, 0);
    for (const TPlace& place : top.Places)
      if (place.Figure >= 0) {
        remaining_[static_cast<std::size_t>(place.Figure)] = add(remaining_[static_cast<std::size_t>(place.Figure)], 1);
        expected = add(expected, size[static_cast<std::size_t>(place.Figure)]);
      }
    for (auto f = post.rbegin(); f != post.rend(); ++f)
      for (const TPlace& place : figures_[*f].Places)
        if (place.Figure >= 0) {
          const std::size_t c = static_cast<std::size_t>(place.Figure);
          remaining_[c] = add(remaining_[c], remaining_[*f]);
        }
    movable_ = true;
  }
  drawing_.Primitives.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(expected, meter_.Budget().Primitives)));
  AdviseLargePages(drawing_.Primitives.data(), drawing_.Primitives.capacity() * sizeof(TPrimitive));
}

void TSfcReader::Expand(TGroup& top) {
  Plan(top);
  auto count = [&](const TGroup& g) {
    for (const TSpan& span : g.Spans) arena_.Count(span.First, span.Count);
  };
  count(top);
  for (const TGroup& g : figures_) count(g);
  std::vector<char> active(figures_.size(), 0);
  Emit(top, TTransform{}, true, true, 0, active);
  top = TGroup{};
}

void TSfcReader::ResolveStyles() {
  const int layers = static_cast<int>(drawing_.Layers.size());
  const int colours = static_cast<int>(drawing_.Colours.size());
  const int userTypes = static_cast<int>(userLineTypeList_.size());
  const int fonts = static_cast<int>(drawing_.Fonts.size());
  for (TPrimitive& p : drawing_.Primitives) {
    p.Layer = p.Layer >= 1 && p.Layer <= layers ? p.Layer - 1 : -1;
    p.Colour = p.Colour >= 1 && p.Colour <= colours ? p.Colour - 1 : -1;
    if (p.LineType >= 1 && p.LineType <= kPredefinedLineTypeCount)
      p.LineType -= 1;
    else if (p.LineType >= kFirstUserLineTypeCode && p.LineType < kFirstUserLineTypeCode + userTypes)
      p.LineType = kPredefinedLineTypeCount + (p.LineType - kFirstUserLineTypeCode);
    else
      p.LineType = -1;
    p.Font = p.Kind == TKind::Text && p.Font >= 1 && p.Font <= fonts ? p.Font - 1 : -1;
    const int widthCode = static_cast<int>(p.Width);
    const auto width = widths_.find(widthCode);
    if (width != widths_.end())
      p.Width = width->second;
    else if (PredefinedWidth(widthCode) > 0)
      p.Width = PredefinedWidth(widthCode);
    else
      p.Width = 0.13;
  }
}

TDrawing TSfcReader::Finish() {
  std::string().swap(buf_);
  bool outOfMemory = false;
  try {
    if (started_ && !sawEnd_)
      Fail(line_, Tr("SxfReader", "ファイルが途中で終わっています（END-ISO-10303-21; がありません）"));
    // Colours: the sixteen predefined by their codes 1..16, then the user's
    // from code 17; line types likewise from codes 1..15 and 17.
    for (int code = 1; code <= kPredefinedColourCount; ++code) {
      TColour colour;
      PredefinedColour(code, colour);
      drawing_.Colours.push_back(colour);
    }
    for (TColour& colour : userColourList_) drawing_.Colours.push_back(std::move(colour));
    for (int code = 1; code <= kPredefinedLineTypeCount; ++code) {
      TLineType type;
      PredefinedLineType(code, type);
      drawing_.LineTypes.push_back(std::move(type));
    }
    for (TLineType& type : userLineTypeList_) drawing_.LineTypes.push_back(std::move(type));
    CloseGroupInto(top_);
    Expand(top_);
    if (tooManyTiles_) Overflow();
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  figures_.clear();
  curves_.clear();
  top_ = TGroup{};
  cur_ = TGroup{};
  arena_.Clear();
  if (outOfMemory) StopForMemory(drawing_, [] { return Tr("SxfReader", "メモリが足りないため図形の展開を打ち切りました"); });
  ResolveStyles();
  return std::move(drawing_);
}

// Out of memory while the file was read: what was read up to there is drawn.
void TSfcReader::OutOfMemory() noexcept {
  stopped_ = true;
  std::string().swap(buf_);
  StopForMemory(drawing_, [] { return Tr("SxfReader", "メモリが足りないため読み込みを打ち切りました"); });
}

// A file of this size or more is read in two parts side by side.
constexpr std::size_t kTwoPartBytes = std::size_t{1} << 20;
constexpr std::size_t kReadBytes = std::size_t{4} << 20;
constexpr std::size_t kToEnd = static_cast<std::size_t>(-1);

// Feeds the bytes [from, to) of `fd` to `reader` in large blocks, into one
// buffer used again and again (a drawing's file runs to hundreds of
// megabytes, of which the reader holds only the feature being read); to
// the end of the file, the last bytes told as such, when `to` is kToEnd.
// False on a read error.
bool FeedFile(TSfcReader& reader, int fd, std::size_t from, std::size_t to) {
  std::unique_ptr<char[]> block(new char[kReadBytes]);
  std::size_t at = from;
  while (true) {
    const std::size_t want = to == kToEnd ? kReadBytes : std::min(kReadBytes, to - at);
    if (want == 0) return true;
    const ssize_t got = ::pread(fd, block.get(), want, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0 && to != kToEnd) return true;
    reader.Feed(std::string_view(block.get(), static_cast<std::size_t>(got)), got == 0);
    if (got == 0) return true;
    at += static_cast<std::size_t>(got);
  }
}

// Where the second part of a large file starts: at the first comment that
// opens after one closes past the middle; 0 when there is none near it or
// the machine has one processor.
std::size_t SplitPoint(int fd, std::size_t size) {
  if (std::thread::hardware_concurrency() < 2) return 0;
  constexpr std::size_t kWindow = std::size_t{1} << 20;
  std::unique_ptr<char[]> window(new char[kWindow]);
  const ssize_t got = ::pread(fd, window.get(), kWindow, static_cast<off_t>(size / 2));
  if (got <= 0) return 0;
  const std::string_view w(window.get(), static_cast<std::size_t>(got));
  const std::size_t close = w.find("*/");
  const std::size_t open = close == std::string_view::npos ? close : w.find("/*", close + 2);
  return open == std::string_view::npos ? 0 : size / 2 + open;
}

}  // namespace

TDrawing ReadSfcBytes(std::string_view bytes) { return ReadSfcInPieces(bytes, bytes.size()); }

TDrawing ReadSfcInPieces(std::string_view bytes, std::size_t piece, std::size_t maxPrimitives) {
  TBudget budget;
  budget.Primitives = maxPrimitives;
  return ReadSfcInPieces(bytes, piece, budget);
}

TDrawing ReadSfcInPieces(std::string_view bytes, std::size_t piece, const TBudget& budget) {
  TSfcReader reader(budget);
  piece = std::max<std::size_t>(piece, 1);
  try {
    std::size_t at = 0;
    do {
      const std::size_t n = std::min(piece, bytes.size() - at);
      reader.Feed(bytes.substr(at, n), at + n == bytes.size());
      at += n;
    } while (at < bytes.size());
  } catch (const std::bad_alloc&) {
    reader.OutOfMemory();
  }
  return reader.Finish();
}

TDrawing ReadSfc(const std::string& path, const TBudget& budget) {
  TSfcReader reader(budget);
  // Opened without blocking and judged on the opened file itself, so that a
  // FIFO or device in place of a drawing is refused rather than waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    reader.Fail(0, fd < 0 ? Tr("SxfReader", "ファイルを開けません") : Tr("SxfReader", "通常のファイルではありません"));
    TDrawing drawing = reader.Finish();
    drawing.Stop.Line = 0;
    return drawing;
  }
  try {
    const auto size = static_cast<std::size_t>(st.st_size);
    std::size_t from = 0;
    bool whole = false;
    if (const std::size_t split = size >= kTwoPartBytes ? SplitPoint(fd, size) : 0) {
      // The second part is read on a thread of its own while this one
      // reads the first; when the split turns out to lie inside a comment
      // (a text holding "*/"), the first part's reader reads on alone.
      TSfcReader second(budget);
      second.BeginPart();
      std::thread worker;
      try {
        worker = std::thread([&second, fd, split] {
          try {
            if (!FeedFile(second, fd, split, kToEnd)) second.PartFailed = true;
          } catch (...) {
            second.PartFailed = true;
          }
        });
      } catch (const std::system_error&) {
        // No thread: one reader reads it all.
      }
      struct TJoin {
        std::thread& T;
        ~TJoin() {
          if (T.joinable()) T.join();
        }
      } join{worker};
      if (worker.joinable()) {
        const bool read = FeedFile(reader, fd, 0, split);
        worker.join();
        if (!read) {
          reader.Fail(0, Tr("SxfReader", "ファイルを読み込めません"));
          whole = true;
        } else if (reader.EndRange() && !second.PartFailed) {
          reader.Adopt(second);
          whole = true;
        } else {
          from = split;
        }
      }
    }
    if (!whole && !reader.Stopped() && !FeedFile(reader, fd, from, kToEnd))
      reader.Fail(0, Tr("SxfReader", "ファイルを読み込めません"));
  } catch (const std::bad_alloc&) {
    reader.OutOfMemory();
  }
  ::close(fd);
  return reader.Finish();
}

}  // namespace dlvr::sxf
