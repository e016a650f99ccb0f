// What the parts of the feature comment reader share: a feature's
// parameters, the figures as they are read (primitives kept in blocks,
// groups naming them by ranges, placements among them), the names of the
// features, and the reader itself, whose reading of the comments, drawing
// of the features, expansion of the figures and reading of a file in two
// parts each live in a file of their own.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "sxf/decimal.h"
#include "sxf/drawing.h"
#include "sxf/tables.h"

namespace dlvr::sxf::sfc_detail {

// ---------------------------------------------------------------------------
// Parameters of one feature

struct TArg {
  std::string_view Text;
  bool String = false;  // written \'...\'
};

inline bool ParseDouble(std::string_view s, double& out) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  if (PlainDecimal(s, out)) return true;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

// The parameters of the feature being read: a list kept from feature to
// feature, whose additions are a store and a count (a feature has a dozen
// parameters, a file millions of features).
class TArgList {
 public:
  std::size_t size() const { return size_; }
  const TArg& operator[](std::size_t i) const { return items_[i]; }
  const TArg* begin() const { return items_.data(); }
  const TArg* end() const { return items_.data() + size_; }
  void clear() { size_ = 0; }
  void reserve(std::size_t n) {
    if (n > items_.size()) items_.resize(n);
  }
  void push_back(const TArg& a) {
    if (size_ == items_.size()) items_.resize(std::max<std::size_t>(16, 2 * size_));
    items_[size_++] = a;
  }

 private:
  std::vector<TArg> items_;  // the first size_ are the list
  std::size_t size_ = 0;
};

class TArgs {
 public:
  TArgList Items;
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
    // (As std::lround: halves away from zero; exact within the range.)
    const auto whole = static_cast<long>(v);
    const double rest = v - static_cast<double>(whole);
    return static_cast<int>(rest >= 0.5 ? whole + 1 : rest <= -0.5 ? whole - 1 : whole);
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
    // (Each number is a few bytes: the comma after it is looked for here.)
    const char* at = s.data();
    const char* const end = at + s.size();
    while (true) {
      const char* comma = at;
      while (comma != end && *comma != ',') ++comma;
      double v = 0;
      if (!ParseDouble(std::string_view(at, static_cast<std::size_t>(comma - at)), v)) {
        Bad = true;
        out.clear();
        return;
      }
      out.push_back(v);
      if (comma == end) break;
      at = comma + 1;
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


inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits `#n = name(args)` into its parts. False with `error` set when the
// text is not of that form.
bool SplitFeature(std::string_view s, long& id, std::string_view& name, TArgs& args, TSyntaxError& error);

// A record written over several lines (a writer that wraps long lines, a
// coordinate list broken after a comma) is one record: each line trimmed
// of its blanks and the lines joined. `starts` tells, for each line that
// gave text, where its text begins in `out` and how many lines it lies
// after the first.
void JoinLines(std::string_view body, std::string& out, std::vector<std::pair<std::size_t, long>>& starts);

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
inline constexpr std::size_t kBlockBytes = std::size_t{2} << 20;

inline void* MapBlock(std::size_t bytes, void*& mapping, std::size_t& mapped) {
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
  // (Once it has been moved away: its destructor has nothing left to do.)
  void Release(std::size_t i) {
    TBlock& b = blocks_[i / kBlock];
    ++b.Moved;
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
    std::uint32_t Used = 0, Live = 0, Moved = 0;
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
    // A block whose primitives were all moved away is let go without
    // reading them once more.
    if (b.Moved < b.Used)
      for (std::uint32_t i = 0; i < b.Used; ++i) b.Data[i].~TPrimitive();
    ::munmap(b.Mapping, b.Mapped);
    b.Data = nullptr;
  }
  std::vector<TBlock> blocks_;
};

// The bytes of a file being read: the part of a feature not yet read and
// room for the next block, which the file is read into in place (no copy of
// each block into a buffer of its own), kept from block to block.
class TTextBuffer {
 public:
  TTextBuffer() = default;
  TTextBuffer(const TTextBuffer&) = delete;
  TTextBuffer& operator=(const TTextBuffer&) = delete;
  ~TTextBuffer() { Clear(); }

  std::string_view View() const { return {data_, size_}; }
  std::size_t Size() const { return size_; }
  // Room for `n` more bytes after the text, whose bytes before `keep` are
  // let go first when the room is short (the text then starts at `keep`:
  // the caller's positions move back by the returned amount). Throws
  // std::bad_alloc, the text left as it was.
  char* Room(std::size_t n, std::size_t keep, std::size_t& dropped) {
    dropped = 0;
    if (capacity_ - size_ >= n) return data_ + size_;
    if (keep > 0 && capacity_ - (size_ - keep) >= n) {
      std::memmove(data_, data_ + keep, size_ - keep);
      size_ -= keep;
      dropped = keep;
      return data_ + size_;
    }
    // Room for a large file's blocks in large pages; a small text (a
    // drawing read from memory, in pieces) on the heap.
    const std::size_t kept = size_ - keep;
    const std::size_t want = std::max(kept + n + (std::size_t{64} << 10), 2 * capacity_);
    const bool large = want >= 2 * kBlockBytes;
    const std::size_t capacity = large ? (want + kBlockBytes - 1) / kBlockBytes * kBlockBytes : want;
    void* mapping = nullptr;
    std::size_t mapped = 0;
    void* data = large ? MapBlock(capacity, mapping, mapped) : std::malloc(capacity);
    if (!data) throw std::bad_alloc();
    if (kept > 0) std::memcpy(data, data_ + keep, kept);
    Free();
    data_ = static_cast<char*>(data);
    mapping_ = mapping;
    mapped_ = mapped;
    capacity_ = capacity;
    size_ = kept;
    dropped = keep;
    return data_ + size_;
  }
  // The `n` bytes written at Room are text now.
  void Grew(std::size_t n) { size_ += n; }
  void Clear() noexcept {
    Free();
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

 private:
  void Free() noexcept {
    if (mapping_)
      ::munmap(mapping_, mapped_);
    else
      std::free(data_);
    mapping_ = nullptr;
    data_ = nullptr;
  }
  char* data_ = nullptr;
  std::size_t size_ = 0, capacity_ = 0;
  void* mapping_ = nullptr;
  std::size_t mapped_ = 0;
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

// The features known by name (lower case).
const std::unordered_map<std::string_view, TFeature>& FeatureNames();

// Features whose primitives depend on nothing read before them: the
// second part of a file read in two parts draws them itself; the others
// (tables, figures and their placements, curves and the hatches that name
// them) wait for the part before.
bool Independent(TFeature kind);

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

inline constexpr std::string_view kEndMarker = "END-ISO-10303-21;";

class TSfcReader {
 public:
  explicit TSfcReader(const TBudget& budget = {}) : meter_(budget) {
    drawing_.Mode = "feature";
    args_.Items.reserve(64);
  }

  // Takes the next bytes of the file; `last` with the final ones.
  void Feed(std::string_view bytes, bool last);
  // The same in place: room for up to `n` bytes, which the caller writes
  // and then hands over with Fed (no bytes and `last` at the end).
  char* Room(std::size_t n);
  void Fed(std::size_t n, bool last);
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
  // The line at `at` in the text, the lines before it counted from where
  // they were counted last (lines are counted in bulk, and where a feature
  // needs its line).
  long LineAt(std::size_t at);
  void Feature(std::string_view body, std::size_t open);
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
  // A primitive's file codes of layer, colour, line type, font and width
  // made the drawing's indices and millimetres (as it is drawn, while in
  // the cache).
  void ResolveStyle(TPrimitive& p) const;
  std::size_t resolved_ = 0;  // the drawing's primitives whose codes are resolved

  TDrawing drawing_;
  TArgs args_;
  std::string joined_;  // a record written over several lines, joined
  std::vector<std::pair<std::size_t, long>> joinedStarts_;
  TTextBuffer buf_;        // the bytes fed so far, less those done with
  std::string_view text_;  // buf_ while it is read
  std::size_t pos_ = 0;
  long line_ = 1;          // the line at counted_
  std::size_t counted_ = 0;
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
  // The last feature name looked up, lower case, and what it names (the
  // same feature follows itself many times).
  std::string lastName_;
  TFeature lastKind_ = TFeature::Line;
};

}  // namespace dlvr::sxf::sfc_detail
